#include "extractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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
}

void EntryExtractor::makeFolderChain(const std::string& folderPath) {
  // Every level in turn, from the first: a level that exists or cannot be
  // made is passed over, and the file's own creation reports what matters.
  std::vector<std::string> levels;
  QVRFunction().split(folderPath, '/', levels);
  if (levels.empty()) return;
  std::string current = levels[0];
  platform::_mkdir(current.c_str());
  for (std::size_t i = 1; i < levels.size(); ++i) {
    current += '/';
    current += levels[i];
    platform::_mkdir(current.c_str());
  }
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

  const std::int64_t start = dataStart_ + entry.offset;
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
    if (start < 0 || start + entry.size > archiveSize_) {
      *error = printable(outputPath) + ": data at bytes " +
               std::to_string(start) + " to " +
               std::to_string(start + entry.size) + " lies outside " +
               printable(archivePath_) + " (" + std::to_string(archiveSize_) +
               " bytes), not extracted";
      return false;
    }
  }

  const std::string folderPath = folderPathOf(outputRoot, entry);
  if (platform::_access(folderPath.c_str(), 0) == -1)
    makeFolderChain(folderPath);

  // O_NONBLOCK: a FIFO already at the output path fails the entry (ENXIO)
  // instead of waiting forever for a reader; regular files are unaffected.
  const int out =
      ::open(outputPath.c_str(),
             O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
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
    *error = printable(outputPath) + ": " + copyError +
             "; the partial file was removed";
  }
  return ok;
}
