#include "host/dialog/zoom_animation.h"

#include <gtest/gtest.h>

#include <utility>

namespace pellarin {
namespace {

using namespace std::chrono_literals;

TEST(ZoomAnimationTest, EdgesMoveEvenlyFromTheStartToTheEndInTheDuration) {
  static_assert(ZoomAnimation::kDuration == 200ms);
  // From the pointer (an empty rectangle) to a window, and back from a window to a point left
  // of and above it (edges moving the other way). Half pixels go the way the edge moves.
  const ZoomAnimation opening({100, 600, 100, 600}, {263, 167, 760, 433});
  const ZoomAnimation closing({263, 167, 760, 433}, {0, 0, 0, 0});
  const std::pair<std::chrono::milliseconds, ScreenRect> openingSteps[] = {
      {-5ms, {100, 600, 100, 600}},  {0ms, {100, 600, 100, 600}},   {50ms, {141, 492, 265, 558}},
      {100ms, {182, 383, 430, 516}}, {199ms, {262, 169, 757, 434}}, {200ms, {263, 167, 760, 433}},
      {900ms, {263, 167, 760, 433}},
  };
  for (const auto& [elapsed, rect] : openingSteps) {
    EXPECT_EQ(opening.at(elapsed), rect) << elapsed.count();
  }
  EXPECT_EQ(closing.at(100ms), (ScreenRect{131, 83, 380, 216}));
  EXPECT_EQ(closing.at(150ms), (ScreenRect{66, 42, 190, 108}));
  EXPECT_FALSE(opening.finished(199ms));
  EXPECT_TRUE(opening.finished(200ms));
}

}  // namespace
}  // namespace pellarin
