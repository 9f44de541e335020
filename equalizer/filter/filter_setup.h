// What the filter mapper is told about a filter: name, merit, pins and their media
// types. Used by DllRegisterServer/DllUnregisterServer and by IAMovieSetup.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

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

// The binary record ("FilterData") the mapper keeps for the filter in its category,
// made by the system's own mapper, so an entry can be written where the mapper does
// not write (the user's classes). COM must be initialised on this thread.
HRESULT SerializeFilterSetup(const FilterSetup& setup, std::vector<BYTE>& data);

}  // namespace kestrun::equalizer
