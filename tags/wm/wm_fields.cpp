#include "tags/wm/wm_fields.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tags/id3/genre_names.h"

namespace kestrun::tags {
namespace {

// Paths cross to the editor as UTF-16 in a buffer of this many units.
constexpr std::size_t kMaxWidePath = 260;

std::string_view Bounded(const char* text, std::size_t capacity) {
  return std::string_view(text, strnlen(text, capacity));
}

void CopyCut(const char* text, char* out, std::size_t capacity) {
  const std::size_t n = std::min(std::strlen(text), capacity - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

// A whole decimal number (digits only, not empty); false for anything else.
bool WholeNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 0xFFFFFFFFull) return false;
  }
  return true;
}

// The low 8 bits of the leading decimal number of a text (leading blanks and a
// sign allowed; no number gives 0). Working modulo 256 needs no overflow checks.
unsigned LeadingNumberLow8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = (value * 10 + (text[i] - '0')) & 0xFF;
  return negative ? (256 - value) & 0xFF : value;
}

// One file opened through an editor; the editor is released on destruction.
class WmSession {
 public:
  bool Open(const char* path) {
    if (path == nullptr) return false;
    const std::u16string wide = AnsiToWide(path);
    // A path cut to fit would name another file: refuse it instead.
    if (wide.empty() || wide.size() >= kMaxWidePath) return false;
    editor_ = CreateWmEditor();
    if (!editor_ || !WmSucceeded(editor_->Open(wide.c_str()))) return false;
    header_ = editor_->HeaderInfo();
    return header_ != nullptr;
  }
  WmHeaderInfo& header() { return *header_; }
  WmMetadataEditor& editor() { return *editor_; }

 private:
  std::unique_ptr<WmMetadataEditor> editor_;
  WmHeaderInfo* header_ = nullptr;
};

bool SetString(WmHeaderInfo& headerInfo, const char16_t* name, std::string_view text) {
  const std::u16string wide = AnsiToWide(text);
  const std::size_t bytes = (wide.size() + 1) * sizeof(char16_t);
  if (bytes > 0xFFFF) return false;
  std::vector<std::uint8_t> value(bytes, 0);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    value[2 * i] = static_cast<std::uint8_t>(wide[i] & 0xFF);
    value[2 * i + 1] = static_cast<std::uint8_t>(wide[i] >> 8);
  }
  return WmSucceeded(headerInfo.SetAttribute(kWmFileLevelStream, name, WmAttrType::String, value.data(),
                                             static_cast<std::uint16_t>(bytes)));
}

// A numeric genre names its slot of the genre list.
void ResolveGenreId(char* genre) {
  std::uint64_t slot = 0;
  if (std::strcmp(genre, "0") == 0) {
    slot = 0;
  } else if (!WholeNumber(genre, slot) || slot < 1 || slot > 255) {
    return;
  }
  CopyCut(GenreNames[slot], genre, kWmTextCapacity);
}

// Stored tracks count from 0; the fields count from 1.
void ShowTrackFromOne(char* track) {
  std::uint64_t number = 0;
  if (!WholeNumber(track, number)) return;
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIu64, number + 1);
  CopyCut(text, track, kWmTrackCapacity);
}

}  // namespace

WmResult GetWmAttributeText(WmHeaderInfo& headerInfo, const char16_t* name, char* text, std::size_t capacity,
                            AnsiFromUtf16 toAnsi) {
  if (text == nullptr || capacity == 0) return kWmInvalidArg;
  std::uint16_t stream = kWmFileLevelStream;
  WmAttrType type = WmAttrType::Dword;
  std::uint16_t length = 0;
  WmResult result = headerInfo.GetAttributeByName(&stream, name, &type, nullptr, &length);
  if (result == kWmNotFound) return kWmOk;
  if (!WmSucceeded(result) || length == 0) return result;

  std::vector<std::uint8_t> value(length);
  stream = kWmFileLevelStream;
  result = headerInfo.GetAttributeByName(&stream, name, &type, value.data(), &length);
  if (!WmSucceeded(result)) return result;
  // The value may be shorter than first announced; never read past what came back.
  value.resize(std::min<std::size_t>(length, value.size()));

  auto le = [&](std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{value[i]} << (8 * i);
    return v;
  };
  char number[32];
  switch (type) {
    case WmAttrType::Dword:
      if (value.size() < 4) break;
      std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(le(4)));
      CopyCut(number, text, capacity);
      break;
    case WmAttrType::Qword:
      if (value.size() < 8) break;
      std::snprintf(number, sizeof number, "%" PRIu64, le(8));
      CopyCut(number, text, capacity);
      break;
    case WmAttrType::Word:
      if (value.size() < 2) break;
      std::snprintf(number, sizeof number, "%hu", static_cast<unsigned short>(le(2)));
      CopyCut(number, text, capacity);
      break;
    case WmAttrType::String: {
      std::u16string wide(value.size() / 2, u'\0');
      for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(value[2 * i] | (value[2 * i + 1] << 8));
      }
      WideToAnsi(wide.c_str(), text, capacity, toAnsi);
      break;
    }
    default:  // binary, boolean and GUID values have no text
      break;
  }
  return result;
}

