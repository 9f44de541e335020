#include "playback/mf_source_filter_win.h"

#include <uuids.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "platform/com_object_win.h"
#include "playback/mf_media_reader_win.h"

namespace kestrun::playback {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kAudioPinName[] = L"Audio";
constexpr const wchar_t* kVideoPinName = kMfSourceVideoPinName;
constexpr LONGLONG kUnitsPerSecond = 10000000;
// Each buffer holds about a tenth of a second: seeks and pauses answer quickly,
// and a handful of buffers keep the renderer fed across a slow decode.
constexpr long kBuffersPerSecond = 10;
constexpr long kBufferCount = 6;
constexpr long kFrameBufferCount = 3;

// A media type a pin offers, with its format block held by value.
class PinType {
 public:
  // 16-bit PCM.
  explicit PinType(const WAVEFORMATEX& format) {
    WAVEFORMATEX pcm = format;
    pcm.cbSize = 0;
    Init(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, &pcm, sizeof(pcm), pcm.nBlockAlign);
    // Only the PCMWAVEFORMAT part names a PCM type (peers may omit cbSize).
    compared_ = sizeof(PCMWAVEFORMAT);
  }
  // Bottom-up 24-bit RGB frames of width x height.
  PinType(UINT32 width, UINT32 height, LONGLONG frameTime) {
    VIDEOINFOHEADER info{};
    info.AvgTimePerFrame = frameTime;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = RgbRowBytes(width) * height;
    Init(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, &info, sizeof(info), info.bmiHeader.biSizeImage);
    compared_ = sizeof(info);
  }
  PinType(const PinType&) = delete;
  PinType& operator=(const PinType&) = delete;

  static DWORD RgbRowBytes(UINT32 width) { return (width * 3 + 3) & ~3u; }

  const AM_MEDIA_TYPE& get() const { return type_; }
  const WAVEFORMATEX& audio() const { return *reinterpret_cast<const WAVEFORMATEX*>(format_.data()); }
  const VIDEOINFOHEADER& video() const { return *reinterpret_cast<const VIDEOINFOHEADER*>(format_.data()); }

  // Whether a type a peer proposes names this one; its null fields match anything.
  bool Fits(const AM_MEDIA_TYPE& proposed) const {
    if (proposed.majortype != GUID_NULL && proposed.majortype != type_.majortype) return false;
    if (proposed.subtype != GUID_NULL && proposed.subtype != type_.subtype) return false;
    if (proposed.formattype == GUID_NULL) return true;
    if (proposed.formattype != type_.formattype) return false;
    return proposed.cbFormat >= compared_ && proposed.pbFormat != nullptr &&
           std::memcmp(proposed.pbFormat, format_.data(), compared_) == 0;
  }

  // Fills out with a copy whose format block the receiver frees (CoTaskMemFree).
  HRESULT CopyTo(AM_MEDIA_TYPE& out) const {
    out = type_;
    out.pUnk = nullptr;
    out.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(format_.size()));
    if (out.pbFormat == nullptr) {
      out.cbFormat = 0;
      return E_OUTOFMEMORY;
    }
    std::memcpy(out.pbFormat, format_.data(), format_.size());
    return S_OK;
  }

 private:
  void Init(const GUID& major, const GUID& sub, const GUID& formatType, const void* format, size_t size,
            ULONG sampleSize) {
    format_.assign(static_cast<const BYTE*>(format), static_cast<const BYTE*>(format) + size);
    type_.majortype = major;
    type_.subtype = sub;
    type_.bFixedSizeSamples = TRUE;
    type_.bTemporalCompression = FALSE;
    type_.lSampleSize = sampleSize;
    type_.formattype = formatType;
    type_.cbFormat = static_cast<ULONG>(format_.size());
    type_.pbFormat = format_.data();
  }

  std::vector<BYTE> format_;
  size_t compared_ = 0;
  AM_MEDIA_TYPE type_{};
};

