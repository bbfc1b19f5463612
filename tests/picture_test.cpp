#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "gl_test.h"
#include "scene/angles.h"
#include "scene/scene.h"
#include "shell/init.h"
#include "watch/judge.h"
#include "watch/model.h"
#include "watch/picture.h"

namespace {

// An independent ray-cast of the solid cube where the judges know it stands
// (watch/model.h), turned about X, then Y, then Z as seen from the eye.
struct Vec {
  double x, y, z;
};

Vec rotated(Vec v, double degrees, int axis) {
  const double a = degrees * std::acos(-1.0) / 180.0;
  const double c = std::cos(a);
  const double s = std::sin(a);
  switch (axis) {
    case 0:
      return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
    case 1:
      return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
    default:
      return {c * v.x - s * v.y, s * v.x + c * v.y, v.z};
  }
}

// Eye space to the cube's own frame, in which it spans -kHalfSide..+kHalfSide.
Vec intoCube(Vec v, const std::array<double, 3>& angles) {
  return rotated(rotated(rotated(v, -angles[0], 0), -angles[1], 1), -angles[2], 2);
}

constexpr std::size_t kNothing = 0;

// Face hit first by the eye ray through viewport point (px, py): 1 + 2 * axis + (side > 0).
std::size_t faceSeenAt(double px, double py, int width, int height, const std::array<double, 3>& angles) {
  const double tanHalfFov = std::tan(watch::kHalfFieldOfView * std::acos(-1.0) / 180.0);
  const double aspect = double(width) / double(height);
  const Vec o = intoCube({0.0, 0.0, watch::kEyeDistance}, angles);
  const Vec d =
      intoCube({(2.0 * px / width - 1.0) * tanHalfFov * aspect, (2.0 * py / height - 1.0) * tanHalfFov, -1.0}, angles);
  const std::array<double, 3> origin{o.x, o.y, o.z};
  const std::array<double, 3> direction{d.x, d.y, d.z};
  double entry = -1e300;
  double exit = 1e300;
  std::size_t face = kNothing;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const double near = (-std::copysign(watch::kHalfSide, direction[axis]) - origin[axis]) / direction[axis];
    const double far = (std::copysign(watch::kHalfSide, direction[axis]) - origin[axis]) / direction[axis];
    if (near > entry) {
      entry = near;
      face = 1 + 2 * axis + (direction[axis] < 0 ? 1 : 0);
    }
    exit = std::min(exit, far);
  }
  return entry < exit ? face : kNothing;
}

// Red, green and blue masks of a visual of 24, 16 and 30 bits.
using Masks = std::array<unsigned long, 3>;
constexpr std::array<Masks, 3> kVisuals{
    {{0xFF0000, 0xFF00, 0xFF}, {0xF800, 0x7E0, 0x1F}, {0x3FF00000, 0xFFC00, 0x3FF}}};

// How a visual stores what is seen of a face index: the judges' colour of face index - 1,
// or black.
unsigned long colourOf(std::size_t face, const Masks& masks) {
  const watch::Rgb c = face == kNothing ? watch::Rgb{0, 0, 0} : watch::kFaceColours.at(face - 1);
  unsigned long pixel = 0;
  for (const auto& [level, mask] : {std::pair{c.r, masks[0]}, {c.g, masks[1]}, {c.b, masks[2]}}) {
    pixel |= watch::stored(static_cast<unsigned long>(std::lround(level * double(watch::top(mask)))), mask);
  }
  return pixel;
}

struct View {
  const char* name;
  int width, height;
  std::array<float, 3> angles;
  long idleSteps;  // when non-zero, reach the angles by stepping and let animation() draw
};

std::ostream& operator<<(std::ostream& out, const View& v) {
  return out << v.width << "x" << v.height << " at (" << v.angles[0] << ", " << v.angles[1] << ", " << v.angles[2]
             << ")";
}

class Picture : public GlTest, public ::testing::WithParamInterface<View> {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    init();
    const View& view = GetParam();
    reshape(view.width, view.height);
    glMatrixMode(GL_TEXTURE);  // drawing must not depend on the mode others leave
    for (long step = 1; step < view.idleSteps; ++step) {
      advanceAngles();
    }
    if (view.idleSteps > 0) {
      animation();
    } else {
      xRotated = view.angles[0];
      yRotated = view.angles[1];
      zRotated = view.angles[2];
      DrawCube();
    }
  }
};

