#include "extractor.h"

#include "archive_index.h"
#include "copy_range.h"
#include "entry_paths.h"
#include "platform.h"
#include "report.h"

EntryExtractor::EntryExtractor(const std::string& archivePath,
                               std::int64_t dataStart)
    : archivePath_(archivePath), dataStart_(dataStart) {
  fd_ = platform::openRegularFile(archivePath, &archiveSize_, &openError_);
  if (fd_ < 0) archiveSize_ = -1;
}

EntryExtractor::~EntryExtractor() {
  if (fd_ >= 0) platform::closeFile(fd_);
  forgetParent();
}

void EntryExtractor::forgetParent() {
  if (parentFd_ >= 0) platform::closeFile(parentFd_);
  parentFd_ = -1;
  parentPath_.clear();
}

int EntryExtractor::createOutput(const std::string& outputPath) {
  // Opening by the full path walks every level of it again for each file;
  // on a tree of small files that walk is about a tenth of the run. The folder
  // the file goes in is held open instead while entries keep going there, and
  // the file is made by its last name alone. Whatever that cannot serve
  // (no folder part, a name ending in "/", a folder that does not open)
  // goes by the full path, so errors and results stay those of open().
  const std::size_t slash = outputPath.rfind('/');
  if (slash == std::string::npos || slash == 0 ||
      slash + 1 == outputPath.size())
    return platform::createOutputFile(outputPath);
  if (parentPath_.size() != slash ||
      outputPath.compare(0, slash, parentPath_) != 0) {
    forgetParent();
    const std::string parent = outputPath.substr(0, slash);
    const int fd = platform::openFolder(parent);
    if (fd < 0) return platform::createOutputFile(outputPath);
    parentFd_ = fd;
    parentPath_ = parent;
  }
  return platform::createOutputFileIn(parentFd_, outputPath.substr(slash + 1));
}

void EntryExtractor::ensureFolder(const std::string& folderPath) {
  // Entries come folder by folder, so most share the folder of the entry
  // before; one existence test per path instead of one per entry saves a
  // system call on every small file.
  if (knownFolders_.count(folderPath) != 0) return;
  // A chain whose last level was not made (something in the way) leaves the
  // path unknown, so a later entry tests it and tries the chain again.
  if (platform::_access(folderPath.c_str(), 0) != -1 ||
      platform::makeFolderChain(folderPath))
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
             platform::lastErrorText();
    return false;
  }
  std::string copyError;
  bool ok = copyRange(fd_, start, entry.size, out, &copyError);
  if (!platform::closeFile(out) && ok) {
    ok = false;
    copyError = "close failed: " + platform::lastErrorText();
  }
  if (!ok) {
    platform::removeFile(outputPath);
    // A folder path without a final "/" can name this very file (under more
    // than one spelling), so what was known to exist is known no longer.
    // Failures are rare; testing every folder again costs little.
    knownFolders_.clear();
    *error = printable(outputPath) + ": " + copyError +
             "; the partial file was removed";
  }
  return ok;
}
