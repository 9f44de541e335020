// The main window's commands that open a window of another subsystem. Each
// subsystem fills its slot when the application is built; an empty slot does
// nothing.
#pragma once

#include <functional>

namespace kestrun::app {

struct DialogEntryPoints {
  std::function<void()> associations;   // 40060: file-type associations
  std::function<void()> volume;         // 40061: the volume dialog
  std::function<void()> about;          // 40062: the about box
  std::function<void()> sleepTimer;     // 40069: the sleep timer
  std::function<void()> effects;        // 40083: the effect dialog
  std::function<void()> filterList;     // 40089: the filters in use
  std::function<void()> equalizer;      // the title display's Q key: the equalizer window
  std::function<void(int index)> skin;  // IDM_SKIN_FIRST + index: a skin of the skin menu
};

}  // namespace kestrun::app
