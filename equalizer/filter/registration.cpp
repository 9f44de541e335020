// Self-registration: the COM class keys and the filter mapper entry.
#include <windows.h>
#include <objbase.h>

#include <iterator>
#include <string>

#include "equalizer/filter/equalizer_filter.h"
#include "equalizer/filter/module.h"
#include "platform/limits.h"

namespace kestrun::equalizer {
namespace {

constexpr wchar_t kClassKeyFormat[] = L"CLSID\\%ls";
constexpr wchar_t kInprocServerKey[] = L"InprocServer32";
constexpr wchar_t kThreadingModelValue[] = L"ThreadingModel";
constexpr wchar_t kThreadingModel[] = L"Both";

HRESULT FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) {
      RegCloseKey(key_);
    }
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  LONG Create(HKEY parent, const wchar_t* path) {
    return RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                           &key_, nullptr);
  }
  LONG SetString(const wchar_t* name, const wchar_t* value) {
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring ClassKeyPath(REFCLSID classId) {
  wchar_t clsid[40] = {};
  StringFromGUID2(classId, clsid, 40);
  wchar_t path[64] = {};
  _snwprintf(path, 63, kClassKeyFormat, clsid);
  return path;
}

HRESULT WriteClassKeys(REFCLSID classId, const wchar_t* name) {
  wchar_t modulePath[platform::kPathCapacity] = {};
  const DWORD length =
      GetModuleFileNameW(ModuleHandle(), modulePath, static_cast<DWORD>(std::size(modulePath)));
  if (length == 0) {
    return FromWin32(static_cast<LONG>(GetLastError()));
  }
  if (length >= std::size(modulePath)) {
    // A cut-off path would register a server that cannot be found.
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  }
  RegistryKey classKey;
  LONG error = classKey.Create(HKEY_CLASSES_ROOT, ClassKeyPath(classId).c_str());
  if (error == ERROR_SUCCESS) {
    error = classKey.SetString(nullptr, name);
  }
  RegistryKey serverKey;
  if (error == ERROR_SUCCESS) {
    error = serverKey.Create(classKey.get(), kInprocServerKey);
  }
  if (error == ERROR_SUCCESS) {
    error = serverKey.SetString(nullptr, modulePath);
  }
  if (error == ERROR_SUCCESS) {
    error = serverKey.SetString(kThreadingModelValue, kThreadingModel);
  }
  return FromWin32(error);
}

HRESULT DeleteClassKeys(REFCLSID classId) {
  const LONG error = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath(classId).c_str());
  // Nothing registered is what unregistering wants.
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return S_OK;
  }
  return FromWin32(error);
}

// The mapper step runs in its own COM apartment, as regsvr32 gives none.
HRESULT RunMapperStep(bool add) {
  const HRESULT init = CoInitialize(nullptr);
  HRESULT hr = RegisterFilterSetup(kEqualizerSetup, add);
  CoFreeUnusedLibraries();
  if (SUCCEEDED(init)) {
    CoUninitialize();
  }
  return hr;
}

}  // namespace
}  // namespace kestrun::equalizer

using namespace kestrun::equalizer;

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  HRESULT hr = WriteClassKeys(CLSID_Equalizer, kEqualizerFilterName);
  if (FAILED(hr)) {
    return hr;
  }
  // The property page is a class of its own, created by the hosts that show it.
  hr = WriteClassKeys(CLSID_EqualizerPropertyPage, kPropertyPageName);
  if (FAILED(hr)) {
    return hr;
  }
  return RunMapperStep(true);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HRESULT hr = RunMapperStep(false);
  if (FAILED(hr)) {
    return hr;
  }
  hr = DeleteClassKeys(CLSID_EqualizerPropertyPage);
  if (FAILED(hr)) {
    return hr;
  }
  return DeleteClassKeys(CLSID_Equalizer);
}
