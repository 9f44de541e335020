#include "equalizer/filter/transform_base.h"

#include <control.h>
#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "equalizer/filter/enumerators.h"
#include "platform/com_object_win.h"

namespace kestrun::equalizer {

using Microsoft::WRL::ComPtr;

namespace {

// Buffer size for a copying output when neither side states one.
constexpr long kDefaultBufferBytes = 64 * 1024;

void CopyName(const std::wstring& name, wchar_t* out, size_t capacity) {
  const size_t n = std::min(name.size(), capacity - 1);
  std::memcpy(out, name.data(), n * sizeof(wchar_t));
  out[n] = L'\0';
}

// Bytes of one frame of an audio type, so a copied sample is never split inside a
// frame; 1 when the format does not say.
long FrameBytes(const AM_MEDIA_TYPE& type) {
  if (type.formattype == FORMAT_WaveFormatEx && type.cbFormat >= sizeof(WAVEFORMATEX) && type.pbFormat != nullptr) {
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    return format->nBlockAlign > 0 ? format->nBlockAlign : 1;
  }
  return 1;
}

}  // namespace

// ---------------------------------------------------------------------------------
// TransformPin

TransformPin::TransformPin(InPlaceTransformFilter* filter, PIN_DIRECTION direction, const wchar_t* name)
    : filter_(filter), direction_(direction), name_(name) {}

TransformPin::~TransformPin() = default;

HRESULT TransformPin::QueryInterface(REFIID iid, void** out) {
  return platform::QueryInterfaceFrom(
      iid, out, {{&IID_IUnknown, static_cast<IPin*>(this)}, {&IID_IPin, static_cast<IPin*>(this)}});
}

ULONG TransformPin::AddRef() { return filter_->AddRef(); }
ULONG TransformPin::Release() { return filter_->Release(); }

HRESULT TransformPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (receivePin == nullptr) {
    return E_POINTER;
  }
  Lock lock(filter_->filterLock_);
  if (direction_ != PINDIR_OUTPUT) {
    return E_UNEXPECTED;
  }
  if (peer_) {
    return VFW_E_ALREADY_CONNECTED;
  }
  if (!filter_->IsStopped()) {
    return VFW_E_NOT_STOPPED;
  }
  PIN_DIRECTION theirs = PINDIR_OUTPUT;
  if (FAILED(receivePin->QueryDirection(&theirs)) || theirs != PINDIR_INPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  if (type != nullptr && MediaTypeIsFullySpecified(*type)) {
    return AttemptConnection(receivePin, *type);
  }
  // The stream's own type first: an in-place filter cannot change it.
  ComPtr<IEnumMediaTypes> types;
  if (SUCCEEDED(EnumMediaTypes(&types)) && SUCCEEDED(TryTypesFrom(types.Get(), receivePin, type))) {
    return S_OK;
  }
  types.Reset();
  if (SUCCEEDED(receivePin->EnumMediaTypes(&types)) && types &&
      SUCCEEDED(TryTypesFrom(types.Get(), receivePin, type))) {
    return S_OK;
  }
  return IsConnected() ? S_OK : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT TransformPin::TryTypesFrom(IEnumMediaTypes* types, IPin* receivePin, const AM_MEDIA_TYPE* partial) {
  AM_MEDIA_TYPE* type = nullptr;
  while (types->Next(1, &type, nullptr) == S_OK) {
    HRESULT hr = VFW_E_NO_ACCEPTABLE_TYPES;
    if (type != nullptr && (partial == nullptr || MediaTypeMatchesPartial(*type, *partial))) {
      hr = AttemptConnection(receivePin, *type);
    }
    DeleteMediaTypeCopy(type);
    type = nullptr;
    if (SUCCEEDED(hr)) {
      return hr;
    }
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT TransformPin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type) {
  HRESULT hr = CheckMediaType(type);
  if (hr != S_OK) {
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  hr = SetConnection(receivePin, type);
  if (FAILED(hr)) {
    return hr;
  }
  hr = receivePin->ReceiveConnection(this, &type);
  if (FAILED(hr)) {
    ClearConnection();
    return hr;
  }
  hr = filter_->SetMediaType(direction_, type);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(receivePin);
  }
  if (FAILED(hr)) {
    receivePin->Disconnect();
    BreakConnect();
    ClearConnection();
    return hr;
  }
  return S_OK;
}

HRESULT TransformPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) {
    return E_POINTER;
  }
  Lock lock(filter_->filterLock_);
  if (direction_ != PINDIR_INPUT) {
    return E_UNEXPECTED;
  }
  if (peer_) {
    return VFW_E_ALREADY_CONNECTED;
  }
  if (!filter_->IsStopped()) {
    return VFW_E_NOT_STOPPED;
  }
  PIN_DIRECTION theirs = PINDIR_INPUT;
  if (FAILED(connector->QueryDirection(&theirs)) || theirs != PINDIR_OUTPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  HRESULT hr = CheckMediaType(*type);
  if (hr != S_OK) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  hr = SetConnection(connector, *type);
  if (FAILED(hr)) {
    return hr;
  }
  hr = filter_->SetMediaType(direction_, *type);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(connector);
  }
  if (FAILED(hr)) {
    BreakConnect();
    ClearConnection();
    return hr;
  }
  return S_OK;
}

HRESULT TransformPin::Disconnect() {
  Lock lock(filter_->filterLock_);
  if (!filter_->IsStopped()) {
    return VFW_E_NOT_STOPPED;
  }
  if (!peer_) {
    return S_FALSE;
  }
  BreakConnect();
  ClearConnection();
  return S_OK;
}

HRESULT TransformPin::SetConnection(IPin* peer, const AM_MEDIA_TYPE& type) {
  Lock lock(filter_->connectionLock_);
  HRESULT hr = type_.Set(type);
  if (SUCCEEDED(hr)) {
    peer_ = peer;
  }
  return hr;
}

void TransformPin::Snapshot(ComPtr<IPin>* peer, MediaType* type) {
  Lock lock(filter_->connectionLock_);
  *peer = peer_;
  if (type != nullptr) {
    *type = type_;
  }
}

void TransformPin::ClearConnection() {
  Lock lock(filter_->connectionLock_);
  peer_.Reset();
  type_.Clear();
}

HRESULT TransformPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) {
    return E_POINTER;
  }
  // Asked from streaming threads too (seeking pass-through, downstream filters at
  // end of stream), so only the short connection lock, never the filter lock.
  Lock lock(filter_->connectionLock_);
  *pin = peer_.Get();
  if (*pin == nullptr) {
    return VFW_E_NOT_CONNECTED;
  }
  (*pin)->AddRef();
  return S_OK;
}

