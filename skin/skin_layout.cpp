#include "skin/skin_layout.h"

#include "resources/resource_ids.h"

namespace kestrun::skin {
namespace {

constexpr int kButtonIds[kButtonCount] = {IDC_PREVIOUS_BUTTON, IDC_PLAY_BUTTON, IDC_PAUSE_BUTTON,   IDC_STOP_BUTTON,
                                          IDC_NEXT_BUTTON,     IDC_OPEN_BUTTON, IDC_PLAYLIST_BUTTON};
constexpr int kButtonLeft = 41;
constexpr int kButtonSpacing = 28;
constexpr int kButtonTop = 58;
constexpr int kButtonWidth = 20;
constexpr int kButtonHeight = 12;
constexpr int kPressedOffset = 12;

std::array<SkinElement, kElementCount> BuildElements() {
  std::array<SkinElement, kElementCount> elements{};
  for (int i = 0; i < kButtonCount; ++i) {
    const Point source = ButtonSource(i);
    elements[i] = {
        kButtonIds[i], kButtonLeft + kButtonSpacing * i, kButtonTop, kButtonWidth, kButtonHeight, source.x, source.y,
        source.x,      source.y + kPressedOffset};
  }
  elements[7] = {IDC_MINIMIZE_BUTTON, 261, 7, 11, 11, 340, 42, 340, 42};
  elements[8] = {IDC_EXIT_BUTTON, 279, 7, 11, 11, 340, 53, 340, 53};
  elements[9] = {IDC_SEEK_KNOB, 29, 43, 12, 12, 340, 24, 340, 24};
  elements[10] = {IDC_VOLUME_KNOB, 8, 18, 18, 6, 340, 36, 340, 36};
  return elements;
}

}  // namespace

Point ButtonSource(int index) { return {(index / 3 + 15) * 20, (index % 3) * 24}; }

const std::array<SkinElement, kElementCount>& SkinElements() {
  static const std::array<SkinElement, kElementCount> elements = BuildElements();
  return elements;
}

const SkinElement* FindElement(int id) {
  for (const auto& element : SkinElements()) {
    if (element.id == id) return &element;
  }
  return nullptr;
}

VolumeDrag VolumeFromPointer(int y) {
  VolumeDrag drag{};
  if (y > kVolumeBottom) {
    drag.knobTop = kVolumeBottom;
    y = kVolumeBottom;
  } else if (y < kVolumeTop) {
    drag.knobTop = kVolumeTop;
    y = kVolumeTop;
  } else {
    drag.knobTop = y - 2;
  }
  const int n = (kVolumeBottom - y) * 100 / (kVolumeBottom - kVolumeTop);
  const int q = n / 3;
  drag.volume = q == 0 ? -10000L : 100L * q - 3300L;
  return drag;
}

}  // namespace kestrun::skin
