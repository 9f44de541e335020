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
#include "playback/mf_audio_reader_win.h"

namespace kestrun::playback {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kPinName[] = L"Audio";
constexpr LONGLONG kUnitsPerSecond = 10000000;
// Each buffer holds about a tenth of a second: seeks and pauses answer quickly,
// and a handful of buffers keep the renderer fed across a slow decode.
constexpr long kBuffersPerSecond = 10;
constexpr long kBufferCount = 6;

// The PCM media type the pin offers, with its format block held by value.
class PcmType {
 public:
  PcmType() = default;
  explicit PcmType(const WAVEFORMATEX& format) : format_(format) {
    format_.cbSize = 0;
    type_.majortype = MEDIATYPE_Audio;
    type_.subtype = MEDIASUBTYPE_PCM;
    type_.bFixedSizeSamples = TRUE;
    type_.bTemporalCompression = FALSE;
    type_.lSampleSize = format_.nBlockAlign;
    type_.formattype = FORMAT_WaveFormatEx;
    type_.cbFormat = sizeof(WAVEFORMATEX);
    type_.pbFormat = reinterpret_cast<BYTE*>(&format_);
  }
  PcmType(const PcmType&) = delete;
  PcmType& operator=(const PcmType&) = delete;

  const AM_MEDIA_TYPE& get() const { return type_; }
  const WAVEFORMATEX& format() const { return format_; }

  // Whether a type a peer proposes names this one; its null fields match anything.
  bool Fits(const AM_MEDIA_TYPE& proposed) const {
    if (proposed.majortype != GUID_NULL && proposed.majortype != type_.majortype) return false;
    if (proposed.subtype != GUID_NULL && proposed.subtype != type_.subtype) return false;
    if (proposed.formattype == GUID_NULL) return true;
    if (proposed.formattype != type_.formattype) return false;
    return proposed.cbFormat >= sizeof(PCMWAVEFORMAT) && proposed.pbFormat != nullptr &&
           std::memcmp(proposed.pbFormat, &format_, sizeof(PCMWAVEFORMAT)) == 0;
  }

  // Fills out with a copy whose format block the receiver frees (CoTaskMemFree).
  HRESULT CopyTo(AM_MEDIA_TYPE& out) const {
    out = type_;
    out.pUnk = nullptr;
    out.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (out.pbFormat == nullptr) {
      out.cbFormat = 0;
      return E_OUTOFMEMORY;
    }
    std::memcpy(out.pbFormat, &format_, sizeof(WAVEFORMATEX));
    return S_OK;
  }

 private:
  WAVEFORMATEX format_{};
  AM_MEDIA_TYPE type_{};
};

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

// The audio output pin. Its references are the filter's: it lives exactly as long.
class MfOutputPin final : public platform::ComInterfaces<IPin, IMediaSeeking> {
 public:
  explicit MfOutputPin(MfSourceFilter& filter) : filter_(filter) {}

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
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override { return CopyWideText(kPinName, id); }
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
  MfSourceFilter& filter_;
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
    allocator_.Reset();
    input_.Reset();
    connected_.Reset();
  }

  bool Loaded() const { return loaded_; }
  // Pause and Run: from stopped, the streaming thread starts.
  HRESULT Start(FILTER_STATE state);
  // Starts the streaming thread (the control lock held, the pin connected).
  HRESULT StartStreaming();
  // Ends the streaming thread and waits for it (the control lock held).
  void StopStreaming();
  // Moves to start..stop at rate, through a flush when the thread is running.
  HRESULT Reposition(LONGLONG start, LONGLONG stop, double rate);
  void StreamLoop();
  // Drops the part of the current chunk that lies before the segment start.
  void TrimChunkToSegment();
  LONGLONG FramesToTime(size_t frames) const {
    return static_cast<LONGLONG>(frames) * kUnitsPerSecond / type_->format().nSamplesPerSec;
  }

