#include "playback/playback_control.h"

#include <mmsystem.h>

#include <cstdio>
#include <exception>

#include "playback/media_session.h"
#include "playback/player_state.h"
#include "playback/seek_geometry.h"
#include "playback/track_choice.h"
#include "resources/resource_ids.h"
#include "playback/time_text.h"
#include "tags/editor/display_title.h"

namespace kestrun::playback {
namespace {

constexpr int kMarqueeTimer = 5;
constexpr UINT kMarqueePeriodMs = 850;
constexpr UINT kPositionPeriodMs = 200;
constexpr UINT kPositionResolutionMs = 50;
constexpr char kEventErrorText[] = "Error in HandleEvent()\n";

// Play-mode commands and the mode each selects.
struct ModeCommand {
  int id;
  int mode;
};
constexpr ModeCommand kModeCommands[] = {{IDM_SHUFFLE, kPlayModeShuffle},
                                         {IDM_REPEAT_ALL, kPlayModeRepeatAll},
                                         {IDM_REPEAT_ONE, kPlayModeRepeatOne}};

// Rate commands and their rates.
struct RateChoice {
  int id;
  double rate;
};
constexpr RateChoice kRateCommands[] = {
    {IDM_RATE_2_0, 2.0}, {IDM_RATE_1_25, 1.25}, {IDM_RATE_1_0, 1.0}, {IDM_RATE_0_5, 0.5}};

void CALLBACK PositionTimerProc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { UpdatePosition(); }

int KnobRow() {
  auto& windows = Player().windows;
  if (windows.seekKnob == nullptr || windows.main == nullptr) return 0;
  RECT rect{};
  GetWindowRect(windows.seekKnob, &rect);
  MapWindowPoints(nullptr, windows.main, reinterpret_cast<POINT*>(&rect), 2);
  return rect.top;
}

void FocusTitleDisplay() {
  if (Player().windows.titleDisplay != nullptr) SetFocus(Player().windows.titleDisplay);
}

// The common steps of the row choosers: clear the selection, choose the index,
// read its path, close the current graph, select the row and play it.
template <typename Choose>
void ChooseRowAndPlay(Choose choose, bool focusMain) {
  auto& player = Player();
  playlist::RowStore* rows = player.windows.playlistRows;
  if (rows == nullptr) return;
  const int count = rows->RowCount();
  if (count <= 0) return;
  ClearSelection(*rows);
  const int index = choose(count);
  player.currentTrackIndex = index;
  char path[kPathCapacity] = {};
  const std::string cell = rows->Cell(index, playlist::Column::Path);
  std::snprintf(path, sizeof(path), "%s", cell.c_str());
  if (player.state != kStateClosed) StopAndClose();
  rows->SetSelected(index, true);
  if (focusMain && player.windows.main != nullptr) SetFocus(player.windows.main);
  OpenAndPlay(path);
}

// What the end of a track does in each play mode.
void EndOfTrackAction(int playMode) {
  switch (playMode) {
    case kPlayModeRepeatOne:
      SendMessageA(Player().windows.main, WM_COMMAND, IDM_PLAY_KEY, 0);
      break;
    case kPlayModeRepeatAll:
      PlayNext();
      break;
    case kPlayModeShuffle:
      PlayRandom();
      break;
    default:
      StopAndClose();
      break;
  }
}

}  // namespace

void CheckCommand(int id, bool checked, bool inTrayMenuToo) {
  auto& windows = Player().windows;
  const UINT flags = MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED);
  if (windows.mainPopup != nullptr) CheckMenuItem(windows.mainPopup, id, flags);
  if (inTrayMenuToo && windows.trayPopup != nullptr) CheckMenuItem(windows.trayPopup, id, flags);
}

void ShowTimeText() {
  auto& player = Player();
  if (player.windows.timeDisplay != nullptr) {
    SetWindowTextA(player.windows.timeDisplay, player.timeText);
    InvalidateRect(player.windows.timeDisplay, nullptr, FALSE);
  }
}

void StopAndClose() {
  auto& session = Session();
  auto& player = Player();
  if (session.openProgress) session.openProgress->AbortOperation();
  if (player.state == kStateClosed) return;
  if (session.control) session.control->Stop();
  // Stopped before the seeking interface goes, so a timer tick from now on idles.
  player.state = kStateStopped;
  session.audioOnly = 1;
  TearDownGraph();
  player.state = kStateClosed;
  if (player.windows.main != nullptr) KillTimer(player.windows.main, kMarqueeTimer);
  ResetPositionDisplay();
  if (player.windows.videoView != nullptr) ShowWindow(player.windows.videoView, SW_HIDE);
}

