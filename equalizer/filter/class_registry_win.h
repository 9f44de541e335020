// The registry behind ClassRegistry: two class roots (the machine's and the user's)
// given as open keys, and the filter's category entry written through the system's
// mapper machine-wide, or as the mapper's own record in the user's classes, where
// the mapper itself does not write.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

#include "equalizer/filter/class_registration.h"
#include "equalizer/filter/filter_setup.h"

namespace kestrun::equalizer {

// A class id as its registry key name, "{XXXXXXXX-...}".
inline std::wstring ClassText(REFCLSID classId) {
  wchar_t text[40] = {};
  StringFromGUID2(classId, text, 40);
  return text;
}

// The category every ordinary DirectShow filter is listed in, as a key path.
inline constexpr wchar_t kFilterCategoryInstanceKey[] =
    L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\";

class Win32ClassRegistry final : public ClassRegistry {
 public:
  // The keys stay the caller's; they must outlive this object. COM must be
  // initialised on the calling thread for WriteFilterEntry.
  Win32ClassRegistry(HKEY machineRoot, HKEY userRoot, const FilterSetup& setup)
      : machineRoot_(machineRoot), userRoot_(userRoot), setup_(setup) {}

  RegistrationResult SetString(ClassScope scope, const std::wstring& keyPath, const std::wstring& name,
                               const std::wstring& value) override;
  RegistrationResult DeleteTree(ClassScope scope, const std::wstring& keyPath) override;
  RegistrationResult WriteFilterEntry(ClassScope scope, bool add) override;

 private:
  HKEY Root(ClassScope scope) const { return scope == ClassScope::Machine ? machineRoot_ : userRoot_; }
  RegistrationResult SetBinary(ClassScope scope, const std::wstring& keyPath, const wchar_t* name,
                               const BYTE* data, DWORD size);

  HKEY machineRoot_;
  HKEY userRoot_;
  const FilterSetup& setup_;
};

}  // namespace kestrun::equalizer
