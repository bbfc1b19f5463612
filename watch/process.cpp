#include "watch/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
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

}  // namespace

pid_t spawn(const Launch& launch) {
  std::vector<char*> args;  // execvp takes char* const[], and changes none of them
  args.reserve(launch.argv.size() + 1);
  for (const std::string& arg : launch.argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) {
    return pid;
  }
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  for (const auto& [from, to] :
       {std::pair{launch.output, STDOUT_FILENO}, std::pair{launch.errors, STDERR_FILENO}, std::pair{launch.probe, 3}}) {
    if (from >= 0 && from != to) {
      dup2(from, to);
    }
  }
  if (!closeFrom(launch.probe >= 0 ? 4 : 3)) {
    _exit(127);
  }
  for (const std::string& entry : launch.environment) {
    if (const auto equals = entry.find('='); equals == std::string::npos) {
      unsetenv(entry.c_str());
    } else {
      setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
    }
  }
  execvp(args[0], args.data());
  _exit(127);
}

void addProbe(Launch& launch, int probe, long every) {
  launch.probe = probe;
  launch.environment.insert(launch.environment.end(), {"LD_PRELOAD=" CUBE_PROBE_LIBRARY, "CUBE_PROBE_FD=3",
                                                       "CUBE_PROBE_EVERY=" + std::to_string(every)});
}

Program::Program(Launch launch, const std::string& display) {
  // mkostemp: a new file of a name nobody can guess.
  const char* folder = std::getenv("TMPDIR");
  errorsPath_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/cube-stderr.XXXXXX";
  errors_ = mkostemp(errorsPath_.data(), O_CLOEXEC);
  if (errors_ < 0) {
    errorsPath_.clear();
  }
  launch.errors = errors_;
  launch.environment.push_back("DISPLAY=" + display);
  pid_ = spawn(launch);
}

bool Program::running() const {
  siginfo_t info{};
  return pid_ > 0 && waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

int Program::ending() {
  for (const auto deadline = std::chrono::steady_clock::now() + kStopPatience;
       std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status;
    }
  }
  return -1;
}

void Program::stop() {
  // TERM first, so that a program run under valgrind writes its summary; the program
  // itself ends on it at once.
  if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0 && kill(pid_, SIGTERM) == 0 && ending() == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  if (errors_ >= 0) {
    close(errors_);
    unlink(errorsPath_.c_str());
    errors_ = -1;
  }
}

std::string Program::standardError() const {
  std::ifstream file(errorsPath_);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Desktop::Desktop(const std::string& script, const std::string& kind, const std::string& screen) {
  int line[2];
  if (pipe(line) != 0) {
    return;
  }
  // Its complaints go to this process's standard error. A sanitizer run's preload is for
  // the program under test, not for the desktop's servers.
  Launch launch;
  launch.argv = {script, kind, screen};
  launch.environment = {"LD_PRELOAD"};
  launch.output = line[1];
  pid_ = spawn(launch);
  close(line[1]);
  std::string text;
  for (char c = 0; read(line[0], &c, 1) == 1 && c != '\n';) {
    text += c;
  }
  close(line[0]);
  std::istringstream(text) >> display_ >> authority_;
  int status = 0;
  if (display_.empty() && waitpid(pid_, &status, 0) == pid_) {
    installed_ = !WIFEXITED(status) || WEXITSTATUS(status) != 3;
    pid_ = -1;
  }
}

Desktop::~Desktop() {
  if (pid_ > 0 && kill(pid_, SIGTERM) == 0) {
    waitpid(pid_, nullptr, 0);
  }
}

}  // namespace watch
