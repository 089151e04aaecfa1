// The copy of an entry's bytes, as a progress display follows it.
#include "copy_range.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "scratch.h"

namespace {

struct Tally : CopyObserver {
  std::vector<std::uint64_t> runs;
  void written(std::uint64_t bytes) override { runs.push_back(bytes); }
};

TEST(CopyRange, AnObserverHearsOfALongCopySeveralTimesAndOfEveryByte) {
  fixture::ScratchDir dir;
  const std::uint64_t size = std::uint64_t{130} << 20;
  fixture::writeFile(dir.at("in"), "");
  ASSERT_EQ(::truncate(dir.at("in").c_str(), static_cast<off_t>(size) + 16), 0);
  const int in = ::open(dir.at("in").c_str(), O_RDONLY);
  const int out = ::open(dir.at("out").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  Tally tally;
  observeCopies(&tally);
  std::string error;
  EXPECT_TRUE(copyRange(in, 16, size, out, &error)) << error;
  observeCopies(nullptr);
  std::uint64_t total = 0;
  for (const std::uint64_t run : tally.runs) total += run;
  EXPECT_EQ(total, size);
  EXPECT_GE(tally.runs.size(), 3u);
  // Once no one observes, nothing is told.
  const std::size_t runs = tally.runs.size();
  EXPECT_TRUE(copyRange(in, 0, 16, out, &error));
  EXPECT_EQ(tally.runs.size(), runs);
  ::close(in);
  ::close(out);
}

}  // namespace
