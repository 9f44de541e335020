#include "playlist/playlist_entry.h"

#include <gtest/gtest.h>

namespace kestrun::playlist {
namespace {

TEST(EntryDisplayName, TitleOrFileNameThenArtist) {
  EXPECT_EQ(entryDisplayName("C:\\music\\a.mp3", "Song", "Band"), "Song - Band");
  EXPECT_EQ(entryDisplayName("C:\\music\\a.mp3", "Song", ""), "Song");
  EXPECT_EQ(entryDisplayName("C:\\music\\a.mp3", "", "Band"), "a.mp3 - Band");
  EXPECT_EQ(entryDisplayName("http://host/x.asx", "", ""), "x.asx");
  // "\x95\x5c" is one character whose trail byte is a backslash.
  EXPECT_EQ(entryDisplayName("C:\\\x95\x5c\\b.mp3", "", ""), "b.mp3");
  EXPECT_EQ(entryDisplayName("\x95\x5c.mp3", "", ""), "\x95\x5c.mp3");
}

TEST(EntryDisplayName, BufferFormIsCutWithoutSplittingACharacter) {
  char out[6];
  entryDisplayName("p", "ab\x82\xa0xyz", "", out, sizeof out);
  EXPECT_STREQ(out, "ab\x82\xa0x");
  char tiny[4];
  entryDisplayName("p", "ab\x82\xa0", "", tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "ab");
  entryDisplayName(nullptr, nullptr, nullptr, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "");
}

}  // namespace
}  // namespace kestrun::playlist
