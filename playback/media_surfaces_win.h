// What the windows around the media session may do with its graph, each through a
// small interface of its own: the video view and the frame capture work on the video
// surface, the filters-in-use window inspects the graph's filters, and the player's
// equalizer window reaches the one equalizer filter of the run. The session keeps
// its DirectShow interfaces to itself.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrun::playback {

struct GrabbedFrame {
  std::vector<std::uint8_t> infoHeader;  // the connection's 40-byte BITMAPINFOHEADER
  std::vector<std::uint8_t> pixels;      // the grabber's buffer as delivered
};

// The video of the current graph: where it is drawn, its size, full screen, frame
// steps and frame grabs. Every operation does nothing (and answers false or empty)
// between graphs and for graphs without video.
class VideoSurface {
 public:
  virtual ~VideoSurface() = default;
  // The video's own size in pixels; empty when there is no video or it has no size yet.
  virtual std::optional<SIZE> NativeVideoSize() = 0;
  // Whether the graph has a video window to place, and also the video's own size.
  virtual bool HasVideoWindow() const = 0;
  virtual bool HasVideo() const = 0;
  // Places the video window at the owner's client origin, width x height.
  virtual bool PlaceVideo(int width, int height) = 0;
  // Whether the video window is in full-screen mode; empty when that cannot be read.
  virtual std::optional<bool> FullScreen() = 0;
  virtual void SetFullScreen(bool on) = 0;
  // The window that receives the video window's keys and clicks (null when none
  // or unreadable), and a new one.
  virtual HWND MessageDrain() = 0;
  virtual void SetMessageDrain(HWND drain) = 0;
  // Brings the video window to the foreground.
  virtual void BringVideoToFront() = 0;
  // Whether the graph can step frames, and one step forward.
  virtual bool CanStepFrames() const = 0;
  virtual bool StepOneFrame() = 0;
  // Whether the graph was built with the frame grabber (capture is on).
  virtual bool HasFrameGrabber() const = 0;
  // Grabs the frame at the current position (see GrabCurrentFrame for the results)
  // and puts the grabber back to passing samples through, whatever came of it.
  virtual HRESULT GrabFrame(GrabbedFrame& frame) = 0;
};

// The filters of the current graph, for listing them and opening their pages.
class FilterInspection {
 public:
  virtual ~FilterInspection() = default;
  // The graph's filters in its enumeration order, each held; empty between graphs.
  virtual std::vector<Microsoft::WRL::ComPtr<IBaseFilter>> Filters() const = 0;
};

// The one equalizer filter the player holds for the whole run.
class EqualizerAccess {
 public:
  virtual ~EqualizerAccess() = default;
  // Null when the filter could not be created (Equalizer.ax not registered).
  virtual IBaseFilter* Equalizer() const = 0;
};

}  // namespace kestrun::playback
