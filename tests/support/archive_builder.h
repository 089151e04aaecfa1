// Archives built by code, for tests and the sample: well-formed ones through
// the project's own writer, and raw ones record by record for the damage a
// well-behaved writer never does.
#ifndef EXTRACTGAMEFILE_TESTS_ARCHIVE_BUILDER_H_
#define EXTRACTGAMEFILE_TESTS_ARCHIVE_BUILDER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// The smallest index that shows every field, written out byte by byte (39
// bytes): leading bytes 00 00 00; the directory "tex/" with two files,
// "a.dds" at offset 0 (in 16-byte units) of 32 bytes and "b.txt" at 2 (32
// bytes in) of 5; then the terminating record. Its data area starts at 48.
std::string workedIndex();

struct RawFile {
  std::string name;
  std::uint32_t storedOffset = 0;  // in 16-byte units, as stored
  std::uint32_t size = 0;
};

struct RawDirectory {
  std::string name;
  std::vector<RawFile> files;
};

// Three leading bytes, |directories| as records in order, then a terminating
// record named |terminatorName|.
std::string rawIndex(const std::vector<RawDirectory>& directories,
                     const std::string& terminatorName = "",
                     const std::string& leading = std::string(3, '\0'));

// |index| padded with zero bytes to a multiple of 16, then |data|.
std::string withDataArea(const std::string& index, const std::string& data);

struct Entry {
  std::string directory;
  std::string name;
  std::string bytes;
};

// A well-formed archive of |entries| in order: data in index order, each
// entry 16-byte aligned, zero bytes in the gaps.
std::string buildArchive(const std::vector<Entry>& entries,
                         const std::string& leading = std::string(3, '\0'));

// Writes at |path| an archive of "big/huge.dds", 3 GiB of zero bytes that
// are a hole in a sparse file (they cost no disk), then "big/after.dds".
// Copying it takes long enough to be interrupted half-way.
void writeHugeArchive(const std::string& path);

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_ARCHIVE_BUILDER_H_
