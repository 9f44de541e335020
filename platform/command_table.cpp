#include "platform/command_table.h"

#include <utility>

namespace kestrun::platform {

bool CommandTable::Add(int id, Handler handler) {
  if (!handler) return false;
  return handlers_.try_emplace(id, std::move(handler)).second;
}

bool CommandTable::Add(std::initializer_list<int> ids, const Handler& handler) {
  if (!handler) return false;
  // Check everything before adding anything, so a refusal leaves the table as it was.
  // An id listed twice is refused as well: it usually means two command constants
  // that were meant to differ share a value.
  for (auto it = ids.begin(); it != ids.end(); ++it) {
    if (handlers_.count(*it) != 0) return false;
    for (auto earlier = ids.begin(); earlier != it; ++earlier) {
      if (*earlier == *it) return false;
    }
  }
  for (int id : ids) handlers_.emplace(id, handler);
  return true;
}

bool CommandTable::Dispatch(int id) const {
  const auto it = handlers_.find(id);
  if (it == handlers_.end()) return false;
  // The handler runs from a copy: it may remove itself or change the table (which can
  // rehash and move the stored function) while it is still running.
  const Handler handler = it->second;
  handler(id);
  return true;
}

bool CommandTable::Has(int id) const { return handlers_.count(id) != 0; }

void CommandTable::Remove(int id) { handlers_.erase(id); }

}  // namespace kestrun::platform
