#pragma once

#include <cstddef>
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
};

// A channel under a mask of n contiguous bits: its steps, from 0 to top = 2^n - 1.
struct Channel {
  unsigned long value, top;
};
inline unsigned long lowestBit(unsigned long mask) { return mask & (~mask + 1); }
inline unsigned long top(unsigned long mask) { return mask == 0 ? 1 : mask / lowestBit(mask); }
inline Channel channel(unsigned long pixel, unsigned long mask) {
  return mask == 0 ? Channel{0, 1} : Channel{(pixel & mask) / lowestBit(mask), top(mask)};
}
// The bits a level in [0, top] takes under mask.
inline unsigned long stored(unsigned long level, unsigned long mask) { return level * lowestBit(mask); }
// A level in [0, from] as the nearest in [0, to]: the one conversion between depths.
inline unsigned long rescaled(unsigned long level, unsigned long from, unsigned long to) {
  return (level * to + from / 2) / from;
}

// A picture of 8-bit channels, red first, `step` bytes a pixel; and back, three bytes a
// pixel, top row first, as a PNG keeps it.
Picture fromBytes(int width, int height, const unsigned char* bytes, std::size_t step, bool bottomRowFirst);
std::vector<unsigned char> toBytes(const Picture& picture);

}  // namespace watch
