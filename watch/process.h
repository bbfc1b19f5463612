#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace watch {

using Args = std::vector<std::string>;

// What a child gets. Nothing of this process's is passed on but standard input and what
// is named here.
struct Launch {
  Args argv;                             // searched for in PATH
  std::string display;                   // its DISPLAY, when given
  std::vector<std::string> environment;  // "NAME=value" set in it, or "NAME" taken out
  int output = -1;                       // its standard output, when given
  int errors = -1;                       // its standard error, when given
  int descriptor3 = -1;                  // passed on as its descriptor 3 (the frame probe's)
};

// Starts a child that dies with this process (a death signal); -1 if none could start.
pid_t spawn(const Launch& launch);

// A program started on a display, its standard error kept in a file of its own, and
// killed when this ends if it still runs.
class Program {
 public:
  Program(Args argv, const std::string& display, int descriptor3 = -1);
  ~Program() { stop(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Looks without reaping, so that ending() still gets the status.
  bool running() const;
  // Waits for it to end: its wait status, or -1 if it still runs when patience runs out.
  int ending(std::chrono::milliseconds patience);
  // Ends it: TERM, and KILL if it still runs 30 s later.
  void stop();
  std::string standardError() const;

 private:
  pid_t pid_ = -1;
  int errors_ = -1;
  std::string errorsPath_;
};

// A private desktop, started by scripts/desktop (its path is script): kind is bare,
// depth16, depth30, openbox or weston, screen its size ("1280x1024"). The script prints
// its display and cookie file once X clients can connect, and stops all it started when
// this ends it or dies; it ends at once with status 3 where the kind's commands are not
// installed.
class Desktop {
 public:
  Desktop(const std::string& script, const std::string& kind, const std::string& screen);
  ~Desktop() { stop(15); }
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // SIGUSR1 kills its X server outright, as a crash would.
  void stop(int signal);
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
