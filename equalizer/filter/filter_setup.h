// What the filter mapper is told about a filter: name, merit, pins and their media
// types. Used by DllRegisterServer/DllUnregisterServer and by IAMovieSetup.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace kestrun::equalizer {

struct FilterSetup {
  const CLSID* clsid;
  const wchar_t* name;
  DWORD merit;
  ULONG pinCount;
  const REGFILTERPINS* pins;
};

// Removes the filter's entry from the mapper and, when `add`, writes it again, so
// registering twice leaves one entry. COM must be initialised on this thread.
// Unregistering a filter that is not registered succeeds.
HRESULT RegisterFilterSetup(const FilterSetup& setup, bool add);

}  // namespace kestrun::equalizer
