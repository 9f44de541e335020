// Cutting ANSI texts (bytes in the system's code page, Shift-JIS on Japanese
// systems) to a byte count. A double-byte character is kept whole or not at all,
// so a cut text never ends in a lead byte whose trail byte is missing: such a
// byte would swallow whatever follows the text (a ".mp3" appended to a name, the
// next field of a record).
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/ansi_path.h"

namespace kestrun::platform {

// Says whether a byte starts a double-byte character. IsLeadByte asks the
// system's code page (code page 932 natively); tests pass IsCp932LeadByte to get
// the same answer everywhere.
using LeadByteTest = bool (*)(unsigned char byte);

// text itself when it is at most maxBytes long; otherwise its longest start of
// whole characters that is at most maxBytes long. A text that fits is never
// changed, so cutting the same text again, or a text read back after it was
// written, gives the same bytes.
std::string_view CutAnsiText(std::string_view text, std::size_t maxBytes, LeadByteTest isLead = IsLeadByte);

// True when the text's last byte is a lead byte left without its trail byte.
bool EndsInLoneLeadByte(std::string_view text, LeadByteTest isLead = IsLeadByte);

// text without a lead byte left alone at its end (a character another program cut
// in half); any other text unchanged.
std::string_view DropLoneLeadByte(std::string_view text, LeadByteTest isLead = IsLeadByte);

// Copies text into a C buffer of bufferSize bytes (terminator included), cut as
// CutAnsiText does. Nothing is written when buffer is null or bufferSize is 0.
void CopyToBuffer(std::string_view text, char* buffer, std::size_t bufferSize);

}  // namespace kestrun::platform
