// The player's own DirectShow source filter for files that DirectShow alone cannot
// render (FLAC, MPEG-4, Ogg on a stock Windows): Media Foundation decodes the file's
// first audio stream, and the filter pushes it as 16-bit PCM through an audio pin,
// so the equalizer, the effects and the default audio renderer follow it as for any
// other file; a first video stream goes out as bottom-up RGB24 frames through a
// video pin to the video renderer. Each pin has a streaming thread of its own.
//
// Threading: the graph calls the filter and the pin on its own threads (the player's
// user-interface thread); those calls are serialised by the filter's control lock.
// While the filter is paused or running, each connected pin's streaming thread reads
// its stream from the decoder and pushes samples downstream; a state change or a
// seek stops those threads (flushing downstream first, so a blocked delivery
// returns) before it moves the decoder.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace kestrun::playback {

// {F5BDEB45-2EBC-42DD-9EF2-EC0181F4B411}
inline constexpr CLSID kClsidMfSourceFilter = {
    0xF5BDEB45, 0x2EBC, 0x42DD, {0x9E, 0xF2, 0xEC, 0x01, 0x81, 0xF4, 0xB4, 0x11}};

// Name under which the filter goes into a graph.
inline constexpr wchar_t kMfSourceFilterName[] = L"Media Foundation Source";
// The pin of a file's picture (RGB24 frames), when it has one.
inline constexpr wchar_t kMfSourceVideoPinName[] = L"Video";

// A new filter with no file loaded (IFileSourceFilter::Load gives it its pin), with
// one reference for the caller.
HRESULT CreateMfSourceFilter(IBaseFilter** filter);

}  // namespace kestrun::playback
