// The list that holds the entries cfsi extract works on.
#include "compact_entries.h"

#include <gtest/gtest.h>

namespace {

TEST(CompactEntries, GivesBackEveryEntryAsAdded) {
  const std::vector<fileInfo> entries = {
      {0, 4, "tex/", "a.dds"},
      {16, 0, "tex/", ""},
      {-16, 7, "", "top"},
      {32, 1, "tex/", std::string("z\0.dds", 6)},
      {48, 2, std::string(255, 'd'), std::string(255, 'n')},
      {64, 3, std::string(255, 'd'), "b"},
  };
  CompactEntries list;
  list.reserve(entries.size(), 300);
  for (const fileInfo& entry : entries) list.add(entry);
  ASSERT_EQ(list.size(), entries.size());
  fileInfo loaded{1, 1, "stale directory", "stale name"};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    list.load(i, &loaded);
    EXPECT_EQ(loaded.offset, entries[i].offset) << i;
    EXPECT_EQ(loaded.size, entries[i].size) << i;
    EXPECT_EQ(loaded.directory, entries[i].directory) << i;
    EXPECT_EQ(loaded.name, entries[i].name) << i;
    EXPECT_EQ(list.sizeOf(i), entries[i].size);
  }
  // Runs of one directory name: tex/ twice, "", tex/, then the long one.
  EXPECT_FALSE(list.sameRunAsPrevious(0));
  EXPECT_TRUE(list.sameRunAsPrevious(1));
  EXPECT_FALSE(list.sameRunAsPrevious(2));
  EXPECT_FALSE(list.sameRunAsPrevious(3));
  EXPECT_FALSE(list.sameRunAsPrevious(4));
  EXPECT_TRUE(list.sameRunAsPrevious(5));
}

}  // namespace
