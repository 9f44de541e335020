// The header parser must refuse every inconsistent size or count, keep what it
// does not understand byte for byte, and write back a header that adds up.
#include "tags/wm/asf_header.h"

#include <gtest/gtest.h>

#include <functional>

#include "tags/wm/tests/asf_test_file.h"

namespace kestrun::tags {
namespace {

using namespace kestrun::tags::testing;

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string HeaderOf(const std::string& file) { return file.substr(0, HeaderSizeOf(file)); }

TestAsf SampleLayout() {
  TestAsf layout;
  layout.description = std::array<std::string, 5>{Utf16z(u"Song"), Utf16z(u"Singer"), "", Utf16z(u"Notes"), ""};
  layout.extended = std::vector<TestAttribute>{
      {u"WM/AlbumTitle", kString, Utf16z(u"Record")},
      {u"WM/Track", kDword, Le32(4)},
      {u"WM/Picture", kBytes, std::string("\x00\x01\x02", 3)},
  };
  return layout;
}

TEST(AsfHeaderParse, UnchangedHeaderIsWrittenBackByteForByte) {
  const std::string header = HeaderOf(BuildAsf(SampleLayout()));
  AsfHeader parsed;
  ASSERT_TRUE(parsed.Parse(Bytes(header)));
  EXPECT_EQ(parsed.Serialize(), header);
}

TEST(AsfHeaderParse, AnswersDescriptionAndExtendedAttributesWithTheirTypes) {
  AsfHeader parsed;
  ASSERT_TRUE(parsed.Parse(Bytes(HeaderOf(BuildAsf(SampleLayout())))));
  WmAttrType type{};
  std::string value;
  ASSERT_EQ(parsed.Get(u"Author", type, value), kWmOk);
  EXPECT_EQ(type, WmAttrType::String);
  EXPECT_EQ(value, Utf16z(u"Singer"));
  ASSERT_EQ(parsed.Get(u"WM/Track", type, value), kWmOk);
  EXPECT_EQ(type, WmAttrType::Dword);
  EXPECT_EQ(value, Le32(4));
  ASSERT_EQ(parsed.Get(u"WM/Picture", type, value), kWmOk);
  EXPECT_EQ(type, WmAttrType::Binary);
  // An empty description text and an absent name are both "not found".
  EXPECT_EQ(parsed.Get(u"Copyright", type, value), kWmNotFound);
  EXPECT_EQ(parsed.Get(u"WM/Genre", type, value), kWmNotFound);
}

// Each case damages one size or count of a valid header.
struct Damage {
  const char* defect;
  std::function<void(std::string&)> apply;
};

TEST(AsfHeaderParse, DescriptionTextKeptAmongExtendedAttributesIsFound) {
  // Some writers put "Description" in the extended object and leave the
  // description object's text empty.
  TestAsf layout;
  layout.description = std::array<std::string, 5>{Utf16z(u"Song"), "", "", "", ""};
  layout.extended = std::vector<TestAttribute>{{u"Description", kString, Utf16z(u"Notes")}};
  AsfHeader parsed;
  ASSERT_TRUE(parsed.Parse(Bytes(HeaderOf(BuildAsf(layout)))));
  WmAttrType type{};
  std::string value;
  ASSERT_EQ(parsed.Get(u"Description", type, value), kWmOk);
  EXPECT_EQ(value, Utf16z(u"Notes"));
}

TEST(AsfHeaderParse, RefusesEveryInconsistentSizeOrCount) {
  const std::string good = HeaderOf(BuildAsf(SampleLayout()));
  // Offsets in the sample: File Properties at 30 (104 bytes), then the Content
  // Description Object at 134.
  constexpr std::size_t kProps = 30, kDescription = 134;
  const std::size_t extended = kDescription + ReadLe(good, kDescription + 16, 8);
  const std::vector<Damage> damages = {
      {"header size larger than the bytes", [](std::string& h) { h.replace(16, 8, Le64(h.size() + 1)); }},
      {"header size smaller than its prefix", [](std::string& h) { h.replace(16, 8, Le64(29)); }},
      {"object count too high", [](std::string& h) { h.replace(24, 4, Le32(4)); }},
      {"object count too low", [](std::string& h) { h.replace(24, 4, Le32(2)); }},
      {"object count beyond any possible", [](std::string& h) { h.replace(24, 4, Le32(0xFFFFFFFF)); }},
      {"second reserved byte not 2", [](std::string& h) { h[29] = 3; }},
      {"object size below its prefix", [](std::string& h) { h.replace(kProps + 16, 8, Le64(23)); }},
      {"object size past the header", [](std::string& h) { h.replace(kProps + 16, 8, Le64(1u << 20)); }},
      {"object size wraps around", [](std::string& h) { h.replace(kProps + 16, 8, Le64(~0ull)); }},
      {"file properties too short",
       [](std::string& h) {
         h.replace(kProps + 16, 8, Le64(100));
         h.erase(kProps + 100, 4);
         h.replace(16, 8, Le64(h.size()));
       }},
      {"description text longer than its object",
       [](std::string& h) { h.replace(kDescription + 24, 2, std::string("\xFF\x7F", 2)); }},
      {"extended descriptor count too high",
       [extended](std::string& h) { h.replace(extended + 24, 2, std::string("\x04\x00", 2)); }},
      {"extended name longer than its object",
       [extended](std::string& h) { h.replace(extended + 26, 2, std::string("\xF0\xFF", 2)); }},
      {"extended value type unknown",
       [extended](std::string& h) { h.replace(extended + 28 + 28, 2, std::string("\x07\x00", 2)); }},
      {"cut inside an object",
       [](std::string& h) {
         h.resize(h.size() - 5);
         h.replace(16, 8, Le64(h.size()));
       }},
  };
  for (const auto& d : damages) {
    std::string bad = good;
    d.apply(bad);
    AsfHeader parsed;
    EXPECT_FALSE(parsed.Parse(Bytes(bad))) << d.defect;
  }
}

TEST(AsfHeaderParse, SizePrefixRejectsForeignAndHugeHeaders) {
  std::string header = HeaderOf(BuildAsf(SampleLayout()));
  std::uint64_t size = 0;
  EXPECT_TRUE(ReadAsfHeaderSize(Bytes(header), size));
  EXPECT_EQ(size, header.size());
  EXPECT_FALSE(ReadAsfHeaderSize(Bytes(header.substr(0, 29)), size));
  std::string huge = header;
  huge.replace(16, 8, Le64(kAsfMaxHeaderBytes + 1));
  EXPECT_FALSE(ReadAsfHeaderSize(Bytes(huge), size));
  std::string foreign = header;
  foreign[0] ^= 1;
  EXPECT_FALSE(ReadAsfHeaderSize(Bytes(foreign), size));
}

TEST(AsfHeaderWrite, GrowingHeaderMovesRecordedFileSizeByTheSameAmount) {
  const std::string file = BuildAsf(SampleLayout());
  AsfHeader parsed;
  ASSERT_TRUE(parsed.Parse(Bytes(HeaderOf(file))));
  ASSERT_EQ(parsed.Set(u"Title", WmAttrType::String, Utf16z(u"A much longer title than before")), kWmOk);
  ASSERT_EQ(parsed.Set(u"WM/Year", WmAttrType::String, Utf16z(u"1999")), kWmOk);
  const std::string written = parsed.Serialize();
  EXPECT_EQ(HeaderSizeOf(written), written.size());
  const std::uint64_t newFileSize = file.size() - HeaderSizeOf(file) + written.size();
  EXPECT_EQ(RecordedFileSize(written + file.substr(HeaderSizeOf(file))), newFileSize);

  AsfHeader reread;
  ASSERT_TRUE(reread.Parse(Bytes(written)));
  WmAttrType type{};
  std::string value;
  ASSERT_EQ(reread.Get(u"WM/Year", type, value), kWmOk);
  EXPECT_EQ(value, Utf16z(u"1999"));
  ASSERT_EQ(reread.Get(u"WM/Picture", type, value), kWmOk);  // untouched neighbours survive
  EXPECT_EQ(value, std::string("\x00\x01\x02", 3));
}

TEST(AsfHeaderWrite, BroadcastOrImplausibleFileSizeIsLeftAlone) {
  struct Case {
    const char* what;
    std::uint32_t flags;
    std::uint64_t recorded;  // 0: the real size
  } cases[] = {{"broadcast", 1, 0}, {"would overflow", 2, ~0ull - 8}, {"smaller than the header", 2, 40}};
  for (const auto& c : cases) {
    TestAsf layout = SampleLayout();
    layout.flags = c.flags;
    std::string file = BuildAsf(layout);
    if (c.recorded != 0) file.replace(30 + 40, 8, Le64(c.recorded));
    AsfHeader parsed;
    ASSERT_TRUE(parsed.Parse(Bytes(HeaderOf(file))));
    ASSERT_EQ(parsed.Set(u"Title", WmAttrType::String, Utf16z(u"Longer title")), kWmOk);
    const std::string written = parsed.Serialize();
    EXPECT_EQ(RecordedFileSize(written), RecordedFileSize(file)) << c.what;
  }
}

TEST(AsfHeaderWrite, MissingObjectsAreAddedAndCounted) {
  TestAsf layout;  // only File Properties
  const std::string file = BuildAsf(layout);
  AsfHeader parsed;
  ASSERT_TRUE(parsed.Parse(Bytes(HeaderOf(file))));
  ASSERT_EQ(parsed.Set(u"Author", WmAttrType::String, Utf16z(u"Someone")), kWmOk);
  ASSERT_EQ(parsed.Set(u"WM/Track", WmAttrType::Dword, Le32(7)), kWmOk);
  const std::string written = parsed.Serialize();
  EXPECT_EQ(ReadLe(written, 24, 4), 3u);
  AsfHeader reread;
  ASSERT_TRUE(reread.Parse(Bytes(written)));
  WmAttrType type{};
  std::string value;
  ASSERT_EQ(reread.Get(u"Author", type, value), kWmOk);
  EXPECT_EQ(value, Utf16z(u"Someone"));
  ASSERT_EQ(reread.Get(u"WM/Track", type, value), kWmOk);
  EXPECT_EQ(type, WmAttrType::Dword);
}

TEST(AsfHeaderWrite, RefusesValuesTheFormatCannotHold) {
  AsfHeader parsed;
  ASSERT_TRUE(parsed.Parse(Bytes(HeaderOf(BuildAsf(SampleLayout())))));
  EXPECT_EQ(parsed.Set(u"Title", WmAttrType::Dword, Le32(1)), kWmInvalidArg);
  EXPECT_EQ(parsed.Set(u"WM/Track", WmAttrType::Dword, "abc"), kWmInvalidArg);
  EXPECT_EQ(parsed.Set(u"WM/Id", WmAttrType::Guid, std::string(16, 'g')), kWmInvalidArg);
  EXPECT_EQ(parsed.Set(u"WM/Odd", WmAttrType::String, "abc"), kWmInvalidArg);
  EXPECT_EQ(parsed.Set(u"WM/Big", WmAttrType::Binary, std::string(0x10000, 'b')), kWmInvalidArg);
}

TEST(AsfHeaderWrite, RepeatedDescriptionTextsAmongExtendedAttributesFollowTheNewValue) {
  // Some writers store "title"/"Author" a second time as extended attributes.
  TestAsf layout;
  layout.description = std::array<std::string, 5>{Utf16z(u"Old"), Utf16z(u"Old"), "", "", ""};
  layout.extended =
      std::vector<TestAttribute>{{u"title", kString, Utf16z(u"Old")}, {u"Author", kString, Utf16z(u"Old")}};
  AsfHeader parsed;
  ASSERT_TRUE(parsed.Parse(Bytes(HeaderOf(BuildAsf(layout)))));
  ASSERT_EQ(parsed.Set(u"Title", WmAttrType::String, Utf16z(u"New")), kWmOk);
  ASSERT_EQ(parsed.Set(u"Author", WmAttrType::String, Utf16z(u"New")), kWmOk);
  const std::string written = parsed.Serialize();
  EXPECT_EQ(written.find(Utf16z(u"Old")), std::string::npos);
}

}  // namespace
}  // namespace kestrun::tags
