#pragma once

#include <array>
#include <string>

#include "watch/picture.h"

namespace watch {

// A bounding box in pixels, edges inclusive: left > right where there is nothing in it.
struct Box {
  int left, top, right, bottom;
};

// What a picture shows of the cube, as one frame of a solid cube would.
struct Judgement {
  std::array<long, 7> pixels{};  // of each face's colour (kFaceColours), then of black
  long others = 0;               // of no colour of the cube: lit, blended or torn
  int faces = 0;                 // each covering more than 1/200 of the cube
  double share = 0;              // of the window that is not black, 0 to 1
  Box outline{0, 0, -1, -1};     // around all that is not black
  // Why it cannot be a frame of the solid cube: other colours, more than three faces, two
  // opposite faces, three faces in mirrored order, nothing but black, an outline past the
  // cube's bounds (turned any way, it covers its inscribed sphere and lies within its
  // circumscribed one). Empty: a frame of the cube at this picture's size.
  std::string problem;

  // A frame of the cube, seen well: three faces, from 5% to 90% of the window.
  bool showsCube() const { return problem.empty() && faces == 3 && share >= 0.05 && share <= 0.9; }
  // "3 faces, 41% cube, 0 other pixels"
  std::string summary() const;
};

Judgement judge(const Picture& picture);

}  // namespace watch
