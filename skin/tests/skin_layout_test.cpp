#include "skin/skin_layout.h"

#include <gtest/gtest.h>

#include <set>

#include "resources/resource_ids.h"

namespace kestrun::skin {
namespace {

TEST(VolumeKnob, FollowsThePointerInDecibelStepsAndMutesAtTheBottom) {
  struct Case {
    int y;
    int knobTop;
    long volume;
  };
  const Case cases[] = {
      {17, 15, 0},                     // the top: 0 dB (n = 100, q = 33)
      {18, 16, -100},                  // one pixel lower: n = 97, q = 32
      {41, 39, -1600},                 // n = 51, q = 17
      {65, 63, -10000},                // n = 2, q = 0: silence
      {66, 64, -10000},                // the bottom itself
      {67, 66, -10000},                // below the track: held at the bottom
      {500, 66, -10000}, {16, 17, 0},  // above the track: held at the top
      {-40, 17, 0},
  };
  for (const auto& c : cases) {
    const VolumeDrag drag = VolumeFromPointer(c.y);
    EXPECT_EQ(drag.knobTop, c.knobTop) << c.y;
    EXPECT_EQ(drag.volume, c.volume) << c.y;
  }
  // Never louder than 0 dB, never a step of another size.
  for (int y = -5; y < 80; ++y) {
    const long volume = VolumeFromPointer(y).volume;
    EXPECT_LE(volume, 0) << y;
    EXPECT_TRUE(volume == -10000 || volume % 100 == 0) << y;
  }
}

TEST(SkinElements, ButtonPicturesComeFromTheIndexRuleAndNothingOverlaps) {
  EXPECT_EQ(ButtonSource(0).x, 300);
  EXPECT_EQ(ButtonSource(0).y, 0);
  EXPECT_EQ(ButtonSource(2).y, 48);
  EXPECT_EQ(ButtonSource(3).x, 320);
  EXPECT_EQ(ButtonSource(6).x, 340);
  EXPECT_EQ(ButtonSource(6).y, 0);
  const auto* play = FindElement(IDC_PLAY_BUTTON);
  ASSERT_NE(play, nullptr);
  EXPECT_EQ(play->x, 69);
  EXPECT_EQ(play->pressedY, 36);
  EXPECT_EQ(FindElement(IDC_TITLE_DISPLAY), nullptr);

  // Every picture lies inside the area right of the face, and no two controls of the
  // face overlap (the seek knob moves along its own row).
  std::set<int> ids;
  for (const auto& e : SkinElements()) {
    EXPECT_TRUE(ids.insert(e.id).second) << e.id;
    EXPECT_GE(e.normalX, kFaceWidth) << e.id;
    EXPECT_LE(e.pressedX + e.width, kSkinMinWidth) << e.id;
    EXPECT_LE(e.pressedY + e.height, kSkinMinHeight) << e.id;
    EXPECT_LE(e.x + e.width, kFaceWidth) << e.id;
    EXPECT_LE(e.y + e.height, kFaceHeight) << e.id;
  }
  for (const auto& a : SkinElements()) {
    for (const auto& b : SkinElements()) {
      if (a.id >= b.id) continue;
      const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
      EXPECT_TRUE(apart) << a.id << " and " << b.id;
    }
  }
}

TEST(ColourFile, OnlyTheLowEightBitsCount) {
  EXPECT_EQ(ColourComponent(255), 255);
  EXPECT_EQ(ColourComponent(256), 0);
  EXPECT_EQ(ColourComponent(511), 255);
  EXPECT_EQ(ColourComponent(-1), 255);
}

}  // namespace
}  // namespace kestrun::skin
