#include "shell/window.h"

#include <GL/freeglut.h>

namespace {

constexpr int kDefaultWindowSide = 300;  // pixels; GLUT's own default
// Mesa's largest framebuffer and viewport side; a bigger window is never drawn whole, and
// presenting a frame of one (4 GiB at 32767 x 32767) aborts inside the X client library.
constexpr int kMaxWindowSide = 16384;

constexpr bool usableSide(int pixels) { return pixels >= 1 && pixels <= kMaxWindowSide; }

}  // namespace

void init() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  // Without it the face submitted last would cover nearer ones; the window has a depth buffer.
  glEnable(GL_DEPTH_TEST);
}

void keepInitialWindowSizeUsable() {
  // freeglut turns "-geometry +5+5", "-geometry garbage" or "0x0" into 0 x 0, which
  // window creation dies on with BadValue; a side past kMaxWindowSide is never drawn whole.
  if (!usableSide(glutGet(GLUT_INIT_WINDOW_WIDTH)) || !usableSide(glutGet(GLUT_INIT_WINDOW_HEIGHT))) {
    glutInitWindowSize(kDefaultWindowSide, kDefaultWindowSide);
  }
}
