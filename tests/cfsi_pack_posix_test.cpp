// cfsi pack run as a process and acted on while it runs, by what only a
// POSIX system offers a test: /proc to see which files it has open, and
// signals to pause, resume and stop it. Windows builds leave this file out.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>

#include "process.h"
#include "scratch.h"

namespace {

// True once the process |pid| has |path| open.
bool hasOpen(int pid, const std::string& path) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const std::string& fd : fixture::namesIn(fds)) {
    char target[4096];
    const ssize_t n =
        ::readlink((fds + "/" + fd).c_str(), target, sizeof target);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path)
      return true;
  }
  return false;
}

TEST(CfsiPack, ASourceFileThatChangesSizeFailsThePackNamingIt) {
  if (!fixture::exists("/proc/self/fd"))
    GTEST_SKIP() << "needs /proc to see when the pack has its files open";
  fixture::ScratchDir work;
  fixture::makeFolder(work.at("in"));
  // The files are packed in name order: while the first, a gigabyte, is
  // copied, the listing is done, and the second grows.
  fixture::writeSparseFile(work.at("in/a-big"), std::uint64_t{1} << 30);
  fixture::writeFile(work.at("in/grows"), std::string(100, 'g'));
  fixture::ProcessOptions options;
  options.args = {"pack", "in", "-o", "out.cfsi"};
  options.whileRunning = [&](int pid) {
    char real[4096];
    ASSERT_NE(::realpath(work.at("in/a-big").c_str(), real), nullptr);
    while (!hasOpen(pid, real)) {
      int status;
      ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "ended too soon";
    }
    ::kill(pid, SIGSTOP);
    fixture::writeFile(work.at("in/grows"), std::string(101, 'g'));
    ::kill(pid, SIGCONT);
  };
  const auto result = fixture::runProcess(CFSI_BINARY, work.path(), options);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err,
            "cfsi: in/grows: changed size while being packed; no archive "
            "written\n");
  EXPECT_EQ(fixture::namesIn(work.path()), (std::vector<std::string>{"in"}));
}

TEST(CfsiPack, AnInterruptedPackLeavesNoFileBehind) {
  // A gigabyte to copy, interrupted once the pack has it open.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(signal);
    fixture::ScratchDir work;
    fixture::makeFolder(work.at("in"));
    fixture::writeSparseFile(work.at("in/big"), std::uint64_t{1} << 30);
    fixture::writeFile(work.at("out.cfsi"), "kept as it was");
    fixture::ProcessOptions options;
    options.args = {"pack", "in", "-o", "out.cfsi"};
    char real[4096];
    ASSERT_NE(::realpath(work.at("in/big").c_str(), real), nullptr);
    options.whileRunning = [signal, &real](int pid) {
      // Once the copy is under way, not before the pack has begun.
      while (!hasOpen(pid, real)) {
        int status;
        ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "ended too soon";
      }
      ::kill(pid, signal);
    };
    const auto result = fixture::runProcess(CFSI_BINARY, work.path(), options);
    EXPECT_EQ(result.signal, signal) << result.err;
    EXPECT_EQ(fixture::namesIn(work.path()),
              (std::vector<std::string>{"in", "out.cfsi"}));
    EXPECT_EQ(fixture::readFile(work.at("out.cfsi")), "kept as it was");
  }
}

}  // namespace
