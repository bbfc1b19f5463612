#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <optional>

#include "offscreen_context.h"
#include "scene/angles.h"

// Each test gets a fresh off-screen GL context and the angles the program starts with,
// and fails on any GL error its frames and reshapes raised.
class GlTest : public ::testing::Test {
 protected:
  static constexpr int kSurfaceSide = 512;  // pixels; every viewport used fits inside

  void SetUp() override {
    context_.emplace(kSurfaceSide, kSurfaceSide);
    ASSERT_TRUE(context_->current()) << "no off-screen OpenGL context (EGL error " << eglGetError() << ")";
    xRotated = yRotated = zRotated = 0.0f;
  }
  // GL keeps each error until it is read, and nothing in a test reads it: one look at the
  // end sees an error of any call since SetUp. A lost context could repeat one for ever.
  void TearDown() override {
    for (GLenum error = glGetError(), read = 1; error != GL_NO_ERROR && read <= 8; error = glGetError(), ++read) {
      ADD_FAILURE() << "GL error 0x" << std::hex << error;
    }
  }

 private:
  std::optional<OffscreenContext> context_;
};
