#include "tags/editor/display_title.h"

#include <cstring>

#include "platform/ansi_path.h"
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

void FormatDisplayTitle(const char* path, char* text) {
  const std::string whole(path != nullptr ? path : "");
  std::string title;
  std::string artist;
  // A lookup that finds nothing leaves both empty: the row text is then the file name.
  ReadTitleArtist(whole, title, artist);
  const std::string shown = RowDisplayText(whole, title, artist);
  // Cut to the buffer, dropping a lead byte whose trail byte would not fit.
  std::size_t length = 0;
  while (length < shown.size()) {
    const std::size_t step =
        platform::IsLeadByte(static_cast<unsigned char>(shown[length])) && length + 1 < shown.size() ? 2 : 1;
    if (length + step > kDisplayTitleCapacity - 1) break;
    length += step;
  }
  std::memcpy(text, shown.data(), length);
  text[length] = '\0';
}

}  // namespace kestrun::tags
