#include "watch/picture.h"

namespace watch {

Picture fromBytes(int width, int height, const unsigned char* bytes, std::size_t step, bool bottomRowFirst,
                  unsigned long red, unsigned long green, unsigned long blue) {
  Picture p{width, height, {}, red, green, blue};
  p.pixels.reserve(std::size_t(width) * std::size_t(height));
  for (int row = 0; row < height; ++row) {
    const unsigned char* byte =
        bytes + std::size_t(bottomRowFirst ? height - 1 - row : row) * std::size_t(width) * step;
    for (int column = 0; column < width; ++column, byte += step) {
      unsigned long pixel = 0;
      for (std::size_t c = 0; c < 3; ++c) {
        const unsigned long mask = c == 0 ? red : c == 1 ? green : blue;
        pixel |= stored((byte[c] * channel(0, mask).top + 127) / 255, mask);
      }
      p.pixels.push_back(pixel);
    }
  }
  return p;
}

}  // namespace watch
