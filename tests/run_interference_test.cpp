// extractGameFile run as a process while something around it interferes, as
// only a POSIX system lets a test arrange: a stop signal in the middle of a
// copy, another file renamed over the archive during the run, a folder in
// which nothing can be made.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>

#include "archive_builder.h"
#include "extract_run.h"
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
      {"SIGHUP, a new file", SIGHUP, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
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
    struct stat st;
    if (::stat(work.at("extract/big/huge.dds").c_str(), &st) == 0 &&
        st.st_size > 4) {
      ADD_FAILURE() << "a partial file of " << st.st_size << " bytes was left";
      ::unlink(work.at("extract/big/huge.dds").c_str());
    }
    EXPECT_EQ(fixture::treeOf(work.at("extract")),
              c.fileThere ? (Tree{{"big/", ""}, {"big/huge.dds", "mine"}})
                          : (Tree{{"big/", ""}}));
  }
}

// Whether process |pid| is waiting to write into a full pipe.
bool blockedOnAPipe(int pid) {
  std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
  std::string where;
  std::getline(wchan, where);
  return where.find("pipe_write") != std::string::npos;
}

TEST(RunInterference, AnArchiveReplacedDuringTheRunHasNothingExtracted) {
  // The run is held on "Arbo read" by a standard output that is a full
  // pipe, after its index was read and before the data is: another file is
  // renamed over the archive meanwhile.
  fixture::ScratchDir work;
  const std::string archive = fixture::buildArchive({{"t/", "a.dds", "good"}});
  fixture::writeFile(work.at(kArchive), archive);
  fixture::writeFile(work.at("other.cfsi"),
                     fixture::buildArchive({{"t/", "a.dds", "EVIL"}}));
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const int flags = ::fcntl(pipeEnds[1], F_GETFL);
  ::fcntl(pipeEnds[1], F_SETFL, flags | O_NONBLOCK);
  const std::string fill(4096, 'f');
  std::size_t filled = 0;
  for (ssize_t put; (put = ::write(pipeEnds[1], fill.data(), fill.size())) > 0;)
    filled += static_cast<std::size_t>(put);
  ::fcntl(pipeEnds[1], F_SETFL, flags);
  fixture::ProcessOptions options;
  options.stdoutPath = "/proc/self/fd/" + std::to_string(pipeEnds[1]);
  bool held = false;
  options.whileRunning = [&](int pid) {
    for (int waited = 0; waited < 20000 && !held; ++waited) {
      held = blockedOnAPipe(pid);
      if (!held) ::usleep(1000);
    }
    ::rename(work.at("other.cfsi").c_str(), work.at(kArchive).c_str());
    // Let it go on: take out exactly what filled the pipe, so that every
    // byte the run writes stays for the check below.
    char buffer[4096];
    for (std::size_t left = filled; left > 0;) {
      const ssize_t got =
          ::read(pipeEnds[0], buffer, std::min(left, sizeof buffer));
      if (got <= 0) break;
      left -= static_cast<std::size_t>(got);
    }
  };
  const auto result =
      fixture::runProcess(EXTRACTGAMEFILE_BINARY, work.path(), options);
  ::close(pipeEnds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(got));
  ::close(pipeEnds[0]);
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
  const int refused = ::mkdir(work.at("extract/ro/probe").c_str(), 0777);
  const std::string reason = std::strerror(errno);
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
