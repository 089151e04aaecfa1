// Fuzz target: archive::readIndex on arbitrary bytes.
//
// The bytes are put in an anonymous in-memory file and read through its
// /proc/self/fd path, so the reader under test is exactly the one the
// program runs, file opening and buffering included, without touching the
// disk. Besides crashes, leaks and undefined behaviour (the sanitizers'
// part), the target checks what any index must satisfy, and that the reader
// decides from the bytes it has consumed only: the index's own bytes read
// alone give the same entries, and any shorter prefix is a truncation that
// keeps a prefix of those entries.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "archive_index.h"
#include "fuzz_check.h"

namespace {

int memoryFile = -1;
std::string memoryPath;

archive::IndexStatus readBytes(const std::uint8_t* data, std::size_t size,
                               archive::Index* index, std::string* error) {
  FUZZ_CHECK(::ftruncate(memoryFile, 0) == 0, "ftruncate");
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::pwrite(memoryFile, data + done, size - done,
                                 static_cast<off_t>(done));
    FUZZ_CHECK(put > 0, "pwrite");
    done += static_cast<std::size_t>(put);
  }
  return archive::readIndex(memoryPath, index, error);
}

bool sameEntry(const fileInfo& a, const fileInfo& b) {
  return a.offset == b.offset && a.size == b.size &&
         a.directory == b.directory && a.name == b.name;
}

bool isPrefixOf(const std::vector<fileInfo>& shorter,
                const std::vector<fileInfo>& longer) {
  if (shorter.size() > longer.size()) return false;
  for (std::size_t i = 0; i < shorter.size(); ++i)
    if (!sameEntry(shorter[i], longer[i])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  memoryFile = ::memfd_create("archive", MFD_CLOEXEC);
  FUZZ_CHECK(memoryFile >= 0, "memfd_create failed");
  memoryPath = "/proc/self/fd/" + std::to_string(memoryFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  archive::Index index;
  std::string error;
  const archive::IndexStatus status = readBytes(data, size, &index, &error);
  FUZZ_CHECK(status == archive::IndexStatus::kComplete ||
                 status == archive::IndexStatus::kTruncated,
             "status %d for a readable file", static_cast<int>(status));
  FUZZ_CHECK(index.archiveSize == static_cast<std::int64_t>(size),
             "archiveSize %lld", static_cast<long long>(index.archiveSize));
  // Every file record takes at least 9 bytes of the file.
  FUZZ_CHECK(index.entries.size() <= size / archive::kFileRecordFixedBytes,
             "%zu entries from %zu bytes", index.entries.size(), size);
  for (const fileInfo& entry : index.entries) {
    FUZZ_CHECK(entry.offset % archive::kDataAlignment == 0, "offset %d",
               static_cast<int>(entry.offset));
    FUZZ_CHECK(entry.name.size() <= archive::kMaxNameLength &&
                   entry.directory.size() <= archive::kMaxNameLength,
               "name lengths");
  }

  if (status == archive::IndexStatus::kTruncated) {
    FUZZ_CHECK(index.dataStart == -1 && index.indexEnd == -1,
               "a truncated index gave positions");
    FUZZ_CHECK(error.find("ends at byte " + std::to_string(size) + ",") !=
                   std::string::npos,
               "truncation message: %s", error.c_str());
    return 0;
  }

  const std::int64_t end = index.indexEnd;
  FUZZ_CHECK(
      end >= archive::kLeadingBytes + archive::kDirectoryRecordFixedBytes &&
          end <= static_cast<std::int64_t>(size),
      "indexEnd %lld of %zu bytes", static_cast<long long>(end), size);
  FUZZ_CHECK(index.dataStart % archive::kDataAlignment == 0 &&
                 index.dataStart >= end &&
                 index.dataStart < end + archive::kDataAlignment,
             "dataStart %lld after indexEnd %lld",
             static_cast<long long>(index.dataStart),
             static_cast<long long>(end));

  const archive::Index full = index;
  // The index's own bytes, without the data area, read the same.
  const auto endBytes = static_cast<std::size_t>(end);
  FUZZ_CHECK(readBytes(data, endBytes, &index, &error) ==
                     archive::IndexStatus::kComplete &&
                 index.indexEnd == end && index.dataStart == full.dataStart &&
                 index.entries.size() == full.entries.size() &&
                 isPrefixOf(index.entries, full.entries),
             "the index alone reads differently");
  // A cut one byte short, and one at a position the input picks, are
  // truncations that keep a prefix of the entries.
  const std::size_t cuts[] = {endBytes - 1, (data[0] * 131u + size) % endBytes};
  for (const std::size_t cut : cuts) {
    FUZZ_CHECK(readBytes(data, cut, &index, &error) ==
                       archive::IndexStatus::kTruncated &&
                   isPrefixOf(index.entries, full.entries),
               "a cut at %zu of an index of %zu bytes", cut, endBytes);
  }
  return 0;
}
