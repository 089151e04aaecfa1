// Faults injected into a run of the program in a child process: writes that
// fail half-way through a file, and a standard output that cannot be
// written. Whatever fails, the run goes on, loses nothing it could extract,
// leaves no partial file, and ends with status 1 and an explanation on
// standard error.
#include <gtest/gtest.h>

#include "archive_builder.h"
#include "extract_run.h"
#include "scratch.h"

namespace {

using fixture::run;
using fixture::RunCase;

TEST(FaultInjection, AWriteThatFailsHalfWayRemovesOnlyTheNewFile) {
  // Files may not grow past 4 KiB, with SIGXFSZ at its default action as a
  // user's shell leaves it: the program must see a failed write.
  if (!fixture::systemHasFileSizeLimits())
    GTEST_SKIP() << "needs a file-size limit for the child";
  const std::string big(8000, 'b');
  RunCase c{
      "writes past the file-size limit, to a free path and over a file",
      {fixture::buildArchive({{"w/", "big.dds", big},
                              {"w/", "small.dds", "wxyz"},
                              {"w/", "mine.dds", big},
                              {"w/", "after.dds", "after"}}),
       [](const std::string& work) {
         fixture::makeFolders(work, {"extract", "extract/w"});
         fixture::writeFile(work + "/extract/w/mine.dds", "mine");
       },
       fixture::fileSizeLimit(4096)},
      {"Arbo read\n"
       "extract : extract/w/big.dds ... failed\n"
       "extract : extract/w/small.dds ... done\n"
       "extract : extract/w/mine.dds ... failed\n"
       "extract : extract/w/after.dds ... done\n",
       1,  // The file that had the path before stays as it was.
       {{"extract/", ""},
        {"extract/w/", ""},
        {"extract/w/small.dds", "wxyz"},
        {"extract/w/mine.dds", "mine"},
        {"extract/w/after.dds", "after"}},
       {"extract/w/big.dds: copy failed: File too large; the partial file was "
        "removed",
        "extract/w/mine.dds: copy failed: File too large; the partial file was "
        "removed"}}};
  run(c);
}

TEST(FaultInjection, AnUnwritableStandardOutputStillExtractsEverything) {
  const std::string texture(3000, 't');
  const std::string archive = fixture::buildArchive({{"a/", "one.dds", texture},
                                                     {"a/b/", "two.dds", "2"},
                                                     {"", "x.txt", "x"}});
  const fixture::Tree made{{"extract/", ""},
                           {"extract/a/", ""},
                           {"extract/a/one.dds", texture},
                           {"extract/a/b/", ""},
                           {"extract/a/b/two.dds", "2"}};
  const std::string lost =
      "standard output: write error; the progress lines were lost";
  RunCase closed{"standard output closed", {archive}, {"", 1, made, {lost}}};
  closed.input.options.closeStdout = true;
  RunCase full{
      "standard output is /dev/full", {archive}, {"", 1, made, {lost}}};
  full.input.options.stdoutPath = fixture::fullDevice();
  RunCase deadPipe{"standard output is a pipe whose reader has gone",
                   {archive},
                   {"", 1, made, {lost}}};
  deadPipe.input.options.stdoutToDeadPipe = true;
  run(closed);
  run(deadPipe);
  if (!full.input.options.stdoutPath.empty())
    run(full);
  else
    fixture::passOver(full.what, "has no device that is full");
}

}  // namespace
