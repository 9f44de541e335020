// The media session: one DirectShow filter graph per played path, the equalizer
// filter that lives for the whole run, and the interfaces taken from the graph.
// Everything here runs on the user-interface thread, except that the position
// timer reads the seeking interface under seekingLock.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <mutex>

#include "playback/dshow_uuids.h"

namespace kestrun::playback {

using Microsoft::WRL::ComPtr;

struct MediaSession {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  ComPtr<IVideoWindow> videoWindow;
  ComPtr<IBasicAudio> basicAudio;
  ComPtr<IBasicVideo> basicVideo;
  ComPtr<IMediaSeeking> seeking;  // guarded by seekingLock against the position timer
  ComPtr<IBaseFilter> source;
  ComPtr<ISampleGrabber> grabber;
  ComPtr<IVideoFrameStep> frameStep;
  ComPtr<IAMOpenProgress> openProgress;
  // Created at start-up, added to every graph, released only at shutdown.
  ComPtr<IBaseFilter> equalizer;
  LONGLONG duration = 0;
  int audioOnly = 1;
  AM_MEDIA_TYPE grabberType{};
  wchar_t widePath[260] = {};

  // Counts the graphs built, so a new graph is told from an old one at the same address.
  unsigned graphsBuilt = 0;
  // Balances the CoInitialize of each graph build.
  bool comInitialized = false;
  // Held by the position timer while it uses the seeking interface, and by the
  // user-interface thread while it releases it.
  std::mutex seekingLock;
  UINT positionTimer = 0;
};

MediaSession& Session();

// Builds a graph for path (an ANSI path or URL) and starts it. Success or failure
// shows in the playback state and the title display.
void OpenAndPlay(const char* path);
// Releases the graph and every interface taken from it (not the equalizer).
void TearDownGraph();
// Renders every output pin of filter; returns the last rendering result.
HRESULT RenderOutputPins(IGraphBuilder* graph, IBaseFilter* filter);
// Sets the audio-only flag from the graph's video interfaces.
void DetectVideo();

// Start-up: create the equalizer filter, registering Equalizer.ax first when the
// marker says it has not been registered or creation fails.
void CreateOrRegisterEqualizer();
// Shutdown: release the equalizer filter.
void ReleaseEqualizer();

}  // namespace kestrun::playback
