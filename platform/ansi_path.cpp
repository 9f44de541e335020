#include "platform/ansi_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrun::platform {

bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

bool IsLeadByte(unsigned char byte) {
#ifdef _WIN32
  return IsDBCSLeadByte(byte) != 0;
#else
  return IsCp932LeadByte(byte);
#endif
}

std::size_t FileNameOffset(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c)) {
      ++i;  // skip the trail byte
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') start = i + 1;
  }
  return start;
}

std::size_t ExtensionOffset(std::string_view path) {
  const std::size_t name = FileNameOffset(path);
  std::size_t dot = path.size();
  for (std::size_t i = name; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c)) {
      ++i;
      continue;
    }
    if (c == '.') dot = i;
  }
  return dot;
}

std::string DirectoryOf(std::string_view path) {
  std::size_t name = FileNameOffset(path);
  if (name == 0) return {};
  std::string dir(path.substr(0, name));
  // Keep "C:\" whole; drop the separator otherwise.
  if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/') && !(dir.size() == 3 && dir[1] == ':')) {
    dir.pop_back();
  }
  return dir;
}

std::string JoinFolderName(std::string_view folder, std::string_view name) {
  std::string path(folder);
  // The file-name part is empty exactly when the folder ends in a separator that is
  // not the second byte of a double-byte character.
  const bool endsInSeparator =
      !folder.empty() && FileNameOffset(folder) == folder.size() && (folder.back() == '\\' || folder.back() == '/');
  if (!endsInSeparator) path += '\\';
  path += name;
  return path;
}

std::wstring JoinFolderName(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) path += L'\\';
  path += name;
  return path;
}

std::string UnquoteWhole(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return std::string(text.substr(1, text.size() - 2));
  }
  return std::string(text);
}

namespace {

template <typename Char>
std::basic_string_view<Char> FirstPathLine(std::basic_string_view<Char> text) {
  const auto isBlank = [](Char c) { return c == Char(' ') || c == Char('\t'); };
  while (!text.empty()) {
    std::size_t end = 0;
    while (end < text.size() && text[end] != Char('\r') && text[end] != Char('\n')) ++end;
    std::basic_string_view<Char> line = text.substr(0, end);
    text.remove_prefix(end < text.size() ? end + 1 : end);
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;
    if (line.size() >= 2 && line.front() == Char('"') && line.back() == Char('"')) {
      line = line.substr(1, line.size() - 2);
    }
    return line;
  }
  return {};
}

}  // namespace

std::string_view PathInText(std::string_view text) { return FirstPathLine(text); }

std::wstring_view PathInText(std::wstring_view text) { return FirstPathLine(text); }

bool LooksLikeUrl(std::string_view text) {
  const std::size_t colon = text.find("://");
  if (colon == std::string_view::npos || colon < 2) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = text[i];
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace kestrun::platform
