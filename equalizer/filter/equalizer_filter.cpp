#include "equalizer/filter/equalizer_filter.h"

#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <new>

#include "equalizer/filter/module.h"
#include "equalizer/filter/persist_number.h"
#include "platform/com_object_win.h"

namespace kestrun::equalizer {

namespace {

const REGPINTYPES kPinTypes = {&MEDIATYPE_Audio, &MEDIASUBTYPE_NULL};
const REGFILTERPINS kPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_Equalizer, L"", 1, &kPinTypes},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_Equalizer, L"", 1, &kPinTypes},
};

HRESULT WriteNumber(IStream* stream, int value) {
  const auto units = FormatPersistedNumber(value);
  ULONG written = 0;
  HRESULT hr = stream->Write(units.data(), kPersistedNumberBytes, &written);
  if (FAILED(hr)) {
    return hr;
  }
  return written == kPersistedNumberBytes ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT ReadNumber(IStream* stream, int* value) {
  PersistedNumberReader reader;
  for (;;) {
    char16_t unit = 0;
    ULONG read = 0;
    HRESULT hr = stream->Read(&unit, sizeof unit, &read);
    if (FAILED(hr)) {
      return hr;
    }
    if (read != sizeof unit) {
      return VFW_E_INVALID_FILE_FORMAT;  // the data ends inside a number
    }
    switch (reader.Feed(unit)) {
      case PersistedNumberReader::Step::More:
        continue;
      case PersistedNumberReader::Step::Done:
        *value = reader.value();
        return S_OK;
      case PersistedNumberReader::Step::Malformed:
        return VFW_E_INVALID_FILE_FORMAT;
    }
  }
}

}  // namespace

const FilterSetup kEqualizerSetup = {&CLSID_Equalizer, kEqualizerFilterName, MERIT_DO_NOT_USE, 2, kPins};

HRESULT CEqualizer::Create(IUnknown* outer, IUnknown** inner) {
  *inner = nullptr;
  auto* filter = new (std::nothrow) CEqualizer(outer);
  if (filter == nullptr) {
    return E_OUTOFMEMORY;
  }
  filter->NonDelegatingAddRef();
  *inner = filter->inner();
  return S_OK;
}

CEqualizer::CEqualizer(IUnknown* outer) : InPlaceTransformFilter(outer, CLSID_Equalizer, &kEqualizerSetup) {
  std::fill(std::begin(bands_), std::end(bands_), kBandValueFlat);
  ModuleObjectCreated();
}

CEqualizer::~CEqualizer() { ModuleObjectDestroyed(); }

