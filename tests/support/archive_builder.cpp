#include "archive_builder.h"

#include <stdexcept>

#include "archive_writer.h"
#include "scratch.h"

namespace fixture {

std::string workedIndex() {
  return std::string(
      "\x00\x00\x00"
      "\x04tex/\x02"
      "\x05"
      "a.dds\x00\x00\x00\x00\x20\x00\x00\x00"
      "\x05"
      "b.txt\x02\x00\x00\x00\x05\x00\x00\x00"
      "\x00\x00",
      39);
}

std::string rawIndex(const std::vector<RawDirectory>& directories,
                     const std::string& terminatorName,
                     const std::string& leading) {
  std::string out = leading;
  for (const RawDirectory& directory : directories) {
    archive::appendDirectoryHeader(
        &out, directory.name, static_cast<unsigned>(directory.files.size()));
    for (const RawFile& file : directory.files)
      archive::appendFileRecord(&out, file.name, file.storedOffset, file.size);
  }
  archive::appendDirectoryHeader(&out, terminatorName, 0);
  return out;
}

std::string withDataArea(const std::string& index, const std::string& data) {
  std::string out = index;
  out.resize((out.size() + 15) / 16 * 16, '\0');
  return out + data;
}

std::string buildArchive(const std::vector<Entry>& entries,
                         const std::string& leading) {
  std::vector<archive::PlannedEntry> planned;
  for (const Entry& entry : entries)
    planned.push_back({entry.directory, entry.name, entry.bytes.size()});
  archive::PlannedArchive plan;
  std::string error;
  if (!archive::planArchive(leading, planned, &plan, &error))
    throw std::invalid_argument(error);
  std::string out = plan.index;
  out.resize(static_cast<std::size_t>(plan.dataStart), '\0');
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out.resize(static_cast<std::size_t>(plan.dataStart) + plan.dataOffsets[i],
               '\0');
    out += entries[i].bytes;
  }
  return out;
}

void writeHugeArchive(const std::string& path) {
  const std::string index =
      rawIndex({{"big/", {{"huge.dds", 0, 3u << 30}, {"after.dds", 0, 2}}}});
  const std::string head = withDataArea(index, "");
  writeFile(path, head);
  resizeFile(path, head.size() + (std::uint64_t{3} << 30));
}

}  // namespace fixture
