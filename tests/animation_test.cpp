#include <gtest/gtest.h>

#include <cmath>

#include "scene/angles.h"

namespace {

constexpr double kXStep = 0.02;  // degrees per idle call
constexpr double kYStep = 0.01;

class Animation : public ::testing::Test {
 protected:
  void SetUp() override { xRotated = yRotated = zRotated = 0.0f; }
};

TEST_F(Animation, FirstStepGivesTheFloatsNearestToTheSteps) {
  advanceAngles();
  EXPECT_EQ(xRotated, 0.02f);
  EXPECT_EQ(yRotated, 0.01f);
  EXPECT_EQ(zRotated, 0.0f);
}

TEST_F(Animation, XStaysExactlyTwiceYUntilXCompletesItsFirstTurn) {
  int steps = 0;
  // Bounded at two turns' worth, so that angles never wrapped fail rather than loop for ever.
  for (float previousX = 0.0f; xRotated >= previousX && steps < 2 * 360.0 / kXStep; ++steps) {
    ASSERT_EQ(xRotated, 2.0f * yRotated) << "after " << steps << " steps";
    previousX = xRotated;
    advanceAngles();
  }
  // Float rounding of each step drifts a turn by a few steps at most.
  EXPECT_NEAR(steps, 360.0 / kXStep, 360.0 / kXStep * 1e-3);
  EXPECT_LT(xRotated, kXStep);
  EXPECT_NEAR(yRotated, 180.0, 180.0 * 1e-3);
}

// 30 million steps is past the point (26.2 million) where angles left to grow
// in single precision freeze at 262144 and 524288 degrees.
TEST_F(Animation, KeepsTurningAtNominalSpeedForever) {
  constexpr long kSteps = 30'000'000;
  constexpr long kMeasured = 1000;
  double xTurned = 0.0;
  double yTurned = 0.0;
  for (long step = 0; step < kSteps; ++step) {
    const float x = xRotated;
    const float y = yRotated;
    advanceAngles();
    ASSERT_TRUE(xRotated >= 0.0f && xRotated < 360.0f && yRotated >= 0.0f && yRotated < 360.0f)
        << "step " << step << ": x " << xRotated << ", y " << yRotated;
    if (step >= kSteps - kMeasured) {
      xTurned += std::fmod(double{xRotated} - x + 360.0, 360.0);
      yTurned += std::fmod(double{yRotated} - y + 360.0, 360.0);
    }
  }
  EXPECT_NEAR(xTurned / kMeasured, kXStep, kXStep * 1e-3);
  EXPECT_NEAR(yTurned / kMeasured, kYStep, kYStep * 1e-3);
  EXPECT_EQ(zRotated, 0.0f);
}

}  // namespace
