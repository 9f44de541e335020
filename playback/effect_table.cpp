#include "playback/effect_table.h"

namespace kestrun::playback {

std::array<EffectEntry, kEffectCount>& Effects() {
  static std::array<EffectEntry, kEffectCount> table;
  return table;
}

void ReleaseEffects() {
  for (auto& entry : Effects()) entry.wrapper.Reset();
}

}  // namespace kestrun::playback