// One NV12 frame (luma rows of `stride` bytes, then the interleaved chroma plane)
// into bottom-up 24-bit BGR rows of rowBytes, with the BT.601 video-range matrix
// the decoders' output is coded in.
void Nv12ToBottomUpBgr(const BYTE* frame, size_t length, UINT32 width, UINT32 height, BYTE* out, size_t outSize,
                       DWORD rowBytes) {
  if (height == 0 || rowBytes < width * 3 || outSize < static_cast<size_t>(rowBytes) * height) return;
  // Decoders pad rows and the luma plane; the buffer's length tells by how much.
  const size_t stride = std::max<size_t>(width, length / (height + height / 2));
  const size_t lumaRows = length / stride * 2 / 3;
  if (lumaRows < height || stride * (lumaRows + height / 2) > length) return;
  const BYTE* chroma = frame + stride * lumaRows;
  const auto clamp = [](int value) { return static_cast<BYTE>(std::clamp(value, 0, 255)); };
  for (UINT32 y = 0; y < height; ++y) {
    const BYTE* luma = frame + stride * y;
    const BYTE* uv = chroma + stride * (y / 2);
    BYTE* row = out + static_cast<size_t>(rowBytes) * (height - 1 - y);
    for (UINT32 x = 0; x < width; ++x) {
      const int c = 298 * (luma[x] - 16);
      const int d = uv[x & ~1u] - 128;
      const int e = uv[(x & ~1u) + 1] - 128;
      row[3 * x] = clamp((c + 516 * d + 128) >> 8);
      row[3 * x + 1] = clamp((c - 100 * d - 208 * e + 128) >> 8);
      row[3 * x + 2] = clamp((c + 409 * e + 128) >> 8);
    }
  }
}

// IEnumPins and IEnumMediaTypes over a fixed number of items, each made on demand
// by `make(index, out)` (which hands out a reference or an allocated copy).
template <class Enum, class Item>
class ListEnumerator final : public platform::ComObject<Enum> {
 public:
  using Maker = std::function<HRESULT(ULONG, Item*)>;
  ListEnumerator(ULONG count, Maker make, ULONG next = 0) : count_(count), make_(std::move(make)), next_(next) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, Item* items, ULONG* fetched) override {
    if (items == nullptr || (wanted > 1 && fetched == nullptr)) return E_POINTER;
    ULONG given = 0;
    while (given < wanted && next_ < count_) {
      const HRESULT hr = make_(next_, &items[given]);
      if (FAILED(hr)) break;
      ++given;
      ++next_;
    }
    if (fetched != nullptr) *fetched = given;
    return given == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = count_ - next_;
    next_ += std::min(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Enum** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = new (std::nothrow) ListEnumerator(count_, make_, next_);
    return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~ListEnumerator() override = default;

  const ULONG count_;
  const Maker make_;
  ULONG next_;
};

HRESULT CopyWideText(const wchar_t* text, LPWSTR* out) {
  if (out == nullptr) return E_POINTER;
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (*out == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*out, text, bytes);
  return S_OK;
}

// The multithreaded apartment for the streaming thread (the pins downstream are
// called directly; Media Foundation's objects are free-threaded).
class StreamingApartment {
 public:
  StreamingApartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~StreamingApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  StreamingApartment(const StreamingApartment&) = delete;
  StreamingApartment& operator=(const StreamingApartment&) = delete;

 private:
  const HRESULT result_;
};

class MfSourceFilter;

// An output pin of one stream, with its connection and its streaming thread. Its
// references are the filter's: it lives exactly as long. The leading pin (the
// sound's) is the one that seeks; the other answers where the stream stands and
// leaves moving it to the leader (the graph asks every renderer, and so both pins,
// to seek).
class MfOutputPin final : public platform::ComInterfaces<IPin, IMediaSeeking> {
 public:
  MfOutputPin(MfSourceFilter& filter, MfStream stream, std::unique_ptr<PinType> type)
      : filter_(filter), stream_(stream), type_(std::move(type)) {}
  ~MfOutputPin() { StopStreaming(); }
  MfOutputPin(const MfOutputPin&) = delete;
  MfOutputPin& operator=(const MfOutputPin&) = delete;

  const wchar_t* name() const { return stream_ == MfStream::Audio ? kAudioPinName : kVideoPinName; }
  // The first pin (the sound's, else the picture's) moves the stream for all and
  // tells the position.
  bool Leads() const;
  bool connected() const { return static_cast<bool>(connected_); }
  bool streaming() const { return streamer_.joinable(); }
  IPin* peer() const { return connected_.Get(); }
  // Starts the streaming thread (the filter's lock held, the pin connected).
  HRESULT StartStreaming();
  // Ends the streaming thread and waits for it (the filter's lock held).
  void StopStreaming();
  // Drops decoded data not yet delivered (before a seek).
  void Discard() {
    chunk_.bytes.clear();
    offset_ = 0;
  }
  // Keeps the first decoded block read to check the file.
  void Keep(MediaChunk chunk) {
    chunk_ = std::move(chunk);
    offset_ = 0;
  }

  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* proposed) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    if (direction == nullptr) return E_POINTER;
    *direction = PINDIR_OUTPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override { return CopyWideText(name(), id); }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  // Calls that only an input pin takes.
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_UNEXPECTED; }

  // IMediaSeeking: media time only.
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override { return GetTimeFormat(format); }
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override {
    if (format == nullptr) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override { return IsFormatSupported(format); }
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                              const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override {
    if (preroll == nullptr) return E_POINTER;
    *preroll = 0;
    return S_OK;
  }

 private:
  void StreamLoop();
  // Delivers the next audio block or video frame; false when the stream ended or
  // delivery stopped (ended says which).
  bool DeliverAudio(bool& discontinuity, bool& ended);
  bool DeliverVideo(bool& discontinuity, bool& ended);
  // A free buffer of the allocator and its bytes; null when delivery is stopping.
  ComPtr<IMediaSample> NextBuffer(BYTE*& data);
  // Hands a filled sample downstream; false when downstream refuses more.
  bool Send(IMediaSample* sample, LONGLONG mediaStart, LONGLONG mediaEnd, long bytes, bool& discontinuity);
  // Drops the part of the current chunk that lies before the segment start.
  void TrimChunkToSegment();

  MfSourceFilter& filter_;
  const MfStream stream_;
  const std::unique_ptr<PinType> type_;
  // The connection, set while stopped; the streaming thread reads it as it stands.
  ComPtr<IPin> connected_;
  ComPtr<IMemInputPin> input_;
  ComPtr<IMemAllocator> allocator_;
  // Decoded data not yet delivered; the streaming thread's while it runs.
  MediaChunk chunk_;
  size_t offset_ = 0;
  std::thread streamer_;
  std::atomic<bool> stopping_{false};
};

