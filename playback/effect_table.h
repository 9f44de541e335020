// The audio effects offered to the user (DirectX Media Objects of the audio-effect
// category). The effect dialog fills and toggles the table; each graph built while
// an entry is enabled gets that effect through a DMO wrapper filter, which is made
// by the first graph that uses it and kept until shutdown.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <array>

namespace kestrun::playback {

inline constexpr int kEffectCount = 9;

struct EffectEntry {
  wchar_t name[128] = {};
  CLSID clsid{};
  int enabled = 0;
  Microsoft::WRL::ComPtr<IBaseFilter> wrapper;
};

// Filled at start-up, owned by the media session.
using EffectTable = std::array<EffectEntry, kEffectCount>;

}  // namespace kestrun::playback
