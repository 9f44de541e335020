#include "skin/zoom.h"

#include <algorithm>
#include <cstddef>

namespace kestrun::skin {

int ZoomForDpi(int dpi) {
  if (dpi >= 240) return 3;
  if (dpi >= 144) return 2;
  return 1;
}

std::vector<std::uint32_t> ZoomPixels(const std::vector<std::uint32_t>& pixels, int width, int height, int zoom) {
  if (width <= 0 || height <= 0 || zoom <= 0) return {};
  const auto sourceWidth = static_cast<std::size_t>(width);
  if (pixels.size() / sourceWidth < static_cast<std::size_t>(height)) return {};
  const std::size_t factor = static_cast<std::size_t>(zoom);
  const std::size_t zoomedWidth = sourceWidth * factor;
  std::vector<std::uint32_t> zoomed(zoomedWidth * static_cast<std::size_t>(height) * factor);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    std::uint32_t* row = zoomed.data() + y * factor * zoomedWidth;
    const std::uint32_t* source = pixels.data() + y * sourceWidth;
    for (std::size_t x = 0; x < sourceWidth; ++x) {
      for (std::size_t k = 0; k < factor; ++k) row[x * factor + k] = source[x];
    }
    // The other rows of the block repeat the first.
    for (std::size_t k = 1; k < factor; ++k) {
      std::copy(row, row + zoomedWidth, row + k * zoomedWidth);
    }
  }
  return zoomed;
}

}  // namespace kestrun::skin
