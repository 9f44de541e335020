#include "app/command_line.h"

#include "platform/ansi_path.h"

namespace kestrun::app {

namespace {

// Blanks around the text are not part of the path (a path never ends in a blank): a
// shell that adds one after a quoted "%1" must not leave the quotes in place.
std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

CommandLinePath ParseCommandLinePath(std::string_view raw, std::size_t maxLength) {
  CommandLinePath result;
  raw = TrimBlanks(raw);
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

}  // namespace kestrun::app
