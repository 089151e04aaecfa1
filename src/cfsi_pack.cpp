#include "cfsi_pack.h"

#include "archive_index.h"
#include "archive_writer.h"
#include "copy_range.h"
#include "entry_paths.h"
#include "indexed_archive.h"
#include "path_set.h"
#include "platform.h"
#include "replacing_file.h"
#include "report.h"
#include "source_tree.h"

namespace {

// A file of the tree that gives an entry its bytes, with the size it had
// when the tree was listed.
struct Source {
  std::string path;
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
  if (output.empty() || platform::isFolderSeparator(output.back())) {
    *error = "-o " + printable(output) + ": not a file name";
    return false;
  }
  const std::size_t slash = platform::lastFolderSeparator(output);
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
                  const std::vector<Source>& sources, std::string* error) {
  ReplacingFile file;
  bool ok = file.open(output, error) &&
            writeAll(file.fd(), plan.index.data(), plan.index.size(), error) &&
            writeZeros(file.fd(), plan.dataStart - plan.index.size(), error);
  std::uint64_t position = 0;  // in the data area
  for (std::size_t i = 0; ok && i < sources.size(); ++i) {
    ok = writeZeros(file.fd(), plan.dataOffsets[i] - position, error) &&
         copyFromFile(sources[i], file.fd(), error);
    position = plan.dataOffsets[i] + sources[i].size;
  }
  return ok && file.commit(error);
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

// Plans the archive of |entries| with planArchive's rules, writes it with
// each entry's bytes from its source, and says why when it cannot. Returns
// whether the archive was written.
bool planAndWrite(const PackOptions& options,
                  const std::vector<archive::PlannedEntry>& entries,
                  const std::vector<Source>& sources) {
  archive::PlannedArchive plan;
  std::string error;
  if (!archive::planArchive(std::string(archive::kLeadingBytes, '\0'), entries,
                            &plan, &error)) {
    reportError(printable(error) +
                "; the archive cannot hold it, no archive written");
    return false;
  }
  if (!writeArchive(options.output, plan, sources, &error)) {
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
    sources.push_back({root + "/" + file.directory + file.name, file.size});
    bytes += file.size;
  }
  if (!planAndWrite(options, entries, sources)) return 1;
  reportInfo(std::to_string(files.size()) +
             (files.size() == 1 ? " file, " : " files, ") +
             std::to_string(bytes) + " bytes packed into " +
             printable(options.output));
  return 0;
}

// The files of the tree by their path in normalEntryPath's form, so that an
// entry finds its file under whatever spelling of its path the index holds,
// as extraction wrote it. Only files listTree found can replace an entry: it
// never follows a symbolic link and never yields a ".." level, so an
// entry's path cannot lead a repack to read outside the tree. The paths are
// held as PathSet holds them, and a match is confirmed on the path itself.
class TreeLookup {
 public:
  explicit TreeLookup(const std::vector<TreeFile>& files)
      : files_(files), set_(files.size()), used_(files.size(), false) {
    std::uint32_t first;
    for (std::size_t i = 0; i < files.size(); ++i)
      set_.insert(pathOf(i), static_cast<std::uint32_t>(i), &first);
  }

  // The file for |entry|, or null; the file counts as used from then on.
  const TreeFile* find(const fileInfo& entry) {
    if (!isSafeEntryPath(entry.directory, entry.name)) return nullptr;
    const std::string path = platform::fileNameKey(normalOutputPath(entry));
    std::uint32_t i;
    if (!set_.find(path, &i)) return nullptr;
    if (pathOf(i) != path) {
      // Two paths with one hash: rare enough for a walk through all.
      for (i = 0; i < files_.size() && pathOf(i) != path; ++i) {
      }
      if (i == files_.size()) return nullptr;
    }
    used_[i] = true;
    return &files_[i];
  }

  bool used(std::size_t i) const { return used_[i]; }
  // Keyed as the system's file names compare: on Windows, the file that
  // extraction made for an entry "caf\xe9.dds" is listed as UTF-8 "café.dds",
  // and one in other letter case is that same file.
  std::string pathOf(std::size_t i) const {
    return platform::fileNameKey(
        normalEntryPath(files_[i].directory + files_[i].name));
  }

 private:
  const std::vector<TreeFile>& files_;
  PathSet set_;
  std::vector<bool> used_;
};

// Repacks an old archive in two passes over its index, holding no entry:
// the first writes the new index as the old one is read (the same records
// and names; offsets and sizes of the new layout), the second the data.
// Both passes take the same decisions, from the same tree listing.
class Repacker : public archive::IndexVisitor {
 public:
  Repacker(const PackOptions& options, const std::string& root,
           const archive::IndexPositions& old, TreeLookup* tree, int oldFd,
           int out)
      : options_(options),
        root_(root),
        old_(old),
        tree_(tree),
        oldFd_(oldFd),
        out_(out) {}

  // Starts a pass: the index when |data| is false, the data otherwise.
  void startPass(bool data) {
    data_ = data;
    entries_ = fromTree_ = 0;
    nextOffset_ = position_ = 0;
  }

  void leadingBytes(const std::string& bytes) override {
    if (!data_) buffer_ += bytes;
  }
  void directoryRecord(const std::string& name, unsigned count) override {
    if (!data_) archive::appendDirectoryHeader(&buffer_, name, count);
  }
  void terminatingRecord(const std::string& name) override {
    if (!data_) archive::appendDirectoryHeader(&buffer_, name, 0);
  }
  void fileRecord(fileInfo& entry, std::uint32_t storedOffset) override;

  // Writes what the index pass left in its buffer. False on a failure.
  bool flush() {
    if (failed_) return false;
    if (!writeAll(out_, buffer_.data(), buffer_.size(), &error_)) {
      failed_ = true;
      return false;
    }
    buffer_.clear();
    return true;
  }

  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }
  std::size_t entries() const { return entries_; }
  std::size_t fromTree() const { return fromTree_; }

 private:
  void fail(const std::string& error) {
    if (!failed_) error_ = error;
    failed_ = true;
  }

  const PackOptions& options_;
  const std::string& root_;
  const archive::IndexPositions& old_;
  TreeLookup* tree_;
  int oldFd_;
  int out_;
  bool data_ = false;
  bool failed_ = false;
  std::string error_;
  std::string buffer_;
  std::size_t entries_ = 0;
  std::size_t fromTree_ = 0;
  std::uint64_t nextOffset_ = 0;  // where the next entry's data goes
  std::uint64_t position_ = 0;    // how much of the data area is written
};

void Repacker::fileRecord(fileInfo& entry, std::uint32_t storedOffset) {
  ++entries_;
  if (failed_) return;
  const TreeFile* file = tree_->find(entry);
  const std::string path = entry.directory + entry.name;
  std::uint64_t size = entry.size;
  if (file != nullptr) {
    size = file->size;
    ++fromTree_;
  } else if (!archive::dataInsideArchive(old_.dataStart, entry,
                                         old_.archiveSize)) {
    fail("entry " + std::to_string(entries_) + " (" + printable(path) +
         ") of " + printable(options_.like) +
         ": its data lies outside the archive and " + printable(options_.dir) +
         " has no file for it");
    return;
  }
  const std::uint64_t offset = nextOffset_;
  nextOffset_ = offset + size;
  nextOffset_ += static_cast<std::uint64_t>(
      archive::alignmentGap(static_cast<std::int64_t>(nextOffset_)));
  if (!data_) {
    // The largest byte offset a stored offset reaches without turning
    // negative: 2^27 - 1 units. The ignored top bits are kept as they were.
    const std::uint64_t maxOffset = ((std::uint64_t{1} << 27) - 1)
                                    << archive::kOffsetUnitShift;
    if (size > UINT32_MAX) {
      fail(printable("file of 4 GiB or more: " + path) +
           "; the archive cannot hold it");
    } else if (offset > maxOffset) {
      fail(printable("data beyond the 2 GiB an offset can reach: " + path) +
           "; the archive cannot hold it");
    } else {
      archive::appendFileRecord(
          &buffer_, entry.name,
          static_cast<std::uint32_t>(offset >> archive::kOffsetUnitShift) |
              (storedOffset & 0xf0000000u),
          static_cast<std::uint32_t>(size));
      if (buffer_.size() >= 64 * 1024) flush();
    }
    return;
  }
  if (!writeZeros(out_, offset - position_, &error_)) {
    failed_ = true;
    return;
  }
  if (file != nullptr) {
    Source source{root_ + "/" + file->directory + file->name, size};
    if (!copyFromFile(source, out_, &error_)) failed_ = true;
  } else if (!copyRange(oldFd_, archive::entryStart(old_.dataStart, entry),
                        size, out_, &error_)) {
    error_ = printable(options_.like) + ": " + error_;
    failed_ = true;
  }
  position_ = offset + size;
}

// Reads where the stretches of the archive |like| lie into |old|, and opens
// it for its data: the file whose index was read, or none. Returns the
// descriptor, or -1 with |error| saying why.
int openOldArchive(const std::string& like, archive::IndexPositions* old,
                   std::string* error) {
  archive::IndexVisitor nothing;
  if (archive::readIndex(like, &nothing, old, error) !=
      archive::IndexStatus::kComplete) {
    *error = printable(like) + ": " + *error;
    return -1;
  }
  std::int64_t size;
  return openIndexedArchive(like, *old, &size, error);
}

// Writes the new archive through |repacker| in two passes over the old
// index: the index first (with the gap before the data area), then the data.
// Each pass reads the index again and must find the one |old| describes.
// Returns false with |error| saying why; sets |entries| to the count.
bool writeInTwoPasses(const std::string& like,
                      const archive::IndexPositions& old, Repacker* repacker,
                      int out, std::size_t* entries, std::string* error) {
  *entries = 0;
  for (const bool data : {false, true}) {
    repacker->startPass(data);
    archive::IndexPositions again;
    std::string passError;
    const archive::IndexStatus status =
        archive::readIndex(like, repacker, &again, &passError);
    const bool sameEntries = !data || repacker->entries() == *entries;
    *entries = repacker->entries();
    const bool written =
        data || (repacker->flush() &&
                 writeZeros(out, old.dataStart - old.indexEnd, error));
    if (repacker->failed()) {
      *error = repacker->error();
      return false;
    }
    if (!written) return false;  // |error| says why
    if (!archive::readAsBefore(like, status, passError, again, sameEntries, old,
                               error))
      return false;
  }
  return true;
}

int repackLike(const PackOptions& options, const std::string& root) {
  std::string error;
  archive::IndexPositions old;
  const int oldFd = openOldArchive(options.like, &old, &error);
  if (oldFd < 0) {
    reportError(error + "; no archive written");
    return 1;
  }
  std::vector<TreeFile> files;
  ReplacingFile file;
  if (!listSources(root, &files)) {
    platform::closeFile(oldFd);
    return 1;
  }
  if (!file.open(options.output, &error)) {
    platform::closeFile(oldFd);
    reportError(error + "; no archive written");
    return 1;
  }
  TreeLookup tree(files);
  Repacker repacker(options, root, old, &tree, oldFd, file.fd());
  std::size_t entries = 0;
  bool ok = writeInTwoPasses(options.like, old, &repacker, file.fd(), &entries,
                             &error);
  platform::closeFile(oldFd);
  if (ok) ok = file.commit(&error);
  if (!ok) {
    reportError(error + "; no archive written");
    return 1;
  }
  for (std::size_t i = 0; i < files.size(); ++i)
    if (!tree.used(i))
      reportWarning(printable(root + "/" + files[i].directory + files[i].name) +
                    ": not listed in " + printable(options.like) +
                    ", not added");
  reportInfo(std::to_string(entries) + (entries == 1 ? " entry" : " entries") +
             " packed into " + printable(options.output) + ": " +
             std::to_string(repacker.fromTree()) + " from " +
             printable(options.dir) + ", " +
             std::to_string(entries - repacker.fromTree()) + " from " +
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
