// Where the skinned controls sit on the 300 x 80 face, where their pictures are in
// skin.bmp, and the arithmetic of the two knobs. Portable: the window code copies
// pixels by these numbers.
#pragma once

#include <array>

#include "platform/limits.h"

namespace kestrun::skin {

// The face's size is the main window's, shared with the player's other windows.
using platform::kFaceHeight;
using platform::kFaceWidth;
// A skin bitmap holds the face and, right of it, the control pictures.
inline constexpr int kSkinMinWidth = 360;
inline constexpr int kSkinMinHeight = kFaceHeight;

// The time display: a 70 x 14 window whose background is this part of the face.
inline constexpr int kTimeX = 210;
inline constexpr int kTimeY = 29;
inline constexpr int kTimeWidth = 70;
inline constexpr int kTimeHeight = 14;

// The title display's place on the face.
inline constexpr int kTitleX = 35;
inline constexpr int kTitleY = 7;
inline constexpr int kTitleWidth = 216;
inline constexpr int kTitleHeight = 17;

// The volume knob moves between these tops; its picture is 18 x 6.
inline constexpr int kVolumeTop = 17;
inline constexpr int kVolumeBottom = 66;

struct SkinElement {
  int id;  // control id
  int x;   // placement on the face
  int y;
  int width;
  int height;
  int normalX;  // picture in skin.bmp
  int normalY;
  int pressedX;  // pressed picture (buttons; the normal one for the others)
  int pressedY;
};

inline constexpr int kButtonCount = 7;
inline constexpr int kElementCount = 11;

// The seven buttons (previous, play, pause, stop, next, open, playlist), then the
// minimise and close images and the seek and volume knobs.
const std::array<SkinElement, kElementCount>& SkinElements();
// The element of a control id; null for other controls.
const SkinElement* FindElement(int id);

struct Point {
  int x;
  int y;
};
// Normal picture of button i: three buttons to a column of 20-pixel-wide pictures,
// 24 pixels apart; the pressed picture is 12 pixels lower.
Point ButtonSource(int index);

// The volume knob dragged to pointer y: where its top goes, and the playback volume
// (hundredths of a decibel) in 1 dB steps from -3200 to 0, or -10000 at the bottom.
struct VolumeDrag {
  int knobTop;
  long volume;
};
VolumeDrag VolumeFromPointer(int y);

// A colour component of color.txt: only its low eight bits count.
inline int ColourComponent(int value) { return value & 0xFF; }

}  // namespace kestrun::skin
