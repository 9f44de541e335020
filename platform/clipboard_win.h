// The title display's clipboard keys: Ctrl+C copies the current path, Ctrl+V takes a
// path (or URL) to play.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kestrun::platform {

// The clipboard's text as a path into buffer (capacity bytes, at least 1): cut to
// capacity - 1 bytes without splitting a double-byte character. False when the
// clipboard holds no text or cannot be opened.
bool getClipboardPath(HWND owner, char* buffer, std::size_t capacity);
// Puts at most 1024 bytes of text on the clipboard; false when it cannot be opened.
bool setClipboardText(HWND owner, const char* text);

}  // namespace kestrun::platform
