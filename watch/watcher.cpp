#include "watch/watcher.h"

#include <algorithm>
#include <thread>

namespace watch {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(20);  // between looks; decides nothing

}  // namespace

Watcher::Watcher(const Screen& screen, const Program& program)
    : screen_(screen), program_(program), progress_(Clock::now()) {}

bool Watcher::patient(const char* waitingFor) {
  if (!program_.running()) {
    why_ = std::string("the program ended ") + waitingFor + "; it said:\n" + program_.standardError();
    return false;
  }
  if (Clock::now() - progress_ > kStill) {
    why_ = "no progress for " + std::to_string(kStill.count()) + " s " + waitingFor + "; the program said:\n" +
           program_.standardError();
    return false;
  }
  return true;
}

Window Watcher::awaitWindow() {
  for (Window seen = 0; patient("before its window showed a frame"); std::this_thread::sleep_for(kPoll)) {
    const auto windows = screen_.windowsTitled("3D CUBE", program_.pid());
    if (windows.empty() || screen_.attributesOf(windows[0]).map_state != IsViewable) {
      continue;
    }
    if (seen != windows[0]) {
      seen = windows[0];
      progress_ = Clock::now();
    }
    const Picture picture = screen_.capture(seen);
    if (std::any_of(picture.pixels.begin(), picture.pixels.end(), [](unsigned long pixel) { return pixel != 0; })) {
      progress_ = Clock::now();
      return seen;
    }
  }
  return 0;
}

Picture Watcher::until(Window shown, const std::function<bool(const Picture&)>& wanted, Picture last) {
  for (long fresh = 0; patient("while its window was watched"); std::this_thread::sleep_for(kPoll)) {
    Picture picture = screen_.capture(shown);
    if (picture.empty() || picture == last) {
      continue;
    }
    progress_ = Clock::now();
    if (wanted(picture)) {
      return picture;
    }
    if (++fresh == kMostPictures) {
      why_ = std::to_string(kMostPictures) + " new pictures, none of them the one waited for";
      return {};
    }
    last = std::move(picture);
  }
  return {};
}

Picture Watcher::judged(Window shown, const std::function<bool(const Judgement&)>& wanted, int inARow) {
  int impossible = 0;
  return until(shown, [&](const Picture& picture) {
    const Judgement judgement = judge(picture);
    impossible = judgement.problem.empty() ? 0 : impossible + 1;
    return wanted(judgement) || impossible == inARow;
  });
}

}  // namespace watch
