// Self-registration: the COM class keys and the filter's category entry, in the
// machine's class root where this account may write it and in the user's own
// classes where it may not. DllInstall with "user" registers for the user alone
// (regsvr32 /n /i:user), as a per-user install wants.
#include <windows.h>
#include <objbase.h>

#include <iterator>
#include <string>

#include "equalizer/filter/class_registration.h"
#include "equalizer/filter/class_registry_win.h"
#include "equalizer/filter/equalizer_filter.h"
#include "equalizer/filter/module.h"
#include "equalizer/filter/property_page.h"
#include "platform/limits.h"
#include "platform/win32_handles_win.h"

namespace kestrun::equalizer {
namespace {

constexpr wchar_t kMachineClassesKey[] = L"Software\\Classes";
constexpr wchar_t kUserOnlyCommand[] = L"user";

HRESULT FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

// A class root opened for writing where the account may; otherwise for reading, so
// the writes through it are refused as they would be on the key itself.
LONG OpenClassRoot(HKEY parent, const wchar_t* path, REGSAM view, platform::RegistryKey& key) {
  HKEY opened = nullptr;
  LONG error = RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE | view, nullptr,
                               &opened, nullptr);
  if (error == ERROR_ACCESS_DENIED) error = RegOpenKeyExW(parent, path, 0, KEY_READ | view, &opened);
  key.reset(opened);
  return error;
}

HRESULT ModulePath(std::wstring& path) {
  wchar_t buffer[platform::kPathCapacity] = {};
  const DWORD length = GetModuleFileNameW(ModuleHandle(), buffer, static_cast<DWORD>(platform::kPathCapacity));
  if (length == 0) return FromWin32(static_cast<LONG>(GetLastError()));
  // A cut-off path would register a server that cannot be found.
  if (length >= platform::kPathCapacity) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  path.assign(buffer, length);
  return S_OK;
}

// The mapper needs COM on this thread; regsvr32 gives none.
class ComForRegistration {
 public:
  ComForRegistration() : init_(CoInitialize(nullptr)) {}
  ~ComForRegistration() {
    CoFreeUnusedLibraries();
    if (SUCCEEDED(init_)) CoUninitialize();
  }
  ComForRegistration(const ComForRegistration&) = delete;
  ComForRegistration& operator=(const ComForRegistration&) = delete;

 private:
  HRESULT init_;
};

HRESULT Register(bool add, RegistrationPlace place) {
  ServerModule module;
  HRESULT hr = ModulePath(module.path);
  if (FAILED(hr)) return hr;
  // The property page is a class of its own, created by the hosts that show it.
  module.classes = {{ClassText(CLSID_Equalizer), kEqualizerFilterName},
                    {ClassText(CLSID_EqualizerPropertyPage), kPropertyPageName}};
  platform::RegistryKey machine;
  if (place == RegistrationPlace::MachineOrUser) {
    const LONG error = OpenClassRoot(HKEY_LOCAL_MACHINE, kMachineClassesKey, 0, machine);
    if (error != ERROR_SUCCESS) return FromWin32(error);
  }
  platform::RegistryKey user;
  const LONG error = OpenClassRoot(HKEY_CURRENT_USER, UserClassesKeyPath().c_str(), kUserClassesAccess, user);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  ComForRegistration com;
  Win32ClassRegistry registry(machine.get(), user.get(), kEqualizerSetup);
  return add ? RegisterServer(registry, module, place) : UnregisterServer(registry, module, place);
}

}  // namespace
}  // namespace kestrun::equalizer

using namespace kestrun::equalizer;

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return Register(true, RegistrationPlace::MachineOrUser); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return Register(false, RegistrationPlace::MachineOrUser); }

// "user" registers (or unregisters) in the user's classes only; anything else is
// the same as DllRegisterServer (DllUnregisterServer).
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  const bool userOnly = commandLine != nullptr && lstrcmpiW(commandLine, kUserOnlyCommand) == 0;
  return Register(install != FALSE, userOnly ? RegistrationPlace::UserOnly : RegistrationPlace::MachineOrUser);
}
