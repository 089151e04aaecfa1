#include "platform.h"

#if defined(__linux__)
#include <sched.h>
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

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

std::string lastErrorText() { return std::strerror(errno); }

int openRegularFile(const std::string& path, std::int64_t* size,
                    std::string* error) {
  // O_NONBLOCK keeps a FIFO at the path from blocking the open; it makes no
  // difference to a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = lastErrorText();
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    *error = lastErrorText();
  } else if (!S_ISREG(st.st_mode)) {
    *error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
  } else {
    *size = st.st_size;
    return fd;
  }
  ::close(fd);
  return -1;
}

std::int64_t readAt(int fd, void* buffer, std::size_t n, std::int64_t offset) {
  ssize_t got;
  do {
    got = ::pread(fd, buffer, n, static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  return got;
}

bool closeFile(int fd) { return ::close(fd) == 0; }

bool standardOutputIsTerminal() { return ::isatty(kStandardOutput) == 1; }

}  // namespace platform
