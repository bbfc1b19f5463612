// gtest first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <GL/glx.h>
#include <X11/Xutil.h>
// clang-format on
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "watch/judge.h"
#include "watch/process.h"
#include "watch/watcher.h"

namespace {

using watch::Args;
using watch::Picture;

// Tall enough to see a window of the largest side the program accepts whole at (100, 100).
constexpr const char* kScreen = "1280x16600";

// The real program on a private desktop, seen from outside through its X server. Every
// wait is the watcher's (watch/watcher.h): it goes on while the program draws.
class ProgramWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = std::make_unique<watch::Desktop>(CUBE_DESKTOP, desktopKind(), kScreen);
    if (!desktop_->installed()) {  // a line for scripts/test to repeat
      GTEST_SKIP() << "SKIPPED the " << desktopKind() << " desktop: not installed (scripts/desktop " << desktopKind()
                   << " names what it lacks)";
    }
    // The program started next shows on this desktop too.
    setenv("XAUTHORITY", desktop_->authority().c_str(), 1);
    screen_ = std::make_unique<watch::Screen>(desktop_->display());
    ASSERT_NE(screen_->x(), nullptr) << "no " << desktopKind() << " desktop on \"" << desktop_->display() << "\"";
  }

  void TearDown() override { stopProgram(); }
  virtual std::string desktopKind() const { return "bare"; }
  void start(Args options) {
    stopProgram();
    watch::Launch launch;
    launch.argv = std::move(options);
    launch.argv.insert(launch.argv.begin(), CUBE_EXECUTABLE);
    cube_ = std::make_unique<watch::Program>(launch, desktop_->display());
    watcher_ = std::make_unique<watch::Watcher>(*screen_, *cube_);
  }
  void stopProgram() {
    watcher_.reset();
    cube_.reset();
  }
  bool running() const { return cube_ != nullptr && cube_->running(); }
  std::string standardError() const { return cube_->standardError(); }
  Display* x() const { return screen_->x(); }
  XWindowAttributes attributesOf(Window window) const { return screen_->attributesOf(window); }

  // The program's window once it shows a frame; else 0, a failure unless it may end.
  Window cubeWindow(bool mayEnd = false) {
    const Window window = watcher_->awaitWindow();
    if (window == 0 && !(mayEnd && !running())) {
      ADD_FAILURE() << "no frame in a window titled \"3D CUBE\": " << watcher_->why();
    }
    return window;
  }
  // The first picture since `last` that holds, or an empty one, the watcher saying why.
  template <typename Holds>
  Picture pictureWhen(Window window, Holds holds, Picture last = {}) {
    Picture picture = watcher_->until(window, holds, std::move(last));
    EXPECT_FALSE(picture.empty()) << watcher_->why();
    return picture;
  }
  static bool any(const Picture&) { return true; }

  std::unique_ptr<watch::Desktop> desktop_;
  std::unique_ptr<watch::Screen> screen_;
  std::unique_ptr<watch::Program> cube_;
  std::unique_ptr<watch::Watcher> watcher_;
};

// GLUT's default size, or a usable one from -geometry (the program's guard takes a side below 1
// or past 16,384 back to it). A display GLUT cannot open ends it with GLUT's message, no signal.
TEST_F(ProgramWindow, OpensOneWindowAtItsPlaceSizedByGlutOrItsDefault) {
  const std::vector<std::pair<Args, std::array<int, 2>>> cases{{{}, {300, 300}},
                                                               {{"-geometry", "640x480"}, {640, 480}},
                                                               {{"-geometry", "+5+5"}, {300, 300}},
                                                               {{"-geometry", "garbage"}, {300, 300}},
                                                               {{"-geometry", "0x0"}, {300, 300}},
                                                               {{"-geometry", "1x16384"}, {1, 16384}},
                                                               {{"-geometry", "16385x16385"}, {300, 300}},
                                                               {{"-display", ":999"}, {0, 0}}};
  for (const auto& [options, size] : cases) {
    SCOPED_TRACE(options.empty() ? "no options" : options.back());
    start(options);
    const Window window = cubeWindow(size[0] == 0);
    if (size[0] == 0) {
      const int status = cube_->ending();
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "wait status " << status;
      EXPECT_NE(standardError().find("freeglut"), std::string::npos) << standardError();
      continue;
    }
    ASSERT_NE(window, 0u);
    EXPECT_EQ(screen_->windowsTitled("3D CUBE", cube_->pid()).size(), 1u);
    const XWindowAttributes a = attributesOf(window);
    EXPECT_EQ((std::array{a.x, a.y, a.width, a.height}), (std::array{100, 100, size[0], size[1]}));
    EXPECT_TRUE(running()) << standardError();
  }
}

