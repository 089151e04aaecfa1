#include "extract_run.h"

#include <gtest/gtest.h>

namespace fixture {

const char kArchiveName[] = "00000000.cfsi";

std::string archiveOf(const std::vector<RawDirectory>& directories,
                      const std::string& data) {
  return withDataArea(rawIndex(directories), data);
}

ProcessOptions fileSizeLimit(long bytes) {
  ProcessOptions options;
  options.fileSizeLimit = bytes;
  return options;
}

namespace {

// What a run is expected to leave: |made| below the working folder, the
// archive (unchanged) beside it, and nothing anywhere else in the scratch.
Tree expectedTree(const std::string& archive, const Tree& made) {
  Tree tree{{"work/", ""}};
  if (!archive.empty()) tree[std::string("work/") + kArchiveName] = archive;
  for (const auto& item : made) tree["work/" + item.first] = item.second;
  return tree;
}

}  // namespace

void run(const RunCase& c) {
  SCOPED_TRACE(c.what);
  if (c.input.options.fileSizeLimit >= 0 && !systemHasFileSizeLimits()) {
    passOver(c.what, "cannot limit a process's file sizes");
    return;
  }
  const RunInput& in = c.input;
  const RunExpectation& expected = c.expected;
  ScratchDir scratch;
  const std::string work = scratch.at("work");
  makeFolder(work);
  if (!in.archive.empty()) writeFile(work + "/" + kArchiveName, in.archive);
  if (in.prepare) in.prepare(work);

  const ProcessResult result =
      runProcess(EXTRACTGAMEFILE_BINARY, work, in.options);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.out, expected.out);
  EXPECT_EQ(result.exitStatus, expected.status);
  EXPECT_EQ(treeOf(scratch.path()), expectedTree(in.archive, expected.made));
  if (expected.status == 0) {
    EXPECT_EQ(result.err, "");
  }
  for (const char byte : result.err) {
    const auto b = static_cast<unsigned char>(byte);
    EXPECT_TRUE(byte == '\n' || (b >= 0x20 && b != 0x7f))
        << "control byte " << int{b} << " on stderr: " << result.err;
  }
  for (const std::string& error : expected.errors)
    EXPECT_NE(result.err.find("extractGameFile: " + error), std::string::npos)
        << "stderr: " << result.err << "wanted: " << error;
}

}  // namespace fixture
