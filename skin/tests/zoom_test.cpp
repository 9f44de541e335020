#include "skin/zoom.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "skin/seek_geometry.h"

namespace kestrun::skin {
namespace {

TEST(ZoomForDpi, StepsAtTheThresholdsAndNowhereElse) {
  struct Case {
    int dpi;
    int zoom;
  };
  const Case cases[] = {
      {0, 1},   {72, 1},  {96, 1},  {120, 1}, {143, 1},  // up to 150 % the face keeps its size
      {144, 2}, {168, 2}, {192, 2}, {239, 2},            //
      {240, 3}, {288, 3}, {480, 3},                      // never more than three
  };
  for (const auto& c : cases) EXPECT_EQ(ZoomForDpi(c.dpi), c.zoom) << c.dpi;
}

TEST(ZoomDown, EveryWindowPixelOfAFacePixelMapsBackToIt) {
  for (int zoom = 1; zoom <= kMaxZoom; ++zoom) {
    for (int face = -5; face < 320; ++face) {
      for (int k = 0; k < zoom; ++k) EXPECT_EQ(ZoomDown(ZoomUp(face, zoom) + k, zoom), face) << zoom << " " << face;
    }
  }
  // Left of the window stays left of the face (a drag past the track's left end).
  EXPECT_EQ(ZoomDown(-1, 2), -1);
  EXPECT_EQ(ZoomDown(-2, 2), -1);
  EXPECT_EQ(ZoomDown(-3, 2), -2);
}

TEST(ZoomDown, AKnobDraggedAtAnyZoomSeeksToTheFractionOfTheSameFacePlace) {
  // The pointer anywhere inside the zoomed face pixel x seeks where x does at 1x.
  for (int zoom = 2; zoom <= kMaxZoom; ++zoom) {
    for (int x = 0; x < 300; ++x) {
      const int atOne = ClampToTrack(x) - kTrackLeft;
      for (int k = 0; k < zoom; ++k) {
        const int zoomed = ClampToTrack(ZoomDown(x * zoom + k, zoom)) - kTrackLeft;
        ASSERT_EQ(TrackFraction(zoomed), TrackFraction(atOne)) << zoom << " " << x;
      }
    }
  }
}

TEST(ZoomPixels, EachPixelBecomesABlockOfItsOwnColour) {
  // 3 x 2, every pixel different.
  const std::vector<std::uint32_t> source = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(ZoomPixels(source, 3, 2, 1), source);
  const std::vector<std::uint32_t> two = ZoomPixels(source, 3, 2, 2);
  const std::vector<std::uint32_t> expectedTwo = {
      1, 1, 2, 2, 3, 3,  //
      1, 1, 2, 2, 3, 3,  //
      4, 4, 5, 5, 6, 6,  //
      4, 4, 5, 5, 6, 6,  //
  };
  EXPECT_EQ(two, expectedTwo);
  const std::vector<std::uint32_t> three = ZoomPixels(source, 3, 2, 3);
  ASSERT_EQ(three.size(), 9u * 6u);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 9; ++x) {
      EXPECT_EQ(three[static_cast<std::size_t>(y) * 9 + x], source[static_cast<std::size_t>(y / 3) * 3 + x / 3])
          << x << "," << y;
    }
  }
}

TEST(ZoomPixels, RefusesSizesThePixelsDoNotHold) {
  const std::vector<std::uint32_t> source = {1, 2, 3, 4, 5, 6};
  EXPECT_TRUE(ZoomPixels(source, 3, 3, 2).empty());  // a row short
  EXPECT_TRUE(ZoomPixels(source, 7, 1, 2).empty());  // a row longer than all pixels
  EXPECT_TRUE(ZoomPixels(source, 0, 2, 2).empty());
  EXPECT_TRUE(ZoomPixels(source, 3, -2, 2).empty());
  EXPECT_TRUE(ZoomPixels(source, 3, 2, 0).empty());
  EXPECT_TRUE(ZoomPixels({}, 1, 1, 2).empty());
}

}  // namespace
}  // namespace kestrun::skin
