#include "platform.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int _mkdir(const char* path) { return ::mkdir(path, 0777) == 0 ? 0 : -1; }

int _access(const char* path, int mode) {
  return ::access(path, mode == 0 ? F_OK : mode) == 0 ? 0 : -1;
}

bool windowsPaths() { return false; }

std::string fileNameKey(const std::string& path) { return path; }

}  // namespace platform
