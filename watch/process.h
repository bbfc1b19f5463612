#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace watch {

// How long a program or desktop has to end once told to (TERM; valgrind writes its summary)
// or closed; and a desktop to say where it serves (scripts/desktop's own 45 s, and a margin).
constexpr std::chrono::seconds kStopPatience{30};
constexpr std::chrono::seconds kDesktopPatience{60};

using Args = std::vector<std::string>;

// What a child gets, filled by name. Of this process's descriptors it keeps standard input,
// and standard output and error where none is named here; every other one is closed.
struct Launch {
  Args argv;                             // searched for in PATH
  std::vector<std::string> environment;  // "NAME=value" set in it, or "NAME" taken out
  int output = -1;                       // its standard output, when given
  int errors = -1;                       // its standard error, when given
  int probe = -1;                        // its descriptor 3, when given: where the frame probe writes
  int deathSignal = SIGKILL;             // what it gets when this process ends, however it ends
};

// Starts a child; -1 if none could start. One that cannot run says why, and exits 127.
pid_t spawn(const Launch& launch);
// The next line from fd, without its newline: false at its end, or past `patience` idle.
bool readLine(int fd, std::string& line, std::chrono::seconds patience);

// Has the frame probe (frame_probe.cpp) preloaded into what launch starts, writing to
// `probe` "frames monotonic-ns resident-kB" after the first frame and every `every`.
void addProbe(Launch& launch, int probe, long every);

// A program started on a display, its standard error kept in memory (no file is left
// behind, however this process ends), and ended when this ends if it still runs.
class Program {
 public:
  Program(Launch launch, const std::string& display);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }
  // Looks without reaping, so that ending() still gets the status.
  bool running() const;
  // Waits for it to end: its wait status, or -1 if it still runs kStopPatience later or
  // was never started.
  int ending();
  // Ends it: TERM, and KILL if it still runs kStopPatience later.
  void stop();
  // What it wrote there; or, if it could not be started, why.
  std::string standardError() const;

 private:
  pid_t pid_ = -1;
  int errors_ = -1;
  std::string failure_;
};

// A private desktop of a kind and screen size ("1280x1024"), started by the script
// scripts/desktop, which says what it does; not ready within kDesktopPatience, ended.
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
