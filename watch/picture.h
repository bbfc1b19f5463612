#pragma once

#include <vector>

namespace watch {

// A window's pixels as its visual stores them, colour bits only, top row first; and the
// visual's masks, which say how (16, 24 or 30 bits per pixel).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned long> pixels;
  unsigned long red = 0, green = 0, blue = 0;

  bool empty() const { return pixels.empty(); }
  bool operator==(const Picture& other) const { return pixels == other.pixels && width == other.width; }
  bool operator!=(const Picture& other) const { return !(*this == other); }
};

}  // namespace watch
