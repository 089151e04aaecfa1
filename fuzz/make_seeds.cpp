// Writes the fuzz targets' seed corpus into the folder given as the only
// argument (fuzz/seeds/ in the repository).
#include <cstdio>

#include "scratch.h"
#include "seed_archives.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
    return 2;
  }
  for (const fuzzseed::Seed& seed : fuzzseed::seedArchives())
    fixture::writeFile(std::string(argv[1]) + "/" + seed.fileName, seed.bytes);
  return 0;
}