HRESULT TransformPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) {
    return E_POINTER;
  }
  Lock lock(filter_->connectionLock_);
  std::memset(type, 0, sizeof *type);
  if (!peer_) {
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaTypeContents(*type, type_.get());
}

HRESULT TransformPin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  info->pFilter = static_cast<IBaseFilter*>(filter_);
  info->pFilter->AddRef();
  info->dir = direction_;
  CopyName(name_, info->achName, MAX_PIN_NAME);
  return S_OK;
}

HRESULT TransformPin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) {
    return E_POINTER;
  }
  *direction = direction_;
  return S_OK;
}

HRESULT TransformPin::QueryId(LPWSTR* id) {
  if (id == nullptr) {
    return E_POINTER;
  }
  const size_t bytes = (name_.size() + 1) * sizeof(wchar_t);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (*id == nullptr) {
    return E_OUTOFMEMORY;
  }
  std::memcpy(*id, name_.c_str(), bytes);
  return S_OK;
}

HRESULT TransformPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) {
    return E_POINTER;
  }
  // May come from a streaming thread (a format change): no filter lock here.
  return CheckMediaType(*type) == S_OK ? S_OK : S_FALSE;
}

HRESULT TransformPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) {
    return E_POINTER;
  }
  return CreateMediaTypeEnumerator(OfferedTypes(), types);
}

HRESULT TransformPin::QueryInternalConnections(IPin** pins, ULONG* count) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------------
// TransformInputPin

namespace {
constexpr wchar_t kInputPinName[] = L"Input";
constexpr wchar_t kOutputPinName[] = L"Output";
}  // namespace

