// How the player gets its equalizer filter object: through COM when the class is
// registered for the Equalizer.ax next to the program, otherwise straight from that
// module's class factory, which needs no registration at all (the user's classes
// are not seen by every system's COM, and a standard account may have none).
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>

#include "platform/win32_handles_win.h"

namespace kestrun::playback {

// The server path the equalizer's class is registered with, as this user's COM sees
// it: the user's own classes first (they win), then the class root. Empty when the
// class is not registered.
std::wstring RegisteredEqualizerPath();

// Whether the registered server is the module at modulePath (an ANSI path); a
// registration of a copy elsewhere counts as none.
bool EqualizerRegisteredAt(const std::string& modulePath);

// Registers the Equalizer.ax at modulePath (an ANSI path) for this user alone through
// its own DllInstall(TRUE, "user"), called in this process: no registration tool is
// searched for or started, nothing waits on another process, and a module in a
// user's folder is never registered for the whole machine. The module's answer, or
// the code of the step that failed.
HRESULT RegisterEqualizerForUser(const std::string& modulePath);

// Equalizer.ax loaded from a path and asked for a new filter object.
class EqualizerModule {
 public:
  EqualizerModule() = default;
  ~EqualizerModule() { Unload(); }
  EqualizerModule(const EqualizerModule&) = delete;
  EqualizerModule& operator=(const EqualizerModule&) = delete;

  // Loads the module (once) and creates the filter; the failing step's code. The
  // module's property page class is made known to COM in this process too (where
  // COM does not see the user's registration, Wine's, the filter's property frame
  // would otherwise find no page).
  HRESULT Create(const std::string& modulePath, IBaseFilter** filter);
  // Takes the page class back and unloads the module when none of its objects is
  // alive any more.
  void Unload();
  bool loaded() const { return static_cast<bool>(module_); }

 private:
  using GetClassObjectEntry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  void RegisterPageClass(GetClassObjectEntry getClassObject, IBaseFilter* filter);

  platform::ModuleHandle module_;
  DWORD pageClassCookie_ = 0;  // the page's class object in this process; 0: none
};

}  // namespace kestrun::playback
