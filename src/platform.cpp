#include "platform.h"

#include <limits.h>
#if defined(__linux__)
#include <sched.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

namespace platform {

int _mkdir(const char* path) { return ::mkdir(path, 0777) == 0 ? 0 : -1; }

int _access(const char* path, int mode) {
  return ::access(path, mode == 0 ? F_OK : mode) == 0 ? 0 : -1;
}

unsigned usableProcessors() {
#if defined(__linux__)
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0)
    return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return 0;
}

void reportWriteFailuresAsErrors() {
  // Both signals would end the run half-way through a file; ignored, the
  // write returns the error and the entry fails like any other.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

std::size_t maxNameLength() { return NAME_MAX; }

}  // namespace platform
