#include "entry_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

fileInfo entry(std::int32_t offset, std::uint32_t size,
               const std::string& directory, const std::string& name) {
  fileInfo info;
  info.offset = offset;
  info.size = size;
  info.directory = directory;
  info.name = name;
  return info;
}

void expectSame(const fileInfo& got, const fileInfo& want) {
  EXPECT_EQ(got.offset, want.offset);
  EXPECT_EQ(got.size, want.size);
  EXPECT_EQ(got.directory, want.directory);
  EXPECT_EQ(got.name, want.name);
}

TEST(EntryTable, GivesBackEveryEntryByteForByteInOrder) {
  std::vector<fileInfo> added = {
      entry(0, 4, "tex/", "a.dds"),
      entry(-16, 0xffffffff, "tex/", std::string("\0b\xff.dds", 7)),
      entry(32, 0, "", ""),
      entry(48, 1, std::string(255, 'd'), std::string(255, 'n')),
      entry(64, 2, "tex/", "c.dds"),
  };
  // Enough more to fill several blocks of records and of names.
  for (int i = 0; i < 20000; ++i)
    added.push_back(entry(i * 16, static_cast<std::uint32_t>(i),
                          "d" + std::to_string(i / 7) + "/",
                          std::string(static_cast<std::size_t>(i % 200), 'x') +
                              std::to_string(i)));
  EntryTable table;
  for (const fileInfo& e : added) table.add(e);
  ASSERT_EQ(table.size(), added.size());
  fileInfo got;
  for (std::size_t i = 0; i < added.size(); ++i) {
    SCOPED_TRACE(i);
    table.get(i, &got);
    expectSame(got, added[i]);
    EXPECT_EQ(table.sizeOf(i), added[i].size);
    EXPECT_EQ(table.sameDirectoryAsPrevious(i),
              i > 0 && added[i].directory == added[i - 1].directory);
  }
}

}  // namespace
