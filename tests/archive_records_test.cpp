// The index as stored: record boundaries, raw offset fields and the
// terminator's name are read back, and written again byte for byte.
#include "archive_records.h"

#include <gtest/gtest.h>

#include "archive_builder.h"
#include "archive_writer.h"
#include "same_bytes.h"
#include "scratch.h"

namespace {

using fixture::RawDirectory;

struct LayoutCase {
  const char* what;
  std::vector<RawDirectory> directories;
  std::string terminator;
  const char* leading;  // three bytes, zero bytes allowed
};

const LayoutCase kLayouts[] = {
    {"one record",
     {{"tex/", {{"a.dds", 0, 5}, {"b.dds", 1, 3}}}},
     "",
     "\0\0\0"},
    {"two records of one name in a row",
     {{"tex/", {{"a.dds", 0, 5}}}, {"tex/", {{"b.dds", 1, 3}}}},
     "",
     "LDB"},
    {"a named terminator and a directory without a final slash",
     {{"tex", {{"a.dds", 0, 1}}}, {"", {{"top", 1, 0}}}},
     "END",
     "\x01\x02\x03"},
    {"offset fields with the ignored top bits set",
     {{"d/", {{"x", 0xf0000000u, 2}, {"y", 0x30000001u, 2}}}},
     "",
     "abc"},
    {"no entries at all", {}, "t", "xyz"},
};

TEST(ArchiveRecords, ReadsTheIndexAsStoredAndTheWriterGivesItBack) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.what);
    const std::string leading(c.leading, 3);
    const std::string index =
        fixture::rawIndex(c.directories, c.terminator, leading);
    fixture::ScratchDir dir;
    fixture::writeFile(dir.at("a.cfsi"),
                       fixture::withDataArea(index, std::string(32, 'd')));

    archive::StoredIndex stored;
    std::string error;
    ASSERT_EQ(archive::readStoredIndex(dir.at("a.cfsi"), &stored, &error),
              archive::IndexStatus::kComplete)
        << error;
    EXPECT_EQ(stored.leadingBytes, leading);
    EXPECT_EQ(stored.terminatorName, c.terminator);
    ASSERT_EQ(stored.records.size(), c.directories.size());
    std::vector<archive::PlannedEntry> entries;
    std::vector<std::size_t> sizes;
    for (std::size_t r = 0; r < c.directories.size(); ++r) {
      const archive::RawDirectoryRecord& record = stored.records[r];
      EXPECT_EQ(record.name, c.directories[r].name);
      ASSERT_EQ(record.files.size(), c.directories[r].files.size());
      sizes.push_back(record.files.size());
      for (std::size_t f = 0; f < record.files.size(); ++f) {
        EXPECT_EQ(record.files[f].name, c.directories[r].files[f].name);
        EXPECT_EQ(record.files[f].storedOffset,
                  c.directories[r].files[f].storedOffset);
        EXPECT_EQ(record.files[f].size, c.directories[r].files[f].size);
        entries.push_back({record.name, record.files[f].name,
                           record.files[f].size, record.files[f].storedOffset});
      }
    }
    EXPECT_EQ(stored.index.entries.size(), entries.size());

    // The writer lays the data out afresh, in index order: the table's
    // offsets are those, as the reader places them, so that the whole index
    // must come back byte for byte, ignored bits included.
    archive::PlannedArchive plan;
    ASSERT_TRUE(archive::planArchiveWithRecords(leading, entries, sizes,
                                                c.terminator, &plan, &error))
        << error;
    ASSERT_EQ(plan.dataOffsets.size(), stored.index.entries.size());
    for (std::size_t i = 0; i < plan.dataOffsets.size(); ++i)
      EXPECT_EQ(static_cast<std::int64_t>(plan.dataOffsets[i]),
                stored.index.entries[i].offset)
          << stored.index.entries[i].name;
    EXPECT_PRED_FORMAT2(fixture::SameBytes, plan.index, index);
  }
}

TEST(ArchiveRecords, AnIncompleteIndexIsReportedAsReadIndexReportsIt) {
  const std::string index = fixture::rawIndex({{"tex/", {{"a.dds", 0, 5}}}});
  fixture::ScratchDir dir;
  fixture::writeFile(dir.at("cut.cfsi"), index.substr(0, index.size() - 1));
  archive::StoredIndex stored;
  std::string error;
  EXPECT_EQ(archive::readStoredIndex(dir.at("cut.cfsi"), &stored, &error),
            archive::IndexStatus::kTruncated);
  EXPECT_NE(error.find("index truncated"), std::string::npos) << error;
  EXPECT_EQ(archive::readStoredIndex(dir.at("none.cfsi"), &stored, &error),
            archive::IndexStatus::kUnopenable);
}

TEST(ArchiveRecords, TheWriterRefusesACutThatDoesNotFitTheEntries) {
  const std::vector<archive::PlannedEntry> two{{"a/", "x", 1}, {"a/", "y", 1}};
  const std::vector<archive::PlannedEntry> mixed{{"a/", "x", 1},
                                                 {"b/", "y", 1}};
  const std::vector<archive::PlannedEntry> many(256, {"a/", "x", 1});
  struct Case {
    const char* what;
    const std::vector<archive::PlannedEntry>* entries;
    std::vector<std::size_t> sizes;
    std::string terminator;
  };
  const Case cases[] = {
      {"a record of no files", &two, {0, 2}, ""},
      {"a record of 256 files", &many, {256}, ""},
      {"fewer entries listed than given", &two, {1}, ""},
      {"more entries listed than given", &two, {2, 1}, ""},
      {"two directories in one record", &mixed, {2}, ""},
      {"a terminator name over 255 bytes", &two, {2}, std::string(256, 't')},
  };
  archive::PlannedArchive plan;
  std::string error;
  ASSERT_TRUE(archive::planArchiveWithRecords(std::string(3, '\0'), two, {1, 1},
                                              "", &plan, &error))
      << "a cut that fits is accepted: " << error;
  for (const Case& c : cases) {
    error.clear();
    EXPECT_FALSE(archive::planArchiveWithRecords(
        std::string(3, '\0'), *c.entries, c.sizes, c.terminator, &plan, &error))
        << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

}  // namespace
