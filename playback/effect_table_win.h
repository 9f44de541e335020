// The audio effects offered to the user (DirectX Media Objects of the audio-effect
// category). Filled once at start-up; the effect dialog toggles the entries; each
// graph built while an entry is enabled gets that effect through a DMO wrapper
// filter, which is made by the first graph that uses it and kept until shutdown.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <array>

namespace kestrun::playback {

inline constexpr int kEffectCount = 9;
// Both names hold their terminating NUL.
inline constexpr int kEffectNameCapacity = 64;

struct EffectEntry {
  int enabled = 0;
  CLSID clsid{};
  Microsoft::WRL::ComPtr<IBaseFilter> wrapper;
  char ansiName[kEffectNameCapacity] = {};     // shown in the effect dialog
  wchar_t wideName[kEffectNameCapacity] = {};  // the wrapper's name in the graph

  // A row that no effect filled: shown empty, never inserted.
  bool HasEffect() const { return clsid != CLSID{}; }
};

// Owned by the media session.
using EffectTable = std::array<EffectEntry, kEffectCount>;

// One effect as the system lists it.
struct OfferedEffect {
  CLSID clsid{};
  const wchar_t* name = nullptr;
};

// Puts the next offered effect into entry: its class and both names, a name too
// long for a field cut at a whole character. Clears the flag and the wrapper.
void FillEffectEntry(EffectEntry& entry, const OfferedEffect& effect);

// Start-up: fills the table from the system's audio-effect DMOs (keyed ones too) in
// the enumeration's order, at most kEffectCount; every entry ends disabled and
// without a wrapper, entries no effect filled with empty names. Returns the count of
// effects found.
int FillEffectTable(EffectTable& table);

}  // namespace kestrun::playback
