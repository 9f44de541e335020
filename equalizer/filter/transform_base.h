// A small in-place transform filter: one input pin, one output pin, the same media
// type on both, and every sample handed downstream after Transform has worked on it.
//
// Design:
//   - The filter object holds both pins as members. Pins have no reference count of
//     their own: AddRef/Release on a pin go to the filter's outer unknown, so the
//     filter lives as long as anyone holds it or one of its pins.
//   - filterLock_ guards state changes and connections (application thread);
//     streamLock_ is held by Receive/EndOfStream on the streaming thread. Stop takes
//     filterLock_, stops accepting samples and decommits the output allocator (which
//     wakes a Receive waiting for a buffer); then, with filterLock_ released, it
//     takes streamLock_ once, so no Receive is running when Stop returns. Nothing
//     that holds filterLock_ ever waits for streamLock_, because the streaming
//     thread can come back into our pins (ConnectedTo from the seeking
//     pass-through at end of stream); those readers take only connectionLock_.
//     Calls that may arrive on a streaming thread (QueryAccept, EnumMediaTypes,
//     flushing, quality messages) copy the peer under connectionLock_ and call
//     out holding none of our locks.
//   - Allocators: the input pin has none of its own. With the output connected it
//     offers the downstream pin's allocator; otherwise it answers VFW_E_NO_ALLOCATOR
//     and the upstream pin makes one. When the output connects, the allocator the
//     upstream pin announced is passed downstream; if the downstream pin accepts it,
//     samples travel through untouched (in place). Otherwise the output pin gets an
//     allocator of its own and Receive copies each sample into one of its buffers.
//   - The output pin answers IMediaSeeking/IMediaPosition through the platform's
//     seeking pass-through object, aggregated, which forwards to the pin upstream of
//     the input; quality messages from downstream go to the upstream pin as well.
//   - The derived filter plugs in through CheckInputType, SetMediaType and Transform.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <string>
#include <vector>

#include "equalizer/filter/filter_setup.h"
#include "equalizer/filter/media_type.h"

namespace kestrun::equalizer {

// The inner unknown of an aggregatable object.
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class Lock {
 public:
  explicit Lock(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~Lock() { section_.Leave(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& section_;
};

class InPlaceTransformFilter;

class TransformPin : public IPin {
 public:
  TransformPin(InPlaceTransformFilter* filter, PIN_DIRECTION direction, const wchar_t* name);
  virtual ~TransformPin();
  TransformPin(const TransformPin&) = delete;
  TransformPin& operator=(const TransformPin&) = delete;

  // IUnknown: references belong to the filter.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;

  bool IsConnected() const { return peer_ != nullptr; }
  // The peer and the connection type, copied under the connection lock, for
  // callers that then call out without any of our locks.
  void Snapshot(Microsoft::WRL::ComPtr<IPin>* peer, MediaType* type);
  IPin* peer() const { return peer_.Get(); }
  const MediaType& type() const { return type_; }
  const std::wstring& name() const { return name_; }

 protected:
  friend class InPlaceTransformFilter;

  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;
  // The types offered to the other side of a connection, preferred first.
  virtual std::vector<MediaType> OfferedTypes() = 0;
  // Called once the peer has accepted the type (output) or the type is stored
  // (input); a failure undoes the connection.
  virtual HRESULT CompleteConnect(IPin* peer) { return S_OK; }
  virtual void BreakConnect() {}

  HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);
  HRESULT TryTypesFrom(IEnumMediaTypes* types, IPin* receivePin, const AM_MEDIA_TYPE* partial);
  HRESULT SetConnection(IPin* peer, const AM_MEDIA_TYPE& type);
  void ClearConnection();

  InPlaceTransformFilter* filter_;
  PIN_DIRECTION direction_;
  std::wstring name_;
  Microsoft::WRL::ComPtr<IPin> peer_;
  MediaType type_;
};

class TransformInputPin final : public TransformPin, public IMemInputPin {
 public:
  explicit TransformInputPin(InPlaceTransformFilter* filter);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return TransformPin::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return TransformPin::Release(); }

  // IPin, streaming side
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

  IMemAllocator* allocator() const { return allocator_.Get(); }
  bool allocatorReadOnly() const { return readOnly_; }

 private:
  friend class InPlaceTransformFilter;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  std::vector<MediaType> OfferedTypes() override;
  void BreakConnect() override;
  HRESULT CheckStreaming() const;
  HRESULT DeliverCopy(IMediaSample* sample);

  Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
  bool readOnly_ = false;
  std::atomic<bool> flushing_{false};
  std::atomic<bool> endOfStream_{false};
};

class TransformOutputPin final : public TransformPin, public IQualityControl {
 public:
  explicit TransformOutputPin(InPlaceTransformFilter* filter);
  ~TransformOutputPin() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return TransformPin::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return TransformPin::Release(); }

  // IPin, streaming side: an output pin receives no stream.
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IQualityControl
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* self, Quality quality) override;
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

