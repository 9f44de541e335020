// The player's own ID3v2 reader and writer: ID3v2.2 and ID3v2.3.0 tags are read,
// ID3v2.3.0 is written (an ID3v2.2 tag is converted to it). With Unicode reading
// switched on (SetUnicodeReading), ID3v2.4 tags are read too and written back as
// ID3v2.4, and text frames in UTF-16 and UTF-8 are converted to the ANSI code
// page. A tag is kept in memory as every frame of the file in file order; the
// seven texts of TagFields read and write the first frame of their ID (the
// comment: the first COMM with an empty description), every other frame is kept
// as read and written back byte for byte.
//
// On disk: a 10-byte header ("ID3", major version, revision, flags with bit 7 =
// unsynchronisation and bit 6 = extended header, a 4-byte syncsafe size of
// everything after the header), then frames (ID3v2.3: 4-byte ID, 4-byte size,
// 2 flag bytes; ID3v2.2: 3-byte ID, 3-byte size), then zero padding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tags/id3/tag_fields.h"
#include "tags/id3/unicode_text.h"

namespace kestrun::platform {
class File;
}  // namespace kestrun::platform

namespace kestrun::tags {

inline constexpr std::size_t kId3v2HeaderSize = 10;
// Padding given to a tag that has to grow, so later edits fit in place.
inline constexpr std::uint32_t kId3v2GrowPadding = 2048;
// LoadTag, SaveTag and CreateTag return 0 on success, this when there is no
// (supported) tag or the object is in the wrong state, else a system error code.
inline constexpr int kId3v2NoTag = -1;
// SaveTag's answer for an ID3v2.2 tag holding a frame that has no ID3v2.3
// counterpart: the tag is not written, so no frame is lost on the way.
inline constexpr int kId3v2CannotConvert = -2;

// One frame in memory. The frame owns its data; copying a frame copies it.
class Id3v2Frame {
 public:
  Id3v2Frame() = default;
  Id3v2Frame(const char (&id)[5], std::vector<std::uint8_t> data, std::uint16_t flags = 0);
  virtual ~Id3v2Frame() = default;
  Id3v2Frame(const Id3v2Frame&) = default;
  Id3v2Frame& operator=(const Id3v2Frame&) = default;
  Id3v2Frame(Id3v2Frame&&) = default;
  Id3v2Frame& operator=(Id3v2Frame&&) = default;

  std::string_view Id() const { return std::string_view(id.data(), id.size()); }
  std::uint32_t DataSize() const { return static_cast<std::uint32_t>(data.size()); }

  std::array<char, 4> id{};
  // The frame's content. ID3v2.2/2.3: as in the body (after the tag's own
  // unsynchronisation is undone). ID3v2.4: with its group byte, data-length
  // indicator and unsynchronisation removed; empty for a compressed or
  // encrypted frame, which cannot be read.
  std::vector<std::uint8_t> data;
  std::uint16_t flags = 0;  // the two flag bytes as read, big-endian
  // ID3v2.4 only: the frame's data exactly as the file held it, written back
  // unchanged while the frame is not replaced.
  std::vector<std::uint8_t> stored;
  bool keepStored = false;
};

class Id3v2Tag {
 public:
  Id3v2Tag();
  virtual ~Id3v2Tag() = default;
  Id3v2Tag(const Id3v2Tag&) = default;
  Id3v2Tag& operator=(const Id3v2Tag&) = default;

  // Reads ID3v2.4 tags and UTF-16/UTF-8 texts from the next load on, converting
  // texts with toAnsi; nullptr (the default) reads only ID3v2.2, ID3v2.3.0 and
  // single-byte texts.
  void SetUnicodeReading(AnsiFromUtf16 toAnsi) { toAnsi_ = toAnsi; }
  // With toUtf16, SetText writes a text frame or comment whose frame held Unicode
  // as UTF-16 with a byte-order mark when the new text holds a byte beyond ASCII,
  // so the characters other programs showed are kept; nullptr writes single-byte.
  // In an ID3v2.4 tag a changed text keeps its frame's encoding, and a text
  // beyond ASCII in a single-byte or new frame goes in as UTF-8.
  void SetUnicodeWriting(Utf16FromAnsi toUtf16) { toUtf16_ = toUtf16; }