TransformInputPin::TransformInputPin(InPlaceTransformFilter* filter)
    : TransformPin(filter, PINDIR_INPUT, kInputPinName) {}

HRESULT TransformInputPin::QueryInterface(REFIID iid, void** out) {
  return platform::QueryInterfaceFrom(iid, out,
                                      {{&IID_IUnknown, static_cast<IPin*>(this)},
                                       {&IID_IPin, static_cast<IPin*>(this)},
                                       {&IID_IMemInputPin, static_cast<IMemInputPin*>(this)}});
}

HRESULT TransformInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  HRESULT hr = filter_->CheckInputType(type);
  if (FAILED(hr)) {
    return hr;
  }
  // The output carries the same type, so the downstream pin must take it too.
  ComPtr<IPin> downstream;
  MediaType current;
  filter_->output_.Snapshot(&downstream, &current);
  if (downstream && !MediaTypesEqual(type, current.get()) && downstream->QueryAccept(&type) != S_OK) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

std::vector<MediaType> TransformInputPin::OfferedTypes() {
  // Nothing of our own to propose; with the output connected, the type flowing
  // downstream is the one that needs no change there.
  std::vector<MediaType> types;
  ComPtr<IPin> downstream;
  MediaType current;
  filter_->output_.Snapshot(&downstream, &current);
  if (downstream) {
    types.push_back(current);
  }
  return types;
}

void TransformInputPin::BreakConnect() {
  allocator_.Reset();
  readOnly_ = false;
}

HRESULT TransformInputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) {
    return E_POINTER;
  }
  *allocator = nullptr;
  Lock lock(filter_->filterLock_);
  // Samples go downstream as they are, so the downstream pin's allocator is the
  // one to fill. Without it the upstream pin brings its own.
  IMemInputPin* downstream = filter_->output_.downstream();
  if (downstream == nullptr) {
    return VFW_E_NO_ALLOCATOR;
  }
  return downstream->GetAllocator(allocator);
}

HRESULT TransformInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (allocator == nullptr) {
    return E_POINTER;
  }
  Lock lock(filter_->filterLock_);
  allocator_ = allocator;
  readOnly_ = readOnly != FALSE;
  if (filter_->output_.IsConnected()) {
    filter_->output_.OfferAllocator(allocator, readOnly_);
  }
  return S_OK;
}

HRESULT TransformInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) {
    return E_POINTER;
  }
  Lock lock(filter_->filterLock_);
  IMemInputPin* downstream = filter_->output_.downstream();
  return downstream != nullptr ? downstream->GetAllocatorRequirements(properties) : E_NOTIMPL;
}

HRESULT TransformInputPin::CheckStreaming() const {
  if (filter_->IsStopped()) {
    return VFW_E_WRONG_STATE;
  }
  if (flushing_) {
    return S_FALSE;
  }
  if (endOfStream_) {
    return VFW_E_SAMPLE_REJECTED_EOS;
  }
  if (!IsConnected() || filter_->output_.downstream() == nullptr) {
    return VFW_E_NOT_CONNECTED;
  }
  return S_OK;
}

HRESULT TransformInputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) {
    return E_POINTER;
  }
  Lock stream(filter_->streamLock_);
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) {
    return hr;
  }
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed != nullptr) {
    hr = filter_->CheckInputType(*changed);
    if (SUCCEEDED(hr)) {
      filter_->StreamTypeChanged(*changed);
    }
    DeleteMediaTypeCopy(changed);
    if (FAILED(hr)) {
      return hr;
    }
  }
  // The output's allocator and mode change only while stopped, and Stop waits for
  // this lock, so they can be read here without the filter lock.
  TransformOutputPin& output = filter_->output_;
  const bool inPlace = output.passesThrough() && output.allocator() == allocator_.Get() && !readOnly_;
  if (!inPlace) {
    return DeliverCopy(sample);
  }
  hr = filter_->Transform(sample);
  if (FAILED(hr)) {
    return hr;
  }
  return output.downstream()->Receive(sample);
}

