#include "equalizer/filter/tests/test_sink.h"

#include <algorithm>

namespace kestrun::equalizer::testing {

OwnBufferSink::OwnBufferSink() : endOfStream_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&own_));
  ALLOCATOR_PROPERTIES wanted = {3, kBufferBytes, 1, 0};
  ALLOCATOR_PROPERTIES actual = {};
  own_->SetProperties(&wanted, &actual);
}

OwnBufferSink::~OwnBufferSink() { CloseHandle(endOfStream_); }

HRESULT OwnBufferSink::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist) {
    *out = static_cast<IBaseFilter*>(this);
  } else if (iid == IID_IPin) {
    *out = static_cast<IPin*>(this);
  } else if (iid == IID_IMemInputPin) {
    *out = static_cast<IMemInputPin*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG OwnBufferSink::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT OwnBufferSink::GetClassID(CLSID* clsid) {
  *clsid = GUID_NULL;
  return S_OK;
}

HRESULT OwnBufferSink::Stop() {
  state_ = State_Stopped;
  own_->Decommit();
  return S_OK;
}

HRESULT OwnBufferSink::Pause() {
  if (state_ == State_Stopped) own_->Commit();
  state_ = State_Paused;
  return S_OK;
}

HRESULT OwnBufferSink::Run(REFERENCE_TIME) {
  if (state_ == State_Stopped) own_->Commit();
  state_ = State_Running;
  return S_OK;
}

HRESULT OwnBufferSink::GetState(DWORD, FILTER_STATE* state) {
  *state = state_;
  return S_OK;
}

HRESULT OwnBufferSink::GetSyncSource(IReferenceClock** clock) {
  *clock = nullptr;
  return S_OK;
}

namespace {
// Enumerates the sink's one pin.
class OnePinEnum final : public IEnumPins {
 public:
  explicit OnePinEnum(IPin* pin, ULONG position = 0) : pin_(pin), position_(position) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IEnumPins) {
      *out = static_cast<IEnumPins*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
    ULONG given = 0;
    if (count > 0 && position_ == 0) {
      pins[0] = pin_.Get();
      pin_->AddRef();
      position_ = given = 1;
    }
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    position_ = std::min<ULONG>(1, position_ + count);
    return position_ == 1 && count > 1 ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override {
    *out = new OnePinEnum(pin_.Get(), position_);
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
  Microsoft::WRL::ComPtr<IPin> pin_;
  ULONG position_;
};
}  // namespace

HRESULT OwnBufferSink::EnumPins(IEnumPins** pins) {
  *pins = new OnePinEnum(static_cast<IPin*>(this));
  return S_OK;
}

HRESULT OwnBufferSink::FindPin(LPCWSTR, IPin** pin) {
  *pin = this;
  AddRef();
  return S_OK;
}

HRESULT OwnBufferSink::QueryFilterInfo(FILTER_INFO* info) {
  info->achName[0] = L'\0';
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

HRESULT OwnBufferSink::JoinFilterGraph(IFilterGraph* graph, LPCWSTR) {
  graph_ = graph;
  return S_OK;
}

HRESULT OwnBufferSink::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE*) {
  peer_ = connector;
  return S_OK;
}

HRESULT OwnBufferSink::Disconnect() {
  if (!peer_) return S_FALSE;
  peer_.Reset();
  return S_OK;
}

HRESULT OwnBufferSink::ConnectedTo(IPin** pin) {
  *pin = peer_.Get();
  if (*pin == nullptr) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

HRESULT OwnBufferSink::QueryPinInfo(PIN_INFO* info) {
  info->pFilter = this;
  AddRef();
  info->dir = PINDIR_INPUT;
  info->achName[0] = L'I';
  info->achName[1] = L'\0';
  return S_OK;
}

HRESULT OwnBufferSink::QueryDirection(PIN_DIRECTION* direction) {
  *direction = PINDIR_INPUT;
  return S_OK;
}

HRESULT OwnBufferSink::EndOfStream() {
  SetEvent(endOfStream_);
  return S_OK;
}

HRESULT OwnBufferSink::GetAllocator(IMemAllocator** allocator) {
  *allocator = own_.Get();
  own_->AddRef();
  return S_OK;
}

HRESULT OwnBufferSink::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  return allocator == own_.Get() ? S_OK : E_FAIL;
}

HRESULT OwnBufferSink::Receive(IMediaSample* sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const long length = sample->GetActualDataLength();
  std::lock_guard<std::mutex> lock(mutex_);
  received_.insert(received_.end(), data, data + length);
  sizes_.push_back(static_cast<size_t>(length));
  REFERENCE_TIME start = 0, stop = 0;
  if (samples_++ == 0) firstHadTime_ = SUCCEEDED(sample->GetTime(&start, &stop));
  return S_OK;
}

HRESULT OwnBufferSink::ReceiveMultiple(IMediaSample** samples, long count, long* done) {
  for (*done = 0; *done < count; ++*done) Receive(samples[*done]);
  return S_OK;
}

std::vector<std::uint8_t> OwnBufferSink::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

}  // namespace kestrun::equalizer::testing

namespace kestrun::equalizer::testing {
std::vector<size_t> OwnBufferSink::SampleSizes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sizes_;
}
}  // namespace kestrun::equalizer::testing
