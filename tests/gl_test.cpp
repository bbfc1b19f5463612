#include "gl_test.h"

#include <GL/gl.h>

#include "scene/angles.h"

void GlTest::SetUp() {
  context_.emplace(kSurfaceSide, kSurfaceSide);
  ASSERT_TRUE(context_->current()) << "no off-screen OpenGL context (EGL error " << eglGetError() << ")";
  xRotated = yRotated = zRotated = 0.0f;
}

void GlTest::TearDown() {
  // GL keeps each error until it is read, and nothing in a test reads it: one look at the
  // end sees an error of any call since SetUp. A lost context could repeat one for ever.
  for (int read = 0; read < 8; ++read) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) {
      return;
    }
    ADD_FAILURE() << "GL error 0x" << std::hex << error;
  }
}
