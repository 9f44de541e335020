#include "app/shell_texts.h"

#include "platform/ansi_path.h"

namespace kestrun::app {

std::optional<std::string> ApplicationDirectoryFromModulePath(std::string_view buffer, std::size_t written,
                                                              std::size_t capacity) {
  // A result that fills the buffer was cut (the call then returns the capacity).
  if (written == 0 || written >= capacity || written > buffer.size()) return std::nullopt;
  const std::string_view path = buffer.substr(0, written);
  const std::size_t name = platform::FileNameOffset(path);
  if (name == 0) return std::nullopt;
  return std::string(path.substr(0, name - 1));
}

std::string RotateMarqueeText(std::string_view text) {
  if (text.size() < 2) return std::string(text);
  const std::size_t first = platform::IsLeadByte(static_cast<unsigned char>(text[0])) ? 2 : 1;
  std::string rotated(text.substr(first));
  rotated.append(text.substr(0, first));
  return rotated;
}

}  // namespace kestrun::app
