// Writes the sample archive to the path given as the only argument.
#include <cstdio>

#include "sample.h"
#include "scratch.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUTPUT\n");
    return 2;
  }
  fixture::writeFile(argv[1], fixture::sampleArchive());
  return 0;
}