  // Reads the tag at the start of the file. 0, kId3v2NoTag (no tag, ID3v2.4
  // without Unicode reading, a later ID3v2.3 revision, a body the file does not
  // hold) or a system error.
  int LoadTag(const std::string& path);
  // The same from a file already open for reading (read from its start), so a
  // caller that also wants the ID3v1 record opens the file only once.
  int LoadTagFrom(platform::File& file);
  // Writes the tag back in its version (ID3v2.4 stays ID3v2.4, everything else
  // becomes ID3v2.3.0): in place when the frames fit the old tag size, else
  // through a temporary file with kId3v2GrowPadding bytes of padding. Needs an
  // earlier LoadTag or CreateTag of the same file. kId3v2CannotConvert, with
  // the file untouched, for an ID3v2.2 tag that cannot be converted whole.
  int SaveTag(const std::string& path);
  // Puts a new tag in front of a file that has none; its only frame is TIT2
  // holding the file name without directory and extension.
  int CreateTag(const std::string& path);
  // Builds in memory the tag CreateTag would put in front of the file, without
  // touching the file; the next SaveTag writes it (with whatever was set in
  // between) in one pass, so the file is either fully tagged or unchanged.
  void PrepareNewTag(const std::string& path);

  // Reads a whole tag (header and body) from memory, with the checks of LoadTag;
  // bytes may run on past the tag (the audio that follows it).
  int ParseTag(const std::uint8_t* bytes, std::size_t size);

  // Frame texts: "T…" frames, COMM (language "eng", empty description) and "W…"
  // frames (empty description). Any other frame reads as "" and cannot be set.
  // Each reads and sets the first frame of its ID; the comment is the first COMM
  // whose description is empty. An empty text removes that one frame.
  std::string GetText(std::string_view id) const;
  void SetText(std::string_view id, std::string_view text);

  std::string GetTitle() const { return GetText("TIT2"); }
  std::string GetArtist() const { return GetText("TPE1"); }
  std::string GetAlbum() const { return GetText("TALB"); }
  // The year: TYER, or in an ID3v2.4 tag its recording time TDRC (which
  // replaced TYER there).
  std::string GetYear() const { return GetText(YearId()); }
  std::string GetComment() const { return GetText("COMM"); }
  std::string GetTrack() const { return GetText("TRCK"); }
  void SetTitle(std::string_view text) { SetText("TIT2", text); }
  void SetArtist(std::string_view text) { SetText("TPE1", text); }
  void SetAlbum(std::string_view text) { SetText("TALB", text); }
  void SetYear(std::string_view text) { SetText(YearId(), text); }
  void SetComment(std::string_view text) { SetText("COMM", text); }
  void SetTrack(std::string_view text) { SetText("TRCK", text); }

  // The TCON refinement text: "(17)Rock" and "(17)(18)Rock" read as "Rock",
  // "(17)" as "", "((x" as "(x".
  std::string GetGenre() const;
  // "(n)name" when name is slot n of Id3v2GenreNames (n < 255), else the name
  // alone; "" removes TCON.
  void SetGenre(std::string_view name);

  // Every frame in file order (frames set later are added at the end).
  const std::vector<Id3v2Frame>& Frames() const { return frames_; }
  // The first frame with the ID, or nullptr; FrameAt throws std::out_of_range
  // when there is none.
  const Id3v2Frame* FindFrame(std::string_view id) const;
  const Id3v2Frame& FrameAt(std::string_view id) const;
  std::size_t FrameCount(std::string_view id) const;
  // The write order: frames sorted by their ID read as a little-endian number
  // (by the last character first), frames of one ID in their own order.
  static std::uint32_t FrameKey(std::string_view id);
  std::string_view YearId() const { return version_ == 0x0400 ? "TDRC" : "TYER"; }
  bool HasTag() const { return hasTag_; }
  // 0x0300 for every tag that is written back as ID3v2.3.0, 0x0400 for an
  // ID3v2.4 tag (read with Unicode reading on, written back as ID3v2.4).
  std::uint16_t Version() const { return version_; }
  const std::array<std::uint8_t, kId3v2HeaderSize>& Header() const { return header_; }
  // The first ID3v2.2 frame that has no ID3v2.3 counterpart ("" when the tag
  // converts whole); such a tag is read but never written.
  const std::string& Unconvertible() const { return unconvertible_; }

  // The frames as written (frames of fewer than 2 data bytes are left out), in
  // write order, before the ID3v2.3 tag's unsynchronisation.
  std::vector<std::uint8_t> SerializeFrames() const;

