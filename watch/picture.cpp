#include "watch/picture.h"

namespace watch {

Picture fromBytes(int width, int height, const unsigned char* bytes, std::size_t step, bool bottomRowFirst,
                  unsigned long red, unsigned long green, unsigned long blue) {
  Picture p{width, height, {}, red, green, blue};
  const unsigned long masks[3] = {red, green, blue};
  const unsigned long tops[3] = {top(red), top(green), top(blue)};
  p.pixels.reserve(std::size_t(width) * std::size_t(height));
  for (int row = 0; row < height; ++row) {
    const unsigned char* byte =
        bytes + std::size_t(bottomRowFirst ? height - 1 - row : row) * std::size_t(width) * step;
    for (int column = 0; column < width; ++column, byte += step) {
      unsigned long pixel = 0;
      for (std::size_t c = 0; c < 3; ++c) {
        pixel |= stored(rescaled(byte[c], 255, tops[c]), masks[c]);
      }
      p.pixels.push_back(pixel);
    }
  }
  return p;
}

std::vector<unsigned char> toBytes(const Picture& picture) {
  std::vector<unsigned char> bytes;
  bytes.reserve(picture.pixels.size() * 3);
  for (const unsigned long pixel : picture.pixels) {
    for (const unsigned long mask : {picture.red, picture.green, picture.blue}) {
      const Channel c = channel(pixel, mask);
      bytes.push_back(static_cast<unsigned char>(rescaled(c.value, c.top, 255)));
    }
  }
  return bytes;
}

}  // namespace watch