bool SetWmStringAttribute(WmHeaderInfo& headerInfo, const char16_t* name, const char* text) {
  return SetString(headerInfo, name, text != nullptr ? std::string_view(text) : std::string_view());
}

bool SetWmDwordAttribute(WmHeaderInfo& headerInfo, const char16_t* name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return WmSucceeded(headerInfo.SetAttribute(kWmFileLevelStream, name, WmAttrType::Dword, bytes, sizeof bytes));
}

bool ReadWmFields(const char* path, WmFields& fields, AnsiFromUtf16 toAnsi) {
  std::memset(&fields, 0, sizeof fields);
  WmComScope com;
  WmSession session;
  if (!session.Open(path)) return false;
  WmHeaderInfo& h = session.header();
  GetWmAttributeText(h, kWmTitle, fields.title, sizeof fields.title, toAnsi);
  GetWmAttributeText(h, kWmAuthor, fields.artist, sizeof fields.artist, toAnsi);
  GetWmAttributeText(h, kWmAlbumTitle, fields.album, sizeof fields.album, toAnsi);
  GetWmAttributeText(h, kWmDescription, fields.comment, sizeof fields.comment, toAnsi);
  GetWmAttributeText(h, kWmGenre, fields.genre, sizeof fields.genre, toAnsi);
  if (fields.genre[0] == '\0') {
    GetWmAttributeText(h, kWmGenreId, fields.genre, sizeof fields.genre);
    ResolveGenreId(fields.genre);
  }
  GetWmAttributeText(h, kWmYear, fields.year, sizeof fields.year, toAnsi);
  GetWmAttributeText(h, kWmTrack, fields.track, sizeof fields.track, toAnsi);
  ShowTrackFromOne(fields.track);
  return WmSucceeded(session.editor().Close());
}

bool WriteWmFields(const char* path, const WmFields& fields) {
  WmComScope com;
  WmSession session;
  if (!session.Open(path)) return false;
  WmHeaderInfo& h = session.header();
  const unsigned track = LeadingNumberLow8(Bounded(fields.track, sizeof fields.track));
  // The results of the single settings are not checked: Flush reports whether
  // the file was written.
  SetString(h, kWmTitle, Bounded(fields.title, sizeof fields.title));
  SetString(h, kWmAuthor, Bounded(fields.artist, sizeof fields.artist));
  SetString(h, kWmAlbumTitle, Bounded(fields.album, sizeof fields.album));
  SetString(h, kWmDescription, Bounded(fields.comment, sizeof fields.comment));
  SetString(h, kWmYear, Bounded(fields.year, sizeof fields.year));
  SetWmDwordAttribute(h, kWmTrack, track == 0 ? 0 : track - 1);
  SetString(h, kWmGenre, Bounded(fields.genre, sizeof fields.genre));
  SetString(h, kWmGenreId, Bounded(fields.genre, sizeof fields.genre));
  if (!WmSucceeded(session.editor().Flush())) return false;
  return WmSucceeded(session.editor().Close());
}

bool ReadWmTitleAuthor(const char* path, char* title, char* artist, AnsiFromUtf16 toAnsi) {
  std::memset(title, 0, kWmTextCapacity);
  std::memset(artist, 0, kWmTextCapacity);
  WmComScope com;
  WmSession session;
  if (!session.Open(path)) return false;
  GetWmAttributeText(session.header(), kWmTitle, title, kWmTextCapacity, toAnsi);
  GetWmAttributeText(session.header(), kWmAuthor, artist, kWmTextCapacity, toAnsi);
  return WmSucceeded(session.editor().Close());
}

}  // namespace kestrun::tags