void HandleGraphEvents() {
  auto& session = Session();
  auto& player = Player();
  while (session.events) {
    const int playMode = player.playMode;
    try {
      long code = 0;
      LONG_PTR param1 = 0;
      LONG_PTR param2 = 0;
      if (FAILED(session.events->GetEvent(&code, &param1, &param2, 0))) return;
      session.events->FreeEventParams(code, param1, param2);
      if (code != EC_COMPLETE) continue;
      player.state = kStateStopped;
      EndOfTrackAction(playMode);
      if (playMode == kPlayModeNormal) return;
    } catch (...) {
      // Nothing may escape the message handler; the track still advances once.
      OutputDebugStringA(kEventErrorText);
      try {
        EndOfTrackAction(playMode);
      } catch (...) {
        OutputDebugStringA(kEventErrorText);
      }
      if (playMode == kPlayModeNormal) return;
    }
  }
}

void StopKeepGraph() {
  auto& player = Player();
  auto& session = Session();
  if (session.control && player.state != kStateStopped && SUCCEEDED(session.control->Stop())) {
    player.state = kStateStopped;
  }
}

void TogglePause() {
  auto& player = Player();
  auto& session = Session();
  if (!session.control) return;
  if (player.state == kStatePaused) {
    session.control->Run();
    player.state = kStatePlaying;
    if (player.windows.main != nullptr) SetTimer(player.windows.main, kMarqueeTimer, kMarqueePeriodMs, nullptr);
  } else {
    session.control->Pause();
    player.state = kStatePaused;
    if (player.windows.main != nullptr) KillTimer(player.windows.main, kMarqueeTimer);
  }
}

void PlayCommand() {
  auto& player = Player();
  if (player.state != kStateClosed) StopAndClose();
  if (player.currentPath[0] != '\0') OpenAndPlay(player.currentPath);
}

void NextCommand() {
  if (Player().playMode == kPlayModeShuffle) {
    PlayRandom();
  } else {
    PlayNext();
  }
}

void PlayNext() {
  ChooseRowAndPlay([](int count) { return NextTrackIndex(Player().currentTrackIndex, count); }, false);
}

void PlayPrevious() {
  ChooseRowAndPlay([](int count) { return PreviousTrackIndex(Player().currentTrackIndex, count); }, true);
}

void PlayRandom() {
  try {
    ChooseRowAndPlay([](int count) { return RandomTrackIndex(rand(), count); }, false);
  } catch (...) {
    Player().currentTrackIndex = 0;
    PlayNext();
  }
}

void CheckPlayMode(int playMode) {
  for (const auto& command : kModeCommands) CheckCommand(command.id, command.mode == playMode, true);
}

void PlayModeCommand(int commandId) {
  auto& player = Player();
  for (const auto& command : kModeCommands) {
    if (command.id != commandId) continue;
    if (player.playMode == command.mode) {
      player.playMode = kPlayModeNormal;
      CheckCommand(commandId, false, true);
    } else {
      player.playMode = command.mode;
      CheckPlayMode(command.mode);
    }
  }
  FocusTitleDisplay();
}

void RateCommand(int commandId) {
  auto& player = Player();
  auto& session = Session();
  if (session.seeking) {
    for (const auto& choice : kRateCommands) {
      if (choice.id != commandId) continue;
      player.rate = choice.rate;
      session.seeking->SetRate(choice.rate);
      for (const auto& other : kRateCommands) CheckCommand(other.id, other.id == commandId, true);
    }
  }
  FocusTitleDisplay();
}

void FastSeekCommand() {
  auto& player = Player();
  player.fastSeek = !player.fastSeek;
  CheckCommand(IDM_FAST_SEEK, player.fastSeek, false);
  FocusTitleDisplay();
}

void SeekFromKnob(int trackPosition) {
  auto& player = Player();
  auto& session = Session();
  const int state = player.state;
  if ((state != kStatePlaying && state != kStatePaused) || player.zoneCtrlHeld || !session.seeking) return;
  LONGLONG target = player.zoneActive ? player.zoneStart.load() : SeekTarget(session.duration, trackPosition);
  const DWORD flags = player.fastSeek ? (AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame)
                                      : AM_SEEKING_AbsolutePositioning;
  std::lock_guard<std::mutex> lock(session.seekingLock);
  session.seeking->SetPositions(&target, flags, nullptr, AM_SEEKING_NoPositioning);
}

