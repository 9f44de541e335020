#include "settings/settings_conversions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kestrun::settings {

int NormalizeStoredVolume(int stored) { return stored > 100 || stored < 0 ? 0 : stored; }

long PlaybackVolumeFromStored(int stored) {
  stored = NormalizeStoredVolume(stored);
  if (stored == 100) return kSilentVolume;
  if (stored == 0) return 0;
  return -33L * stored;
}

int StoredVolumeFromPlayback(long volume) {
  if (volume == 0) return 0;
  if (volume == kSilentVolume) return 100;
  return static_cast<int>(volume / -33);
}

int VolumeKnobY(int stored) { return 17 + (NormalizeStoredVolume(stored) * 49) / 100; }

void ParseEqualizerText(const char* text, int bands[kBandCount]) {
  if (text == nullptr) return;
  if (std::strcmp(text, kDefaultEqualizerText) == 0) {
    for (int i = 0; i < kBandCount; ++i) bands[i] = kFlatBand;
    return;
  }
  const char* p = text;
  for (int i = 0; i < kBandCount; ++i) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(p, &end, 10);
    if (end == p) return;  // not a number: the rest keep their values
    long clamped = value;
    if (clamped < kMinBand) clamped = kMinBand;
    if (clamped > kMaxBand) clamped = kMaxBand;
    bands[i] = static_cast<int>(clamped);
    p = end;
  }
}

std::string FormatEqualizerText(const int bands[kBandCount]) {
  std::string text;
  for (int i = 0; i < kBandCount; ++i) {
    text += std::to_string(bands[i]);
    text += ' ';
  }
  return text;
}

int NormalizePlayNum(int stored) { return stored < 0 ? -1 : stored; }

bool IsColumnPermutation(const int order[kColumnCount]) {
  bool seen[kColumnCount] = {};
  for (int i = 0; i < kColumnCount; ++i) {
    if (order[i] < 0 || order[i] >= kColumnCount || seen[order[i]]) return false;
    seen[order[i]] = true;
  }
  return true;
}

}  // namespace kestrun::settings
