#include "tags/wm/asf_header.h"

#include "platform/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace kestrun::tags {
namespace {

// GUIDs are stored with their first three fields little-endian.
constexpr AsfGuid MakeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::array<std::uint8_t, 8> d4) {
  AsfGuid g{};
  for (int i = 0; i < 4; ++i) g[i] = static_cast<std::uint8_t>(d1 >> (8 * i));
  for (int i = 0; i < 2; ++i) g[4 + i] = static_cast<std::uint8_t>(d2 >> (8 * i));
  for (int i = 0; i < 2; ++i) g[6 + i] = static_cast<std::uint8_t>(d3 >> (8 * i));
  for (int i = 0; i < 8; ++i) g[8 + i] = d4[i];
  return g;
}

// The Content Description Object's five texts, in their stored order.
constexpr const char16_t* kDescriptionNames[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};

// File Properties Object: offsets of the file size and the flags, and its size.
constexpr std::size_t kFileSizeOffset = 40;
constexpr std::size_t kFlagsOffset = 88;
constexpr std::size_t kFilePropertiesMinBytes = 104;
constexpr std::uint32_t kBroadcastFlag = 1;  // file size not meaningful

// Extended Content Description value types as stored in the object.
enum StoredType : std::uint16_t {
  kStoredString = 0,
  kStoredBytes = 1,
  kStoredBool = 2,
  kStoredDword = 3,
  kStoredQword = 4,
  kStoredWord = 5,
};

using platform::ByteReader;

