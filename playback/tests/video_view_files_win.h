// Files and window rectangles for the tests of the video view, in the player or on
// the playback fixture: frame captures land next to the test program.
#pragma once

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "playback/frame_file.h"
#include "playback/tests/session_fixture_win.h"

namespace kestrun::testing {

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file the view's capture number writes.
inline std::string FrameFile(int number) { return playback::FrameFileName(TestProgramDirectory(), number); }

inline void RemoveFrameFiles() {
  for (int n = 0; n < 100; ++n) DeleteFileA(FrameFile(n).c_str());
}

inline SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

inline RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

}  // namespace kestrun::testing
