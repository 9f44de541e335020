#include "playlist/asx_file.h"

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"
#include "playlist/playlist_entry.h"

namespace kestrun::playlist {

namespace {

constexpr std::string_view kTitleOpen = "<title>";
constexpr std::string_view kTitleClose = "</title>";
constexpr std::string_view kAuthorOpen = "<author>";
constexpr std::string_view kAuthorClose = "</author>";
constexpr std::string_view kRefHref = "<ref href=";
constexpr std::string_view kRef = "<ref";
constexpr std::string_view kHref = "href";
constexpr std::string_view kTagEnd = "/>";
constexpr char kTempPrefix[] = "qnf";
// ASX files are small; anything larger than this is not one.
constexpr std::uint64_t kMaxAsxBytes = 16u << 20;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// ASCII letters to lower case. Trail bytes of double-byte characters include
// 'A'..'Z', so they are skipped; the length and every offset stay the same.
std::string ToLowerAnsi(std::string_view text) {
  std::string lower(text);
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const auto byte = static_cast<unsigned char>(lower[i]);
    if (platform::IsLeadByte(byte)) {
      ++i;
    } else if (byte >= 'A' && byte <= 'Z') {
      lower[i] = static_cast<char>(byte - 'A' + 'a');
    }
  }
  return lower;
}

// The text between the first opening tag and the first closing tag after it.
std::string Between(std::string_view text, std::string_view lower, std::string_view open, std::string_view close) {
  const std::size_t at = lower.find(open);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + open.size();
  const std::size_t end = lower.find(close, start);
  if (end == std::string_view::npos) return {};
  return std::string(platform::CutAnsiText(text.substr(start, end - start), kAsxTextSize - 1));
}

// Where the href value of the first reference starts (just after "="), or npos.
std::size_t ReferenceValueStart(std::string_view lower) {
  const std::size_t at = lower.find(kRefHref);
  if (at != std::string_view::npos) return at + kRefHref.size();
  // "<ref" with other spacing: look for href = inside the same tag.
  const std::size_t ref = lower.find(kRef);
  if (ref == std::string_view::npos) return std::string_view::npos;
  const std::size_t tagEnd = lower.find('>', ref);
  const std::size_t href = lower.find(kHref, ref + kRef.size());
  if (href == std::string_view::npos || href > tagEnd) return std::string_view::npos;
  std::size_t pos = href + kHref.size();
  while (pos < lower.size() && IsSpace(lower[pos])) ++pos;
  if (pos >= lower.size() || lower[pos] != '=') return std::string_view::npos;
  return pos + 1;
}

// The href value: up to the matching quote when quoted, else up to white space or
// the end of the tag. A quote before "/>" is the value's end, not part of it.
std::string_view ReferenceValue(std::string_view lower) {
  std::size_t pos = ReferenceValueStart(lower);
  if (pos == std::string_view::npos) return {};
  while (pos < lower.size() && IsSpace(lower[pos])) ++pos;
  if (pos >= lower.size()) return {};
  const char quote = lower[pos];
  if (quote == '"' || quote == '\'') {
    const std::size_t close = lower.find(quote, pos + 1);
    if (close != std::string_view::npos) return lower.substr(pos + 1, close - pos - 1);
    const std::size_t tagEnd = lower.find(kTagEnd, pos + 1);
    if (tagEnd == std::string_view::npos) return {};
    return lower.substr(pos + 1, tagEnd - pos - 1);
  }
  std::size_t end = pos;
  while (end < lower.size() && !IsSpace(lower[end]) && lower[end] != '>' &&
         lower.substr(end, kTagEnd.size()) != kTagEnd) {
    ++end;
  }
  return lower.substr(pos, end - pos);
}

void ClearBuffers(char* reference, char* title, char* author) {
  platform::CopyToBuffer({}, reference, platform::kPathCapacity);
  platform::CopyToBuffer({}, title, kAsxTextSize);
  platform::CopyToBuffer({}, author, kAsxTextSize);
}

}  // namespace

AsxInfo ParseAsx(std::string_view text) {
  // The file is handled as a C string: a zero byte ends it.
  text = text.substr(0, text.find('\0'));
  const std::string lower = ToLowerAnsi(text);
  AsxInfo info;
  info.title = Between(text, lower, kTitleOpen, kTitleClose);
  info.author = Between(text, lower, kAuthorOpen, kAuthorClose);
  const std::string_view reference = platform::CutAnsiText(Trim(ReferenceValue(lower)), platform::kPathMaxLength);
  info.reference = platform::UnquoteWhole(reference);
  return info;
}

bool ReadAsx(const std::string& path, AsxInfo& info) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents, kMaxAsxBytes)) return false;
  info = ParseAsx(contents);
  return true;
}

int readAsxFile(const char* path, char* reference, char* title, char* author) {
  AsxInfo info;
  if (path == nullptr || !ReadAsx(path, info)) {
    ClearBuffers(reference, title, author);
    return 0;
  }
  platform::CopyToBuffer(info.reference, reference, platform::kPathCapacity);
  platform::CopyToBuffer(info.title, title, kAsxTextSize);
  platform::CopyToBuffer(info.author, author, kAsxTextSize);
  return 1;
}

long downloadAndReadAsx(AsxDownloader& downloader, const char* url, char* reference, char* title, char* author) {
  ClearBuffers(reference, title, author);
  std::string directory;
  std::string temporary;
  if (url == nullptr || !downloader.TemporaryDirectory(directory) ||
      !platform::MakeTempFile(directory, kTempPrefix, temporary)) {
    return kAsxLocalFailure;
  }
  const long result = downloader.Download(url, temporary);
  if (result < 0) {
    platform::DeleteFileAt(temporary);
    return result;
  }
  const int read = readAsxFile(temporary.c_str(), reference, title, author);
  platform::DeleteFileAt(temporary);
  return read == 1 ? 0 : kAsxLocalFailure;
}

}  // namespace kestrun::playlist
