// cfsi run as a process: its command line, list, extract and verify.
#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>

#include "archive_builder.h"
#include "archive_index.h"
#include "json_names.h"
#include "platform.h"
#include "process.h"
#include "scratch.h"

namespace {

using fixture::RawDirectory;
using fixture::Tree;

fixture::ProcessResult cfsi(const std::string& workDir,
                            const std::vector<std::string>& args) {
  fixture::ProcessOptions options;
  options.args = args;
  return fixture::runProcess(CFSI_BINARY, workDir, options);
}

std::int64_t dataStartOf(const std::string& index) {
  return (static_cast<std::int64_t>(index.size()) + 15) / 16 * 16;
}

TEST(CfsiCommandLine, AWrongCallPrintsAShortUsageAndExits2) {
  struct Case {
    std::vector<std::string> args;
    std::string complaint;  // part of the first stderr line
    std::string usage;      // the usage line shown
  };
  const Case cases[] = {
      {{}, "A subcommand is required", "usage: cfsi list"},
      {{"unpack", "a.cfsi"}, "unpack", "usage: cfsi list"},
      {{"list"}, "ARCHIVE is required", "usage: cfsi list [--json] ARCHIVE"},
      {{"list", "a.cfsi", "--exclude"}, "--exclude", "usage: cfsi list"},
      {{"list", "a.cfsi", "--b\x1b[31m\x07"},
       "--b\\x1b[31m\\x07",
       "usage: cfsi list"},
      {{"\x1b]0;title\x07"},
       "unknown command '\\x1b]0;title\\x07'",
       "usage: cfsi list"},
      {{"extract", "a.cfsi", "--all", "--ext", "dds"},
       "excludes",
       "usage: cfsi extract ARCHIVE"},
      {{"extract", "a.cfsi", "--exclude"},
       "--exclude",
       "usage: cfsi extract ARCHIVE"},
      {{"extract", "a.cfsi", "--ext"}, "--ext", "usage: cfsi extract ARCHIVE"},
      {{"extract", "a.cfsi", "-o", ""}, "empty", "usage: cfsi extract ARCHIVE"},
      {{"extract", "a.cfsi", "--bogus"}, "--bogus", "usage: cfsi extract"},
      {{"extract", "a.cfsi", "-j", "0"}, "--jobs", "usage: cfsi extract"},
      {{"extract", "a.cfsi", "-j", "65"}, "--jobs", "usage: cfsi extract"},
      {{"extract", "a.cfsi", "-j", "two"}, "--jobs", "usage: cfsi extract"},
      {{"cat", "a.cfsi"}, "PATH is required", "usage: cfsi cat ARCHIVE PATH"},
      {{"diff", "a.cfsi"}, "NEW is required", "usage: cfsi diff [--json] OLD"},
      {{"diff", "a.cfsi", "b.cfsi", "c.cfsi"}, "c.cfsi", "usage: cfsi diff"},
      {{"verify"}, "ARCHIVE is required", "usage: cfsi verify ARCHIVE"},
      {{"pack", "dir"}, "--output is required", "usage: cfsi pack DIR"},
      {{"pack", "-o", "a.cfsi"}, "DIR is required", "usage: cfsi pack DIR"},
  };
  fixture::ScratchDir work;
  for (const Case& c : cases) {
    std::string call;
    for (const std::string& arg : c.args) call += arg + " ";
    SCOPED_TRACE(call);
    const auto result = cfsi(work.path(), c.args);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("cfsi: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.complaint), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.usage), std::string::npos) << result.err;
    // Every line is cfsi's, and nothing from the command line reaches the
    // terminal unescaped, the parser's own messages included.
    for (std::size_t start = 0, end; start < result.err.size();
         start = end + 1) {
      EXPECT_EQ(result.err.compare(start, 6, "cfsi: "), 0) << result.err;
      end = result.err.find('\n', start);
      if (end == std::string::npos) break;
    }
    for (const char byte : result.err)
      EXPECT_TRUE(byte == '\n' || static_cast<unsigned char>(byte) >= 0x20)
          << result.err;
    EXPECT_NE(result.err.find("cfsi --help"), std::string::npos);
    // A wrong call does nothing.
    EXPECT_EQ(fixture::treeOf(work.path()), Tree{});
  }
}

TEST(CfsiCommandLine, HelpDescribesTheProgramAndEachCommand) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> mentions;
  };
  const Case cases[] = {
      {{"--help"},
       {"Usage: cfsi", "list", "extract", "cat", "diff", "verify", "pack",
        "Exit status"}},
      {{"list", "--help"},
       {"Usage: cfsi list", "PATTERN", "--exclude", "--json", "hex"}},
      {{"extract", "--help"},
       {"Usage: cfsi extract", "PATTERN", "--exclude", "--ext", "--all", "-v",
        "-o"}},
      {{"cat", "--help"}, {"Usage: cfsi cat", "PATH", "PATTERN", "terminal"}},
      {{"diff", "--help"},
       {"Usage: cfsi diff", "--json", "+ PATH", "- PATH", "M PATH", "trouble"}},
      {{"verify", "--help"}, {"Usage: cfsi verify", "Problems", "Notes"}},
      {{"pack", "--help"}, {"Usage: cfsi pack", "--like", "-o"}},
  };
  fixture::ScratchDir work;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const auto result = cfsi(work.path(), c.args);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    for (const std::string& mention : c.mentions)
      EXPECT_NE(result.out.find(mention), std::string::npos) << mention;
  }
}

