#include "playlist/media_files.h"

#include <cstring>

#include "platform/ansi_path.h"

namespace kestrun::playlist {
namespace {

std::string_view ExtensionOf(std::string_view name) {
  const std::size_t nameStart = platform::FileNameOffset(name);
  const std::size_t dot = platform::ExtensionOffset(name);
  if (dot < nameStart || dot >= name.size()) return {};
  return name.substr(dot);
}

}  // namespace

bool IsMediaFileName(std::string_view name) {
  const std::string_view extension = ExtensionOf(name);
  if (extension.empty()) return false;
  for (const std::string_view media : kMediaExtensions) {
    if (platform::EqualsIgnoreCase(extension, media)) return true;
  }
  return false;
}

bool IsM3uFileName(std::string_view name) { return platform::EqualsIgnoreCase(ExtensionOf(name), ".m3u"); }

std::vector<std::string> ParseFileSelection(const char* buffer, std::size_t size) {
  std::vector<std::string> paths;
  if (buffer == nullptr || size == 0) return paths;
  // Each piece runs to the next zero byte; a piece without one inside the buffer
  // is not taken.
  const auto pieceAt = [&](std::size_t offset, std::string_view& piece) {
    if (offset >= size) return false;
    const void* end = std::memchr(buffer + offset, '\0', size - offset);
    if (end == nullptr) return false;
    piece = std::string_view(buffer + offset, static_cast<const char*>(end) - (buffer + offset));
    return true;
  };
  std::string_view first;
  if (!pieceAt(0, first) || first.empty()) return paths;
  std::size_t offset = first.size() + 1;
  std::string_view name;
  if (!pieceAt(offset, name) || name.empty()) {
    // One file: the whole first piece is its path.
    paths.emplace_back(first);
    return paths;
  }
  while (pieceAt(offset, name) && !name.empty()) {
    paths.push_back(platform::JoinFolderName(first, name));
    offset += name.size() + 1;
  }
  return paths;
}

}  // namespace kestrun::playlist
