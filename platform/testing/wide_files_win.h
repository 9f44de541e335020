// Files with wide names for tests of the paths the shell hands over: folders and
// files made with the wide calls (names the code page may not hold, paths longer
// than an ANSI path), removed again with the wide calls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kestrun::testing {

class WideFiles {
 public:
  // base: an existing folder (wide), e.g. a TempDir's path.
  explicit WideFiles(std::wstring base) : base_(std::move(base)) {}
  ~WideFiles() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
    }
  }
  WideFiles(const WideFiles&) = delete;
  WideFiles& operator=(const WideFiles&) = delete;

  // Makes the folders of relative (separated by "\") below base and the file at its
  // end with bytes; the file's whole path, or "" when a step failed.
  std::wstring File(const std::wstring& relative, const std::string& bytes = "RIFF") {
    std::wstring path = base_;
    std::size_t start = 0;
    for (std::size_t end = relative.find(L'\\'); end != std::wstring::npos; end = relative.find(L'\\', start)) {
      path += L"\\" + relative.substr(start, end - start);
      if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
      made_.push_back(path);
      start = end + 1;
    }
    path += L"\\" + relative.substr(start);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    made_.push_back(path);
    return path;
  }

 private:
  std::wstring base_;
  std::vector<std::wstring> made_;
};

// The ANSI path as wide text (for tests that start from a TempDir's ANSI path).
inline std::wstring WidePath(const std::string& ansi) {
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
  return wide;
}

// A deep path of Japanese folders and file (about 120 Japanese characters): longer than
// 259 bytes in code page 932, shorter than 260 characters.
inline std::wstring DeepJapaneseRelative() {
  const std::wstring folder(30, L'\u97F3');                                                         // 音
  return folder + L"\\" + folder + L"\\" + folder + L"\\" + std::wstring(26, L'\u697D') + L".wav";  // 楽
}

}  // namespace kestrun::testing
