#pragma once

// Xlib defines macros (None, Bool, Status) that clash with other names: include this last.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "watch/picture.h"

namespace watch {

// A connection to an X server, seeing the program from outside as any client would. An
// X error (asking after a window that has gone) is left to the caller's checks: Xlib
// must not end the process for it.
class Screen {
 public:
  explicit Screen(const std::string& display);
  ~Screen() {
    if (x_ != nullptr) {
      XCloseDisplay(x_);
    }
  }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  Display* x() const { return x_; }

  // Those of the process `maker`, as the X server knows its clients (not as they say),
  // in the whole tree: a window manager puts the program's window in a frame.
  std::vector<Window> windowsTitled(const std::string& title, pid_t maker, Window under = 0) const;
  XWindowAttributes attributesOf(Window window) const;
  // Empty if the window is gone or not viewable.
  Picture capture(Window window) const;

 private:
  Display* x_ = nullptr;
};

}  // namespace watch
