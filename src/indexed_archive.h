// Reading an archive's data after its index: only from the file the index
// was read from.
#ifndef EXTRACTGAMEFILE_INDEXED_ARCHIVE_H_
#define EXTRACTGAMEFILE_INDEXED_ARCHIVE_H_

#include <cstdint>
#include <string>

#include "archive_index.h"

// Opens the archive at |path| to read its entries' data, and checks that it
// is still the file whose index gave |positions| (the same file, of the same
// length): an index places data only in the file it came from, and a file
// replaced or changed since would have other bytes at those places. Returns
// the descriptor and sets |size| to the file's length, or returns -1 with
// |error| saying why, naming the archive in its printable form.
int openIndexedArchive(const std::string& path,
                       const archive::IndexPositions& positions,
                       std::int64_t* size, std::string* error);

#endif  // EXTRACTGAMEFILE_INDEXED_ARCHIVE_H_
