#include "cfsi_cat.h"

#include <unordered_map>

#include "archive_index.h"
#include "copy_range.h"
#include "entry_paths.h"
#include "entry_selection.h"
#include "indexed_archive.h"
#include "path_pattern.h"
#include "platform.h"
#include "report.h"

namespace {

// The entries of |entries| that |pattern| names, in index order, each path
// once: the last entry with that path.
std::vector<const fileInfo*> namedEntries(const std::vector<fileInfo>& entries,
                                          const PathPattern& pattern) {
  std::vector<const fileInfo*> named;
  std::unordered_map<std::string, std::size_t> lastOfPath;  // into |named|
  for (const fileInfo& entry : entries) {
    const std::string path = outputPathOf(std::string(), entry);
    if (!namesPath(pattern, path)) continue;
    const auto found = lastOfPath.emplace(path, named.size());
    if (!found.second) {
      named[found.first->second] = nullptr;
      found.first->second = named.size();
    }
    named.push_back(&entry);
  }
  std::vector<const fileInfo*> kept;
  for (const fileInfo* entry : named)
    if (entry != nullptr) kept.push_back(entry);
  return kept;
}

enum class Written { kInFull, kRefused, kCopyFailed };

// Copies |entry| to standard output from the open archive |fd| of |size|
// bytes, or says why not.
Written writeEntry(int fd, std::int64_t size, std::int64_t dataStart,
                   const fileInfo& entry, const std::string& archivePath) {
  const std::string path = printable(outputPathOf(std::string(), entry));
  const std::int64_t start = archive::entryStart(dataStart, entry);
  if (!archive::dataInsideArchive(dataStart, entry, size)) {
    reportError(path + ": data at bytes " + std::to_string(start) + " to " +
                std::to_string(start + entry.size) + " lies outside " +
                printable(archivePath) + " (" + std::to_string(size) +
                " bytes), not written");
    return Written::kRefused;
  }
  std::string error;
  if (copyRange(fd, start, entry.size, platform::kStandardOutput, &error))
    return Written::kInFull;
  reportError(path + ": " + error +
              "; standard output may hold part of it, nothing more is written");
  return Written::kCopyFailed;
}

}  // namespace

int runCat(const std::string& archivePath,
           const std::vector<std::string>& paths) {
  if (platform::standardOutputIsTerminal()) {
    reportError(
        "standard output is a terminal, where an entry's bytes could "
        "garble the screen; redirect it: cfsi cat ARCHIVE PATH... > FILE, "
        "or ... | less");
    return 1;
  }

  PathFilter filter;
  filter.patterns = paths;
  EntrySelection selection(filter);
  archive::Index index;
  std::string error;
  // Only the named entries are kept: a few entries of a big index.
  const archive::IndexStatus status = archive::readIndex(
      archivePath, &index, &error,
      [&selection](const fileInfo& entry) { return selection.takes(entry); });
  if (!archive::reportIndexStatus(archivePath, status, error,
                                  "nothing was written"))
    return 1;
  bool ok = selection.reportUnmatched() == 0;

  std::int64_t size = -1;
  const int fd = openIndexedArchive(archivePath, index, &size, &error);
  if (fd < 0) {
    reportError(error + "; nothing was written");
    return 1;
  }
  for (const std::string& path : paths) {
    for (const fileInfo* entry :
         namedEntries(index.entries, PathPattern(path))) {
      const Written written =
          writeEntry(fd, size, index.dataStart, *entry, archivePath);
      if (written == Written::kCopyFailed) {
        platform::closeFile(fd);
        return 1;
      }
      if (written == Written::kRefused) ok = false;
    }
  }
  platform::closeFile(fd);
  return ok ? 0 : 1;
}
