#include "playback/playback_controller.h"

#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/debug_line.h"
#include "platform/limits.h"
#include "platform/steady_time.h"
#include "playback/time_text.h"
#include "playback/track_choice.h"
#include "playlist/playlist_entry.h"
#include "settings/settings_conversions.h"
#include "tags/editor/display_title.h"

namespace kestrun::playback {

using platform::DebugLine;

const char kUnsupportedText[] = "未対応のファイルです";
const char kAsxFailedText[] = "asxファイルの展開に失敗";

namespace {

// Debug lines of playback control, written word for word: whoever reads the
// debugger output searches for them.
constexpr char kOpenStartLine[] = "START\n";
constexpr char kVolumeSetLine[] = "EndVolume\n";
constexpr char kRunStartLine[] = "STARTRun\n";
constexpr char kRunEndLine[] = "EndRun\n";
constexpr char kNotifySetLine[] = "EndNotifyWindow\n";
constexpr char kNothingPlaysLine[] = "Nothing in the list plays\n";
constexpr char kEventErrorText[] = "Error in HandleEvent()\n";

bool IsRunningState(int state) { return state == kStatePlaying || state == kStatePaused; }

// A row's path as the engine plays it: cut, at a whole character, to what a path
// may hold.
std::string RowPath(const playlist::RowStore& rows, int row) {
  return std::string(platform::CutAnsiText(rows.Cell(row, playlist::Column::Path), platform::kPathMaxLength));
}

}  // namespace

PlaybackController::PlaybackController(MediaBackend& backend, PlaybackView& view, PositionTimer& timer)
    : backend_(backend), view_(view), timer_(timer), clock_(platform::SteadyMilliseconds) {}

std::string PlaybackController::DisplayTitle(const std::string& path) const {
  char title[tags::kDisplayTitleCapacity] = {};
  tags::FormatDisplayTitle(path.c_str(), title, alwaysId3v1_ && alwaysId3v1_(),
                           unicodeTags_ ? unicodeTags_() : nullptr);
  return title;
}

void PlaybackController::OpenAndPlay(const std::string& path) {
  // Cut as OpenFollowing cuts it, so a row's path compares equal to what was opened.
  OpenFollowing(path, 0, path.substr(0, platform::kPathMaxLength));
}

void PlaybackController::PlayOutsidePath(const std::string& path) {
  state_.currentTrackIndex = -1;
  OpenAndPlay(path);
}

void PlaybackController::PlayRow(int row, const std::string& path) {
  // Stopping a closed engine does nothing, so a first play opens straight away.
  StopAndClose();
  state_.currentTrackIndex = row;
  OpenAndPlay(path);
}

void PlaybackController::ResumeRow(int row) {
  state_.currentTrackIndex = row;
  if (rows_ == nullptr || row < 0 || row >= rows_->RowCount()) return;
  state_.currentPath = RowPath(*rows_, row);
  constexpr std::size_t kCellCapacity = 128;
  const std::string title = rows_->Cell(row, playlist::Column::Title).substr(0, kCellCapacity - 1);
  const std::string artist = rows_->Cell(row, playlist::Column::Artist).substr(0, kCellCapacity - 1);
  const std::string display = playlist::entryDisplayName(state_.currentPath, title, artist);
  view_.ShowTitleText(display);
  view_.ShowCaption(display);
}

void PlaybackController::OpenFollowing(std::string path, int asxDepth, const std::string& opened) {
  DebugLine(kOpenStartLine);
  if (state_.state != kStateClosed) StopAndClose();

  // Every way in refuses or cuts a longer path; one that still comes (a reference
  // inside an ASX file) is cut as the media framework's path buffer would.
  if (path.size() > platform::kPathMaxLength) path.resize(platform::kPathMaxLength);
  const std::string requested = std::move(path);
  state_.currentPath = requested;
  ++generation_;
  quickEnds_ = 0;

  const OpenOutcome outcome = backend_.Build(requested, options_, view_);
  switch (outcome.kind) {
    case OpenOutcome::Kind::Failed:
      state_.state = kStateClosed;
      view_.ShowTitleText(outcome.failureText);
      return;
    case OpenOutcome::Kind::FollowReference: {
      // A reference to itself would loop forever; so would two files naming each
      // other, which the depth bound ends.
      if (outcome.reference == requested) return;
      if (asxDepth >= kAsxNestingLimit) {
        view_.ShowTitleText(kAsxFailedText);
        return;
      }
      OpenFollowing(outcome.reference, asxDepth + 1, opened);
      if (state_.state == kStatePlaying && asxDepth == 0) {
        const std::string display = playlist::entryDisplayName(outcome.reference, outcome.title, outcome.author);
        view_.ShowCaption(display);
        view_.ShowTitleText(display);
      }
      return;
    }
    case OpenOutcome::Kind::Built:
      FinishAndRun(requested, opened);
      return;
  }
}

int PlaybackController::RowOfOpenedPath(const std::string& opened) const {
  // The index alone is not enough: a hand-off keeps it while another file opens, and
  // a sort or a move puts another row at it while repeat-one opens the same file
  // again. That row must not take this file's length or tags.
  const int row = state_.currentTrackIndex;
  if (rows_ == nullptr || row < 0 || row >= rows_->RowCount()) return -1;
  return RowPath(*rows_, row) == opened ? row : -1;
}

void PlaybackController::FinishAndRun(const std::string& path, const std::string& opened) {
  state_.audioOnly = backend_.IsAudioOnly();
  backend_.SetVolume(state_.volume);
  DebugLine(kVolumeSetLine);

  state_.duration = backend_.Duration();
  std::int64_t position = 0;
  backend_.CurrentPosition(position);
  view_.ShowTimeText(FormatTimeText(position, state_.duration));

  // A new graph starts at the normal rate.
  backend_.SetRate(1.0);
  state_.rate = 1.0;
  view_.ShowRate(std::nullopt);

  state_.zoneActive = false;
  view_.HideZone();

  const std::string title = DisplayTitle(path);
  const int row = RowOfOpenedPath(opened);
  if (row >= 0) {
    // A row that plays shows what its tags say even when they were never read.
    playlist::readEntryTags(*rows_, row, rowTitleLookup_);
    rows_->SetCell(row, playlist::Column::Length, FormatClock(state_.duration));
  }
  view_.ShowPlayingTitle(title);

  DebugLine(kRunStartLine);
  if (!backend_.Run()) {
    FailStartedGraph();
    return;
  }
  DebugLine(kRunEndLine);
  // Without its events the graph would never end a track.
  if (!backend_.RouteEvents()) {
    FailStartedGraph();
    return;
  }
  DebugLine(kNotifySetLine);
  state_.state = kStatePlaying;
  runSince_ = clock_();
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
  if (!state_.currentPath.empty()) {
    // A copy: opening replaces the current path.
    const std::string path = state_.currentPath;
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
  const std::string path = RowPath(*rows_, index);
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

bool PlaybackController::EndedQuickly() const { return clock_() - runSince_ < kQuickEndMilliseconds; }

void PlaybackController::HandleGraphEvents() {
  while (backend_.HasGraph()) {
    const int playMode = state_.playMode;
    try {
      long code = 0;
      if (!backend_.NextEvent(code)) return;
      if (code != kGraphEventComplete) continue;
      state_.state = kStateStopped;
      const int quickEnds = EndedQuickly() ? quickEnds_ + 1 : 0;
      const int round = rows_ != nullptr && rows_->RowCount() > 1 ? rows_->RowCount() : 1;
      if (playMode != kPlayModeNormal && quickEnds >= round) {
        // A full round without a track that played: stop, or the next graph would
        // end at once again.
        DebugLine(kNothingPlaysLine);
        quickEnds_ = 0;
        StopAndClose();
        return;
      }
      EndOfTrackAction(playMode);
      quickEnds_ = quickEnds;
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

void PlaybackController::SetPlayMode(int playMode) {
  state_.playMode = playMode;
  view_.ShowPlayMode(playMode);
}

void PlaybackController::TogglePlayMode(PlayMode mode) {
  SetPlayMode(state_.playMode == mode ? kPlayModeNormal : mode);
}

void PlaybackController::ChooseRate(double rate) {
  // A rate the graph refuses changes neither the rate nor the check marks.
  if (!backend_.HasGraph() || !backend_.SetRate(rate)) return;
  state_.rate = rate;
  view_.ShowRate(rate);
}

void PlaybackController::SetFastSeek(bool on) {
  state_.fastSeek = on;
  view_.ShowFastSeek(on);
}

void PlaybackController::ToggleFastSeek() { SetFastSeek(!state_.fastSeek); }

void PlaybackController::SetWindowsMediaCore(bool on) {
  options_.useWmp71 = on;
  view_.ShowWindowsMediaCore(on);
}

void PlaybackController::ToggleWindowsMediaCore() { SetWindowsMediaCore(!options_.useWmp71); }

void PlaybackController::SetVolume(long volume) {
  state_.volume = volume;
  if (backend_.HasGraph()) backend_.SetVolume(volume);
}

void PlaybackController::ApplySettings(const settings::PlayerSettings& loaded, bool fileGiven) {
  SetPlayMode(loaded.playMode);
  // Fast seek off leaves its menu item as the menu resource has it.
  state_.fastSeek = loaded.fastSeek;
  if (loaded.fastSeek) view_.ShowFastSeek(true);
  // No graph exists yet; the next one takes the volume.
  state_.volume = settings::PlaybackVolumeFromStored(loaded.storedVolume);
  if (!fileGiven) ResumeRow(loaded.playNum.value_or(-1));
  if (loaded.useWmp71) SetWindowsMediaCore(true);
  options_.equalizerOn = loaded.equalizerOn;
  options_.voiceRemovalOn = loaded.voiceRemovalOn;
  options_.bands = loaded.bands;
}

void PlaybackController::GatherSettings(settings::PlayerSettings& saved) {
  saved.playMode = state_.playMode;
  saved.fastSeek = state_.fastSeek;
  // No current row is saved as row 0, and becomes row 0.
  if (state_.currentTrackIndex < 0) state_.currentTrackIndex = 0;
  saved.playNum = state_.currentTrackIndex;
  saved.storedVolume = settings::StoredVolumeFromPlayback(state_.volume);
  saved.useCapture = options_.useCapture;
  saved.useWmp71 = options_.useWmp71;
  saved.equalizerOn = options_.equalizerOn;
  saved.voiceRemovalOn = options_.voiceRemovalOn;
  saved.bands = options_.bands;
}

void PlaybackController::BeginSeekDrag() {
  state_.seekDrag = true;
  state_.zoneActive = false;
  view_.HideZone();
}

void PlaybackController::PreviewSeek(double fraction) {
  const std::int64_t target = static_cast<std::int64_t>(static_cast<double>(state_.duration) * fraction);
  state_.position = target;
  view_.ShowTimeText(FormatTimeText(target, state_.duration));
}

void PlaybackController::EndSeekDrag() { state_.seekDrag = false; }

void PlaybackController::SeekToFraction(double fraction) {
  if (!IsRunningState(state_.state) || !backend_.HasGraph()) return;
  const std::int64_t target = state_.zoneActive
                                  ? state_.zoneStart.load()
                                  : static_cast<std::int64_t>(static_cast<double>(state_.duration) * fraction);
  backend_.SeekTo(target, state_.fastSeek);
}

bool PlaybackController::CanMarkZone() const {
  const int current = state_.state;
  return current == kStatePaused || (current == kStatePlaying && state_.seekDrag);
}

bool PlaybackController::MarkZone(std::int64_t start, std::int64_t end) {
  const bool active = end > start;
  // The bounds before the flag: the timer thread reads them once it sees the flag.
  state_.zoneStart = active ? start : 0;
  state_.zoneEnd = active ? end : 0;
  state_.zoneActive = active;
  return active;
}

void PlaybackController::ResetPositionDisplay() {
  state_.position = 0;
  view_.ShowTimeText(FormatTimeText(0, state_.duration));
  view_.ShowSeekPosition(0, state_.duration);
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
  view_.ShowSeekPosition(position, state_.duration);
}

}  // namespace kestrun::playback
