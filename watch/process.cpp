#include "watch/process.h"

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
  for (const auto& [from, to] : {std::pair{launch.output, STDOUT_FILENO}, std::pair{launch.errors, STDERR_FILENO},
                                 std::pair{launch.descriptor3, 3}}) {
    if (from >= 0 && from != to) {
      dup2(from, to);
    }
  }
  for (int fd = launch.descriptor3 >= 0 ? 4 : 3; fd < 1024; ++fd) {
    close(fd);
  }
  if (!launch.display.empty()) {
    setenv("DISPLAY", launch.display.c_str(), 1);
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

Program::Program(Args argv, const std::string& display, int descriptor3) {
  // mkostemp: a new file of a name nobody can guess.
  const char* folder = std::getenv("TMPDIR");
  errorsPath_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/cube-stderr.XXXXXX";
  errors_ = mkostemp(errorsPath_.data(), O_CLOEXEC);
  if (errors_ < 0) {
    errorsPath_.clear();
  }
  pid_ = spawn({std::move(argv), display, {}, -1, errors_, descriptor3});
}

bool Program::running() const {
  siginfo_t info{};
  return pid_ > 0 && waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

int Program::ending(std::chrono::milliseconds patience) {
  for (const auto deadline = std::chrono::steady_clock::now() + patience; std::chrono::steady_clock::now() < deadline;
       std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
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
  if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0 && kill(pid_, SIGTERM) == 0 &&
      ending(std::chrono::seconds(30)) == -1) {
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
  pid_ = spawn({{script, kind, screen}, "", {"LD_PRELOAD"}, line[1]});
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

void Desktop::stop(int signal) {
  if (pid_ > 0 && kill(pid_, signal) == 0) {
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

}  // namespace watch
