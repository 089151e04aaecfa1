#include "archive_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

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
    unsigned char b[4];
    if (!read(b, 4)) return false;
    *value = static_cast<std::uint32_t>(b[0]) |
             static_cast<std::uint32_t>(b[1]) << 8 |
             static_cast<std::uint32_t>(b[2]) << 16 |
             static_cast<std::uint32_t>(b[3]) << 24;
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
    ssize_t got;
    do {
      got = ::read(fd_, buffer_, sizeof buffer_);
    } while (got < 0 && errno == EINTR);
    if (got < 0) errno_ = errno;
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

}  // namespace

IndexStatus readIndex(const std::string& path, Index* index,
                      std::string* error) {
  return readIndex(path, index, error, nullptr);
}

IndexStatus readIndex(const std::string& path, Index* index,
                      std::string* error,
                      const std::function<bool(const fileInfo&)>& keep) {
  *index = Index();
  // O_NONBLOCK: opening a FIFO in place of the archive would otherwise wait
  // for a writer forever; it is then refused as not a regular file. On a
  // regular file the flag changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = std::strerror(errno);
    return IndexStatus::kUnopenable;
  }
  struct stat st;
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    if (!statted)
      *error = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
      *error = std::strerror(EISDIR);
    else
      *error = "not a regular file";
    ::close(fd);
    return IndexStatus::kUnopenable;
  }
  index->archiveSize = st.st_size;
  platform::identityOf(fd, &index->identity);

  SequentialReader in(fd);
  std::string where;  // what was being read when the bytes ran out
  bool complete = false;
  std::string leading;
  if (!in.readString(kLeadingBytes, &leading)) {
    where = "the leading bytes";
  } else {
    std::string directory;
    fileInfo entry;
    for (std::size_t record = 1; !complete; ++record) {
      unsigned nameLength, fileCount;
      if (!in.readByte(&nameLength) || !in.readString(nameLength, &directory) ||
          !in.readByte(&fileCount)) {
        where = "directory record " + std::to_string(record);
        break;
      }
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
        if (keep && !keep(entry)) continue;
        // Moved, so that the name is not allocated twice; the next record
        // reads into the moved-from string.
        index->entries.push_back(std::move(entry));
      }
      if (!where.empty()) break;
      complete = fileCount == 0;
    }
  }
  const int readErrno = in.error_number();
  const std::int64_t stoppedAt = in.position();
  ::close(fd);

  if (!complete) {
    if (readErrno != 0) {
      *error = "read error at byte " + std::to_string(stoppedAt) + " in " +
               where + ": " + std::strerror(readErrno);
      return IndexStatus::kReadError;
    }
    *error = "index truncated: the file ends at byte " +
             std::to_string(stoppedAt) + ", inside " + where;
    return IndexStatus::kTruncated;
  }
  index->indexEnd = in.position();
  index->dataStart = index->indexEnd + alignmentGap(index->indexEnd);
  return IndexStatus::kComplete;
}

}  // namespace archive
