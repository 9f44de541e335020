// The ASF Header Object in memory: parsed from its bytes, its attributes read and
// set, and written back as bytes.
//
// Only the two objects that hold file-level attributes are taken apart: the
// Content Description Object ("Title", "Author", "Copyright", "Description",
// "Rating") and the Extended Content Description Object (every other name, such
// as "WM/AlbumTitle"). Every other object is kept byte for byte; the File
// Properties Object's file size is moved by as many bytes as the header grows or
// shrinks, so the rewritten file stays playable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tags/wm/wm_editor.h"

namespace kestrun::tags {

using AsfGuid = std::array<std::uint8_t, 16>;

inline constexpr std::size_t kAsfHeaderPrefixBytes = 30;  // GUID, size, count, two reserved bytes
inline constexpr std::size_t kAsfObjectPrefixBytes = 24;  // GUID, size
// Headers larger than this are refused rather than read into memory.
inline constexpr std::uint64_t kAsfMaxHeaderBytes = 64ull * 1024 * 1024;

extern const AsfGuid kAsfHeaderObject;
extern const AsfGuid kAsfDataObject;
extern const AsfGuid kAsfFilePropertiesObject;
extern const AsfGuid kAsfContentDescriptionObject;
extern const AsfGuid kAsfExtendedContentDescriptionObject;

// Reads the fixed start of a Header Object: true when the GUID matches and the
// declared size is plausible (at least the prefix, at most kAsfMaxHeaderBytes).
bool ReadAsfHeaderSize(std::span<const std::uint8_t> prefix, std::uint64_t& size);

class AsfHeader {
 public:
  // Parses a whole Header Object (exactly its declared size). Every size and
  // count is checked against the bytes present; anything inconsistent fails.
  bool Parse(std::span<const std::uint8_t> bytes);

  // Attribute access with the editor's types and result codes.
  WmResult Get(const std::u16string& name, WmAttrType& type, std::string& value) const;
  WmResult Set(const std::u16string& name, WmAttrType type, std::string value);

  // The Header Object as bytes, with the object count, its size and the file
  // size adjusted.
  std::string Serialize() const;
  std::uint64_t OriginalSize() const { return originalSize_; }

 private:
  enum class Part { Opaque, ContentDescription, ExtendedContentDescription, FileProperties };
  struct Object {
    Part part;
    std::string bytes;  // whole object for Opaque/FileProperties; unused otherwise
  };
  struct ExtendedAttribute {
    std::u16string name;
    std::uint16_t storedType;  // the object's own type numbering
    std::string value;
  };

  bool ParseContentDescription(std::span<const std::uint8_t> body);
  bool ParseExtendedContentDescription(std::span<const std::uint8_t> body);
  std::string SerializeContentDescription() const;
  std::string SerializeExtendedContentDescription() const;

  std::vector<Object> objects_;
  // Title, Author, Copyright, Description, Rating: raw UTF-16LE bytes.
  std::array<std::string, 5> description_;
  std::vector<ExtendedAttribute> extended_;
  std::uint8_t reserved1_ = 1;
  std::uint8_t reserved2_ = 2;
  std::uint64_t originalSize_ = 0;
};

}  // namespace kestrun::tags
