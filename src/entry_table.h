// The entries a command works on, held in a few bytes each beyond their
// names, for indexes of millions of entries.
#ifndef EXTRACTGAMEFILE_ENTRY_TABLE_H_
#define EXTRACTGAMEFILE_ENTRY_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "QVRFunction.h"

// Entries in the order added. Each costs 25 bytes, its name's bytes, and its
// directory's bytes when the entry before has another directory (entries of
// one directory record share them). Storage grows by blocks and is never
// moved, so there is no spare capacity beyond the last block.
class EntryTable {
 public:
  EntryTable() = default;
  EntryTable(const EntryTable&) = delete;
  EntryTable& operator=(const EntryTable&) = delete;

  void add(const fileInfo& entry);

  std::size_t size() const { return count_; }

  // Sets |entry| to entry |i|, as added; its strings' room is reused.
  void get(std::size_t i, fileInfo* entry) const;

  // The size of entry |i|.
  std::uint32_t sizeOf(std::size_t i) const { return record(i).size; }

  // True when entry |i| has the directory of entry |i| - 1 (the same bytes).
  bool sameDirectoryAsPrevious(std::size_t i) const;

 private:
  struct Record {
    std::int32_t offset;
    std::uint32_t size;
    std::uint64_t directory;  // position in the text blocks
    std::uint64_t name;       // position in the text blocks
  };
  static constexpr std::size_t kRecordsPerBlock = 4096;
  static constexpr std::size_t kTextBlock = 1 << 16;

  const Record& record(std::size_t i) const {
    return records_[i / kRecordsPerBlock][i % kRecordsPerBlock];
  }
  // Copies |bytes| (at most 255) with its length in front into the text
  // blocks, and returns where.
  std::uint64_t store(const std::string& bytes);
  void load(std::uint64_t at, std::string* bytes) const;

  std::vector<std::unique_ptr<Record[]>> records_;
  std::vector<std::unique_ptr<char[]>> text_;
  std::size_t textUsed_ = kTextBlock;  // in the last text block
  std::size_t count_ = 0;
  std::string lastDirectory_;
  std::uint64_t lastDirectoryAt_ = 0;
};

#endif  // EXTRACTGAMEFILE_ENTRY_TABLE_H_
