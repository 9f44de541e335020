#include "platform/clipboard_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kestrun::platform {
namespace {

// Puts one block of the format on the clipboard, as another program would.
bool PutOnClipboard(UINT format, const void* bytes, std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (block == nullptr) return false;
  std::memcpy(GlobalLock(block), bytes, size);
  GlobalUnlock(block);
  if (!OpenClipboard(nullptr)) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  const bool set = SetClipboardData(format, block) != nullptr;
  if (!set) GlobalFree(block);
  CloseClipboard();
  return set;
}

// Explorer's "Copy as path" of two files: quoted, one per line, CR/LF at the end. The
// pasted path is the first, whole; quoted, it was taken for a file name of its own.
TEST(ClipboardPath, CopiedAsPathTextPastesItsFirstPathUnquoted) {
  const std::wstring wide = L"\"C:\\\u8868 1.mp3\"\r\n\"C:\\b.mp3\"\r\n";
  ASSERT_TRUE(PutOnClipboard(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t)));
  ShellPath path;
  ASSERT_TRUE(getClipboardPath(nullptr, path));
  EXPECT_FALSE(path.refused());
  EXPECT_EQ(path.path, "C:\\\x95\x5C 1.mp3");

  const std::string ansi = "\r\n  \"http://example.invalid/a.asx\"\r\n";
  ASSERT_TRUE(PutOnClipboard(CF_TEXT, ansi.c_str(), ansi.size() + 1));
  ASSERT_TRUE(getClipboardPath(nullptr, path));
  EXPECT_EQ(path.path, "http://example.invalid/a.asx");
}

}  // namespace
}  // namespace kestrun::platform
