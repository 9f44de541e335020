// The media session: one DirectShow filter graph per played path, the equalizer
// filter that lives for the whole run, the audio effects, and the interfaces taken
// from the graph. Everything here runs on the user-interface thread, except that
// the position timer reads and seeks through CurrentPosition and SeekTo, which
// hold seekingLock_ while they use the seeking interface.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/limits.h"
#include "platform/win32_handles_win.h"
#include "playback/dshow_uuids_win.h"
#include "playback/effect_table_win.h"
#include "playback/equalizer_loader_win.h"
#include "playback/media_backend.h"
#include "playback/media_surfaces_win.h"

namespace kestrun::playback {

using Microsoft::WRL::ComPtr;

// Message the graph posts to the main window for its events (WM_USER + 13).
inline constexpr UINT kGraphEventMessage = WM_USER + 13;

// The windows a graph reports to and draws in.
class SessionWindows {
 public:
  virtual ~SessionWindows() = default;
  // Receives kGraphEventMessage; the video view is placed under it.
  virtual HWND EventWindow() const = 0;
  // Owns the video renderer's window.
  virtual HWND VideoWindow() const = 0;
};

class DirectShowSession final : public MediaBackend,
                                public VideoSurface,
                                public FilterInspection,
                                public EqualizerAccess {
 public:
  explicit DirectShowSession(SessionWindows& windows);
  ~DirectShowSession() override;
  DirectShowSession(const DirectShowSession&) = delete;
  DirectShowSession& operator=(const DirectShowSession&) = delete;

  OpenOutcome Build(const std::string& path, const GraphOptions& options, PlaybackView& view) override;
  bool HasGraph() const override { return static_cast<bool>(graph_); }
  void TearDown() override;
  void AbortPendingOpen() override;
  bool Run() override;
  bool Pause() override;
  bool Stop() override;
  bool SetRate(double rate) override;
  bool SetVolume(long volume) override;
  bool RouteEvents() override;
  bool NextEvent(long& code) override;
  std::int64_t Duration() override;
  bool IsAudioOnly() override { return audioOnly_; }
  bool CurrentPosition(std::int64_t& position) override;
  bool SeekTo(std::int64_t position, bool toKeyFrame) override;

  // Start-up: create the equalizer filter, registering Equalizer.ax (in
  // appDirectory) first when the marker says it has not been registered, the
  // registration names another copy, or creation fails. Where COM cannot create it
  // after that, the object comes from the module's own class factory.
  void CreateOrRegisterEqualizer(const char* appDirectory);
  // Shutdown: release the equalizer filter and every effect wrapper.
  void ReleaseFilters();
  EffectTable& effects() { return effects_; }
  // Called once for each successfully built graph, when it is first started (the
  // filters-in-use window refills itself from here).
  void SetGraphBuiltHook(std::function<void()> hook) { graphBuilt_ = std::move(hook); }

  // Called when a graph with video has put its video into the view (the view
  // sizes it); before the graph runs.
  void SetVideoStartedHook(std::function<void()> hook) { videoStarted_ = std::move(hook); }
  // Counts the graphs built, so a new graph is told from an old one at the same address.
  unsigned graphsBuilt() const { return graphsBuilt_; }

  // VideoSurface
  std::optional<SIZE> NativeVideoSize() override;
  bool HasVideoWindow() const override { return static_cast<bool>(videoWindow_); }
  bool HasVideo() const override { return videoWindow_ && basicVideo_; }
  bool PlaceVideo(int width, int height) override;
  std::optional<bool> FullScreen() override;
  void SetFullScreen(bool on) override;
  HWND MessageDrain() override;
  void SetMessageDrain(HWND drain) override;
  void BringVideoToFront() override;
  bool CanStepFrames() const override { return static_cast<bool>(frameStep_); }
  bool StepOneFrame() override;
  bool HasFrameGrabber() const override { return static_cast<bool>(grabber_); }
  HRESULT GrabFrame(GrabbedFrame& frame) override;

  // FilterInspection
  std::vector<ComPtr<IBaseFilter>> Filters() const override;

  // EqualizerAccess
  IBaseFilter* Equalizer() const override { return equalizer_.Get(); }

  // For tests that inspect the graph itself; only the user-interface thread may use
  // them. Null members between graphs.
  struct InterfacesForTests {
    IGraphBuilder* graph;
    IMediaControl* control;
    IMediaEventEx* events;
    IBaseFilter* source;
    IAMOpenProgress* openProgress;
    IBasicAudio* basicAudio;
    IVideoWindow* videoWindow;
  };
  InterfacesForTests interfacesForTests() const {
    return {graph_.Get(),        control_.Get(),    events_.Get(),     source_.Get(),
            openProgress_.Get(), basicAudio_.Get(), videoWindow_.Get()};
  }
  IMediaSeeking* seeking() const { return seeking_.Get(); }
  // Puts standIn in the equalizer's place (tests count references on it or take
  // the filter away); returns the filter it replaced.
  ComPtr<IBaseFilter> ReplaceEqualizerForTests(ComPtr<IBaseFilter> standIn) {
    std::swap(equalizer_, standIn);
    return standIn;
  }

 private:
  // Ends a failed build: the user text and the result code of the step that failed.
  OpenOutcome Fail(const char* text, HRESULT code);
  OpenOutcome FollowAsx(const std::string& path, bool isUrl, PlaybackView& view);
  void AddEqualizer(const GraphOptions& options);
  // Through COM when registered for this copy, else from the module itself.
  void CreateEqualizerObject();
  void RemoveEqualizerFromGraph();
  void ReleaseGraphOnly();
  void InsertFrameGrabber(bool keepAsSource);
  void InsertEffects();
  bool TryWindowsMediaCore(bool useCapture, HRESULT& renderFailure);
  HRESULT PlayCdTrack(PlaybackView& view);
  HRESULT PlayUrl();
  // Builds a new graph with the player's Media Foundation source for the path.
  bool BuildWithMediaFoundation(const GraphOptions& options);
  void TakeInterfaces();
  void DetectVideo();
  void PlaceVideoView();

  SessionWindows& windows_;
  EffectTable effects_;
  std::string modulePath_;  // Equalizer.ax next to the program; empty before start-up
  // Equalizer.ax when the object came from its own factory; unloaded at shutdown
  // only when none of its objects lives.
  EqualizerModule equalizerModule_;
  std::function<void()> graphBuilt_;
  std::function<void()> videoStarted_;
  // The graph of the moment and what was taken from it; empty between graphs.
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
  ComPtr<IVideoWindow> videoWindow_;
  ComPtr<IBasicAudio> basicAudio_;
  ComPtr<IBasicVideo> basicVideo_;
  ComPtr<IBaseFilter> source_;
  ComPtr<ISampleGrabber> grabber_;
  ComPtr<IVideoFrameStep> frameStep_;
  ComPtr<IAMOpenProgress> openProgress_;
  // Created at start-up, added to every graph, released only at shutdown.
  ComPtr<IBaseFilter> equalizer_;
  unsigned graphsBuilt_ = 0;
  ComPtr<IMediaSeeking> seeking_;  // guarded by seekingLock_ against the position timer
  mutable std::mutex seekingLock_;
  // Balances the COM initialisation of each graph build.
  std::optional<platform::ComApartment> apartment_;
  wchar_t widePath_[platform::kPathCapacity] = {};
  bool equalizerInGraph_ = false;
  bool graphBuiltPending_ = false;
  bool audioOnly_ = true;
};

// Renders every output pin of filter; returns the last rendering result.
HRESULT RenderOutputPins(IGraphBuilder* graph, IBaseFilter* filter);

}  // namespace kestrun::playback
