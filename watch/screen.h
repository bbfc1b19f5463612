#pragma once

// Xlib defines macros (None, Bool, Status) that clash with other names: include this last.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "watch/picture.h"

namespace watch {

// A connection to an X server, seeing the program as any client would. An X error (a window
// gone) is left to the caller's checks: Xlib must not end the process for it.
class Screen {
 public:
  explicit Screen(const std::string& display);
  Display* x() const { return x_.get(); }

  // Those of the process `maker`, as the X server knows its clients (not as they say),
  // in the whole tree: a window manager puts the program's window in a frame.
  std::vector<Window> windowsTitled(const std::string& title, pid_t maker, Window under = 0) const;
  XWindowAttributes attributesOf(Window window) const;
  // Empty if the window is gone or not viewable.
  Picture capture(Window window) const;

 private:
  std::unique_ptr<Display, int (*)(Display*)> x_{nullptr, XCloseDisplay};
};

}  // namespace watch
