// The fuzz targets' committed seed corpus is what the archive writer makes.
#include <gtest/gtest.h>

#include "scratch.h"
#include "seed_archives.h"

namespace {

TEST(FuzzSeeds, TheCommittedSeedsAreTheOnesTheWriterMakes) {
  fixture::Tree expected;
  for (const fuzzseed::Seed& seed : fuzzseed::seedArchives())
    expected[seed.fileName] = seed.bytes;
  EXPECT_EQ(fixture::treeOf(FUZZ_SEEDS), expected)
      << "regenerate them with: build/make_fuzz_seeds fuzz/seeds";
}

}  // namespace