class MfSourceFilter final : public platform::ComObject<IBaseFilter, IFileSourceFilter> {
 public:
  MfSourceFilter() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    auto* filter = static_cast<IBaseFilter*>(this);
    return platform::QueryInterfaceFrom(iid, out,
                                        {{&IID_IUnknown, filter},
                                         {&IID_IPersist, filter},
                                         {&IID_IMediaFilter, filter},
                                         {&IID_IBaseFilter, filter},
                                         {&IID_IFileSourceFilter, static_cast<IFileSourceFilter*>(this)}});
  }

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
    if (id == nullptr) return E_POINTER;
    *id = kClsidMfSourceFilter;
    return S_OK;
  }
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
    if (state == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(control_);
    *state = state_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override {
    std::lock_guard<std::recursive_mutex> lock(control_);
    clock_ = clock;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
    if (clock == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(control_);
    *clock = clock_.Get();
    if (*clock != nullptr) (*clock)->AddRef();
    return S_OK;
  }
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    std::lock_guard<std::recursive_mutex> lock(control_);
    // The graph holds the filter; the filter keeps only a weak pointer back.
    graph_ = graph;
    name_ = name != nullptr ? name : L"";
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  // IFileSourceFilter
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR path, const AM_MEDIA_TYPE*) override;
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* path, AM_MEDIA_TYPE* type) override;

 private:
  friend class MfOutputPin;

  ~MfSourceFilter() override {
    std::lock_guard<std::recursive_mutex> lock(control_);
    StopStreaming();
    // The pins go before the reader they read from.
    pins_.clear();
  }

  bool Loaded() const { return loaded_; }
  // Pause and Run: from stopped, the streaming threads start.
  HRESULT Start(FILTER_STATE state);
  // Moves the reader to the segment start when a seek asked for it, then starts
  // every connected pin's thread (the control lock held).
  HRESULT StartStreaming();
  // Ends every streaming thread (the control lock held).
  void StopStreaming();
  bool Streaming() const {
    return std::any_of(pins_.begin(), pins_.end(), [](const auto& pin) { return pin->streaming(); });
  }
  // Moves to start..stop at rate, through a flush when the threads are running.
  HRESULT Reposition(LONGLONG start, LONGLONG stop, double rate);

  // Declared first, so Media Foundation stops only after the reader is gone.
  MediaFoundationRuntime runtime_;
  // Recursive: a peer may call back into the pin (its type, its id) from inside a
  // connection this filter makes while holding the lock. The streaming threads
  // never take it.
  std::recursive_mutex control_;
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;
  std::wstring name_;
  std::wstring path_;
  std::unique_ptr<MfMediaReader> reader_;
  // What the seeking calls answer without the control lock (a renderer may ask from
  // the streaming thread while a control call waits for that thread); set by Load.
  std::atomic<bool> loaded_{false};
  std::atomic<LONGLONG> duration_{0};
  std::atomic<bool> canSeek_{false};
  // The audio pin when the file has sound, then the video pin when it has a
  // picture; made by Load.
  std::vector<std::unique_ptr<MfOutputPin>> pins_;

  // The segment: set while no streaming thread runs, except the stop position,
  // which a seek may move at any time.
  LONGLONG segmentStart_ = 0;
  std::atomic<LONGLONG> segmentStop_{0};
  double rate_ = 1.0;
  bool needsSeek_ = false;
  // Media time of the last sample the leading pin delivered.
  std::atomic<LONGLONG> position_{0};
};

