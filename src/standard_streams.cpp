#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

bool holdStandardDescriptors() {
  const bool stdoutOpen = ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
  // open() takes the lowest free number, so it fills the closed slots in
  // turn; the first descriptor above 2 means they are all taken.
  int fd;
  while ((fd = ::open("/dev/null", O_RDWR)) >= 0 && fd <= STDERR_FILENO) {
  }
  if (fd > STDERR_FILENO) ::close(fd);
  return stdoutOpen;
}
