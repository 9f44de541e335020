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
#include "playlist/entry_tags.h"
#include "playlist/row_store.h"
#include "settings/player_settings.h"
#include "tags/id3/unicode_text.h"

namespace kestrun::playback {

// An ASX file may name another ASX file; the chain is followed this deep at most,
// so two files that name each other end with the ASX failure text.
inline constexpr int kAsxNestingLimit = 8;

// A track that ends sooner than this after it started did not really play (a file that
// renders but holds no samples ends at once). The repeat modes stop once as many tracks
// in a row as the list has rows (one without a list) ended that way: such a list would otherwise
// build graphs as fast as the machine can for as long as the player runs.
inline constexpr std::int64_t kQuickEndMilliseconds = 500;

class PlaybackController {
 public:
  PlaybackController(MediaBackend& backend, PlaybackView& view, PositionTimer& timer);
  PlaybackController(const PlaybackController&) = delete;
  PlaybackController& operator=(const PlaybackController&) = delete;

  // What the engine knows of the moment; only the operations below change it.
  const EngineState& state() const { return state_; }
  // What the next graph is built with: the equalizer and video windows set theirs.
  GraphOptions& options() { return options_; }
  const GraphOptions& options() const { return options_; }

  // The playlist's rows (shown by the playlist window); null until it exists.
  void AttachPlaylist(playlist::RowStore* rows) { rows_ = rows; }
  playlist::RowStore* playlist() const { return rows_; }

  // Where the user's "AlwaysID3v1" choice is kept; asked at every title lookup, so
  // a change shows with the next title. Until it is given, MP3 titles come from
  // ID3v2 first.
  void SetAlwaysId3v1Source(std::function<bool()> source) { alwaysId3v1_ = std::move(source); }
  // The lookup that fills a row's title and artist when the row starts playing: the
  // playlist's own, so a played row shows what its tag command would read. Until it
  // is given, a played row's title is its file name.
  void SetRowTitleLookup(playlist::TitleLookup lookup) { rowTitleLookup_ = std::move(lookup); }
  // The same for the "UnicodeTags" choice: the conversion of Unicode tag texts while
  // it is on, nullptr while it is off (and until a source is given).
  void SetUnicodeTagsSource(std::function<tags::AnsiFromUtf16()> source) { unicodeTags_ = std::move(source); }
  // The clock (in milliseconds) that times how long a track played; the platform's
  // steady clock until one is given.
  void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }

  // Builds a graph for path and starts it; success or failure shows in the state
  // and the title display. The current row stays as it is.
  void OpenAndPlay(const std::string& path);
  // Plays a path that did not come from the playlist (open dialog, drop, paste,
  // command line): no row is current afterwards.
  void PlayOutsidePath(const std::string& path);
  // Plays path as the playlist's row `row`, closing what plays first.
  void PlayRow(int row, const std::string& path);
  // Makes row the current one without playing it: its path becomes the current file
  // and its title shows. A row the playlist does not have (or -1) only becomes the
  // index, with nothing else changed.
  void ResumeRow(int row);
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

  // Chooses a play mode; choosing the one in force goes back to normal.
  void TogglePlayMode(PlayMode mode);
  void SetPlayMode(int playMode);
  // Plays the graph of the moment at rate; a rate the graph refuses (or no graph)
  // changes nothing.
  void ChooseRate(double rate);
  void ToggleFastSeek();
  void SetFastSeek(bool on);
  // wma, wmv and asf through the Windows Media core, from the next graph on.
  void ToggleWindowsMediaCore();
  void SetWindowsMediaCore(bool on);
  // The playback volume, in hundredths of a decibel; applied to the graph of the
  // moment and to every later one.
  void SetVolume(long volume);

  // The engine's share of the settings: applied at start-up in the order they are
  // stored (the saved row only when no file was given), gathered at exit.
  void ApplySettings(const settings::PlayerSettings& loaded, bool fileGiven);
  void GatherSettings(settings::PlayerSettings& saved);

  // The seek knob is pressed: zone repeat ends and the timer leaves the knob alone.
  void BeginSeekDrag();
  // The dragged knob stands at fraction (0..1) of the track: the time text follows.
  void PreviewSeek(double fraction);
  // The drag ended: the timer moves the knob again.
  void EndSeekDrag();
  // Seeks to fraction (0..1) of the duration, or to the zone's start while a zone
  // repeats; only while a graph plays or pauses.
  void SeekToFraction(double fraction);
  // Whether a zone can be marked now: while paused, or while the knob is dragged
  // during playback.
  bool CanMarkZone() const;
  // Repeats from start to end (positions of the graph); a zone that does not end after
  // it starts ends zone repeat. True when a zone repeats.
  bool MarkZone(std::int64_t start, std::int64_t end);

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
  // opened is the path the open started from (the ASX file for a reference it names).
  void OpenFollowing(std::string path, int asxDepth, const std::string& opened);
  void FinishAndRun(const std::string& path, const std::string& opened);
  // The row that stands for the opened path: the current row when it holds that
  // path, else -1.
  int RowOfOpenedPath(const std::string& opened) const;
  // A graph that was built but cannot run or report: release it and say so.
  void FailStartedGraph();
  // Stops and releases the graph; the state ends closed.
  void CloseGraph();
  void EndOfTrackAction(int playMode);
  // Whether the graph that just ended had played for less than kQuickEndMilliseconds.
  bool EndedQuickly() const;
  template <typename Choose>
  void ChooseRowAndPlay(Choose choose, bool focusMain);
  // The title the main window shows for path, from its tags.
  std::string DisplayTitle(const std::string& path) const;

  MediaBackend& backend_;
  PlaybackView& view_;
  PositionTimer& timer_;
  playlist::RowStore* rows_ = nullptr;
  EngineState state_;
  GraphOptions options_;
  std::function<bool()> alwaysId3v1_;
  playlist::TitleLookup rowTitleLookup_;
  std::function<tags::AnsiFromUtf16()> unicodeTags_;
  // Counts the graphs opened, so a position read from an old graph is told apart.
  std::atomic<unsigned> generation_{0};
  std::function<std::int64_t()> clock_;
  // When the graph of the moment started running, by clock_.
  std::int64_t runSince_ = 0;
  // Tracks in a row that ended quickly and were followed by another automatically;
  // every open starts the count again, the end-of-track handler carries it on.
  int quickEnds_ = 0;
};

}  // namespace kestrun::playback
