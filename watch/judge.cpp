#include "watch/judge.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "watch/model.h"

namespace watch {
namespace {

// Each value a face colour (0 to 5) or black (kNoFace) may take here, sorted: each channel
// c as a visual of this depth or a coarser one, to 5 bits, stores it (c top, rounded either
// way: orange's green half), carried to this depth, as a picture saved from a 16-bit one.
std::vector<std::pair<unsigned long, std::size_t>> palette(const Picture& p) {
  std::vector<std::pair<unsigned long, std::size_t>> values;
  const unsigned long finest = std::max({top(p.red), top(p.green), top(p.blue)});
  for (std::size_t face = 0; face <= kNoFace; ++face) {
    const Rgb c = face < kNoFace ? kFaceColours[face] : Rgb{0, 0, 0};
    for (unsigned long coarse = 31; coarse / 2 < finest; coarse = 2 * coarse + 1) {
      for (const bool up : {false, true}) {
        unsigned long value = 0;
        for (const auto& [level, mask] : {std::pair{c.r, p.red}, {c.g, p.green}, {c.b, p.blue}}) {
          const unsigned long depth = std::min(coarse, top(mask));
          const double steps = level * double(depth);
          value |= stored(
              rescaled(static_cast<unsigned long>(up ? std::ceil(steps) : std::floor(steps)), depth, top(mask)), mask);
        }
        values.emplace_back(value, face);
      }
    }
  }
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

// How far from the window's centre a sphere of this radius around the cube's centre
// reaches, in pixels of a window this high.
double reachInPixels(double radius, int height) {
  const double degree = std::acos(-1.0) / 180.0;
  return height / 2.0 * std::tan(std::asin(radius / kEyeDistance)) / std::tan(kHalfFieldOfView * degree);
}

// Whether three faces, one on each axis (sorted by axis), stand in the cube's own order.
// Seen from outside, faces with outward normals n0, n1, n2 meeting at a corner go round
// it counter-clockwise when det(n0, n1, n2) > 0; with rows top first, as here, clockwise.
bool inTheCubesOrder(const std::vector<std::size_t>& faces, const std::array<double, 6>& x,
                     const std::array<double, 6>& y) {
  const auto [a, b, c] = std::array{faces[0], faces[1], faces[2]};
  const double determinant = (a % 2 != 0 ? 1 : -1) * (b % 2 != 0 ? 1 : -1) * (c % 2 != 0 ? 1 : -1);
  const double turn = (x[b] - x[a]) * (y[c] - y[a]) - (y[b] - y[a]) * (x[c] - x[a]);
  return turn * determinant < 0;
}

// Whether the outline fits a window of width x height: it covers the inscribed sphere's
// radius in pixels and stays within the circumscribed one's, 2 pixels more for the edges'
// rasterisation. A narrow window may cut the cube at its sides.
bool fitsTheWindow(const Box& box, int width, int height) {
  const double inner = reachInPixels(kHalfSide, height) - 2;
  const double outer = reachInPixels(kHalfSide * std::sqrt(3.0), height) + 2;
  const double x = width / 2.0;
  const double y = height / 2.0;
  // Edges between pixels: the box's right edge is box.right + 1.
  return box.left >= x - outer && box.right + 1 <= x + outer && box.top >= y - outer && box.bottom + 1 <= y + outer &&
         box.left <= std::max(0.0, x - inner) && box.right + 1 >= std::min(double(width), x + inner) &&
         box.top <= std::max(0.0, y - inner) && box.bottom + 1 >= std::min(double(height), y + inner);
}

}  // namespace

std::string Judgement::summary() const {
  return std::to_string(faces) + " faces, " + std::to_string(std::lround(share * 100)) + "% cube, " +
         std::to_string(others) + " other pixels";
}

Judgement judge(const Picture& p) {
  Judgement j;
  const auto values = palette(p);
  std::array<double, 6> x{};  // sums of each face's columns and rows, then its centre
  std::array<double, 6> y{};
  Box& box = j.outline = {p.width, p.height, -1, -1};
  for (std::size_t i = 0; i < p.pixels.size(); ++i) {
    const int column = int(i % std::size_t(p.width));
    const int row = int(i / std::size_t(p.width));
    if (p.pixels[i] != 0) {
      box = {std::min(box.left, column), std::min(box.top, row), std::max(box.right, column),
             std::max(box.bottom, row)};
    }
    const auto value = std::lower_bound(values.begin(), values.end(), std::pair{p.pixels[i], std::size_t{0}});
    if (value == values.end() || value->first != p.pixels[i]) {
      ++j.others;
    } else if (++j.pixels[value->second]; value->second < kNoFace) {
      x[value->second] += column;
      y[value->second] += row;
    }
  }
  const long cube = long(p.pixels.size()) - j.pixels[kNoFace] - j.others;
  j.share = p.pixels.empty() ? 0 : double(p.pixels.size() - std::size_t(j.pixels[kNoFace])) / double(p.pixels.size());
  std::vector<std::size_t> seen;
  for (std::size_t face = 0; face < kNoFace; ++face) {
    if (j.pixels[face] * 200 > cube) {
      seen.push_back(face);
      x[face] /= double(j.pixels[face]);
      y[face] /= double(j.pixels[face]);
    }
  }
  j.faces = int(seen.size());
  const bool opposite = std::any_of(seen.begin(), seen.end(), [&](std::size_t face) {
    return std::find(seen.begin(), seen.end(), face ^ 1) != seen.end();
  });
  if (j.others > 0) {
    j.problem = std::to_string(j.others) + " pixels of no colour of the cube";
  } else if (j.faces > 3) {
    j.problem = std::to_string(j.faces) + " faces at once, where a solid cube shows three at most";
  } else if (opposite) {
    j.problem = "two opposite faces at once";
  } else if (j.faces == 3 && !inTheCubesOrder(seen, x, y)) {
    j.problem = "three faces in mirrored order, as where two faces' colours changed places";
  } else if (cube == 0) {
    j.problem = "nothing but black, where the cube, turned any way, covers the window's centre";
  } else if (!fitsTheWindow(j.outline, p.width, p.height)) {
    j.problem = "an outline from (" + std::to_string(j.outline.left) + ", " + std::to_string(j.outline.top) + ") to (" +
                std::to_string(j.outline.right) + ", " + std::to_string(j.outline.bottom) +
                ") past the cube's bounds in a window of " + std::to_string(p.width) + " x " + std::to_string(p.height);
  }
  return j;
}

}  // namespace watch
