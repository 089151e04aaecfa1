// extractGameFile run as a process while something around it interferes, as
// a test can arrange it where the system allows: a stop signal in the middle of
// a copy, another file renamed over the archive during the run, a folder in
// which nothing can be made.
#include <gtest/gtest.h>

#include <csignal>

#include "archive_builder.h"
#include "extract_run.h"
#include "platform.h"
#include "process.h"
#include "scratch.h"

namespace {

using fixture::archiveOf;
using fixture::Tree;

const char* const kArchive = fixture::kArchiveName;

TEST(RunInterference, AnInterruptedRunRemovesTheFileItWasWriting) {
  if (!fixture::systemHasStopSignals())
    GTEST_SKIP() << "needs signals to stop the program with";
  struct Case {
    const char* what;
    int sig;
    bool fileThere;  // a file already has the output path
  };
  const Case cases[] = {
      {"SIGINT, a new file", SIGINT, false},
      {"SIGTERM, a file replaced", SIGTERM, true},
      {"SIGHUP, a new file", fixture::kHangUpSignal, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.sig == 0) continue;  // no such signal here
    fixture::ScratchDir work;
    fixture::writeHugeArchive(work.at(kArchive));
    fixture::makeFolder(work.at("extract"));
    fixture::makeFolder(work.at("extract/big"));
    if (c.fileThere)
      fixture::writeFile(work.at("extract/big/huge.dds"), "mine");
    fixture::ProcessOptions options;
    options.whileRunning =
        fixture::signalWhenAFileGrowsIn(work.at("extract/big"), c.sig);
    const auto result =
        fixture::runProcess(EXTRACTGAMEFILE_BINARY, work.path(), options);
    EXPECT_EQ(result.signal, c.sig);
    EXPECT_EQ(result.out, "Arbo read\n");
    // A partial file left behind is not read whole into memory.
    const std::string left = work.at("extract/big/huge.dds");
    if (fixture::exists(left) && fixture::sizeOf(left) > 4) {
      ADD_FAILURE() << "a partial file of " << fixture::sizeOf(left)
                    << " bytes was left";
      fixture::removeFile(left);
    }
    EXPECT_EQ(fixture::treeOf(work.at("extract")),
              c.fileThere ? (Tree{{"big/", ""}, {"big/huge.dds", "mine"}})
                          : (Tree{{"big/", ""}}));
  }
}

TEST(RunInterference, AnArchiveReplacedDuringTheRunHasNothingExtracted) {
  // The run is held on "Arbo read" by a standard output that is a full
  // pipe, after its index was read and before the data is: another file is
  // renamed over the archive meanwhile. (ExtractorTest does the same in
  // process, on every system.)
  if (!fixture::FullPipe::available())
    GTEST_SKIP() << "needs to see a child wait on a full pipe";
  fixture::ScratchDir work;
  const std::string archive = fixture::buildArchive({{"t/", "a.dds", "good"}});
  fixture::writeFile(work.at(kArchive), archive);
  fixture::writeFile(work.at("other.cfsi"),
                     fixture::buildArchive({{"t/", "a.dds", "EVIL"}}));
  fixture::FullPipe pipe;
  fixture::ProcessOptions options;
  options.stdoutPath = pipe.path();
  bool held = false;
  options.whileRunning = [&](int pid) {
    held = pipe.waitUntilWriterBlocks(pid);
    fixture::renameFile(work.at("other.cfsi"), work.at(kArchive));
    pipe.release();
  };
  const auto result =
      fixture::runProcess(EXTRACTGAMEFILE_BINARY, work.path(), options);
  const std::string out = pipe.output();
  ASSERT_TRUE(held) << "the run never waited on its standard output";
  EXPECT_EQ(out, "Arbo read\nextract : extract/t/a.dds ... failed\n");
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("extractGameFile: extract/t/a.dds: 00000000.cfsi "
                            "is no longer the file whose index was read"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(fixture::treeOf(work.at("extract")), Tree{});
}

TEST(RunInterference, AFolderThatCannotBeMadeNamesItselfAndTheReason) {
  fixture::ScratchDir work;
  const std::string data =
      "0123456789abcdef"
      "ghij";
  fixture::writeFile(work.at(kArchive),
                     archiveOf({{"ro/sub/", {{"x.dds", 0, 2}}},
                                {"plain/", {{"y.dds", 0, 2}}},
                                {"ok/", {{"z.dds", 1, 3}}}},
                               data));
  fixture::makeFolder(work.at("extract"));
  fixture::makeFolder(work.at("extract/ro"));
  fixture::writeFile(work.at("extract/plain"), "a file");
  if (!fixture::makeFolderUnwritable(work.at("extract/ro")))
    GTEST_SKIP() << "cannot make a folder in which nothing can be made";
  // The reason is the system's own: whatever it says to a folder made there.
  const int refused = platform::_mkdir(work.at("extract/ro/probe").c_str());
  const std::string reason = platform::lastErrorText();
  const auto result = fixture::runProcess(EXTRACTGAMEFILE_BINARY, work.path());
  fixture::makeFolderWritable(work.at("extract/ro"));
  ASSERT_NE(refused, 0);
  EXPECT_EQ(result.out,
            "Arbo read\n"
            "extract : extract/ro/sub/x.dds ... failed\n"
            "extract : extract/plain/y.dds ... failed\n"
            "extract : extract/ok/z.dds ... done\n");
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("extractGameFile: cannot make folder "
                            "extract/ro/sub: " +
                            reason + "\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("extractGameFile: cannot make folder "
                            "extract/plain: Not a directory\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(
      fixture::treeOf(work.at("extract")),
      (Tree{
          {"ro/", ""}, {"plain", "a file"}, {"ok/", ""}, {"ok/z.dds", "ghi"}}));
}

}  // namespace
