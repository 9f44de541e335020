#include "tags/editor/rename_by_tag.h"

#include <cstdio>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"
#include "tags/editor/tag_format.h"
#include "tags/formats/container_file.h"
#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/id3/tag_fields.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {
namespace {

constexpr std::string_view kPlaceholders[] = {"%1", "%2", "%3", "%4", "%5", "%6"};
constexpr std::size_t kSamplePatternMax = 175;
constexpr std::size_t kSampleMax = 255;

void CutText(std::string& text, std::size_t maxBytes) { text = std::string(platform::CutAnsiText(text, maxBytes)); }

PatternTexts FromTagFields(const TagFields& fields) {
  return {fields.title, fields.artist, fields.album, fields.year, fields.comment, fields.track};
}

bool ReadId3v1Texts(const std::string& path, PatternTexts& texts) {
  if (!ReadId3v1Tag(path)) return false;
  texts = FromTagFields(DecodeId3v1Record(Id3v1Record));
  if (!texts.track.empty()) {
    char track[8];
    std::snprintf(track, sizeof track, "%02d", std::stoi(texts.track));
    texts.track = track;
  }
  return true;
}

}  // namespace

PatternTexts SamplePatternTexts() { return {"Title", "Artist", "Album", "2001", "Comment", "01"}; }

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
  if (placeholder.empty()) return;
  std::size_t from = 0;
  while ((from = text.find(placeholder, from)) != std::string::npos) {
    text.replace(from, placeholder.size(), value);
    from += value.size();
  }
}

void ExpandPatternWith(std::string& pattern, const PatternTexts& texts) {
  const std::string* values[] = {&texts.title, &texts.artist, &texts.album, &texts.year, &texts.comment, &texts.track};
  for (std::size_t i = 0; i < std::size(kPlaceholders); ++i) ReplaceAll(pattern, kPlaceholders[i], *values[i]);
}

bool ExpandPattern(const std::string& path, std::string& pattern, bool sample) {
  PatternTexts texts;
  if (sample) {
    texts = SamplePatternTexts();
  } else if (!ReadId3v1Texts(path, texts)) {
    return false;
  }
  ExpandPatternWith(pattern, texts);
  return true;
}

std::string PatternSample(std::string_view pattern) {
  std::string text(pattern);
  CutText(text, kSamplePatternMax);
  ExpandPattern(std::string(), text, true);
  CutText(text, kSampleMax);
  return text;
}

std::optional<std::string> BuildRenameName(RenameForm form, const PatternTexts& texts, std::string_view pattern) {
  if (form == RenameForm::UserPattern) {
    std::string name(pattern);
    ExpandPatternWith(name, texts);
    CutText(name, kExpandedNameMax);
    return name;
  }
  if (texts.title.empty()) return std::nullopt;
  switch (form) {
    case RenameForm::ArtistAlbumTitle:
      if (!texts.artist.empty() && !texts.album.empty())
        return "(" + texts.artist + " - " + texts.album + ") " + texts.title;
      if (!texts.artist.empty()) return BuildRenameName(RenameForm::ArtistTitle, texts, pattern);
      if (!texts.album.empty()) return std::nullopt;
      return texts.title;
    case RenameForm::ArtistTitle:
      if (texts.artist.empty()) return texts.title;
      return "(" + texts.artist + ") " + texts.title;
    case RenameForm::ArtistDashTitle:
      if (texts.artist.empty()) return texts.title;
      return texts.artist + " - " + texts.title;
    case RenameForm::Title:
      return texts.title;
    default:
      return std::nullopt;
  }
}

bool IsPlainFileName(std::string_view name) {
  if (name.find_first_not_of(' ') == std::string_view::npos) return false;
  if (name == "." || name == "..") return false;
  // The extension is appended to the name: a lead byte at its end would take the
  // dot for its trail byte, and the renamed file would have no extension.
  if (platform::EndsInLoneLeadByte(name)) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (platform::IsLeadByte(byte) && i + 1 < name.size()) {
      ++i;  // the trail byte may look like "\" but belongs to the character
      continue;
    }
    if (byte == '\\' || byte == '/' || byte == ':') return false;
  }
  return true;
}

std::string RenameDirectoryOf(std::string_view path) {
  return std::string(path.substr(0, platform::FileNameOffset(path)));
}

std::string RenameExtensionOf(std::string_view path) {
  return std::string(path.substr(platform::ExtensionOffset(path)));
}

bool MoveKeepingReadOnly(const std::string& oldPath, const std::string& newPath) {
  bool readOnly = false;
  if (!platform::IsReadOnly(oldPath, readOnly)) return false;
  if (!readOnly) return platform::MoveFileTo(oldPath, newPath);
  if (!platform::SetReadOnly(oldPath, false)) return false;
  if (!platform::MoveFileTo(oldPath, newPath)) {
    // Leave the file as it was found.
    platform::SetReadOnly(oldPath, true);
    return false;
  }
  platform::SetReadOnly(newPath, true);
  return true;
}

bool ReadRenameTexts(const std::string& path, bool alwaysId3v1, PatternTexts& texts, AnsiFromUtf16 unicodeTags) {
  texts = {};
  switch (TagFormatOf(path)) {
    case TagFormat::Id3:
      if (!alwaysId3v1 && HasId3v2Header(path)) {
        // A file that begins with "ID3" is read as ID3v2 only: an unreadable tag
        // (ID3v2.4, damaged) is not replaced by an older ID3v1 record.
        TagFields fields;
        if (!ReadId3v2Fields(path, fields, unicodeTags)) return false;
        texts = FromTagFields(fields);
        return true;
      }
      return ReadId3v1Texts(path, texts);
    case TagFormat::WindowsMedia: {
      WmFields fields{};
      if (!ReadWmFields(path.c_str(), fields, unicodeTags)) return false;
      texts = {fields.title, fields.artist, fields.album, fields.year, fields.comment, fields.track};
      return true;
    }
    case TagFormat::Container: {
      TagFields fields;
      if (!ReadContainerTags(path, fields, unicodeTags)) return false;
      texts = FromTagFields(fields);
      return true;
    }
    case TagFormat::Midi:
    case TagFormat::None:
      break;
  }
  return false;
}

std::optional<std::string> RenameFileByTag(const std::string& path, RenameForm form, const RenameOptions& options) {
  PatternTexts texts;
  if (!ReadRenameTexts(path, options.alwaysId3v1, texts, options.unicodeTags)) return std::nullopt;
  const std::optional<std::string> name = BuildRenameName(form, texts, options.userPattern);
  if (!name || !IsPlainFileName(*name)) return std::nullopt;
  const std::string newPath = RenameDirectoryOf(path) + *name + RenameExtensionOf(path);
  if (newPath.size() > kRenamePathMax || newPath == path) return std::nullopt;
  if (!MoveKeepingReadOnly(path, newPath)) return std::nullopt;
  return newPath;
}

int RenameByTag(const std::vector<int>& rows, const RowPathReader& pathOf, const RowPathWriter& setPath,
                RenameForm form, const RenameOptions& options) {
  int renamed = 0;
  for (const int row : rows) {
    const std::optional<std::string> newPath = RenameFileByTag(pathOf(row), form, options);
    if (!newPath) continue;
    setPath(row, *newPath);
    ++renamed;
  }
  return renamed;
}

}  // namespace kestrun::tags
