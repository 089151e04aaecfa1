#include "cfsi_verify.h"

#include <algorithm>
#include <iostream>
#include <utility>
#include <vector>

#include "archive_index.h"
#include "entry_paths.h"
#include "path_set.h"
#include "platform.h"
#include "report.h"

namespace {

std::string label(std::size_t number, const fileInfo& entry) {
  return "entry " + std::to_string(number) + " (" +
         printable(entry.directory + entry.name) + ")";
}

std::string byteRange(std::int64_t start, std::int64_t end) {
  return "bytes " + std::to_string(start) + " to " + std::to_string(end);
}

std::string count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// True when |level| is the output root (""), |folder| or one of the levels
// above it: a folder the entry's own directory makes.
bool isLevelOf(const std::string& level, const std::string& folder) {
  return level.empty() ||
         (folder.compare(0, level.size(), level) == 0 &&
          (folder.size() == level.size() || folder[level.size()] == '/'));
}

const char kCannot[] = ", cannot be extracted";

// What a first pass over the index learns, to size the second's memory.
struct IndexShape {
  std::size_t entries = 0;
  std::size_t withData = 0;      // entries of a size above 0
  std::size_t folderLevels = 0;  // at most this many folders are made
};

// An entry's data range, 12 bytes, for the overlap notes.
struct Range {
  std::int32_t offset;
  std::uint32_t size;
  std::uint32_t entry;  // counted from 0
};

class Verifier {
 public:
  Verifier(const archive::Index& index, const IndexShape& shape)
      : index_(index),
        files_(shape.entries),
        folders_(shape.folderLevels),
        maxLevel_(platform::maxNameLength()) {
    ranges_.reserve(shape.withData);
  }

  // Checks the next entry of the index; findings are printed at once.
  void check(const fileInfo& entry) {
    const auto number = static_cast<std::uint32_t>(checked_++);
    const bool dataInside =
        archive::dataInsideArchive(index_.dataStart, entry, index_.archiveSize);
    if (!isSafeEntryPath(entry.directory, entry.name)) {
      problem(label(number + 1, entry) +
              ": unsafe path (a \"..\" level or a zero byte), cannot be "
              "extracted");
    } else if (checkPortable(entry, number)) {
      checkPath(entry, number, dataInside);
    }
    checkData(entry, number, dataInside);
  }

  bool overflowed() const { return files_.full() || folders_.full(); }

  // Finds each range that starts before the furthest end of the ranges
  // before it: every overlap is seen, and the count stays linear. Returns
  // them as (entry, the entry it overlaps) in index order; the paths are
  // checked and their memory given back first.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> overlaps() {
    files_ = PathSet(0);
    folders_ = PathSet(0);
    std::stable_sort(
        ranges_.begin(), ranges_.end(),
        [](const Range& a, const Range& b) { return a.offset < b.offset; });
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found;
    const Range* reach = nullptr;
    for (const Range& range : ranges_) {
      if (reach != nullptr && range.offset < end(*reach))
        found.push_back({range.entry, reach->entry});
      if (reach == nullptr || end(range) > end(*reach)) reach = &range;
    }
    std::vector<Range>().swap(ranges_);
    std::sort(found.begin(), found.end());
    return found;
  }

  // The note for |entry|, the |number|th from 0, whose data overlaps that of
  // entry |other|.
  void noteOverlap(const fileInfo& entry, std::uint32_t number,
                   std::uint32_t other) {
    const std::int64_t start = archive::entryStart(index_.dataStart, entry);
    note(label(number + 1, entry) + ": data at " +
         byteRange(start, start + entry.size) + " overlaps entry " +
         std::to_string(other + 1));
  }

  void problem(const std::string& text) {
    std::cout << "problem: " << text << '\n';
    ++problems_;
  }
  void note(const std::string& text) {
    std::cout << "note: " << text << '\n';
    ++notes_;
  }
  std::size_t problems() const { return problems_; }
  std::size_t notes() const { return notes_; }

