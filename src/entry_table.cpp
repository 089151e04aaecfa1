#include "entry_table.h"

#include <cstring>
#include <stdexcept>

void EntryTable::add(const fileInfo& entry) {
  if (count_ % kRecordsPerBlock == 0)
    records_.emplace_back(new Record[kRecordsPerBlock]);
  if (count_ == 0 || entry.directory != lastDirectory_) {
    lastDirectoryAt_ = store(entry.directory);
    lastDirectory_ = entry.directory;
  }
  Record& r = records_.back()[count_ % kRecordsPerBlock];
  r.offset = entry.offset;
  r.size = entry.size;
  r.directory = lastDirectoryAt_;
  r.name = store(entry.name);
  ++count_;
}

void EntryTable::get(std::size_t i, fileInfo* entry) const {
  const Record& r = record(i);
  entry->offset = r.offset;
  entry->size = r.size;
  load(r.directory, &entry->directory);
  load(r.name, &entry->name);
}

bool EntryTable::sameDirectoryAsPrevious(std::size_t i) const {
  return i > 0 && record(i).directory == record(i - 1).directory;
}

std::uint64_t EntryTable::store(const std::string& bytes) {
  // Names and directories hold at most 255 bytes (one length byte in the
  // index), so one always fits in a block after its length byte.
  if (bytes.size() > 255) throw std::length_error("name over 255 bytes");
  if (textUsed_ + 1 + bytes.size() > kTextBlock) {
    text_.emplace_back(new char[kTextBlock]);
    textUsed_ = 0;
  }
  const std::uint64_t at = (text_.size() - 1) * kTextBlock + textUsed_;
  char* out = text_.back().get() + textUsed_;
  out[0] = static_cast<char>(bytes.size());
  std::memcpy(out + 1, bytes.data(), bytes.size());
  textUsed_ += 1 + bytes.size();
  return at;
}

void EntryTable::load(std::uint64_t at, std::string* bytes) const {
  const char* in = text_[at / kTextBlock].get() + at % kTextBlock;
  bytes->assign(in + 1, static_cast<unsigned char>(in[0]));
}
