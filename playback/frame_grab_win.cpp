#include "playback/frame_grab_win.h"

#include <cstring>

#include "playback/dshow_uuids_win.h"
#include "playback/frame_file.h"

namespace kestrun::playback {
namespace {

// Waits until a state change has finished (GetState stops answering "intermediate").
HRESULT WaitForState(IMediaControl* control) {
  OAFilterState state = State_Stopped;
  const DWORD start = GetTickCount();
  HRESULT hr = S_OK;
  do {
    hr = control->GetState(100, &state);
    if (hr != VFW_S_STATE_INTERMEDIATE && hr != VFW_S_CANT_CUE) return FAILED(hr) ? hr : S_OK;
  } while (GetTickCount() - start < kGrabStateTimeoutMs);
  // A renderer that cannot cue (no frame yet) still runs; only a hang is a failure.
  return hr == VFW_S_CANT_CUE ? S_OK : VFW_E_TIMEOUT;
}

// Copies the connection's bitmap info header, refusing anything but 24-bit video info.
HRESULT ConnectedInfoHeader(ISampleGrabber* grabber, std::vector<std::uint8_t>& header) {
  AM_MEDIA_TYPE type{};
  HRESULT hr = grabber->GetConnectedMediaType(&type);
  if (FAILED(hr)) return hr;
  hr = S_OK;
  if (type.majortype != MEDIATYPE_Video || type.subtype != MEDIASUBTYPE_RGB24 || type.formattype != FORMAT_VideoInfo ||
      type.cbFormat < sizeof(VIDEOINFOHEADER) || type.pbFormat == nullptr) {
    hr = VFW_E_INVALIDMEDIATYPE;
  } else {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    static_assert(sizeof(BITMAPINFOHEADER) == kBitmapInfoHeaderSize);
    header.resize(sizeof(BITMAPINFOHEADER));
    std::memcpy(header.data(), &info->bmiHeader, sizeof(BITMAPINFOHEADER));
  }
  if (type.cbFormat != 0) CoTaskMemFree(type.pbFormat);
  if (type.pUnk != nullptr) type.pUnk->Release();
  return hr;
}

}  // namespace

HRESULT GrabCurrentFrame(ISampleGrabber* grabber, IMediaControl* control, IMediaSeeking* seeking, IMediaEventEx* events,
                         GrabbedFrame& frame) {
  if (grabber == nullptr || control == nullptr || seeking == nullptr) return E_POINTER;

  HRESULT hr = grabber->SetBufferSamples(TRUE);
  if (FAILED(hr)) return hr;
  LONGLONG position = 0;
  hr = seeking->GetCurrentPosition(&position);
  if (FAILED(hr)) return hr;

  // The graph is paused and settled before the seek, and settled again after it:
  // a grab started on a running or unsettled graph can end the stream without
  // keeping a sample.
  hr = control->Pause();
  if (SUCCEEDED(hr)) hr = WaitForState(control);
  if (FAILED(hr)) return hr;
  LONGLONG stop = position;
  hr = seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning);
  if (FAILED(hr)) return hr;
  hr = WaitForState(control);
  if (FAILED(hr)) return hr;
  // One shot only now: the frame cued by the pause after the seek is the one kept,
  // and a one-shot grabber that had taken the frame cued before the seek would
  // refuse the new one.
  hr = grabber->SetOneShot(TRUE);
  if (FAILED(hr)) return hr;

  hr = control->Run();
  if (FAILED(hr)) return hr;
  if (events != nullptr) {
    long code = 0;
    hr = events->WaitForCompletion(kGrabCompletionTimeoutMs, &code);
    if (hr == E_ABORT) return VFW_E_TIMEOUT;
    if (FAILED(hr)) return hr;
  }

  hr = ConnectedInfoHeader(grabber, frame.infoHeader);
  if (FAILED(hr)) return hr;
  long size = 0;
  hr = grabber->GetCurrentBuffer(&size, nullptr);
  if (FAILED(hr)) return hr;
  if (size <= 0) return VFW_E_WRONG_STATE;
  frame.pixels.assign(static_cast<std::size_t>(size), 0);
  hr = grabber->GetCurrentBuffer(&size, reinterpret_cast<long*>(frame.pixels.data()));
  if (FAILED(hr)) return hr;
  frame.pixels.resize(static_cast<std::size_t>(size));
  return S_OK;
}

}  // namespace kestrun::playback
