#include "watch/picture.h"

namespace watch {

Picture fromBytes(int width, int height, const unsigned char* bytes, std::size_t step, bool bottomRowFirst) {
  Picture p{width, height, {}, 0xFF0000, 0xFF00, 0xFF};
  p.pixels.reserve(std::size_t(width) * std::size_t(height));
  for (int row = 0; row < height; ++row) {
    const unsigned char* byte =
        bytes + std::size_t(bottomRowFirst ? height - 1 - row : row) * std::size_t(width) * step;
    for (int column = 0; column < width; ++column, byte += step) {
      p.pixels.push_back(static_cast<unsigned long>(byte[0]) << 16 | static_cast<unsigned long>(byte[1]) << 8 |
                         byte[2]);
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
