#include "playlist/media_files.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrun::playlist {
namespace {

TEST(MediaFileName, ExtensionsOfTheListInAnyCaseOnly) {
  struct Case {
    const char* name;
    bool media;
  };
  const Case cases[] =
      {
          {"a.mp3", true},          {"A.MP3", true},  {"x.Mpeg", true},     {"clip.m1v", true},
          {"song.aiff", true},      {"b.asx", false}, {"list.m3u", false},  {"cover.jpg", false},
          {"notes.txt", false},     {"mp3", false},   {"a.mp3.txt", false}, {"noext", false},
          {"dir.mp3\\file", false},  // the dot belongs to a folder, not to the file
          {".mp3", true},           {"a.flac", true}, {"b.M4A", true},      {"c.m4b", true},
          {"d.mp4", true},          {"e.AAC", true},  {"f.opus", true},     {"g.ogg", true},
          {"h.Oga", true},          {"i.ogv", false}, {"j.m4v", false},
      };
  for (const Case& c : cases) EXPECT_EQ(IsMediaFileName(c.name), c.media) << c.name;
}

TEST(MediaFileName, TrailByteIsNeverTakenForASeparator) {
  // "\x95\x5c" is one double-byte character whose second byte is the backslash's.
  EXPECT_TRUE(IsMediaFileName("C:\\\x95\x5c.mp3"));
  EXPECT_TRUE(IsMediaFileName("\x95\x5c.WAV"));
  EXPECT_FALSE(IsMediaFileName("C:\\a.mp3\\\x95\x5c"));
}

TEST(M3uFileName, CaseInsensitive) {
  EXPECT_TRUE(IsM3uFileName("C:\\x\\List.M3U"));
  EXPECT_FALSE(IsM3uFileName("C:\\x\\list.m3u8"));
  EXPECT_FALSE(IsM3uFileName("C:\\x.m3u\\y"));
}

std::vector<std::string> Parse(const std::string& buffer) { return ParseFileSelection(buffer.data(), buffer.size()); }

TEST(FileSelection, OnePathOrFolderAndNames) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Parse(std::string("C:\\m\\one.mp3\0\0", 15)), V{"C:\\m\\one.mp3"});
  EXPECT_EQ(Parse(std::string("C:\\m\0a.mp3\0b.wav\0\0", 19)), (V{"C:\\m\\a.mp3", "C:\\m\\b.wav"}));
  // A drive root already ends in its backslash.
  EXPECT_EQ(Parse(std::string("D:\\\0a.mp3\0b.wav\0\0", 18)), (V{"D:\\a.mp3", "D:\\b.wav"}));
  EXPECT_EQ(Parse(std::string("\0\0", 2)), V{});
}

// Files picked at a share's top: the folder "\\server\share" ends in no backslash,
// so one goes between it and each name (never "\\server\shareSong.mp3").
TEST(FileSelection, NamesAtAShareTopGetTheirBackslash) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Parse(std::string("\\\\srv\\music\0Song.mp3\0b.wav\0\0", 28)),
            (V{"\\\\srv\\music\\Song.mp3", "\\\\srv\\music\\b.wav"}));
}

TEST(FileSelection, NeverReadsPastTheBuffer) {
  using V = std::vector<std::string>;
  // No terminator at all: nothing can be trusted.
  EXPECT_EQ(Parse("C:\\m\\one.mp3"), V{});
  // The list stops inside the buffer without its final zero byte: the names that
  // ended are taken, the cut one is not.
  EXPECT_EQ(Parse(std::string("C:\\m\0a.mp3\0b.w", 14)), V{"C:\\m\\a.mp3"});
  EXPECT_EQ(ParseFileSelection(nullptr, 10), V{});
}

}  // namespace
}  // namespace kestrun::playlist