// After 200 resizes through extreme shapes, the picture fits the final 400 x 300 window.
TEST_F(ProgramWindow, FitsThePictureAfterAResizeStorm) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  const std::vector<std::array<unsigned, 2>> sizes{{1, 1}, {4096, 4096}, {1, 600}, {600, 1}, {300, 300}, {1200, 90}};
  for (std::size_t i = 0; i < 200; ++i) {
    XResizeWindow(x(), window, sizes[i % sizes.size()][0], sizes[i % sizes.size()][1]);
    XFlush(x());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // paces the storm; the program may lag behind it
  }
  XResizeWindow(x(), window, 400, 300);
  XSync(x(), False);
  // Wait for a frame drawn for this size: some drawn for sizes before may come first (two
  // each time here); a program that has lost the window's size shows nothing else.
  const Picture fitted = watcher_->judged(
      window, [](const watch::Judgement& judgement) { return judgement.problem.empty(); }, 10);
  ASSERT_FALSE(fitted.empty()) << watcher_->why();
  EXPECT_EQ((std::array{fitted.width, fitted.height}), (std::array{400, 300}));
  EXPECT_EQ(watch::judge(fitted).problem, "") << watch::judge(fitted).summary();
}

// Once turned to show three faces, each stands where a solid cube has it: two faces'
// colours swapped show them in mirrored order.
TEST_F(ProgramWindow, TurnsToShowThreeFacesAsTheSolidCubeDoes) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  const Picture three = watcher_->cube(window);
  ASSERT_FALSE(three.empty()) << watcher_->why();
  EXPECT_EQ(watch::judge(three).problem, "") << watch::judge(three).summary();
  EXPECT_EQ(watch::judge(three).faces, 3) << watch::judge(three).summary();
}

// With -gldebug, freeglut 3 checks glGetError while it runs the program.
TEST_F(ProgramWindow, RaisesNoGlErrors) {
  if (!CUBE_GLUT_REPORTS_GL_ERRORS) {  // a line for scripts/test to repeat
    GTEST_SKIP() << "SKIPPED GL errors under -gldebug: freeglut before 3.0 never reports them in this program"
                    " (the scene tests read glGetError after each of theirs)";
  }
  start({"-gldebug"});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  pictureWhen(window, any, screen_->capture(window));
  EXPECT_TRUE(running());
  EXPECT_EQ(standardError().find("GL error"), std::string::npos) << standardError();
}

// A desktop people run the program on, and what a user there does to close a window.
struct DesktopKind {
  const char* name;
  bool managed;    // a window manager or compositor frames and places windows by its policy
  bool ewmhClose;  // closing goes through its manager, as from a taskbar; else straight to the window
};
void PrintTo(const DesktopKind& desktop, std::ostream* out) { *out << desktop.name; }

class OnDesktop : public ProgramWindow, public ::testing::WithParamInterface<DesktopKind> {
 protected:
  std::string desktopKind() const override { return GetParam().name; }
};

