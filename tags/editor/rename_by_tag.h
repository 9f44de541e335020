// Renaming files after their tags: four fixed forms and the user's own pattern
// with the placeholders %1 to %6. The new name stays in the file's directory and
// keeps the file's extension.
//
// Tag texts come from files a user downloads, so a name part holding a path
// separator or a drive colon is refused: a rename never moves a file out of its
// directory.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tags/id3/unicode_text.h"

namespace kestrun::tags {

// The form codes of the rename commands.
enum class RenameForm : int {
  ArtistTitle = 1,       // "(artist) title"
  ArtistAlbumTitle = 2,  // "(artist - album) title"
  Title = 3,             // "title"
  ArtistDashTitle = 5,   // "artist - title"
  UserPattern = 6,       // the "UserDefine" pattern expanded
};

// The six texts a pattern can use (the genre is not among them).
struct PatternTexts {
  std::string title;    // %1
  std::string artist;   // %2
  std::string album;    // %3
  std::string year;     // %4
  std::string comment;  // %5
  std::string track;    // %6
};

// The texts the pattern dialog's sample shows.
PatternTexts SamplePatternTexts();

inline constexpr char kDefaultUserPattern[] = "%2 - %1";
// The expanded pattern is cut to this many bytes.
inline constexpr std::size_t kExpandedNameMax = 256;
// The longest path the rename gives a file.
inline constexpr std::size_t kRenamePathMax = 259;

// Replaces every placeholder in text, left to right; the search resumes after
// each inserted value, so a value is never searched again for this placeholder.
void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value);

// %1 .. %6 in that order over the same text: a value holding a later placeholder
// has it replaced too.
void ExpandPatternWith(std::string& pattern, const PatternTexts& texts);

// With sample, the sample texts; otherwise the file's ID3v1 fields (title,
// artist, album, year and comment trimmed; the track byte as "%02d", empty for no
// track). False, pattern unchanged, when the file has no ID3v1 tag.
bool ExpandPattern(const std::string& path, std::string& pattern, bool sample);

// The pattern dialog's sample: the first 175 bytes of the pattern expanded with
// the sample texts, cut to 255 bytes.
std::string PatternSample(std::string_view pattern);

// The name part of a form built from the texts, or nothing when the form's rule
// says not to rename (no title; artist missing but album present for form 2).
// Forms fall back: 1 without artist to 3; 2 without album to 1, without both to 3;
// 5 without artist to 3. pattern is used by form 6 only.
std::optional<std::string> BuildRenameName(RenameForm form, const PatternTexts& texts, std::string_view pattern);

// True when name can stand as a file name in the file's own directory: not empty
// or blank, no "\", "/" or ":" (trail bytes of double-byte characters excepted),
// not "." or "..", and not ending in a lead byte without its trail byte (the
// extension put after it would lose its dot to that character).
bool IsPlainFileName(std::string_view name);

// The directory part of path including its final separator ("C:\Music\",
// "C:\"), and the extension with its dot in its own case ("" when none).
std::string RenameDirectoryOf(std::string_view path);
std::string RenameExtensionOf(std::string_view path);

// Moves the file, never over an existing one. A read-only file has the attribute
// cleared for the move and set again on the new name; when the move fails, the
// old file gets its attribute back.
bool MoveKeepingReadOnly(const std::string& oldPath, const std::string& newPath);

struct RenameOptions {
  bool alwaysId3v1 = false;                       // "AlwaysID3v1"
  std::string userPattern = kDefaultUserPattern;  // "UserDefine"
  AnsiFromUtf16 unicodeTags = nullptr;            // "UnicodeTags": the conversion, or none
};

// Reads the file's tags by its extension (.mp3: ID3v2 when the file begins with
// "ID3" and alwaysId3v1 is off, else ID3v1; .wma, .wmv, .asf: Windows Media; FLAC,
// MP4 and Ogg files: their own metadata) into the pattern texts. False when the chosen source cannot be read or the
// file is of any other type. unicodeTags: ID3v2.4 and Unicode texts too, converted by it.
bool ReadRenameTexts(const std::string& path, bool alwaysId3v1, PatternTexts& texts,
                     AnsiFromUtf16 unicodeTags = nullptr);

// Renames one file after its tags; the new path on success, nothing when the
// file keeps its name (no tag, a form rule, a name IsPlainFileName refuses, a
// path longer than 259 bytes, an existing target, a failed move).
std::optional<std::string> RenameFileByTag(const std::string& path, RenameForm form, const RenameOptions& options);

// Renames the files of the given rows in order through the two accessors of the
// row's path cell; a renamed row gets its new path, the others are left alone.
// Returns how many were renamed.
using RowPathReader = std::function<std::string(int row)>;
using RowPathWriter = std::function<void(int row, const std::string& path)>;
int RenameByTag(const std::vector<int>& rows, const RowPathReader& pathOf, const RowPathWriter& setPath,
                RenameForm form, const RenameOptions& options);

}  // namespace kestrun::tags
