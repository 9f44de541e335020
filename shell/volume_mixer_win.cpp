#include "shell/volume_mixer_win.h"

namespace kestrun::shell {

SpeakerVolume::SpeakerVolume() {
  if (mixerOpen(mixer_.put(), 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) {
    mixer_.reset();
    return;
  }
  MIXERLINEA line{};
  line.cbStruct = sizeof(line);
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  if (mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer_.get()), &line,
                        MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR) {
    return;
  }
  MIXERLINECONTROLSA controls{};
  controls.cbStruct = sizeof(controls);
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof(control_);
  controls.pamxctrl = &control_;
  control_.cbStruct = sizeof(control_);
  found_ = mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(mixer_.get()), &controls,
                                 MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) == MMSYSERR_NOERROR;
}

std::optional<MixerBounds> SpeakerVolume::bounds() const {
  if (!found_) return std::nullopt;
  return MixerBounds{control_.Bounds.dwMinimum, control_.Bounds.dwMaximum};
}

std::optional<std::uint32_t> SpeakerVolume::Read() {
  if (!found_) return std::nullopt;
  MIXERCONTROLDETAILS_UNSIGNED value{};
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof(details);
  details.dwControlID = control_.dwControlID;
  details.cChannels = 1;
  details.cbDetails = sizeof(value);
  details.paDetails = &value;
  if (mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(mixer_.get()), &details,
                              MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
    return std::nullopt;
  }
  return value.dwValue;
}

bool SpeakerVolume::Write(std::uint32_t value) {
  if (!found_) return false;
  // One channel: the value applies to every channel alike.
  MIXERCONTROLDETAILS_UNSIGNED detail{};
  detail.dwValue = value;
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof(details);
  details.dwControlID = control_.dwControlID;
  details.cChannels = 1;
  details.cbDetails = sizeof(detail);
  details.paDetails = &detail;
  return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer_.get()), &details,
                                MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

}  // namespace kestrun::shell