  IMemInputPin* downstream() const { return downstream_.Get(); }
  IMemAllocator* allocator() const { return allocator_.Get(); }
  // Whether samples from the input's allocator go downstream as they are.
  bool passesThrough() const { return passThrough_; }
  // The input pin was given another allocator while this pin is connected.
  void OfferAllocator(IMemAllocator* allocator, bool readOnly);

  HRESULT Active();
  void Inactive();

 private:
  friend class InPlaceTransformFilter;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  std::vector<MediaType> OfferedTypes() override;
  HRESULT CompleteConnect(IPin* peer) override;
  void BreakConnect() override;
  HRESULT DecideAllocator();
  HRESULT SeekingObject(IUnknown** inner);

  Microsoft::WRL::ComPtr<IMemInputPin> downstream_;
  Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
  bool passThrough_ = false;
  IQualityControl* qualitySink_ = nullptr;  // not held, as the interface requires
  IUnknown* seeking_ = nullptr;             // inner unknown of the pass-through object
};

class InPlaceTransformFilter : public INonDelegatingUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  InPlaceTransformFilter(IUnknown* outer, const CLSID& clsid, const FilterSetup* setup);
  virtual ~InPlaceTransformFilter();
  InPlaceTransformFilter(const InPlaceTransformFilter&) = delete;
  InPlaceTransformFilter& operator=(const InPlaceTransformFilter&) = delete;

  // IUnknown of every interface goes to the outer unknown (this object itself when
  // not aggregated).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;
  // IAMovieSetup
  HRESULT STDMETHODCALLTYPE Register() override;
  HRESULT STDMETHODCALLTYPE Unregister() override;

  TransformInputPin& input() { return input_; }
  TransformOutputPin& output() { return output_; }
  bool IsStopped() const { return state_ == State_Stopped; }
  // The graph the filter is in, AddRef'd, or null.
  Microsoft::WRL::ComPtr<IFilterGraph> graph();

 protected:
  friend class TransformPin;
  friend class TransformInputPin;
  friend class TransformOutputPin;

  // Whether the input may take this type. The output always carries the input's.
  virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& type) = 0;
  // A pin has been connected with this type.
  virtual HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) { return S_OK; }
  // Works on one sample in place, on the streaming thread.
  virtual HRESULT Transform(IMediaSample* sample) = 0;
  // A sample arrived carrying a new (accepted) type; streaming thread, no filter lock.
  virtual void StreamTypeChanged(const AM_MEDIA_TYPE& type) {}

  IUnknown* outer_;
  CriticalSection filterLock_;
  CriticalSection streamLock_;
  CriticalSection seekingLock_;
  // Guards the pins' peers and types and the graph membership, for readers on any
  // thread that must not wait on filterLock_. Never held while calling out.
  CriticalSection connectionLock_;

 private:
  // The non-delegating unknown as an IUnknown, for the not-aggregated case.
  struct InnerUnknown final : IUnknown {
    InPlaceTransformFilter* self;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      return self->NonDelegatingQueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return self->NonDelegatingAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return self->NonDelegatingRelease(); }
  };

  InnerUnknown inner_;
  std::atomic<ULONG> references_{0};
  CLSID clsid_;
  const FilterSetup* setup_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  REFERENCE_TIME start_ = 0;
  Microsoft::WRL::ComPtr<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;  // not held: the graph holds the filter
  std::wstring graphName_;
  TransformInputPin input_;
  TransformOutputPin output_;

 public:
  // The IUnknown a creator hands out when not aggregated.
  IUnknown* inner() { return &inner_; }
};

}  // namespace kestrun::equalizer
