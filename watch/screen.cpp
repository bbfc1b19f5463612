#include "watch/screen.h"

#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

namespace watch {
namespace {

// The process of the client that made the window, by the X Resource extension; 0 if unknown.
pid_t makerOf(Display* x, Window window) {
  XResClientIdSpec asked{window, XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* ids = nullptr;
  if (XResQueryClientIds(x, 1, &asked, &count, &ids) != Success) {
    return 0;
  }
  const pid_t pid = count > 0 ? XResGetClientPid(&ids[0]) : 0;
  XResClientIdsDestroy(count, ids);
  return pid;
}

}  // namespace

Screen::Screen(const std::string& display) {
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  x_.reset(display.empty() ? nullptr : XOpenDisplay(display.c_str()));
}

std::vector<Window> Screen::windowsTitled(const std::string& title, pid_t maker, Window under) const {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  std::vector<Window> found;
  if (XQueryTree(x(), under != 0 ? under : DefaultRootWindow(x()), &root, &parent, &children, &count) == 0) {
    return found;
  }
  for (unsigned i = 0; i < count; ++i) {
    char* name = nullptr;
    if (XFetchName(x(), children[i], &name) != 0 && name != nullptr) {
      if (title == name && makerOf(x(), children[i]) == maker) {
        found.push_back(children[i]);
      }
      XFree(name);
    }
    const auto inside = windowsTitled(title, maker, children[i]);
    found.insert(found.end(), inside.begin(), inside.end());
  }
  XFree(children);
  return found;
}

XWindowAttributes Screen::attributesOf(Window window) const {
  XWindowAttributes attributes{};
  XGetWindowAttributes(x(), window, &attributes);
  return attributes;
}

Picture Screen::capture(Window window) const {
  const XWindowAttributes a = attributesOf(window);
  Picture picture;
  if (a.map_state != IsViewable || a.visual == nullptr) {
    return picture;
  }
  XImage* image = XGetImage(x(), window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (image == nullptr) {
    return picture;
  }
  picture = {a.width, a.height, {}, a.visual->red_mask, a.visual->green_mask, a.visual->blue_mask};
  picture.pixels.reserve(static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height));
  const unsigned long colour = picture.red | picture.green | picture.blue;
  for (int row = 0; row < a.height; ++row) {
    for (int column = 0; column < a.width; ++column) {
      picture.pixels.push_back(XGetPixel(image, column, row) & colour);
    }
  }
  XDestroyImage(image);
  return picture;
}

}  // namespace watch
