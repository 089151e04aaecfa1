#include "cfsi_pack.h"

#include <map>

#include "archive_records.h"
#include "archive_writer.h"
#include "copy_range.h"
#include "entry_paths.h"
#include "platform.h"
#include "replacing_file.h"
#include "report.h"
#include "source_tree.h"

namespace {

// Where one entry's bytes come from: a file of the tree, or a range of the
// old archive.
struct Source {
  std::string path;  // empty: the old archive
  std::int64_t archiveStart = 0;
  std::uint64_t size = 0;
};

std::string systemError(const std::string& what) {
  return what + ": " + platform::lastErrorText();
}

std::string withoutTrailingSlashes(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return trimmed;
}

// A pack must never read what it writes: an output inside the tree would be
// packed into the next run's archive (or, with --like, be taken for an
// edited entry), and an output that is the old archive would be destroyed
// while it is still the source.
bool checkPlaces(const PackOptions& options, std::string* error) {
  platform::FileKind dirKind;
  if (!platform::kindOf(options.dir, &dirKind)) {
    *error = systemError("cannot read " + printable(options.dir));
    return false;
  }
  if (dirKind != platform::FileKind::kFolder) {
    *error = printable(options.dir) + ": not a folder";
    return false;
  }
  const std::string& output = options.output;
  if (output.empty() || output.back() == '/') {
    *error = "-o " + printable(output) + ": not a file name";
    return false;
  }
  const std::size_t slash = output.rfind('/');
  const std::string parent = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                          : output.substr(0, slash);
  std::string dirReal, parentReal;
  if (!platform::canonicalPath(options.dir, &dirReal)) {
    *error = systemError("cannot read " + printable(options.dir));
    return false;
  }
  if (!platform::canonicalPath(parent, &parentReal)) {
    *error = systemError("cannot write " + printable(output));
    return false;
  }
  const std::string outputReal =
      (parentReal == "/" ? "" : parentReal) + "/" + output.substr(slash + 1);
  const std::string dirPrefix = dirReal == "/" ? "/" : dirReal + "/";
  if (outputReal.compare(0, dirPrefix.size(), dirPrefix) == 0) {
    *error = "the archive " + printable(output) + " would be inside " +
             printable(options.dir) +
             ", the folder being packed; write it somewhere else";
    return false;
  }
  if (!options.like.empty() && platform::sameFile(options.like, output)) {
    *error = printable(output) + " is the archive being repacked (" +
             printable(options.like) +
             "); write the new one under another name";
    return false;
  }
  return true;
}

bool writeZeros(int fd, std::uint64_t n, std::string* error) {
  static const char zeros[archive::kDataAlignment] = {};
  while (n > 0) {
    const std::size_t chunk = n < sizeof zeros ? n : sizeof zeros;
    if (!writeAll(fd, zeros, chunk, error)) return false;
    n -= chunk;
  }
  return true;
}

bool copyFromFile(const Source& source, int out, std::string* error) {
  std::int64_t size;
  const int in = platform::openRegularFile(source.path, &size, error);
  if (in < 0) {
    *error = "cannot read " + printable(source.path) + ": " + *error;
    return false;
  }
  // The index already gives the size the file had when the tree was
  // listed, so a file that changes size fails the pack, whether it changed
  // before the copy or during it (the copy then runs short, or the file
  // ends up longer than what was copied); the message names the file.
  const auto sameSize = [&] {
    std::int64_t now;
    return platform::sizeOfOpenFile(in, &now) &&
           static_cast<std::uint64_t>(now) == source.size;
  };
  bool ok = static_cast<std::uint64_t>(size) == source.size &&
            copyRange(in, 0, source.size, out, error) && sameSize();
  if (!ok) {
    *error = printable(source.path) + ": " +
             (sameSize() ? *error : "changed size while being packed");
  }
  platform::closeFile(in);
  return ok;
}

// Writes the planned archive with each entry's bytes from its source.
bool writeArchive(const std::string& output,
                  const archive::PlannedArchive& plan,
                  const std::vector<Source>& sources,
                  const std::string& oldArchive, std::string* error) {
  int oldFd = -1;
  if (!oldArchive.empty()) {
    std::int64_t oldSize;
    oldFd = platform::openRegularFile(oldArchive, &oldSize, error);
    if (oldFd < 0) {
      *error = "cannot read " + printable(oldArchive) + ": " + *error;
      return false;
    }
  }
  ReplacingFile file;
  bool ok = file.open(output, error) &&
            writeAll(file.fd(), plan.index.data(), plan.index.size(), error) &&
            writeZeros(file.fd(), plan.dataStart - plan.index.size(), error);
  std::uint64_t position = 0;  // in the data area
  for (std::size_t i = 0; ok && i < sources.size(); ++i) {
    const Source& source = sources[i];
    ok = writeZeros(file.fd(), plan.dataOffsets[i] - position, error);
    if (!ok) break;
    if (!source.path.empty()) {
      ok = copyFromFile(source, file.fd(), error);
    } else if (!copyRange(oldFd, source.archiveStart, source.size, file.fd(),
                          error)) {
      *error = printable(oldArchive) + ": " + *error;
      ok = false;
    }
    position = plan.dataOffsets[i] + source.size;
  }
  if (ok) ok = file.commit(error);
  if (oldFd >= 0) platform::closeFile(oldFd);
  return ok;
}

void reportSkipped(const std::vector<std::string>& skipped) {
  for (const std::string& line : skipped) reportError("warning: " + line);
}

int packTree(const PackOptions& options, const std::string& root) {
  std::vector<TreeFile> files;
  std::vector<std::string> skipped;
  std::string error;
  if (!listTree(root, &files, &skipped, &error)) {
    reportError(error + "; no archive written");
    return 1;
  }
  reportSkipped(skipped);

  std::vector<archive::PlannedEntry> entries;
  std::vector<Source> sources;
  std::uint64_t bytes = 0;
  for (const TreeFile& file : files) {
    entries.push_back({file.directory, file.name, file.size});
    sources.push_back({root + "/" + file.directory + file.name, 0, file.size});
    bytes += file.size;
  }
  archive::PlannedArchive plan;
  if (!archive::planArchive(std::string(archive::kLeadingBytes, '\0'), entries,
                            &plan, &error)) {
    reportError(printable(error) +
                "; the archive cannot hold it, no archive "
                "written");
    return 1;
  }
  if (!writeArchive(options.output, plan, sources, "", &error)) {
    reportError(error + "; no archive written");
    return 1;
  }
  reportError(std::to_string(files.size()) +
              (files.size() == 1 ? " file, " : " files, ") +
              std::to_string(bytes) + " bytes packed into " +
              printable(options.output));
  return 0;
}

int repackLike(const PackOptions& options, const std::string& root) {
  archive::StoredIndex old;
  std::string error;
  if (archive::readStoredIndex(options.like, &old, &error) !=
      archive::IndexStatus::kComplete) {
    reportError(printable(options.like) + ": " + error +
                "; no archive written");
    return 1;
  }
  std::vector<TreeFile> files;
  std::vector<std::string> skipped;
  if (!listTree(root, &files, &skipped, &error)) {
    reportError(error + "; no archive written");
    return 1;
  }
  reportSkipped(skipped);
  // Only files listTree found can replace an entry: it never follows a
  // symbolic link and never yields a ".." level, so an entry's path cannot
  // lead a repack to read outside the tree.
  // Keyed by normalEntryPath: an entry finds its file under whatever
  // spelling of its path the index holds, as extraction wrote it.
  std::map<std::string, const TreeFile*> inTree;
  for (const TreeFile& file : files)
    inTree[normalEntryPath(file.directory + file.name)] = &file;

  std::vector<archive::PlannedEntry> entries;
  std::vector<std::size_t> recordSizes;
  std::vector<Source> sources;
  std::map<std::string, bool> used;
  std::size_t fromTree = 0;
  const std::vector<fileInfo>& oldEntries = old.index.entries;
  std::size_t i = 0;
  for (const archive::RawDirectoryRecord& record : old.records) {
    recordSizes.push_back(record.files.size());
    for (const archive::RawFileRecord& raw : record.files) {
      const fileInfo& entry = oldEntries[i++];
      const std::string path = entry.directory + entry.name;
      archive::PlannedEntry planned{entry.directory, entry.name, entry.size,
                                    raw.storedOffset};
      Source source;
      const auto found = isSafeEntryPath(entry.directory, entry.name)
                             ? inTree.find(normalOutputPath(entry))
                             : inTree.end();
      if (found != inTree.end()) {
        source.path = root + "/" + found->first;
        planned.size = found->second->size;
        used[found->first] = true;
        ++fromTree;
      } else {
        source.archiveStart = archive::entryStart(old.index.dataStart, entry);
        if (!archive::dataInsideArchive(old.index.dataStart, entry,
                                        old.index.archiveSize)) {
          reportError("entry " + std::to_string(i) + " (" + printable(path) +
                      ") of " + printable(options.like) +
                      ": its data lies outside the archive and " +
                      printable(options.dir) +
                      " has no file for it; no archive written");
          return 1;
        }
      }
      source.size = planned.size;
      entries.push_back(planned);
      sources.push_back(source);
    }
  }
  for (const TreeFile& file : files) {
    const std::string path = file.directory + file.name;
    if (used.count(normalEntryPath(path)) == 0)
      reportError("warning: " + printable(root + "/" + path) +
                  ": not listed in " + printable(options.like) + ", not added");
  }

  archive::PlannedArchive plan;
  if (!archive::planArchiveWithRecords(old.leadingBytes, entries, recordSizes,
                                       old.terminatorName, &plan, &error)) {
    reportError(printable(error) +
                "; the archive cannot hold it, no archive "
                "written");
    return 1;
  }
  if (!writeArchive(options.output, plan, sources, options.like, &error)) {
    reportError(error + "; no archive written");
    return 1;
  }
  reportError(std::to_string(entries.size()) +
              (entries.size() == 1 ? " entry" : " entries") + " packed into " +
              printable(options.output) + ": " + std::to_string(fromTree) +
              " from " + printable(options.dir) + ", " +
              std::to_string(entries.size() - fromTree) + " from " +
              printable(options.like));
  return 0;
}

}  // namespace

int runPack(const PackOptions& options) {
  std::string error;
  if (!checkPlaces(options, &error)) {
    reportError(error);
    return 1;
  }
  const std::string root = withoutTrailingSlashes(options.dir);
  return options.like.empty() ? packTree(options, root)
                              : repackLike(options, root);
}
