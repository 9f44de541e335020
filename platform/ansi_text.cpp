#include "platform/ansi_text.h"

#include <cstring>

#include "platform/ansi_path.h"

namespace kestrun::platform {

std::string_view CutAnsiText(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  // Walk whole characters so a trail byte is never taken for a lead byte.
  std::size_t end = 0;
  while (end < maxBytes) {
    const std::size_t width = IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > maxBytes) break;
    end += width;
  }
  return text.substr(0, end);
}

void CopyToBuffer(std::string_view text, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return;
  const std::string_view cut = CutAnsiText(text, bufferSize - 1);
  if (!cut.empty()) std::memcpy(buffer, cut.data(), cut.size());
  buffer[cut.size()] = '\0';
}

}  // namespace kestrun::platform