// --- the pin ---------------------------------------------------------------------

ULONG MfOutputPin::AddRef() { return filter_.AddRef(); }
bool MfOutputPin::Leads() const { return filter_.pins_.front().get() == this; }
ULONG MfOutputPin::Release() { return filter_.Release(); }

HRESULT MfOutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* proposed) {
  if (receiver == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (filter_.state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  const PinType& type = *type_;
  if (proposed != nullptr && !type.Fits(*proposed)) return VFW_E_TYPE_NOT_ACCEPTED;

  HRESULT hr = receiver->ReceiveConnection(this, &type.get());
  if (FAILED(hr)) return hr == E_FAIL ? VFW_E_TYPE_NOT_ACCEPTED : hr;
  ComPtr<IMemInputPin> input;
  ComPtr<IMemAllocator> allocator;
  hr = receiver->QueryInterface(IID_PPV_ARGS(&input));
  if (SUCCEEDED(hr)) {
    ALLOCATOR_PROPERTIES wanted{};
    input->GetAllocatorRequirements(&wanted);  // optional for the peer
    // Audio: about a tenth of a second a buffer, in whole frames. Video: a frame.
    long unit = static_cast<long>(type.get().lSampleSize);
    long bytes = unit;
    if (stream_ == MfStream::Audio) {
      bytes = static_cast<long>(type.audio().nAvgBytesPerSec / kBuffersPerSecond);
      bytes -= bytes % unit;
    }
    wanted.cbBuffer = std::max<long>({wanted.cbBuffer, bytes, unit});
    wanted.cBuffers = std::max(wanted.cBuffers, stream_ == MfStream::Audio ? kBufferCount : kFrameBufferCount);
    wanted.cbAlign = std::max(wanted.cbAlign, 1L);
    if (FAILED(input->GetAllocator(&allocator)) || !allocator) {
      hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&allocator));
    }
    ALLOCATOR_PROPERTIES actual{};
    if (SUCCEEDED(hr)) hr = allocator->SetProperties(&wanted, &actual);
    if (SUCCEEDED(hr) && (actual.cbBuffer < unit || actual.cBuffers < 1)) hr = VFW_E_SIZENOTSET;
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator.Get(), FALSE);
  }
  if (FAILED(hr)) {
    receiver->Disconnect();
    return hr;
  }
  connected_ = receiver;
  input_ = std::move(input);
  allocator_ = std::move(allocator);
  return S_OK;
}

HRESULT MfOutputPin::Disconnect() {
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (filter_.state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  if (allocator_) allocator_->Decommit();
  allocator_.Reset();
  input_.Reset();
  connected_.Reset();
  return S_OK;
}

HRESULT MfOutputPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  *pin = connected_.Get();
  if (*pin == nullptr) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

HRESULT MfOutputPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (!connected_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return type_->CopyTo(*type);
}

HRESULT MfOutputPin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = static_cast<IBaseFilter*>(&filter_);
  info->pFilter->AddRef();
  info->dir = PINDIR_OUTPUT;
  lstrcpynW(info->achName, name(), MAX_PIN_NAME);
  return S_OK;
}

HRESULT MfOutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  return type_->Fits(*type) ? S_OK : S_FALSE;
}

