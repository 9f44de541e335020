// Paths the shell hands over as wide text (drops, the clipboard, the command line,
// the file dialogs, folder listings), turned into the ANSI paths the player works
// with. A path is taken only when its ANSI form fits a path buffer and converts back
// to the same wide text; otherwise its short (8.3) form is tried, and when that does
// not do either the path is refused. A path is never cut or given a substitute
// character: either would name another file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/limits.h"

namespace kestrun::platform {

// The messages of a refused path, shown where the path was to be used.
inline constexpr char kPathTooLong[] = "パスが長すぎます";
inline constexpr char kPathUnrepresentable[] = "このパスの文字はこのシステムで扱えません";

enum class PathRefusal {
  None,
  TooLong,          // the ANSI form is longer than the limit
  Unrepresentable,  // the code page has no character for part of the path
};

// The message for a refusal; null for None.
const char* RefusalMessage(PathRefusal refusal);

struct ShellPath {
  std::string path;  // the ANSI path; empty when refused
  PathRefusal refusal = PathRefusal::None;
  bool refused() const { return refusal != PathRefusal::None; }
};

// The text in codePage when every character has its own code there (no best-fit
// mapping, no default character) and it converts back to wide unchanged, and when it
// is at most maxLength bytes. An empty text converts to an empty path.
ShellPath ConvertWideText(std::wstring_view wide, UINT codePage, std::size_t maxLength);

// A path from the shell in the ANSI code page, or its short form where the long one
// is refused and the file system has a short one that fits and converts back.
ShellPath AnsiPathFromWide(std::wstring_view wide, std::size_t maxLength = kPathMaxLength);

// The full path of a module file (nullptr: the program) as the system keeps it, wide and
// whole however long; empty when the call fails.
std::wstring ModuleFileNameWide(HMODULE module);

// The module's path as an ANSI path (see AnsiPathFromWide): its short form where the
// folder's name has characters the code page lacks, or refused where there is none.
ShellPath ModuleAnsiPath(HMODULE module);

// A path chosen in a wide file dialog, as AnsiPathFromWide makes it; a refused one is
// told to the user in a message box over owner (with caption) and comes back empty,
// as a cancelled choice does.
std::string ChosenAnsiPath(HWND owner, std::wstring_view chosen, const char* caption);

// An ANSI path as wide text (for the wide file calls); empty when it does not convert.
std::wstring WideFromAnsi(std::string_view ansi);

}  // namespace kestrun::platform
