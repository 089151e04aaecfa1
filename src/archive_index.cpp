#include "archive_index.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "archive_coding.h"
#include "platform.h"
#include "report.h"

namespace archive {

std::int32_t offsetFromStored(std::uint32_t stored) {
  // The shift happens in 32 bits, so the top four bits fall off and bit 27
  // lands in the sign bit.
  return static_cast<std::int32_t>(stored << kOffsetUnitShift);
}

std::int64_t alignmentGap(std::int64_t position) {
  const std::int64_t gap = kDataAlignment - position % kDataAlignment;
  return gap < kDataAlignment ? gap : 0;
}

std::int64_t entryStart(std::int64_t dataStart, const fileInfo& entry) {
  return dataStart + entry.offset;
}

bool dataInsideArchive(std::int64_t dataStart, const fileInfo& entry,
                       std::int64_t archiveSize) {
  if (entry.size == 0) return true;
  const std::int64_t start = entryStart(dataStart, entry);
  return start >= 0 && start + entry.size <= archiveSize;
}

namespace {

// Reads a file front to back through a buffer, counting its position, so
// that the index costs one system call per buffer and not one per byte.
class SequentialReader {
 public:
  explicit SequentialReader(int fd) : fd_(fd) {}

  // Copies the next |n| bytes to |out|. Returns false at the end of the file
  // or on a refused read (then |error_number()| is non-zero).
  bool read(void* out, std::size_t n) {
    auto* dst = static_cast<unsigned char*>(out);
    while (n > 0) {
      if (pos_ == len_ && !refill()) return false;
      const std::size_t take = std::min(n, len_ - pos_);
      std::memcpy(dst, buffer_ + pos_, take);
      pos_ += take;
      consumed_ += static_cast<std::int64_t>(take);
      dst += take;
      n -= take;
    }
    return true;
  }

  bool readByte(unsigned* value) {
    unsigned char byte;
    if (!read(&byte, 1)) return false;
    *value = byte;
    return true;
  }

  bool readU32(std::uint32_t* value) {
    unsigned char bytes[kFixed32Bytes];
    if (!read(bytes, sizeof bytes)) return false;
    *value = decodeFixed32(bytes);
    return true;
  }

  bool readString(std::size_t n, std::string* out) {
    out->resize(n);
    return n == 0 || read(&(*out)[0], n);
  }

  std::int64_t position() const { return consumed_; }
  int error_number() const { return errno_; }

 private:
  bool refill() {
    const std::int64_t got = platform::readSome(fd_, buffer_, sizeof buffer_);
    if (got < 0) errno_ = platform::lastError();
    if (got <= 0) return false;
    pos_ = 0;
    len_ = static_cast<std::size_t>(got);
    return true;
  }

  int fd_;
  unsigned char buffer_[64 * 1024];
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::int64_t consumed_ = 0;
  int errno_ = 0;
};

// Fills an Index with the entries its filter keeps.
class EntryCollector : public IndexVisitor {
 public:
  EntryCollector(std::vector<fileInfo>* entries,
                 const std::function<bool(const fileInfo&)>& keep)
      : entries_(entries), keep_(keep) {}

  void fileRecord(fileInfo& entry, std::uint32_t) override {
    if (keep_ && !keep_(entry)) return;
    // Moved, so that the name is not allocated twice; the reader fills the
    // moved-from strings with the next record.
    entries_->push_back(std::move(entry));
  }

