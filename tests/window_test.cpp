// gtest first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <GL/glx.h>
#include <X11/Xutil.h>
// clang-format on
#include <sys/wait.h>

#include <algorithm>
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
#include "watch/screen.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using watch::Args;
using watch::Picture;

// The longest one check waits for what it looks for: against a hang, even on an emulated
// machine, never a speed check. Longer than scripts/desktop's patience, shorter than cube-watch's.
constexpr auto kPatience = 60s;
// Tall enough to see a window of the largest side the program accepts whole at (100, 100).
constexpr const char* kScreen = "1280x16600";

// The real program on a private desktop, seen from outside through its X server.
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

  void TearDown() override { cube_.reset(); }

  virtual std::string desktopKind() const { return "bare"; }

  void start(Args options) {
    options.insert(options.begin(), CUBE_EXECUTABLE);
    cube_ = std::make_unique<watch::Program>(options, desktop_->display());
  }
  void stopProgram() { cube_.reset(); }
  bool running() const { return cube_ != nullptr && cube_->running(); }
  int ending() { return cube_->ending(kPatience); }
  std::string standardError() const { return cube_->standardError(); }

  Display* x() const { return screen_->x(); }
  std::vector<Window> windowsTitled(const char* title) const { return screen_->windowsTitled(title); }
  XWindowAttributes attributesOf(Window window) const { return screen_->attributesOf(window); }
  Picture capture(Window window) const { return screen_->capture(window); }

  // The program's window once it is viewable and shows a frame; 0 if the program ends
  // first, which is a failure unless mayEnd.
  Window cubeWindow(bool mayEnd = false) {
    // Turned any way, the cube covers the centre: a frame is not all black.
    const auto drawn = [](const Picture& p) {
      return std::any_of(p.pixels.begin(), p.pixels.end(), [](unsigned long pixel) { return pixel != 0; });
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
      if (!windows.empty() && !pictureWhen(windows[0], drawn, deadline).empty()) {
        return windows[0];
      }
    }
    const auto windows = windowsTitled("3D CUBE");
    ADD_FAILURE() << "no frame in a window titled \"3D CUBE\": " << windows.size() << " found"
                  << (windows.empty()
                          ? std::string()
                          : ", the first in map state " + std::to_string(attributesOf(windows[0]).map_state) +
                                " with " + std::to_string(capture(windows[0]).pixels.size()) + " pixels")
                  << "; the program said:\n"
                  << standardError();
    return 0;
  }

  // Captures the window until its picture satisfies holds, the program ends or the
  // deadline passes; the picture that held, or an empty one.
  template <typename Holds>
  Picture pictureWhen(Window window, Holds holds, Clock::time_point deadline = Clock::now() + kPatience) const {
    for (; Clock::now() < deadline && running(); std::this_thread::sleep_for(20ms)) {
      if (auto picture = capture(window); !picture.empty() && holds(picture)) {
        return picture;
      }
    }
    return {};
  }

  // The first picture that differs from before: the program has drawn a frame since.
  Picture nextPicture(Window window, const Picture& before) const {
    return pictureWhen(window, [&](const Picture& picture) { return picture != before; });
  }

  std::unique_ptr<watch::Desktop> desktop_;
  std::unique_ptr<watch::Screen> screen_;
  std::unique_ptr<watch::Program> cube_;
};

// GLUT's default size, or a usable one from -geometry; never a crash on one it mangles.
TEST_F(ProgramWindow, OpensOneWindowAtItsPlaceSizedByGlutOrItsDefault) {
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
    const Window window = cubeWindow();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(windowsTitled("3D CUBE").size(), 1u);
    const XWindowAttributes a = attributesOf(window);
    EXPECT_EQ((std::array{a.x, a.y, a.width, a.height}), (std::array{100, 100, size[0], size[1]}));
    EXPECT_TRUE(running());
    stopProgram();
  }
}

