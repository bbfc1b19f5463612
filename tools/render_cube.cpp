// One frame of the cube, as the program draws it, at given angles, as a binary PPM image on
// standard output, for the icons and the preview: render_cube SIZE X_DEGREES Y_DEGREES.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "offscreen_context.h"
#include "scene/angles.h"
#include "scene/scene.h"
#include "shell/init.h"

int main(int argc, char** argv) {
  const int size = argc == 4 ? std::atoi(argv[1]) : 0;
  if (size < 1 || size > 4096) {
    std::fprintf(stderr, "usage: render_cube SIZE X_DEGREES Y_DEGREES (SIZE in 1..4096 pixels)\n");
    return 2;
  }
  const OffscreenContext context(size, size);
  if (!context.current()) {
    std::fprintf(stderr, "render_cube: no off-screen OpenGL context\n");
    return 1;
  }
  init();
  reshape(size, size);
  xRotated = std::strtof(argv[2], nullptr);
  yRotated = std::strtof(argv[3], nullptr);
  DrawCube();

  const auto pixels = OffscreenContext::readPixels(size, size);
  std::printf("P6\n%d %d\n255\n", size, size);
  const auto side = static_cast<std::size_t>(size);
  for (std::size_t row = side; row-- > 0;) {  // PPM is top row first
    for (std::size_t column = 0; column < side; ++column) {
      std::fwrite(&pixels[4 * (row * side + column)], 1, 3, stdout);
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
