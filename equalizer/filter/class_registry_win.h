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
inline constexpr wchar_t kFilterCategoryInstanceKey[] = L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\";

// The user's class root of this module's own bitness, below HKEY_CURRENT_USER. A
// 32-bit module on 64-bit Windows registers in the user's 32-bit view
// ("Software\\Classes\\Wow6432Node"), so a 32-bit and a 64-bit Equalizer.ax registered
// side by side do not overwrite each other. Windows redirects a 32-bit process there
// by itself; Wine does not redirect the user's classes, so the path is spelled out
// and opened with kUserClassesAccess, which names the same key in either view.
std::wstring UserClassesKeyPath();
inline constexpr REGSAM kUserClassesAccess = KEY_WOW64_64KEY;

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
  // The machine's classes are left to the system's own redirection (the mapper
  // writes there too); the user's are opened as UserClassesKeyPath says.
  REGSAM View(ClassScope scope) const { return scope == ClassScope::Machine ? 0 : kUserClassesAccess; }
  RegistrationResult SetBinary(ClassScope scope, const std::wstring& keyPath, const wchar_t* name, const BYTE* data,
                               DWORD size);

  HKEY machineRoot_;
  HKEY userRoot_;
  const FilterSetup& setup_;
};

}  // namespace kestrun::equalizer