 private:
  std::vector<fileInfo>* entries_;
  const std::function<bool(const fileInfo&)>& keep_;
};

}  // namespace

IndexStatus readIndex(const std::string& path, IndexVisitor* visitor,
                      IndexPositions* positions, std::string* error) {
  *positions = IndexPositions();
  const int fd =
      platform::openRegularFile(path, &positions->archiveSize, error);
  if (fd < 0) {
    positions->archiveSize = -1;
    return IndexStatus::kUnopenable;
  }
  platform::identityOf(fd, &positions->identity);

  SequentialReader in(fd);
  std::string where;  // what was being read when the bytes ran out
  bool complete = false;
  std::string leading;
  if (!in.readString(kLeadingBytes, &leading)) {
    where = "the leading bytes";
  } else {
    visitor->leadingBytes(leading);
    std::string directory;
    fileInfo entry;
    for (std::size_t record = 1; !complete; ++record) {
      unsigned nameLength, fileCount;
      if (!in.readByte(&nameLength) || !in.readString(nameLength, &directory) ||
          !in.readByte(&fileCount)) {
        where = "directory record " + std::to_string(record);
        break;
      }
      if (fileCount == 0) {
        visitor->terminatingRecord(directory);
        complete = true;
        break;
      }
      visitor->directoryRecord(directory, fileCount);
      for (unsigned file = 1; file <= fileCount; ++file) {
        std::uint32_t storedOffset;
        if (!in.readByte(&nameLength) ||
            !in.readString(nameLength, &entry.name) ||
            !in.readU32(&storedOffset) || !in.readU32(&entry.size)) {
          where = "file record " + std::to_string(file) +
                  " of directory record " + std::to_string(record);
          break;
        }
        entry.offset = offsetFromStored(storedOffset);
        entry.directory = directory;
        visitor->fileRecord(entry, storedOffset);
      }
      if (!where.empty()) break;
    }
  }
  const int readError = in.error_number();
  const std::int64_t stoppedAt = in.position();
  platform::closeFile(fd);

  if (!complete) {
    if (readError != 0) {
      *error = "read error at byte " + std::to_string(stoppedAt) + " in " +
               where + ": " + platform::errorText(readError);
      return IndexStatus::kReadError;
    }
    *error = "index truncated: the file ends at byte " +
             std::to_string(stoppedAt) + ", inside " + where;
    return IndexStatus::kTruncated;
  }
  positions->indexEnd = in.position();
  positions->dataStart =
      positions->indexEnd + alignmentGap(positions->indexEnd);
  return IndexStatus::kComplete;
}

bool sameIndexFile(const IndexPositions& a, const IndexPositions& b) {
  return a.identity == b.identity && a.archiveSize == b.archiveSize &&
         a.indexEnd == b.indexEnd && a.dataStart == b.dataStart;
}

bool readAsBefore(const std::string& path, IndexStatus status,
                  const std::string& passError, const IndexPositions& again,
                  bool sameEntries, const IndexPositions& first,
                  std::string* error) {
  switch (status) {
    case IndexStatus::kComplete:
      if (sameEntries && sameIndexFile(again, first)) return true;
      break;
    case IndexStatus::kUnopenable:
      *error = "cannot open " + printable(path) + ": " + passError;
      return false;
    case IndexStatus::kReadError:
      *error = printable(path) + ": " + passError;
      return false;
    case IndexStatus::kTruncated:  // it was whole before
      break;
  }
  *error = printable(path) + ": the archive changed while it was read";
  return false;
}

bool reportIndexStatus(const std::string& path, IndexStatus status,
                       const std::string& error, const char* consequence) {
  switch (status) {
    case IndexStatus::kComplete:
      return true;
    case IndexStatus::kUnopenable:
      reportError("cannot open " + printable(path) + ": " + error);
      break;
    case IndexStatus::kTruncated:
    case IndexStatus::kReadError:
      reportError(printable(path) + ": " + error +
                  (consequence != nullptr ? "; " + std::string(consequence)
                                          : std::string()));
      break;
  }
  return false;
}

IndexStatus readIndex(const std::string& path, Index* index,
                      std::string* error) {
  return readIndex(path, index, error, nullptr);
}

IndexStatus readIndex(const std::string& path, Index* index, std::string* error,
                      const std::function<bool(const fileInfo&)>& keep) {
  // The list's room is kept: a caller that counted the entries first has
  // it allocated once, at its exact size.
  index->entries.clear();
  EntryCollector collector(&index->entries, keep);
  return readIndex(path, &collector, index, error);
}

}  // namespace archive
