// The copy of an entry's bytes, as a progress display follows it.
#include "copy_range.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform.h"
#include "scratch.h"

namespace {

struct Tally : CopyObserver {
  std::vector<std::uint64_t> runs;
  void written(std::uint64_t bytes) override { runs.push_back(bytes); }
};

TEST(CopyRange, AnObserverHearsOfALongCopySeveralTimesAndOfEveryByte) {
  fixture::ScratchDir dir;
  const std::uint64_t size = std::uint64_t{130} << 20;
  fixture::writeSparseFile(dir.at("in"), size + 16);
  std::int64_t inSize = 0;
  std::string openError;
  const int in = platform::openRegularFile(dir.at("in"), &inSize, &openError);
  const int out = platform::createOutputFile(dir.at("out"));
  ASSERT_GE(in, 0) << openError;
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
  platform::closeFile(in);
  platform::closeFile(out);
}

TEST(CopyRange, AFullDiskFailsTheCopyWithTheSystemsReason) {
  const std::string full = fixture::fullDevice();
  if (full.empty()) GTEST_SKIP() << "this system has no device that is full";
  fixture::ScratchDir dir;
  fixture::writeFile(dir.at("in"), std::string(100000, 'x'));
  std::int64_t inSize = 0;
  std::string openError;
  const int in = platform::openRegularFile(dir.at("in"), &inSize, &openError);
  const int out = platform::createOutputFile(full);
  ASSERT_GE(in, 0) << openError;
  ASSERT_GE(out, 0);
  std::string error;
  EXPECT_FALSE(copyRange(in, 0, 100000, out, &error));
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  platform::closeFile(in);
  platform::closeFile(out);
}

}  // namespace
