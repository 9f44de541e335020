// The pixels of the face on the screen against the skin bitmap the build draws, for
// the tests of the skinned face with or without a whole player.
#pragma once

#include <windows.h>

#include "platform/testing/message_pump_win.h"
#include "platform/testing/real_input_win.h"

namespace kestrun::testing {

// The pixels of a bitmap file or of a window on the screen, as 0x00RRGGBB.
using Pixels = Picture;

// Counts pixels of an area that differ between the screen and the skin.
inline int Differences(const Pixels& screen, int x, int y, const Pixels& skin, int sourceX, int sourceY, int width,
                       int height) {
  int different = 0;
  for (int dy = 0; dy < height; ++dy) {
    for (int dx = 0; dx < width; ++dx) {
      if (screen.At(x + dx, y + dy) != skin.At(sourceX + dx, sourceY + dy)) ++different;
    }
  }
  return different;
}

// A few rounds of the queue: the face repaints what a change invalidated.
inline void Pump() { PumpFor(5 * kPumpPollMs); }

}  // namespace kestrun::testing