TEST(CfsiCommandLine, VersionPrintsNameAndProjectVersionAndExits0) {
  fixture::ScratchDir work;
  const auto result = cfsi(work.path(), {"--version"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  // A build from a git clone adds what `git describe` says, in parentheses.
  const std::string expected = std::string("cfsi ") + PROJECT_VERSION;
  EXPECT_EQ(result.out.rfind(expected, 0), 0u) << result.out;
  const std::string rest = result.out.substr(expected.size());
  EXPECT_TRUE(rest == "\n" ||
              (rest.rfind(" (git ", 0) == 0 && rest.size() > 8 &&
               rest.substr(rest.size() - 2) == ")\n"))
      << result.out;
  EXPECT_EQ(fixture::treeOf(work.path()), Tree{});
}

// Names a hostile or foreign-made archive may hold: a terminal escape, a
// zero byte, DEL, Latin-1 and stray UTF-8 bytes, and a valid UTF-8 name.
const std::vector<RawDirectory> kStrangeNames = {
    {"d/", {{"a\x1b[31m.dds", 0, 4}, {std::string("z\0.dds", 6), 0, 0}}},
    {"\xff\xfe/", {{"caf\xe9", 1, 3}}},
    {"", {{"c\x7f", 0x08000000u, 0}, {"\xc3\xa9t\xc3\xa9", 2, 123456}}},
};

TEST(CfsiList, PrintsSizesAndPrintablePathsInIndexOrder) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"),
                     fixture::withDataArea(fixture::rawIndex(kStrangeNames),
                                           std::string(40, 'x')));
  const auto result = cfsi(work.path(), {"list", "a.cfsi"});
  EXPECT_EQ(result.out,
            "         4  d/a\\x1b[31m.dds\n"
            "         0  d/z\\x00.dds\n"
            "         3  \xff\xfe/caf\xe9\n"
            "         0  c\\x7f\n"
            "    123456  \xc3\xa9t\xc3\xa9\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitStatus, 0);
}

TEST(CfsiList, AnArchiveIsFoundAndNamedByItsNameInAnyScript) {
  // Cyrillic and the euro sign: no single code page holds both, so on
  // Windows the name must come through as UTF-16.
  const std::string name = "\xd0\xb6\xe2\x82\xac";
  fixture::ScratchDir work;
  fixture::writeFile(work.at(name + ".cfsi"),
                     fixture::buildArchive({{"d/", "a.dds", "abc"}}));
  const auto found = cfsi(work.path(), {"list", name + ".cfsi"});
  EXPECT_EQ(found.out, "         3  d/a.dds\n");
  EXPECT_EQ(found.exitStatus, 0) << found.err;
  const auto missing = cfsi(work.path(), {"list", name + "-missing.cfsi"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.err.find(name + "-missing.cfsi: No such file"),
            std::string::npos)
      << missing.err;
}

TEST(CfsiList, JsonGivesBackEveryNameByteForByteWithTheReadersOffsets) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"),
                     fixture::withDataArea(fixture::rawIndex(kStrangeNames),
                                           std::string(40, 'x')));
  archive::Index index;
  std::string error;
  ASSERT_EQ(archive::readIndex(work.at("a.cfsi"), &index, &error),
            archive::IndexStatus::kComplete);

  const auto result = cfsi(work.path(), {"list", "--json", "a.cfsi"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  const nlohmann::json listed = nlohmann::json::parse(result.out);
  ASSERT_TRUE(listed.is_array());
  ASSERT_EQ(listed.size(), index.entries.size());
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const fileInfo& entry = index.entries[i];
    const nlohmann::json& object = listed[i];
    EXPECT_EQ(object.size(), 4u);
    std::string directory, name;
    ASSERT_TRUE(nameFromJson(object.at("directory"), &directory));
    ASSERT_TRUE(nameFromJson(object.at("name"), &name));
    EXPECT_EQ(directory, entry.directory);
    EXPECT_EQ(name, entry.name);
    EXPECT_EQ(object.at("offset").get<std::int64_t>(), entry.offset);
    EXPECT_EQ(object.at("size").get<std::uint64_t>(), entry.size);
  }
  // Bit 27 of the stored offset makes a negative byte distance.
  EXPECT_EQ(listed[3].at("offset").get<std::int64_t>(), -2147483648LL);
  EXPECT_EQ(listed[2].at("directory").dump(), R"({"hex":"fffe2f"})");
}

TEST(CfsiCommandLine, OutputThatCannotBeWrittenFailsTheCommand) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"),
                     fixture::buildArchive({{"d/", "a.dds", "aaaa"}}));
  const std::vector<std::string> calls[] = {
      {"list", "a.cfsi"},   {"list", "--json", "a.cfsi"},
      {"verify", "a.cfsi"}, {"extract", "a.cfsi", "-v", "-o", "out"},
      {"--help"},           {"pack", "--help"},
      {"--version"},
  };
  for (const std::vector<std::string>& args : calls) {
    SCOPED_TRACE(args[0]);
    fixture::ProcessOptions options;
    options.args = args;
    options.closeStdout = true;
    const auto result = fixture::runProcess(CFSI_BINARY, work.path(), options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("cfsi: standard output: write error\n"),
              std::string::npos)
        << result.err;
  }
  // The archive stays as it was and no file took the place of the output.
  EXPECT_EQ(fixture::treeOf(work.path()),
            (Tree{{"a.cfsi", fixture::buildArchive({{"d/", "a.dds", "aaaa"}})},
                  {"out/", ""},
                  {"out/d/", ""},
                  {"out/d/a.dds", "aaaa"}}));
}

