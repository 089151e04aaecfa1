#include "archive_records.h"

#include "platform.h"

namespace archive {

namespace {

// Walks index bytes that readIndex has already found complete, so running out
// of bytes here means the file changed between the two reads.
class ByteCursor {
 public:
  explicit ByteCursor(const std::string& bytes) : bytes_(bytes) {}

  bool byte(unsigned* value) {
    if (pos_ >= bytes_.size()) return false;
    *value = static_cast<unsigned char>(bytes_[pos_++]);
    return true;
  }
  bool text(std::size_t n, std::string* out) {
    if (bytes_.size() - pos_ < n) return false;
    *out = bytes_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool u32(std::uint32_t* value) {
    std::string b;
    if (!text(4, &b)) return false;
    *value = 0;
    for (int i = 3; i >= 0; --i)
      *value = *value << 8 | static_cast<unsigned char>(b[i]);
    return true;
  }
  bool atEnd() const { return pos_ == bytes_.size(); }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
};

bool readPrefix(const std::string& path, std::int64_t length,
                std::string* bytes, std::string* error) {
  std::int64_t size;
  const int fd = platform::openRegularFile(path, &size, error);
  if (fd < 0) return false;
  bytes->assign(static_cast<std::size_t>(length), '\0');
  std::size_t done = 0;
  while (done < bytes->size()) {
    const std::int64_t got =
        platform::readAt(fd, &(*bytes)[done], bytes->size() - done,
                         static_cast<std::int64_t>(done));
    if (got <= 0) {
      *error = got < 0 ? platform::lastErrorText() : "the file became shorter";
      platform::closeFile(fd);
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  platform::closeFile(fd);
  return true;
}

}  // namespace

IndexStatus readStoredIndex(const std::string& path, StoredIndex* stored,
                            std::string* error) {
  *stored = StoredIndex();
  // readIndex decides whether the index is whole and says why not; the
  // second pass below only recovers what it does not keep.
  const IndexStatus status = readIndex(path, &stored->index, error);
  if (status != IndexStatus::kComplete) return status;

  std::string bytes;
  if (!readPrefix(path, stored->index.indexEnd, &bytes, error))
    return IndexStatus::kReadError;
  ByteCursor in(bytes);
  const std::string changed = "the archive changed while it was read";
  in.text(kLeadingBytes, &stored->leadingBytes);
  std::size_t entry = 0;
  const std::vector<fileInfo>& entries = stored->index.entries;
  while (true) {
    unsigned nameLength, fileCount;
    std::string name;
    if (!in.byte(&nameLength) || !in.text(nameLength, &name) ||
        !in.byte(&fileCount)) {
      *error = changed;
      return IndexStatus::kReadError;
    }
    if (fileCount == 0) {
      stored->terminatorName = name;
      break;
    }
    RawDirectoryRecord record;
    record.name = name;
    for (unsigned i = 0; i < fileCount; ++i, ++entry) {
      RawFileRecord file;
      if (!in.byte(&nameLength) || !in.text(nameLength, &file.name) ||
          !in.u32(&file.storedOffset) || !in.u32(&file.size) ||
          entry >= entries.size() || entries[entry].name != file.name ||
          entries[entry].size != file.size) {
        *error = changed;
        return IndexStatus::kReadError;
      }
      record.files.push_back(file);
    }
    stored->records.push_back(std::move(record));
  }
  if (!in.atEnd() || entry != entries.size()) {
    *error = changed;
    return IndexStatus::kReadError;
  }
  return IndexStatus::kComplete;
}

}  // namespace archive
