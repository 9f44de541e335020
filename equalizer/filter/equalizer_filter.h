// CEqualizer: the in-place audio filter that runs the fifteen-band equalizer and
// the voice-removal pass over 16-bit PCM, controlled through IEqualizer and saved
// through IPersistStream.
//
// Locks: eqLock_ (the filter lock of the control interface) serialises every
// IEqualizer method, the saved-state reader and coefficient updates against the
// equalizer pass of Transform. It is always the innermost of the filter's own
// locks; the band sections take their own locks inside it.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <ocidl.h>

#include <atomic>

#include "equalizer/dsp/equalizer_dsp.h"
#include "equalizer/filter/property_page.h"
#include "equalizer/filter/transform_base.h"
#include "equalizer/iequalizer.h"

namespace kestrun::equalizer {

// The mapper entry: never inserted by the graph builder on its own.
extern const FilterSetup kEqualizerSetup;

class CEqualizer final : public InPlaceTransformFilter,
                         public IEqualizer,
                         public IPersistStream,
                         public ISpecifyPropertyPages,
                         public IEqualizerSwitches {
 public:
  // Makes a filter for `outer` (may be null) and returns its inner unknown with one
  // reference, or E_OUTOFMEMORY and no object.
  static HRESULT Create(IUnknown* outer, IUnknown** inner);

  explicit CEqualizer(IUnknown* outer);
  ~CEqualizer() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;

  // IEqualizer
  HRESULT STDMETHODCALLTYPE GetBands(int* bands) override;
  HRESULT STDMETHODCALLTYPE SetBands(int* bands) override;
  HRESULT STDMETHODCALLTYPE ResetBands() override;
  HRESULT STDMETHODCALLTYPE EnableEqualizer(BOOL enable) override;
  HRESULT STDMETHODCALLTYPE EnableVoiceRemoval(BOOL enable) override;

  // ISpecifyPropertyPages: the filter's own page.
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
  // IEqualizerSwitches (for the page)
  HRESULT STDMETHODCALLTYPE GetSwitches(BOOL* equalizerOn, BOOL* voiceRemovalOn) override;

  // IPersist (shared by the filter and the stream persistence)
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  // IPersistStream
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

 protected:
  HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) override;
  HRESULT Transform(IMediaSample* sample) override;
  void StreamTypeChanged(const AM_MEDIA_TYPE& type) override;

 private:
  // Bytes the seventeen numbers of WriteToStream take.
  static constexpr int kSizeMax = 17 * 24;
  static constexpr int kSoftwareVersion = 0;

  HRESULT WriteToStream(IStream* stream);
  HRESULT ReadFromStream(IStream* stream);
  void StoreFormat(const AM_MEDIA_TYPE& type);

  std::atomic<int> bytesPerSample_{0};
  std::atomic<WORD> blockAlign_{0};
  int bands_[kEqualizerBandCount];
  std::atomic<BOOL> equalizerOn_{FALSE};
  std::atomic<BOOL> voiceRemovalOn_{FALSE};
  CriticalSection eqLock_;
  SectionBanks banks_;
  std::atomic<bool> dirty_{false};
};

}  // namespace kestrun::equalizer
