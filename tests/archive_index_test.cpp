// The rule that decides whether an entry's data may be read at all.
#include "archive_index.h"

#include <gtest/gtest.h>

namespace {

TEST(DataInsideArchive, TakesExactlyTheRangesWithinTheFile) {
  struct Case {
    const char* what;
    std::int32_t offset;
    std::uint32_t size;
    bool inside;
  };
  // Data area at 48 in a file of 100 bytes: bytes 48 to 99 are data.
  const Case cases[] = {
      {"the whole data area", 0, 52, true},
      {"ending on the last byte", 48, 4, true},
      {"one byte past the end", 48, 5, false},
      {"starting at the end", 52, 1, false},
      {"reaching back into the index", -48, 10, true},
      {"starting before the file", -64, 10, false},
      {"the most negative offset", INT32_MIN, 1, false},
      {"the largest size", 0, 0xffffffff, false},
      {"size 0 far past the end", 0x7ffffff0, 0, true},
      {"size 0 before the file", INT32_MIN, 0, true},
  };
  for (const Case& c : cases) {
    const fileInfo entry{c.offset, c.size, "d/", "x.dds"};
    EXPECT_EQ(archive::dataInsideArchive(48, entry, 100), c.inside) << c.what;
  }
}

}  // namespace
