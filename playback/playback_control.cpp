#include "playback/playback_control.h"

#include <mmsystem.h>

#include <cstdio>

#include "playback/media_session.h"
#include "playback/player_state.h"
#include "playback/time_text.h"
#include "tags/editor/display_title.h"

namespace kestrun::playback {
namespace {

constexpr int kMarqueeTimer = 5;
constexpr UINT kPositionPeriodMs = 200;
constexpr UINT kPositionResolutionMs = 50;

// Seek track geometry in main-window client pixels.
constexpr int kTrackLeft = 35;
constexpr int kTrackWidth = 234;
constexpr int kKnobIdleX = 32;
constexpr int kKnobSize = 12;
constexpr int kKnobOffset = 3;

void CALLBACK PositionTimerProc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { UpdatePosition(); }

int KnobRow() {
  auto& windows = Player().windows;
  if (windows.seekKnob == nullptr || windows.main == nullptr) return 0;
  RECT rect{};
  GetWindowRect(windows.seekKnob, &rect);
  MapWindowPoints(nullptr, windows.main, reinterpret_cast<POINT*>(&rect), 2);
  return rect.top;
}

}  // namespace

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
    long code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    if (FAILED(session.events->GetEvent(&code, &param1, &param2, 0))) return;
    session.events->FreeEventParams(code, param1, param2);
    if (code != EC_COMPLETE) continue;
    player.state = kStateStopped;
    if (player.playMode == kPlayModeRepeatOne) {
      SendMessageA(player.windows.main, WM_COMMAND, 1010, 0);
      continue;
    }
    // Other play modes arrive with the playlist; a track that ends stops the player.
    StopAndClose();
    return;
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
  const LONGLONG knobX = (position * 100 / duration) * kTrackWidth / 100 + kTrackLeft;
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
