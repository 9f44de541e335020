// A playlist window made for a test or a benchmark: the real window and list control
// on this thread, the fake host behind it, and the few ways a test drives it
// (handing out messages until a long command is over, commands, keys, drops).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "playlist/playlist_entry.h"
#include "playlist/playlist_window_win.h"
#include "playlist/tests/fake_playlist_host.h"

namespace kestrun::testing {

// An application directory without an automatic playlist.
inline constexpr char kNoAppDirectory[] = "C:\\nonexistent-folder";

// Hands out every message waiting for this thread.
inline void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Hands out messages until the window's long command (on worker threads) is over,
// or mostMs have passed; true when it is over.
inline bool Settle(const playlist::PlaylistWindow& window, DWORD mostMs = 20000) {
  const DWORD start = GetTickCount();
  while (window.busy() && GetTickCount() - start < mostMs) {
    PumpMessages();
    Sleep(1);
  }
  PumpMessages();
  return !window.busy();
}

inline std::string Caption(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

// A drop handle as the shell makes one: a DROPFILES header and the zero-ended
// paths, with a zero after the last; wide names, as the shell gives them, or ANSI.
template <typename Char>
HDROP MakeDropOf(const std::vector<std::basic_string<Char>>& paths) {
  std::basic_string<Char> list;
  for (const auto& path : paths) list += path + Char{0};
  list += Char{0};
  const std::size_t bytes = list.size() * sizeof(Char);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = sizeof(Char) == sizeof(wchar_t);
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), bytes);
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}
inline HDROP MakeDrop(const std::vector<std::string>& paths) { return MakeDropOf(paths); }
inline HDROP MakeWideDrop(const std::vector<std::wstring>& paths) { return MakeDropOf(paths); }

// The window with the fake host. The window is made by Create; the destructor opens
// the host's gate (so no worker waits for ever) and destroys the window.
class PlaylistWindowHarness {
 public:
  PlaylistWindowHarness() { InitCommonControls(); }
  ~PlaylistWindowHarness() {
    host.Open();
    window.Destroy();
    PumpMessages();
  }
  PlaylistWindowHarness(const PlaylistWindowHarness&) = delete;
  PlaylistWindowHarness& operator=(const PlaylistWindowHarness&) = delete;

  // Makes the window hidden, with the automatic playlist of appDirectory; false when
  // it or its rows could not be made.
  bool Create(const std::string& appDirectory = kNoAppDirectory) {
    if (window.Create(GetModuleHandleA(nullptr), nullptr, appDirectory, &host) == nullptr) return false;
    PumpMessages();
    return window.list() != nullptr && window.rows() != nullptr;
  }

  playlist::RowStore& rows() { return *window.rows(); }
  HWND list() { return window.list(); }
  // The cells of one column, in row order.
  std::vector<std::string> Cells(playlist::Column column) {
    std::vector<std::string> cells;
    for (int row = 0; row < rows().RowCount(); ++row) cells.push_back(rows().Cell(row, column));
    return cells;
  }
  // A command or a letter key on the list, and the long command it starts run to
  // its end.
  void Command(int id) {
    SendMessageA(window.window(), WM_COMMAND, id, 0);
    Settle(window);
  }
  void Key(char key) {
    SendMessageA(list(), WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    Settle(window);
  }
  // Files dropped on the list, added to their end.
  void Drop(HDROP drop) {
    SendMessageA(list(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    Settle(window);
  }

  FakePlaylistHost host;
  playlist::PlaylistWindow window;
};

}  // namespace kestrun::testing
