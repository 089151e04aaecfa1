// The seed corpus of the fuzz targets: a few archives made by the project's
// own archive-writing code, committed in fuzz/seeds/ so that a fuzz run
// starts from inputs that already reach deep into the index reader and the
// extractor instead of having to discover the layout byte by byte.
#ifndef EXTRACTGAMEFILE_FUZZ_SEED_ARCHIVES_H_
#define EXTRACTGAMEFILE_FUZZ_SEED_ARCHIVES_H_

#include <string>
#include <vector>

namespace fuzzseed {

struct Seed {
  std::string fileName;  // in fuzz/seeds/
  std::string bytes;
};

// Always the same seeds, in a fixed order.
std::vector<Seed> seedArchives();

}  // namespace fuzzseed

#endif  // EXTRACTGAMEFILE_FUZZ_SEED_ARCHIVES_H_
