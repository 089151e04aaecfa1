// The writer and the reader agree on the layout, and the writer refuses
// what the layout cannot hold.
#include "archive_writer.h"

#include <gtest/gtest.h>

#include "archive_builder.h"
#include "archive_index.h"
#include "same_bytes.h"
#include "scratch.h"

namespace {

TEST(ArchiveWriter, WhatItWritesReadsBackWithEveryEntryInPlace) {
  std::vector<fixture::Entry> entries;
  for (int i = 0; i < 300; ++i)  // one folder of more than 255 files
    entries.push_back(
        {"many/", "f" + std::to_string(i), std::string(i % 37, 'a' + i % 26)});
  entries.push_back({"", "top.dds", "top"});
  entries.push_back({"many/", "again", "x"});
  const std::string bytes = fixture::buildArchive(entries, "LDB");

  fixture::ScratchDir dir;
  fixture::writeFile(dir.at("a.cfsi"), bytes);
  archive::Index index;
  std::string error;
  ASSERT_EQ(archive::readIndex(dir.at("a.cfsi"), &index, &error),
            archive::IndexStatus::kComplete)
      << error;
  ASSERT_EQ(index.entries.size(), entries.size());
  EXPECT_EQ(index.dataStart % 16, 0);
  EXPECT_EQ(bytes.substr(0, 3), "LDB");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const fileInfo& read = index.entries[i];
    EXPECT_EQ(read.directory, entries[i].directory);
    EXPECT_EQ(read.name, entries[i].name);
    EXPECT_EQ(read.offset % 16, 0);
    EXPECT_EQ(bytes.substr(index.dataStart + read.offset, read.size),
              entries[i].bytes);
  }
  // 300 files of one folder need two records; then "" and "many/" again.
  EXPECT_EQ(static_cast<unsigned char>(bytes[3 + 1 + 5]), 255);
}

TEST(ArchiveWriter, WritesTheWorkedIndexByteForByte) {
  // Checked against the bytes written out by hand, not against the writer
  // itself (buildArchive and rawIndex write through it, as cfsi pack does).
  EXPECT_PRED_FORMAT2(
      fixture::SameBytes,
      fixture::rawIndex({{"tex/", {{"a.dds", 0, 32}, {"b.txt", 2, 5}}}}),
      fixture::workedIndex());
  const std::string a(32, 'a'), b(5, 'b');
  EXPECT_PRED_FORMAT2(
      fixture::SameBytes,
      fixture::buildArchive({{"tex/", "a.dds", a}, {"tex/", "b.txt", b}},
                            std::string(3, '\0')),
      fixture::workedIndex() + std::string(48 - 39, '\0') + a + b);
}

TEST(ArchiveWriter, RefusesWhatTheLayoutCannotHold) {
  struct Case {
    const char* what;
    archive::PlannedEntry entry;
    std::uint64_t before;  // bytes of data in front of the entry
  };
  const Case cases[] = {
      {"directory name over 255 bytes", {std::string(256, 'd'), "a", 1}, 0},
      {"file name over 255 bytes", {"d/", std::string(256, 'n'), 1}, 0},
      {"file of 4 GiB", {"d/", "big", std::uint64_t{1} << 32}, 0},
      {"data past 2 GiB", {"d/", "late", 1}, std::uint64_t{1} << 31},
  };
  for (const Case& c : cases) {
    std::vector<archive::PlannedEntry> entries;
    if (c.before > 0) entries.push_back({"d/", "filler", c.before - 1});
    entries.push_back(c.entry);
    archive::PlannedArchive plan;
    std::string error;
    EXPECT_FALSE(
        archive::planArchive(std::string(3, '\0'), entries, &plan, &error))
        << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  // The last offset that can be reached is still accepted.
  archive::PlannedArchive plan;
  std::string error;
  EXPECT_TRUE(archive::planArchive(
      std::string(3, '\0'),
      {{"d/", "filler", (std::uint64_t{1} << 31) - 16 - 1}, {"d/", "last", 1}},
      &plan, &error))
      << error;
  EXPECT_EQ(plan.dataOffsets.back(), (std::uint64_t{1} << 31) - 16);
}

}  // namespace
