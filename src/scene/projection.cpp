#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/scene.h"

namespace {

constexpr GLdouble kFieldOfViewYDegrees = 40.0;
constexpr GLdouble kNearPlane = 0.5;  // eye-space units; the cube stays within 7..14
constexpr GLdouble kFarPlane = 20.0;

}  // namespace

void reshape(int width, int height) {
  // GLUT may report a zero side (a minimised window); keep the last projection.
  if (width == 0 || height == 0) {
    return;
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const GLdouble aspect = static_cast<GLdouble>(width) / static_cast<GLdouble>(height);
  gluPerspective(kFieldOfViewYDegrees, aspect, kNearPlane, kFarPlane);
  glMatrixMode(GL_MODELVIEW);  // DrawCube expects it, and sets it again regardless
  glViewport(0, 0, width, height);
}
