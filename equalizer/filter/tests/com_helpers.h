// Shared by the filter's tests under Wine: the Equalizer.ax module loaded by path,
// WAV files made from code, a sample collector for the sample grabber, and a test
// graph (source -> equalizer -> sample grabber -> null renderer).
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "equalizer/iequalizer.h"

namespace kestrun::equalizer::testing {

using Microsoft::WRL::ComPtr;

// Public identifiers of two platform filters the headers do not carry.
inline constexpr GUID kClsidSampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
inline constexpr GUID kClsidNullRenderer = {
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
inline constexpr GUID kClsidWaveParser = {0xD51BD5A1, 0x7548, 0x11CF, {0xA5, 0x20, 0x00, 0x80, 0xC7, 0x7E, 0xF5, 0x8A}};

// Equalizer.ax from the folder of the test program, loaded once for the process.
struct EqualizerModule {
  HMODULE module = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
  HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
  HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
  std::wstring path;
};
const EqualizerModule& Module();

// Runs the system's regsvr32 with switches on Equalizer.ax and waits up to a minute
// for it; its exit code, or ~0 when it could not be run.
DWORD Regsvr32(const std::wstring& switches);

// A new filter straight from the module's factory (no registration needed).
ComPtr<IBaseFilter> CreateEqualizer();
// The object's reference count, measured by an AddRef/Release pair.
ULONG RefCount(IUnknown* object);

// Interleaved little-endian PCM written as a RIFF WAVE file.
struct PcmFormat {
  WORD formatTag = WAVE_FORMAT_PCM;
  WORD channels = 2;
  DWORD rate = 44100;
  WORD bits = 16;
};
bool WriteWav(const std::wstring& path, const PcmFormat& format, const std::vector<std::uint8_t>& data);
// A 16-bit stereo test signal: two tones per channel plus noise, never zero.
std::vector<std::uint8_t> TestSignal(int frames, std::uint32_t seed = 1);

std::wstring Widen(const std::string& text);
// Where the build's generated test media live, in Windows form, or "".
std::wstring GeneratedMediaDir();

// Copies of every buffer that reaches the sample grabber, in order.
class SampleCollector final : public ISampleGrabberCB {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SampleCB(double time, IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

  std::vector<std::vector<std::uint8_t>> Chunks();
  std::vector<std::uint8_t> Joined();
  // Called on the streaming thread after each chunk has been stored.
  std::function<void(size_t index)> onChunk;

 private:
  std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> chunks_;
};

// source -> (parser) -> equalizer -> sample grabber -> null renderer, free-running.
struct GrabberGraph {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> grabberFilter;
  ComPtr<ISampleGrabber> grabber;
  ComPtr<IBaseFilter> renderer;
  SampleCollector collector;

  // Builds the graph around `equalizer` for a file; returns the failing step's code.
  HRESULT Build(IBaseFilter* equalizer, const std::wstring& file);
  // The same behind a source filter that has its file already (and decodes it).
  HRESULT BuildFrom(IBaseFilter* equalizer, IBaseFilter* source);
  // Runs to the end of the stream; false on timeout or failure.
  bool RunToCompletion(DWORD timeoutMs = 60000);
  void Release();

 private:
  // The graph, grabber and renderer, before any source is in.
  HRESULT Prepare();
  // Adds the equalizer behind source and connects the chain to the renderer.
  HRESULT Complete(IBaseFilter* equalizer, IBaseFilter* source);
};

// Root-mean-square of the left channel of 16-bit stereo PCM.
double LeftRms(const std::vector<std::uint8_t>& pcm);

// Whether the filter's pin of that name is connected.
bool PinConnected(IBaseFilter* filter, const wchar_t* pinName);
// The filter's first pin of a direction.
ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction);

}  // namespace kestrun::equalizer::testing
