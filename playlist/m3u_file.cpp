#include "playlist/m3u_file.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"
#include "platform/limits.h"
#include "platform/shared_texts.h"

namespace kestrun::playlist {

namespace {

constexpr std::string_view kExtendedHeader = "#EXTM3U";
constexpr std::string_view kInfoTag = "#EXTINF:";
constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kArtistSeparator = " - ";
constexpr std::string_view kNoSeconds = "000";

// Names of the steps of the extended writer, shown as the caption of its error box.
constexpr char kStageReserve[] = "Startf";
constexpr char kStageBuild[] = "Start2";
constexpr char kStageWrite[] = "end readtag";
constexpr char kStageWritten[] = "delete Str";
// "プレイリスト書き込み中にエラーが発生しました。\n今後もエラーが出るようでしたらプレイリスト(default.m3u)を削除してください。"
constexpr char kWriteErrorText[] =
    "\x83v\x83\x8c\x83\x43\x83\x8a\x83X\x83g\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x92\x86\x82\xc9\x83G\x83\x89"
    "\x81[\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n\x8d\xa1\x8c\xe3\x82\xe0\x83G"
    "\x83\x89\x81[\x82\xaa\x8fo\x82\xe9\x82\xe6\x82\xa4\x82\xc5\x82\xb5\x82\xbd\x82\xe7\x83v\x83\x8c\x83\x43"
    "\x83\x8a\x83X\x83g(default.m3u)\x82\xf0\x8d\xed\x8f\x9c\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2"
    "\x81\x42";
// "プレイリスト読込エラー"
constexpr char kReadErrorText[] = "\x83v\x83\x8c\x83\x43\x83\x8a\x83X\x83g\x93\xc7\x8d\x9e\x83G\x83\x89\x81[";

constexpr char kTempPrefix[] = "kpl";
// Bytes reserved per row before building, as estimates of a row's size.
constexpr std::size_t kExtendedBytesPerRow = 512;
constexpr std::size_t kPlainBytesPerRow = 260;
// Far above any real playlist (100,000 rows are about 30 MB).
constexpr std::uint64_t kMaxPlaylistBytes = 512u << 20;

// A cell as the writers read it back from the list, through a fixed buffer.
std::string_view Limited(const std::string& cell, std::size_t bufferSize) {
  return platform::CutAnsiText(cell, bufferSize - 1);
}

// A field cut to its limit. Cutting can leave a CR from inside the line at the
// end, which a line end would swallow on the next read; it is dropped here.
std::string_view CutField(std::string_view text, std::size_t maxBytes) {
  text = platform::CutAnsiText(text, maxBytes);
  while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

// The path a line holds, cut to the path limit. Readers judge blankness on this
// cut text, not on the whole line: a line whose first 259 bytes are blanks (or
// that ends up empty once a half double-byte character or a final CR is cut off)
// holds no usable path, and a row made from it would be written back as a blank
// line, which the next read skips.
std::string_view PathField(std::string_view line) { return CutField(line, platform::kPathMaxLength); }

// The leading decimal number of a text (after blanks), 0 when there is none;
// saturates instead of overflowing.
long long LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  long long value = 0;
  constexpr long long kCap = 1'000'000'000'000LL;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(kCap, value * 10 + (text[i] - '0'));
  }
  return value;
}

void AppendExtendedRows(const RowStore& rows, std::string& text) {
  text += kExtendedHeader;
  text += kLineBreak;
  const int count = rows.RowCount();
  for (int row = 0; row < count; ++row) {
    const std::string path = rows.Cell(row, Column::Path);
    const std::string title = rows.Cell(row, Column::Title);
    const std::string artist = rows.Cell(row, Column::Artist);
    const std::string length = rows.Cell(row, Column::Length);
    text += kInfoTag;
    text += LengthToSeconds(Limited(length, kLengthBufferSize));
    text += ',';
    if (!artist.empty()) {
      text += Limited(artist, kTagBufferSize);
      text += kArtistSeparator;
    }
    text += Limited(title, kTagBufferSize);
    text += kLineBreak;
    text += Limited(path, platform::kPathCapacity);
    if (row + 1 < count) text += kLineBreak;
  }
}

void AppendPlainRows(const RowStore& rows, std::string& text) {
  const int count = rows.RowCount();
  // The lead line: readers skip the first line of a plain file.
  text += Limited(rows.Cell(0, Column::Path), platform::kPathCapacity);
  text += kLineBreak;
  for (int row = 0; row < count; ++row) {
    text += Limited(rows.Cell(row, Column::Path), platform::kPathCapacity);
    if (row + 1 < count) text += kLineBreak;
  }
}

enum class WriteOutcome { Written, NotOpened, WriteFailed };

// Writes bytes to a temporary file beside path and puts it in path's place. The
// old file stays as it was unless the replacement succeeded.
WriteOutcome WriteReplacing(const std::string& path, const std::string& bytes) {
  // A read-only playlist is left alone, as opening it for writing would fail.
  bool readOnly = false;
  if (platform::FileExists(path) && (!platform::IsReadOnly(path, readOnly) || readOnly)) {
    return WriteOutcome::NotOpened;
  }
  std::string temporary;
  if (!platform::MakeTempFile(platform::DirectoryOf(path), kTempPrefix, temporary)) {
    return WriteOutcome::NotOpened;
  }
  platform::File file;
  if (!file.Open(temporary, platform::OpenMode::Create)) {
    platform::DeleteFileAt(temporary);
    return WriteOutcome::NotOpened;
  }
  const bool written = file.Write(bytes.data(), bytes.size());
  file.Close();
  if (!written) {
    platform::DeleteFileAt(temporary);
    return WriteOutcome::WriteFailed;
  }
  if (!platform::ReplaceFileWith(temporary, path)) {
    platform::DeleteFileAt(temporary);
    return WriteOutcome::NotOpened;
  }
  return WriteOutcome::Written;
}

// An empty list writes emptyText, or leaves the file alone when there is none.
template <typename Append>
SaveResult Save(const RowStore& rows, const std::string& path, PlaylistFileErrors& errors, std::size_t bytesPerRow,
                Append append, bool stagesAsCaption, std::string_view emptyText = {}) {
  const int count = rows.RowCount();
  if (count == 0 && emptyText.empty()) return SaveResult::EmptyList;
  const char* stage = kStageReserve;
  const auto report = [&] {
    errors.ShowWriteError(kWriteErrorText, stagesAsCaption ? stage : platform::kErrorCaption);
    return SaveResult::Failed;
  };
  try {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * bytesPerRow);
    stage = kStageBuild;
    if (count == 0) {
      text = emptyText;
    } else {
      append(rows, text);
    }
    stage = kStageWrite;
    const WriteOutcome outcome = WriteReplacing(path, text);
    if (outcome == WriteOutcome::NotOpened) return SaveResult::NotOpened;
    if (outcome == WriteOutcome::WriteFailed) return report();
    stage = kStageWritten;
    return SaveResult::Saved;
  } catch (const std::exception&) {
    return report();
  }
}

