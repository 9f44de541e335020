// Command ids (WM_COMMAND from menus, buttons and accelerators) mapped to handlers.
//
// Each subsystem registers the commands it serves; an id can have only one handler,
// so two subsystems cannot silently take the same command.
#pragma once

#include <functional>
#include <initializer_list>
#include <unordered_map>

namespace kestrun::platform {

class CommandTable {
 public:
  using Handler = std::function<void(int id)>;

  // Registers handler for id; false (and nothing changes) when id already has one,
  // so two subsystems can never silently take the same command. An empty handler is
  // refused too: it could not run.
  bool Add(int id, Handler handler);
  // The same handler for several ids (e.g. a button and its menu item); false when any
  // id is taken, in which case none is added.
  bool Add(std::initializer_list<int> ids, const Handler& handler);
  // Runs the handler of id; false when there is none. The handler may dispatch other
  // commands, and add or remove commands (itself included), while it runs.
  bool Dispatch(int id) const;
  bool Has(int id) const;
  // Drops a handler (a window going away); no-op when absent.
  void Remove(int id);

 private:
  std::unordered_map<int, Handler> handlers_;
};

}  // namespace kestrun::platform
