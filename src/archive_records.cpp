#include "archive_records.h"

#include <utility>

namespace archive {

namespace {

// Keeps every record as readIndex shows it, and the entries beside them.
class StoredIndexBuilder : public IndexVisitor {
 public:
  explicit StoredIndexBuilder(StoredIndex* stored) : stored_(stored) {}

  void leadingBytes(const std::string& bytes) override {
    stored_->leadingBytes = bytes;
  }
  void directoryRecord(const std::string& name, unsigned fileCount) override {
    stored_->records.push_back({name, {}});
    stored_->records.back().files.reserve(fileCount);
  }
  void fileRecord(fileInfo& entry, std::uint32_t storedOffset) override {
    stored_->records.back().files.push_back(
        {entry.name, storedOffset, entry.size});
    stored_->index.entries.push_back(std::move(entry));
  }
  void terminatingRecord(const std::string& name) override {
    stored_->terminatorName = name;
  }

 private:
  StoredIndex* stored_;
};

}  // namespace

IndexStatus readStoredIndex(const std::string& path, StoredIndex* stored,
                            std::string* error) {
  *stored = StoredIndex();
  StoredIndexBuilder builder(stored);
  return readIndex(path, &builder, &stored->index, error);
}

}  // namespace archive
