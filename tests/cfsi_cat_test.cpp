// cfsi cat run as a process: entries' bytes on standard output.
#include "cfsi_cat.h"

#include <gtest/gtest.h>

#include "archive_builder.h"
#include "cfsi_process.h"
#include "scratch.h"

namespace {

// Bytes a text-mode stream would mangle: CR LF pairs, a lone CR, 0x1A (end
// of file to DOS), zero bytes, 0xFF.
const std::string kBinary = std::string("one\r\ntwo\r\n\x1a\x00\xff\r", 14);
const std::string kOther = std::string("\x00\x01\x02\x1a\n", 5);

const std::vector<fixture::Entry> kEntries = {
    {"bin/", "a.bin", kBinary},
    {"bin/", "b.bin", kOther},
    {"", "empty", ""},
    {"", "dup.txt", "first"},
    {"", "a[1].txt", "brackets"},
    {"", "dup.txt", "second"},
};

TEST(CfsiCat, WritesEachNamedEntryByteForByteInTheOrderGiven) {
  struct Case {
    std::vector<std::string> paths;
    std::string out;
    std::string err = "";  // standard error, exactly
  };
  const Case cases[] = {
      {{"bin/a.bin"}, kBinary},
      {{"bin/b.bin", "bin/a.bin"}, kOther + kBinary},
      {{"bin/a.bin", "bin/a.bin"}, kBinary + kBinary},
      {{"bin/*"}, kBinary + kOther},  // index order within a pattern
      {{"empty", "bin/b.bin"}, kOther},
      {{"a[1].txt"}, "brackets"},  // an exact name, wildcards and all
      // Of two entries with one path, the one extraction leaves there.
      {{"dup.txt"}, "second"},
      {{"*.txt"},
       "brackets"
       "second"},
      {{"bin/b.bin", "none", "bin/?.wav"},
       kOther,
       "cfsi: none: no entry matches\ncfsi: bin/?.wav: no entry matches\n"},
  };
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"), fixture::buildArchive(kEntries));
  for (const Case& c : cases) {
    std::vector<std::string> args{"cat", "a.cfsi"};
    args.insert(args.end(), c.paths.begin(), c.paths.end());
    SCOPED_TRACE(c.paths[0]);
    const auto result = fixture::runCfsiProcess(work.path(), args);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitStatus, c.err.empty() ? 0 : 1);
  }
}

TEST(CfsiCat, AppendsToAFileOpenedForAppending) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"), fixture::buildArchive(kEntries));
  fixture::writeFile(work.at("out"), "before\n");
  fixture::ProcessOptions options;
  options.stdoutPath = work.at("out");
  options.stdoutAppends = true;
  for (int run = 0; run < 2; ++run) {
    const auto result = fixture::runCfsiProcess(
        work.path(), {"cat", "a.cfsi", "bin/a.bin"}, options);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitStatus, 0);
  }
  EXPECT_EQ(fixture::readFile(work.at("out")), "before\n" + kBinary + kBinary);
}

TEST(CfsiCat, DataOutsideTheArchiveFailsThatEntryAndTheOthersAreWritten) {
  // "past" reaches one byte beyond the end; "fine" and "empty" are inside.
  const std::string data =
      "0123456789abcdef"
      "ghij";
  const std::string index = fixture::rawIndex(
      {{"d/", {{"past", 1, 5}, {"fine", 1, 4}, {"empty", 0x0fffffff, 0}}}});
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"), fixture::withDataArea(index, data));
  const std::int64_t start =
      (static_cast<std::int64_t>(index.size()) + 15) / 16 * 16;
  const auto result =
      fixture::runCfsiProcess(work.path(), {"cat", "a.cfsi", "d/*", "d/fine"});
  EXPECT_EQ(result.out,
            "ghij"
            "ghij");
  EXPECT_EQ(result.err,
            "cfsi: d/past: data at bytes " + std::to_string(start + 16) +
                " to " + std::to_string(start + 21) + " lies outside a.cfsi (" +
                std::to_string(start + 20) + " bytes), not written\n");
  EXPECT_EQ(result.exitStatus, 1);
}

TEST(CfsiCat, WritesNothingFromAnArchiveItCannotUse) {
  const std::string index = fixture::rawIndex({{"d/", {{"a", 0, 1}}}});
  struct Case {
    const char* what;
    std::string archive;  // empty: none
    std::string errStart, errEnd;
  };
  const Case cases[] = {
      {"no archive", "", "cfsi: cannot open a.cfsi: No such file", "\n"},
      {"a truncated index", index.substr(0, 8),
       "cfsi: a.cfsi: index truncated: the file ends at byte 8",
       "; nothing was written\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    if (!c.archive.empty()) fixture::writeFile(work.at("a.cfsi"), c.archive);
    const auto result =
        fixture::runCfsiProcess(work.path(), {"cat", "a.cfsi", "d/a"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind(c.errStart, 0), 0u) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_EQ(result.err.substr(result.err.size() - c.errEnd.size()), c.errEnd);
    EXPECT_EQ(result.exitStatus, 1);
  }
}

TEST(CfsiCat, RefusesToWriteToATerminalAndSaysHowToRedirect) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"), fixture::buildArchive(kEntries));
  fixture::ProcessOptions options;
  options.stdoutToTerminal = true;
  const auto result = fixture::runCfsiProcess(
      work.path(), {"cat", "a.cfsi", "bin/a.bin"}, options);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err.rfind("cfsi: standard output is a terminal", 0), 0u)
      << result.err;
  EXPECT_NE(result.err.find("> FILE"), std::string::npos) << result.err;
}

TEST(CfsiCat, AnOutputThatFailsStopsTheCommand) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"), fixture::buildArchive(kEntries));
  struct Case {
    const char* what;
    bool closeStdout;
    bool deadPipe;
  };
  const Case cases[] = {
      {"closed standard output", true, false},
      {"a pipe nobody reads", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ProcessOptions options;
    options.closeStdout = c.closeStdout;
    options.stdoutToDeadPipe = c.deadPipe;
    const auto result = fixture::runCfsiProcess(
        work.path(), {"cat", "a.cfsi", "bin/a.bin", "bin/b.bin"}, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.signal, 0);
    // One line: the first entry failed, and the second was not tried.
    EXPECT_EQ(result.err.rfind("cfsi: bin/a.bin: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("write failed"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  }
}

}  // namespace