HRESULT TransformInputPin::DeliverCopy(IMediaSample* sample) {
  TransformOutputPin& output = filter_->output_;
  BYTE* source = nullptr;
  HRESULT hr = sample->GetPointer(&source);
  if (FAILED(hr)) {
    return hr;
  }
  const long length = sample->GetActualDataLength();
  const long frame = FrameBytes(type_.get());
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT timeResult = sample->GetTime(&start, &stop);
  LONGLONG mediaStart = 0;
  LONGLONG mediaStop = 0;
  const HRESULT mediaTimeResult = sample->GetMediaTime(&mediaStart, &mediaStop);
  AM_MEDIA_TYPE* type = nullptr;
  if (sample->GetMediaType(&type) != S_OK) {
    type = nullptr;
  }

  long offset = 0;
  do {
    ComPtr<IMediaSample> copy;
    hr = output.allocator()->GetBuffer(&copy, nullptr, nullptr, 0);
    if (FAILED(hr)) {
      break;
    }
    BYTE* target = nullptr;
    hr = copy->GetPointer(&target);
    if (FAILED(hr)) {
      break;
    }
    long size = std::min<long>(copy->GetSize(), length - offset);
    if (size < length - offset && size >= frame) {
      size -= size % frame;
    }
    if (size <= 0 && length > 0) {
      hr = VFW_E_BUFFER_OVERFLOW;
      break;
    }
    std::memcpy(target, source + offset, static_cast<size_t>(std::max<long>(size, 0)));
    copy->SetActualDataLength(std::max<long>(size, 0));
    // Times, flags and a type change belong to the first piece; later pieces of a
    // split sample carry none.
    const bool first = offset == 0;
    copy->SetTime(first && timeResult == S_OK ? &start : nullptr, first && timeResult == S_OK ? &stop : nullptr);
    if (first && timeResult == VFW_S_NO_STOP_TIME) {
      copy->SetTime(&start, nullptr);
    }
    copy->SetMediaTime(first && mediaTimeResult == S_OK ? &mediaStart : nullptr,
                       first && mediaTimeResult == S_OK ? &mediaStop : nullptr);
    copy->SetSyncPoint(first && sample->IsSyncPoint() == S_OK);
    copy->SetDiscontinuity(first && sample->IsDiscontinuity() == S_OK);
    copy->SetPreroll(sample->IsPreroll() == S_OK);
    copy->SetMediaType(first ? type : nullptr);
    hr = filter_->Transform(copy.Get());
    if (FAILED(hr)) {
      break;
    }
    hr = output.downstream()->Receive(copy.Get());
    if (hr != S_OK) {
      break;
    }
    offset += size;
  } while (offset < length);
  DeleteMediaTypeCopy(type);
  return hr;
}

HRESULT TransformInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (samples == nullptr || processed == nullptr) {
    return E_POINTER;
  }
  HRESULT hr = S_OK;
  *processed = 0;
  while (*processed < count) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) {
      break;
    }
    ++*processed;
  }
  return hr;
}

HRESULT TransformInputPin::ReceiveCanBlock() {
  IMemInputPin* downstream = filter_->output_.downstream();
  if (downstream == nullptr) {
    return S_FALSE;
  }
  // A copying filter waits for its own buffers.
  if (!filter_->output_.passesThrough()) {
    return S_OK;
  }
  return downstream->ReceiveCanBlock();
}

HRESULT TransformInputPin::EndOfStream() {
  Lock stream(filter_->streamLock_);
  HRESULT hr = CheckStreaming();
  if (hr == S_FALSE) {
    return S_OK;  // ignored while flushing
  }
  if (FAILED(hr) && hr != VFW_E_SAMPLE_REJECTED_EOS) {
    return hr;
  }
  endOfStream_ = true;
  return filter_->output_.peer()->EndOfStream();
}

HRESULT TransformInputPin::BeginFlush() {
  // No lock is held while the flush goes downstream: a Receive blocked there only
  // returns once the flush has reached the downstream filter, and it may call
  // back into our pins meanwhile.
  if (!IsConnected()) {
    return VFW_E_NOT_CONNECTED;
  }
  flushing_ = true;
  ComPtr<IPin> downstream;
  filter_->output_.Snapshot(&downstream, nullptr);
  return downstream ? downstream->BeginFlush() : S_OK;
}

