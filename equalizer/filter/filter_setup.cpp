#include "equalizer/filter/filter_setup.h"

#include <uuids.h>
#include <wrl/client.h>

namespace kestrun::equalizer {
namespace {

using Microsoft::WRL::ComPtr;

bool IsNotFound(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
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
  REGFILTER2 filter = {};
  filter.dwVersion = 1;
  filter.dwMerit = setup.merit;
  filter.cPins = setup.pinCount;
  filter.rgPins = setup.pins;
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
    hr = mapper->RegisterPin(*setup.clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero,
                             pin.bMany, *pin.clsConnectsToFilter, pin.strConnectsToPin);
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
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&mapper2));
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

}  // namespace kestrun::equalizer
