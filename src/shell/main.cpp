#include <GL/freeglut.h>

#include "scene/scene.h"
#include "shell/init.h"
#include "shell/window.h"

namespace {

constexpr int kWindowX = 100;  // screen pixels
constexpr int kWindowY = 100;

}  // namespace

int main(int argc, char** argv) {
  glutInit(&argc, argv);  // takes GLUT's own options (-display, -geometry, ...) out of argv
  glutInitDisplayMode(GLUT_RGBA | GLUT_SINGLE | GLUT_DEPTH);
  glutInitWindowPosition(kWindowX, kWindowY);
  keepInitialWindowSizeUsable();
  glutCreateWindow("3D CUBE");
  nameWindowClass(argv[0]);
  init();
  glutDisplayFunc(DrawCube);
  glutReshapeFunc(reshape);
  glutIdleFunc(animation);
  glutMainLoop();
  return 0;
}