 private:
  static std::int64_t end(const Range& range) {
    return static_cast<std::int64_t>(range.offset) + range.size;
  }

  // Where the |levels|th level of |normalPath| ends. fileNameKey keeps the
  // levels of a path, so a level of the key is found again, in the path's
  // own spelling for a message, by its number.
  static std::size_t levelEnd(const std::string& normalPath,
                              std::size_t levels) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < levels; ++i) {
      end = normalPath.find('/', i == 0 ? 0 : end + 1);
      if (end == std::string::npos) return normalPath.size();
    }
    return end;
  }

  // A path Windows reads otherwise: where this system's paths are Windows
  // paths, a problem, and the entry is not extracted (false); elsewhere a
  // note, and the entry extracts as usual (true).
  bool checkPortable(const fileInfo& entry, std::uint32_t number) {
    const std::string why = windowsPathProblem(entry.directory, entry.name);
    if (why.empty()) return true;
    if (platform::windowsPaths()) {
      problem(label(number + 1, entry) + ": unsafe path on Windows (" + why +
              ")" + kCannot);
      return false;
    }
    note(label(number + 1, entry) + ": not portable to Windows (" + why + ")");
    return true;
  }

  void checkPath(const fileInfo& entry, std::uint32_t number, bool dataInside) {
    const auto me = [&] { return label(number + 1, entry); };
    // Compared as this system's names compare: on Windows, letter case and
    // the spellings of one Windows name make no difference.
    const std::string normal = normalOutputPath(entry);
    const std::string path = platform::fileNameKey(normal);
    const std::string folder = platform::fileNameKey(normalFolderPath(entry));
    const std::string parent = parentOf(path);
    std::uint32_t other;
    bool fileMade = true;
    bool foldersMade = true;
    if (namesAFolder(entry)) {
      problem(me() + ": its path names a folder, not a file" + kCannot);
      fileMade = false;
    } else if (longestLevel(normal) > maxLevel_) {
      problem(me() + ": a level of its path is longer than the " +
              std::to_string(maxLevel_) + " bytes this system allows" +
              kCannot);
      fileMade = foldersMade = false;
    } else if (folders_.find(path, &other)) {
      problem(me() + ": its path is a folder made for entry " +
              std::to_string(other + 1) + kCannot);
      fileMade = false;
    } else {
      std::size_t blocked = 0;  // the length of the level, in |normal|
      std::size_t levels = 0;
      forEachLevel(parent, [&](const std::string& level) {
        ++levels;
        if (blocked == 0 && files_.find(level, &other))
          blocked = levelEnd(normal, levels);
      });
      if (blocked != 0) {
        problem(me() + ": the folder " + printable(normal.substr(0, blocked)) +
                " on its path is the file of entry " +
                std::to_string(other + 1) + kCannot);
        fileMade = foldersMade = false;
      } else if (!isLevelOf(parent, folder) && !folders_.find(parent, &other)) {
        problem(me() + ": its name holds a \"/\" and leads into " +
                printable(parentOf(normal)) +
                ", a folder no entry before it makes" + kCannot);
        fileMade = false;
      }
    }
    if (fileMade && !files_.insert(path, number, &other) && !files_.full())
      problem(me() + ": same output path as entry " +
              std::to_string(other + 1));
    // The extractor makes the folders before the file, and only for an
    // entry whose data it will copy.
    if (!dataInside) return;
    if (foldersMade)
      forEachLevel(folder, [&](const std::string& level) {
        folders_.insert(level, number, &other);
      });
  }

  void checkData(const fileInfo& entry, std::uint32_t number, bool dataInside) {
    if (entry.size == 0) return;
    const std::int64_t start = archive::entryStart(index_.dataStart, entry);
    const std::int64_t end = start + entry.size;
    if (!dataInside) {
      problem(label(number + 1, entry) + ": data at " + byteRange(start, end) +
              " lies outside the archive (" +
              std::to_string(index_.archiveSize) + " bytes)");
      return;
    }
    if (start < index_.indexEnd)
      note(label(number + 1, entry) + ": data at " + byteRange(start, end) +
           " overlaps the index (bytes 0 to " +
           std::to_string(index_.indexEnd) + ")");
    if (ranges_.size() < ranges_.capacity())
      ranges_.push_back({entry.offset, entry.size, number});
  }

  const archive::Index& index_;
  PathSet files_;    // output paths of the files made so far
  PathSet folders_;  // folders made so far
  std::vector<Range> ranges_;
  std::size_t maxLevel_;
  std::size_t checked_ = 0;
  std::size_t problems_ = 0;
  std::size_t notes_ = 0;
};

