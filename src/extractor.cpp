#include "extractor.h"

#include <cerrno>

#include "archive_index.h"
#include "copy_range.h"
#include "entry_paths.h"
#include "report.h"

EntryExtractor::EntryExtractor(const std::string& archivePath,
                               std::int64_t dataStart,
                               const platform::FileIdentity& identity,
                               std::int64_t archiveSize)
    : archivePath_(archivePath), dataStart_(dataStart), identity_(identity) {
  fd_ = platform::openRegularFile(archivePath, &archiveSize_, &openError_);
  if (fd_ < 0) {
    archiveSize_ = -1;
    return;
  }
  // Only an index that was read can be compared with; without one, every
  // entry with data fails anyway.
  platform::FileIdentity opened;
  replaced_ =
      dataStart >= 0 && (!platform::identityOf(fd_, &opened) ||
                         !(opened == identity) || archiveSize_ != archiveSize);
}

EntryExtractor::~EntryExtractor() {
  if (fd_ >= 0) platform::closeFile(fd_);
}

bool EntryExtractor::writeFile(const platform::Folder& folder,
                               const std::string& fileName,
                               const std::string& outputPath,
                               std::int64_t start, std::uint32_t size,
                               std::string* error) {
  // Made at the path itself when the name is free, which is the common
  // case and costs nothing more; only something already there makes the
  // file go beside it first.
  platform::OutputFile file;
  int err = file.create(folder, fileName, false);
  if (err == EEXIST) {
    platform::FileIdentity there;
    switch (platform::kindAt(folder, fileName, &there)) {
      case platform::EntryKind::kFolder:
        err = EISDIR;
        break;
      case platform::EntryKind::kSpecial:
        *error = "cannot create " + printable(outputPath) +
                 ": a FIFO, device or socket has that name; left as it is";
        return false;
      case platform::EntryKind::kFile:
        if (there == identity_) {
          *error = printable(outputPath) +
                   ": is the archive being extracted, not overwritten";
          return false;
        }
        err = file.create(folder, fileName, true);
        break;
      case platform::EntryKind::kLink:
      case platform::EntryKind::kNone:  // gone meanwhile
        err = file.create(folder, fileName, true);
        break;
    }
  }
  if (err != 0) {
    *error = "cannot create " + printable(outputPath) + ": " +
             platform::errorText(err);
    return false;
  }
  std::string copyError;
  if (!copyRange(fd_, start, size, file.descriptor(), &copyError)) {
    file.discard();
    *error = printable(outputPath) + ": " + copyError +
             "; the partial file was removed";
    return false;
  }
  err = file.commit();
  if (err != 0) {
    *error = printable(outputPath) +
             ": cannot complete the file: " + platform::errorText(err) +
             "; the partial file was removed";
    return false;
  }
  return true;
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
  if (replaced_) {
    *error = printable(outputPath) + ": " + printable(archivePath_) +
             " is no longer the file whose index was read (replaced or "
             "changed since), not extracted";
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

  std::string fileName;
  const platform::Folder* folder =
      folders_.folderFor(outputRoot, entry, &fileName, error);
  const bool done =
      folder != nullptr &&
      writeFile(*folder, fileName, outputPath, start, entry.size, error);
  // A failure may have changed what the folders hold (a file removed where
  // a later directory without a final "/" names a folder); look again.
  if (!done) folders_.forget();
  return done;
}
