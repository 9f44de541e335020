#include "playlist/asx_file.h"

#include <gtest/gtest.h>

#include "platform/ansi_path.h"
#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"

namespace kestrun::playlist {
namespace {

using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

constexpr char kTypicalAsx[] =
    "<ASX version=\"3.0\">\r\n  <Title>Morning Show</Title>\r\n  <Entry>\r\n"
    "    <Author>Radio Kestrel</Author>\r\n    <Ref href=\"MMS://Media.Example.com/Live.WMA\"/>\r\n"
    "  </Entry>\r\n</ASX>\r\n";

TEST(ParseAsx, ReferenceFormsGiveTheLowerCaseUnquotedValue) {
  const std::pair<const char*, const char*> cases[] = {
      {kTypicalAsx, "mms://media.example.com/live.wma"},
      {"<ref href=\"a.wma\" />", "a.wma"},  // space before the tag end: the quote still goes
      {"<ref href=\"  a.wma  \"/>", "a.wma"},
      {"<ref href='a.wma'/>", "a.wma"},
      {"<ref href=a.wma/>", "a.wma"},
      {"<REF   HREF = \"B.wma\"></REF>", "b.wma"},
      {"<ref href=\"x.wma/>", "x.wma"},  // no closing quote: up to the tag end
      {"<ref href=\"x.wma", ""},
      {"<ref href=", ""},
      {"<ref>", ""},
      {"<ref href=\"first\"/><ref href=\"second\"/>", "first"},
      // "\x83\x41" and "\x83\x5a" are katakana whose trail bytes are 'A' and 'Z'.
      {"<ref href=\"C:\\\x83\x41\x83\x5aX.WMA\"/>", "c:\\\x83\x41\x83\x5ax.wma"},
  };
  for (const auto& [text, reference] : cases) EXPECT_EQ(ParseAsx(text).reference, reference) << text;
}

TEST(ParseAsx, TitleAndAuthorKeepTheirCaseAndNeedBothTags) {
  const AsxInfo info = ParseAsx(kTypicalAsx);
  EXPECT_EQ(info.title, "Morning Show");
  EXPECT_EQ(info.author, "Radio Kestrel");
  EXPECT_EQ(ParseAsx("<title>never closed").title, "");
  EXPECT_EQ(ParseAsx("</title> then <title>").title, "");
  EXPECT_EQ(ParseAsx("</author><author>A</author>").author, "A");
  EXPECT_EQ(ParseAsx(std::string("<title>a\0b</title>", 18)).title, "");  // a zero byte ends the text
}

TEST(ParseAsx, LongFieldsAreCutAtTheLimitsWithoutSplittingACharacter) {
  const std::string longText(300, 'x');
  const AsxInfo info =
      ParseAsx("<title>" + longText + "</title><author>" + longText + "</author><ref href=\"" + longText + "\"/>");
  EXPECT_EQ(info.title.size(), kAsxTextSize - 1);
  EXPECT_EQ(info.author.size(), kAsxTextSize - 1);
  EXPECT_EQ(info.reference.size(), platform::kPathMaxLength);
  EXPECT_EQ(ParseAsx("<title>" + std::string(126, 'x') + "\x82\xa0</title>").title, std::string(126, 'x'));
}

TEST(ReadAsxFile, ReadsAFileAndFailsOnAMissingOneWithoutCreatingIt) {
  TempDir dir;
  const std::string path = dir.File("show.asx");
  ASSERT_TRUE(WriteBytes(path, kTypicalAsx));
  char reference[platform::kPathCapacity], title[kAsxTextSize], author[kAsxTextSize];
  EXPECT_EQ(readAsxFile(path.c_str(), reference, title, author), 1);
  EXPECT_STREQ(reference, "mms://media.example.com/live.wma");
  EXPECT_STREQ(title, "Morning Show");
  EXPECT_STREQ(author, "Radio Kestrel");

  const std::string missing = dir.File("missing.asx");
  EXPECT_EQ(readAsxFile(missing.c_str(), reference, title, author), 0);
  EXPECT_FALSE(platform::FileExists(missing));
  EXPECT_STREQ(reference, "");
  EXPECT_STREQ(title, "");
}

// Writes a fixed body into the temporary file, or fails with a given code.
class FakeDownloader final : public AsxDownloader {
 public:
  FakeDownloader(std::string directory, long result) : directory_(std::move(directory)), result_(result) {}
  bool TemporaryDirectory(std::string& directory) override {
    directory = directory_;
    return !directory_.empty();
  }
  long Download(const std::string& url, const std::string& path) override {
    paths.push_back(path);
    if (result_ >= 0) WriteBytes(path, kTypicalAsx);
    return result_;
  }
  std::vector<std::string> paths;

 private:
  std::string directory_;
  long result_;
};

TEST(DownloadAndReadAsx, ReadsAndDeletesTheTemporaryFileOrReturnsTheError) {
  TempDir dir;
  char reference[platform::kPathCapacity], title[kAsxTextSize], author[kAsxTextSize];
  FakeDownloader good(dir.path(), 0);
  EXPECT_EQ(downloadAndReadAsx(good, "http://h/a.asx", reference, title, author), 0);
  EXPECT_STREQ(reference, "mms://media.example.com/live.wma");
  ASSERT_EQ(good.paths.size(), 1u);
  EXPECT_EQ(good.paths[0].compare(platform::FileNameOffset(good.paths[0]), 3, "qnf"), 0) << good.paths[0];
  EXPECT_FALSE(platform::FileExists(good.paths[0]));

  const long notFound = -2146697211L;  // INET_E_RESOURCE_NOT_FOUND
  FakeDownloader bad(dir.path(), notFound);
  EXPECT_EQ(downloadAndReadAsx(bad, "http://h/x.asx", reference, title, author), notFound);
  EXPECT_STREQ(reference, "");
  ASSERT_EQ(bad.paths.size(), 1u);
  EXPECT_FALSE(platform::FileExists(bad.paths[0]));

  FakeDownloader noTemp("", 0);
  EXPECT_EQ(downloadAndReadAsx(noTemp, "http://h/a.asx", reference, title, author), kAsxLocalFailure);
  EXPECT_TRUE(noTemp.paths.empty());
}

}  // namespace
}  // namespace kestrun::playlist