TEST(CfsiList, AnIncompleteIndexListsWhatCameBeforeTheBreakAndFails) {
  const std::string index =
      fixture::rawIndex({{"a/", {{"one", 0, 1}}}, {"b/", {{"two", 0, 2}}}});
  fixture::ScratchDir work;
  fixture::writeFile(work.at("cut.cfsi"), index.substr(0, index.size() - 3));
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"list", "cut.cfsi"}, "         1  a/one\n"},
      {{"list", "--json", "cut.cfsi"},
       "[\n{\"directory\":\"a/"
       "\",\"name\":\"one\",\"offset\":0,\"size\":1}\n]\n"},
      {{"list", "missing.cfsi"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const auto result = cfsi(work.path(), c.args);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err.rfind("cfsi: ", 0), 0u);
  }
}

// Three textures, a text and a model, in two directories.
const std::vector<fixture::Entry> kMixed = {
    {"tex/", "a.dds", "AAAA"},
    {"tex/", "b.png", "BB"},
    {"tex/ui/", "c.dds", "CCCCCC"},
    {"", "notes.txt", "text"},
    {"mdl/", "m.bin", std::string("\0\1\2", 3)},
};

TEST(CfsiExtract, SelectsByExtensionIntoTheChosenFolder) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
    std::string root;  // the output folder, relative to the work folder
    Tree made;         // below the root
    std::string out;
    std::string summary;
  };
  const Case cases[] = {
      {"dds by default into extract",
       {},
       "extract",
       {{"tex/", ""},
        {"tex/a.dds", "AAAA"},
        {"tex/ui/", ""},
        {"tex/ui/c.dds", "CCCCCC"}},
       "",
       "cfsi: 2 files, 10 bytes extracted to extract/, 0 failed\n"},
      {"several extensions, a full stop in front ignored",
       {"--ext", "png", "--ext", ".txt", "-o", "out"},
       "out",
       {{"tex/", ""}, {"tex/b.png", "BB"}, {"notes.txt", "text"}},
       "",
       "cfsi: 2 files, 6 bytes extracted to out/, 0 failed\n"},
      {"every entry, verbosely, into a folder made with its parents",
       {"--all", "-v", "-o", "a/b/c/"},
       "a/b/c",
       {{"tex/", ""},
        {"tex/a.dds", "AAAA"},
        {"tex/b.png", "BB"},
        {"tex/ui/", ""},
        {"tex/ui/c.dds", "CCCCCC"},
        {"notes.txt", "text"},
        {"mdl/", ""},
        {"mdl/m.bin", std::string("\0\1\2", 3)}},
       "extract : a/b/c/tex/a.dds ... done\n"
       "extract : a/b/c/tex/b.png ... done\n"
       "extract : a/b/c/tex/ui/c.dds ... done\n"
       "extract : a/b/c/notes.txt ... done\n"
       "extract : a/b/c/mdl/m.bin ... done\n",
       "cfsi: 5 files, 19 bytes extracted to a/b/c/, 0 failed\n"},
      {"an extension no entry has",
       {"--ext", "wav"},
       "extract",
       {},
       "",
       "cfsi: 0 files, 0 bytes extracted to extract/, 0 failed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    fixture::writeFile(work.at("game.cfsi"), fixture::buildArchive(kMixed));
    std::vector<std::string> args{"extract", "game.cfsi"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = cfsi(work.path(), args);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, c.out);
    // Not a terminal: the summary and no progress bar.
    EXPECT_EQ(result.err, c.summary);
    EXPECT_EQ(fixture::treeOf(work.at(c.root)), c.made);
  }
}

