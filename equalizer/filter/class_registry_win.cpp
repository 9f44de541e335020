#include "equalizer/filter/class_registry_win.h"

#include <objbase.h>

#include <vector>

namespace kestrun::equalizer {
namespace {

constexpr wchar_t kFriendlyNameValue[] = L"FriendlyName";
constexpr wchar_t kClassValue[] = L"CLSID";
constexpr wchar_t kFilterDataValue[] = L"FilterData";

RegistrationResult FromWin32(LONG error) {
  return error == ERROR_SUCCESS ? kRegistrationOk : static_cast<RegistrationResult>(HRESULT_FROM_WIN32(error));
}

class OpenedKey {
 public:
  OpenedKey() = default;
  ~OpenedKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  LONG Create(HKEY parent, const std::wstring& path) {
    return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key_,
                           nullptr);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring ClassText(REFCLSID classId) {
  wchar_t text[40] = {};
  StringFromGUID2(classId, text, 40);
  return text;
}

}  // namespace

RegistrationResult Win32ClassRegistry::SetString(ClassScope scope, const std::wstring& keyPath,
                                                 const std::wstring& name, const std::wstring& value) {
  OpenedKey key;
  const LONG error = key.Create(Root(scope), keyPath);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return FromWin32(RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.c_str()), bytes));
}

RegistrationResult Win32ClassRegistry::SetBinary(ClassScope scope, const std::wstring& keyPath, const wchar_t* name,
                                                 const BYTE* data, DWORD size) {
  OpenedKey key;
  const LONG error = key.Create(Root(scope), keyPath);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  return FromWin32(RegSetValueExW(key.get(), name, 0, REG_BINARY, data, size));
}

RegistrationResult Win32ClassRegistry::DeleteTree(ClassScope scope, const std::wstring& keyPath) {
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