HRESULT TransformInputPin::EndFlush() {
  // Let a Receive that started before the flush finish (the downstream filter is
  // still flushing, so it returns at once) before new data may flow.
  { Lock stream(filter_->streamLock_); }
  if (!IsConnected()) {
    return VFW_E_NOT_CONNECTED;
  }
  ComPtr<IPin> downstream;
  filter_->output_.Snapshot(&downstream, nullptr);
  HRESULT hr = downstream ? downstream->EndFlush() : S_OK;
  endOfStream_ = false;
  flushing_ = false;
  return hr;
}

HRESULT TransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  IPin* downstream = filter_->output_.peer();
  return downstream != nullptr ? downstream->NewSegment(start, stop, rate) : S_OK;
}

// ---------------------------------------------------------------------------------
// TransformOutputPin

TransformOutputPin::TransformOutputPin(InPlaceTransformFilter* filter)
    : TransformPin(filter, PINDIR_OUTPUT, kOutputPinName) {}

TransformOutputPin::~TransformOutputPin() {
  if (seeking_ != nullptr) {
    seeking_->Release();
  }
}

HRESULT TransformOutputPin::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IMediaSeeking || iid == IID_IMediaPosition) {
    IUnknown* inner = nullptr;
    if (FAILED(SeekingObject(&inner))) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return inner->QueryInterface(iid, out);
  }
  return platform::QueryInterfaceFrom(iid, out,
                                      {{&IID_IUnknown, static_cast<IPin*>(this)},
                                       {&IID_IPin, static_cast<IPin*>(this)},
                                       {&IID_IQualityControl, static_cast<IQualityControl*>(this)}});
}

HRESULT TransformOutputPin::SeekingObject(IUnknown** inner) {
  // Made on first use rather than with the filter: aggregating it takes and gives
  // back references on this pin, which must not happen while the filter is built.
  Lock lock(filter_->seekingLock_);
  if (seeking_ == nullptr) {
    IUnknown* made = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SeekingPassThru, static_cast<IPin*>(this), CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&made));
    if (FAILED(hr)) {
      return hr;
    }
    ISeekingPassThru* passThru = nullptr;
    hr = made->QueryInterface(IID_ISeekingPassThru, reinterpret_cast<void**>(&passThru));
    if (SUCCEEDED(hr)) {
      // Not a renderer; seeking requests go to the pin upstream of our input.
      hr = passThru->Init(FALSE, static_cast<IPin*>(&filter_->input_));
      passThru->Release();  // the reference went to this pin, the outer unknown
    }
    if (FAILED(hr)) {
      made->Release();
      return hr;
    }
    seeking_ = made;
  }
  *inner = seeking_;
  return S_OK;
}

HRESULT TransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  ComPtr<IPin> upstream;
  MediaType current;
  filter_->input_.Snapshot(&upstream, &current);
  if (!upstream) {
    return VFW_E_NOT_CONNECTED;
  }
  if (MediaTypesEqual(type, current.get())) {
    return S_OK;
  }
  // Another type only when the input can be reconnected with it.
  HRESULT hr = filter_->CheckInputType(type);
  if (FAILED(hr)) {
    return hr;
  }
  return upstream->QueryAccept(&type) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

std::vector<MediaType> TransformOutputPin::OfferedTypes() {
  std::vector<MediaType> types;
  ComPtr<IPin> upstream;
  MediaType current;
  filter_->input_.Snapshot(&upstream, &current);
  if (upstream) {
    types.push_back(current);
  }
  return types;
}

HRESULT TransformOutputPin::CompleteConnect(IPin* peer) {
  HRESULT hr = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(downstream_.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) {
    return VFW_E_NO_TRANSPORT;
  }
  return DecideAllocator();
}