// Where the outline stands, for a failure's message.
std::string described(const watch::Box& box) {
  return "cube from (" + std::to_string(box.left) + ", " + std::to_string(box.top) + ") to (" +
         std::to_string(box.right) + ", " + std::to_string(box.bottom) + ")";
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
    std::this_thread::sleep_for(10ms);  // paces the storm; the program may lag behind it
  }
  XResizeWindow(x(), window, 400, 300);
  XSync(x(), False);

  // Frames at the storm's big sizes are slow in a software renderer: wait for one that fits.
  auto picture = pictureWhen(window, [&](const Picture& p) {
    return p.width == 400 && p.height == 300 && watch::fitsTheWindow(watch::boundingBox(p), 400, 300);
  });
  ASSERT_TRUE(running()) << standardError();
  picture = picture.empty() ? capture(window) : picture;  // none fitted: the checks say how it is off
  ASSERT_EQ(picture.pixels.size(), 400u * 300u);
  const watch::Judgement judgement = watch::judge(picture);
  EXPECT_EQ(judgement.others, 0) << "flat faces, nothing lit or blended";
  EXPECT_TRUE(watch::fitsTheWindow(judgement.outline, 400, 300)) << described(judgement.outline);
}

TEST_F(ProgramWindow, DrawsAgainAfterBeingHiddenAndShown) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XUnmapWindow(x(), window);
  XSync(x(), False);
  std::this_thread::sleep_for(300ms);  // time to draw while hidden; decides nothing
  XMapWindow(x(), window);
  XSync(x(), False);
  ASSERT_EQ(cubeWindow(), window);
  EXPECT_FALSE(nextPicture(window, capture(window)).empty()) << "the picture never changed";
  EXPECT_TRUE(running());
}

