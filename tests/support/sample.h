// The sample archive shipped in the repository as sample/00000000.cfsi.
#ifndef EXTRACTGAMEFILE_TESTS_SAMPLE_H_
#define EXTRACTGAMEFILE_TESTS_SAMPLE_H_

#include <string>
#include <vector>

#include "archive_builder.h"

namespace fixture {

// The sample's entries, in index order: a few small textures and two other
// files, in three directories.
std::vector<Entry> sampleEntries();

// The sample archive's bytes; always the same.
std::string sampleArchive();

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_SAMPLE_H_
