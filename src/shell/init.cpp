#include "shell/init.h"

#include <GL/gl.h>

void init() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  // Without it the face submitted last would cover nearer ones; the window has a depth buffer.
  glEnable(GL_DEPTH_TEST);
}
