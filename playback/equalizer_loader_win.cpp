#include "playback/equalizer_loader_win.h"

#include <objbase.h>
#include <wrl/client.h>

#include <vector>

#include "equalizer/iequalizer.h"
#include "platform/shell_path_win.h"

namespace kestrun::playback {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kUserServerKeyPrefix[] = L"Software\\Classes\\CLSID\\";
constexpr wchar_t kServerKeyPrefix[] = L"CLSID\\";
constexpr wchar_t kServerKeySuffix[] = L"\\InprocServer32";

using CanUnloadEntry = HRESULT(STDAPICALLTYPE*)();
using InstallEntry = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

// The module's own registration for the user alone (regsvr32 /n /i:user does the same).
constexpr wchar_t kUserOnlyInstall[] = L"user";

// Server paths are at most MAX_PATH characters (the module writes no longer one).
std::wstring ReadDefault(HKEY root, const std::wstring& path) {
  wchar_t value[2 * MAX_PATH] = {};
  DWORD bytes = sizeof(value) - sizeof(wchar_t);
  if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) return {};
  return value;
}

std::wstring ClassText() {
  wchar_t text[40] = {};
  StringFromGUID2(CLSID_Equalizer, text, 40);
  return text;
}

// The long form of a path, so an 8.3 spelling of the same file compares equal.
std::wstring LongForm(const std::wstring& path) {
  const DWORD needed = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::vector<wchar_t> buffer(needed + 1);
  if (GetLongPathNameW(path.c_str(), buffer.data(), needed + 1) == 0) return path;
  return buffer.data();
}

}  // namespace

std::wstring RegisteredEqualizerPath() {
  const std::wstring clsid = ClassText();
  std::wstring path = ReadDefault(HKEY_CURRENT_USER, kUserServerKeyPrefix + clsid + kServerKeySuffix);
  if (path.empty()) path = ReadDefault(HKEY_CLASSES_ROOT, kServerKeyPrefix + clsid + kServerKeySuffix);
  return path;
}

bool EqualizerRegisteredAt(const std::string& modulePath) {
  const std::wstring registered = RegisteredEqualizerPath();
  if (registered.empty()) return false;
  const int length = MultiByteToWideChar(CP_ACP, 0, modulePath.c_str(), -1, nullptr, 0);
  if (length <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, modulePath.c_str(), -1, wide.data(), length);
  if (lstrcmpiW(registered.c_str(), wide.data()) == 0) return true;
  return lstrcmpiW(LongForm(registered).c_str(), LongForm(wide.data()).c_str()) == 0;
}

HRESULT RegisterEqualizerForUser(const std::string& modulePath) {
  const std::wstring wide = platform::WideFromAnsi(modulePath);
  if (wide.empty()) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  // The full path: the module is never looked for anywhere but where it was named.
  const platform::ModuleHandle module(LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  const auto install =
      reinterpret_cast<InstallEntry>(reinterpret_cast<void*>(GetProcAddress(module.get(), "DllInstall")));
  if (install == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  return install(TRUE, kUserOnlyInstall);
}

HRESULT EqualizerModule::Create(const std::string& modulePath, IBaseFilter** filter) {
  *filter = nullptr;
  if (!module_) {
    // The full path: the module is never looked for anywhere but next to the program.
    module_.reset(LoadLibraryExA(modulePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module_) return HRESULT_FROM_WIN32(GetLastError());
  }
  const auto getClassObject = reinterpret_cast<GetClassObjectEntry>(GetProcAddress(module_.get(), "DllGetClassObject"));
  if (getClassObject == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(CLSID_Equalizer, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
  if (FAILED(hr)) return hr;
  if (pageClassCookie_ == 0) RegisterPageClass(getClassObject, *filter);
  return hr;
}

void EqualizerModule::RegisterPageClass(GetClassObjectEntry getClassObject, IBaseFilter* filter) {
  // The page the filter names, from the module's own factory. Without it only the
  // property frame goes without its page; the filter works.
  ComPtr<ISpecifyPropertyPages> pages;
  CAUUID named{};
  if (FAILED(filter->QueryInterface(IID_PPV_ARGS(&pages))) || FAILED(pages->GetPages(&named))) return;
  const platform::CoTaskMem<GUID> held(named.pElems);
  ComPtr<IClassFactory> pageFactory;
  if (named.cElems == 0 || FAILED(getClassObject(named.pElems[0], IID_IClassFactory,
                                                 reinterpret_cast<void**>(pageFactory.GetAddressOf())))) {
    return;
  }
  if (FAILED(CoRegisterClassObject(named.pElems[0], pageFactory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                   &pageClassCookie_))) {
    pageClassCookie_ = 0;
  }
}

void EqualizerModule::Unload() {
  if (pageClassCookie_ != 0) {
    CoRevokeClassObject(pageClassCookie_);
    pageClassCookie_ = 0;
  }
  if (!module_) return;
  const auto canUnload = reinterpret_cast<CanUnloadEntry>(GetProcAddress(module_.get(), "DllCanUnloadNow"));
  // An object still alive keeps its code loaded for the rest of the run.
  if (canUnload != nullptr && canUnload() == S_OK) {
    module_.reset();
  } else {
    module_.release();
  }
}

}  // namespace kestrun::playback
