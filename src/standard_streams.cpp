#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

bool holdStandardDescriptors() {
  bool closed[3];
  for (int fd = 0; fd < 3; ++fd) closed[fd] = ::fcntl(fd, F_GETFD) == -1;
  // open() takes the lowest free number, so filling the closed slots in
  // increasing order puts each device on the slot it is meant for.
  for (int fd = 0; fd < 3; ++fd) {
    if (!closed[fd]) continue;
    int got = fd == STDOUT_FILENO ? ::open("/dev/full", O_WRONLY) : -1;
    if (got < 0) got = ::open("/dev/null", O_RDWR);
    if (got >= 0 && got != fd) ::close(got);  // a slot we did not expect
  }
  return !closed[STDOUT_FILENO];
}
