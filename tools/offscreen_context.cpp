#include "offscreen_context.h"

#include <EGL/eglext.h>
#include <GL/gl.h>

OffscreenContext::OffscreenContext(int width, int height) {
  const auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    return;
  }
  display_ = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  // clang-format off
  const EGLint configAttributes[] = {
      EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
      EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24, EGL_NONE};
  // clang-format on
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (eglInitialize(display_, nullptr, nullptr) != EGL_TRUE ||
      eglChooseConfig(display_, configAttributes, &config, 1, &count) != EGL_TRUE || count != 1 ||
      eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
    return;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display_, config, surfaceAttributes);
  const EGLContext context = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
  if (surface_ != EGL_NO_SURFACE && context != EGL_NO_CONTEXT &&
      eglMakeCurrent(display_, surface_, surface_, context) == EGL_TRUE) {
    context_ = context;
  }
}

OffscreenContext::~OffscreenContext() {
  if (display_ != EGL_NO_DISPLAY) {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglDestroySurface(display_, surface_);
    eglTerminate(display_);  // initialised here; left so, Mesa 26 loses its state at exit
  }
}

std::vector<std::uint8_t> OffscreenContext::readPixels(int width, int height) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}
