#include "cfsi_diff.h"

#include <cstring>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <vector>

#include "archive_index.h"
#include "entry_paths.h"
#include "indexed_archive.h"
#include "json_names.h"
#include "platform.h"
#include "report.h"

namespace {

constexpr std::size_t kCompareBufferBytes = 64 * 1024;

// One archive, open for the comparison.
struct Side {
  std::string archivePath;
  archive::Index index;
  int fd = -1;
  std::int64_t size = -1;
  // Each output path, to the last entry that has it.
  std::unordered_map<std::string, const fileInfo*> lastOfPath;

  Side() = default;
  Side(const Side&) = delete;
  Side& operator=(const Side&) = delete;
  ~Side() {
    if (fd >= 0) platform::closeFile(fd);
  }

  // The entry that stands for |path|, or null.
  const fileInfo* entryAt(const std::string& path) const {
    const auto found = lastOfPath.find(path);
    return found == lastOfPath.end() ? nullptr : found->second;
  }
};

// Reads the index of |side->archivePath| and opens the archive for its data.
// On failure reports why and returns false.
bool openSide(Side* side) {
  std::string error;
  const archive::IndexStatus status =
      archive::readIndex(side->archivePath, &side->index, &error);
  if (!archive::reportIndexStatus(side->archivePath, status, error,
                                  "nothing was compared"))
    return false;
  side->fd =
      openIndexedArchive(side->archivePath, side->index, &side->size, &error);
  if (side->fd < 0) {
    reportError(error + "; nothing was compared");
    return false;
  }
  for (const fileInfo& entry : side->index.entries)
    side->lastOfPath[outputPathOf(std::string(), entry)] = &entry;
  return true;
}

// Reads |n| bytes at |offset| of |fd| into |buffer|; false when the file
// ends first or a read fails, with |error| saying which.
bool readExactly(int fd, char* buffer, std::size_t n, std::int64_t offset,
                 std::string* error) {
  while (n > 0) {
    const std::int64_t got = platform::readAt(fd, buffer, n, offset);
    if (got < 0) {
      *error = "read failed: " + platform::lastErrorText();
      return false;
    }
    if (got == 0) {
      *error = "the archive ended before the entry's last byte";
      return false;
    }
    buffer += got;
    offset += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

enum class Comparison { kSame, kDifferent, kNotCompared };

// Compares the bytes of two entries of one size, through two fixed
// buffers; reports an entry that cannot be compared.
Comparison compareData(const Side& oldSide, const fileInfo& oldEntry,
                       const Side& newSide, const fileInfo& newEntry) {
  const std::string path = printable(outputPathOf(std::string(), newEntry));
  for (const auto& side : {std::make_pair(&oldSide, &oldEntry),
                           std::make_pair(&newSide, &newEntry)}) {
    const Side& s = *side.first;
    const fileInfo& entry = *side.second;
    if (archive::dataInsideArchive(s.index.dataStart, entry, s.size)) continue;
    const std::int64_t start = archive::entryStart(s.index.dataStart, entry);
    reportError(path + ": data at bytes " + std::to_string(start) + " to " +
                std::to_string(start + entry.size) + " lies outside " +
                printable(s.archivePath) + " (" + std::to_string(s.size) +
                " bytes), not compared");
    return Comparison::kNotCompared;
  }
  static const std::unique_ptr<char[]> oldBytes(new char[kCompareBufferBytes]);
  static const std::unique_ptr<char[]> newBytes(new char[kCompareBufferBytes]);
  std::int64_t oldAt = archive::entryStart(oldSide.index.dataStart, oldEntry);
  std::int64_t newAt = archive::entryStart(newSide.index.dataStart, newEntry);
  std::uint64_t left = newEntry.size;
  while (left > 0) {
    const std::size_t n = left < kCompareBufferBytes
                              ? static_cast<std::size_t>(left)
                              : kCompareBufferBytes;
    std::string error;
    if (!readExactly(oldSide.fd, oldBytes.get(), n, oldAt, &error) ||
        !readExactly(newSide.fd, newBytes.get(), n, newAt, &error)) {
      reportError(path + ": " + error + ", not compared");
      return Comparison::kNotCompared;
    }
    if (std::memcmp(oldBytes.get(), newBytes.get(), n) != 0)
      return Comparison::kDifferent;
    oldAt += n;
    newAt += n;
    left -= n;
  }
  return Comparison::kSame;
}

// Writes the lines of the comparison, as text or as one JSON array.
class ChangePrinter {
 public:
  explicit ChangePrinter(bool json) {
    if (json) json_.reset(new JsonArrayStream(&std::cout));
  }

  // |oldEntry| or |newEntry| is null where that archive lacks the path.
  void print(const std::string& path, const fileInfo* oldEntry,
             const fileInfo* newEntry) {
    const char* change = oldEntry == nullptr   ? "+"
                         : newEntry == nullptr ? "-"
                                               : "M";
    if (json_) {
      nlohmann::json object = {{"change", change}, {"path", jsonName(path)}};
      if (oldEntry != nullptr) object["old_size"] = oldEntry->size;
      if (newEntry != nullptr) object["new_size"] = newEntry->size;
      json_->add(object);
    } else {
      std::cout << change << ' ' << printable(path);
      if (oldEntry != nullptr && newEntry != nullptr)
        std::cout << " (" << oldEntry->size << " -> " << newEntry->size
                  << " bytes)";
      std::cout << '\n';
    }
  }

  void finish() {
    if (json_) json_->finish();
    std::cout.flush();
  }

 private:
  std::unique_ptr<JsonArrayStream> json_;  // none for text
};

struct Tally {
  std::size_t added = 0, removed = 0, changed = 0, same = 0, notCompared = 0;
};

// The added and changed paths, in NEW's index order.
void compareNewEntries(const Side& oldSide, const Side& newSide,
                       ChangePrinter* printer, Tally* tally) {
  for (const fileInfo& entry : newSide.index.entries) {
    const std::string path = outputPathOf(std::string(), entry);
    if (newSide.entryAt(path) != &entry) continue;  // a later one stands
    const fileInfo* oldEntry = oldSide.entryAt(path);
    if (oldEntry == nullptr) {
      printer->print(path, nullptr, &entry);
      ++tally->added;
      continue;
    }
    const Comparison comparison =
        oldEntry->size != entry.size
            ? Comparison::kDifferent
            : compareData(oldSide, *oldEntry, newSide, entry);
    if (comparison == Comparison::kDifferent) {
      printer->print(path, oldEntry, &entry);
      ++tally->changed;
    } else if (comparison == Comparison::kSame) {
      ++tally->same;
    } else {
      ++tally->notCompared;
    }
  }
}

// The removed paths, in OLD's index order.
void listRemovedEntries(const Side& oldSide, const Side& newSide,
                        ChangePrinter* printer, Tally* tally) {
  for (const fileInfo& entry : oldSide.index.entries) {
    const std::string path = outputPathOf(std::string(), entry);
    if (oldSide.entryAt(path) != &entry || newSide.entryAt(path) != nullptr)
      continue;
    printer->print(path, &entry, nullptr);
    ++tally->removed;
  }
}

}  // namespace

DiffStatus runDiff(const DiffOptions& options) {
  Side oldSide, newSide;
  oldSide.archivePath = options.oldPath;
  newSide.archivePath = options.newPath;
  // Both are opened before anything is printed, so that trouble with
  // either prints no half comparison.
  const bool oldOpen = openSide(&oldSide);
  const bool newOpen = openSide(&newSide);
  if (!oldOpen || !newOpen) return kDiffTrouble;

  ChangePrinter printer(options.json);
  Tally tally;
  compareNewEntries(oldSide, newSide, &printer, &tally);
  listRemovedEntries(oldSide, newSide, &printer, &tally);
  printer.finish();

  std::string summary = std::to_string(tally.added) + " added, " +
                        std::to_string(tally.removed) + " removed, " +
                        std::to_string(tally.changed) + " changed, " +
                        std::to_string(tally.same) + " unchanged";
  if (tally.notCompared > 0)
    summary += ", " + std::to_string(tally.notCompared) + " not compared";
  reportInfo(summary);
  if (!standardOutputWritten()) return kDiffTrouble;
  if (tally.notCompared > 0) return kDiffTrouble;
  return tally.added + tally.removed + tally.changed > 0 ? kDiffDifferent
                                                         : kDiffSame;
}