HRESULT MfOutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  // The enumerator keeps the filter (and so the pin and its type) alive.
  ComPtr<IBaseFilter> owner(static_cast<IBaseFilter*>(&filter_));
  const PinType* type = type_.get();
  *types =
      new (std::nothrow) ListEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*>(1, [owner, type](ULONG, AM_MEDIA_TYPE** out) {
        auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (copy == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = type->CopyTo(*copy);
        if (FAILED(hr)) {
          CoTaskMemFree(copy);
          return hr;
        }
        *out = copy;
        return S_OK;
      });
  return *types != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MfOutputPin::GetCapabilities(DWORD* capabilities) {
  if (capabilities == nullptr) return E_POINTER;
  *capabilities = AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
  if (filter_.canSeek_) {
    *capabilities |= AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards;
  }
  return S_OK;
}

HRESULT MfOutputPin::CheckCapabilities(DWORD* capabilities) {
  if (capabilities == nullptr) return E_POINTER;
  DWORD ours = 0;
  GetCapabilities(&ours);
  const DWORD asked = *capabilities;
  *capabilities &= ours;
  if (*capabilities == asked) return S_OK;
  return *capabilities != 0 ? S_FALSE : E_FAIL;
}

HRESULT MfOutputPin::GetDuration(LONGLONG* duration) {
  if (duration == nullptr) return E_POINTER;
  if (!filter_.loaded_) return E_UNEXPECTED;
  *duration = filter_.duration_;
  return S_OK;
}

HRESULT MfOutputPin::GetStopPosition(LONGLONG* stop) {
  if (stop == nullptr) return E_POINTER;
  *stop = filter_.segmentStop_;
  return S_OK;
}

HRESULT MfOutputPin::GetCurrentPosition(LONGLONG* current) {
  if (current == nullptr) return E_POINTER;
  *current = filter_.position_;
  return S_OK;
}

HRESULT MfOutputPin::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                       const GUID* sourceFormat) {
  if (target == nullptr) return E_POINTER;
  const bool targetIsTime = targetFormat == nullptr || *targetFormat == TIME_FORMAT_MEDIA_TIME;
  const bool sourceIsTime = sourceFormat == nullptr || *sourceFormat == TIME_FORMAT_MEDIA_TIME;
  if (!targetIsTime || !sourceIsTime) return E_INVALIDARG;
  *target = source;
  return S_OK;
}

HRESULT MfOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  const DWORD currentHow = currentFlags & AM_SEEKING_PositioningBitsMask;
  const DWORD stopHow = stopFlags & AM_SEEKING_PositioningBitsMask;
  if ((currentHow != AM_SEEKING_NoPositioning && current == nullptr) ||
      (stopHow != AM_SEEKING_NoPositioning && stop == nullptr)) {
    return E_POINTER;
  }
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (!filter_.Loaded()) return E_UNEXPECTED;
  // The leading pin has moved the whole stream already, or is about to.
  if (!Leads()) return S_OK;
  const LONGLONG duration = filter_.duration_;
  const auto clamp = [duration](LONGLONG value) {
    value = std::max<LONGLONG>(value, 0);
    return duration > 0 ? std::min(value, duration) : value;
  };
  LONGLONG start = filter_.position_;
  switch (currentHow) {
    case AM_SEEKING_AbsolutePositioning:
      start = *current;
      break;
    case AM_SEEKING_RelativePositioning:
    case AM_SEEKING_IncrementalPositioning:
      start += *current;
      break;
    default:
      break;
  }
  LONGLONG end = filter_.segmentStop_;
  switch (stopHow) {
    case AM_SEEKING_AbsolutePositioning:
      end = *stop;
      break;
    case AM_SEEKING_RelativePositioning:
      end += *stop;
      break;
    case AM_SEEKING_IncrementalPositioning:
      end = start + *stop;
      break;
    default:
      break;
  }
  start = clamp(start);
  end = clamp(end);
  HRESULT hr = S_OK;
  if (currentHow != AM_SEEKING_NoPositioning) {
    hr = filter_.Reposition(start, end, filter_.rate_);
  } else {
    filter_.segmentStop_ = end;
  }
  if (SUCCEEDED(hr) && currentHow != AM_SEEKING_NoPositioning && (currentFlags & AM_SEEKING_ReturnTime) != 0) {
    *current = start;
  }
  if (SUCCEEDED(hr) && stopHow != AM_SEEKING_NoPositioning && (stopFlags & AM_SEEKING_ReturnTime) != 0) {
    *stop = end;
  }
  return hr;
}

HRESULT MfOutputPin::GetPositions(LONGLONG* current, LONGLONG* stop) {
  if (current != nullptr) GetCurrentPosition(current);
  if (stop != nullptr) GetStopPosition(stop);
  return S_OK;
}

HRESULT MfOutputPin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  if (earliest != nullptr) *earliest = 0;
  if (latest != nullptr) return GetDuration(latest);
  return S_OK;
}

HRESULT MfOutputPin::SetRate(double rate) {
  if (rate <= 0.0) return E_INVALIDARG;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (!filter_.Loaded()) return E_UNEXPECTED;
  if (rate == filter_.rate_ || !Leads()) return S_OK;
  // A new rate starts a new segment at the position reached, so the samples' times
  // and the renderer's rate agree from there on.
  return filter_.Reposition(filter_.position_, filter_.segmentStop_, rate);
}

