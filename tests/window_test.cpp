// gtest first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Args = std::vector<std::string>;

constexpr auto kPatience = 10s;  // guards against a hang; not a speed check
// Tall enough to see a window of the largest side the program accepts whole at (100, 100).
constexpr const char* kScreen = "1280x16600x24";

// Runs argv as a child that dies with this process. keepFd stays open across exec;
// errorsTo, when given, receives its standard error.
pid_t spawn(Args argv, const std::string& display, int keepFd = -1, const std::string& errorsTo = "") {
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!errorsTo.empty()) {
      dup2(open(errorsTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    }
    for (int fd = 3; fd < 256; ++fd) {
      if (fd != keepFd) {
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

int runToEnd(const Args& argv) {
  int status = -1;
  waitpid(spawn(argv, ""), &status, 0);
  return status;
}

// A private Xvfb, as xvfb-run sets one up: on the first display number from :100 up
// that nobody uses, no TCP listener, and a fresh authorization cookie that only this
// test process and its children know (XAUTHORITY). With -displayfd the server takes no
// lock file; another server on the same number makes it fail, and the next is tried.
class XServer {
 public:
  XServer() {
    static const struct Authority {
      Authority() {
        close(mkstemp(path.data()));
        setenv("XAUTHORITY", path.c_str(), 1);
      }
      ~Authority() { std::remove(path.c_str()); }
      std::string path = "/tmp/cube-test-auth-XXXXXX";
    } authority;
    for (int number = 100; number < 200 && display_.empty(); ++number) {
      const std::string name = ":" + std::to_string(number);
      const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
      if (access(lock.c_str(), F_OK) == 0 || access(socketOf(name).c_str(), F_OK) == 0) {
        continue;
      }
      unsigned char random[16];
      std::ifstream("/dev/urandom", std::ios::binary).read(reinterpret_cast<char*>(random), sizeof random);
      std::string cookie;
      for (const unsigned char byte : random) {
        cookie += "0123456789abcdef"[byte >> 4];
        cookie += "0123456789abcdef"[byte & 15];
      }
      if (runToEnd({"xauth", "-q", "-f", authority.path, "add", name, ".", cookie}) != 0) {
        break;
      }
      int ready[2];
      if (pipe(ready) != 0) {
        break;
      }
      // -displayfd writes the number back once the server accepts clients.
      pid_ = spawn({"Xvfb", name, "-displayfd", std::to_string(ready[1]), "-nolisten", "tcp", "-noreset", "-auth",
                    authority.path, "-screen", "0", kScreen},
                   "", ready[1], "/dev/null");
      close(ready[1]);
      std::string written;  // read it all: the server dies if its write fails
      for (char c = 0; read(ready[0], &c, 1) == 1 && c != '\n';) {
        written += c;
      }
      if (!written.empty()) {
        display_ = name;
      } else {
        waitpid(pid_, nullptr, 0);  // lost the number to another server: try the next
      }
      close(ready[0]);
    }
  }

  ~XServer() { stop(); }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // A killed server leaves its socket file behind, which would keep the number taken.
  void stop(int signal = SIGTERM) {
    if (!display_.empty() && kill(pid_, signal) == 0) {
      waitpid(pid_, nullptr, 0);
      std::remove(socketOf(display_).c_str());
    }
  }

  const std::string& display() const { return display_; }

 private:
  static std::string socketOf(const std::string& display) { return "/tmp/.X11-unix/X" + display.substr(1); }

  std::string display_;
  pid_t pid_ = -1;
};

// The real program on a private X server, seen from outside through that server.
class Window : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<XServer>();
    // Asking after a window that died is an X error; the checks report it, Xlib must not exit.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override { ASSERT_TRUE(connect(*server_)) << "no X server on \"" << server_->display() << "\""; }

  void TearDown() override {
    stopProgram();
    if (x_ != nullptr) {
      XCloseDisplay(x_);
      x_ = nullptr;
    }
    std::remove(errors_.c_str());
  }

  bool connect(const XServer& server) {
    x_ = server.display().empty() ? nullptr : XOpenDisplay(server.display().c_str());
    display_ = server.display();
    return x_ != nullptr;
  }

  void start(Args options) {
    options.insert(options.begin(), CUBE_EXECUTABLE);
    cube_ = spawn(options, display_, -1, errors_);
  }

  void stopProgram() {
    if (cube_ > 0 && waitpid(cube_, nullptr, WNOHANG) == 0) {
      kill(cube_, SIGKILL);
      waitpid(cube_, nullptr, 0);
    }
    cube_ = -1;
  }

  // Looks without reaping, so that ending() still gets the status.
  bool running() const {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(cube_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
  }

  // Waits for the program to end: its wait status, or -1 if it is still running.
  int ending() {
    int status = -1;
    for (const auto deadline = Clock::now() + kPatience; Clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
      if (waitpid(cube_, &status, WNOHANG) == cube_) {
        cube_ = -1;
        return status;
      }
    }
    return -1;
  }

  std::string standardError() const {
    std::ifstream file(errors_);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  std::vector<::Window> windowsTitled(const char* title) const {
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

  // The program's window once it is viewable and shows a frame; 0 if the program ends
  // first, which is a failure unless mayEnd.
  ::Window cubeWindow(bool mayEnd = false) {
    // Turned any way, the cube covers the centre: a frame is not all black.
    const auto drawn = [](const std::vector<unsigned long>& pixels) {
      return std::any_of(pixels.begin(), pixels.end(), [](unsigned long pixel) { return pixel != 0; });
    };
    for (const auto deadline = Clock::now() + kPatience; Clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
      if (!running()) {
        if (!mayEnd) {
          ADD_FAILURE() << "the program ended before its window showed:\n" << standardError();
        }
        return 0;
      }
      const auto windows = windowsTitled("3D CUBE");
      if (!windows.empty() && attributesOf(windows[0]).map_state == IsViewable &&
          !pictureWhen(windows[0], drawn).empty()) {
        return windows[0];
      }
    }
    ADD_FAILURE() << "no frame in a window titled \"3D CUBE\"";
    return 0;
  }

  // Captures the window until its picture satisfies holds, the program ends or the
  // patience runs out; the picture that held, or an empty one.
  template <typename Holds>
  std::vector<unsigned long> pictureWhen(::Window window, Holds holds) const {
    for (const auto deadline = Clock::now() + kPatience; Clock::now() < deadline && running();
         std::this_thread::sleep_for(20ms)) {
      if (auto pixels = capture(window); !pixels.empty() && holds(pixels)) {
        return pixels;
      }
    }
    return {};
  }

  // The first picture that differs from before: the program has drawn a frame since.
  std::vector<unsigned long> nextPicture(::Window window, const std::vector<unsigned long>& before) const {
    return pictureWhen(window, [&](const std::vector<unsigned long>& pixels) { return pixels != before; });
  }

  XWindowAttributes attributesOf(::Window window) const {
    XWindowAttributes attributes{};
    XGetWindowAttributes(x_, window, &attributes);
    return attributes;
  }

  // The window's pixels as 0xRRGGBB, top row first.
  std::vector<unsigned long> capture(::Window window) const {
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

  static inline std::unique_ptr<XServer> server_;
  Display* x_ = nullptr;
  std::string display_;
  std::string errors_ = "/tmp/cube-test-stderr-" + std::to_string(getpid());
  pid_t cube_ = -1;
};

// GLUT's default size, or a usable one from -geometry; never a crash on one it mangles.
TEST_F(Window, OpensOneWindowAtItsPlaceSizedByGlutOrItsDefault) {
  const std::vector<std::pair<Args, std::array<int, 2>>> cases{{{}, {300, 300}},
                                                               {{"-geometry", "640x480"}, {640, 480}},
                                                               {{"-geometry", "+5+5"}, {300, 300}},
                                                               {{"-geometry", "garbage"}, {300, 300}},
                                                               {{"-geometry", "0x0"}, {300, 300}},
                                                               {{"-geometry", "1x16384"}, {1, 16384}},
                                                               {{"-geometry", "16385x16385"}, {300, 300}},
                                                               {{"-geometry", "32767x32767"}, {300, 300}},
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
    stopProgram();
  }
}

// Flat faces, nothing lit or blended: black and the six face colours are all there is.
void expectFlatColoursOnly(const std::vector<unsigned long>& pixels) {
  const std::vector<unsigned long> palette{0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                           0xFFFF00, 0xFF00FF, 0xFF7F00, 0xFF8000};
  const auto foreign = std::count_if(pixels.begin(), pixels.end(), [&](unsigned long pixel) {
    return std::find(palette.begin(), palette.end(), pixel) == palette.end();
  });
  EXPECT_EQ(foreign, 0);
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
  int rgba = 0;
  int doubleBuffered = 1;
  int depthBits = 0;
  glXGetConfig(x_, visual.get(), GLX_RGBA, &rgba);
  glXGetConfig(x_, visual.get(), GLX_DOUBLEBUFFER, &doubleBuffered);
  glXGetConfig(x_, visual.get(), GLX_DEPTH_SIZE, &depthBits);
  EXPECT_EQ((std::array{rgba, doubleBuffered}), (std::array{1, 0}));
  EXPECT_GE(depthBits, 16);

  const auto before = capture(window);
  ASSERT_EQ(before.size(), 300u * 300u);
  expectFlatColoursOnly(before);
  EXPECT_NE(before[150 * 300 + 150], 0ul) << "the cube, turned any way, covers the centre";
  EXPECT_EQ(before.front(), 0ul) << "black background";
  EXPECT_FALSE(nextPicture(window, before).empty()) << "the picture never changed";
}

// The cube's bounding box in a picture of the given width, top row first, as its centre
// and half sides in pixels: {x, y, half width, half height}; half sides 0 if all black.
std::array<double, 4> outlineOf(const std::vector<unsigned long>& pixels, int width) {
  std::array<int, 4> box{width, int(pixels.size()) / width, -1, -1};  // left, top, right, bottom
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (pixels[i] != 0) {
      const int x = int(i) % width;
      const int y = int(i) / width;
      box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    }
  }
  return {(box[0] + box[2] + 1) / 2.0, (box[1] + box[3] + 1) / 2.0, std::max(0, box[2] - box[0] + 1) / 2.0,
          std::max(0, box[3] - box[1] + 1) / 2.0};
}

// After 200 resizes through extreme shapes, the picture fits the final 400 x 300 window:
// turned any way, the cube's outline lies between the outlines of its inscribed sphere
// (80 pixels from the centre, at 10.5 units and 40 degrees over 300 pixels) and its
// circumscribed sphere (144 pixels), centred in the window.
TEST_F(Window, FitsThePictureAfterAResizeStorm) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  const std::vector<std::array<unsigned, 2>> sizes{{1, 1}, {4096, 4096}, {1, 600}, {600, 1}, {300, 300}, {1200, 90}};
  for (std::size_t i = 0; i < 200; ++i) {
    XResizeWindow(x_, window, sizes[i % sizes.size()][0], sizes[i % sizes.size()][1]);
    XFlush(x_);
    std::this_thread::sleep_for(10ms);  // paces the storm; the program may lag behind it
  }
  XResizeWindow(x_, window, 400, 300);
  XSync(x_, False);

  // Centred within the slack the outline leaves, half sides within the spheres' (2 pixels
  // for the edges' rasterisation). Frames at the storm's big sizes are slow in a software
  // renderer: wait for one that fits.
  const auto fits = [](const std::array<double, 4>& o) {
    return std::abs(o[0] - 200) <= 146 - o[2] && std::abs(o[1] - 150) <= 146 - o[3] && std::min(o[2], o[3]) >= 78 &&
           std::max(o[2], o[3]) <= 146;
  };
  auto pixels = pictureWhen(
      window, [&](const auto& picture) { return picture.size() == 400u * 300u && fits(outlineOf(picture, 400)); });
  ASSERT_TRUE(running()) << standardError();
  pixels = pixels.empty() ? capture(window) : pixels;  // none fitted: the checks say how it is off
  ASSERT_EQ(pixels.size(), 400u * 300u);
  expectFlatColoursOnly(pixels);
  const auto outline = outlineOf(pixels, 400);
  EXPECT_TRUE(fits(outline)) << "cube centred at (" << outline[0] << ", " << outline[1] << "), half sides "
                             << outline[2] << " x " << outline[3] << " pixels";
}

TEST_F(Window, DrawsAgainAfterBeingHiddenAndShown) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XUnmapWindow(x_, window);
  XSync(x_, False);
  std::this_thread::sleep_for(300ms);  // time to draw while hidden; decides nothing
  XMapWindow(x_, window);
  XSync(x_, False);
  ASSERT_EQ(cubeWindow(), window);
  EXPECT_FALSE(nextPicture(window, capture(window)).empty()) << "the picture never changed";
  EXPECT_TRUE(running());
}

// Whatever the command line, the program runs with a sane window or ends promptly
// with GLUT's message; never by a signal, never hanging.
TEST_F(Window, CopesWithAnyCommandLine) {
  std::vector<Args> commandLines{{"-display"},
                                 {"-display", ":999"},
                                 {"-geometry"},
                                 {"-foo", "--help", "-", "--"},
                                 {std::string(100'000, 'x')},
                                 Args(1000, "-iconic-not")};
  for (const char* geometry : {"", "=", "x", "-1x-1", "640x", "x480", "1x1", "16385x1", "+99999+99999",
                               "99999999999999999999x99999999999999999999"}) {
    commandLines.push_back({"-geometry", geometry});
  }
  for (const Args& options : commandLines) {
    SCOPED_TRACE(options.size() > 2 ? options[0] + " ... (" + std::to_string(options.size()) + " arguments)"
                                    : options.front().substr(0, 20) + " " + options.back().substr(0, 45));
    start(options);
    if (const ::Window window = cubeWindow(true); window != 0) {
      const XWindowAttributes a = attributesOf(window);
      EXPECT_TRUE(a.width >= 1 && a.width <= 16384 && a.height >= 1 && a.height <= 16384);
      EXPECT_TRUE(running()) << "died after showing its window:\n" << standardError();
      stopProgram();
    } else {
      const int status = ending();
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "wait status " << status;
      EXPECT_NE(standardError().find("freeglut"), std::string::npos) << standardError();
    }
  }
}

// With -gldebug, freeglut checks glGetError while it runs the program.
TEST_F(Window, RaisesNoGlErrors) {
  start({"-gldebug"});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_FALSE(nextPicture(window, capture(window)).empty()) << "no idle step drawn after the first frame";
  EXPECT_TRUE(running());
  EXPECT_EQ(standardError().find("GL error"), std::string::npos) << standardError();
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
  const int status = ending();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}

TEST_F(Window, EndsWithAnErrorWhenTheXServerDies) {
  XServer doomed;
  TearDown();
  ASSERT_TRUE(connect(doomed));
  start({});
  ASSERT_NE(cubeWindow(), 0u);
  XCloseDisplay(x_);  // before the server goes: Xlib would end this process too
  x_ = nullptr;
  doomed.stop(SIGKILL);
  const int status = ending();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "wait status " << status;
  EXPECT_NE(standardError(), "");
}

}  // namespace
