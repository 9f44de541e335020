#include "playback/playback_controller.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ansi_text.h"
#include "playback/debug_line.h"
#include "playback/seek_geometry.h"
#include "playback/time_text.h"
#include "playback/track_choice.h"
#include "playlist/playlist_entry.h"
#include "resources/resource_ids.h"
#include "tags/editor/display_title.h"

namespace kestrun::playback {

const char kUnsupportedText[] = "未対応のファイルです";
const char kAsxFailedText[] = "asxファイルの展開に失敗";

namespace {

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

bool IsRunningState(int state) { return state == kStatePlaying || state == kStatePaused; }

}  // namespace

std::string FormatLengthCell(std::int64_t duration) {
  const long long seconds = duration > 0 ? duration / kUnitsPerSecond : 0;
  char text[32];
  std::snprintf(text, sizeof(text), "%02lld:%02lld", seconds / 60, seconds % 60);
  return text;
}

PlaybackController::PlaybackController(MediaBackend& backend, PlaybackView& view, PositionTimer& timer)
    : backend_(backend), view_(view), timer_(timer) {}

std::string PlaybackController::DisplayTitle(const char* path) const {
  char title[tags::kDisplayTitleCapacity] = {};
  tags::FormatDisplayTitle(path, title, alwaysId3v1_ && alwaysId3v1_());
  return title;
}

void PlaybackController::OpenAndPlay(const char* path) { OpenFollowing(path, 0); }

void PlaybackController::OpenFollowing(const char* path, int asxDepth) {
  DebugLine("START\n");
  if (state_.state != kStateClosed) StopAndClose();

  // The path may be the current-path buffer itself.
  char requested[kPathCapacity];
  std::snprintf(requested, sizeof(requested), "%s", path != nullptr ? path : "");
  std::snprintf(state_.currentPath, sizeof(state_.currentPath), "%s", requested);
  ++generation_;

  const OpenOutcome outcome = backend_.Build(requested, options_, view_);
  switch (outcome.kind) {
    case OpenOutcome::Kind::Failed:
      state_.state = kStateClosed;
      view_.ShowTitleText(outcome.failureText);
      return;
    case OpenOutcome::Kind::FollowReference: {
      // A reference to itself would loop forever; so would two files naming each
      // other, which the depth bound ends.
      if (std::strcmp(outcome.reference.c_str(), requested) == 0) return;
      if (asxDepth >= kAsxNestingLimit) {
        view_.ShowTitleText(kAsxFailedText);
        return;
      }
      OpenFollowing(outcome.reference.c_str(), asxDepth + 1);
      if (state_.state == kStatePlaying && asxDepth == 0) {
        const std::string display = playlist::entryDisplayName(outcome.reference, outcome.title, outcome.author);
        view_.ShowCaption(display);
        view_.ShowTitleText(display);
      }
      return;
    }
    case OpenOutcome::Kind::Built:
      FinishAndRun(requested);
      return;
  }
}

void PlaybackController::FinishAndRun(const std::string& path) {
  state_.audioOnly = backend_.IsAudioOnly();
  backend_.SetVolume(state_.volume);
  DebugLine("EndVolume\n");

  state_.duration = backend_.Duration();
  std::int64_t position = 0;
  backend_.CurrentPosition(position);
  view_.ShowTimeText(FormatTimeText(position, state_.duration));

  // A new graph starts at the normal rate.
  backend_.SetRate(1.0);
  state_.rate = 1.0;
  for (const auto& choice : kRateCommands) view_.SetChecked(choice.id, false, MenuScope::MainAndTrayMenus);

  state_.zoneActive = false;
  view_.HideZone();

  const std::string title = DisplayTitle(path.c_str());
  if (rows_ != nullptr && state_.currentTrackIndex >= 0 && state_.currentTrackIndex < rows_->RowCount()) {
    rows_->SetCell(state_.currentTrackIndex, playlist::Column::Length, FormatLengthCell(state_.duration));
  }
  view_.ShowPlayingTitle(title);

  DebugLine("STARTRun\n");
  if (!backend_.Run()) {
    FailStartedGraph();
    return;
  }
  DebugLine("EndRun\n");
  // Without its events the graph would never end a track.
  if (!backend_.RouteEvents()) {
    FailStartedGraph();
    return;
  }
  DebugLine("EndNotifyWindow\n");
  state_.state = kStatePlaying;
  timer_.Start();
}

void PlaybackController::FailStartedGraph() {
  CloseGraph();
  view_.HideVideo();
  view_.ShowTitleText(kUnsupportedText);
}

void PlaybackController::CloseGraph() {
  backend_.Stop();
  // Stopped before the graph goes, so a timer tick from now on idles.
  state_.state = kStateStopped;
  state_.audioOnly = true;
  backend_.TearDown();
  state_.state = kStateClosed;
  view_.SetMarqueeRunning(false);
}

void PlaybackController::StopAndClose() {
  backend_.AbortPendingOpen();
  if (state_.state == kStateClosed) return;
  CloseGraph();
  ResetPositionDisplay();
  view_.HideVideo();
}

void PlaybackController::StopKeepGraph() {
  if (backend_.HasGraph() && state_.state != kStateStopped && backend_.Stop()) state_.state = kStateStopped;
}

void PlaybackController::TogglePause() {
  if (!backend_.HasGraph()) return;
  if (state_.state == kStatePaused) {
    if (!backend_.Run()) return;  // still paused
    state_.state = kStatePlaying;
    view_.SetMarqueeRunning(true);
  } else {
    if (!backend_.Pause()) return;
    state_.state = kStatePaused;
    view_.SetMarqueeRunning(false);
  }
}

void PlaybackController::PlayCommand() {
  if (state_.state != kStateClosed) StopAndClose();
  if (state_.currentPath[0] != '\0') {
    char path[kPathCapacity];
    std::snprintf(path, sizeof(path), "%s", state_.currentPath);
    OpenAndPlay(path);
  }
}

void PlaybackController::NextCommand() {
  if (state_.playMode == kPlayModeShuffle) {
    PlayRandom();
  } else {
    PlayNext();
  }
}

// The common steps of the row choosers: clear the selection, choose the index,
// read its path, close the current graph, select the row and play it.
template <typename Choose>
void PlaybackController::ChooseRowAndPlay(Choose choose, bool focusMain) {
  if (rows_ == nullptr) return;
  const int count = rows_->RowCount();
  if (count <= 0) return;
  ClearSelection(*rows_);
  const int index = choose(count);
  state_.currentTrackIndex = index;
  char path[kPathCapacity] = {};
  platform::CopyToBuffer(rows_->Cell(index, playlist::Column::Path), path, sizeof(path));
  if (state_.state != kStateClosed) StopAndClose();
  rows_->SetSelected(index, true);
  if (focusMain) view_.FocusMain();
  OpenAndPlay(path);
}

void PlaybackController::PlayNext() {
  ChooseRowAndPlay([this](int count) { return NextTrackIndex(state_.currentTrackIndex, count); }, false);
}

void PlaybackController::PlayPrevious() {
  ChooseRowAndPlay([this](int count) { return PreviousTrackIndex(state_.currentTrackIndex, count); }, true);
}

void PlaybackController::PlayRandom() {
  ChooseRowAndPlay([](int count) { return RandomTrackIndex(std::rand(), count); }, false);
}

void PlaybackController::EndOfTrackAction(int playMode) {
  switch (playMode) {
    case kPlayModeRepeatOne:
      PlayCommand();
      if (state_.audioOnly) view_.FocusTitle();
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

void PlaybackController::HandleGraphEvents() {
  while (backend_.HasGraph()) {
    const int playMode = state_.playMode;
    try {
      long code = 0;
      if (!backend_.NextEvent(code)) return;
      if (code != kGraphEventComplete) continue;
      state_.state = kStateStopped;
      EndOfTrackAction(playMode);
      if (playMode == kPlayModeNormal) return;
    } catch (...) {
      // Nothing may escape the message handler; the track still advances once.
      DebugLine(kEventErrorText);
      try {
        EndOfTrackAction(playMode);
      } catch (...) {
        DebugLine(kEventErrorText);
      }
      if (playMode == kPlayModeNormal) return;
    }
  }
}

void PlaybackController::CheckPlayMode(int playMode) {
  for (const auto& command : kModeCommands) {
    view_.SetChecked(command.id, command.mode == playMode, MenuScope::MainAndTrayMenus);
  }
}

void PlaybackController::PlayModeCommand(int commandId) {
  for (const auto& command : kModeCommands) {
    if (command.id != commandId) continue;
    if (state_.playMode == command.mode) {
      state_.playMode = kPlayModeNormal;
      view_.SetChecked(commandId, false, MenuScope::MainAndTrayMenus);
    } else {
      state_.playMode = command.mode;
      CheckPlayMode(command.mode);
    }
  }
  view_.FocusTitle();
}

void PlaybackController::RateCommand(int commandId) {
  if (backend_.HasGraph()) {
    for (const auto& choice : kRateCommands) {
      // A rate the graph refuses changes neither the rate nor the check marks.
      if (choice.id != commandId || !backend_.SetRate(choice.rate)) continue;
      state_.rate = choice.rate;
      for (const auto& other : kRateCommands) {
        view_.SetChecked(other.id, other.id == commandId, MenuScope::MainAndTrayMenus);
      }
    }
  }
  view_.FocusTitle();
}

void PlaybackController::FastSeekCommand() {
  state_.fastSeek = !state_.fastSeek;
  view_.SetChecked(IDM_FAST_SEEK, state_.fastSeek, MenuScope::MainMenu);
  view_.FocusTitle();
}

void PlaybackController::UseWmp71Command() {
  options_.useWmp71 = !options_.useWmp71;
  view_.SetChecked(IDM_USE_WMP71, options_.useWmp71, MenuScope::MainAndTrayMenus);
}

void PlaybackController::SetVolume(long volume) {
  state_.volume = volume;
  if (backend_.HasGraph()) backend_.SetVolume(volume);
}

void PlaybackController::SeekFromKnob(int trackPosition) {
  if (!IsRunningState(state_.state) || state_.zoneCtrlHeld || !backend_.HasGraph()) return;
  const std::int64_t target =
      state_.zoneActive ? state_.zoneStart.load() : SeekTarget(state_.duration, trackPosition);
  backend_.SeekTo(target, state_.fastSeek);
}

void PlaybackController::OnSeekKnobPressed() {
  state_.zoneActive = false;
  view_.HideZone();
}

void PlaybackController::OnZoneKey(bool ctrlDown, int cursorX) {
  const int current = state_.state;
  const bool eligible = current == kStatePaused || (current == kStatePlaying && state_.seekDrag);
  if (!eligible) return;
  const int x = ClampToTrack(cursorX);
  if (ctrlDown && !state_.zoneCtrlHeld) {
    state_.zoneCtrlHeld = true;
    state_.zoneStartX = x;
    state_.zoneStartPercent = TrackPercent(x);
    return;
  }
  if (ctrlDown || !state_.zoneCtrlHeld) return;
  state_.zoneEndPercent = TrackPercent(x);
  const Zone zone = ZoneFromPercents(state_.zoneStartPercent, state_.zoneEndPercent, state_.duration);
  state_.zoneEndX = x;
  state_.zoneCtrlHeld = false;
  state_.zoneStart = zone.start;
  state_.zoneEnd = zone.end;
  state_.zoneActive = zone.active;
  if (zone.active) view_.ShowZone(state_.zoneStartX - kKnobOffset, x - state_.zoneStartX);
}

void PlaybackController::ResetPositionDisplay() {
  state_.position = 0;
  view_.ShowTimeText(FormatTimeText(0, state_.duration));
  view_.PlaceSeekKnob(kKnobIdleX);
  state_.zoneActive = false;
  view_.HideZone();
  state_.zoneStart = 0;
  state_.zoneEnd = 0;
  view_.HideVideo();
  view_.ShowTitleText(DisplayTitle(state_.currentPath));
}

void PlaybackController::UpdatePosition() {
  if (!IsRunningState(state_.state) || state_.seekDrag) return;
  const unsigned generation = generation_;
  std::int64_t position = 0;
  if (!backend_.CurrentPosition(position)) return;
  if (state_.zoneActive && position > state_.zoneEnd) backend_.SeekTo(state_.zoneStart, false);
  // Formatting and painting belong to the user-interface thread.
  view_.PostPosition(position, generation);
}

void PlaybackController::ShowPosition(std::int64_t position, unsigned generation) {
  if (generation != generation_ || !IsRunningState(state_.state) || state_.seekDrag) return;
  state_.position = position;
  if (state_.duration <= 0) return;
  view_.ShowTimeText(FormatTimeText(position, state_.duration));
  view_.PlaceSeekKnob(static_cast<int>(KnobX(position, state_.duration)) - kKnobOffset);
}

}  // namespace kestrun::playback
