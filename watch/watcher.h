#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "watch/judge.h"
#include "watch/process.h"
#include "watch/screen.h"  // Xlib's macros: last

namespace watch {

// A watcher's patience follows the program's progress (its start, its window, each new picture
// there): a wait fails when it ends, kStill passes without progress, or after kMostPictures.
constexpr std::chrono::seconds kStill{60};
// Each new picture is at least one new frame: 5,000 frames turn the cube 100 degrees about
// X and 50 about Y, and it shows three faces from about the 1,200th on.
constexpr long kMostPictures = 5000;

class Watcher {
 public:
  Watcher(const Screen& screen, const Program& program);

  // The program's own "3D CUBE" window, once viewable and showing a frame (turned any
  // way, the cube covers the window's centre: not all black); 0 if the wait failed.
  Window awaitWindow();
  // The first new picture (not `last`) that is wanted; empty if the wait failed.
  Picture until(Window shown, const std::function<bool(const Picture&)>& wanted, Picture last = {});
  // Until a picture's judgement is wanted, or `inARow` in a row cannot be a frame of the cube
  // (one may be caught half drawn): that picture, for the caller to judge; empty on failure.
  Picture judged(Window shown, const std::function<bool(const Judgement&)>& wanted, int inARow = 2);
  // Until a picture shows the cube well (Judgement::showsCube), as judged() waits.
  Picture cube(Window shown) {
    return judged(shown, [](const Judgement& judgement) { return judgement.showsCube(); });
  }
  // Why the last wait failed.
  const std::string& why() const { return why_; }

 private:
  // False, saying why, once the program has ended or kStill has passed with no progress.
  bool patient(const char* waitingFor);

  const Screen& screen_;
  const Program& program_;
  std::chrono::steady_clock::time_point progress_;
  std::string why_;
};

}  // namespace watch
