// Process-wide state of the player that the playback engine reads and writes:
// the current-path buffer, the application directory, the handles of the windows
// it reports to, the playback state machine's fields and the settings it obeys.
// Everything here is owned by the user-interface thread, except where a field says
// the position timer reads it.
#pragma once

#include <windows.h>

#include <atomic>

#include "playlist/row_store.h"

namespace kestrun::playback {

inline constexpr int kPathCapacity = 260;
inline constexpr int kBandCount = 15;
inline constexpr int kFlatBand = 24;

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

// Windows the engine shows its results in; filled by the start-up sequence.
struct PlayerWindows {
  HWND main = nullptr;
  HWND titleDisplay = nullptr;  // control 1008
  HWND timeDisplay = nullptr;   // control 1065
  HWND seekKnob = nullptr;      // control 1059
  HWND zoneMarker = nullptr;    // control 1060
  HWND videoView = nullptr;
  HWND filterList = nullptr;
  HWND playlist = nullptr;
  HWND playlistList = nullptr;
  HWND tooltip = nullptr;
  HMENU mainPopup = nullptr;
  HMENU trayPopup = nullptr;
  // The playlist's rows: the playlist window's list control (owned by the shell).
  playlist::RowStore* playlistRows = nullptr;
};

struct PlayerState {
  char currentPath[kPathCapacity] = {};
  char appDirectory[kPathCapacity] = {};
  PlayerWindows windows;

  // Playback state; the position timer reads it, so it is atomic.
  std::atomic<int> state{kStateClosed};
  int playMode = kPlayModeNormal;
  int currentTrackIndex = -1;
  double rate = 1.0;
  bool fastSeek = false;
  std::atomic<bool> seekDrag{false};
  std::atomic<LONGLONG> position{0};
  char timeText[32] = "00:00/00:00";

  // Zone repeat (an A-B loop).
  std::atomic<bool> zoneActive{false};
  bool zoneCtrlHeld = false;
  int zoneStartX = 0;
  int zoneEndX = 0;
  int zoneStartPercent = 0;
  int zoneEndPercent = 0;
  std::atomic<LONGLONG> zoneStart{0};
  std::atomic<LONGLONG> zoneEnd{0};

  // Title marquee and tray icon (main window).
  bool marquee = false;
  bool trayInUse = false;

  // Settings the engine obeys.
  bool useCapture = true;
  bool useWmp71 = false;
  bool equalizerOn = false;
  bool voiceRemovalOn = false;
  int bands[kBandCount] = {kFlatBand, kFlatBand, kFlatBand, kFlatBand, kFlatBand,
                           kFlatBand, kFlatBand, kFlatBand, kFlatBand, kFlatBand,
                           kFlatBand, kFlatBand, kFlatBand, kFlatBand, kFlatBand};
  long volume = 0;  // hundredths of a decibel, 0 = full, -10000 = silent
};

PlayerState& Player();

// Shows a text in the title display (control 1008).
void ShowTitleText(const char* text);

}  // namespace kestrun::playback