void PutLe(std::string& out, std::uint64_t v, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PatchLe(std::string& out, std::size_t at, std::uint64_t v, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint64_t GetLe(const std::string& s, std::size_t at, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{static_cast<std::uint8_t>(s[at + i])} << (8 * i);
  return v;
}

void PutGuid(std::string& out, const AsfGuid& g) { out.append(reinterpret_cast<const char*>(g.data()), g.size()); }

bool SameGuid(std::span<const std::uint8_t> bytes, const AsfGuid& g) {
  return bytes.size() >= g.size() && std::memcmp(bytes.data(), g.data(), g.size()) == 0;
}

std::string AsString(std::span<const std::uint8_t> s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

// A stored name: UTF-16LE, ending at its first zero unit (the terminator).
std::u16string DecodeName(std::span<const std::uint8_t> bytes) {
  std::u16string name;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    name.push_back(c);
  }
  return name;
}

bool SameNameIgnoringCase(const std::u16string& a, const char16_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return i == a.size() && b[i] == 0;
}

int DescriptionIndex(const std::u16string& name) {
  for (int i = 0; i < 5; ++i) {
    if (name == kDescriptionNames[i]) return i;
  }
  return -1;
}

bool ToStoredType(WmAttrType type, std::uint16_t& stored) {
  switch (type) {
    case WmAttrType::String:
      stored = kStoredString;
      return true;
    case WmAttrType::Binary:
      stored = kStoredBytes;
      return true;
    case WmAttrType::Bool:
      stored = kStoredBool;
      return true;
    case WmAttrType::Dword:
      stored = kStoredDword;
      return true;
    case WmAttrType::Qword:
      stored = kStoredQword;
      return true;
    case WmAttrType::Word:
      stored = kStoredWord;
      return true;
    case WmAttrType::Guid:
      return false;  // the object has no GUID type
  }
  return false;
}

WmAttrType FromStoredType(std::uint16_t stored) {
  switch (stored) {
    case kStoredString:
      return WmAttrType::String;
    case kStoredBytes:
      return WmAttrType::Binary;
    case kStoredBool:
      return WmAttrType::Bool;
    case kStoredDword:
      return WmAttrType::Dword;
    case kStoredQword:
      return WmAttrType::Qword;
    default:
      return WmAttrType::Word;
  }
}

// The byte size a fixed-size type must have (0 for variable sizes).
std::size_t FixedSize(WmAttrType type) {
  switch (type) {
    case WmAttrType::Dword:
    case WmAttrType::Bool:
      return 4;
    case WmAttrType::Qword:
      return 8;
    case WmAttrType::Word:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

const AsfGuid kAsfHeaderObject = MakeGuid(0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
const AsfGuid kAsfDataObject = MakeGuid(0x75B22636, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
const AsfGuid kAsfFilePropertiesObject =
    MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
const AsfGuid kAsfContentDescriptionObject =
    MakeGuid(0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
const AsfGuid kAsfExtendedContentDescriptionObject =
    MakeGuid(0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50});

bool ReadAsfHeaderSize(std::span<const std::uint8_t> prefix, std::uint64_t& size) {
  if (prefix.size() < kAsfHeaderPrefixBytes || !SameGuid(prefix, kAsfHeaderObject)) return false;
  ByteReader r(prefix.subspan(16));
  size = r.U64();
  return size >= kAsfHeaderPrefixBytes && size <= kAsfMaxHeaderBytes;
}

bool AsfHeader::Parse(std::span<const std::uint8_t> bytes) {
  *this = AsfHeader{};
  std::uint64_t declared = 0;
  if (!ReadAsfHeaderSize(bytes, declared) || declared != bytes.size()) return false;
  constexpr std::size_t kCountOffset = 24;
  ByteReader r(bytes.subspan(kCountOffset));
  const std::uint32_t count = r.U32();
  reserved1_ = static_cast<std::uint8_t>(r.ReadLe(1));
  reserved2_ = static_cast<std::uint8_t>(r.ReadLe(1));
  // A second reserved byte other than 2 marks content players must refuse.
  if (!r.ok() || reserved2_ != 2) return false;
  // Each object takes at least its 24-byte prefix.
  if (count > (bytes.size() - kAsfHeaderPrefixBytes) / kAsfObjectPrefixBytes) return false;

  bool haveDescription = false, haveExtended = false, haveProperties = false;
  while (r.remaining() > 0) {
    const std::size_t start = r.position();
    const auto guid = r.Take(16);
    const std::uint64_t size = r.U64();
    if (!r.ok() || size < kAsfObjectPrefixBytes || size - kAsfObjectPrefixBytes > r.remaining()) return false;
    const auto body = r.Take(static_cast<std::size_t>(size - kAsfObjectPrefixBytes));
    const auto whole = bytes.subspan(kCountOffset + start, static_cast<std::size_t>(size));

    if (!haveDescription && SameGuid(guid, kAsfContentDescriptionObject)) {
      if (!ParseContentDescription(body)) return false;
      haveDescription = true;
      objects_.push_back({Part::ContentDescription, {}});
    } else if (!haveExtended && SameGuid(guid, kAsfExtendedContentDescriptionObject)) {
      if (!ParseExtendedContentDescription(body)) return false;
      haveExtended = true;
      objects_.push_back({Part::ExtendedContentDescription, {}});
    } else if (!haveProperties && SameGuid(guid, kAsfFilePropertiesObject)) {
      if (size < kFilePropertiesMinBytes) return false;
      haveProperties = true;
      objects_.push_back({Part::FileProperties, AsString(whole)});
    } else {
      objects_.push_back({Part::Opaque, AsString(whole)});
    }
  }
  if (objects_.size() != count) return false;
  originalSize_ = bytes.size();
  return true;
}

bool AsfHeader::ParseContentDescription(std::span<const std::uint8_t> body) {
  ByteReader r(body);
  std::array<std::uint16_t, 5> lengths{};
  for (auto& length : lengths) length = r.U16();
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    const auto text = r.Take(lengths[i]);
    if (!r.ok()) return false;
    description_[i] = AsString(text);
  }
  return true;
}

bool AsfHeader::ParseExtendedContentDescription(std::span<const std::uint8_t> body) {
  ByteReader r(body);
  const std::uint16_t count = r.U16();
  // Each descriptor takes at least its three 16-bit fields and a name length.
  if (!r.ok() || count > r.remaining() / 8) return false;
  extended_.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint16_t nameLength = r.U16();
    const auto name = r.Take(nameLength);
    const std::uint16_t type = r.U16();
    const std::uint16_t valueLength = r.U16();
    const auto value = r.Take(valueLength);
    if (!r.ok() || type > kStoredWord) return false;
    extended_.push_back({DecodeName(name), type, AsString(value)});
  }
  return true;
}

WmResult AsfHeader::Get(const std::u16string& name, WmAttrType& type, std::string& value) const {
  // Some writers keep these texts among the extended attributes instead.
  if (const int i = DescriptionIndex(name); i >= 0 && !description_[i].empty()) {
    type = WmAttrType::String;
    value = description_[i];
    return kWmOk;
  }
  for (const auto& a : extended_) {
    if (a.name == name) {
      type = FromStoredType(a.storedType);
      value = a.value;
      return kWmOk;
    }
  }
  return kWmNotFound;
}

WmResult AsfHeader::Set(const std::u16string& name, WmAttrType type, std::string value) {
  if (name.empty() || value.size() > 0xFFFF) return kWmInvalidArg;
  const std::size_t fixed = FixedSize(type);
  if (fixed != 0 && value.size() != fixed) return kWmInvalidArg;
  if (type == WmAttrType::String && value.size() % 2 != 0) return kWmInvalidArg;

  if (const int i = DescriptionIndex(name); i >= 0) {
    if (type != WmAttrType::String) return kWmInvalidArg;
    // Some writers repeat these texts among the extended attributes; keep such
    // copies equal so that no reader finds the old value there.
    for (auto& a : extended_) {
      if (SameNameIgnoringCase(a.name, kDescriptionNames[i])) {
        a.storedType = kStoredString;
        a.value = value;
      }
    }
    description_[i] = std::move(value);
    const bool present = std::any_of(objects_.begin(), objects_.end(),
                                     [](const Object& o) { return o.part == Part::ContentDescription; });
    if (!present) objects_.push_back({Part::ContentDescription, {}});
    return kWmOk;
  }

  std::uint16_t stored = 0;
  if (!ToStoredType(type, stored)) return kWmInvalidArg;
  // Names longer than a 16-bit byte count can hold cannot be stored.
  if ((name.size() + 1) * 2 > 0xFFFF) return kWmInvalidArg;
  auto it =
      std::find_if(extended_.begin(), extended_.end(), [&](const ExtendedAttribute& a) { return a.name == name; });
  if (it != extended_.end()) {
    it->storedType = stored;
    it->value = std::move(value);
  } else {
    if (extended_.size() >= 0xFFFF) return kWmFail;
    extended_.push_back({name, stored, std::move(value)});
  }
  const bool present = std::any_of(objects_.begin(), objects_.end(),
                                   [](const Object& o) { return o.part == Part::ExtendedContentDescription; });
  if (!present) objects_.push_back({Part::ExtendedContentDescription, {}});
  return kWmOk;
}

std::string AsfHeader::SerializeContentDescription() const {
  std::string out;
  PutGuid(out, kAsfContentDescriptionObject);
  PutLe(out, 0, 8);  // size, patched below
  for (const auto& text : description_) PutLe(out, text.size(), 2);
  for (const auto& text : description_) out += text;
  PatchLe(out, 16, out.size(), 8);
  return out;
}

std::string AsfHeader::SerializeExtendedContentDescription() const {
  std::string out;
  PutGuid(out, kAsfExtendedContentDescriptionObject);
  PutLe(out, 0, 8);
  PutLe(out, extended_.size(), 2);
  for (const auto& a : extended_) {
    PutLe(out, (a.name.size() + 1) * 2, 2);
    for (char16_t c : a.name) PutLe(out, c, 2);
    PutLe(out, 0, 2);
    PutLe(out, a.storedType, 2);
    PutLe(out, a.value.size(), 2);
    out += a.value;
  }
  PatchLe(out, 16, out.size(), 8);
  return out;
}

std::string AsfHeader::Serialize() const {
  std::string out;
  PutGuid(out, kAsfHeaderObject);
  PutLe(out, 0, 8);
  PutLe(out, objects_.size(), 4);
  out.push_back(static_cast<char>(reserved1_));
  out.push_back(static_cast<char>(reserved2_));
  std::size_t propertiesAt = 0;
  for (const auto& o : objects_) {
    switch (o.part) {
      case Part::ContentDescription:
        out += SerializeContentDescription();
        break;
      case Part::ExtendedContentDescription:
        out += SerializeExtendedContentDescription();
        break;
      case Part::FileProperties:
        propertiesAt = out.size();
        out += o.bytes;
        break;
      case Part::Opaque:
        out += o.bytes;
        break;
    }
  }
  PatchLe(out, 16, out.size(), 8);

  // The file grows or shrinks by exactly the header's change in size.
  if (propertiesAt != 0) {
    const std::uint32_t flags = static_cast<std::uint32_t>(GetLe(out, propertiesAt + kFlagsOffset, 4));
    const std::uint64_t fileSize = GetLe(out, propertiesAt + kFileSizeOffset, 8);
    // A recorded size that cannot be right (smaller than the header, or so large
    // that moving it overflows) is left as it was.
    const std::uint64_t newHeader = out.size();
    if ((flags & kBroadcastFlag) == 0 && fileSize >= originalSize_ && originalSize_ != 0 &&
        fileSize - originalSize_ <= ~std::uint64_t{0} - newHeader) {
      PatchLe(out, propertiesAt + kFileSizeOffset, fileSize - originalSize_ + newHeader, 8);
    }
  }
  return out;
}

}  // namespace kestrun::tags
