// What the playback engine asks of the media framework: build a graph for a path,
// drive it, read its position and events, and release it. The program's backend is
// DirectShow (media_session_win.h); the engine's tests use a scripted fake.
//
// Threading: everything runs on the user-interface thread, except CurrentPosition
// and SeekTo, which the position timer also calls; the backend guards the
// interface they use against TearDown.
#pragma once

#include <cstdint>
#include <string>

#include "playback/engine_state.h"

namespace kestrun::playback {

class PlaybackView;

// Texts of failed opens shown in the title display. Defined once, in the engine's
// own code page (the system's ANSI code page in the program).
extern const char kUnsupportedText[];
extern const char kAsxFailedText[];

// The graph event that ends a track (EC_COMPLETE).
inline constexpr long kGraphEventComplete = 1;

struct OpenOutcome {
  enum class Kind {
    Built,            // a graph is ready to run
    Failed,           // nothing was built; failureText says why
    FollowReference,  // an ASX metafile: play `reference`, titled by title and author
  };
  Kind kind = Kind::Failed;
  std::string failureText;
  // On Failed, the result code (an HRESULT) of the step that failed; 0 otherwise.
  std::int32_t failureCode = 0;
  std::string reference;
  std::string title;
  std::string author;
};

inline OpenOutcome BuiltOutcome() {
  OpenOutcome outcome;
  outcome.kind = OpenOutcome::Kind::Built;
  return outcome;
}

class MediaBackend {
 public:
  virtual ~MediaBackend() = default;

  // Builds a graph for path (ANSI path or URL) with options. Progress texts (an ASX
  // download, a CD read) go to view. On Failed or FollowReference no graph is left.
  virtual OpenOutcome Build(const std::string& path, const GraphOptions& options, PlaybackView& view) = 0;
  virtual bool HasGraph() const = 0;
  // Releases the graph and everything taken from it (not the equalizer).
  virtual void TearDown() = 0;
  // Cancels an open that is still reading (a URL).
  virtual void AbortPendingOpen() = 0;

  virtual bool Run() = 0;
  virtual bool Pause() = 0;
  virtual bool Stop() = 0;
  virtual bool SetRate(double rate) = 0;
  virtual bool SetVolume(long volume) = 0;
  // Routes the graph's events to the main window; false when they cannot come.
  virtual bool RouteEvents() = 0;
  // The next pending event's code; false when none is pending.
  virtual bool NextEvent(long& code) = 0;

  virtual std::int64_t Duration() = 0;
  virtual bool IsAudioOnly() = 0;
  // Any thread.
  virtual bool CurrentPosition(std::int64_t& position) = 0;
  virtual bool SeekTo(std::int64_t position, bool toKeyFrame) = 0;
};

// Starts and stops the 200 ms tick that calls PlaybackController::UpdatePosition
// on a thread of its own.
class PositionTimer {
 public:
  virtual ~PositionTimer() = default;
  // (Re)starts the tick.
  virtual void Start() = 0;
  // Stops it for good; a tick already running has finished when this returns.
  virtual void Stop() = 0;
};

}  // namespace kestrun::playback
