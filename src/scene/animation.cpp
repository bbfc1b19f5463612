#include "scene/angles.h"
#include "scene/scene.h"

float xRotated = 0.0f;
float yRotated = 0.0f;
float zRotated = 0.0f;

namespace {

constexpr double kXStepDegrees = 0.02;  // per idle call; no time base, by design
constexpr double kYStepDegrees = 0.01;
constexpr double kFullTurnDegrees = 360.0;

// Adds in double precision and wraps before rounding: an angle left to grow would
// lose the step to float spacing (from 65536 degrees) and freeze at 262144.
float turned(float angle, double step) {
  double sum = static_cast<double>(angle) + step;
  if (sum >= kFullTurnDegrees) {
    sum -= kFullTurnDegrees;
  }
  const auto next = static_cast<float>(sum);
  // A sum within half a float spacing below a full turn rounds up to 360, which is 0.
  return next < static_cast<float>(kFullTurnDegrees) ? next : 0.0f;
}

}  // namespace

void advanceAngles() {
  yRotated = turned(yRotated, kYStepDegrees);
  xRotated = turned(xRotated, kXStepDegrees);
}

void animation() {
  advanceAngles();
  DrawCube();
}
