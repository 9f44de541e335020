// The player's command line: one path or URL, no options. Enclosing quotes are
// removed only when the whole text is quoted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrun::app {

enum class CommandLineStatus {
  Empty,    // nothing to play
  Ok,       // path holds the text to play
  TooLong,  // the text does not fit the limit; path is empty
};

struct CommandLinePath {
  CommandLineStatus status = CommandLineStatus::Empty;
  std::string path;
};

// Unquotes the raw command line and checks it against maxLength bytes (259 for the
// current-path buffer, 255 for a global atom's name). A text that does not fit is
// refused whole rather than cut: a cut path would name another file.
CommandLinePath ParseCommandLinePath(std::string_view raw, std::size_t maxLength);

// The arguments of a whole command line as the system keeps it (wide, program name
// first): the program name, quoted or not, and the blanks after it are skipped.
std::wstring_view CommandLineArguments(std::wstring_view whole);
// The one path of the arguments: blanks around it and enclosing quotes removed.
std::wstring CommandLinePathText(std::wstring_view arguments);

}  // namespace kestrun::app
