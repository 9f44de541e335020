// AM_MEDIA_TYPE with value semantics: the format block and the unknown it may carry
// are owned and deep-copied, so pins and enumerators can hold types without
// tracking who frees what.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace kestrun::equalizer {

// Frees what a media type points to (format block, pUnk) and clears it.
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);
// Deep copy into an empty type. E_OUTOFMEMORY leaves `out` empty.
HRESULT CopyMediaTypeContents(AM_MEDIA_TYPE& out, const AM_MEDIA_TYPE& in);
// A CoTaskMem-allocated deep copy, as IEnumMediaTypes::Next hands them out.
AM_MEDIA_TYPE* CreateMediaTypeCopy(const AM_MEDIA_TYPE& in);
// Frees a type from CreateMediaTypeCopy or from another component.
void DeleteMediaTypeCopy(AM_MEDIA_TYPE* type);

// Same major type, subtype, format type and identical format bytes.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// Whether `candidate` fits a partial type whose GUID_NULL fields are wildcards.
bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial);
bool MediaTypeIsFullySpecified(const AM_MEDIA_TYPE& type);

class MediaType {
 public:
  MediaType();
  explicit MediaType(const AM_MEDIA_TYPE& type);
  MediaType(const MediaType& other);
  MediaType& operator=(const MediaType& other);
  ~MediaType();

  HRESULT Set(const AM_MEDIA_TYPE& type);
  void Clear();
  bool empty() const { return type_.majortype == GUID_NULL; }
  const AM_MEDIA_TYPE& get() const { return type_; }
  const AM_MEDIA_TYPE* operator->() const { return &type_; }

 private:
  AM_MEDIA_TYPE type_;
};

}  // namespace kestrun::equalizer