// Whatever the command line, the program runs with a sane window or ends promptly
// with GLUT's message; never by a signal, never hanging.
TEST_F(ProgramWindow, CopesWithAnyCommandLine) {
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
    if (const Window window = cubeWindow(true); window != 0) {
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
TEST_F(ProgramWindow, RaisesNoGlErrors) {
  if (!CUBE_GLUT_REPORTS_GL_ERRORS) {  // a line for scripts/test to repeat
    GTEST_SKIP() << "SKIPPED GL errors under -gldebug: freeglut 2.8 never reports them in this program"
                    " (the scene tests read glGetError after each of theirs)";
  }
  start({"-gldebug"});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_FALSE(nextPicture(window, capture(window)).empty()) << "no idle step drawn after the first frame";
  EXPECT_TRUE(running());
  EXPECT_EQ(standardError().find("GL error"), std::string::npos) << standardError();
}

// The class a shell matches to the installed entry's StartupWMClass; the instance, the
// program's name as started.
TEST_F(ProgramWindow, NamesItsClassAsItsDesktopEntryDoes) {
  std::ifstream entry(CUBE_DESKTOP_ENTRY);
  std::string line;
  while (std::getline(entry, line) && line.rfind("StartupWMClass=", 0) != 0) {
  }
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XClassHint hint{};
  ASSERT_NE(XGetClassHint(x(), window, &hint), 0) << "no WM_CLASS";
  EXPECT_EQ(std::string(hint.res_name), std::strrchr(CUBE_EXECUTABLE, '/') + 1);
  EXPECT_EQ("StartupWMClass=" + std::string(hint.res_class), line);
  XFree(hint.res_name);
  XFree(hint.res_class);
}

TEST_F(ProgramWindow, EndsWithAnErrorWhenTheXServerDies) {
  start({});
  ASSERT_NE(cubeWindow(), 0u);
  screen_->close();  // before the server goes: Xlib would end this process too
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
class OnDesktop : public ProgramWindow, public ::testing::WithParamInterface<DesktopKind> {
 protected:
  std::string desktopKind() const override { return GetParam().name; }
};
class OnManagedDesktop : public OnDesktop {};
class OnBareDesktop : public OnDesktop {};

TEST_P(OnDesktop, ShowsOneWindowWithTheSolidCubeTurning) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_EQ(windowsTitled("3D CUBE").size(), 1u);

  // The visual GLUT chose: RGBA, single-buffered, with the depth buffer a solid cube needs.
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributesOf(window).visual);
  int count = 0;
  const std::unique_ptr<XVisualInfo, int (*)(void*)> visual(XGetVisualInfo(x(), VisualIDMask, &wanted, &count), XFree);
  ASSERT_NE(visual, nullptr);
  int rgba = 0;
  int doubleBuffered = 1;
  int depthBits = 0;
  glXGetConfig(x(), visual.get(), GLX_RGBA, &rgba);
  glXGetConfig(x(), visual.get(), GLX_DOUBLEBUFFER, &doubleBuffered);
  glXGetConfig(x(), visual.get(), GLX_DEPTH_SIZE, &depthBits);
  EXPECT_EQ((std::array{rgba, doubleBuffered}), (std::array{1, 0}));
  EXPECT_GE(depthBits, 16);

  const auto before = capture(window);
  ASSERT_EQ(before.pixels.size(), 300u * 300u);
  const watch::Judgement judgement = watch::judge(before);
  EXPECT_EQ(judgement.others, 0) << "flat faces, nothing lit or blended: black and the face colours only";
  EXPECT_TRUE(watch::fitsTheWindow(judgement.outline, 300, 300)) << described(judgement.outline);
  EXPECT_EQ(judgement.problem, "") << judgement.summary();
  EXPECT_EQ(before.pixels.front(), 0ul) << "black background";
  EXPECT_FALSE(nextPicture(window, before).empty()) << "the picture never changed";

  // Once turned to show three faces, each stands where a solid cube has it.
  const auto three = pictureWhen(window, [](const Picture& p) {
    const auto j = watch::judge(p);
    return j.faces == 3 || !j.problem.empty();
  });
  EXPECT_EQ(watch::judge(three).problem, "") << watch::judge(three).summary();
  EXPECT_EQ(watch::judge(three).faces, 3) << "never three faces at once";
}

// What the program asked for, which a window manager reads to place its frame where its
// policy says.
TEST_P(OnManagedDesktop, AsksToStandAt100100) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_NE(XGetWMNormalHints(x(), window, &hints, &supplied), 0);
  EXPECT_NE(hints.flags & (USPosition | PPosition), 0);
  EXPECT_EQ((std::array{hints.x, hints.y}), (std::array{100, 100}));
}

// Where nothing places the frame by a policy of its own.
TEST_P(OnBareDesktop, StandsAt100100) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
  EXPECT_EQ((std::array{attributesOf(window).x, attributesOf(window).y}), (std::array{100, 100}));
}

TEST_P(OnDesktop, ClosingTheWindowEndsTheProgramWithStatusZero) {
  start({});
  const Window window = cubeWindow();
  ASSERT_NE(window, 0u);
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
  const int status = ending();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status << "; it said:\n"
                                                             << standardError();
}

// Bare X servers at 24, 16 and 30 bits per pixel; then the managed ones, openbox, and
// weston through Xwayland.
constexpr DesktopKind kDesktops[]{
    {"bare", false}, {"depth16", false}, {"depth30", false}, {"openbox", true}, {"weston", false}};
constexpr const DesktopKind* kManaged = kDesktops + 3;
const auto kName = [](const auto& desktop) { return std::string(desktop.param.name); };
INSTANTIATE_TEST_SUITE_P(Desktops, OnDesktop, ::testing::ValuesIn(kDesktops), kName);
INSTANTIATE_TEST_SUITE_P(Desktops, OnBareDesktop, ::testing::ValuesIn(kDesktops, kManaged), kName);
INSTANTIATE_TEST_SUITE_P(Desktops, OnManagedDesktop, ::testing::ValuesIn(kManaged, std::end(kDesktops)), kName);

}  // namespace
