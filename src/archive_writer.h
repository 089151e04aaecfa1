// Writing the archive's index (the layout is described in archive_index.h).
// Used by the packer and by the tests' fixtures, so that there is one
// encoder of the format beside the one reader.
#ifndef EXTRACTGAMEFILE_ARCHIVE_WRITER_H_
#define EXTRACTGAMEFILE_ARCHIVE_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace archive {

// Appends a directory record's name length, name and file count. |name| must
// be at most kMaxNameLength bytes and |fileCount| at most 255.
void appendDirectoryHeader(std::string* out, const std::string& name,
                           unsigned fileCount);

// Appends a file record. |storedOffset| is the raw field (16-byte units);
// |name| must be at most kMaxNameLength bytes.
void appendFileRecord(std::string* out, const std::string& name,
                      std::uint32_t storedOffset, std::uint32_t size);

// One file to be laid out by encodeIndex.
struct PlannedEntry {
  std::string directory;
  std::string name;
  std::uint64_t size = 0;
  // The top four bits of the stored offset field. The reader ignores them,
  // so they change nothing about where the data is; a repack keeps the
  // original archive's bits so that its index comes out byte for byte.
  std::uint32_t ignoredOffsetBits = 0;
};

// The index of an archive holding |entries| in this order, with the data of
// each entry at the next multiple of 16 bytes after the previous one's end.
struct PlannedArchive {
  std::string index;  // leading bytes and every record, terminator included
  std::int64_t dataStart = 0;  // where the data area begins in the file
  std::vector<std::uint64_t> dataOffsets;  // per entry, from dataStart
};

// Encodes the index for |entries|. Consecutive entries of one directory
// share a directory record, split every 255 files. Returns false, with
// |error| naming the entry, when the layout cannot hold it: a name over 255
// bytes, a size of 4 GiB or more, or data starting where a 16-byte-unit
// offset cannot reach.
bool planArchive(const std::string& leadingBytes,
                 const std::vector<PlannedEntry>& entries, PlannedArchive* plan,
                 std::string* error);

// As planArchive, with the directory records cut as given rather than
// chosen: record i lists the next |recordSizes[i]| entries, which must all
// have the same directory (the record's name); every size is 1 to 255 and
// the sizes add up to the number of entries. The terminating record is named
// |terminatorName|. Returns false, with |error| saying why, for a cut that
// breaks these rules and for everything planArchive refuses.
bool planArchiveWithRecords(const std::string& leadingBytes,
                            const std::vector<PlannedEntry>& entries,
                            const std::vector<std::size_t>& recordSizes,
                            const std::string& terminatorName,
                            PlannedArchive* plan, std::string* error);

}  // namespace archive

#endif  // EXTRACTGAMEFILE_ARCHIVE_WRITER_H_
