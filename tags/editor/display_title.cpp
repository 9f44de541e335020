#include "tags/editor/display_title.h"

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "tags/editor/title_lookup.h"

namespace kestrun::tags {

namespace {
constexpr char kArtistSeparator[] = " - ";
}  // namespace

std::string RowDisplayText(std::string_view path, std::string_view title, std::string_view artist) {
  std::string text(title.empty() ? path.substr(platform::FileNameOffset(path)) : title);
  if (!artist.empty()) {
    text += kArtistSeparator;
    text += artist;
  }
  return text;
}

void FormatDisplayTitle(const char* path, char* text, bool alwaysId3v1, AnsiFromUtf16 unicodeTags) {
  const std::string whole(path != nullptr ? path : "");
  std::string title;
  std::string artist;
  // A lookup that finds nothing leaves both empty: the row text is then the file name.
  ReadTitleArtist(whole, title, artist, alwaysId3v1, unicodeTags);
  const std::string shown = RowDisplayText(whole, title, artist);
  platform::CopyToBuffer(shown, text, kDisplayTitleCapacity);
}

}  // namespace kestrun::tags