// One window in a visual with the depth buffer a solid cube needs, showing a frame of it
// as that visual stores it, turning; where the program asked; named as its desktop entry
// names it; and closing it, as a user there does, ends the program with status 0.
TEST_P(OnDesktop, ShowsTheCubeWhereAskedUntilClosed) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_EQ(screen_->windowsTitled("3D CUBE", cube_->pid()).size(), 1u);
  // The visual GLUT chose: RGBA, single-buffered, with a depth buffer.
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributesOf(window).visual);
  int count = 0;
  const std::unique_ptr<XVisualInfo, int (*)(void*)> visual(XGetVisualInfo(x(), VisualIDMask, &wanted, &count), XFree);
  ASSERT_NE(visual, nullptr);
  std::array<int, 3> config{};  // RGBA, double-buffered, depth bits
  glXGetConfig(x(), visual.get(), GLX_RGBA, &config[0]);
  glXGetConfig(x(), visual.get(), GLX_DOUBLEBUFFER, &config[1]);
  glXGetConfig(x(), visual.get(), GLX_DEPTH_SIZE, &config[2]);
  EXPECT_EQ((std::array{config[0], config[1]}), (std::array{1, 0}));
  EXPECT_GE(config[2], 16);
  const Picture before = screen_->capture(window);
  ASSERT_EQ(before.pixels.size(), 300u * 300u);
  EXPECT_EQ(watch::judge(before).problem, "") << watch::judge(before).summary();
  EXPECT_EQ(before.pixels.front(), 0ul) << "black background";
  pictureWhen(window, any, before);  // turning
  // Where it asked: what a manager reads to place its frame by its policy; else its place.
  if (GetParam().managed) {
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_NE(XGetWMNormalHints(x(), window, &hints, &supplied), 0);
    EXPECT_NE(hints.flags & (USPosition | PPosition), 0);
    EXPECT_EQ((std::array{hints.x, hints.y}), (std::array{100, 100}));
  } else {
    EXPECT_EQ((std::array{attributesOf(window).x, attributesOf(window).y}), (std::array{100, 100}));
  }
  // The class a shell matches to the installed entry's StartupWMClass; the instance, the
  // program's name as started.
  std::ifstream entry(CUBE_DESKTOP_ENTRY);
  std::string line;
  while (std::getline(entry, line) && line.rfind("StartupWMClass=", 0) != 0) {
  }
  XClassHint hint{};
  ASSERT_NE(XGetClassHint(x(), window, &hint), 0) << "no WM_CLASS";
  EXPECT_EQ(std::string(hint.res_name), std::strrchr(CUBE_EXECUTABLE, '/') + 1);
  EXPECT_EQ("StartupWMClass=" + std::string(hint.res_class), line);
  XFree(hint.res_name);
  XFree(hint.res_class);
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.format = 32;
  if (GetParam().ewmhClose) {  // the manager then sends the window WM_DELETE_WINDOW
    close.xclient.message_type = XInternAtom(x(), "_NET_CLOSE_WINDOW", False);
    close.xclient.data.l[0] = CurrentTime;
    close.xclient.data.l[1] = 2;  // from a pager or taskbar
    XSendEvent(x(), DefaultRootWindow(x()), False, SubstructureRedirectMask | SubstructureNotifyMask, &close);
  } else {
    close.xclient.message_type = XInternAtom(x(), "WM_PROTOCOLS", False);
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(x(), "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(x(), window, False, NoEventMask, &close);
  }
  XFlush(x());
  const int status = cube_->ending();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status << "; it said:\n"
                                                             << standardError();
}

// Bare X servers at 24, 16 (as VNC and remote desktops) and 30 bits per pixel (deep
// colour); then the managed ones, openbox, and weston through Xwayland.
constexpr DesktopKind kDesktops[]{{"bare", false, false},
                                  {"depth16", false, false},
                                  {"depth30", false, false},
                                  {"openbox", true, true},
                                  {"weston", true, false}};
INSTANTIATE_TEST_SUITE_P(Desktops, OnDesktop, ::testing::ValuesIn(kDesktops),
                         [](const auto& desktop) { return std::string(desktop.param.name); });

}  // namespace