HRESULT TransformOutputPin::DecideAllocator() {
  const TransformInputPin& input = filter_->input_;
  IMemAllocator* upstream = input.allocator();
  if (upstream != nullptr && !input.allocatorReadOnly() && SUCCEEDED(downstream_->NotifyAllocator(upstream, FALSE))) {
    allocator_ = upstream;
    passThrough_ = true;
    return S_OK;
  }

  // The downstream pin insists on its own buffers: samples will be copied.
  ALLOCATOR_PROPERTIES wanted = {};
  if (FAILED(downstream_->GetAllocatorRequirements(&wanted))) {
    wanted = {};
  }
  ComPtr<IMemAllocator> allocator;
  if (FAILED(downstream_->GetAllocator(&allocator)) || !allocator) {
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(allocator.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) {
      return hr;
    }
  }
  ALLOCATOR_PROPERTIES upstreamProperties = {};
  if (upstream == nullptr || FAILED(upstream->GetProperties(&upstreamProperties))) {
    upstreamProperties = {};
  }
  ALLOCATOR_PROPERTIES properties = wanted;
  properties.cBuffers = std::max({properties.cBuffers, upstreamProperties.cBuffers, 2L});
  properties.cbBuffer = std::max(properties.cbBuffer,
                                 upstreamProperties.cbBuffer > 0 ? upstreamProperties.cbBuffer : kDefaultBufferBytes);
  properties.cbAlign = std::max(properties.cbAlign, 1L);
  properties.cbPrefix = std::max(properties.cbPrefix, 0L);
  ALLOCATOR_PROPERTIES actual = {};
  HRESULT hr = allocator->SetProperties(&properties, &actual);
  if (FAILED(hr)) {
    return hr;
  }
  hr = downstream_->NotifyAllocator(allocator.Get(), FALSE);
  if (FAILED(hr)) {
    return hr;
  }
  allocator_ = allocator;
  passThrough_ = false;
  return S_OK;
}

void TransformOutputPin::OfferAllocator(IMemAllocator* allocator, bool readOnly) {
  if (readOnly) {
    return;  // keep copying into our own buffers
  }
  if (allocator == allocator_.Get()) {
    passThrough_ = true;
    return;
  }
  if (SUCCEEDED(downstream_->NotifyAllocator(allocator, FALSE))) {
    allocator_ = allocator;
    passThrough_ = true;
  }
}

void TransformOutputPin::BreakConnect() {
  downstream_.Reset();
  allocator_.Reset();
  passThrough_ = false;
}

HRESULT TransformOutputPin::Active() { return allocator_ ? allocator_->Commit() : S_OK; }

void TransformOutputPin::Inactive() {
  if (allocator_) {
    allocator_->Decommit();
  }
}

HRESULT TransformOutputPin::Notify(IBaseFilter* self, Quality quality) {
  IBaseFilter* us = static_cast<IBaseFilter*>(filter_);
  if (qualitySink_ != nullptr) {
    return qualitySink_->Notify(us, quality);
  }
  ComPtr<IPin> upstream;
  filter_->input_.Snapshot(&upstream, nullptr);
  if (!upstream) {
    return VFW_E_NOT_FOUND;
  }
  ComPtr<IQualityControl> control;
  if (FAILED(upstream->QueryInterface(IID_PPV_ARGS(&control)))) {
    return VFW_E_NOT_FOUND;
  }
  return control->Notify(us, quality);
}

HRESULT TransformOutputPin::SetSink(IQualityControl* sink) {
  Lock lock(filter_->filterLock_);
  qualitySink_ = sink;
  return S_OK;
}

// ---------------------------------------------------------------------------------
// InPlaceTransformFilter

InPlaceTransformFilter::InPlaceTransformFilter(IUnknown* outer, const CLSID& clsid, const FilterSetup* setup)
    : outer_(outer != nullptr ? outer : &inner_), clsid_(clsid), setup_(setup), input_(this), output_(this) {
  inner_.self = this;
}

InPlaceTransformFilter::~InPlaceTransformFilter() = default;

HRESULT InPlaceTransformFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
  // IUnknown is the inner unknown, so that an aggregating object can hold the
  // filter's own reference count; every other interface delegates to outer_.
  IBaseFilter* filter = this;
  return platform::QueryInterfaceFrom(iid, out,
                                      {{&IID_IUnknown, &inner_},
                                       {&IID_IBaseFilter, filter},
                                       {&IID_IMediaFilter, filter},
                                       {&IID_IPersist, filter},
                                       {&IID_IAMovieSetup, static_cast<IAMovieSetup*>(this)}});
}

