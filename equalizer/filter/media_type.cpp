#include "equalizer/filter/media_type.h"

#include <cstring>

namespace kestrun::equalizer {

void FreeMediaTypeContents(AM_MEDIA_TYPE& type) {
  if (type.pbFormat != nullptr) {
    CoTaskMemFree(type.pbFormat);
  }
  if (type.pUnk != nullptr) {
    type.pUnk->Release();
  }
  std::memset(&type, 0, sizeof type);
}

HRESULT CopyMediaTypeContents(AM_MEDIA_TYPE& out, const AM_MEDIA_TYPE& in) {
  out = in;
  out.pbFormat = nullptr;
  out.cbFormat = 0;
  if (in.cbFormat != 0 && in.pbFormat != nullptr) {
    out.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(in.cbFormat));
    if (out.pbFormat == nullptr) {
      std::memset(&out, 0, sizeof out);
      return E_OUTOFMEMORY;
    }
    std::memcpy(out.pbFormat, in.pbFormat, in.cbFormat);
    out.cbFormat = in.cbFormat;
  }
  if (out.pUnk != nullptr) {
    out.pUnk->AddRef();
  }
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaTypeCopy(const AM_MEDIA_TYPE& in) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type == nullptr) {
    return nullptr;
  }
  if (FAILED(CopyMediaTypeContents(*type, in))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

void DeleteMediaTypeCopy(AM_MEDIA_TYPE* type) {
  if (type != nullptr) {
    FreeMediaTypeContents(*type);
    CoTaskMemFree(type);
  }
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype ||
      a.cbFormat != b.cbFormat) {
    return false;
  }
  if (a.cbFormat == 0) {
    return true;
  }
  if (a.pbFormat == nullptr || b.pbFormat == nullptr) {
    return a.pbFormat == b.pbFormat;
  }
  return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial) {
  if (partial.majortype != GUID_NULL && partial.majortype != candidate.majortype) {
    return false;
  }
  if (partial.subtype != GUID_NULL && partial.subtype != candidate.subtype) {
    return false;
  }
  if (partial.formattype != GUID_NULL) {
    if (partial.formattype != candidate.formattype || partial.cbFormat != candidate.cbFormat) {
      return false;
    }
    if (partial.cbFormat != 0 && (partial.pbFormat == nullptr || candidate.pbFormat == nullptr ||
                                  std::memcmp(partial.pbFormat, candidate.pbFormat, partial.cbFormat) != 0)) {
      return false;
    }
  }
  return true;
}

bool MediaTypeIsFullySpecified(const AM_MEDIA_TYPE& type) {
  return type.majortype != GUID_NULL && type.subtype != GUID_NULL && type.formattype != GUID_NULL;
}

MediaType::MediaType() { std::memset(&type_, 0, sizeof type_); }

MediaType::MediaType(const AM_MEDIA_TYPE& type) : MediaType() { Set(type); }

MediaType::MediaType(const MediaType& other) : MediaType() { Set(other.type_); }

MediaType& MediaType::operator=(const MediaType& other) {
  if (this != &other) {
    Set(other.type_);
  }
  return *this;
}

MediaType::~MediaType() { FreeMediaTypeContents(type_); }

HRESULT MediaType::Set(const AM_MEDIA_TYPE& type) {
  AM_MEDIA_TYPE copy;
  HRESULT hr = CopyMediaTypeContents(copy, type);
  if (FAILED(hr)) {
    return hr;
  }
  FreeMediaTypeContents(type_);
  type_ = copy;
  return S_OK;
}

void MediaType::Clear() { FreeMediaTypeContents(type_); }

}  // namespace kestrun::equalizer
