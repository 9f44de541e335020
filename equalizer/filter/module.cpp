// The in-process server's entry points: DllMain, the class factory,
// DllGetClassObject and DllCanUnloadNow.
#include "equalizer/filter/module.h"

#include <atomic>

#include "equalizer/filter/equalizer_filter.h"
#include "equalizer/filter/property_page.h"
#include "platform/com_object_win.h"

namespace kestrun::equalizer {
namespace {

HMODULE module = nullptr;
DWORD platformId = 0;  // of the running system, as told at load time
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

// A factory per class (the filter and its property page), living as long as the
// module. References to one keep the module loaded like any other object, so a
// client holding it without LockServer is safe.
class EqualizerFactory final : public platform::ComInterfaces<IClassFactory> {
 public:
  using CreateFunction = HRESULT (*)(IUnknown* outer, IUnknown** inner);
  explicit EqualizerFactory(CreateFunction create) : create_(create) {}

  ULONG STDMETHODCALLTYPE AddRef() override {
    if (references_++ == 0) {
      ModuleObjectCreated();
    }
    return references_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      ModuleObjectDestroyed();
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    // An aggregating creator must ask for the inner unknown.
    if (outer != nullptr && iid != IID_IUnknown) {
      return E_INVALIDARG;
    }
    IUnknown* inner = nullptr;
    HRESULT hr = create_(outer, &inner);
    if (FAILED(hr)) {
      return hr;
    }
    hr = inner->QueryInterface(iid, out);
    inner->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    ModuleLock(lock != FALSE);
    return S_OK;
  }

 private:
  CreateFunction create_;
  std::atomic<ULONG> references_{0};
};

EqualizerFactory filterFactory(&CEqualizer::Create);
EqualizerFactory pageFactory(&EqualizerPropertyPage::Create);

}  // namespace

HMODULE ModuleHandle() { return module; }
void ModuleObjectCreated() { ++liveObjects; }
void ModuleObjectDestroyed() { --liveObjects; }
void ModuleLock(bool lock) {
  if (lock) {
    ++serverLocks;
  } else if (serverLocks > 0) {
    --serverLocks;
  }
}
bool ModuleInUse() { return liveObjects > 0 || serverLocks > 0; }

}  // namespace kestrun::equalizer

using namespace kestrun::equalizer;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    kestrun::equalizer::module = instance;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&version)) {
      kestrun::equalizer::platformId = version.dwPlatformId;
    }
#pragma GCC diagnostic pop
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  EqualizerFactory* factory = nullptr;
  if (clsid == CLSID_Equalizer) {
    factory = &filterFactory;
  } else if (clsid == CLSID_EqualizerPropertyPage) {
    factory = &pageFactory;
  } else {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  if (iid != IID_IClassFactory && iid != IID_IUnknown) {
    return E_NOINTERFACE;
  }
  return factory->QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }
