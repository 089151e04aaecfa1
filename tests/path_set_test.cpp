// The fixed-size set of paths that verify checks an index's paths with.
#include "path_set.h"

#include <gtest/gtest.h>

namespace {

TEST(PathSet, KeepsTheFirstValueOfEachPath) {
  PathSet set(4);
  std::uint32_t first = 99;
  EXPECT_TRUE(set.insert("a/b.dds", 1, &first));
  EXPECT_TRUE(set.insert("", 2, &first));
  EXPECT_TRUE(set.insert(std::string(255, 'x') + "/" + std::string(255, 'y'), 3,
                         &first));
  EXPECT_FALSE(set.insert("a/b.dds", 4, &first));
  EXPECT_EQ(first, 1u);
  std::uint32_t value = 99;
  EXPECT_TRUE(set.find("", &value));
  EXPECT_EQ(value, 2u);
  EXPECT_TRUE(
      set.find(std::string(255, 'x') + "/" + std::string(255, 'y'), &value));
  EXPECT_EQ(value, 3u);
  // Paths that differ in one byte, or only in length, are different paths.
  EXPECT_FALSE(set.find("a/b.ddt", &value));
  EXPECT_FALSE(set.find("a/b.dd", &value));
  EXPECT_FALSE(set.find(std::string(1, '\0'), &value));
  EXPECT_FALSE(set.full());
}

TEST(PathSet, SaysWhenItHasNoRoomLeft) {
  PathSet set(2);
  std::uint32_t first;
  EXPECT_TRUE(set.insert("a", 0, &first));
  EXPECT_TRUE(set.insert("b", 1, &first));
  EXPECT_FALSE(set.full());
  EXPECT_FALSE(set.insert("c", 2, &first));
  EXPECT_TRUE(set.full());
  std::uint32_t value;
  EXPECT_FALSE(set.find("c", &value));
}

TEST(PathSet, TellsApartManyPathsOfOneShape) {
  const std::size_t n = 200000;
  PathSet set(n);
  std::uint32_t first;
  for (std::size_t i = 0; i < n; ++i)
    ASSERT_TRUE(set.insert("d/" + std::to_string(i) + ".dds",
                           static_cast<std::uint32_t>(i), &first))
        << i;
  std::uint32_t value;
  for (std::size_t i = 0; i < n; i += 997) {
    ASSERT_TRUE(set.find("d/" + std::to_string(i) + ".dds", &value));
    EXPECT_EQ(value, i);
    EXPECT_FALSE(set.find("d/" + std::to_string(i + n) + ".dds", &value));
  }
}

}  // namespace
