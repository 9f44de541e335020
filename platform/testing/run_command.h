// Runs a shell command and returns what it wrote to standard output; for native
// tests that check our readers and writers against independent tools (ffmpeg,
// ffprobe, mutagen).
#pragma once

#include <cstdio>
#include <string>

namespace kestrun::testing {

inline std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

}  // namespace kestrun::testing