  // Declared first, so Media Foundation stops only after the reader is gone.
  MediaFoundationRuntime runtime_;
  // Recursive: a peer may call back into the pin (its type, its id) from inside a
  // connection this filter makes while holding the lock. The streaming thread
  // never takes it.
  std::recursive_mutex control_;
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;
  std::wstring name_;
  std::wstring path_;
  std::unique_ptr<MfAudioReader> reader_;
  std::unique_ptr<PcmType> type_;
  // What the seeking calls answer without the control lock (a renderer may ask from
  // the streaming thread while a control call waits for that thread); set by Load.
  std::atomic<bool> loaded_{false};
  std::atomic<LONGLONG> duration_{0};
  std::atomic<bool> canSeek_{false};
  MfOutputPin pin_{*this};

  // The connection, set while stopped; the streaming thread reads it as it stands.
  ComPtr<IPin> connected_;
  ComPtr<IMemInputPin> input_;
  ComPtr<IMemAllocator> allocator_;

  // The segment: set while no streaming thread runs, except the stop position,
  // which a seek may move at any time.
  LONGLONG segmentStart_ = 0;
  std::atomic<LONGLONG> segmentStop_{0};
  double rate_ = 1.0;
  bool needsSeek_ = false;
  // Decoded data not yet delivered; the streaming thread's while it runs.
  PcmChunk chunk_;
  size_t offset_ = 0;
  // Media time of the last sample delivered.
  std::atomic<LONGLONG> position_{0};

  std::thread streamer_;
  std::atomic<bool> stopping_{false};
};

// --- the pin ---------------------------------------------------------------------

ULONG MfOutputPin::AddRef() { return filter_.AddRef(); }
ULONG MfOutputPin::Release() { return filter_.Release(); }

HRESULT MfOutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* proposed) {
  if (receiver == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (filter_.connected_) return VFW_E_ALREADY_CONNECTED;
  if (filter_.state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!filter_.Loaded()) return VFW_E_NO_TYPES;
  const PcmType& type = *filter_.type_;
  if (proposed != nullptr && !type.Fits(*proposed)) return VFW_E_TYPE_NOT_ACCEPTED;

  HRESULT hr = receiver->ReceiveConnection(this, &type.get());
  if (FAILED(hr)) return hr == E_FAIL ? VFW_E_TYPE_NOT_ACCEPTED : hr;
  ComPtr<IMemInputPin> input;
  ComPtr<IMemAllocator> allocator;
  hr = receiver->QueryInterface(IID_PPV_ARGS(&input));
  if (SUCCEEDED(hr)) {
    ALLOCATOR_PROPERTIES wanted{};
    input->GetAllocatorRequirements(&wanted);  // optional for the peer
    const WAVEFORMATEX& format = type.format();
    long bytes = static_cast<long>(format.nAvgBytesPerSec / kBuffersPerSecond);
    bytes -= bytes % format.nBlockAlign;
    wanted.cbBuffer = std::max<long>({wanted.cbBuffer, bytes, format.nBlockAlign});
    wanted.cBuffers = std::max(wanted.cBuffers, kBufferCount);
    wanted.cbAlign = std::max(wanted.cbAlign, 1L);
    if (FAILED(input->GetAllocator(&allocator)) || !allocator) {
      hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&allocator));
    }
    ALLOCATOR_PROPERTIES actual{};
    if (SUCCEEDED(hr)) hr = allocator->SetProperties(&wanted, &actual);
    if (SUCCEEDED(hr) && (actual.cbBuffer < format.nBlockAlign || actual.cBuffers < 1)) hr = VFW_E_SIZENOTSET;
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator.Get(), FALSE);
  }
  if (FAILED(hr)) {
    receiver->Disconnect();
    return hr;
  }
  filter_.connected_ = receiver;
  filter_.input_ = std::move(input);
  filter_.allocator_ = std::move(allocator);
  return S_OK;
}

HRESULT MfOutputPin::Disconnect() {
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (filter_.state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!filter_.connected_) return S_FALSE;
  if (filter_.allocator_) filter_.allocator_->Decommit();
  filter_.allocator_.Reset();
  filter_.input_.Reset();
  filter_.connected_.Reset();
  return S_OK;
}

HRESULT MfOutputPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  *pin = filter_.connected_.Get();
  if (*pin == nullptr) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

