// A list of entries that holds each in 24 bytes plus its name's bytes: for
// commands that must keep the entries they work on, on an index of
// millions, where a list of fileInfo would copy every directory name once
// per entry (a 255-byte name under 2,000,000 entries: half a gigabyte).
// A directory name is held once for each run of entries that share it.
#ifndef EXTRACTGAMEFILE_COMPACT_ENTRIES_H_
#define EXTRACTGAMEFILE_COMPACT_ENTRIES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "QVRFunction.h"

class CompactEntries {
 public:
  // Room for |entries| entries whose names take |nameBytes| bytes in all,
  // so that a caller that counted them first holds no spare room.
  void reserve(std::size_t entries, std::size_t nameBytes);

  // Appends |entry|.
  void add(const fileInfo& entry);

  std::size_t size() const { return items_.size(); }

  // Sets |entry| to entry |i|, reusing its strings' room. May be called by
  // several threads at once, each with its own |entry|.
  void load(std::size_t i, fileInfo* entry) const;

  std::uint32_t sizeOf(std::size_t i) const { return items_[i].size; }

  // True when entries |i| and |i - 1| have one directory for sure: they
  // belong to one run of the same directory name.
  bool sameRunAsPrevious(std::size_t i) const {
    return i > 0 && items_[i].directory == items_[i - 1].directory;
  }

 private:
  struct Item {
    std::int32_t offset;
    std::uint32_t size;
    std::uint32_t directory;  // the run's number
    std::uint64_t nameEnd;    // in names_; the name starts where the last
                              // item's ends
  };
  std::vector<Item> items_;
  std::string names_;
  std::string directories_;
  std::vector<std::uint64_t> directoryEnds_;  // per run, in directories_
};

#endif  // EXTRACTGAMEFILE_COMPACT_ENTRIES_H_
