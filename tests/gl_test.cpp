#include "gl_test.h"

#include "scene/angles.h"

void GlTest::SetUp() {
  context_.emplace(kSurfaceSide, kSurfaceSide);
  ASSERT_TRUE(context_->current()) << "no off-screen OpenGL context (EGL error " << eglGetError() << ")";
  xRotated = yRotated = zRotated = 0.0f;
}
