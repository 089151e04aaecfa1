#include "same_bytes.h"

#include <algorithm>
#include <cstdio>

namespace fixture {

namespace {

constexpr std::size_t kContext = 8;  // bytes shown on each side

// The bytes of |bytes| around |at|, as hex pairs, the one at |at| marked.
std::string around(const std::string& bytes, std::size_t at) {
  const std::size_t from = at > kContext ? at - kContext : 0;
  const std::size_t to = std::min(bytes.size(), at + kContext + 1);
  std::string out;
  for (std::size_t i = from; i < to; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, i == at ? "[%02x]" : " %02x ",
                  static_cast<unsigned char>(bytes[i]));
    out += hex;
  }
  return out.empty() ? "(the end)" : out;
}

}  // namespace

::testing::AssertionResult SameBytes(const char* actualExpression,
                                     const char* expectedExpression,
                                     const std::string& actual,
                                     const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const auto mismatch = std::mismatch(actual.begin(), actual.end(),
                                      expected.begin(), expected.end());
  const auto at = static_cast<std::size_t>(mismatch.first - actual.begin());
  return ::testing::AssertionFailure()
         << actualExpression << " (" << actual.size() << " bytes) and "
         << expectedExpression << " (" << expected.size()
         << " bytes) differ first at byte " << at
         << ":\n  actual:   " << around(actual, at)
         << "\n  expected: " << around(expected, at);
}

void expectEntry(const fileInfo& entry, std::int32_t offset, std::uint32_t size,
                 const std::string& directory, const std::string& name) {
  EXPECT_EQ(entry.offset, offset);
  EXPECT_EQ(entry.size, size);
  EXPECT_EQ(entry.directory, directory);
  EXPECT_EQ(entry.name, name);
}

}  // namespace fixture
