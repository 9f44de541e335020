#include "platform/clipboard_win.h"

#include <cstring>
#include <string_view>

#include "platform/ansi_path.h"
#include "platform/limits.h"
#include "platform/win32_handles_win.h"

namespace kestrun::platform {
namespace {

constexpr std::size_t kClipboardTextLimit = 1024;

}  // namespace

bool getClipboardPath(HWND owner, ShellPath& path) {
  path = ShellPath();
  const bool wide = IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
  if (!wide && !IsClipboardFormatAvailable(CF_TEXT)) return false;
  if (!OpenClipboard(owner)) return false;
  bool read = false;
  if (wide) {
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (LockedGlobal<const wchar_t> text(data); text) {
        // The block may hold no terminator within its size.
        const std::size_t length = wcsnlen(text.get(), text.size() / sizeof(wchar_t));
        path = AnsiPathFromWide(PathInText(std::wstring_view(text.get(), length)));
        read = true;
      }
    }
  } else if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (LockedGlobal<const char> text(data); text) {
      const std::string_view pasted = PathInText(std::string_view(text.get(), strnlen(text.get(), text.size())));
      if (pasted.size() > kPathMaxLength) {
        path.refusal = PathRefusal::TooLong;
      } else {
        path.path.assign(pasted);
      }
      read = true;
    }
  }
  CloseClipboard();
  return read;
}

bool setClipboardText(HWND owner, const char* text) {
  if (text == nullptr) return false;
  const std::size_t length = strnlen(text, kClipboardTextLimit);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
  if (block == nullptr) return false;
  if (LockedGlobal<char> target(block); target) std::memcpy(target.get(), text, length);
  if (!OpenClipboard(owner)) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  // The clipboard owns the block once it took it.
  const bool set = SetClipboardData(CF_TEXT, block) != nullptr;
  if (!set) GlobalFree(block);
  CloseClipboard();
  return set;
}

}  // namespace kestrun::platform
