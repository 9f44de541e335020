// The clipboard as a test fills and reads it: formats put there in one opening, as
// global memory the way programs leave them, and the ANSI text it holds.
#pragma once

#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

namespace kestrun::testing {

// Replaces what the clipboard holds with these formats, each with its bytes (texts
// with their terminating zero). False when the clipboard could not be opened or a
// format not put there.
inline bool SetClipboardFormats(std::initializer_list<std::pair<UINT, std::string>> formats) {
  if (!OpenClipboard(nullptr)) return false;
  bool all = EmptyClipboard() != FALSE;
  for (const auto& [format, bytes] : formats) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    void* memory = block != nullptr ? GlobalLock(block) : nullptr;
    if (memory == nullptr) {
      if (block != nullptr) GlobalFree(block);
      all = false;
      continue;
    }
    std::memcpy(memory, bytes.data(), bytes.size());
    GlobalUnlock(block);
    // The clipboard owns the block once it takes it; not taken, it is still ours.
    if (SetClipboardData(format, block) == nullptr) {
      GlobalFree(block);
      all = false;
    }
  }
  CloseClipboard();
  return all;
}

// Puts text on the clipboard as CF_TEXT.
inline bool SetClipboardText(const std::string& text) { return SetClipboardFormats({{CF_TEXT, text + '\0'}}); }

// The clipboard's CF_TEXT; "" when it holds none or cannot be opened.
inline std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace kestrun::testing
