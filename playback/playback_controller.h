// The playback engine: the state machine over one graph at a time, the end-of-track
// rule of each play mode, the row choosers over the playlist, rates, seeking, zone
// repeat and the position display. It drives the media framework through a
// MediaBackend and shows everything through a PlaybackView, so it runs unchanged
// in the program and against fakes in tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "playback/engine_state.h"
#include "playback/media_backend.h"
#include "playback/playback_view.h"
#include "playlist/row_store.h"

namespace kestrun::playback {

// An ASX file may name another ASX file; the chain is followed this deep at most,
// so two files that name each other end with the ASX failure text.
inline constexpr int kAsxNestingLimit = 8;

class PlaybackController {
 public:
  PlaybackController(MediaBackend& backend, PlaybackView& view, PositionTimer& timer);
  PlaybackController(const PlaybackController&) = delete;
  PlaybackController& operator=(const PlaybackController&) = delete;

  EngineState& state() { return state_; }
  const EngineState& state() const { return state_; }
  GraphOptions& options() { return options_; }
  const GraphOptions& options() const { return options_; }

  // The playlist's rows (the playlist window's list control); null until it exists.
  void AttachPlaylist(playlist::RowStore* rows) { rows_ = rows; }
  playlist::RowStore* playlist() const { return rows_; }

  // Where the user's "AlwaysID3v1" choice is kept; asked at every title lookup, so
  // a change shows with the next title. Until it is given, MP3 titles come from
  // ID3v2 first.
  void SetAlwaysId3v1Source(std::function<bool()> source) { alwaysId3v1_ = std::move(source); }

  // Builds a graph for path and starts it; success or failure shows in the state
  // and the title display.
  void OpenAndPlay(const char* path);
  // Stops and releases the graph; shows the idle display.
  void StopAndClose();
  // Stops without releasing the graph.
  void StopKeepGraph();
  // Pauses when playing; runs when paused or stopped.
  void TogglePause();
  // Restarts the current file from its beginning.
  void PlayCommand();
  // The next row, or a random one in shuffle mode.
  void NextCommand();
  void PlayNext();
  void PlayPrevious();
  void PlayRandom();

  // Commands with check marks.
  void PlayModeCommand(int commandId);
  void RateCommand(int commandId);
  void FastSeekCommand();
  void UseWmp71Command();
  // Puts a play mode's check marks on both menus (normal: none checked).
  void CheckPlayMode(int playMode);
  // The playback volume, in hundredths of a decibel; applied to the graph of the
  // moment and to every later one.
  void SetVolume(long volume);

  // The seek knob was released after a drag at track position p (0..234).
  void SeekFromKnob(int trackPosition);
  // The seek knob was pressed: zone repeat ends.
  void OnSeekKnobPressed();
  // Ctrl went down or up over the title display, the cursor at x (main-window client).
  void OnZoneKey(bool ctrlDown, int cursorX);

  // The graph posted events.
  void HandleGraphEvents();
  // The knob, the time text and the zone back to their idle look; the idle title.
  void ResetPositionDisplay();

  // Position timer thread: reads the position, loops a zone, and posts the figures.
  void UpdatePosition();
  // User-interface thread: shows a posted position, unless it belongs to an older
  // graph or the engine no longer plays.
  void ShowPosition(std::int64_t position, unsigned generation);

 private:
  void OpenFollowing(const char* path, int asxDepth);
  void FinishAndRun(const std::string& path);
  // A graph that was built but cannot run or report: release it and say so.
  void FailStartedGraph();
  // Stops and releases the graph; the state ends closed.
  void CloseGraph();
  void EndOfTrackAction(int playMode);
  template <typename Choose>
  void ChooseRowAndPlay(Choose choose, bool focusMain);
  // The title the main window shows for path, from its tags.
  std::string DisplayTitle(const char* path) const;

  MediaBackend& backend_;
  PlaybackView& view_;
  PositionTimer& timer_;
  playlist::RowStore* rows_ = nullptr;
  EngineState state_;
  GraphOptions options_;
  std::function<bool()> alwaysId3v1_;
  // Counts the graphs opened, so a position read from an old graph is told apart.
  std::atomic<unsigned> generation_{0};
};

// The length cell of a playlist row: "%02d:%02d" minutes and seconds; a negative
// or unknown duration reads as 00:00.
std::string FormatLengthCell(std::int64_t duration);

}  // namespace kestrun::playback
