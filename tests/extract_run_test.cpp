// extractGameFile run as a process in a scratch folder, the way a user runs
// it: exact standard output, exit status, and every file and folder made.
#include "extract_run.h"

#include <gtest/gtest.h>

#include "archive_builder.h"
#include "platform.h"
#include "process.h"
#include "scratch.h"

namespace {

using fixture::archiveOf;
using fixture::fileSizeLimit;
using fixture::RawDirectory;
using fixture::RawFile;
using fixture::run;
using fixture::RunCase;
using fixture::RunExpectation;
using fixture::Tree;

const char* const kArchive = fixture::kArchiveName;

// The 67-byte archive: "tex/a.dds" (4 bytes 0D 0A 00 FF) and "tex/b.txt".
std::string smallArchive(const std::string& firstName = "a.dds") {
  const std::string index = fixture::rawIndex(
      {{"tex/", {{firstName, 0, 4}, {"b.txt", 1, 3}}}}, "", "\x12\x34\x56");
  return fixture::withDataArea(index, std::string("\x0d\x0a\x00\xff", 4) +
                                          std::string(12, '\0') + "abc");
}

const std::string kSmallOut =
    "Arbo read\nextract : extract/tex/a.dds ... done\n";

TEST(ExtractRun, ConformingRuns) {
  const std::string archive = smallArchive();
  const RunCase cases[] = {
      {"the 67-byte archive",
       {archive},
       {kSmallOut,
        0,
        {{"extract/", ""},
         {"extract/tex/", ""},
         {"extract/tex/a.dds", std::string("\x0d\x0a\x00\xff", 4)}}}},
      {"arguments are ignored",
       {archive,
        [](const std::string& work) {
          fixture::writeFile(work + "/other.cfsi", "not an archive");
        },
        {{"other.cfsi", "-o", "out", "--help"}}},
       {kSmallOut,
        0,
        {{"other.cfsi", "not an archive"},
         {"extract/", ""},
         {"extract/tex/", ""},
         {"extract/tex/a.dds", std::string("\x0d\x0a\x00\xff", 4)}}}},
      {"the filter's case counts",
       {smallArchive("a.DDS")},
       {"Arbo read\n", 0, {{"extract/", ""}}}},
      {"an empty archive",
       {std::string(5, '\0')},
       {"Arbo read\n", 0, {{"extract/", ""}}}},
      {"a name's own \"/\" does not carry over to the next entry's folder",
       {fixture::withDataArea(
           fixture::rawIndex({{"pd", {{"/a.dds", 0, 1}, {"b.dds", 0, 1}}}}),
           "x")},
       {"Arbo read\nextract : extract/pd/a.dds ... done\n"
        "extract : extract/pdb.dds ... done\n",
        0,
        {{"extract/", ""},
         {"extract/pd/", ""},
         {"extract/pd/a.dds", "x"},
         {"extract/pdb.dds", "x"}}}},
      {"an existing tree stays",
       {archive,
        [](const std::string& work) {
          fixture::makeFolders(work, {"extract", "extract/tex"});
          fixture::writeFile(work + "/extract/tex/a.dds", "older and longer");
          fixture::writeFile(work + "/extract/keep", "mine");
        }},
       {kSmallOut,
        0,
        {{"extract/", ""},
         {"extract/keep", "mine"},
         {"extract/tex/", ""},
         {"extract/tex/a.dds", std::string("\x0d\x0a\x00\xff", 4)}}}},
  };
  for (const RunCase& c : cases) run(c);
}

TEST(ExtractRun, TheSameRunAgainGivesTheSameOutputAndTree) {
  fixture::ScratchDir scratch;
  fixture::writeFile(scratch.at(kArchive), smallArchive());
  const auto first =
      fixture::runProcess(EXTRACTGAMEFILE_BINARY, scratch.path());
  const Tree afterFirst = fixture::treeOf(scratch.path());
  const auto second =
      fixture::runProcess(EXTRACTGAMEFILE_BINARY, scratch.path());
  EXPECT_EQ(first.out, kSmallOut);
  EXPECT_EQ(second.out, kSmallOut);
  EXPECT_EQ(second.exitStatus, 0);
  EXPECT_EQ(fixture::treeOf(scratch.path()), afterFirst);
}

TEST(ExtractRun, UsesTheWorkingFolderNotTheProgramsOrAParents) {
  fixture::ScratchDir scratch;
  fixture::writeFile(scratch.at(kArchive), smallArchive("p.dds"));
  fixture::makeFolder(scratch.at("sub"));
  fixture::writeFile(scratch.at("sub/") + kArchive, smallArchive());
  const auto result =
      fixture::runProcess(EXTRACTGAMEFILE_BINARY, scratch.at("sub"));
  EXPECT_EQ(result.out, kSmallOut);
  const Tree tree = fixture::treeOf(scratch.path());
  EXPECT_EQ(tree.count("extract/"), 0u);
  EXPECT_EQ(tree.count("sub/extract/tex/a.dds"), 1u);
}

TEST(ExtractRun, FailuresAreReportedAndSetTheExitStatus) {
  const std::string archive = smallArchive();
  const RunCase cases[] = {
      {"no archive",
       {""},
       {"Impossible d'ouvrir le fichierArbo read\n",
        1,
        {{"extract/", ""}},
        {"cannot open 00000000.cfsi: No such file or directory"}}},
      {"a folder in place of the archive",
       {"",
        [](const std::string& work) {
          fixture::makeFolder(work + "/" + kArchive);
        }},
       {"Impossible d'ouvrir le fichierArbo read\n",
        1,
        {{"00000000.cfsi/", ""}, {"extract/", ""}},
        {"cannot open 00000000.cfsi: Is a directory"}}},
      {"a truncated index",
       {archive.substr(0, 30)},
       {"Arbo read\n",
        1,
        {{"extract/", ""}},
        {"00000000.cfsi: index truncated: the file ends at byte 30, inside "
         "file record 2 of directory record 1"}}},
      {"extract is a plain file",
       {archive,
        [](const std::string& work) {
          fixture::writeFile(work + "/extract", "plain");
        }},
       {"Arbo read\nextract : extract/tex/a.dds ... failed\n",
        1,
        {{"extract", "plain"}},
        {"cannot create extract/tex/a.dds: Not a directory"}}},
  };
  for (const RunCase& c : cases) run(c);
}

TEST(ExtractRun, AFailedEntryNeverStopsALaterOne) {
  const std::string data =
      "0123456789abcdef"
      "ghij";  // 20 bytes
  const RunCase cases[] = {
      {"data outside the archive",
       {archiveOf({{"d/",
                    {{"past.dds", 1, 5},  // bytes 16..21 of 20
                     {"huge.dds", 0, 0xffffffff},
                     {"before.dds", 0x08000000, 1},  // -2^31 bytes
                     {"empty.dds", 0x0abcdef0, 0},   // size 0: any offset
                     {"fits.dds", 1, 4}}}},
                  data),
        [](const std::string& work) {
          fixture::makeFolders(work, {"extract", "extract/d"});
          fixture::writeFile(work + "/extract/d/past.dds", "kept");
        }},
       {"Arbo read\n"
        "extract : extract/d/past.dds ... failed\n"
        "extract : extract/d/huge.dds ... failed\n"
        "extract : extract/d/before.dds ... failed\n"
        "extract : extract/d/empty.dds ... done\n"
        "extract : extract/d/fits.dds ... done\n",
        1,
        {{"extract/", ""},
         {"extract/d/", ""},
         {"extract/d/past.dds", "kept"},
         {"extract/d/empty.dds", ""},
         {"extract/d/fits.dds",
          "ghij"}},  // The index ends at 97, so the data area starts at 112.
        {"extract/d/past.dds: data at bytes 128 to 133 lies outside "
         "00000000.cfsi (132 bytes), not extracted",
         "extract/d/before.dds: data at bytes -2147483536 to -2147483535"}}},
      {"unsafe paths",
       {archiveOf(
           {{"../", {{"up.dds", 0, 2}}},
            {"a/../../", {{"x.dds", 0, 2}}},
            {"..", {{"/y.dds", 0, 2}}},
            {"ok/", {{"../z.dds", 0, 2}, {"..", 0, 2}}},
            {std::string("n\0/", 3), {{"a.dds", 0, 2}}},
            {"ok/", {{std::string("b\0.dds", 6), 0, 2}, {"c.dds", 0, 2}}}},
           data)},
       {"Arbo read\n"
        "extract : extract/../up.dds ... failed\n"
        "extract : extract/a/../../x.dds ... failed\n"
        "extract : extract/../y.dds ... failed\n"
        "extract : extract/ok/../z.dds ... failed\n"
        "extract : extract/n\\x00/a.dds ... failed\n"
        "extract : extract/ok/b\\x00.dds ... failed\n"
        "extract : extract/ok/c.dds ... done\n",
        1,
        {{"extract/", ""}, {"extract/ok/", ""}, {"extract/ok/c.dds", "01"}},
        {"extract/../up.dds: unsafe path (a \"..\" level or a zero byte), not "
         "extracted",
         "extract/n\\x00/a.dds: unsafe path"}}},
      {"output files that cannot be created",
       {archiveOf({{"tex/", {{"dir.dds", 0, 2}, {"sub/x.dds", 0, 2}}},
                   {"plain/", {{"y.dds", 0, 2}}},
                   {"tex/", {{"fine.dds", 1, 3}}}},
                  data),
        [](const std::string& work) {
          fixture::makeFolders(
              work, {"extract", "extract/tex", "extract/tex/dir.dds"});
          fixture::writeFile(work + "/extract/plain", "a file");
        }},
       {"Arbo read\n"
        "extract : extract/tex/dir.dds ... failed\n"
        "extract : extract/tex/sub/x.dds ... failed\n"
        "extract : extract/plain/y.dds ... failed\n"
        "extract : extract/tex/fine.dds ... done\n",
        1,
        {{"extract/", ""},
         {"extract/plain", "a file"},
         {"extract/tex/", ""},
         {"extract/tex/dir.dds/", ""},
         {"extract/tex/fine.dds", "ghi"}},
        {"cannot create extract/tex/dir.dds: Is a directory",
         "cannot create extract/tex/sub/x.dds: No such file or directory",
         "cannot make folder extract/plain: Not a directory"}}},
      // Files may not grow past 4 KiB (the captured output is far smaller).
      // extract/t.dds is first a file, which the folder path "t.dds" (no
      // final slash) cannot be made over; the failed copy to its path
      // leaves it as it was, and the next entry finds it again.
      {"a failed copy leaves the file already at its path as it was",
       {archiveOf({{"", {{"t.dds", 0, 4}}},
                   {"t.dds", {{"y.dds", 0, 4}}},
                   {"", {{"t.dds", 1, 8000}}},
                   {"t.dds", {{"z.dds", 0, 4}}}},
                  "wxyz" + std::string(12, '\0') + std::string(8000, 'b')),
        {},
        fileSizeLimit(4096)},
       {"Arbo read\n"
        "extract : extract/t.dds ... done\n"
        "extract : extract/t.ddsy.dds ... done\n"
        "extract : extract/t.dds ... failed\n"
        "extract : extract/t.ddsz.dds ... done\n",
        1,
        {{"extract/", ""},
         {"extract/t.dds", "wxyz"},
         {"extract/t.ddsy.dds", "wxyz"},
         {"extract/t.ddsz.dds", "wxyz"}},
        {"extract/t.dds: copy failed: File too large; the partial file was "
         "removed"}}},
      {"a write that fails half-way",
       {archiveOf({{"w/", {{"big.dds", 1, 8000}, {"small.dds", 0, 4}}}},
                  "wxyz" + std::string(12, '\0') + std::string(8000, 'b')),
        {},
        fileSizeLimit(4096)},
       {"Arbo read\n"
        "extract : extract/w/big.dds ... failed\n"
        "extract : extract/w/small.dds ... done\n",
        1,
        {{"extract/", ""}, {"extract/w/", ""}, {"extract/w/small.dds", "wxyz"}},
        {"extract/w/big.dds: copy failed: File too large; the partial file was "
         "removed"}}},
  };
  for (const RunCase& c : cases) run(c);
}

TEST(ExtractRun, KeepsTheArchivesOwnConventions) {
  const bool windows = platform::windowsPaths();
  const std::string data =
      "0123456789abcdef"
      "ghij";
  const RunCase cases[] = {
      {"a directory without a final slash",
       {archiveOf({{"tex", {{"a.dds", 0, 3}}}}, data)},
       {"Arbo read\nextract : extract/texa.dds ... done\n",
        0,
        {{"extract/", ""}, {"extract/tex/", ""}, {"extract/texa.dds", "012"}}}},
      {"the later of two entries wins",
       {archiveOf({{"d/", {{"x.dds", 0, 20}}}, {"d/", {{"x.dds", 1, 2}}}},
                  data)},
       {"Arbo read\nextract : extract/d/x.dds ... done\n"
        "extract : extract/d/x.dds ... done\n",
        0,
        {{"extract/", ""}, {"extract/d/", ""}, {"extract/d/x.dds", "gh"}}}},
      // Windows forbids the control character and a final ".": it refuses
      // both names before making anything.
      {"names are extracted as they are and printed escaped",
       {archiveOf({{"\xc3\xa9t\xe9/",
                    {{"\x1b[2Jx.dds", 0, 1},
                     {"", 0, 1},
                     {"a.dds.", 0, 1},
                     {"a.dds..", 0, 1}}}},
                  data)},
       windows ? RunExpectation{"Arbo read\n"
                                "extract : extract/\xc3\xa9t\xe9/\\x1b[2Jx.dds "
                                "... failed\n"
                                "extract : extract/\xc3\xa9t\xe9/a.dds. ... "
                                "failed\n",
                                1,
                                {{"extract/", ""}},
                                {"extract/\xc3\xa9t\xe9/\\x1b[2Jx.dds: unsafe "
                                 "path on Windows"}}
               : RunExpectation{"Arbo read\n"
                                "extract : extract/\xc3\xa9t\xe9/\\x1b[2Jx.dds "
                                "... done\n"
                                "extract : extract/\xc3\xa9t\xe9/a.dds. ... "
                                "done\n",
                                0,
                                {{"extract/", ""},
                                 {"extract/\xc3\xa9t\xe9/", ""},
                                 {"extract/\xc3\xa9t\xe9/\x1b[2Jx.dds", "0"},
                                 {"extract/\xc3\xa9t\xe9/a.dds.", "0"}}}},
      {"levels the chain cannot make are passed over",
       {archiveOf({{"a//b/", {{"x.dds", 0, 1}}}}, data)},
       {"Arbo read\nextract : extract/a//b/x.dds ... done\n",
        0,
        {{"extract/", ""},
         {"extract/a/", ""},
         {"extract/a/b/", ""},
         {"extract/a/b/x.dds", "0"}}}},
  };
  for (const RunCase& c : cases) run(c);
}

}  // namespace
