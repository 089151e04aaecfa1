#include "compact_entries.h"

void CompactEntries::reserve(std::size_t entries, std::size_t nameBytes) {
  items_.reserve(entries);
  names_.reserve(nameBytes);
}

void CompactEntries::add(const fileInfo& entry) {
  const std::size_t runs = directoryEnds_.size();
  const std::uint64_t lastStart = runs > 1 ? directoryEnds_[runs - 2] : 0;
  if (runs == 0 || directories_.compare(lastStart, std::string::npos,
                                        entry.directory) != 0) {
    directories_ += entry.directory;
    directoryEnds_.push_back(directories_.size());
  }
  names_ += entry.name;
  items_.push_back({entry.offset, entry.size,
                    static_cast<std::uint32_t>(directoryEnds_.size() - 1),
                    names_.size()});
}

void CompactEntries::load(std::size_t i, fileInfo* entry) const {
  const Item& item = items_[i];
  entry->offset = item.offset;
  entry->size = item.size;
  const std::uint64_t nameStart = i > 0 ? items_[i - 1].nameEnd : 0;
  entry->name.assign(names_, nameStart, item.nameEnd - nameStart);
  const std::uint64_t directoryStart =
      item.directory > 0 ? directoryEnds_[item.directory - 1] : 0;
  entry->directory.assign(directories_, directoryStart,
                          directoryEnds_[item.directory] - directoryStart);
}
