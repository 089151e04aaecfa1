#include "archive_writer.h"

#include "archive_coding.h"
#include "archive_index.h"

namespace archive {

namespace {

// The bits of a stored offset that offsetFromStored shifts out.
constexpr std::uint32_t kIgnoredOffsetBits = 0xf0000000u;

std::uint64_t alignUp(std::uint64_t n) {
  const auto unit = static_cast<std::uint64_t>(kDataAlignment);
  return (n + unit - 1) / unit * unit;
}

}  // namespace

void appendDirectoryHeader(std::string* out, const std::string& name,
                           unsigned fileCount) {
  out->push_back(static_cast<char>(name.size()));
  *out += name;
  out->push_back(static_cast<char>(fileCount));
}

void appendFileRecord(std::string* out, const std::string& name,
                      std::uint32_t storedOffset, std::uint32_t size) {
  out->push_back(static_cast<char>(name.size()));
  *out += name;
  putFixed32(out, storedOffset);
  putFixed32(out, size);
}

bool planArchive(const std::string& leadingBytes,
                 const std::vector<PlannedEntry>& entries, PlannedArchive* plan,
                 std::string* error) {
  // Consecutive entries of one directory share a record, as long as the
  // record's one-byte count can hold them.
  std::vector<std::size_t> recordSizes;
  std::size_t i = 0;
  while (i < entries.size()) {
    std::size_t end = i;
    while (end < entries.size() && end - i < kMaxFilesPerDirectoryRecord &&
           entries[end].directory == entries[i].directory)
      ++end;
    recordSizes.push_back(end - i);
    i = end;
  }
  return planArchiveWithRecords(leadingBytes, entries, recordSizes, "", plan,
                                error);
}

bool planArchiveWithRecords(const std::string& leadingBytes,
                            const std::vector<PlannedEntry>& entries,
                            const std::vector<std::size_t>& recordSizes,
                            const std::string& terminatorName,
                            PlannedArchive* plan, std::string* error) {
  *plan = PlannedArchive();
  if (leadingBytes.size() != static_cast<std::size_t>(kLeadingBytes)) {
    *error = "the leading bytes must be exactly 3";
    return false;
  }
  if (terminatorName.size() > kMaxNameLength) {
    *error = "terminating record's name over 255 bytes";
    return false;
  }
  // The largest byte offset a stored offset can give without turning
  // negative: 2^27 - 1 units.
  const std::uint64_t maxOffset = ((std::uint64_t{1} << 27) - 1)
                                  << kOffsetUnitShift;

  std::string& index = plan->index;
  index = leadingBytes;
  std::uint64_t nextOffset = 0;
  std::size_t i = 0;
  for (const std::size_t count : recordSizes) {
    // A count of 0 would end the index early, and one over 255 does not fit
    // its byte.
    if (count == 0 || count > kMaxFilesPerDirectoryRecord ||
        count > entries.size() - i) {
      *error = "directory record of " + std::to_string(count) +
               " files cannot be written here";
      return false;
    }
    const std::string& directory = entries[i].directory;
    if (directory.size() > kMaxNameLength) {
      *error = "directory name over 255 bytes: " + directory;
      return false;
    }
    appendDirectoryHeader(&index, directory, static_cast<unsigned>(count));
    for (const std::size_t end = i + count; i < end; ++i) {
      const PlannedEntry& entry = entries[i];
      if (entry.directory != directory) {
        *error = "entries of two directories in one record: " + directory +
                 " and " + entry.directory;
        return false;
      }
      if (entry.name.size() > kMaxNameLength) {
        *error = "file name over 255 bytes: " + entry.directory + entry.name;
        return false;
      }
      if (entry.size > UINT32_MAX) {
        *error = "file of 4 GiB or more: " + entry.directory + entry.name;
        return false;
      }
      if (nextOffset > maxOffset) {
        *error =
            "data beyond the 2 GiB an offset can reach: " + entry.directory +
            entry.name;
        return false;
      }
      const auto units =
          static_cast<std::uint32_t>(nextOffset >> kOffsetUnitShift);
      appendFileRecord(&index, entry.name,
                       units | (entry.ignoredOffsetBits & kIgnoredOffsetBits),
                       static_cast<std::uint32_t>(entry.size));
      plan->dataOffsets.push_back(nextOffset);
      nextOffset = alignUp(nextOffset + entry.size);
    }
  }
  if (i != entries.size()) {
    *error = "the directory records list " + std::to_string(i) + " of " +
             std::to_string(entries.size()) + " entries";
    return false;
  }
  appendDirectoryHeader(&index, terminatorName, 0);
  const auto indexEnd = static_cast<std::int64_t>(index.size());
  plan->dataStart = indexEnd + alignmentGap(indexEnd);
  return true;
}

}  // namespace archive
