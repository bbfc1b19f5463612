#include <GL/gl.h>

#include <array>
#include <cstddef>

#include "scene/angles.h"
#include "scene/scene.h"

namespace {

struct Point {
  GLfloat x, y, z;
};

struct Colour {
  GLfloat r, g, b;
};

struct Face {
  Colour colour;
  std::array<Point, 4> corners;  // submission order
};

// Model space: the cube spans -1..+1 on each axis; the viewer looks down -Z.
constexpr std::array<Face, 6> kFaces{{
    /* top,    y = +1 */ {{0.0f, 1.0f, 0.0f}, {{{1, 1, -1}, {-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}}}},
    /* bottom, y = -1 */ {{1.0f, 0.5f, 0.0f}, {{{1, -1, -1}, {-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}}}},
    /* front,  z = +1 */ {{1.0f, 0.0f, 0.0f}, {{{1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}, {1, -1, 1}}}},
    /* back,   z = -1 */ {{1.0f, 1.0f, 0.0f}, {{{1, 1, -1}, {-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}}}},
    /* left,   x = -1 */ {{0.0f, 0.0f, 1.0f}, {{{-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}}}},
    /* right,  x = +1 */ {{1.0f, 0.0f, 1.0f}, {{{1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1}}}},
}};

constexpr GLfloat kCubeDistance = 10.5f;  // eye to cube centre, along -Z
constexpr GLfloat kCubeScale = 2.0f;      // model span 2 -> 4 eye-space units

constexpr GLfloat coordinate(const Point& p, std::size_t axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// Bit (2 * axis + (side > 0)) if all four corners lie on that side of the cube, else 0.
constexpr unsigned sideBit(const Face& face) {
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const GLfloat side = coordinate(face.corners[0], axis);
    bool flat = side == 1.0f || side == -1.0f;
    for (const Point& corner : face.corners) {
      flat = flat && coordinate(corner, axis) == side;
    }
    if (flat) {
      return 1u << (2 * axis + (side > 0 ? 1 : 0));
    }
  }
  return 0;
}

constexpr bool coversEverySideOnce() {
  unsigned sides = 0;
  for (const Face& face : kFaces) {
    if (sideBit(face) == 0 || (sides & sideBit(face)) != 0) {
      return false;
    }
    sides |= sideBit(face);
  }
  return sides == 0x3Fu;
}

static_assert(kFaces.size() == 6, "a cube has six faces");
static_assert(coversEverySideOnce(), "each face must lie flat on its own side of the cube");

}  // namespace

void DrawCube() {
  glMatrixMode(GL_MODELVIEW);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -kCubeDistance);
  glRotatef(xRotated, 1.0f, 0.0f, 0.0f);
  glRotatef(yRotated, 0.0f, 1.0f, 0.0f);
  glRotatef(zRotated, 0.0f, 0.0f, 1.0f);
  glScalef(kCubeScale, kCubeScale, kCubeScale);

  glBegin(GL_QUADS);
  for (const Face& face : kFaces) {
    glColor3f(face.colour.r, face.colour.g, face.colour.b);
    for (const Point& corner : face.corners) {
      glVertex3f(corner.x, corner.y, corner.z);
    }
  }
  glEnd();
  glFlush();  // single-buffered: the frame shows as it is drawn, no swap
}
