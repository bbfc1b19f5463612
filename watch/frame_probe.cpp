// Preloaded into the real program by the benchmark and the soak (never linked
// into it): wraps glFlush, which ends every frame, and reports to the file descriptor
// named by CUBE_PROBE_FD one line "frames monotonic-ns resident-kB" after the first
// frame and after every CUBE_PROBE_EVERY frames (default 10000).
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

long residentKilobytes() {
  long kilobytes = -1;
  char line[256];
  FILE* status = std::fopen("/proc/self/status", "r");
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "VmRSS:", 6) == 0) {
      kilobytes = std::strtol(line + 6, nullptr, 10);
    }
  }
  if (status != nullptr) {
    std::fclose(status);
  }
  return kilobytes;
}

}  // namespace

extern "C" void glFlush() {
  static void (*realFlush)() = nullptr;
  static long frames = 0;
  static long every = 0;
  static int fd = -1;
  if (realFlush == nullptr) {
    realFlush = reinterpret_cast<void (*)()>(dlsym(RTLD_NEXT, "glFlush"));
    const char* fdText = std::getenv("CUBE_PROBE_FD");
    const char* everyText = std::getenv("CUBE_PROBE_EVERY");
    fd = fdText != nullptr ? std::atoi(fdText) : -1;
    every = everyText != nullptr ? std::atol(everyText) : 10000;
  }
  realFlush();
  ++frames;
  if (fd >= 0 && (frames == 1 || (every > 0 && frames % every == 0))) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[96];
    const int length =
        std::snprintf(line, sizeof line, "%ld %lld %ld\n", frames,
                      static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, residentKilobytes());
    if (length > 0 && write(fd, line, static_cast<std::size_t>(length)) < 0) {
      fd = -1;
    }
  }
}
