#include <GL/gl.h>

#include <array>
#include <cmath>

#include "gl_test.h"
#include "scene/scene.h"
#include "watch/model.h"

namespace {

using Matrix = std::array<GLdouble, 16>;  // column-major, as GL returns it

struct ProjectionState {
  Matrix projection;
  std::array<GLint, 4> viewport;
  GLint matrixMode;
};

ProjectionState current() {
  ProjectionState state{};
  glGetDoublev(GL_PROJECTION_MATRIX, state.projection.data());
  glGetIntegerv(GL_VIEWPORT, state.viewport.data());
  glGetIntegerv(GL_MATRIX_MODE, &state.matrixMode);
  return state;
}

// Perspective with the judges' field of view, near 0.5 and far 20.
Matrix perspective(double aspect) {
  const double pi = std::acos(-1.0);
  const double f = 1.0 / std::tan(watch::kHalfFieldOfView * pi / 180.0);
  const double near = 0.5;
  const double far = 20.0;
  Matrix m{};
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (far + near) / (near - far);
  m[11] = -1.0;
  m[14] = 2.0 * far * near / (near - far);
  return m;
}

void expectProjection(const Matrix& actual, const Matrix& expected) {
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-6 * (1.0 + std::fabs(expected[i]))) << "element " << i;
  }
}

class Projection : public GlTest {};

// Each size its own projection (a fractional aspect first) and viewport, replacing the last,
// whatever matrix mode was left; model-view after.
TEST_F(Projection, FitsEachSizeReplacingThePrevious) {
  for (const auto& [width, height] : {std::array{640, 480}, std::array{300, 300}}) {
    reshape(width, height);
    const ProjectionState state = current();
    expectProjection(state.projection, perspective(double(width) / double(height)));
    EXPECT_EQ(state.viewport, (std::array<GLint, 4>{0, 0, width, height}));
    EXPECT_EQ(state.matrixMode, GL_MODELVIEW);
    glMatrixMode(GL_TEXTURE);
  }
}

TEST_F(Projection, SizesWithAZeroSideChangeNothing) {
  const Matrix identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  reshape(0, 200);  // before any real size: the initial identity stays
  expectProjection(current().projection, identity);
  reshape(400, 200);
  glMatrixMode(GL_TEXTURE);
  const ProjectionState before = current();
  for (const auto& [width, height] : {std::array{0, 300}, std::array{300, 0}, std::array{0, 0}}) {
    reshape(width, height);
    const ProjectionState after = current();
    EXPECT_EQ(after.projection, before.projection) << width << " x " << height;
    EXPECT_EQ(after.viewport, before.viewport) << width << " x " << height;
    EXPECT_EQ(after.matrixMode, GL_TEXTURE) << width << " x " << height;
  }
}

}  // namespace
