#include "shell/window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xutil.h>

#include <cstring>

namespace {

constexpr int kDefaultWindowSide = 300;  // pixels; GLUT's own default
// Mesa's largest framebuffer and viewport side; a bigger window is never drawn whole, and
// presenting a frame of one (4 GiB at 32767 x 32767) aborts inside the X client library.
constexpr int kMaxWindowSide = 16384;

// The desktop entry's StartupWMClass: shells and task managers match the window to the
// entry, its name and its icon, by this.
char kWindowClass[] = CUBE_WINDOW_CLASS;
char kProgramName[] = "cube";  // the instance name when started with no argv[0]

constexpr bool usableSide(int pixels) { return pixels >= 1 && pixels <= kMaxWindowSide; }

}  // namespace

void keepInitialWindowSizeUsable() {
  // freeglut turns "-geometry +5+5", "-geometry garbage" or "0x0" into 0 x 0, which
  // window creation dies on with BadValue; a side past kMaxWindowSide is never drawn whole.
  if (!usableSide(glutGet(GLUT_INIT_WINDOW_WIDTH)) || !usableSide(glutGet(GLUT_INIT_WINDOW_HEIGHT))) {
    glutInitWindowSize(kDefaultWindowSide, kDefaultWindowSide);
  }
}

void nameWindowClass(char* program) {
  // GLUT names no class, so this is the one call straight to X: on GLX the current
  // drawable is the window itself. A window that is already mapped may still get its
  // class; shells re-match it when the class changes.
  Display* display = glXGetCurrentDisplay();
  const GLXDrawable window = glXGetCurrentDrawable();
  if (display == nullptr || window == 0) {
    return;  // not an X window: nothing to name
  }
  char* instance = program != nullptr && *program != '\0' ? program : kProgramName;
  if (char* slash = std::strrchr(instance, '/'); slash != nullptr && slash[1] != '\0') {
    instance = slash + 1;
  }
  XClassHint hint{instance, kWindowClass};
  XSetClassHint(display, window, &hint);
}
