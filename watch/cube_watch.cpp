// cube-watch, the program seen from outside for the scripts. show: waits for the window to
// show the cube (watch/watcher.h), saves and prints what it saw, and exits 0; else says so,
// and exits 1. resize: resizes the window through six shapes, one every 3 s; 0 if the
// program lasts. judge: a PNG's verdict. --probe EVERY: the frame probe, on descriptor 3.
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
#include "watch/watcher.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: cube-watch show [--png FILE] [--probe EVERY] -- PROGRAM [ARGUMENT...]\n"
               "       cube-watch resize SECONDS [--probe EVERY] -- PROGRAM [ARGUMENT...]\n"
               "       cube-watch judge FILE\n");
  return 2;
}

bool savePng(const watch::Picture& p, const std::string& path) {
  const std::vector<png_byte> bytes = watch::toBytes(p);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(p.width);
  image.height = static_cast<png_uint_32>(p.height);
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

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
  return watch::fromBytes(int(image.width), int(image.height), bytes.data(), 3, false);
}

// The program on $DISPLAY, a connection to see it through, and the watcher's patience.
struct Watched {
  explicit Watched(const watch::Launch& launch)
      : display(std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : ""),
        screen(display),
        program(launch, display),
        watcher(screen, program) {}

  // Its window once it shows a frame, or 0, having said why.
  Window window() {
    const Window found = screen.x() != nullptr ? watcher.awaitWindow() : 0;
    if (found == 0) {
      std::fprintf(stderr, "no \"3D CUBE\" window of its own showed a frame on \"%s\": %s\n", display.c_str(),
                   screen.x() == nullptr ? "cannot open that X display" : watcher.why().c_str());
    }
    return found;
  }

  std::string display;
  watch::Screen screen;
  watch::Program program;
  watch::Watcher watcher;
};

int show(const std::string& png, const watch::Launch& launch) {
  Watched watched(launch);
  const Window window = watched.window();
  if (window == 0) {
    return 1;
  }
  const watch::Picture picture = watched.watcher.cube(window);
  if (picture.empty()) {
    std::fprintf(stderr, "the window did not show the cube: %s\n", watched.watcher.why().c_str());
    return 1;
  }
  const watch::Judgement judgement = watch::judge(picture);
  if (!png.empty() && !savePng(picture, png)) {
    std::fprintf(stderr, "cube-watch: could not write %s\n", png.c_str());
    return 1;
  }
  if (judgement.showsCube()) {
    std::printf("%s\n", judgement.summary().c_str());
    return 0;
  }
  std::fprintf(stderr, "the window did not show the cube: %s: %s%s\n", judgement.summary().c_str(),
               judgement.problem.c_str(), png.empty() ? "" : (" (in " + png + ")").c_str());
  return 1;
}

int resize(int seconds, const watch::Launch& launch) {
  Watched watched(launch);
  const Window window = watched.window();
  if (window == 0) {
    return 1;
  }
  const std::vector<std::array<unsigned, 2>> sizes{{640, 480},  {1, 1},      {300, 300},
                                                   {1024, 200}, {200, 1024}, {800, 600}};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (std::size_t next = 0; std::chrono::steady_clock::now() < end && watched.program.running(); ++next) {
    XResizeWindow(watched.screen.x(), window, sizes[next % sizes.size()][0], sizes[next % sizes.size()][1]);
    XFlush(watched.screen.x());
    std::this_thread::sleep_for(std::chrono::seconds(3));
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
  watch::Launch launch;
  std::size_t i = 1;
  const int seconds = args.size() > 1 && args[0] == "resize" ? std::atoi(args[i++].c_str()) : 0;
  for (; i < args.size() && args[i] != "--"; ++i) {
    if (args[i] == "--png" && i + 1 < args.size() && args[0] == "show") {
      png = args[++i];
    } else if (args[i] == "--probe" && i + 1 < args.size() && std::atol(args[i + 1].c_str()) > 0) {
      watch::addProbe(launch, 3, std::atol(args[++i].c_str()));
    } else {
      return usage();
    }
  }
  launch.argv.assign(args.begin() + std::ptrdiff_t(std::min(i + 1, args.size())), args.end());
  if (launch.argv.empty() || (args[0] == "resize" && seconds < 1)) {
    return usage();
  }
  return args[0] == "show" ? show(png, launch) : args[0] == "resize" ? resize(seconds, launch) : usage();
}
