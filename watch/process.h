#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace watch {

// How long a program has to end once told to (TERM; valgrind writes its summary) or closed.
constexpr std::chrono::seconds kStopPatience{30};

using Args = std::vector<std::string>;

// What a child gets, filled by name. Nothing of this process's is passed on but standard
// input and the descriptors named here.
struct Launch {
  Args argv;                             // searched for in PATH
  std::vector<std::string> environment;  // "NAME=value" set in it, or "NAME" taken out
  int output = -1;                       // its standard output, when given
  int errors = -1;                       // its standard error, when given
  int probe = -1;                        // its descriptor 3, when given: where the frame probe writes
};

// Starts a child that dies with this process (a death signal); -1 if none could start.
pid_t spawn(const Launch& launch);

// Has the frame probe (frame_probe.cpp) preloaded into what launch starts, writing to the
// descriptor probe a line "frames monotonic-ns resident-kB" after the first frame and
// after every `every` frames.
void addProbe(Launch& launch, int probe, long every);

// A program started on a display, its standard error kept in a file of its own, and
// killed when this ends if it still runs.
class Program {
 public:
  Program(Launch launch, const std::string& display);
  ~Program() { stop(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Looks without reaping, so that ending() still gets the status.
  bool running() const;
  // Waits for it to end: its wait status, or -1 if it still runs kStopPatience later.
  int ending();
  // Ends it: TERM, and KILL if it still runs kStopPatience later.
  void stop();
  std::string standardError() const;

 private:
  pid_t pid_ = -1;
  int errors_ = -1;
  std::string errorsPath_;
};

// A private desktop of a kind and screen size ("1280x1024"), started by the script
// scripts/desktop, which says what it does.
class Desktop {
 public:
  Desktop(const std::string& script, const std::string& kind, const std::string& screen);
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  const std::string& display() const { return display_; }
  const std::string& authority() const { return authority_; }
  bool installed() const { return installed_; }

 private:
  std::string display_;
  std::string authority_;
  bool installed_ = true;
  pid_t pid_ = -1;
};

}  // namespace watch