// One "#EXTINF:" line: the seconds field (at most 7 characters) before the first
// comma and the name (at most 511 bytes) after it, split into artist and title at
// the first " - ". A line without a comma has only the seconds field.
PlaylistEntry ParseInfoLine(std::string_view line) {
  line.remove_prefix(kInfoTag.size());
  const std::size_t comma = line.find(',');
  const std::string_view seconds = line.substr(0, std::min(comma, kMaxSecondsField));
  const std::string_view name = comma == std::string_view::npos
                                    ? std::string_view()
                                    : platform::CutAnsiText(line.substr(comma + 1), kMaxInfoName);
  PlaylistEntry entry;
  entry.length = FormatLength(LeadingNumber(seconds));
  const std::size_t separator = name.find(kArtistSeparator);
  if (separator == std::string_view::npos) {
    entry.title = CutField(name, kTagBufferSize - 1);
  } else {
    entry.artist = CutField(name.substr(0, separator), kTagBufferSize - 1);
    entry.title = CutField(name.substr(separator + kArtistSeparator.size()), kTagBufferSize - 1);
  }
  return entry;
}

// Calls visit(line) for each line of text (split at LF, the CRs before the LF
// removed), the text after the last LF included.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    visit(line);
    if (end == std::string_view::npos) return;
    start = end + 1;
  }
}

// Both readers let the entries grow as rows are found, with no reservation from
// the line count: a file of blank lines would otherwise cost a row's worth of
// memory per line feed before a single row was read.