HRESULT CEqualizer::NonDelegatingQueryInterface(REFIID iid, void** out) {
  const HRESULT own =
      platform::QueryInterfaceFrom(iid, out,
                                   {{&IID_IEqualizer, static_cast<IEqualizer*>(this)},
                                    {&IID_IPersistStream, static_cast<IPersistStream*>(this)},
                                    {&IID_ISpecifyPropertyPages, static_cast<ISpecifyPropertyPages*>(this)},
                                    {&IID_IEqualizerSwitches, static_cast<IEqualizerSwitches*>(this)}});
  if (own != E_NOINTERFACE) return own;
  return InPlaceTransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT CEqualizer::GetPages(CAUUID* pages) {
  if (pages == nullptr) {
    return E_POINTER;
  }
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (pages->pElems == nullptr) {
    return E_OUTOFMEMORY;
  }
  pages->pElems[0] = CLSID_EqualizerPropertyPage;
  pages->cElems = 1;
  return S_OK;
}

HRESULT CEqualizer::GetSwitches(BOOL* equalizerOn, BOOL* voiceRemovalOn) {
  if (equalizerOn == nullptr || voiceRemovalOn == nullptr) {
    return E_POINTER;
  }
  *equalizerOn = equalizerOn_.load();
  *voiceRemovalOn = voiceRemovalOn_.load();
  return S_OK;
}

// --- IEqualizer ------------------------------------------------------------------
// Each method holds the filter lock for its whole run, so Transform never sees half
// a band update. A null array is refused rather than dereferenced.

HRESULT CEqualizer::GetBands(int* bands) {
  if (bands == nullptr) {
    return E_POINTER;
  }
  Lock lock(eqLock_);
  std::copy(std::begin(bands_), std::end(bands_), bands);
  return S_OK;
}

HRESULT CEqualizer::SetBands(int* bands) {
  if (bands == nullptr) {
    return E_POINTER;
  }
  Lock lock(eqLock_);
  std::copy(bands, bands + kEqualizerBandCount, bands_);
  RecomputeBands(banks_, bands_);
  dirty_ = true;
  return S_OK;
}

HRESULT CEqualizer::ResetBands() {
  Lock lock(eqLock_);
  std::fill(std::begin(bands_), std::end(bands_), kBandValueFlat);
  RecomputeBands(banks_, bands_);
  dirty_ = true;
  return S_OK;
}

HRESULT CEqualizer::EnableEqualizer(BOOL enable) {
  Lock lock(eqLock_);
  equalizerOn_ = enable;
  dirty_ = true;
  return S_OK;
}

HRESULT CEqualizer::EnableVoiceRemoval(BOOL enable) {
  Lock lock(eqLock_);
  voiceRemovalOn_ = enable;
  dirty_ = true;
  return S_OK;
}

// --- media types and samples -------------------------------------------------------

HRESULT CEqualizer::CheckInputType(const AM_MEDIA_TYPE& type) {
  // A PCM format block may be the 16-byte PCMWAVEFORMAT without cbSize.
  if (type.majortype != MEDIATYPE_Audio || type.formattype != FORMAT_WaveFormatEx || type.pbFormat == nullptr ||
      type.cbFormat < sizeof(PCMWAVEFORMAT)) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  if (format->wFormatTag != WAVE_FORMAT_PCM || format->wBitsPerSample != 16) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

void CEqualizer::StoreFormat(const AM_MEDIA_TYPE& type) {
  const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  blockAlign_ = format->nBlockAlign;
  bytesPerSample_ = format->wBitsPerSample / 8;
}

HRESULT CEqualizer::SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) {
  if (FAILED(CheckInputType(type))) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  {
    // The coefficients are computed before the first sample can arrive. The filter
    // lock keeps a concurrent SetBands from being overwritten with older values.
    Lock lock(eqLock_);
    StoreFormat(type);
    RecomputeBands(banks_, bands_);
  }
  // An output type that differs from the input's means the upstream filter has to
  // switch too: ask the graph to reconnect our input with it.
  if (direction == PINDIR_OUTPUT && input().IsConnected() && output().IsConnected() &&
      !MediaTypesEqual(type, input().type().get())) {
    Microsoft::WRL::ComPtr<IFilterGraph> graph = this->graph();
    if (graph) {
      graph->Reconnect(&input());
    }
  }
  return S_OK;
}

void CEqualizer::StreamTypeChanged(const AM_MEDIA_TYPE& type) {
  Lock lock(eqLock_);
  StoreFormat(type);
}

HRESULT CEqualizer::Transform(IMediaSample* sample) {
  // The flags are read without the lock: a change applies from the next sample.
  const bool equalize = equalizerOn_ != FALSE;
  const bool removeVoice = voiceRemovalOn_ != FALSE;
  if (!equalize && !removeVoice) {
    return S_OK;
  }
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || data == nullptr) {
    return S_OK;
  }
  const long length = sample->GetActualDataLength();
  const int bytesPerSample = bytesPerSample_;
  const int blockAlign = blockAlign_;
  if (equalize) {
    Lock lock(eqLock_);
    EqualizeSample(banks_, data, length, bytesPerSample, blockAlign);
  }
  if (removeVoice) {
    RemoveVoice(data, length, bytesPerSample, blockAlign);
  }
  return S_OK;
}

// --- persistence -------------------------------------------------------------------

HRESULT CEqualizer::GetClassID(CLSID* clsid) { return InPlaceTransformFilter::GetClassID(clsid); }

HRESULT CEqualizer::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT CEqualizer::Load(IStream* stream) {
  if (stream == nullptr) {
    return E_POINTER;
  }
  int version = 0;
  HRESULT hr = ReadNumber(stream, &version);
  if (FAILED(hr)) {
    return hr;
  }
  hr = ReadFromStream(stream);
  if (SUCCEEDED(hr)) {
    dirty_ = false;
  }
  return hr;
}

HRESULT CEqualizer::Save(IStream* stream, BOOL clearDirty) {
  if (stream == nullptr) {
    return E_POINTER;
  }
  HRESULT hr = WriteNumber(stream, kSoftwareVersion);
  if (SUCCEEDED(hr)) {
    hr = WriteToStream(stream);
  }
  if (SUCCEEDED(hr)) {
    dirty_ = !clearDirty;
  }
  return hr;
}

HRESULT CEqualizer::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) {
    return E_POINTER;
  }
  size->QuadPart = kSizeMax + kPersistedNumberBytes;
  return S_OK;
}

HRESULT CEqualizer::WriteToStream(IStream* stream) {
  int values[kEqualizerBandCount + 2];
  {
    Lock lock(eqLock_);
    std::copy(std::begin(bands_), std::end(bands_), values);
    values[kEqualizerBandCount] = equalizerOn_;
    values[kEqualizerBandCount + 1] = voiceRemovalOn_;
  }
  for (int value : values) {
    HRESULT hr = WriteNumber(stream, value);
    if (FAILED(hr)) {
      return hr;
    }
  }
  return S_OK;
}

HRESULT CEqualizer::ReadFromStream(IStream* stream) {
  // Numbers already read stay in place when a later one fails.
  for (int i = 0; i < kEqualizerBandCount + 2; ++i) {
    int value = 0;
    HRESULT hr = ReadNumber(stream, &value);
    if (FAILED(hr)) {
      return hr;
    }
    Lock lock(eqLock_);
    if (i < kEqualizerBandCount) {
      bands_[i] = value;
    } else if (i == kEqualizerBandCount) {
      equalizerOn_ = value;
    } else {
      voiceRemovalOn_ = value;
    }
  }
  Lock lock(eqLock_);
  RecomputeBands(banks_, bands_);
  return S_OK;
}

}  // namespace kestrun::equalizer
