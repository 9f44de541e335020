#include "playlist/asx_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ansi_path.h"
#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"

namespace kestrun::playlist {
namespace {

using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

constexpr char kTypicalAsx[] =
    "<ASX version=\"3.0\">\r\n"
    "  <Title>Morning Show</Title>\r\n"
    "  <Entry>\r\n"
    "    <Author>Radio Kestrel</Author>\r\n"
    "    <Ref href=\"MMS://Media.Example.com/Live.WMA\"/>\r\n"
    "  </Entry>\r\n"
    "</ASX>\r\n";

TEST(ParseAsx, TypicalFileGivesLowerCaseReferenceAndOriginalTexts) {
  const AsxInfo info = ParseAsx(kTypicalAsx);
  EXPECT_EQ(info.reference, "mms://media.example.com/live.wma");
  EXPECT_EQ(info.title, "Morning Show");
  EXPECT_EQ(info.author, "Radio Kestrel");
}

TEST(ParseAsx, ReferenceForms) {
  struct Case {
    const char* text;
    const char* reference;
  } cases[] = {
      {"<ref href=\"a.wma\"/>", "a.wma"},
      {"<ref href=\"a.wma\" />", "a.wma"},          // space before the tag end: quote still dropped
      {"<ref href=\"  a.wma  \"/>", "a.wma"},       // white space trimmed
      {"<ref href='a.wma'/>", "a.wma"},
      {"<ref href=a.wma/>", "a.wma"},
      {"<REF   HREF = \"B.wma\"/>", "b.wma"},
      {"<ref href=\"a.wma\"></ref>", "a.wma"},
      {"<ref href=\"x.wma/>", "x.wma"},             // no closing quote: up to the tag end
      {"<ref href=\"x.wma", ""},                    // neither
      {"<ref href=", ""},
      {"<ref>", ""},
      {"<title>t</title>", ""},
      {"<ref href=\"first\"/><ref href=\"second\"/>", "first"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseAsx(c.text).reference, c.reference) << c.text;
  }
}

TEST(ParseAsx, DoubleByteReferenceKeepsTrailBytesThatLookLikeCapitals) {
  // "\x83\x41" and "\x83\x5a" are katakana whose trail bytes are 'A' and 'Z'.
  const AsxInfo info = ParseAsx("<ref href=\"C:\\\x83\x41\x83\x5aX.WMA\"/>");
  EXPECT_EQ(info.reference, "c:\\\x83\x41\x83\x5ax.wma");
}

TEST(ParseAsx, MissingOrMisorderedTagsGiveEmptyTexts) {
  EXPECT_EQ(ParseAsx("no tags at all").title, "");
  EXPECT_EQ(ParseAsx("<title>never closed").title, "");
  EXPECT_EQ(ParseAsx("</title> then <title>").title, "");
  EXPECT_EQ(ParseAsx("<author></author>").author, "");
  EXPECT_EQ(ParseAsx("</author><author>A</author>").author, "A");
  EXPECT_EQ(ParseAsx("<title>a\0b</title>").title, "");  // a zero byte ends the text
}

TEST(ParseAsx, LongFieldsAreCutAtTheLimits) {
  const std::string longText(300, 'x');
  const AsxInfo info = ParseAsx("<title>" + longText + "</title><author>" + longText +
                                "</author><ref href=\"" + longText + "\"/>");
  EXPECT_EQ(info.title.size(), kAsxTextSize - 1);
  EXPECT_EQ(info.author.size(), kAsxTextSize - 1);
  EXPECT_EQ(info.reference.size(), kAsxReferenceSize - 1);
  // A double-byte character straddling the limit is dropped whole.
  const AsxInfo dbcs = ParseAsx("<title>" + std::string(126, 'x') + "\x82\xa0</title>");
  EXPECT_EQ(dbcs.title, std::string(126, 'x'));
}

TEST(ReadAsxFile, FillsBuffersAndReportsSuccess) {
  TempDir dir;
  const std::string path = dir.File("show.asx");
  ASSERT_TRUE(WriteBytes(path, kTypicalAsx));
  char reference[kAsxReferenceSize], title[kAsxTextSize], author[kAsxTextSize];
  EXPECT_EQ(readAsxFile(path.c_str(), reference, title, author), 1);
  EXPECT_STREQ(reference, "mms://media.example.com/live.wma");
  EXPECT_STREQ(title, "Morning Show");
  EXPECT_STREQ(author, "Radio Kestrel");
}

TEST(ReadAsxFile, MissingFileFailsAndIsNotCreated) {
  TempDir dir;
  const std::string path = dir.File("missing.asx");
  char reference[kAsxReferenceSize] = "old", title[kAsxTextSize] = "old", author[kAsxTextSize] = "old";
  EXPECT_EQ(readAsxFile(path.c_str(), reference, title, author), 0);
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_STREQ(reference, "");
  EXPECT_STREQ(title, "");
  EXPECT_STREQ(author, "");
}

// Writes a fixed body into the temporary file, or fails with a given code.
class FakeDownloader final : public AsxDownloader {
 public:
  FakeDownloader(std::string directory, long result, std::string body)
      : directory_(std::move(directory)), result_(result), body_(std::move(body)) {}
  bool TemporaryDirectory(std::string& directory) override {
    directory = directory_;
    return !directory_.empty();
  }
  long Download(const std::string& url, const std::string& path) override {
    urls.push_back(url);
    paths.push_back(path);
    if (result_ >= 0) WriteBytes(path, body_);
    return result_;
  }
  std::vector<std::string> urls, paths;

