// The title display's clipboard keys: Ctrl+C copies the current path, Ctrl+V takes a
// path (or URL) to play.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/shell_path_win.h"

namespace kestrun::platform {

// The clipboard's text as a path: its wide text when it has one (made an ANSI path as
// shell paths are, short form included), else its ANSI text; of several lines the
// first path, without quotes and line ends (PathInText). A path longer than a path
// buffer is refused, never cut. False when the clipboard holds no text or cannot be opened.
bool getClipboardPath(HWND owner, ShellPath& path);
// Puts at most 1024 bytes of text on the clipboard; false when it cannot be opened.
bool setClipboardText(HWND owner, const char* text);

}  // namespace kestrun::platform