TEST_P(Picture, EveryPixelShowsTheNearestFace) {
  const View& view = GetParam();
  const std::array<double, 3> angles{xRotated, yRotated, zRotated};
  const auto pixels = OffscreenContext::readPixels(view.width, view.height);
  int compared = 0;
  int matching = 0;
  int cube = 0;
  const std::uint8_t* got = pixels.data();  // RGBA, bottom row first
  for (int y = 0; y < view.height; ++y) {
    for (int x = 0; x < view.width; ++x, got += 4) {
      const std::size_t face = faceSeenAt(x + 0.5, y + 0.5, view.width, view.height, angles);
      bool interior = true;  // a pixel near an edge may fairly go either way
      for (const auto& [dx, dy] : {std::array{-1.0, 0.0}, {2.0, 0.0}, {0.0, -1.0}, {0.0, 2.0}}) {
        interior = interior && faceSeenAt(x + dx, y + dy, view.width, view.height, angles) == face;
      }
      if (!interior) {
        continue;
      }
      const unsigned long want = colourOf(face, kVisuals[0]);
      bool same = true;
      for (std::size_t c = 0; c < 3; ++c) {
        same = same && std::abs(got[c] - long(watch::channel(want, kVisuals[0][c]).value)) <= 2;
      }
      ++compared;
      matching += same ? 1 : 0;
      cube += face == kNothing ? 0 : 1;
    }
  }
  EXPECT_GT(cube, view.width * view.height / 20) << "the cube should fill a good share of the picture";
  EXPECT_GE(matching, compared * 0.995) << matching << " of " << compared << " pixels match";
  // What the program's watchers judge: a frame of the solid cube; mirrored, none. The frame
  // itself; the ray-cast as visuals of 16 and 30 bits store it, and each as saved at 8 bits.
  std::vector<watch::Picture> pictures{watch::fromBytes(view.width, view.height, pixels.data(), 4, true)};
  for (const Masks& masks : {kVisuals[1], kVisuals[2]}) {
    pictures.push_back({view.width, view.height, {}, masks[0], masks[1], masks[2]});
    for (int y = view.height; y-- > 0;) {
      for (int x = 0; x < view.width; ++x) {
        pictures.back().pixels.push_back(
            colourOf(faceSeenAt(x + 0.5, y + 0.5, view.width, view.height, angles), masks));
      }
    }
    pictures.push_back(watch::fromBytes(view.width, view.height, watch::toBytes(pictures.back()).data(), 3, false));
  }
  for (const watch::Picture& picture : pictures) {
    SCOPED_TRACE("picture " + std::to_string(&picture - pictures.data()) + ": the frame; 16 bits, saved; 30, saved");
    watch::Picture mirrored = picture;
    for (auto row = mirrored.pixels.begin(); row != mirrored.pixels.end(); row += view.width) {
      std::reverse(row, row + view.width);
    }
    const watch::Judgement judgement = watch::judge(picture);
    EXPECT_EQ(judgement.problem, "") << judgement.summary();
    if (judgement.faces == 3) {
      EXPECT_NE(watch::judge(mirrored).problem, "");
    }
  }
}

TEST_P(Picture, RepaintingDrawsTheSameFrameWithoutTurning) {
  const View& view = GetParam();
  const auto first = OffscreenContext::readPixels(view.width, view.height);
  const std::array<float, 3> angles{xRotated, yRotated, zRotated};
  DrawCube();
  EXPECT_EQ(OffscreenContext::readPixels(view.width, view.height), first);
  EXPECT_EQ((std::array<float, 3>{xRotated, yRotated, zRotated}), angles);
}

INSTANTIATE_TEST_SUITE_P(Views, Picture,
                         ::testing::Values(View{"SquareUnturned", 240, 240, {0, 0, 0}, 0},
                                           View{"WideUnturned", 320, 200, {0, 0, 0}, 0},
                                           View{"SquareFromAbove", 240, 240, {30, 45, 0}, 0},
                                           View{"WideFromBelow", 320, 200, {200.5f, 100.25f, 0}, 0},
                                           View{"SquareFromBehind", 240, 240, {61.5f, 201.3f, 0}, 0},
                                           View{"TallTurnedAboutAllAxes", 200, 320, {300, 20, 75}, 0},
                                           View{"WideAfterXWrapped", 320, 200, {0, 0, 0}, 25'000}),
                         [](const ::testing::TestParamInfo<View>& param) { return std::string(param.param.name); });

}  // namespace