TEST(CfsiExtract, RefusesWhatExtractGameFileRefusesAndGoesOn) {
  const std::string data =
      "0123456789abcdef"
      "ghij";
  const std::string archive = fixture::withDataArea(
      fixture::rawIndex({{"d/", {{"past.dds", 1, 5}, {"ok.dds", 1, 4}}},
                         {"../", {{"up.dds", 0, 2}}},
                         {"e/", {{"fine.dds", 0, 3}}}}),
      data);
  fixture::ScratchDir work;
  fixture::writeFile(work.at("game.cfsi"), archive);
  const auto result = cfsi(work.path(), {"extract", "game.cfsi", "-v"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out,
            "extract : extract/d/past.dds ... failed\n"
            "extract : extract/d/ok.dds ... done\n"
            "extract : extract/../up.dds ... failed\n"
            "extract : extract/e/fine.dds ... done\n");
  EXPECT_NE(result.err.find("cfsi: extract/d/past.dds: data at bytes"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("cfsi: extract/../up.dds: unsafe path"),
            std::string::npos);
  EXPECT_NE(result.err.find("cfsi: 2 files, 7 bytes extracted to extract/, 2 "
                            "failed\n"),
            std::string::npos);
  EXPECT_EQ(fixture::treeOf(work.path()),
            (Tree{{"game.cfsi", archive},
                  {"extract/", ""},
                  {"extract/d/", ""},
                  {"extract/d/ok.dds", "ghij"},
                  {"extract/e/", ""},
                  {"extract/e/fine.dds", "012"}}));
}

TEST(CfsiExtract, AFileSizeLimitFailsOnlyTheEntryThatPassesIt) {
  // Run as a user runs it, with SIGXFSZ at its default action: the program
  // must meet the limit as a failed write, not be killed by it.
  if (!fixture::systemHasFileSizeLimits())
    GTEST_SKIP() << "this system cannot limit a process's file sizes";
  const std::string big(8000, 'b');
  fixture::ScratchDir work;
  fixture::writeFile(work.at("game.cfsi"),
                     fixture::buildArchive({{"w/", "big.dds", big},
                                            {"w/", "small.dds", "wxyz"}}));
  fixture::ProcessOptions options;
  options.args = {"extract", "game.cfsi"};
  options.fileSizeLimit = 4096;
  const auto result = fixture::runProcess(CFSI_BINARY, work.path(), options);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("cfsi: extract/w/big.dds: copy failed: File too "
                            "large; the partial file was removed\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(fixture::treeOf(work.at("extract")),
            (Tree{{"w/", ""}, {"w/small.dds", "wxyz"}}));
}

TEST(CfsiExtract, AnInterruptedExtractionRemovesTheFileItWasWriting) {
  if (!fixture::systemHasStopSignals())
    GTEST_SKIP() << "needs signals to stop the program with";
  fixture::ScratchDir work;
  fixture::writeHugeArchive(work.at("game.cfsi"));
  fixture::makeFolder(work.at("out"));
  fixture::makeFolder(work.at("out/big"));
  fixture::ProcessOptions options;
  options.args = {"extract", "game.cfsi", "-o", "out"};
  options.whileRunning =
      fixture::signalWhenAFileGrowsIn(work.at("out/big"), SIGTERM);
  const auto result = fixture::runProcess(CFSI_BINARY, work.path(), options);
  EXPECT_EQ(result.signal, SIGTERM);
  const std::string left = work.at("out/big/huge.dds");
  if (fixture::exists(left)) {
    ADD_FAILURE() << "a partial file of " << fixture::sizeOf(left)
                  << " bytes was left";
    fixture::removeFile(left);
  }
  EXPECT_EQ(fixture::treeOf(work.at("out")), (Tree{{"big/", ""}}));
}

TEST(CfsiExtract, NeverWritesOverTheArchiveItReads) {
  const std::vector<fixture::Entry> entries = {
      {"", "game.cfsi", "would truncate the archive"},
      {"", "after.dds", "still extracted"},
  };
  const std::string archive = fixture::buildArchive(entries);
  fixture::ScratchDir work;
  fixture::writeFile(work.at("game.cfsi"), archive);
  const auto result =
      cfsi(work.path(), {"extract", "game.cfsi", "--all", "-o", "."});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("cfsi: ./game.cfsi: is the archive being "
                            "extracted, not overwritten\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(fixture::treeOf(work.path()),
            (Tree{{"game.cfsi", archive}, {"after.dds", "still extracted"}}));
}

TEST(CfsiExtract, AnUnusableArchiveExtractsNothing) {
  const std::string index = fixture::rawIndex({{"d/", {{"a.dds", 0, 1}}}});
  struct Case {
    const char* what;
    std::string archive;  // empty: none
    std::string complaint;
  };
  const Case cases[] = {
      {"no archive", "", "cfsi: cannot open game.cfsi: No such file"},
      {"a truncated index", index.substr(0, 8),
       "cfsi: game.cfsi: index truncated: the file ends at byte 8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    if (!c.archive.empty()) fixture::writeFile(work.at("game.cfsi"), c.archive);
    const Tree before = fixture::treeOf(work.path());
    const auto result = cfsi(work.path(), {"extract", "game.cfsi", "--all"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err.rfind(c.complaint, 0), 0u) << result.err;
    EXPECT_EQ(fixture::treeOf(work.path()), before);
  }
}

TEST(CfsiVerify, ReportsEachKindOfDamageOnALineOfItsOwn) {
  const std::string data(64, 'x');
  struct Case {
    const char* what;
    std::vector<RawDirectory> directories;
    std::vector<std::string> findings;  // with the data start as {S}
    std::string summary;
    int status;
  };
  const Case cases[] = {
      {"a sound archive",
       {{"tex/",
         {{"a.dds", 0, 16}, {"b.dds", 1, 5}, {"empty", 0x0fffffff, 0}}}},
       {},
       "3 entries, 0 problems, 0 notes",
       0},
      {"data outside the archive",
       {{"d/", {{"past", 3, 17}, {"before", 0x0ffffff0u, 1}, {"fits", 3, 16}}}},
       {"problem: entry 1 (d/past): data at bytes {S+48} to {S+65} lies "
        "outside the archive ({S+64} bytes)",
        "problem: entry 2 (d/before): data at bytes {S-256} to {S-255} lies "
        "outside the archive ({S+64} bytes)"},
       "3 entries, 2 problems, 0 notes",
       1},
      {"unsafe paths",
       {{"../", {{"up", 0, 1}}}, {"ok/", {{std::string("n\0", 2), 0, 1}}}},
       {"problem: entry 1 (../up): unsafe path (a \"..\" level or a zero "
        "byte), cannot be extracted",
        "problem: entry 2 (ok/n\\x00): unsafe path (a \"..\" level or a zero "
        "byte), cannot be extracted",
        "note: entry 2 (ok/n\\x00): data at bytes {S} to {S+1} overlaps entry "
        "1"},
       "2 entries, 2 problems, 1 note",
       1},
      {"two entries with one output path",
       {{"tex", {{"a.dds", 0, 1}}},
        {"", {{"texa.dds", 1, 1}}},
        {"tex", {{"a.dds", 2, 1}}}},
       {"problem: entry 2 (texa.dds): same output path as entry 1",
        "problem: entry 3 (texa.dds): same output path as entry 1"},
       "3 entries, 2 problems, 0 notes",
       1},
      {"one output path under several spellings",
       {{"", {{"a.dds", 0, 0}}},
        {"./", {{"a.dds", 0, 0}}},
        {"d//", {{"b.dds", 0, 0}}},
        {"d/", {{"b.dds", 0, 0}}},
        {"/d/./", {{"b.dds", 0, 0}}}},
       {"problem: entry 2 (./a.dds): same output path as entry 1",
        "problem: entry 4 (d/b.dds): same output path as entry 3",
        "problem: entry 5 (/d/./b.dds): same output path as entry 3"},
       "5 entries, 3 problems, 0 notes",
       1},
      {"paths this system cannot make",
       {{"d/", {{"sub/x.dds", 0, 0}}},
        {"d/sub/", {{"y.dds", 0, 0}}},
        {"d/", {{"sub/z.dds", 0, 0}}},
        {"m", {{std::string(255, 'n'), 0, 0}}},
        {std::string(200, 'f'), {{std::string(60, 'g'), 0, 0}}},
        {"", {{std::string(255, 'n'), 0, 0}}},
        {"tex/", {{"", 0, 0}, {".", 0, 0}}},
        {"", {{"", 0, 0}}}},
       {"problem: entry 1 (d/sub/x.dds): its name holds a \"/\" and leads "
        "into d/sub, a folder no entry before it makes, cannot be extracted",
        "problem: entry 4 (m" + std::string(255, 'n') +
            "): a level of its "
            "path is longer than the 255 bytes this system allows, cannot be "
            "extracted",
        "problem: entry 5 (" + std::string(200, 'f') + std::string(60, 'g') +
            "): a level of its "
            "path is longer than the 255 bytes this system allows, cannot be "
            "extracted",
        "problem: entry 7 (tex/): its path names a folder, not a file, "
        "cannot be extracted",
        "problem: entry 8 (tex/.): its path names a folder, not a file, "
        "cannot be extracted",
        "problem: entry 9 (): its path names a folder, not a file, cannot "
        "be extracted"},
       "9 entries, 6 problems, 0 notes",
       1},
      {"a path that is a file for one entry and a folder for another",
       {{"t/", {{"a", 0, 0}}},
        {"t/a/", {{"b", 0, 0}}},
        {"u/v/", {{"w", 0, 0}}},
        {"u/", {{"v", 0, 0}}},
        {"x/", {{"y", 0, 0}}},
        {"x", {{"/y/z", 0, 0}}}},
       {"problem: entry 2 (t/a/b): the folder t/a on its path is the file "
        "of entry 1, cannot be extracted",
        "problem: entry 4 (u/v): its path is a folder made for entry 3, "
        "cannot be extracted",
        "problem: entry 6 (x/y/z): the folder x/y on its path is the file "
        "of entry 5, cannot be extracted"},
       "6 entries, 3 problems, 0 notes",
       1},
      {"overlapping data is only noted",
       {{"d/",
         {{"a", 0, 50}, {"b", 1, 4}, {"c", 3, 2}, {"index", 0xfffffff, 4}}}},
       {"note: entry 4 (d/index): data at bytes {S-16} to {S-12} overlaps "
        "the index (bytes 0 to {I})",
        "note: entry 2 (d/b): data at bytes {S+16} to {S+20} overlaps entry 1",
        "note: entry 3 (d/c): data at bytes {S+48} to {S+50} overlaps entry 1"},
       "4 entries, 0 problems, 3 notes",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string index = fixture::rawIndex(c.directories);
    const std::int64_t start = dataStartOf(index);
    std::string expected;
    for (std::string line : c.findings) {
      // Fill in the positions, which depend on the index's length.
      for (std::size_t at; (at = line.find('{')) != std::string::npos;) {
        const std::size_t end = line.find('}', at);
        const std::string field = line.substr(at + 1, end - at - 1);
        std::int64_t value = field[0] == 'I' ? index.size() : start;
        if (field.size() > 1) value += std::stoll(field.substr(1));
        line.replace(at, end - at + 1, std::to_string(value));
      }
      expected += line + "\n";
    }
    fixture::ScratchDir work;
    fixture::writeFile(work.at("a.cfsi"), fixture::withDataArea(index, data));
    const auto result = cfsi(work.path(), {"verify", "a.cfsi"});
    EXPECT_EQ(result.out, expected + "a.cfsi: " + c.summary + "\n");
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.err, "");
  }
}

TEST(CfsiVerify, WindowsOnlyDangersAreProblemsOnWindowsAndNotesElsewhere) {
  const std::string data(16, 'x');
  const std::string index = fixture::rawIndex(
      {{"a\\..\\..\\", {{"x.dds", 0, 1}}},
       {"tex/", {{"nul.dds", 0, 1}, {"A.dds", 0, 0}, {"a.dds", 0, 0}}},
       {"", {{"caf\xe9", 0, 0}, {"caf\xc3\xa9", 0, 0}}}});
  fixture::ScratchDir work;
  fixture::writeFile(work.at("w.cfsi"), fixture::withDataArea(index, data));
  const auto result = cfsi(work.path(), {"verify", "w.cfsi"});
  std::string expected;
  if (platform::windowsPaths()) {
    expected =
        "problem: entry 1 (a\\..\\..\\x.dds): unsafe path on Windows (a "
        "\"\\\", which separates folders on Windows), cannot be extracted\n"
        "problem: entry 2 (tex/nul.dds): unsafe path on Windows (a level "
        "named after a Windows device), cannot be extracted\n"
        "problem: entry 4 (tex/a.dds): same output path as entry 3\n"
        "problem: entry 6 (caf\xc3\xa9): same output path as entry 5\n"
        "note: entry 2 (tex/nul.dds): data at bytes {S} to {S+1} overlaps "
        "entry 1\n"
        "w.cfsi: 6 entries, 4 problems, 1 note\n";
  } else {
    expected =
        "note: entry 1 (a\\..\\..\\x.dds): not portable to Windows (a "
        "\"\\\", which separates folders on Windows)\n"
        "note: entry 2 (tex/nul.dds): not portable to Windows (a level named "
        "after a Windows device)\n"
        "note: entry 2 (tex/nul.dds): data at bytes {S} to {S+1} overlaps "
        "entry 1\n"
        "w.cfsi: 6 entries, 0 problems, 3 notes\n";
  }
  const std::string start = std::to_string(dataStartOf(index));
  expected.replace(expected.find("{S}"), 3, start);
  expected.replace(expected.find("{S+1}"), 5,
                   std::to_string(dataStartOf(index) + 1));
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.exitStatus, platform::windowsPaths() ? 1 : 0);
}

TEST(CfsiVerify, AnIncompleteIndexIsAProblemAndNoArchiveAnError) {
  const std::string index = fixture::rawIndex({{"d/", {{"a", 0, 1}}}});
  fixture::ScratchDir work;
  fixture::writeFile(work.at("cut.cfsi"), index.substr(0, index.size() - 1));
  const auto cut = cfsi(work.path(), {"verify", "cut.cfsi"});
  EXPECT_EQ(cut.out, "problem: index truncated: the file ends at byte " +
                         std::to_string(index.size() - 1) +
                         ", inside directory record 2\n"
                         "cut.cfsi: 1 entry, 1 problem, 0 notes\n");
  EXPECT_EQ(cut.exitStatus, 1);

  const auto none = cfsi(work.path(), {"verify", "none.cfsi"});
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err,
            "cfsi: cannot open none.cfsi: No such file or directory\n");
  EXPECT_EQ(none.exitStatus, 1);
}

}  // namespace
