// cube-watch: the program seen from outside, through its X server, for the scripts.
//   cube-watch show [--png FILE] [--fd3] -- PROGRAM [ARGUMENT...]
//     starts PROGRAM on $DISPLAY and waits until its "3D CUBE" window shows the cube;
//     prints what it saw ("3 faces, 41% cube, 0 other pixels"), saves that picture as
//     FILE, stops the program and exits 0. Exits 1, saying what it saw, if the program
//     ends first, if two pictures in a row cannot be the solid cube, or if the cube has
//     not shown within the patience.
//   cube-watch resize SECONDS [--fd3] -- PROGRAM [ARGUMENT...]
//     starts PROGRAM and, once its window shows, resizes it through six shapes, one every
//     3 s, for SECONDS; exits 0 if it still runs then.
//   cube-watch judge FILE
//     says what the PNG FILE shows; exits 0 if the cube.
// --fd3 passes this process's descriptor 3 on to PROGRAM as its own (the frame probe's).
#include <png.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "watch/judge.h"
#include "watch/process.h"
#include "watch/screen.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long it waits for the window and the cube, from the program's start: generous, for
// a slow or emulated machine, since it goes on the moment they are there. The outermost
// wait: scripts/desktop's and the program tests' are shorter.
constexpr auto kPatience = 120s;

int usage() {
  std::fprintf(stderr,
               "usage: cube-watch show [--png FILE] [--fd3] -- PROGRAM [ARGUMENT...]\n"
               "       cube-watch resize SECONDS [--fd3] -- PROGRAM [ARGUMENT...]\n"
               "       cube-watch judge FILE\n");
  return 2;
}

// 8 bits a channel, whatever the visual's depth.
std::vector<png_byte> rgb(const watch::Picture& p) {
  std::vector<png_byte> bytes;
  bytes.reserve(p.pixels.size() * 3);
  for (const unsigned long pixel : p.pixels) {
    for (const unsigned long mask : {p.red, p.green, p.blue}) {
      const unsigned long lowest = mask & (~mask + 1);
      const unsigned long top = mask / lowest;
      bytes.push_back(static_cast<png_byte>(((pixel & mask) / lowest * 255 + top / 2) / top));
    }
  }
  return bytes;
}

bool savePng(const watch::Picture& p, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(p.width);
  image.height = static_cast<png_uint_32>(p.height);
  image.format = PNG_FORMAT_RGB;
  const auto bytes = rgb(p);
  return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

// As a 24-bit visual would store it.
watch::Picture loadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    return {};
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr) == 0) {
    return {};
  }
  watch::Picture p{int(image.width), int(image.height), {}, 0xFF0000, 0xFF00, 0xFF};
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
    p.pixels.push_back(static_cast<unsigned long>(bytes[i]) << 16 | static_cast<unsigned long>(bytes[i + 1]) << 8 |
                       bytes[i + 2]);
  }
  return p;
}

// The program on $DISPLAY, and a connection to see it through.
struct Watched {
  Watched(const watch::Args& argv, int descriptor3)
      : display(std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : ""),
        screen(display),
        program(argv, display, descriptor3) {}

  // Its first "3D CUBE" window once that is viewable, or 0 (it says why) if the program
  // ends or the patience runs out first.
  Window window(Clock::time_point deadline) const {
    for (; Clock::now() < deadline && program.running(); std::this_thread::sleep_for(100ms)) {
      const auto windows = screen.windowsTitled("3D CUBE");
      if (!windows.empty() && screen.attributesOf(windows[0]).map_state == IsViewable) {
        return windows[0];
      }
    }
    std::fprintf(stderr, "no \"3D CUBE\" window was shown%s; the program said:\n%s\n",
                 program.running() ? " within the patience" : " before the program ended",
                 program.standardError().c_str());
    return 0;
  }

  std::string display;
  watch::Screen screen;
  watch::Program program;
};

