// The main window's commands that open a window of another subsystem. Each
// subsystem fills its slot when the application is built; an empty slot does
// nothing.
#pragma once

#include <functional>

namespace kestrun::app {

struct DialogEntryPoints {
  std::function<void()> associations;   // IDM_ASSOCIATIONS: file-type associations
  std::function<void()> volume;         // IDM_VOLUME: the volume dialog
  std::function<void()> about;          // IDM_ABOUT: the about box
  std::function<void()> sleepTimer;     // IDM_SLEEP: the sleep timer
  std::function<void()> effects;        // IDM_EFFECTS: the effect dialog
  std::function<void()> filterList;     // IDM_FILTERS: the filters in use
  std::function<void()> equalizer;      // the title display's Q key: the equalizer window
  std::function<void(int index)> skin;  // IDM_SKIN_FIRST + index: a skin of the skin menu
};

}  // namespace kestrun::app