ULONG InPlaceTransformFilter::NonDelegatingAddRef() { return ++references_; }

ULONG InPlaceTransformFilter::NonDelegatingRelease() {
  const ULONG left = --references_;
  if (left == 0) {
    // Guard against the destructor's own AddRef/Release pairs coming back here.
    references_ = 1;
    delete this;
  }
  return left;
}

HRESULT InPlaceTransformFilter::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) {
    return E_POINTER;
  }
  *clsid = clsid_;
  return S_OK;
}

HRESULT InPlaceTransformFilter::Stop() {
  {
    Lock lock(filterLock_);
    if (state_ == State_Stopped) {
      return S_OK;
    }
    state_ = State_Stopped;
    // Wakes a Receive that waits for one of our buffers.
    output_.Inactive();
  }
  // Once the streaming thread has left Receive, no sample touches the filter. The
  // filter lock is not held for this wait: the streaming thread may need it on
  // its way out (downstream filters call back into our pins at end of stream).
  { Lock stream(streamLock_); }
  return S_OK;
}

HRESULT InPlaceTransformFilter::Pause() {
  Lock lock(filterLock_);
  if (state_ == State_Stopped) {
    input_.endOfStream_ = false;
    input_.flushing_ = false;
    if (output_.IsConnected()) {
      HRESULT hr = output_.Active();
      if (FAILED(hr)) {
        return hr;
      }
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT InPlaceTransformFilter::Run(REFERENCE_TIME start) {
  Lock lock(filterLock_);
  if (state_ == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) {
      return hr;
    }
  }
  start_ = start;
  state_ = State_Running;
  return S_OK;
}

HRESULT InPlaceTransformFilter::GetState(DWORD timeout, FILTER_STATE* state) {
  if (state == nullptr) {
    return E_POINTER;
  }
  *state = state_;
  return S_OK;
}

HRESULT InPlaceTransformFilter::SetSyncSource(IReferenceClock* clock) {
  Lock lock(filterLock_);
  clock_ = clock;
  return S_OK;
}

HRESULT InPlaceTransformFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) {
    return E_POINTER;
  }
  Lock lock(filterLock_);
  *clock = clock_.Get();
  if (*clock != nullptr) {
    (*clock)->AddRef();
  }
  return S_OK;
}

HRESULT InPlaceTransformFilter::EnumPins(IEnumPins** pins) {
  std::vector<ComPtr<IPin>> list;
  list.emplace_back(static_cast<IPin*>(&input_));
  list.emplace_back(static_cast<IPin*>(&output_));
  return CreatePinEnumerator(std::move(list), pins);
}

HRESULT InPlaceTransformFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) {
    return E_POINTER;
  }
  *pin = nullptr;
  if (input_.name() == id) {
    *pin = &input_;
  } else if (output_.name() == id) {
    *pin = &output_;
  } else {
    return VFW_E_NOT_FOUND;
  }
  (*pin)->AddRef();
  return S_OK;
}

HRESULT InPlaceTransformFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  Lock lock(connectionLock_);
  CopyName(graphName_, info->achName, MAX_FILTER_NAME);
  info->pGraph = graph_;
  if (graph_ != nullptr) {
    graph_->AddRef();
  }
  return S_OK;
}

HRESULT InPlaceTransformFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  Lock lock(connectionLock_);
  graph_ = graph;
  graphName_ = (graph != nullptr && name != nullptr) ? name : L"";
  return S_OK;
}

HRESULT InPlaceTransformFilter::QueryVendorInfo(LPWSTR* info) { return E_NOTIMPL; }

ComPtr<IFilterGraph> InPlaceTransformFilter::graph() {
  Lock lock(connectionLock_);
  return ComPtr<IFilterGraph>(graph_);
}

HRESULT InPlaceTransformFilter::Register() {
  return setup_ != nullptr ? RegisterFilterSetup(*setup_, true) : E_NOTIMPL;
}

HRESULT InPlaceTransformFilter::Unregister() {
  return setup_ != nullptr ? RegisterFilterSetup(*setup_, false) : E_NOTIMPL;
}

}  // namespace kestrun::equalizer