// One more pass over the index, calling |visit| with each entry and its
// place from 0; |visit| returns false when the entry does not fit what the
// first pass counted. False, with |error| saying why, when the pass does not
// read the index |index| describes.
template <typename Visit>
bool eachEntryAgain(const std::string& archivePath, const archive::Index& index,
                    std::size_t entries, std::string* error, Visit visit) {
  archive::Index again;
  std::string passError;
  std::uint32_t seen = 0;
  bool fits = true;
  const archive::IndexStatus status = archive::readIndex(
      archivePath, &again, &passError, [&](const fileInfo& entry) {
        if (seen < entries && !visit(entry, seen)) fits = false;
        ++seen;
        return false;
      });
  return archive::readAsBefore(archivePath, status, passError, again,
                               fits && seen == entries, index, error);
}

// The checks of every entry, then the overlap notes, each in a pass of its
// own so that the paths' memory is given back before the notes' is taken.
bool checkEntries(const std::string& archivePath, const archive::Index& index,
                  const IndexShape& shape, Verifier* verifier,
                  std::string* error) {
  // More paths than the first pass counted room for: not the same index.
  if (!eachEntryAgain(archivePath, index, shape.entries, error,
                      [&](const fileInfo& entry, std::uint32_t) {
                        verifier->check(entry);
                        return !verifier->overflowed();
                      }))
    return false;
  const auto overlaps = verifier->overlaps();
  if (overlaps.empty()) return true;
  std::size_t next = 0;
  return eachEntryAgain(
      archivePath, index, shape.entries, error,
      [&](const fileInfo& entry, std::uint32_t number) {
        for (; next < overlaps.size() && overlaps[next].first == number; ++next)
          verifier->noteOverlap(entry, number, overlaps[next].second);
        return true;
      });
}

}  // namespace

int runVerify(const std::string& archivePath) {
  // First pass: whether the index is whole, where the data area starts, and
  // how much the checks will hold; no entry is kept.
  archive::Index index;
  IndexShape shape;
  std::string lastDirectory;
  bool first = true;
  std::string error;
  const archive::IndexStatus status = archive::readIndex(
      archivePath, &index, &error, [&](const fileInfo& entry) {
        ++shape.entries;
        if (entry.size > 0) ++shape.withData;
        if (first || entry.directory != lastDirectory) {
          // Consecutive entries of one directory make the same folders.
          first = false;
          lastDirectory = entry.directory;
          forEachLevel(normalFolderPath(entry),
                       [&](const std::string&) { ++shape.folderLevels; });
        }
        return false;
      });
  // An incomplete index is a finding like the others.
  if (status == archive::IndexStatus::kUnopenable) {
    archive::reportIndexStatus(archivePath, status, error, nullptr);
    return 1;
  }
  Verifier verifier(index, shape);
  if (status != archive::IndexStatus::kComplete) {
    verifier.problem(error);
  } else if (!checkEntries(archivePath, index, shape, &verifier, &error)) {
    verifier.problem(error);
  }
  std::cout << printable(archivePath) << ": "
            << count(shape.entries, "entry", "entries") << ", "
            << count(verifier.problems(), "problem", "problems") << ", "
            << count(verifier.notes(), "note", "notes") << '\n';
  if (!standardOutputWritten()) return 1;
  return verifier.problems() == 0 ? 0 : 1;
}