HRESULT MfOutputPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (!filter_.connected_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return filter_.type_->CopyTo(*type);
}

HRESULT MfOutputPin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = static_cast<IBaseFilter*>(&filter_);
  info->pFilter->AddRef();
  info->dir = PINDIR_OUTPUT;
  lstrcpynW(info->achName, kPinName, MAX_PIN_NAME);
  return S_OK;
}

HRESULT MfOutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  return filter_.Loaded() && filter_.type_->Fits(*type) ? S_OK : S_FALSE;
}

HRESULT MfOutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_.control_);
  if (!filter_.Loaded()) return VFW_E_NOT_CONNECTED;
  // The enumerator keeps the filter (and so the type) alive.
  ComPtr<IBaseFilter> owner(static_cast<IBaseFilter*>(&filter_));
  const PcmType* type = filter_.type_.get();
  *types = new (std::nothrow) ListEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*>(
      1, [owner, type](ULONG, AM_MEDIA_TYPE** out) {
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
  const LONGLONG duration = filter_.duration_;
  const auto clamp = [duration](LONGLONG value) {
    value = std::max<LONGLONG>(value, 0);
    return duration > 0 ? std::min(value, duration) : value;
  };
  LONGLONG start = filter_.position_;
  switch (currentHow) {
    case AM_SEEKING_AbsolutePositioning: start = *current; break;
    case AM_SEEKING_RelativePositioning:
    case AM_SEEKING_IncrementalPositioning: start += *current; break;
    default: break;
  }
  LONGLONG end = filter_.segmentStop_;
  switch (stopHow) {
    case AM_SEEKING_AbsolutePositioning: end = *stop; break;
    case AM_SEEKING_RelativePositioning: end += *stop; break;
    case AM_SEEKING_IncrementalPositioning: end = start + *stop; break;
    default: break;
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
  if (rate == filter_.rate_) return S_OK;
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
  auto reader = std::make_unique<MfAudioReader>();
  HRESULT hr = reader->Open(path);
  if (FAILED(hr)) return hr;
  // A file whose first block cannot be decoded is refused here, while the caller
  // can still say so, rather than ending silently once it plays.
  PcmChunk first;
  if (reader->Read(first) != MfAudioReader::ReadResult::Data) return VFW_E_INVALID_FILE_FORMAT;
  type_ = std::make_unique<PcmType>(reader->format());
  reader_ = std::move(reader);
  chunk_ = std::move(first);
  offset_ = 0;
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
    hr = type_->CopyTo(*type);
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
  // The pin exists once a file is loaded.
  ComPtr<IPin> pin(static_cast<IPin*>(&pin_));
  *pins = new (std::nothrow) ListEnumerator<IEnumPins, IPin*>(Loaded() ? 1 : 0, [pin](ULONG, IPin** out) {
    *out = pin.Get();
    (*out)->AddRef();
    return S_OK;
  });
  return *pins != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MfSourceFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(control_);
  *pin = nullptr;
  if (!Loaded() || std::wcscmp(id, kPinName) != 0) return VFW_E_NOT_FOUND;
  *pin = &pin_;
  pin_.AddRef();
  return S_OK;
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
  const bool streamed = streamer_.joinable();
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
  // Samples flow from the pause on; running only lets the renderer play them.
  if (state_ == State_Stopped && connected_) {
    const HRESULT hr = StartStreaming();
    if (FAILED(hr)) return hr;
  }
  state_ = state;
  return S_OK;
}

HRESULT MfSourceFilter::StartStreaming() {
  if (!Loaded() || !connected_ || !input_ || !allocator_) return VFW_E_NOT_CONNECTED;
  if (streamer_.joinable()) return S_OK;
  if (needsSeek_) {
    chunk_.bytes.clear();
    offset_ = 0;
    // A source that cannot seek can still start again from its beginning.
    HRESULT hr = reader_->canSeek() || segmentStart_ == 0 ? reader_->Seek(segmentStart_) : E_NOTIMPL;
    if (hr == E_NOTIMPL && segmentStart_ == 0) hr = S_OK;
    if (FAILED(hr)) return hr;
    needsSeek_ = false;
  }
  const HRESULT hr = allocator_->Commit();
  if (FAILED(hr)) return hr;
  stopping_ = false;
  position_ = segmentStart_;
  try {
    streamer_ = std::thread([this] { StreamLoop(); });
  } catch (const std::system_error&) {
    allocator_->Decommit();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void MfSourceFilter::StopStreaming() {
  if (!streamer_.joinable()) return;
  stopping_ = true;
  // A thread waiting for a free buffer wakes with VFW_E_NOT_COMMITTED.
  if (allocator_) allocator_->Decommit();
  streamer_.join();
}

HRESULT MfSourceFilter::Reposition(LONGLONG start, LONGLONG stop, double rate) {
  if (start != 0 && !reader_->canSeek()) return E_NOTIMPL;
  const bool streaming = streamer_.joinable();
  if (streaming) {
    // Flushing first returns a delivery blocked downstream (a paused renderer).
    connected_->BeginFlush();
    StopStreaming();
  }
  segmentStart_ = start;
  segmentStop_ = stop;
  rate_ = rate;
  needsSeek_ = true;
  position_ = start;
  if (!streaming) return S_OK;
  connected_->EndFlush();
  return StartStreaming();
}

void MfSourceFilter::TrimChunkToSegment() {
  const WAVEFORMATEX& format = type_->format();
  if (chunk_.time >= segmentStart_) return;
  // Media Foundation seeks to a block boundary at or before the target.
  const LONGLONG early = segmentStart_ - chunk_.time;
  const size_t frames = static_cast<size_t>(early * format.nSamplesPerSec / kUnitsPerSecond);
  offset_ = std::min(frames * format.nBlockAlign, chunk_.bytes.size());
}

void MfSourceFilter::StreamLoop() {
  StreamingApartment apartment;
  const WAVEFORMATEX& format = type_->format();
  connected_->NewSegment(segmentStart_, segmentStop_, rate_);
  bool discontinuity = true;
  bool ended = false;
  while (!stopping_) {
    if (offset_ >= chunk_.bytes.size()) {
      offset_ = 0;
      // A decoding error ends the stream where it happened: what was decoded plays.
      if (reader_->Read(chunk_) != MfAudioReader::ReadResult::Data) {
        chunk_.bytes.clear();
        ended = true;
        break;
      }
      TrimChunkToSegment();
      continue;
    }
    const LONGLONG mediaStart = chunk_.time + FramesToTime(offset_ / format.nBlockAlign);
    const LONGLONG stopAt = segmentStop_;
    if (mediaStart >= stopAt) {
      ended = true;
      break;
    }
    ComPtr<IMediaSample> sample;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) return;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return;
    size_t frames = std::min<size_t>((chunk_.bytes.size() - offset_) / format.nBlockAlign,
                                     static_cast<size_t>(sample->GetSize()) / format.nBlockAlign);
    const LONGLONG framesToStop = (stopAt - mediaStart) * format.nSamplesPerSec / kUnitsPerSecond;
    frames = std::max<size_t>(1, std::min<size_t>(frames, static_cast<size_t>(std::max<LONGLONG>(framesToStop, 1))));
    const size_t bytes = frames * format.nBlockAlign;
    std::memcpy(data, chunk_.bytes.data() + offset_, bytes);
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>((mediaStart - segmentStart_) / rate_);
    REFERENCE_TIME end = static_cast<REFERENCE_TIME>((mediaStart + FramesToTime(frames) - segmentStart_) / rate_);
    sample->SetTime(&start, &end);
    sample->SetActualDataLength(static_cast<long>(bytes));
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
    discontinuity = false;
    offset_ += bytes;
    position_ = mediaStart;
    // Anything but S_OK means downstream is flushing, stopping or refusing: stop
    // pushing without an end of stream.
    if (input_->Receive(sample.Get()) != S_OK) return;
  }
  if (ended && !stopping_) connected_->EndOfStream();
}

}  // namespace

HRESULT CreateMfSourceFilter(IBaseFilter** filter) {
  if (filter == nullptr) return E_POINTER;
  *filter = new (std::nothrow) MfSourceFilter;
  return *filter != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace kestrun::playback