int show(const std::string& png, int descriptor3, const watch::Args& argv) {
  Watched watched(argv, descriptor3);
  if (watched.screen.x() == nullptr) {
    std::fprintf(stderr, "cube-watch: cannot open the X display \"%s\"\n", watched.display.c_str());
    return 1;
  }
  const auto deadline = Clock::now() + kPatience;
  const Window window = watched.window(deadline);
  if (window == 0) {
    return 1;
  }
  watch::Picture picture;
  watch::Judgement judgement;
  for (int impossible = 0; Clock::now() < deadline && watched.program.running(); std::this_thread::sleep_for(100ms)) {
    picture = watched.screen.capture(window);
    judgement = watch::judge(picture);
    impossible = judgement.problem.empty() ? 0 : impossible + 1;
    if (judgement.showsCube() || impossible == 2) {
      break;
    }
  }
  const bool saved = png.empty() || picture.empty() || savePng(picture, png);
  const std::string seen = judgement.summary() + (judgement.problem.empty() ? "" : ": " + judgement.problem) +
                           (png.empty() || picture.empty() ? "" : " (in " + png + ")");
  if (judgement.showsCube() && saved) {
    std::printf("%s\n", judgement.summary().c_str());
    return 0;
  }
  if (!saved) {
    std::fprintf(stderr, "cube-watch: could not write %s\n", png.c_str());
  } else if (!watched.program.running()) {
    std::fprintf(stderr, "the program ended before its window showed the cube; last seen: %s; it said:\n%s\n",
                 seen.c_str(), watched.program.standardError().c_str());
  } else {
    std::fprintf(stderr, "the window did not show the cube: %s\n", seen.c_str());
  }
  return 1;
}

int resize(int seconds, int descriptor3, const watch::Args& argv) {
  Watched watched(argv, descriptor3);
  const Window window = watched.screen.x() != nullptr ? watched.window(Clock::now() + kPatience) : 0;
  if (window == 0) {
    return 1;
  }
  const std::array<std::array<unsigned, 2>, 6> sizes{
      {{640, 480}, {1, 1}, {300, 300}, {1024, 200}, {200, 1024}, {800, 600}}};
  std::size_t next = 0;
  for (const auto end = Clock::now() + std::chrono::seconds(seconds); Clock::now() < end && watched.program.running();
       std::this_thread::sleep_for(3s)) {
    XResizeWindow(watched.screen.x(), window, sizes[next][0], sizes[next][1]);
    XFlush(watched.screen.x());
    next = (next + 1) % sizes.size();
  }
  const bool lasted = watched.program.running();
  std::printf("after %d s of resizes, the program %s\n", seconds, lasted ? "still runs" : "has ended");
  return lasted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "judge") {
    const watch::Picture picture = loadPng(args[1]);
    const watch::Judgement judgement = watch::judge(picture);
    std::printf("%s%s\n", picture.empty() ? "not a PNG picture: " : "", judgement.summary().c_str());
    if (!judgement.problem.empty()) {
      std::printf("it cannot be the cube: %s\n", judgement.problem.c_str());
    }
    return judgement.showsCube() ? 0 : 1;
  }
  std::string png;
  int descriptor3 = -1;
  std::size_t i = 1;
  const int seconds = args.size() > 1 && args[0] == "resize" ? std::atoi(args[i++].c_str()) : 0;
  for (; i < args.size() && args[i] != "--"; ++i) {
    if (args[i] == "--png" && i + 1 < args.size() && args[0] == "show") {
      png = args[++i];
    } else if (args[i] == "--fd3") {
      descriptor3 = 3;
    } else {
      return usage();
    }
  }
  const watch::Args program(args.begin() + std::ptrdiff_t(std::min(i + 1, args.size())), args.end());
  if (program.empty() || (args[0] == "resize" && seconds < 1)) {
    return usage();
  }
  return args[0] == "show"     ? show(png, descriptor3, program)
         : args[0] == "resize" ? resize(seconds, descriptor3, program)
                               : usage();
}
