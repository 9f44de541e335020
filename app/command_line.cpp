#include "app/command_line.h"

#include "platform/ansi_path.h"

namespace kestrun::app {

CommandLinePath ParseCommandLinePath(std::string_view raw, std::size_t maxLength) {
  CommandLinePath result;
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
