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
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Args = std::vector<std::string>;

// The longest one check waits for what it looks for: against a hang, even on an emulated
// machine, never a speed check. Longer than scripts/desktop's patience, shorter than the scripts'.
constexpr auto kPatience = 60s;
// Tall enough to see a window of the largest side the program accepts whole at (100, 100).
constexpr const char* kScreen = "1280x16600";

// Runs argv as a child that dies with this process, on display, or with none for a
// desktop. Its standard output goes to the descriptor output, its standard error to the
// descriptor errors, when given.
pid_t spawn(Args argv, const std::string& display, int output = -1, int errors = -1) {
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (display.empty()) {
      unsetenv("LD_PRELOAD");  // a sanitizer run's is for the program, not a desktop's servers
    }
    if (output >= 0) {
      dup2(output, STDOUT_FILENO);
    }
    if (errors >= 0) {
      dup2(errors, STDERR_FILENO);
    }
    for (int fd = 3; fd < 256; ++fd) {
      close(fd);
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

// A private desktop, started by the same script every script uses: kind is bare,
// depth16, depth30, openbox or weston. It prints its display and cookie file once X
// clients can connect, and stops all it started when this ends it or dies; it ends at
// once with status 3 where the kind's commands are not installed.
class Desktop {
 public:
  explicit Desktop(const std::string& kind) {
    int line[2];
    if (pipe(line) != 0) {
      return;
    }
    pid_ = spawn({CUBE_DESKTOP, kind, kScreen}, "", line[1]);  // its complaints are the test's
    close(line[1]);
    std::string text;
    for (char c = 0; read(line[0], &c, 1) == 1 && c != '\n';) {
      text += c;
    }
    close(line[0]);
    std::istringstream(text) >> display_ >> authority_;
    int status = 0;
    if (display_.empty() && waitpid(pid_, &status, 0) == pid_) {
      installed_ = !(WIFEXITED(status) && WEXITSTATUS(status) == 3);
      pid_ = -1;
    }
  }

  ~Desktop() { stop(SIGTERM); }
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // SIGUSR1 kills its X server outright, as a crash would.
  void stop(int signal) {
    if (pid_ > 0 && kill(pid_, signal) == 0) {
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  const std::string& display() const { return display_; }
  const std::string& authority() const { return authority_; }
  bool installed() const { return installed_; }

 private:
  std::string display_;
  std::string authority_;
  bool installed_ = true;
  pid_t pid_ = -1;
};

// The program under test: the build's, or another build of it (the package test's).
std::string program() {
  const char* other = std::getenv("CUBE_PROGRAM");
  return other != nullptr && *other != '\0' ? other : CUBE_EXECUTABLE;
}

// The real program on a private desktop, seen from outside through its X server.
class Window : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Asking after a window that died is an X error; the checks report it, Xlib must not exit.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }

  void SetUp() override {
    // Private to this test: mkostemp makes a new file of a name nobody can guess.
    const char* folder = std::getenv("TMPDIR");
    errorsPath_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/cube-test-stderr.XXXXXX";
    errors_ = mkostemp(errorsPath_.data(), O_APPEND | O_CLOEXEC);  // appends from 0 after each truncation
    ASSERT_GE(errors_, 0) << "no file for the program's standard error at " << errorsPath_;
    desktop_ = std::make_unique<Desktop>(desktopKind());
    if (!desktop_->installed()) {  // a line for scripts/test to repeat
      GTEST_SKIP() << "SKIPPED the " << desktopKind() << " desktop: not installed (scripts/desktop "
                   << desktopKind() << " names what it lacks)";
    }
    ASSERT_TRUE(connect(*desktop_)) << "no " << desktopKind() << " desktop on \"" << desktop_->display() << "\"";
  }

  void TearDown() override {
    stopProgram();
    if (x_ != nullptr) {
      XCloseDisplay(x_);
      x_ = nullptr;
    }
    if (errors_ >= 0) {
      close(errors_);
      unlink(errorsPath_.c_str());
    }
  }

  virtual std::string desktopKind() const { return "bare"; }

  // The program started next shows on this desktop too.
  bool connect(const Desktop& desktop) {
    setenv("XAUTHORITY", desktop.authority().c_str(), 1);
    x_ = desktop.display().empty() ? nullptr : XOpenDisplay(desktop.display().c_str());
    display_ = desktop.display();
    return x_ != nullptr;
  }

  void start(Args options) {
    options.insert(options.begin(), program());
    EXPECT_EQ(ftruncate(errors_, 0), 0);
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
    std::ifstream file(errorsPath_);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  // Searches the whole tree: a window manager puts the program's window in a frame.
  std::vector<::Window> windowsTitled(const char* title, ::Window under = 0) const {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    std::vector<::Window> found;
    XQueryTree(x_, under != 0 ? under : DefaultRootWindow(x_), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
      char* name = nullptr;
      if (XFetchName(x_, children[i], &name) != 0 && name != nullptr) {
        if (std::string(name) == title) {
          found.push_back(children[i]);
        }
        XFree(name);
      }
      const auto inside = windowsTitled(title, children[i]);
      found.insert(found.end(), inside.begin(), inside.end());
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
    const auto deadline = Clock::now() + kPatience;
    for (; Clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
      if (!running()) {
        if (!mayEnd) {
          ADD_FAILURE() << "the program ended before its window showed:\n" << standardError();
        }
        return 0;
      }
      const auto windows = windowsTitled("3D CUBE");
      if (!windows.empty() && attributesOf(windows[0]).map_state == IsViewable &&
          !pictureWhen(windows[0], drawn, deadline).empty()) {
        return windows[0];
      }
    }
    const auto windows = windowsTitled("3D CUBE");
    ADD_FAILURE() << "no frame in a window titled \"3D CUBE\": " << windows.size() << " found"
                  << (windows.empty()
                          ? std::string()
                          : ", the first in map state " + std::to_string(attributesOf(windows[0]).map_state) +
                                " with " + std::to_string(capture(windows[0]).size()) + " pixels")
                  << "; the program said:\n"
                  << standardError();
    return 0;
  }

  // Captures the window until its picture satisfies holds, the program ends or the
  // deadline passes; the picture that held, or an empty one.
  template <typename Holds>
  std::vector<unsigned long> pictureWhen(::Window window, Holds holds,
                                         Clock::time_point deadline = Clock::now() + kPatience) const {
    for (; Clock::now() < deadline && running(); std::this_thread::sleep_for(20ms)) {
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

  // The window's pixels as its visual stores them, colour bits only, top row first.
  std::vector<unsigned long> capture(::Window window) const {
    const XWindowAttributes a = attributesOf(window);
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(x_, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    for (int y = 0; image != nullptr && y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) {
        pixels.push_back(XGetPixel(image, x, y) & (a.visual->red_mask | a.visual->green_mask | a.visual->blue_mask));
      }
    }
    if (image != nullptr) {
      XDestroyImage(image);
    }
    return pixels;
  }

  std::unique_ptr<Desktop> desktop_;
  Display* x_ = nullptr;
  std::string display_;
  std::string errorsPath_;
  int errors_ = -1;  // the program's standard error
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

// Flat faces, nothing lit or blended: black and the six face colours, as the visual
// stores them, are all there is. A channel c in [0, 1] under a mask of n bits stores
// c (2^n - 1), rounded either way: orange's green half falls between two values.
void expectFlatColoursOnly(const std::vector<unsigned long>& pixels, const Visual& visual) {
  const std::array<std::array<double, 3>, 7> colours{
      {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, 0, 1}, {1, 0.5, 0}}};
  const auto stored = [](double c, unsigned long mask, bool up) {
    const unsigned long lowest = mask & (~mask + 1);
    const double level = c * double(mask / lowest);
    return static_cast<unsigned long>(up ? std::ceil(level) : std::floor(level)) * lowest;
  };
  std::vector<unsigned long> palette;
  for (const auto& [r, g, b] : colours) {
    for (const bool up : {false, true}) {
      palette.push_back(stored(r, visual.red_mask, up) | stored(g, visual.green_mask, up) |
                        stored(b, visual.blue_mask, up));
    }
  }
  const auto foreign = std::count_if(pixels.begin(), pixels.end(), [&](unsigned long pixel) {
    return std::find(palette.begin(), palette.end(), pixel) == palette.end();
  });
  EXPECT_EQ(foreign, 0);
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

// Whether an outline fits a window 300 pixels high and this wide: turned any way, the
// cube lies between its inscribed sphere (80 pixels from the centre, at 10.5 units and
// 40 degrees over 300 pixels) and its circumscribed sphere (144 pixels), centred within
// the slack the outline leaves; 2 pixels more for the edges' rasterisation.
bool fits(const std::array<double, 4>& o, int width) {
  return std::abs(o[0] - width / 2.0) <= 146 - o[2] && std::abs(o[1] - 150) <= 146 - o[3] &&
         std::min(o[2], o[3]) >= 78 && std::max(o[2], o[3]) <= 146;
}

// After 200 resizes through extreme shapes, the picture fits the final 400 x 300 window.
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

  // Frames at the storm's big sizes are slow in a software renderer: wait for one that fits.
  auto pixels = pictureWhen(
      window, [&](const auto& picture) { return picture.size() == 400u * 300u && fits(outlineOf(picture, 400), 400); });
  ASSERT_TRUE(running()) << standardError();
  pixels = pixels.empty() ? capture(window) : pixels;  // none fitted: the checks say how it is off
  ASSERT_EQ(pixels.size(), 400u * 300u);
  expectFlatColoursOnly(pixels, *attributesOf(window).visual);
  const auto outline = outlineOf(pixels, 400);
  EXPECT_TRUE(fits(outline, 400)) << "cube centred at (" << outline[0] << ", " << outline[1] << "), half sides "
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

// With -gldebug, freeglut 3 checks glGetError while it runs the program.
TEST_F(Window, RaisesNoGlErrors) {
  if (!CUBE_GLUT_REPORTS_GL_ERRORS) {  // a line for scripts/test to repeat
    GTEST_SKIP() << "SKIPPED GL errors under -gldebug: freeglut 2.8 never reports them in this program"
                    " (the scene tests read glGetError after each of theirs)";
  }
  start({"-gldebug"});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_FALSE(nextPicture(window, capture(window)).empty()) << "no idle step drawn after the first frame";
  EXPECT_TRUE(running());
  EXPECT_EQ(standardError().find("GL error"), std::string::npos) << standardError();
}

// The class a shell matches to the installed entry's StartupWMClass; the instance, the
// program's name as started.
TEST_F(Window, NamesItsClassAsItsDesktopEntryDoes) {
  std::ifstream entry(CUBE_DESKTOP_ENTRY);
  std::string line;
  while (std::getline(entry, line) && line.rfind("StartupWMClass=", 0) != 0) {
  }
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XClassHint hint{};
  ASSERT_NE(XGetClassHint(x_, window, &hint), 0) << "no WM_CLASS";
  EXPECT_EQ(hint.res_name, program().substr(program().rfind('/') + 1));
  EXPECT_EQ("StartupWMClass=" + std::string(hint.res_class), line);
  XFree(hint.res_name);
  XFree(hint.res_class);
}

TEST_F(Window, EndsWithAnErrorWhenTheXServerDies) {
  start({});
  ASSERT_NE(cubeWindow(), 0u);
  XCloseDisplay(x_);  // before the server goes: Xlib would end this process too
  x_ = nullptr;
  desktop_->stop(SIGUSR1);
  const int status = ending();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "wait status " << status;
  EXPECT_NE(standardError(), "");
}

// A desktop people run the program on, and what a user there does to close a window.
struct DesktopKind {
  const char* name;
  bool ewmhClose;  // closing goes through its manager, as from a taskbar; else straight to the window
};
void PrintTo(const DesktopKind& desktop, std::ostream* out) { *out << desktop.name; }

// The checks that hold on every desktop; and those for where a window manager or
// compositor frames and places windows, and for where none does.
class OnDesktop : public Window, public ::testing::WithParamInterface<DesktopKind> {
 protected:
  std::string desktopKind() const override { return GetParam().name; }
};
class OnManagedDesktop : public OnDesktop {};
class OnBareDesktop : public OnDesktop {};

TEST_P(OnDesktop, ShowsOneWindowWithTheSolidCubeTurning) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_EQ(windowsTitled("3D CUBE").size(), 1u);

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
  expectFlatColoursOnly(before, *visual->visual);
  const auto outline = outlineOf(before, 300);
  EXPECT_TRUE(fits(outline, 300)) << "cube centred at (" << outline[0] << ", " << outline[1] << "), half sides "
                                  << outline[2] << " x " << outline[3] << " pixels";
  EXPECT_EQ(before.front(), 0ul) << "black background";
  EXPECT_FALSE(nextPicture(window, before).empty()) << "the picture never changed";
}

// What the program asked for, which a window manager reads to place its frame where its
// policy says.
TEST_P(OnManagedDesktop, AsksToStandAt100100) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_NE(XGetWMNormalHints(x_, window, &hints, &supplied), 0);
  EXPECT_NE(hints.flags & (USPosition | PPosition), 0);
  EXPECT_EQ((std::array{hints.x, hints.y}), (std::array{100, 100}));
}

// Where nothing places the frame by a policy of its own.
TEST_P(OnBareDesktop, StandsAt100100) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_EQ((std::array{attributesOf(window).x, attributesOf(window).y}), (std::array{100, 100}));
}

TEST_P(OnDesktop, ClosingTheWindowEndsTheProgramWithStatusZero) {
  start({});
  const ::Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.format = 32;
  if (GetParam().ewmhClose) {  // the manager then sends the window WM_DELETE_WINDOW
    close.xclient.message_type = XInternAtom(x_, "_NET_CLOSE_WINDOW", False);
    close.xclient.data.l[0] = CurrentTime;
    close.xclient.data.l[1] = 2;  // from a pager or taskbar
    XSendEvent(x_, DefaultRootWindow(x_), False, SubstructureRedirectMask | SubstructureNotifyMask, &close);
  } else {
    close.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(x_, window, False, NoEventMask, &close);
  }
  XFlush(x_);
  const int status = ending();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status << "; it said:\n"
                                                             << standardError();
}

// Bare X servers at 24, 16 and 30 bits per pixel; then the managed ones, openbox, and
// weston through Xwayland.
constexpr DesktopKind kDesktops[]{{"bare", false}, {"depth16", false}, {"depth30", false}, {"openbox", true},
                                  {"weston", false}};
constexpr const DesktopKind* kManaged = kDesktops + 3;
const auto kName = [](const auto& desktop) { return std::string(desktop.param.name); };
INSTANTIATE_TEST_SUITE_P(Desktops, OnDesktop, ::testing::ValuesIn(kDesktops), kName);
INSTANTIATE_TEST_SUITE_P(Desktops, OnBareDesktop, ::testing::ValuesIn(kDesktops, kManaged), kName);
INSTANTIATE_TEST_SUITE_P(Desktops, OnManagedDesktop, ::testing::ValuesIn(kManaged, std::end(kDesktops)), kName);

}  // namespace
