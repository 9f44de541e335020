#include "tags/wm/tests/asf_test_file.h"

#include <cstring>

#include "tags/wm/asf_header.h"

namespace kestrun::tags::testing {
namespace {

std::string Guid(const AsfGuid& g) { return std::string(reinterpret_cast<const char*>(g.data()), g.size()); }

std::string Object(const AsfGuid& g, const std::string& body) { return Guid(g) + Le64(24 + body.size()) + body; }

}  // namespace

std::string Utf16z(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  out.append(2, '\0');
  return out;
}

std::string Le32(std::uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

std::string Le64(std::uint64_t v) {
  std::string out;
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

std::uint64_t ReadLe(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i) {
    v |= std::uint64_t{static_cast<std::uint8_t>(bytes[at + i])} << (8 * i);
  }
  return v;
}

std::string BuildAsf(const TestAsf& layout) {
  auto le16 = [](std::size_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
  };
  std::vector<std::string> objects;
  // File Properties: file id, file size (patched), dates and counts, flags, packet sizes, bitrate.
  std::string props = std::string(16, '\x11') + Le64(0) + Le64(0) + Le64(1) + Le64(5000000) + Le64(5000000) + Le64(0) +
                      Le32(layout.flags) + Le32(3200) + Le32(3200) + Le32(64000);
  objects.push_back(Object(kAsfFilePropertiesObject, props));
  if (layout.description) {
    std::string body;
    for (const auto& t : *layout.description) body += le16(t.size());
    for (const auto& t : *layout.description) body += t;
    objects.push_back(Object(kAsfContentDescriptionObject, body));
  }
  if (layout.extended) {
    std::string body = le16(layout.extended->size());
    for (const auto& a : *layout.extended) {
      const std::string name = Utf16z(a.name);
      body += le16(name.size()) + name + le16(a.type) + le16(a.value.size()) + a.value;
    }
    objects.push_back(Object(kAsfExtendedContentDescriptionObject, body));
  }
  std::string children;
  for (const auto& o : objects) children += o;
  std::string header = Guid(kAsfHeaderObject) + Le64(30 + children.size()) + Le32(objects.size()) + "\x01\x02";
  header += children;
  const std::string data = Object(kAsfDataObject, std::string(16, '\x11') + Le64(1) + "\x01\x01" + layout.payload);
  std::string file = header + data;
  // Patch the recorded file size (offset 40 inside the File Properties Object).
  const std::string size = Le64(file.size());
  file.replace(30 + 40, 8, size);
  return file;
}

std::string BuildTaggedAsf(const std::vector<std::pair<std::u16string, std::string>>& strings) {
  TestAsf layout;
  layout.extended.emplace();
  std::array<std::string, 5> description{};
  bool anyDescription = false;
  const char16_t* names[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};
  for (const auto& [name, value] : strings) {
    bool inDescription = false;
    for (int i = 0; i < 5; ++i) {
      if (name == names[i]) {
        description[i] = value;
        anyDescription = inDescription = true;
      }
    }
    if (!inDescription) layout.extended->push_back({name, kString, value});
  }
  if (anyDescription) layout.description = description;
  return BuildAsf(layout);
}

std::uint64_t HeaderSizeOf(const std::string& file) { return ReadLe(file, 16, 8); }

std::uint64_t RecordedFileSize(const std::string& file) {
  const std::uint64_t headerSize = HeaderSizeOf(file);
  std::size_t at = 30;
  while (at + 24 <= headerSize && at + 24 <= file.size()) {
    const std::uint64_t size = ReadLe(file, at + 16, 8);
    if (file.compare(at, 16, Guid(kAsfFilePropertiesObject)) == 0) return ReadLe(file, at + 40, 8);
    if (size < 24) break;
    at += size;
  }
  return 0;
}

WmFields Fields(const char* title, const char* artist, const char* album, const char* year, const char* comment,
                const char* track, const char* genre) {
  WmFields f{};
  std::strncpy(f.title, title, sizeof f.title - 1);
  std::strncpy(f.artist, artist, sizeof f.artist - 1);
  std::strncpy(f.album, album, sizeof f.album - 1);
  std::strncpy(f.year, year, sizeof f.year - 1);
  std::strncpy(f.comment, comment, sizeof f.comment - 1);
  std::strncpy(f.track, track, sizeof f.track - 1);
  std::strncpy(f.genre, genre, sizeof f.genre - 1);
  return f;
}

}  // namespace kestrun::tags::testing
