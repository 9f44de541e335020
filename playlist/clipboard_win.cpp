#include "playlist/clipboard_win.h"

#include <cstring>

#include "platform/ansi_text.h"

namespace kestrun::playlist {
namespace {

constexpr std::size_t kClipboardTextLimit = 1024;

}  // namespace

bool getClipboardPath(HWND owner, char* buffer, std::size_t capacity) {
  if (buffer == nullptr || capacity == 0) return false;
  if (!IsClipboardFormatAvailable(CF_TEXT)) return false;
  if (!OpenClipboard(owner)) return false;
  bool copied = false;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const auto* text = static_cast<const char*>(GlobalLock(data))) {
      // The block may hold no terminator within its size.
      const SIZE_T size = GlobalSize(data);
      const std::size_t length = strnlen(text, size);
      platform::CopyToBuffer(std::string_view(text, length), buffer, capacity);
      GlobalUnlock(data);
      copied = true;
    }
  }
  CloseClipboard();
  return copied;
}

bool setClipboardText(HWND owner, const char* text) {
  if (text == nullptr) return false;
  const std::size_t length = strnlen(text, kClipboardTextLimit);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
  if (block == nullptr) return false;
  if (void* target = GlobalLock(block)) {
    std::memcpy(target, text, length);
    GlobalUnlock(block);
  }
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

}  // namespace kestrun::playlist
