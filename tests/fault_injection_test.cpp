// Faults injected into a run of the program in a child process: writes that
// fail half-way through a file, and a standard output that cannot be
// written. Whatever fails, the run goes on, loses nothing it could extract,
// leaves no partial file, and ends with status 1 and an explanation on
// standard error. (Files capped by RLIMIT_FSIZE are in extract_run_test.cpp.)
#include <gtest/gtest.h>

#include "archive_builder.h"
#include "extract_run.h"
#include "scratch.h"

namespace {

using fixture::run;
using fixture::RunCase;

TEST(FaultInjection, AWriteThatFailsHalfWayRemovesOnlyThatFile) {
  if (fixture::fullDevice().empty() || !fixture::systemHasSymbolicLinks())
    GTEST_SKIP() << "needs a link to a device that is always full";
  const std::string big(8000, 'b');
  const RunCase c{
      "the output file is a link to /dev/full",
      fixture::buildArchive({{"w/", "big.dds", big},
                             {"w/", "small.dds", "wxyz"},
                             {"w/", "after.dds", big}}),
      [](const std::string& work) {
        fixture::makeFolder(work + "/extract");
        fixture::makeFolder(work + "/extract/w");
        fixture::makeSymbolicLink(fixture::fullDevice(),
                                  work + "/extract/w/big.dds");
      },
      {},
      "Arbo read\n"
      "extract : extract/w/big.dds ... failed\n"
      "extract : extract/w/small.dds ... done\n"
      "extract : extract/w/after.dds ... done\n",
      1,
      // The link is what the failed file was written through: it goes.
      {{"extract/", ""}, {"extract/w/", ""}, {"extract/w/small.dds", "wxyz"},
       {"extract/w/after.dds", big}},
      {"extract/w/big.dds: write failed: No space left on device; the partial "
       "file was removed"}};
  run(c);
}

TEST(FaultInjection, AnUnwritableStandardOutputStillExtractsEverything) {
  const std::string texture(3000, 't');
  const std::string archive = fixture::buildArchive(
      {{"a/", "one.dds", texture}, {"a/b/", "two.dds", "2"}, {"", "x.txt", "x"}});
  const fixture::Tree made{{"extract/", ""},
                           {"extract/a/", ""},
                           {"extract/a/one.dds", texture},
                           {"extract/a/b/", ""},
                           {"extract/a/b/two.dds", "2"}};
  const std::string lost =
      "standard output: write error; the progress lines were lost";
  RunCase closed{"standard output closed", archive, {}, {}, "", 1, made, {lost}};
  closed.options.closeStdout = true;
  RunCase full{"standard output is /dev/full", archive, {}, {}, "", 1, made,
               {lost}};
  full.options.stdoutPath = fixture::fullDevice();
  RunCase deadPipe{"standard output is a pipe whose reader has gone",
                   archive, {}, {}, "", 1, made, {lost}};
  deadPipe.options.stdoutToDeadPipe = true;
  run(closed);
  run(deadPipe);
  if (!full.options.stdoutPath.empty()) run(full);
}

}  // namespace
