#include "equalizer/filter/class_registry_win.h"

#include <objbase.h>

#include <vector>

#include "platform/win32_handles_win.h"

namespace kestrun::equalizer {
namespace {

constexpr wchar_t kFriendlyNameValue[] = L"FriendlyName";
constexpr wchar_t kClassValue[] = L"CLSID";
constexpr wchar_t kFilterDataValue[] = L"FilterData";

RegistrationResult FromWin32(LONG error) {
  return error == ERROR_SUCCESS ? kRegistrationOk : static_cast<RegistrationResult>(HRESULT_FROM_WIN32(error));
}

// Opens (or makes) keyPath below parent for writing.
LONG CreateForWriting(HKEY parent, const std::wstring& keyPath, REGSAM view, platform::RegistryKey& key) {
  HKEY opened = nullptr;
  const LONG error = RegCreateKeyExW(parent, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | view,
                                     nullptr, &opened, nullptr);
  key.reset(opened);
  return error;
}

}  // namespace

std::wstring UserClassesKeyPath() {
  std::wstring path = L"Software\\Classes";
#if !defined(_WIN64)
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) path += L"\\Wow6432Node";
#endif
  return path;
}

RegistrationResult Win32ClassRegistry::SetString(ClassScope scope, const std::wstring& keyPath,
                                                 const std::wstring& name, const std::wstring& value) {
  platform::RegistryKey key;
  const LONG error = CreateForWriting(Root(scope), keyPath, View(scope), key);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return FromWin32(RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.c_str()), bytes));
}

RegistrationResult Win32ClassRegistry::SetBinary(ClassScope scope, const std::wstring& keyPath, const wchar_t* name,
                                                 const BYTE* data, DWORD size) {
  platform::RegistryKey key;
  const LONG error = CreateForWriting(Root(scope), keyPath, View(scope), key);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  return FromWin32(RegSetValueExW(key.get(), name, 0, REG_BINARY, data, size));
}

RegistrationResult Win32ClassRegistry::DeleteTree(ClassScope scope, const std::wstring& keyPath) {
  // Below a root opened in its view, a relative path stays in that view.
  return FromWin32(RegDeleteTreeW(Root(scope), keyPath.c_str()));
}

RegistrationResult Win32ClassRegistry::WriteFilterEntry(ClassScope scope, bool add) {
  if (scope == ClassScope::Machine) {
    // The mapper writes the machine's class root itself; a standard account is
    // refused there with an access error, which sends registration to the user.
    return RegisterFilterSetup(setup_, add);
  }
  const std::wstring clsid = ClassText(*setup_.clsid);
  const std::wstring entryKey = kFilterCategoryInstanceKey + clsid;
  if (!add) return DeleteTree(scope, entryKey);
  std::vector<BYTE> record;
  const HRESULT hr = SerializeFilterSetup(setup_, record);
  if (FAILED(hr)) return hr;
  RegistrationResult result = SetString(scope, entryKey, kFriendlyNameValue, setup_.name);
  if (result >= 0) result = SetString(scope, entryKey, kClassValue, clsid);
  if (result >= 0) {
    result = SetBinary(scope, entryKey, kFilterDataValue, record.data(), static_cast<DWORD>(record.size()));
  }
  return result;
}

}  // namespace kestrun::equalizer
