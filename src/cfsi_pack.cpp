#include "cfsi_pack.h"

#include <map>
#include <set>

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
  bool ok = true;
  if (static_cast<std::uint64_t>(size) != source.size) {
    // The index already gives the size it had when the tree was listed.
    *error = printable(source.path) + ": changed size while being packed";
    ok = false;
  } else if (!copyRange(in, 0, source.size, out, error)) {
    *error = printable(source.path) + ": " + *error;
    ok = false;
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

// Lists the files below |root| as the entries' sources, warning about what
// is skipped. Returns false, after saying why, when the tree cannot be read.
bool listSources(const std::string& root, std::vector<TreeFile>* files) {
  std::vector<std::string> skipped;
  std::string error;
  if (!listTree(root, files, &skipped, &error)) {
    reportError(error + "; no archive written");
    return false;
  }
  for (const std::string& line : skipped) reportWarning(line);
  return true;
}

// Plans the archive of |entries| with planArchiveWithRecords' rules (record
// sizes as given) or planArchive's (when |stored| is null), writes it with
// each entry's bytes from its source, and says why when it cannot. Returns
// whether the archive was written.
bool planAndWrite(const PackOptions& options,
                  const std::vector<archive::PlannedEntry>& entries,
                  const std::vector<Source>& sources,
                  const archive::StoredIndex* stored,
                  const std::vector<std::size_t>& recordSizes) {
  archive::PlannedArchive plan;
  std::string error;
  const bool planned =
      stored == nullptr
          ? archive::planArchive(std::string(archive::kLeadingBytes, '\0'),
                                 entries, &plan, &error)
          : archive::planArchiveWithRecords(stored->leadingBytes, entries,
                                            recordSizes, stored->terminatorName,
                                            &plan, &error);
  if (!planned) {
    reportError(printable(error) +
                "; the archive cannot hold it, no archive written");
    return false;
  }
  if (!writeArchive(options.output, plan, sources,
                    stored == nullptr ? "" : options.like, &error)) {
    reportError(error + "; no archive written");
    return false;
  }
  return true;
}

int packTree(const PackOptions& options, const std::string& root) {
  std::vector<TreeFile> files;
  if (!listSources(root, &files)) return 1;
  std::vector<archive::PlannedEntry> entries;
  std::vector<Source> sources;
  std::uint64_t bytes = 0;
  for (const TreeFile& file : files) {
    entries.push_back({file.directory, file.name, file.size});
    sources.push_back({root + "/" + file.directory + file.name, 0, file.size});
    bytes += file.size;
  }
  if (!planAndWrite(options, entries, sources, nullptr, {})) return 1;
  reportInfo(std::to_string(files.size()) +
             (files.size() == 1 ? " file, " : " files, ") +
             std::to_string(bytes) + " bytes packed into " +
             printable(options.output));
  return 0;
}

// The repack of an old archive's entries: what each becomes, and where its
// bytes come from.
struct Repack {
  std::vector<archive::PlannedEntry> entries;
  std::vector<std::size_t> recordSizes;
  std::vector<Source> sources;
  std::size_t fromTree = 0;
  std::set<std::string> usedFiles;  // normalEntryPath of the tree files used
};

// Plans every entry of |old| in index order, from the file of |files| at its
// path when there is one and from the old archive otherwise. Returns false,
// after saying why, for an entry that has neither.
bool planRepack(const PackOptions& options, const std::string& root,
                const archive::StoredIndex& old,
                const std::vector<TreeFile>& files, Repack* repack) {
  // Only files listTree found can replace an entry: it never follows a
  // symbolic link and never yields a ".." level, so an entry's path cannot
  // lead a repack to read outside the tree.
  // Keyed by normalEntryPath: an entry finds its file under whatever
  // spelling of its path the index holds, as extraction wrote it.
  std::map<std::string, const TreeFile*> inTree;
  for (const TreeFile& file : files)
    inTree[normalEntryPath(file.directory + file.name)] = &file;

  const std::vector<fileInfo>& oldEntries = old.index.entries;
  std::size_t i = 0;
  for (const archive::RawDirectoryRecord& record : old.records) {
    repack->recordSizes.push_back(record.files.size());
    for (const archive::RawFileRecord& raw : record.files) {
      const fileInfo& entry = oldEntries[i++];
      archive::PlannedEntry planned{entry.directory, entry.name, entry.size,
                                    raw.storedOffset};
      Source source;
      const auto found = isSafeEntryPath(entry.directory, entry.name)
                             ? inTree.find(normalOutputPath(entry))
                             : inTree.end();
      if (found != inTree.end()) {
        source.path = root + "/" + found->first;
        planned.size = found->second->size;
        repack->usedFiles.insert(found->first);
        ++repack->fromTree;
      } else if (archive::dataInsideArchive(old.index.dataStart, entry,
                                            old.index.archiveSize)) {
        source.archiveStart = archive::entryStart(old.index.dataStart, entry);
      } else {
        reportError("entry " + std::to_string(i) + " (" +
                    printable(entry.directory + entry.name) + ") of " +
                    printable(options.like) +
                    ": its data lies outside the archive and " +
                    printable(options.dir) +
                    " has no file for it; no archive written");
        return false;
      }
      source.size = planned.size;
      repack->entries.push_back(planned);
      repack->sources.push_back(source);
    }
  }
  return true;
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
  if (!listSources(root, &files)) return 1;
  Repack repack;
  if (!planRepack(options, root, old, files, &repack)) return 1;
  for (const TreeFile& file : files) {
    const std::string path = file.directory + file.name;
    if (repack.usedFiles.count(normalEntryPath(path)) == 0)
      reportWarning(printable(root + "/" + path) + ": not listed in " +
                    printable(options.like) + ", not added");
  }
  if (!planAndWrite(options, repack.entries, repack.sources, &old,
                    repack.recordSizes))
    return 1;
  const std::size_t count = repack.entries.size();
  reportInfo(std::to_string(count) + (count == 1 ? " entry" : " entries") +
             " packed into " + printable(options.output) + ": " +
             std::to_string(repack.fromTree) + " from " +
             printable(options.dir) + ", " +
             std::to_string(count - repack.fromTree) + " from " +
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
