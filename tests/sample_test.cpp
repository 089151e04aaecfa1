// The sample archive in the repository: made by our own writer, and
// extracted by the program to the files it was made from.
#include "sample.h"

#include <gtest/gtest.h>

#include "dds.h"
#include "process.h"
#include "same_bytes.h"
#include "scratch.h"

namespace {

TEST(Sample, TheCommittedArchiveIsTheOneTheWriterMakes) {
  EXPECT_PRED_FORMAT2(fixture::SameBytes, fixture::readFile(SAMPLE_ARCHIVE),
                      fixture::sampleArchive())
      << "regenerate it with: build/make_sample sample/00000000.cfsi";
}

TEST(Sample, ExtractsEveryTextureByteForByte) {
  fixture::ScratchDir scratch;
  fixture::writeFile(scratch.at("00000000.cfsi"), fixture::sampleArchive());
  const auto result =
      fixture::runProcess(EXTRACTGAMEFILE_BINARY, scratch.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");

  std::string expectedOut = "Arbo read\n";
  fixture::Tree expected{{"00000000.cfsi", fixture::sampleArchive()},
                         {"extract/", ""}};
  for (const fixture::Entry& entry : fixture::sampleEntries()) {
    if (entry.name.size() < 4 ||
        entry.name.compare(entry.name.size() - 4, 4, ".dds") != 0)
      continue;
    const std::string path = "extract/" + entry.directory + entry.name;
    expectedOut += "extract : " + path + " ... done\n";
    EXPECT_EQ(entry.bytes.substr(0, 4), "DDS ");
    EXPECT_EQ(entry.bytes.size(), fixture::kDdsHeaderBytes + 8 * 8 * 4);
    expected[path] = entry.bytes;
    for (std::size_t slash = entry.directory.find('/');
         slash != std::string::npos;
         slash = entry.directory.find('/', slash + 1))
      expected["extract/" + entry.directory.substr(0, slash + 1)] = "";
  }
  EXPECT_EQ(result.out, expectedOut);
  EXPECT_EQ(fixture::treeOf(scratch.path()), expected);
}

}  // namespace
