#include "extractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "archive_index.h"
#include "copy_range.h"
#include "entry_paths.h"
#include "platform.h"
#include "report.h"

EntryExtractor::EntryExtractor(const std::string& archivePath,
                               std::int64_t dataStart)
    : archivePath_(archivePath), dataStart_(dataStart) {
  // O_NONBLOCK keeps a FIFO in place of the archive from blocking the open
  // (see archive::readIndex); it makes no difference to a regular file.
  fd_ = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (fd_ < 0) {
    openError_ = std::strerror(errno);
  } else if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    openError_ = "not a regular file";
  } else {
    archiveSize_ = st.st_size;
  }
}

EntryExtractor::~EntryExtractor() {
  if (fd_ >= 0) ::close(fd_);
  forgetParent();
}

void EntryExtractor::forgetParent() {
  if (parentFd_ >= 0) ::close(parentFd_);
  parentFd_ = -1;
  parentPath_.clear();
}

int EntryExtractor::createOutput(const std::string& outputPath) {
  // O_NONBLOCK: a FIFO already at the output path fails the entry (ENXIO)
  // instead of waiting forever for a reader; regular files are unaffected.
  constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK;
  // Opening by the full path walks every level of it again for each file;
  // on a tree of small files that walk is about a tenth of the run. The folder the
  // file goes in is held open instead while entries keep going there, and
  // the file is made by its last name alone. Whatever that cannot serve
  // (no folder part, a name ending in "/", a folder that does not open)
  // goes by the full path, so errors and results stay those of open().
  const std::size_t slash = outputPath.rfind('/');
  if (slash == std::string::npos || slash == 0 ||
      slash + 1 == outputPath.size())
    return ::open(outputPath.c_str(), kFlags, 0666);
  if (parentPath_.size() != slash ||
      outputPath.compare(0, slash, parentPath_) != 0) {
    forgetParent();
    const std::string parent = outputPath.substr(0, slash);
    // O_RDONLY rather than Linux's O_PATH, to stay within POSIX: a folder
    // that may be searched but not read fails here and takes the full path.
    const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ::open(outputPath.c_str(), kFlags, 0666);
    parentFd_ = fd;
    parentPath_ = parent;
  }
  return ::openat(parentFd_, outputPath.c_str() + slash + 1, kFlags, 0666);
}

bool EntryExtractor::makeFolderChain(const std::string& folderPath) {
  // Every level in turn, from the first: a level that exists or cannot be
  // made is passed over, and the file's own creation reports what matters.
  std::vector<std::string> levels;
  QVRFunction().split(folderPath, '/', levels);
  if (levels.empty()) return false;
  std::string current = levels[0];
  int made = platform::_mkdir(current.c_str());
  for (std::size_t i = 1; i < levels.size(); ++i) {
    current += '/';
    current += levels[i];
    made = platform::_mkdir(current.c_str());
  }
  return made == 0;
}

void EntryExtractor::ensureFolder(const std::string& folderPath) {
  // Entries come folder by folder, so most share the folder of the entry
  // before; one existence test per path instead of one per entry saves a
  // system call on every small file.
  if (knownFolders_.count(folderPath) != 0) return;
  // A chain whose last level was not made (something in the way) leaves the
  // path unknown, so a later entry tests it and tries the chain again.
  if (platform::_access(folderPath.c_str(), 0) != -1 ||
      makeFolderChain(folderPath))
    knownFolders_.insert(folderPath);
}

bool EntryExtractor::extract(const fileInfo& entry,
                             const std::string& outputRoot,
                             std::string* error) {
  const std::string outputPath = outputPathOf(outputRoot, entry);
  if (!isSafeEntryPath(entry.directory, entry.name)) {
    *error = printable(outputPath) +
             ": unsafe path (a \"..\" level or a zero byte), not extracted";
    return false;
  }
  if (platform::windowsPaths()) {
    const std::string problem = windowsPathProblem(entry.directory, entry.name);
    if (!problem.empty()) {
      *error = printable(outputPath) + ": unsafe path on Windows (" + problem +
               "), not extracted";
      return false;
    }
  }

  const std::int64_t start = archive::entryStart(dataStart_, entry);
  if (entry.size > 0) {
    if (archiveSize_ < 0) {
      *error = printable(outputPath) + ": cannot read " +
               printable(archivePath_) + ": " + openError_;
      return false;
    }
    if (dataStart_ < 0) {
      *error = printable(outputPath) + ": the archive's index was not read";
      return false;
    }
    if (!archive::dataInsideArchive(dataStart_, entry, archiveSize_)) {
      *error = printable(outputPath) + ": data at bytes " +
               std::to_string(start) + " to " +
               std::to_string(start + entry.size) + " lies outside " +
               printable(archivePath_) + " (" + std::to_string(archiveSize_) +
               " bytes), not extracted";
      return false;
    }
  }

  ensureFolder(folderPathOf(outputRoot, entry));

  const int out = createOutput(outputPath);
  if (out < 0) {
    *error = "cannot create " + printable(outputPath) + ": " +
             std::strerror(errno);
    return false;
  }
  std::string copyError;
  bool ok = copyRange(fd_, start, entry.size, out, &copyError);
  if (::close(out) != 0 && ok) {
    ok = false;
    copyError = std::string("close failed: ") + std::strerror(errno);
  }
  if (!ok) {
    ::unlink(outputPath.c_str());
    // A folder path without a final "/" can name this very file (under more
    // than one spelling), so what was known to exist is known no longer.
    // Failures are rare; testing every folder again costs little.
    knownFolders_.clear();
    *error = printable(outputPath) + ": " + copyError +
             "; the partial file was removed";
  }
  return ok;
}
