#include "indexed_archive.h"

#include "platform.h"
#include "report.h"

int openIndexedArchive(const std::string& path,
                       const archive::IndexPositions& positions,
                       std::int64_t* size, std::string* error) {
  std::string why;
  const int fd = platform::openRegularFile(path, size, &why);
  if (fd < 0) {
    *error = "cannot open " + printable(path) + ": " + why;
    return -1;
  }
  platform::FileIdentity opened;
  if (platform::identityOf(fd, &opened) && opened == positions.identity &&
      *size == positions.archiveSize)
    return fd;
  platform::closeFile(fd);
  *error = printable(path) +
           " is no longer the file whose index was read (replaced or "
           "changed since)";
  return -1;
}
