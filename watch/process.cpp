#include "watch/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <utility>

namespace watch {

namespace {

// Closes every descriptor from `first` up, whatever its number: each one /proc lists.
// Runs in the child, before exec.
bool closeFrom(int first) {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) {
    return false;
  }
  for (const dirent* entry = readdir(folder); entry != nullptr; entry = readdir(folder)) {
    const int fd = std::atoi(entry->d_name);
    if (fd >= first && fd != dirfd(folder)) {
      close(fd);
    }
  }
  closedir(folder);
  return true;
}

using Clock = std::chrono::steady_clock;

// Its wait status once it has ended, or -1 if it still runs `patience` later.
int reap(pid_t pid, std::chrono::seconds patience) {
  int status = 0;
  for (const auto deadline = Clock::now() + patience; waitpid(pid, &status, WNOHANG) != pid;
       std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
    if (Clock::now() >= deadline) {
      return -1;
    }
  }
  return status;
}

// TERM first, so that a program run under valgrind writes its summary, and the desktop
// script stops its servers; KILL if it still runs kStopPatience later. Its wait status.
int end(pid_t pid) {
  int status = kill(pid, SIGTERM) == 0 ? reap(pid, kStopPatience) : -1;
  if (status == -1) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  return status;
}

}  // namespace

pid_t spawn(const Launch& launch) {
  std::vector<char*> args;  // execvp takes char* const[], and changes none of them
  args.reserve(launch.argv.size() + 1);
  for (const std::string& arg : launch.argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) {
    return pid;
  }
  const auto fail = [&](const char* why) {
    dprintf(STDERR_FILENO, "cannot run %s: %s\n", args[0], why);
    _exit(127);
  };
  // A parent that ended before the death signal was set would never send it.
  if (prctl(PR_SET_PDEATHSIG, launch.deathSignal) != 0 || getppid() != parent) {
    _exit(127);
  }
  for (const auto& [from, to] :
       {std::pair{launch.output, STDOUT_FILENO}, std::pair{launch.errors, STDERR_FILENO}, std::pair{launch.probe, 3}}) {
    // One already in place keeps its close-on-exec flag unless it is cleared.
    if (from >= 0 && (from == to ? fcntl(to, F_SETFD, 0) : dup2(from, to)) < 0) {
      fail("cannot pass it a descriptor");
    }
  }
  if (!closeFrom(launch.probe >= 0 ? 4 : 3)) {
    fail("cannot close the descriptors it is not given");
  }
  for (const std::string& entry : launch.environment) {
    if (const auto equals = entry.find('='); equals == std::string::npos) {
      unsetenv(entry.c_str());
    } else {
      setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
    }
  }
  execvp(args[0], args.data());
  fail(std::strerror(errno));
  return -1;
}

bool readLine(int fd, std::string& line, std::chrono::seconds patience) {
  line.clear();
  pollfd ready{fd, POLLIN, 0};
  const int milliseconds = int(std::chrono::milliseconds(patience).count());
  for (char c = 0; poll(&ready, 1, milliseconds) == 1 && read(fd, &c, 1) == 1; line += c) {
    if (c == '\n') {
      return true;
    }
  }
  return false;
}

void addProbe(Launch& launch, int probe, long every) {
  launch.probe = probe;
  launch.environment.insert(launch.environment.end(), {"LD_PRELOAD=" CUBE_PROBE_LIBRARY, "CUBE_PROBE_FD=3",
                                                       "CUBE_PROBE_EVERY=" + std::to_string(every)});
}

Program::Program(Launch launch, const std::string& display) {
  errors_ = memfd_create("cube-stderr", MFD_CLOEXEC);
  launch.errors = errors_;
  launch.environment.push_back("DISPLAY=" + display);
  pid_ = errors_ >= 0 ? spawn(launch) : -1;
  if (pid_ < 0) {
    failure_ = std::string("(not started: ") + std::strerror(errno) + ")";
  }
}

Program::~Program() {
  stop();
  if (errors_ >= 0) {
    close(errors_);
  }
}

bool Program::running() const {
  siginfo_t info{};
  return pid_ > 0 && waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

int Program::ending() {
  const int status = pid_ > 0 ? reap(pid_, kStopPatience) : -1;
  pid_ = status != -1 ? -1 : pid_;
  return status;
}

void Program::stop() {
  if (pid_ > 0) {
    end(std::exchange(pid_, -1));
  }
}

std::string Program::standardError() const {
  std::string text = failure_;
  char block[4096];
  ssize_t got = 0;
  for (off_t at = 0; errors_ >= 0 && (got = pread(errors_, block, sizeof block, at)) > 0; at += got) {
    text.append(block, std::size_t(got));
  }
  return text;
}

Desktop::Desktop(const std::string& script, const std::string& kind, const std::string& screen) {
  int said[2];
  if (pipe2(said, O_CLOEXEC) != 0) {
    return;
  }
  // Its complaints go to this process's standard error; no sanitizer preload for its servers.
  // TERM, when this process ends, lets it remove its folder and the server's socket.
  Launch launch;
  launch.argv = {script, kind, screen};
  launch.environment = {"LD_PRELOAD"};
  launch.output = said[1];
  launch.deathSignal = SIGTERM;
  pid_ = spawn(launch);
  close(said[1]);
  std::string line;
  if (pid_ > 0 && readLine(said[0], line, kDesktopPatience)) {
    std::istringstream(line) >> display_ >> authority_;
  }
  close(said[0]);
  if (display_.empty() && pid_ > 0) {  // ended of itself, saying why; or gone quiet, and ended
    const int status = end(std::exchange(pid_, -1));
    installed_ = !WIFEXITED(status) || WEXITSTATUS(status) != 3;
  }
}

Desktop::~Desktop() {
  if (pid_ > 0) {
    end(pid_);
  }
}

}  // namespace watch
