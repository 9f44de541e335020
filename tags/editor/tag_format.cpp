#include "tags/editor/tag_format.h"

#include "platform/ansi_path.h"
#include "tags/formats/container_file.h"

namespace kestrun::tags {

namespace {

struct ExtensionFormat {
  std::string_view extension;
  TagFormat format;
};
constexpr ExtensionFormat kFormats[] = {
    {".mp3", TagFormat::Id3},          {".mid", TagFormat::Midi},         {".wma", TagFormat::WindowsMedia},
    {".wmv", TagFormat::WindowsMedia}, {".asf", TagFormat::WindowsMedia},
};

}  // namespace

TagFormat TagFormatOf(std::string_view path) {
  const std::string_view extension = path.substr(platform::ExtensionOffset(path));
  for (const auto& entry : kFormats) {
    if (platform::EqualsIgnoreCase(extension, entry.extension)) return entry.format;
  }
  if (IsContainerPath(path)) return TagFormat::Container;
  return TagFormat::None;
}

}  // namespace kestrun::tags
