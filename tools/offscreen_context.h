#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <vector>

// A current GL context of Mesa's software renderer on an EGL pbuffer: real OpenGL with
// no X server, RGBA with a depth buffer like the program's window.
class OffscreenContext {
 public:
  OffscreenContext(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  bool current() const { return context_ != EGL_NO_CONTEXT; }

  // RGBA bytes of the rectangle (0, 0, width, height), bottom row first.
  static std::vector<std::uint8_t> readPixels(int width, int height);

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLContext context_ = EGL_NO_CONTEXT;
};