void OnSeekKnobPressed() {
  auto& player = Player();
  player.zoneActive = false;
  if (player.windows.zoneMarker != nullptr) ShowWindow(player.windows.zoneMarker, SW_HIDE);
}

void OnZoneKey(bool ctrlDown, int cursorX) {
  auto& player = Player();
  const int state = player.state;
  const bool eligible = state == kStatePaused || (state == kStatePlaying && player.seekDrag);
  if (!eligible) return;
  const int x = ClampToTrack(cursorX);
  if (ctrlDown && !player.zoneCtrlHeld) {
    player.zoneCtrlHeld = true;
    player.zoneStartX = x;
    player.zoneStartPercent = TrackPercent(x);
    return;
  }
  if (ctrlDown || !player.zoneCtrlHeld) return;
  player.zoneEndPercent = TrackPercent(x);
  const Zone zone = ZoneFromPercents(player.zoneStartPercent, player.zoneEndPercent, Session().duration);
  player.zoneEndX = x;
  player.zoneCtrlHeld = false;
  player.zoneStart = zone.start;
  player.zoneEnd = zone.end;
  player.zoneActive = zone.active;
  if (zone.active && player.windows.zoneMarker != nullptr) {
    MoveWindow(player.windows.zoneMarker, player.zoneStartX - kKnobOffset, KnobRow(), x - player.zoneStartX,
               kKnobSize, TRUE);
    ShowWindow(player.windows.zoneMarker, SW_SHOW);
  }
}

void ResetPositionDisplay() {
  auto& player = Player();
  auto& session = Session();
  player.position = 0;
  std::snprintf(player.timeText, sizeof(player.timeText), "%s",
                FormatTimeText(0, session.duration).c_str());
  ShowTimeText();
  const int row = KnobRow();
  if (player.windows.seekKnob != nullptr) {
    MoveWindow(player.windows.seekKnob, kKnobIdleX, row, kKnobSize, kKnobSize, FALSE);
  }
  player.zoneActive = false;
  if (player.windows.zoneMarker != nullptr) ShowWindow(player.windows.zoneMarker, SW_HIDE);
  player.zoneStart = 0;
  player.zoneEnd = 0;
  if (player.windows.main != nullptr) {
    RECT track{kKnobIdleX, row, kTrackLeft + kTrackWidth + 9, row + kKnobSize};
    InvalidateRect(player.windows.main, &track, TRUE);
  }
  if (player.windows.seekKnob != nullptr) InvalidateRect(player.windows.seekKnob, nullptr, TRUE);
  if (player.windows.videoView != nullptr) ShowWindow(player.windows.videoView, SW_HIDE);
  char title[tags::kDisplayTitleCapacity] = {};
  tags::FormatDisplayTitle(player.currentPath, title);
  ShowTitleText(title);
}

void StartPositionTimer() {
  auto& session = Session();
  if (session.positionTimer != 0) timeKillEvent(session.positionTimer);
  session.positionTimer = timeSetEvent(kPositionPeriodMs, kPositionResolutionMs, PositionTimerProc, 0,
                                       TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
}

void StopPositionTimer() {
  auto& session = Session();
  if (session.positionTimer != 0) timeKillEvent(session.positionTimer);
  session.positionTimer = 0;
  // A callback that was already running finishes under the lock.
  std::lock_guard<std::mutex> lock(session.seekingLock);
}

void UpdatePosition() {
  auto& session = Session();
  auto& player = Player();
  const int state = player.state;
  if ((state != kStatePlaying && state != kStatePaused) || player.seekDrag) return;
  LONGLONG position = 0;
  {
    std::lock_guard<std::mutex> lock(session.seekingLock);
    if (!session.seeking) return;
    if (FAILED(session.seeking->GetCurrentPosition(&position))) return;
    if (player.zoneActive && position > player.zoneEnd) {
      LONGLONG start = player.zoneStart;
      session.seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                    AM_SEEKING_NoPositioning);
    }
  }
  player.position = position;
  const LONGLONG duration = session.duration;
  if (duration <= 0) return;
  const LONGLONG knobX = KnobX(position, duration);
  std::snprintf(player.timeText, sizeof(player.timeText), "%s",
                FormatTimeText(position, duration).c_str());
  // Window calls happen outside the lock: they wait on the user-interface thread,
  // which may itself be waiting for the lock while it releases the graph.
  ShowTimeText();
  if (player.windows.seekKnob != nullptr) {
    MoveWindow(player.windows.seekKnob, static_cast<int>(knobX) - kKnobOffset, KnobRow(), kKnobSize,
               kKnobSize, TRUE);
  }
}

}  // namespace kestrun::playback
