// What the playback engine knows of the moment: the current path, the playback
// state machine's fields, zone repeat, and the options each new graph is built with.
// Owned by the user-interface thread; the fields the position timer thread reads
// are atomic and say so. Only the controller writes the state; everyone else reads
// it through PlaybackController::state() and changes it through its operations.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "equalizer/band_values.h"
#include "platform/limits.h"

namespace kestrun::playback {

// Paths and URLs are at most platform::kPathMaxLength bytes; longer ones are refused
// or cut where they enter the program (command line, hand-off, drops, paste, the open
// dialog, playlist rows).
// Playback state values.
enum PlaybackStateValue : int {
  kStateStopped = 0,
  kStatePaused = 1,
  kStatePlaying = 2,
  kStateClosed = 3,
};

// Play modes (setting "Playmode").
enum PlayMode : int {
  kPlayModeNormal = 0,
  kPlayModeRepeatOne = 1,
  kPlayModeRepeatAll = 2,
  kPlayModeShuffle = 3,
};

// What every graph is built with; read when a graph is built, so a change takes
// effect from the next file on.
struct GraphOptions {
  bool useCapture = true;  // frame grabber in video graphs
  bool useWmp71 = false;   // wma, wmv and asf through the Windows Media core
  bool equalizerOn = false;
  bool voiceRemovalOn = false;
  equalizer::BandValues bands = equalizer::FlatBands();
};

struct EngineState {
  std::string currentPath;

  // The position timer reads the state, so it is atomic.
  std::atomic<int> state{kStateClosed};
  int playMode = kPlayModeNormal;
  int currentTrackIndex = -1;
  double rate = 1.0;
  bool fastSeek = false;
  long volume = 0;  // hundredths of a decibel, 0 = full, -10000 = silent

  // Of the graph of the moment (the duration stays after the graph is closed, so the
  // idle time text still shows the last length).
  std::int64_t duration = 0;
  std::int64_t position = 0;
  bool audioOnly = true;

  // The seek knob is being dragged; the timer leaves the knob alone meanwhile.
  std::atomic<bool> seekDrag{false};

  // Zone repeat (an A-B loop) in positions of the graph; the timer reads the active
  // flag and the bounds.
  std::atomic<bool> zoneActive{false};
  std::atomic<std::int64_t> zoneStart{0};
  std::atomic<std::int64_t> zoneEnd{0};
};

}  // namespace kestrun::playback