 private:
  void Reset();
  // Reads ID3v2.2/2.3 frames out of a body that has already been resynchronised.
  void ParseFrames(std::span<const std::uint8_t> body, std::size_t start, bool v22);
  // ID3v2.4 frames: syncsafe sizes (or plain ones, as some writers put them),
  // each frame's own unsynchronisation (or the whole tag's), group byte and
  // data-length indicator removed from the readable content.
  void ParseFrames24(std::span<const std::uint8_t> body, std::size_t start, bool allUnsynchronised);
  bool IsReadableVersion(std::uint8_t major, std::uint8_t revision) const;
  // The text of an encoded string (encoding byte 0 to 3) as ANSI bytes.
  std::string DecodeText(std::uint8_t encoding, const std::uint8_t* p, std::size_t size) const;
  // The frame a field reads and writes: the first of its ID (for COMM the first
  // with an empty description); frames_.size() when there is none.
  std::size_t FieldFrame(std::string_view id) const;
  // The data of a text or comment frame holding text in an ID3v2.4 tag.
  std::vector<std::uint8_t> EncodeText24(std::string_view id, std::string_view text, const Id3v2Frame* old) const;
  // Header, body and padding of a tag of tagSize bytes after the header.
  std::vector<std::uint8_t> BuildTag(const std::vector<std::uint8_t>& body, std::uint32_t tagSize);
  int WriteGrown(const std::string& path, const std::vector<std::uint8_t>& tag, std::uint64_t oldTagEnd);

  bool hasTag_ = false;
  // False while a prepared tag has not been written: the file has no tag yet.
  bool inFile_ = false;
  std::array<std::uint8_t, kId3v2HeaderSize> header_{};
  std::uint16_t version_ = 0x0300;
  // Bytes the tag takes in the file after its header (an ID3v2.4 footer
  // included): what an in-place write may fill.
  std::uint32_t spaceInFile_ = 0;
  std::vector<Id3v2Frame> frames_;
  std::string unconvertible_;
  AnsiFromUtf16 toAnsi_ = nullptr;
  Utf16FromAnsi toUtf16_ = nullptr;
};

// Unsynchronisation as the writer applies it: a zero byte after every 0xFF that
// is followed by 0x00 or by a byte of 0xE0 and above.
std::vector<std::uint8_t> Unsynchronise(const std::vector<std::uint8_t>& body);
// The reverse: drops every zero byte that directly follows a 0xFF byte.
std::vector<std::uint8_t> Resynchronise(const std::uint8_t* body, std::size_t size);

// True when the file's first bytes are "ID3" (and it has at least 5 bytes).
bool HasId3v2Header(const std::string& path);
// True when the file starts with an ID3v2.4 tag header, which is never written.
bool HasId3v24Header(const std::string& path);
// All seven texts, each cut to maxBytes (kTagTextMax unless a caller such as
// the editor wants whole fields); false without a readable tag.
// toAnsi switches Unicode reading on (see Id3v2Tag::SetUnicodeReading).
bool ReadId3v2Fields(const std::string& path, TagFields& fields, AnsiFromUtf16 toAnsi = nullptr,
                     std::size_t maxBytes = kTagTextMax);
// Title and artist only, each cut to kTagTextMax bytes.
bool ReadId3v2TitleArtist(const std::string& path, std::string& title, std::string& artist,
                          AnsiFromUtf16 toAnsi = nullptr);
// The same from a file already open for reading, so that a caller falling back to
// the ID3v1 record opens the file once.
bool ReadId3v2TitleArtist(platform::File& file, std::string& title, std::string& artist,
                          AnsiFromUtf16 toAnsi = nullptr);

enum class Id3v2WriteResult {
  Written,
  Failed,
  // An ID3v2.4 tag while Unicode reading is off: not written, the file as it was.
  Version24Refused,
  // An ID3v2.2 tag with a frame that has no ID3v2.3 counterpart: not written.
  CannotConvert,
};

// Writes the fields marked in changed (an empty text removes its frame) and
// leaves every other frame byte for byte as it was, creating a tag first when
// the file has none (then every field counts as changed). The tag keeps its
// version: ID3v2.4 stays ID3v2.4 (only with toAnsi, and toUtf16 for texts
// beyond ASCII), ID3v2.2 becomes ID3v2.3. Clears and restores the read-only
// attribute. toUtf16: a changed field whose frame held Unicode goes back as
// Unicode (see Id3v2Tag::SetUnicodeWriting).
Id3v2WriteResult WriteId3v2Changes(const std::string& path, const TagFields& fields, const TagFieldSet& changed,
                                   AnsiFromUtf16 toAnsi = nullptr, Utf16FromAnsi toUtf16 = nullptr);
// The same where a field counts as changed when its text is not what
// ReadId3v2Fields gives with the same toAnsi. True when written.
bool WriteId3v2Fields(const std::string& path, const TagFields& fields, AnsiFromUtf16 toAnsi = nullptr,
                      Utf16FromAnsi toUtf16 = nullptr);

}  // namespace kestrun::tags
