// The integer zoom the face is drawn at on a screen of a given DPI, and the
// arithmetic between face pixels (the skin's own, 300 x 80) and window pixels (the
// face times the zoom). Every picture is enlarged nearest-neighbour, so a face pixel
// becomes a zoom x zoom block of one colour and the face stays crisp.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrun::skin {

// The DPI at which the system draws everything at its own size.
inline constexpr int kBaseDpi = 96;
inline constexpr int kMaxZoom = 3;

// 1 below 144 DPI (up to 150 %), 2 from 144, 3 from 240.
int ZoomForDpi(int dpi);

// Face pixels to window pixels.
inline int ZoomUp(int facePixels, int zoom) { return facePixels * zoom; }
// Window pixels to the face pixel they fall in (rounded towards minus infinity, so a
// pointer just left of the window is left of the face too).
inline int ZoomDown(int windowPixels, int zoom) {
  return windowPixels >= 0 ? windowPixels / zoom : -((-windowPixels + zoom - 1) / zoom);
}

// Pixels of width x height (rows one after the other) enlarged nearest-neighbour:
// (width * zoom) x (height * zoom), each pixel repeated zoom times across and down.
// Empty when the sizes are not positive or pixels holds fewer than width * height.
std::vector<std::uint32_t> ZoomPixels(const std::vector<std::uint32_t>& pixels, int width, int height, int zoom);

}  // namespace kestrun::skin
