#include "equalizer/filter/filter_setup.h"

#include <uuids.h>
#include <wrl/client.h>

namespace kestrun::equalizer {

// The mapper's converter between a REGFILTER2 and its stored form; the headers do
// not carry it. Declared outside the unnamed namespace: with internal linkage the
// compiler may treat its pure methods as never overridden and call them directly.
// {97F7C4D4-547B-4A5F-8332-536430AD2E4D}
constexpr IID kIidFilterData = {0x97F7C4D4, 0x547B, 0x4A5F, {0x83, 0x32, 0x53, 0x64, 0x30, 0xAD, 0x2E, 0x4D}};
struct IAMFilterData : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ParseFilterData(BYTE* data, ULONG size, BYTE** filter) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFilterData(REGFILTER2* filter, BYTE** data, ULONG* size) = 0;
};

namespace {

using Microsoft::WRL::ComPtr;

REGFILTER2 VersionOneRecord(const FilterSetup& setup) {
  REGFILTER2 filter = {};
  filter.dwVersion = 1;
  filter.dwMerit = setup.merit;
  filter.cPins = setup.pinCount;
  filter.rgPins = setup.pins;
  return filter;
}

bool IsNotFound(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

HRESULT RegisterWithMapper2(IFilterMapper2* mapper, const FilterSetup& setup, bool add) {
  // The default category (legacy DirectShow filters) is the one a null category
  // selects.
  HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, *setup.clsid);
  if (FAILED(hr) && !IsNotFound(hr)) {
    return hr;
  }
  if (!add) {
    return S_OK;
  }
  REGFILTER2 filter = VersionOneRecord(setup);
  return mapper->RegisterFilter(*setup.clsid, setup.name, nullptr, nullptr, nullptr, &filter);
}

// Older systems only offer the first mapper interface, which registers pin by pin.
HRESULT RegisterWithMapper(IFilterMapper* mapper, const FilterSetup& setup, bool add) {
  HRESULT hr = mapper->UnregisterFilter(*setup.clsid);
  if (FAILED(hr) && !IsNotFound(hr)) {
    return hr;
  }
  if (!add) {
    return S_OK;
  }
  hr = mapper->RegisterFilter(*setup.clsid, setup.name, setup.merit);
  for (ULONG i = 0; SUCCEEDED(hr) && i < setup.pinCount; ++i) {
    const REGFILTERPINS& pin = setup.pins[i];
    hr = mapper->RegisterPin(*setup.clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                             *pin.clsConnectsToFilter, pin.strConnectsToPin);
    for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
      hr = mapper->RegisterPinType(*setup.clsid, pin.strName, *pin.lpMediaType[t].clsMajorType,
                                   *pin.lpMediaType[t].clsMinorType);
    }
  }
  if (FAILED(hr)) {
    mapper->UnregisterFilter(*setup.clsid);
  }
  return hr;
}

}  // namespace

HRESULT RegisterFilterSetup(const FilterSetup& setup, bool add) {
  ComPtr<IFilterMapper2> mapper2;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper2));
  if (SUCCEEDED(hr)) {
    return RegisterWithMapper2(mapper2.Get(), setup, add);
  }
  ComPtr<IFilterMapper> mapper;
  hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
  if (FAILED(hr)) {
    return hr;
  }
  return RegisterWithMapper(mapper.Get(), setup, add);
}

HRESULT SerializeFilterSetup(const FilterSetup& setup, std::vector<BYTE>& data) {
  data.clear();
  ComPtr<IUnknown> mapper;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
  if (FAILED(hr)) return hr;
  ComPtr<IAMFilterData> converter;
  hr = mapper->QueryInterface(kIidFilterData, reinterpret_cast<void**>(converter.GetAddressOf()));
  if (FAILED(hr)) return hr;
  // The converter takes the second record version (Wine's reads only that one).
  std::vector<REGFILTERPINS2> pins(setup.pinCount);
  for (ULONG i = 0; i < setup.pinCount; ++i) {
    const REGFILTERPINS& pin = setup.pins[i];
    REGFILTERPINS2& out = pins[i];
    out = REGFILTERPINS2{};
    out.dwFlags = (pin.bZero ? REG_PINFLAG_B_ZERO : 0) | (pin.bRendered ? REG_PINFLAG_B_RENDERER : 0) |
                  (pin.bMany ? REG_PINFLAG_B_MANY : 0) | (pin.bOutput ? REG_PINFLAG_B_OUTPUT : 0);
    // One instance of a pin that cannot have many, as the mapper records a first-version pin.
    out.cInstances = pin.bMany ? 0 : 1;
    out.nMediaTypes = pin.nMediaTypes;
    out.lpMediaType = pin.lpMediaType;
  }
  REGFILTER2 filter = {};
  filter.dwVersion = 2;
  filter.dwMerit = setup.merit;
  filter.cPins2 = setup.pinCount;
  filter.rgPins2 = pins.empty() ? nullptr : pins.data();
  BYTE* bytes = nullptr;
  ULONG size = 0;
  hr = converter->CreateFilterData(&filter, &bytes, &size);
  if (FAILED(hr)) return hr;
  if (bytes == nullptr || size == 0) {
    CoTaskMemFree(bytes);
    return E_UNEXPECTED;
  }
  data.assign(bytes, bytes + size);
  CoTaskMemFree(bytes);
  return S_OK;
}

}  // namespace kestrun::equalizer
