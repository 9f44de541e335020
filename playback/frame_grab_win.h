// Grabbing the frame at the current position through the media session's frame
// grabber, for the video view's capture command.
#pragma once

#include <windows.h>

#include <dshow.h>
#include <qedit.h>

#include "playback/media_surfaces_win.h"

namespace kestrun::playback {

// How long a capture waits for the graph to settle and for the one frame; a
// graph that gives nothing by then fails the capture instead of hanging the player.
inline constexpr DWORD kGrabStateTimeoutMs = 5000;
inline constexpr DWORD kGrabCompletionTimeoutMs = 10000;

// Runs the graph from the current position to the same position with the grabber
// in one-shot mode and takes the one frame it keeps. E_POINTER without a grabber,
// control or seeking interface; VFW_E_NOT_CONNECTED when the grabber never got an
// RGB24 video connection (a format it cannot give as RGB); VFW_E_TIMEOUT when the
// graph does not deliver in time. Without events the run is not waited for. Leaves
// the grabber in one-shot, buffering mode: the caller switches it back.
HRESULT GrabCurrentFrame(ISampleGrabber* grabber, IMediaControl* control, IMediaSeeking* seeking, IMediaEventEx* events,
                         GrabbedFrame& frame);

}  // namespace kestrun::playback
