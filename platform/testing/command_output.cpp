#include "platform/testing/command_output.h"

#include <cstdio>

namespace kestrun::testing {

std::string CommandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

bool HaveTool(const std::string& tool) { return !CommandOutput("command -v " + tool + " 2>/dev/null").empty(); }

std::string MutagenPython() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (CommandOutput(std::string(python) + " -c 'import mutagen; print(1)' 2>/dev/null") == "1\n") return python;
  }
  return {};
}

std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace kestrun::testing
