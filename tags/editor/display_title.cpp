#include "tags/editor/display_title.h"

#include <cstdio>
#include <string_view>

#include "platform/ansi_path.h"

namespace kestrun::tags {

void FormatDisplayTitle(const char* path, char* text) {
  // Without a tag reader for the file, the title is its file-name part.
  const std::string_view whole(path != nullptr ? path : "");
  const std::string_view name = whole.substr(platform::FileNameOffset(whole));
  std::snprintf(text, kDisplayTitleCapacity, "%.*s", static_cast<int>(name.size()), name.data());
}

}  // namespace kestrun::tags
