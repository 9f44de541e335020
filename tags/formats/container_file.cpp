#include "tags/formats/container_file.h"

#include "platform/ansi_path.h"
#include "tags/formats/flac_reader.h"
#include "tags/formats/mp4_reader.h"
#include "tags/formats/ogg_reader.h"

namespace kestrun::tags {

namespace {

constexpr std::string_view kExtensions[] = {".flac", ".m4a", ".m4b", ".mp4", ".aac", ".opus", ".ogg", ".oga"};

std::optional<ContainerInfo> ReadPath(const std::string& path, ContainerParts parts, AnsiFromUtf16 toAnsi) {
  FileSource source;
  if (!source.Open(path)) return std::nullopt;
  return ReadContainer(source, parts, toAnsi);
}

}  // namespace

bool IsContainerPath(std::string_view path) {
  const std::string_view extension = path.substr(platform::ExtensionOffset(path));
  for (std::string_view known : kExtensions) {
    if (platform::EqualsIgnoreCase(extension, known)) return true;
  }
  return false;
}

std::optional<ContainerInfo> ReadContainer(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi) {
  if (LooksLikeFlac(source)) return ReadFlac(source, parts, toAnsi);
  if (LooksLikeMp4(source)) return ReadMp4(source, parts, toAnsi);
  if (LooksLikeOgg(source)) return ReadOgg(source, parts, toAnsi);
  return std::nullopt;
}

bool ReadContainerTags(const std::string& path, TagFields& fields, AnsiFromUtf16 toAnsi) {
  fields = TagFields{};
  const auto info = ReadPath(path, ContainerParts::Tags, toAnsi);
  if (!info || !info->hasTags) return false;
  fields = info->fields;
  return true;
}

std::optional<std::int64_t> ReadContainerDuration(const std::string& path) {
  const auto info = ReadPath(path, ContainerParts::Length, nullptr);
  if (!info) return std::nullopt;
  return info->duration;
}

}  // namespace kestrun::tags
