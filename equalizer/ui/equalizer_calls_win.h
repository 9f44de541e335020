// How the player's windows talk to the equalizer filter: one IEqualizer query per
// call, released right after, never a message box.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "equalizer/iequalizer.h"
#include "platform/debug_line.h"

namespace kestrun::equalizer {

// Debugger lines of a call that could not be made or failed.
inline constexpr char kNoEqualizerInterface[] = "FFAWEFAFAEFAWEFAEWF\n";
inline constexpr char kEqualizerCallFailed[] = "FAILWS put";

// Runs call(IEqualizer*) on filter's control interface. Without a filter nothing
// is called; a filter that does not answer IEqualizer gets a debugger line. Returns
// true when the interface was reached (whatever the call's own result).
template <typename Call>
bool CallEqualizer(IUnknown* filter, Call call) {
  if (filter == nullptr) return false;
  Microsoft::WRL::ComPtr<IEqualizer> control;
  if (FAILED(filter->QueryInterface(IID_IEqualizer, reinterpret_cast<void**>(control.GetAddressOf()))) || !control) {
    platform::DebugLine(kNoEqualizerInterface);
    return false;
  }
  if (FAILED(call(control.Get()))) platform::DebugLine(kEqualizerCallFailed);
  return true;
}

}  // namespace kestrun::equalizer
