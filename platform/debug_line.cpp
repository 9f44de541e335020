#include "platform/debug_line.h"

#include <cstdio>

namespace kestrun::platform {

std::string CodeLine(const char* what, std::uint32_t code) {
  char digits[16];
  std::snprintf(digits, sizeof(digits), "0x%08lX", static_cast<unsigned long>(code));
  return std::string(what) + ": " + digits + "\n";
}

}  // namespace kestrun::platform