HRESULT MfOutputPin::GetRate(double* rate) {
  if (rate == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  *rate = filter_.rate_;
  return S_OK;
}

// --- the filter ------------------------------------------------------------------

HRESULT MfSourceFilter::Load(LPCOLESTR path, const AM_MEDIA_TYPE*) {
  if (path == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(control_);
  if (reader_) return E_UNEXPECTED;
  if (!runtime_.ok()) return runtime_.result();
  auto reader = std::make_unique<MfMediaReader>();
  HRESULT hr = reader->Open(path, true);
  if (FAILED(hr)) return hr;
  // A file whose first block cannot be decoded is refused here, while the caller
  // can still say so, rather than ending silently once it plays.
  // The first stream (the sound, else the picture) is the one checked.
  MediaChunk first;
  const MfStream checked = reader->hasAudio() ? MfStream::Audio : MfStream::Video;
  if (reader->Read(checked, first) != MfMediaReader::ReadResult::Data) return VFW_E_INVALID_FILE_FORMAT;
  if (reader->hasAudio()) {
    pins_.push_back(std::make_unique<MfOutputPin>(*this, MfStream::Audio, std::make_unique<PinType>(reader->format())));
  }
  if (reader->hasVideo()) {
    const NvFrameFormat& video = reader->videoFormat();
    pins_.push_back(std::make_unique<MfOutputPin>(
        *this, MfStream::Video, std::make_unique<PinType>(video.width, video.height, video.frameTime)));
  }
  pins_.front()->Keep(std::move(first));
  reader_ = std::move(reader);
  segmentStart_ = 0;
  segmentStop_ = reader_->duration() > 0 ? reader_->duration() : MAXLONGLONG;
  position_ = 0;
  path_ = path;
  duration_ = reader_->duration();
  canSeek_ = reader_->canSeek();
  loaded_ = true;
  return S_OK;
}

HRESULT MfSourceFilter::GetCurFile(LPOLESTR* path, AM_MEDIA_TYPE* type) {
  if (path == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(control_);
  *path = nullptr;
  if (!Loaded()) return E_FAIL;
  HRESULT hr = CopyWideText(path_.c_str(), path);
  if (SUCCEEDED(hr) && type != nullptr) {
    // The type of the file's first stream.
    hr = pins_.front()->ConnectionMediaType(type);
    if (hr == VFW_E_NOT_CONNECTED) {
      ComPtr<IEnumMediaTypes> types;
      AM_MEDIA_TYPE* first = nullptr;
      hr = pins_.front()->EnumMediaTypes(&types);
      if (SUCCEEDED(hr)) hr = types->Next(1, &first, nullptr) == S_OK ? S_OK : E_FAIL;
      if (SUCCEEDED(hr)) {
        *type = *first;
        CoTaskMemFree(first);
      }
    }
    if (FAILED(hr)) {
      CoTaskMemFree(*path);
      *path = nullptr;
    }
  }
  return hr;
}

HRESULT MfSourceFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(control_);
  // The pins exist once a file is loaded; the enumerator keeps the filter alive.
  std::vector<ComPtr<IPin>> list;
  for (const auto& pin : pins_) list.emplace_back(static_cast<IPin*>(pin.get()));
  *pins = new (std::nothrow)
      ListEnumerator<IEnumPins, IPin*>(static_cast<ULONG>(list.size()), [list](ULONG index, IPin** out) {
        *out = list[index].Get();
        (*out)->AddRef();
        return S_OK;
      });
  return *pins != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MfSourceFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(control_);
  *pin = nullptr;
  for (const auto& candidate : pins_) {
    if (std::wcscmp(id, candidate->name()) == 0) {
      *pin = candidate.get();
      (*pin)->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT MfSourceFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(control_);
  lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

HRESULT MfSourceFilter::Stop() {
  std::lock_guard<std::recursive_mutex> lock(control_);
  if (state_ == State_Stopped) return S_OK;
  const bool streamed = Streaming();
  StopStreaming();
  // The next start goes on from where delivery stood.
  if (streamed) {
    segmentStart_ = position_;
    needsSeek_ = true;
  }
  state_ = State_Stopped;
  return S_OK;
}

HRESULT MfSourceFilter::Pause() { return Start(State_Paused); }

HRESULT MfSourceFilter::Run(REFERENCE_TIME) { return Start(State_Running); }

HRESULT MfSourceFilter::Start(FILTER_STATE state) {
  std::lock_guard<std::recursive_mutex> lock(control_);
  // Samples flow from the pause on; running only lets the renderers play them.
  if (state_ == State_Stopped && Loaded()) {
    const HRESULT hr = StartStreaming();
    if (FAILED(hr)) return hr;
  }
  state_ = state;
  return S_OK;
}

HRESULT MfSourceFilter::StartStreaming() {
  if (Streaming()) return S_OK;
  if (needsSeek_) {
    for (const auto& pin : pins_) pin->Discard();
    // A source that cannot seek can still start again from its beginning.
    HRESULT hr = reader_->canSeek() || segmentStart_ == 0 ? reader_->Seek(segmentStart_) : E_NOTIMPL;
    if (hr == E_NOTIMPL && segmentStart_ == 0) hr = S_OK;
    if (FAILED(hr)) return hr;
    needsSeek_ = false;
  }
  position_ = segmentStart_;
  for (const auto& pin : pins_) {
    if (!pin->connected()) continue;
    const HRESULT hr = pin->StartStreaming();
    if (FAILED(hr)) {
      StopStreaming();
      return hr;
    }
  }
  return S_OK;
}

void MfSourceFilter::StopStreaming() {
  for (const auto& pin : pins_) pin->StopStreaming();
}

HRESULT MfSourceFilter::Reposition(LONGLONG start, LONGLONG stop, double rate) {
  if (start != 0 && !reader_->canSeek()) return E_NOTIMPL;
  const bool streaming = Streaming();
  if (streaming) {
    // Flushing first returns a delivery blocked downstream (a paused renderer).
    for (const auto& pin : pins_) {
      if (pin->streaming()) pin->peer()->BeginFlush();
    }
    StopStreaming();
  }
  segmentStart_ = start;
  segmentStop_ = stop;
  rate_ = rate;
  needsSeek_ = true;
  position_ = start;
  if (!streaming) return S_OK;
  for (const auto& pin : pins_) {
    if (pin->connected()) pin->peer()->EndFlush();
  }
  return StartStreaming();
}

// --- streaming ---------------------------------------------------------------------

HRESULT MfOutputPin::StartStreaming() {
  if (!connected_ || !input_ || !allocator_) return VFW_E_NOT_CONNECTED;
  if (streamer_.joinable()) return S_OK;
  const HRESULT hr = allocator_->Commit();
  if (FAILED(hr)) return hr;
  stopping_ = false;
  try {
    streamer_ = std::thread([this] { StreamLoop(); });
  } catch (const std::system_error&) {
    allocator_->Decommit();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void MfOutputPin::StopStreaming() {
  if (!streamer_.joinable()) return;
  stopping_ = true;
  // A thread waiting for a free buffer wakes with VFW_E_NOT_COMMITTED.
  if (allocator_) allocator_->Decommit();
  streamer_.join();
}

void MfOutputPin::TrimChunkToSegment() {
  const WAVEFORMATEX& format = type_->audio();
  if (chunk_.time >= filter_.segmentStart_) return;
  // Media Foundation seeks to a block boundary at or before the target.
  const LONGLONG early = filter_.segmentStart_ - chunk_.time;
  const size_t frames = static_cast<size_t>(early * format.nSamplesPerSec / kUnitsPerSecond);
  offset_ = std::min(frames * format.nBlockAlign, chunk_.bytes.size());
}

void MfOutputPin::StreamLoop() {
  StreamingApartment apartment;
  connected_->NewSegment(filter_.segmentStart_, filter_.segmentStop_, filter_.rate_);
  bool discontinuity = true;
  bool ended = false;
  while (!stopping_) {
    const bool going =
        stream_ == MfStream::Audio ? DeliverAudio(discontinuity, ended) : DeliverVideo(discontinuity, ended);
    if (!going) break;
  }
  if (ended && !stopping_) connected_->EndOfStream();
}

bool MfOutputPin::Send(IMediaSample* sample, LONGLONG mediaStart, LONGLONG mediaEnd, long bytes, bool& discontinuity) {
  const LONGLONG segmentStart = filter_.segmentStart_;
  const double rate = filter_.rate_;
  REFERENCE_TIME start = static_cast<REFERENCE_TIME>((mediaStart - segmentStart) / rate);
  REFERENCE_TIME end = static_cast<REFERENCE_TIME>((mediaEnd - segmentStart) / rate);
  sample->SetTime(&start, &end);
  sample->SetActualDataLength(bytes);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
  discontinuity = false;
  if (Leads()) filter_.position_ = mediaStart;
  // Anything but S_OK means downstream is flushing, stopping or refusing: stop
  // pushing without an end of stream.
  return input_->Receive(sample) == S_OK;
}

ComPtr<IMediaSample> MfOutputPin::NextBuffer(BYTE*& data) {
  ComPtr<IMediaSample> sample;
  // Fails once the allocator is decommitted: the thread is being stopped.
  if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) return nullptr;
  if (FAILED(sample->GetPointer(&data))) return nullptr;
  return sample;
}

bool MfOutputPin::DeliverAudio(bool& discontinuity, bool& ended) {
  const WAVEFORMATEX& format = type_->audio();
  if (offset_ >= chunk_.bytes.size()) {
    offset_ = 0;
    // A decoding error ends the stream where it happened: what was decoded plays.
    if (filter_.reader_->Read(MfStream::Audio, chunk_) != MfMediaReader::ReadResult::Data) {
      chunk_.bytes.clear();
      ended = true;
      return false;
    }
    TrimChunkToSegment();
    return true;
  }
  const auto toTime = [&](size_t frames) {
    return static_cast<LONGLONG>(frames) * kUnitsPerSecond / format.nSamplesPerSec;
  };
  const LONGLONG mediaStart = chunk_.time + toTime(offset_ / format.nBlockAlign);
  const LONGLONG stopAt = filter_.segmentStop_;
  if (mediaStart >= stopAt) {
    ended = true;
    return false;
  }
  BYTE* data = nullptr;
  const ComPtr<IMediaSample> sample = NextBuffer(data);
  if (!sample) return false;
  size_t frames = std::min<size_t>((chunk_.bytes.size() - offset_) / format.nBlockAlign,
                                   static_cast<size_t>(sample->GetSize()) / format.nBlockAlign);
  const LONGLONG framesToStop = (stopAt - mediaStart) * format.nSamplesPerSec / kUnitsPerSecond;
  frames = std::max<size_t>(1, std::min<size_t>(frames, static_cast<size_t>(std::max<LONGLONG>(framesToStop, 1))));
  const size_t bytes = frames * format.nBlockAlign;
  std::memcpy(data, chunk_.bytes.data() + offset_, bytes);
  offset_ += bytes;
  return Send(sample.Get(), mediaStart, mediaStart + toTime(frames), static_cast<long>(bytes), discontinuity);
}

bool MfOutputPin::DeliverVideo(bool& discontinuity, bool& ended) {
  const VIDEOINFOHEADER& info = type_->video();
  const LONGLONG frameTime = info.AvgTimePerFrame > 0 ? info.AvgTimePerFrame : kUnitsPerSecond / 25;
  // The frame read when the file was checked comes first.
  if (chunk_.bytes.empty() && filter_.reader_->Read(MfStream::Video, chunk_) != MfMediaReader::ReadResult::Data) {
    ended = true;
    return false;
  }
  const MediaChunk frame = std::move(chunk_);
  chunk_.bytes.clear();
  const LONGLONG mediaStart = frame.time;
  // Frames before the segment start (Media Foundation seeks to a key frame) are
  // decoded but not shown.
  if (mediaStart + frameTime <= filter_.segmentStart_) return true;
  // A segment shows at least one frame: a frame grab seeks to the same start and
  // stop, and the frame that follows a seek may start after both.
  if (mediaStart >= filter_.segmentStop_ && !discontinuity) {
    ended = true;
    return false;
  }
  BYTE* data = nullptr;
  const ComPtr<IMediaSample> sample = NextBuffer(data);
  if (!sample) return false;
  const auto width = static_cast<UINT32>(info.bmiHeader.biWidth);
  const auto height = static_cast<UINT32>(info.bmiHeader.biHeight);
  const DWORD rowBytes = PinType::RgbRowBytes(width);
  const size_t size = static_cast<size_t>(rowBytes) * height;
  if (static_cast<size_t>(sample->GetSize()) < size) return false;
  Nv12ToBottomUpBgr(frame.bytes.data(), frame.bytes.size(), width, height, data, size, rowBytes);
  return Send(sample.Get(), mediaStart, mediaStart + frameTime, static_cast<long>(size), discontinuity);
}

}  // namespace

HRESULT CreateMfSourceFilter(IBaseFilter** filter) {
  if (filter == nullptr) return E_POINTER;
  *filter = new (std::nothrow) MfSourceFilter;
  return *filter != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace kestrun::playback
