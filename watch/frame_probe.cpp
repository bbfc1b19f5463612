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

long number(const char* name, long otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atol(text) : otherwise;
}

// Set up at the first frame, when the program's libraries are all loaded.
struct Probe {
  void (*realFlush)() = reinterpret_cast<void (*)()>(dlsym(RTLD_NEXT, "glFlush"));
  int fd = int(number("CUBE_PROBE_FD", -1));
  long every = number("CUBE_PROBE_EVERY", 10000);
  long frames = 0;
};

}  // namespace

extern "C" void glFlush() {
  static Probe probe;
  probe.realFlush();
  ++probe.frames;
  if (probe.fd >= 0 && (probe.frames == 1 || (probe.every > 0 && probe.frames % probe.every == 0))) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[96];
    const int length =
        std::snprintf(line, sizeof line, "%ld %lld %ld\n", probe.frames,
                      static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, residentKilobytes());
    if (length > 0 && write(probe.fd, line, static_cast<std::size_t>(length)) < 0) {
      probe.fd = -1;
    }
  }
}
