// The index of an archive as it is stored: leading bytes, directory records
// with their own boundaries, raw file records and the terminating record's
// name. Extraction needs only the entries; a repack that must give back the
// same index needs the records as they are, which one pass of readIndex
// shows it.
#ifndef EXTRACTGAMEFILE_ARCHIVE_RECORDS_H_
#define EXTRACTGAMEFILE_ARCHIVE_RECORDS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "archive_index.h"

namespace archive {

struct RawFileRecord {
  std::string name;
  std::uint32_t storedOffset = 0;  // the field as stored, all 32 bits
  std::uint32_t size = 0;
};

struct RawDirectoryRecord {
  std::string name;
  std::vector<RawFileRecord> files;  // 1 to 255
};

struct StoredIndex {
  std::string leadingBytes;                 // exactly kLeadingBytes
  std::vector<RawDirectoryRecord> records;  // terminator not included
  std::string terminatorName;
  Index index;  // what readIndex reads from the same file
};

// Reads the index of the archive at |path| as stored. Returns what readIndex
// returns for the file, with its |error|; only on kComplete is |stored|
// whole, and then its records list exactly |stored->index.entries|.
IndexStatus readStoredIndex(const std::string& path, StoredIndex* stored,
                            std::string* error);

}  // namespace archive

#endif  // EXTRACTGAMEFILE_ARCHIVE_RECORDS_H_
