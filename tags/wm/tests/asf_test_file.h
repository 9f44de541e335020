// Builds small ASF files for tests: a Header Object with a File Properties
// Object, optional Content Description and Extended Content Description Objects,
// then a Data Object with a recognisable payload.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tags/wm/wm_fields.h"

namespace kestrun::tags::testing {

// Extended Content Description value types as stored in files.
enum StoredType : std::uint16_t { kString = 0, kBytes = 1, kBool = 2, kDword = 3, kQword = 4, kWord = 5 };

struct TestAttribute {
  std::u16string name;
  std::uint16_t type;
  std::string value;
};

struct TestAsf {
  // Title, Author, Copyright, Description, Rating as raw UTF-16LE bytes.
  std::optional<std::array<std::string, 5>> description;
  std::optional<std::vector<TestAttribute>> extended;
  std::uint32_t flags = 2;  // seekable
  std::string payload = std::string(300, 'P') + "end-of-data";
};

std::string Utf16z(std::u16string_view text);  // UTF-16LE with its terminator
std::string Le32(std::uint32_t value);
std::string Le64(std::uint64_t value);
std::uint64_t ReadLe(const std::string& bytes, std::size_t at, std::size_t width);

std::string BuildAsf(const TestAsf& layout);
// A file with the usual text attributes as strings.
std::string BuildTaggedAsf(const std::vector<std::pair<std::u16string, std::string>>& strings);

// Offsets inside a built file.
std::uint64_t HeaderSizeOf(const std::string& file);
// The file size recorded in the File Properties Object (0 when none is found).
std::uint64_t RecordedFileSize(const std::string& file);

// The seven fields of a tag, each cut to its capacity.
WmFields Fields(const char* title, const char* artist, const char* album, const char* year, const char* comment,
                const char* track, const char* genre);

}  // namespace kestrun::tags::testing
