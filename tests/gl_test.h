#pragma once

#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Each test gets a fresh GL context of Mesa's software renderer on an EGL pbuffer:
// real OpenGL with no X server, RGBA with a depth buffer like the program's window.
class GlTest : public ::testing::Test {
 protected:
  static constexpr int kSurfaceSide = 512;  // pixels; every viewport used fits inside

  void SetUp() override;
  void TearDown() override;

  // RGBA bytes of the rectangle (0, 0, width, height), bottom row first.
  static std::vector<std::uint8_t> readPixels(int width, int height);

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLContext context_ = EGL_NO_CONTEXT;
};
