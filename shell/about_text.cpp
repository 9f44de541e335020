#include "shell/about_text.h"

#include <cstdio>

namespace kestrun::shell {

std::string AboutVersionLine(std::uint32_t versionHigh, std::uint32_t versionLow) {
  const unsigned major = versionHigh >> 16;
  const unsigned minor = versionHigh & 0xFFFF;
  const unsigned patch = versionLow >> 16;
  const unsigned build = versionLow & 0xFFFF;
  char text[64];
  if (build != 0) {
    std::snprintf(text, sizeof(text), "%s%u.%u.%u.%u", kAboutVersionPrefix, major, minor, patch, build);
  } else {
    std::snprintf(text, sizeof(text), "%s%u.%u.%u", kAboutVersionPrefix, major, minor, patch);
  }
  return text;
}

}  // namespace kestrun::shell
