// The speaker volume the volume dialog drives, behind an interface so the dialog can
// be run against a mixer of the test's own.
#pragma once

#include <cstdint>
#include <optional>

#include "shell/volume_scale.h"

namespace kestrun::shell {

class VolumeMixer {
 public:
  virtual ~VolumeMixer() = default;
  // The bounds of the speaker volume control; nullopt when there is none (no mixer
  // device, or no speaker line with a volume control).
  virtual std::optional<MixerBounds> bounds() const = 0;
  // The current value (one channel for all), or nullopt when it cannot be read.
  virtual std::optional<std::uint32_t> Read() = 0;
  // Sets every channel to value. False when it cannot be written.
  virtual bool Write(std::uint32_t value) = 0;
};

}  // namespace kestrun::shell