// Extended files: an info line gives the next path line its title, artist and
// length. Outside the writer's own layout the reader stays on its feet: blank
// lines (and lines blank within the path limit) are skipped, an info line
// without a path is dropped, a path without an info line becomes a row of its
// own, and other "#" lines are comments.
std::vector<PlaylistEntry> ParseExtended(std::string_view text) {
  std::vector<PlaylistEntry> entries;
  const std::size_t headerEnd = text.find('\n');
  if (headerEnd == std::string_view::npos) return entries;
  bool haveInfo = false;
  PlaylistEntry info;
  ForEachLine(text.substr(headerEnd + 1), [&](std::string_view line) {
    if (line.substr(0, kInfoTag.size()) == kInfoTag) {
      info = ParseInfoLine(line);
      haveInfo = true;
      return;
    }
    const std::string_view path = PathField(line);
    if (IsBlank(path)) return;
    if (!haveInfo && path.front() == '#') return;
    PlaylistEntry entry = haveInfo ? std::move(info) : PlaylistEntry{};
    entry.path = path;
    entries.push_back(std::move(entry));
    haveInfo = false;
  });
  return entries;
}

// Plain files: the first line is the writer's lead line and is skipped; every
// other line not blank within the path limit is a path. A file without any line
// feed is one path.
std::vector<PlaylistEntry> ParsePlain(std::string_view text) {
  std::vector<PlaylistEntry> entries;
  const auto add = [&](std::string_view line) {
    const std::string_view path = PathField(line);
    if (IsBlank(path)) return;
    PlaylistEntry entry;
    entry.path = path;
    entries.push_back(std::move(entry));
  };
  const std::size_t firstBreak = text.find('\n');
  if (firstBreak == std::string_view::npos) {
    ForEachLine(text, add);
    return entries;
  }
  ForEachLine(text.substr(firstBreak + 1), add);
  return entries;
}

}  // namespace

std::string LengthToSeconds(std::string_view length) {
  if (length.empty()) return std::string(kNoSeconds);
  const std::size_t colon = length.find(':');
  const long long minutes = LeadingNumber(length.substr(0, colon));
  const long long seconds = colon == std::string_view::npos ? 0 : LeadingNumber(length.substr(colon + 1));
  return std::to_string(minutes * 60 + seconds);
}

std::string BuildExtendedM3u(const RowStore& rows) {
  std::string text;
  if (rows.RowCount() > 0) AppendExtendedRows(rows, text);
  return text;
}

std::string BuildPlainM3u(const RowStore& rows) {
  std::string text;
  if (rows.RowCount() > 0) AppendPlainRows(rows, text);
  return text;
}

SaveResult saveExtendedM3u(const RowStore& rows, const std::string& path, PlaylistFileErrors& errors) {
  return Save(rows, path, errors, kExtendedBytesPerRow, AppendExtendedRows, true);
}

SaveResult saveAutomaticPlaylist(const RowStore& rows, const std::string& path, PlaylistFileErrors& errors) {
  // Emptied, the list is saved as the header alone: leaving the old file would bring
  // the removed rows back at the next start.
  return Save(rows, path, errors, kExtendedBytesPerRow, AppendExtendedRows, true, kExtendedHeader);
}

SaveResult savePlainM3u(const RowStore& rows, const std::string& path, PlaylistFileErrors& errors) {
  return Save(rows, path, errors, kPlainBytesPerRow, AppendPlainRows, false);
}

ParsedPlaylist ParsePlaylistText(std::string_view text) {
  // The file is handled as a C string: a zero byte ends it.
  text = text.substr(0, text.find('\0'));
  ParsedPlaylist parsed;
  parsed.extended = text.substr(0, kExtendedHeader.size()) == kExtendedHeader;
  parsed.entries = parsed.extended ? ParseExtended(text) : ParsePlain(text);
  return parsed;
}

bool loadPlaylistFile(RowStore& rows, const std::string& path, PlaylistFileErrors& errors) {
  std::string contents;
  ParsedPlaylist parsed;
  try {
    if (!platform::ReadWholeFile(path, contents, kMaxPlaylistBytes)) {
      errors.ShowReadError(kReadErrorText);
      return false;
    }
    parsed = ParsePlaylistText(contents);
  } catch (const std::bad_alloc&) {
    errors.ShowReadError(kReadErrorText);
    return false;
  }
  // Plain entries carry a path only, so their other cells come in empty.
  rows.AppendRows(std::move(parsed.entries));
  return true;
}

}  // namespace kestrun::playlist
