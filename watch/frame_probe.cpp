// Preloaded into the real program by the benchmark and the soak: wraps glFlush, which ends
// every frame, and writes to descriptor CUBE_PROBE_FD "frames monotonic-ns resident-kB"
// after the first frame and every CUBE_PROBE_EVERY (default 10000).
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// statm's second field: resident pages.
long residentKilobytes() {
  long pages = -1;
  if (FILE* statm = std::fopen("/proc/self/statm", "r"); statm != nullptr) {
    pages = std::fscanf(statm, "%*d %ld", &pages) == 1 ? pages : -1;
    std::fclose(statm);
  }
  return pages < 0 ? -1 : pages * (sysconf(_SC_PAGESIZE) / 1024);
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