 private:
  std::string directory_;
  long result_;
  std::string body_;
};

TEST(DownloadAndReadAsx, SuccessReadsTheFileAndDeletesIt) {
  TempDir dir;
  FakeDownloader downloader(dir.path(), 0, kTypicalAsx);
  char reference[kAsxReferenceSize], title[kAsxTextSize], author[kAsxTextSize];
  EXPECT_EQ(downloadAndReadAsx(downloader, "http://h/a.asx", reference, title, author), 0);
  EXPECT_STREQ(reference, "mms://media.example.com/live.wma");
  EXPECT_STREQ(title, "Morning Show");
  ASSERT_EQ(downloader.paths.size(), 1u);
  EXPECT_EQ(downloader.urls[0], "http://h/a.asx");
  const std::string& temporary = downloader.paths[0];
  EXPECT_EQ(temporary.compare(platform::FileNameOffset(temporary), 3, "qnf"), 0) << temporary;
  EXPECT_FALSE(platform::FileExists(temporary));
}

TEST(DownloadAndReadAsx, FailedDownloadReturnsItsErrorAndLeavesNoFile) {
  TempDir dir;
  const long notFound = -2146697211L;  // INET_E_RESOURCE_NOT_FOUND
  FakeDownloader downloader(dir.path(), notFound, "");
  char reference[kAsxReferenceSize] = "old", title[kAsxTextSize], author[kAsxTextSize];
  EXPECT_EQ(downloadAndReadAsx(downloader, "http://h/missing.asx", reference, title, author), notFound);
  EXPECT_STREQ(reference, "");
  ASSERT_EQ(downloader.paths.size(), 1u);
  EXPECT_FALSE(platform::FileExists(downloader.paths[0]));
}

TEST(DownloadAndReadAsx, NoTemporaryFileMeansLocalFailureWithoutDownloading) {
  FakeDownloader downloader("", 0, kTypicalAsx);
  char reference[kAsxReferenceSize], title[kAsxTextSize], author[kAsxTextSize];
  EXPECT_EQ(downloadAndReadAsx(downloader, "http://h/a.asx", reference, title, author), kAsxLocalFailure);
  EXPECT_TRUE(downloader.urls.empty());

  TempDir dir;
  FakeDownloader second(dir.path(), 0, kTypicalAsx);
  platform::FileFaults::FailAt(platform::FileStep::TempName, 1);
  EXPECT_EQ(downloadAndReadAsx(second, "http://h/a.asx", reference, title, author), kAsxLocalFailure);
  platform::FileFaults::Reset();
  EXPECT_TRUE(second.urls.empty());
}

}  // namespace
}  // namespace kestrun::playlist
