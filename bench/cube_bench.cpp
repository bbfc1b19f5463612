// Frame rate of the idle step against an empty frame's, in GLUT windows of three sizes; then
// the real program's start-up and memory, through the frame probe. On an X server.
#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scene/scene.h"
#include "shell/init.h"
#include "watch/process.h"
#include "watch/watcher.h"

namespace {

long long monotonicNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int benchWindow = 0;
bool reshaped = false;
std::string renderer;

// A window like the program's, of the benchmark's size, shown and fitted.
void openWindow(const benchmark::State& state) {
  glutInitWindowSize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  glutInitWindowPosition(0, 0);
  benchWindow = glutCreateWindow("cube benchmark");
  init();
  glutDisplayFunc(DrawCube);
  glutReshapeFunc([](int width, int height) {
    reshape(width, height);
    reshaped = true;
  });
  for (reshaped = false; !reshaped;) {
    glutMainLoopEvent();
  }
  renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
}

void closeWindow(const benchmark::State&) {
  glutDestroyWindow(benchWindow);
  glutMainLoopEvent();
}

// The idle step as GLUT calls it: turn, draw, flush.
void Frame(benchmark::State& state) {
  for (auto _ : state) {
    animation();
  }
  glFinish();
}

// The least any frame costs in this window: clear colour and depth, flush.
void Floor(benchmark::State& state) {
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
  }
  glFinish();
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Args({300, 300})->Args({1024, 768})->Args({1920, 1080});
  b->Setup(openWindow)->Teardown(closeWindow)->UseRealTime()->Unit(benchmark::kMicrosecond);
}
BENCHMARK(Frame)->Apply(sizes);
BENCHMARK(Floor)->Apply(sizes);

// Keeps frames per second by size, to print frame against floor.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (rates.count(run.run_name.args) == 0) {
        sizes.push_back(run.run_name.args);
      }
      rates[run.run_name.args][run.run_name.function_name] =
          static_cast<double>(run.iterations) / run.real_accumulated_time;
    }
  }
  std::vector<std::string> sizes;  // as first run
  std::map<std::string, std::map<std::string, double>> rates;
};

// Starts argv with the frame probe reporting every `every` frames, and hands report(frames,
// ns, kB) each report until it returns false, the program ends, or kStill passes without one.
template <typename Report>
void probe(watch::Args argv, long every, Report report) {
  int fds[2];
  if (pipe(fds) != 0) {
    return;
  }
  watch::Launch launch;
  launch.argv = std::move(argv);
  watch::addProbe(launch, fds[1], every);
  const watch::Program program(launch, std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "");
  close(fds[1]);
  long frames = 0;
  long long nanoseconds = 0;
  long kilobytes = 0;
  for (std::string line; watch::readLine(fds[0], line, watch::kStill) &&
                         std::sscanf(line.c_str(), "%ld %lld %ld", &frames, &nanoseconds, &kilobytes) == 3 &&
                         report(frames, nanoseconds, kilobytes);) {
  }
  close(fds[0]);
}

// Median wall time, in milliseconds, from starting argv to its first reported frame; none
// if no start reached one.
std::optional<double> medianStartMilliseconds(const std::vector<std::string>& argv) {
  std::vector<double> times;
  for (int run = 0; run < 10; ++run) {
    const long long start = monotonicNanoseconds();
    probe(argv, 0, [&](long, long long at, long) {
      times.push_back(static_cast<double>(at - start) / 1e6);
      return false;
    });
  }
  std::sort(times.begin(), times.end());
  return times.empty() ? std::nullopt : std::optional<double>(times[times.size() / 2]);
}

// Maps a bare 300 x 300 window at (100, 100), reports its first expose as the probe would, waits.
int emptyWindow() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return 1;
  }
  const ::Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100, 300, 300, 0, 0, 0);
  XSelectInput(display, window, ExposureMask);
  XMapWindow(display, window);
  for (XEvent event{}; event.type != Expose;) {
    XNextEvent(display, &event);
  }
  std::fprintf(fdopen(3, "w"), "1 %lld 0\n", monotonicNanoseconds());
  std::fflush(nullptr);
  pause();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--empty-window") {
    return emptyWindow();
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_SINGLE | GLUT_DEPTH);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nRenderer: %s\n\n%-10s %10s %10s %12s\n", renderer.c_str(), "size", "frame/s", "floor/s",
              "frame/floor");
  for (const std::string& size : reporter.sizes) {
    const auto& rate = reporter.rates.at(size);
    std::string label = size;
    std::replace(label.begin(), label.end(), '/', 'x');
    std::printf("%-10s %10.0f %10.0f %12.2f\n", label.c_str(), rate.at("Frame"), rate.at("Floor"),
                rate.at("Frame") / rate.at("Floor"));
  }

  const auto cubeStart = medianStartMilliseconds({CUBE_EXECUTABLE});
  const auto emptyStart = medianStartMilliseconds({"/proc/self/exe", "--empty-window"});
  if (!cubeStart || !emptyStart) {
    std::printf("\nStart-up not measured: %s reached no first frame in 10 starts\n",
                cubeStart ? "an empty X window" : "cube");
    return 1;
  }
  std::printf(
      "\nStart-up, median of 10: cube to its first frame %.1f ms; an empty X window to its first expose %.1f ms\n",
      *cubeStart, *emptyStart);

  std::map<long, long> resident;
  probe({CUBE_EXECUTABLE}, 10000, [&](long frames, long long, long kilobytes) {
    resident[frames] = kilobytes;
    return frames < 200000;
  });
  if (resident.count(10000) == 0 || resident.count(200000) == 0) {
    std::printf("Resident size not measured: cube ended, or reported nothing for %lld s, before frame 200,000\n",
                static_cast<long long>(watch::kStill.count()));
    return 1;
  }
  std::printf("Resident size: %ld kB after 10,000 frames, %ld kB after 200,000 frames (%+ld kB)\n", resident[10000],
              resident[200000], resident[200000] - resident[10000]);
  return 0;
}
