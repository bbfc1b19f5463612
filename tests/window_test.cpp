// gtest first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 10s;  // guards against a hang; not a speed check

// Runs argv as a child that dies with this process; extraFd stays open across exec.
pid_t spawn(std::vector<std::string> argv, const std::string& display, int extraFd = -1) {
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (int fd = 3; fd < 256; ++fd) {
      if (fd != extraFd) {
        close(fd);
      }
    }
    if (!display.empty()) {
      setenv("DISPLAY", display.c_str(), 1);
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (auto& arg : argv) {
      args.push_back(arg.data());
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// The real program on a private Xvfb of its own, seen through the X server.
class Window : public ::testing::Test {
 protected:
  // Xvfb on the first display number from :100 up that nobody uses; -displayfd
  // writes the number back once the server accepts clients.
  static void SetUpTestSuite() {
    for (int number = 100; number < 200 && x_ == nullptr; ++number) {
      display_ = ":" + std::to_string(number);
      if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) {
        continue;
      }
      int fds[2];
      ASSERT_EQ(pipe(fds), 0);
      server_ = spawn(
          {"Xvfb", display_, "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
          "", fds[1]);
      close(fds[1]);
      char ready = 0;
      const bool started = read(fds[0], &ready, 1) == 1;
      close(fds[0]);
      if (started) {
        x_ = XOpenDisplay(display_.c_str());
      } else {
        waitpid(server_, nullptr, 0);  // lost the number to another server: try the next
      }
    }
    ASSERT_NE(x_, nullptr) << "could not start Xvfb";
    // Asking after a window that died is an X error; the checks report it, Xlib must not exit.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }

  static void TearDownTestSuite() {
    if (x_ != nullptr) {
      XCloseDisplay(x_);
    }
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }

  void TearDown() override {
    if (cube_ > 0 && waitpid(cube_, nullptr, WNOHANG) == 0) {
      kill(cube_, SIGKILL);
      waitpid(cube_, nullptr, 0);
    }
  }

  void start(std::vector<std::string> options) {
    options.insert(options.begin(), CUBE_EXECUTABLE);
    cube_ = spawn(options, display_);
  }

  static std::vector<::Window> windowsTitled(const char* title) {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    std::vector<::Window> found;
    XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
      char* name = nullptr;
      if (XFetchName(x_, children[i], &name) != 0 && name != nullptr) {
        if (std::string(name) == title) {
          found.push_back(children[i]);
        }
        XFree(name);
      }
    }
    XFree(children);
    return found;
  }

  // The program's window once it is mapped and has been drawn into.
  ::Window cubeWindow() {
    for (const auto deadline = Clock::now() + kPatience; Clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
      if (!running()) {
        ADD_FAILURE() << "the program ended before its window showed";
        return 0;
      }
      const auto windows = windowsTitled("3D CUBE");
      XWindowAttributes attributes{};
      if (!windows.empty() && XGetWindowAttributes(x_, windows[0], &attributes) != 0 &&
          attributes.map_state == IsViewable) {
        std::this_thread::sleep_for(300ms);  // a few hundred frames
        return windows[0];
      }
    }
    ADD_FAILURE() << "no window titled \"3D CUBE\" appeared";
    return 0;
  }

  bool running() const { return waitpid(cube_, nullptr, WNOHANG) == 0; }

  static XWindowAttributes attributesOf(::Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(x_, window, &attributes);
    return attributes;
  }

  static std::vector<unsigned long> capture(::Window window) {
    const XWindowAttributes a = attributesOf(window);
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(x_, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    for (int y = 0; image != nullptr && y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) {
        pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFFul);
      }
    }
    if (image != nullptr) {
      XDestroyImage(image);
    }
    return pixels;
  }

  static inline pid_t server_ = -1;
  static inline std::string display_;
  static inline Display* x_ = nullptr;
  pid_t cube_ = -1;
};

// GLUT's default size, or a usable one from -geometry; never a crash on one it mangles.
TEST_F(Window, OpensOneWindowAtItsPlaceSizedByGlutOrItsDefault) {
  const std::vector<std::pair<std::vector<std::string>, std::array<int, 2>>> cases{
      {{}, {300, 300}},
      {{"-geometry", "640x480"}, {640, 480}},
      {{"-geometry", "+5+5"}, {300, 300}},
      {{"-geometry", "garbage"}, {300, 300}},
      {{"-geometry", "0x0"}, {300, 300}},
      {{"-geometry", "100000x100000"}, {300, 300}}};
  for (const auto& [options, size] : cases) {
    SCOPED_TRACE(options.empty() ? "no options" : options.back());
    start(options);
    const ::Window window = cubeWindow();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(windowsTitled("3D CUBE").size(), 1u);
    const XWindowAttributes a = attributesOf(window);
    EXPECT_EQ((std::array{a.x, a.y, a.width, a.height}), (std::array{100, 100, size[0], size[1]}));
    EXPECT_TRUE(running());
    TearDown();
  }
}

TEST_F(Window, ShowsTheSolidCubeTurning) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);

  // The visual GLUT chose: RGBA, single-buffered, with the depth buffer a solid cube needs.
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributesOf(window).visual);
  int count = 0;
  const std::unique_ptr<XVisualInfo, int (*)(void*)> visual(XGetVisualInfo(x_, VisualIDMask, &wanted, &count), XFree);
  ASSERT_NE(visual, nullptr);
  int rgba = 0, doubleBuffered = 1, depthBits = 0;
  glXGetConfig(x_, visual.get(), GLX_RGBA, &rgba);
  glXGetConfig(x_, visual.get(), GLX_DOUBLEBUFFER, &doubleBuffered);
  glXGetConfig(x_, visual.get(), GLX_DEPTH_SIZE, &depthBits);
  EXPECT_EQ((std::array{rgba, doubleBuffered}), (std::array{1, 0}));
  EXPECT_GE(depthBits, 16);

  const auto before = capture(window);
  std::this_thread::sleep_for(500ms);
  const auto after = capture(window);
  ASSERT_EQ(before.size(), 300u * 300u);
  // Flat faces, nothing lit or blended: black and the six face colours are all there is,
  // and the cube, turned any way, covers the centre.
  const std::vector<unsigned long> palette{0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                           0xFFFF00, 0xFF00FF, 0xFF7F00, 0xFF8000};
  const auto foreign = std::count_if(before.begin(), before.end(), [&](unsigned long pixel) {
    return std::find(palette.begin(), palette.end(), pixel) == palette.end();
  });
  EXPECT_EQ(foreign, 0);
  EXPECT_NE(before[150 * 300 + 150], 0ul);
  EXPECT_EQ(before.front(), 0ul) << "black background";
  EXPECT_NE(before, after);
}

TEST_F(Window, ClosingTheWindowEndsTheProgramWithStatusZero) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
  close.xclient.data.l[1] = CurrentTime;
  XSendEvent(x_, window, False, NoEventMask, &close);
  XFlush(x_);
  int status = -1;
  for (const auto deadline = Clock::now() + kPatience;
       Clock::now() < deadline && waitpid(cube_, &status, WNOHANG) == 0;) {
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  cube_ = -1;
}

}  // namespace
