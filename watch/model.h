#pragma once

#include <array>
#include <cstddef>

namespace watch {

// The cube as the judges know it, apart from the program, so that they check it rather than
// repeat it. Face f lies on the side (f % 2 ? + : -) of axis f / 2 (X, Y, Z): its outward
// normal follows from its index, and f ^ 1 is opposite it. Colours: red, green, blue in [0, 1].
struct Rgb {
  double r, g, b;
};
constexpr std::array<Rgb, 6> kFaceColours{{
    {0, 0, 1},    // -X, left: blue
    {1, 0, 1},    // +X, right: magenta
    {1, 0.5, 0},  // -Y, bottom: orange
    {0, 1, 0},    // +Y, top: green
    {1, 1, 0},    // -Z, back: yellow
    {1, 0, 0},    // +Z, front: red
}};
constexpr std::size_t kNoFace = kFaceColours.size();  // black: the background

// Where it stands: the eye looks down -Z at the cube's centre kEyeDistance ahead, through
// a vertical field of view of twice kHalfFieldOfView; eye-space units and degrees.
constexpr double kEyeDistance = 10.5;
constexpr double kHalfSide = 2.0;
constexpr double kHalfFieldOfView = 20.0;

}  // namespace watch
