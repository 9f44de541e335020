#include "platform/ansi_text.h"

#include <cstring>

namespace kestrun::platform {

namespace {

// Length of the whole characters at the start of text that fit in maxBytes. The
// walk goes character by character from the start, because a trail byte can hold
// any value a lead byte holds and cannot be told apart looking backwards.
std::size_t WholeCharacterLength(std::string_view text, std::size_t maxBytes, LeadByteTest isLead) {
  const std::size_t limit = text.size() < maxBytes ? text.size() : maxBytes;
  std::size_t end = 0;
  while (end < limit) {
    const std::size_t width = isLead(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return end;
}

}  // namespace

std::string_view CutAnsiText(std::string_view text, std::size_t maxBytes, LeadByteTest isLead) {
  if (text.size() <= maxBytes) return text;
  return text.substr(0, WholeCharacterLength(text, maxBytes, isLead));
}

bool EndsInLoneLeadByte(std::string_view text, LeadByteTest isLead) {
  return WholeCharacterLength(text, text.size(), isLead) != text.size();
}

std::string_view DropLoneLeadByte(std::string_view text, LeadByteTest isLead) {
  return text.substr(0, WholeCharacterLength(text, text.size(), isLead));
}

void CopyToBuffer(std::string_view text, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return;
  const std::string_view cut = CutAnsiText(text, bufferSize - 1);
  if (!cut.empty()) std::memcpy(buffer, cut.data(), cut.size());
  buffer[cut.size()] = '\0';
}

}  // namespace kestrun::platform
