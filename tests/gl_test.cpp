#include "gl_test.h"

#include <EGL/eglext.h>
#include <GL/gl.h>

#include "scene/angles.h"

void GlTest::SetUp() {
  const auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  ASSERT_NE(getPlatformDisplay, nullptr);
  display_ = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  ASSERT_TRUE(eglInitialize(display_, nullptr, nullptr)) << "EGL error " << eglGetError();

  const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_DEPTH_SIZE,
                                     24,
                                     EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  ASSERT_TRUE(eglChooseConfig(display_, configAttributes, &config, 1, &count) && count == 1);
  const EGLint surfaceAttributes[] = {EGL_WIDTH, kSurfaceSide, EGL_HEIGHT, kSurfaceSide, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display_, config, surfaceAttributes);
  ASSERT_NE(surface_, EGL_NO_SURFACE);
  ASSERT_TRUE(eglBindAPI(EGL_OPENGL_API));
  context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
  ASSERT_NE(context_, EGL_NO_CONTEXT);
  ASSERT_TRUE(eglMakeCurrent(display_, surface_, surface_, context_));
  xRotated = yRotated = zRotated = 0.0f;  // as at program start
}

void GlTest::TearDown() {
  if (display_ != EGL_NO_DISPLAY) {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglDestroySurface(display_, surface_);
  }
}

std::vector<std::uint8_t> GlTest::readPixels(int width, int height) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}
