// Runs other programs from native tests (the independent tools that make test
// media and judge what our code wrote). POSIX only: Wine tests do not call them.
#pragma once

#include <string>

namespace kestrun::testing {

// Everything the shell command writes to its standard output ("" when it cannot run).
std::string CommandOutput(const std::string& command);
// True when the tool is on the PATH.
bool HaveTool(const std::string& tool);
// A python that has mutagen (the system one when another python comes first), or "".
std::string MutagenPython();
// The text quoted for the shell in single quotes.
std::string ShellQuoted(const std::string& text);

}  // namespace kestrun::testing
