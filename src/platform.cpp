// The parts of the platform layer that every system shares: rules built on
// the calls each system's own file implements.
#include "platform.h"

#include <csignal>

namespace platform {

bool makeFolderChain(const std::string& folderPath) {
  bool madeLast = false;
  for (std::size_t slash = folderPath.find('/'); slash != std::string::npos;
       slash = folderPath.find('/', slash + 1)) {
    if (slash == 0) continue;  // the root of an absolute path
    madeLast = _mkdir(folderPath.substr(0, slash).c_str()) == 0;
  }
  if (!folderPath.empty() && folderPath.back() != '/')
    madeLast = _mkdir(folderPath.c_str()) == 0;
  return madeLast;
}

bool sameFile(const std::string& a, const std::string& b) {
  FileIdentity first, second;
  return identify(a, &first) && identify(b, &second) && first == second;
}

int openFolderLevelByLevel(const Folder& root, const std::string& relative,
                           Folder* folder) {
  Folder current;
  const Folder* at = &root;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t slash = relative.find('/', begin);
    const std::string level = relative.substr(
        begin, slash == std::string::npos ? std::string::npos : slash - begin);
    Folder next;
    const int err = openFolderAt(*at, level, &next);
    if (err != 0) return err;
    current = std::move(next);
    at = &current;
    if (slash == std::string::npos) break;
    begin = slash + 1;
  }
  *folder = std::move(current);
  return 0;
}

namespace {
// The stop requests catchStopSignals took over: those not ignored.
std::vector<int> caughtStopSignals;
}  // namespace

void catchStopSignals(void (*handler)(int)) {
  caughtStopSignals.clear();
  for (const int sig : stopSignals()) {
    if (std::signal(sig, handler) == SIG_IGN)
      std::signal(sig, SIG_IGN);
    else
      caughtStopSignals.push_back(sig);
  }
}

void releaseStopSignals() {
  for (const int sig : caughtStopSignals) std::signal(sig, SIG_DFL);
  caughtStopSignals.clear();
}

std::size_t lastFolderSeparator(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (isFolderSeparator(path[i - 1])) return i - 1;
  return std::string::npos;
}

const char* kindName(FileKind kind) {
  switch (kind) {
    case FileKind::kFile:
      return "file";
    case FileKind::kFolder:
      return "folder";
    case FileKind::kSymbolicLink:
      return "symbolic link";
    case FileKind::kNamedPipe:
      return "named pipe";
    case FileKind::kSocket:
      return "socket";
    case FileKind::kCharacterDevice:
      return "character device";
    case FileKind::kBlockDevice:
      return "block device";
    case FileKind::kOther:
      break;
  }
  return "special file";
}

}  // namespace platform
