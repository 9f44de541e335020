// The speaker volume of mixer device 0 through the multimedia mixer API.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <memory>

#include "platform/win32_handles_win.h"
#include "shell/volume_mixer.h"

namespace kestrun::shell {

namespace handle_traits {
struct Mixer {
  using Type = HMIXER;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { mixerClose(value); }
};
}  // namespace handle_traits
using MixerHandle = platform::UniqueHandle<handle_traits::Mixer>;

class SpeakerVolume final : public VolumeMixer {
 public:
  // Opens mixer device 0 and finds the volume control of its speaker line. A missing
  // device or control leaves the object without bounds.
  SpeakerVolume();

  std::optional<MixerBounds> bounds() const override;
  std::optional<std::uint32_t> Read() override;
  bool Write(std::uint32_t value) override;

 private:
  MixerHandle mixer_;
  MIXERCONTROLA control_{};
  bool found_ = false;
};

}  // namespace kestrun::shell
