#include "app/command_line.h"

#include "platform/ansi_path.h"

namespace kestrun::app {

namespace {

// Blanks around the text are not part of the path (a path never ends in a blank): a
// shell that adds one after a quoted "%1" must not leave the quotes in place.
template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

CommandLinePath ParseCommandLinePath(std::string_view raw, std::size_t maxLength) {
  CommandLinePath result;
  raw = TrimBlanks<char>(raw);
  if (raw.empty()) return result;
  result.path = platform::UnquoteWhole(raw);
  if (result.path.empty()) {
    result.status = CommandLineStatus::Empty;
  } else if (result.path.size() > maxLength) {
    result.status = CommandLineStatus::TooLong;
    result.path.clear();
  } else {
    result.status = CommandLineStatus::Ok;
  }
  return result;
}

std::wstring_view CommandLineArguments(std::wstring_view whole) {
  std::size_t end = 0;
  if (!whole.empty() && whole.front() == L'"') {
    // A quoted program name ends at the next quote (or the end of the text).
    const std::size_t close = whole.find(L'"', 1);
    end = close == std::wstring_view::npos ? whole.size() : close + 1;
  } else {
    end = whole.find_first_of(L" \t");
    if (end == std::wstring_view::npos) end = whole.size();
  }
  whole.remove_prefix(end);
  while (!whole.empty() && (whole.front() == L' ' || whole.front() == L'\t')) whole.remove_prefix(1);
  return whole;
}

std::wstring CommandLinePathText(std::wstring_view arguments) {
  arguments = TrimBlanks<wchar_t>(arguments);
  if (arguments.size() >= 2 && arguments.front() == L'"' && arguments.back() == L'"') {
    arguments = arguments.substr(1, arguments.size() - 2);
  }
  return std::wstring(arguments);
}

}  // namespace kestrun::app
