// Archives made to attack the extractor, run through the whole program: each
// row gives the archive, built here, the exact standard output, the exit
// status and the exact tree the run must leave. Files that exist before a
// run stand for what a user must not lose: nothing may touch them. (The
// first rows of hostile paths, a folder in place of the archive, "extract"
// as a plain file and an output path that is a folder are in
// extract_run_test.cpp.)
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

#include "archive_builder.h"
#include "archive_writer.h"
#include "extract_run.h"
#include "platform.h"
#include "scratch.h"

namespace {

using fixture::archiveOf;
using fixture::run;
using fixture::RunCase;
using fixture::Tree;
using fixture::writeFile;

const std::string kData =
    "0123456789abcdef"
    "ghij";  // 20 bytes

using fixture::makeFolders;

TEST(HostileArchive, DotDotLevelsNeverLeadOutOfTheOutputFolder) {
  const RunCase c{
      "\"..\" at the end of a directory, at the start of and inside a name, "
      "after an absolute directory; look-alikes that are not \"..\"",
      {archiveOf({{"a/..", {{"/x.dds", 0, 2}}},
                  {"", {{"../x.dds", 0, 2}, {"a/../../x.dds", 0, 2}}},
                  {"/../", {{"x.dds", 0, 2}}},
                  {"d/", {{"..", 0, 2}}},  // never selected: no extension
                  {"..", {{"dds", 1, 3}}},
                  {"a/...b/", {{"..x.dds", 0, 2}}},
                  {"/etc/", {{"passwd.dds", 0, 2}}}},
                 kData),
       [](const std::string& work) {
         // Where the unsafe paths point: they must stay as they are.
         makeFolders(work, {"extract", "extract/a"});
         writeFile(work + "/extract/x.dds", "mine");
         writeFile(work + "/x.dds", "outside");
       }},
      {"Arbo read\n"
       "extract : extract/a/../x.dds ... failed\n"
       "extract : extract/../x.dds ... failed\n"
       "extract : extract/a/../../x.dds ... failed\n"
       "extract : extract//../x.dds ... failed\n"
       "extract : extract/..dds ... done\n"
       "extract : extract/a/...b/..x.dds ... done\n"
       "extract : extract//etc/passwd.dds ... done\n",
       1,
       {{"x.dds", "outside"},
        {"extract/", ""},
        {"extract/x.dds", "mine"},
        {"extract/..dds", "ghi"},
        {"extract/a/", ""},
        {"extract/a/...b/", ""},
        {"extract/a/...b/..x.dds", "01"},
        {"extract/etc/", ""},
        {"extract/etc/passwd.dds", "01"}},
       {"extract/a/../x.dds: unsafe path (a \"..\" level or a zero byte), not "
        "extracted",
        "extract/a/../../x.dds: unsafe path",
        "extract//../x.dds: unsafe path"}}};
  run(c);
}

TEST(HostileArchive, WindowsSeparatorsDevicesAndDroppedEndsAreRefusedThere) {
  // On Windows each of these leads somewhere else than a file of that name
  // in extract/: out of it ("..\\"), to a device ("nul", "CON"), a drive
  // or a stream (":"), or onto another entry's name ("x.dds." is "x.dds").
  // Elsewhere they are ordinary names and extract as such.
  const std::vector<fixture::RawDirectory> directories{
      {"..\\", {{"x.dds", 0, 2}}},
      {"a\\..\\..\\", {{"x.dds", 0, 2}}},
      {"",
       {{"nul.dds", 0, 2},
        {"CON.dds", 0, 2},
        {"com1.dds", 0, 2},
        {"lpt\xb9.dds", 0, 2},
        {"a:b.dds", 0, 2},
        {"x.dds.", 1, 3},
        {"q?.dds", 0, 2}}},
      {"e /", {{"y.dds", 0, 2}}},
      {"ok/", {{"z.dds", 1, 3}}}};
  const auto sentinels = [](const std::string& work) {
    makeFolders(work, {"extract"});
    writeFile(work + "/extract/x.dds", "mine");
    writeFile(work + "/x.dds", "outside");
  };
  const std::vector<std::string> paths{
      "..\\x.dds",   "a\\..\\..\\x.dds", "nul.dds", "CON.dds", "com1.dds",
      "lpt\xb9.dds", "a:b.dds",          "x.dds.",  "q?.dds",  "e /y.dds"};
  std::string out = "Arbo read\n";
  const bool windows = platform::windowsPaths();
  for (const std::string& path : paths)
    out += "extract : extract/" + path +
           (windows ? " ... failed\n" : " ... done\n");
  out += "extract : extract/ok/z.dds ... done\n";
  Tree made{{"x.dds", "outside"},
            {"extract/", ""},
            {"extract/x.dds", "mine"},
            {"extract/ok/", ""},
            {"extract/ok/z.dds", "ghi"}};
  std::vector<std::string> errors;
  if (windows) {
    for (const std::string& path : paths)
      errors.push_back("extract/" + path + ": unsafe path on Windows (");
  } else {
    for (const std::string& path : paths)
      made["extract/" + path] = path == "x.dds." ? "ghi" : "01";
    // The directories are made as they are named: without a final "/",
    // the file's name is joined to the folder's.
    for (const char* folder :
         {"extract/..\\/", "extract/a\\..\\..\\/", "extract/e /"})
      made[folder] = "";
  }
  run(
      {"names that Windows reads as separators, devices, drives, streams or "
       "other names",
       archiveOf(directories, kData),
       sentinels,
       {},
       out,
       windows ? 1 : 0,
       made,
       errors});
}

TEST(HostileArchive, AZeroByteNeverCutsAPathShort) {
  // Cut at the zero byte, both paths would name the files made beforehand.
  const RunCase c{
      "a zero byte ending a directory and starting a name",
      {archiveOf({{"d", {{std::string("\0.dds", 5), 0, 2}}},
                  {std::string("e\0", 2), {{"x.dds", 0, 2}}}},
                 kData),
       [](const std::string& work) {
         makeFolders(work, {"extract"});
         writeFile(work + "/extract/d", "mine d");
         writeFile(work + "/extract/e", "mine e");
       }},
      {"Arbo read\n"
       "extract : extract/d\\x00.dds ... failed\n"
       "extract : extract/e\\x00x.dds ... failed\n",
       1,
       {{"extract/", ""}, {"extract/d", "mine d"}, {"extract/e", "mine e"}},
       {"extract/d\\x00.dds: unsafe path",
        "extract/e\\x00x.dds: unsafe path"}}};
  run(c);
}

TEST(HostileArchive, ControlAndHighBytesAreKeptInFilesAndEscapedInPrint) {
  // Windows refuses the control characters; its names for the high bytes
  // are those of the Latin-1 rule (windows_names.h), shown as UTF-8.
  const bool windows = platform::windowsPaths();
  Tree made{{"extract/", ""},
            {fixture::listedAs("extract/\x80\xff/"), ""},
            {fixture::listedAs("extract/\x80\xff/\xfe\xc0\xaf.dds"), "ghi"}};
  if (!windows) {
    made["extract/c\n\x7f/"] = "";
    made["extract/c\n\x7f/\r\x01\t.dds"] = "01";
  }
  std::vector<std::string> errors{
      "extract/\\x1b]2;owned\\x07/../e.dds: unsafe path"};
  if (windows)
    errors.push_back(
        "extract/c\\x0a\\x7f/\\x0d\\x01\\x09.dds: unsafe "
        "path on Windows (a control character");
  const RunCase c{
      "line ends, DEL, ESC and BEL sequences, bytes 0x80 and up",
      {archiveOf({{"c\n\x7f/", {{"\r\x01\t.dds", 0, 2}}},
                  {"\x1b]2;owned\x07/../", {{"e.dds", 0, 2}}},
                  {"\x80\xff/", {{"\xfe\xc0\xaf.dds", 1, 3}}}},
                 kData)},
      {std::string("Arbo read\n"
                   "extract : extract/c\\x0a\\x7f/\\x0d\\x01\\x09.dds ... ") +
           (windows ? "failed" : "done") +
           "\n"
           "extract : extract/\\x1b]2;owned\\x07/../e.dds ... failed\n"
           "extract : extract/\x80\xff/\xfe\xc0\xaf.dds ... done\n",
       1, made, errors}};
  run(c);
}

TEST(HostileArchive, NamesOfTheLongestLengthTheIndexCanHold) {
  const std::string directory = std::string(254, 'd') + "/";  // 255 bytes
  const std::string name = std::string(251, 'n') + ".dds";    // 255 bytes
  const std::string joined(255, 'e');  // no final "/": joined to the name
  const RunCase c{
      "255-byte directory and file names",
      {archiveOf({{directory, {{name, 0, 2}}}, {joined, {{"x.dds", 1, 3}}}},
                 kData)},
      {"Arbo read\n"
       "extract : extract/" +
           directory + name +
           " ... done\n"
           "extract : extract/" +
           joined + "x.dds ... failed\n",
       1,
       {{"extract/", ""},
        {"extract/" + directory, ""},
        {"extract/" + directory + name, "01"},
        // The folder was made before the file's 260-byte name was refused.
        {"extract/" + joined + "/", ""}},
       {"cannot create extract/" + joined + "x.dds: File name too long"}}};
  run(c);
}

TEST(HostileArchive, OnlyTheLow28BitsOfAStoredOffsetCount) {
  const std::vector<fixture::RawDirectory> directories{
      {"o/",
       {{"top.dds", 0x80000001, 3},         // 16 bytes in
        {"high.dds", 0xf0000000, 2},        // 0
        {"minus16.dds", 0xffffffff, 4}}}};  // 16 bytes before the data area
  const std::string archive = archiveOf(directories, kData);
  const std::size_t dataStart =
      (fixture::rawIndex(directories).size() + 15) / 16 * 16;
  const RunCase c{
      "offsets with the top bits set",
      {archive},
      {"Arbo read\n"
       "extract : extract/o/top.dds ... done\n"
       "extract : extract/o/high.dds ... done\n"
       "extract : extract/o/minus16.dds ... done\n",
       0,
       {{"extract/", ""},
        {"extract/o/", ""},
        {"extract/o/top.dds", "ghi"},
        {"extract/o/high.dds", "01"},
        {"extract/o/minus16.dds", archive.substr(dataStart - 16, 4)}}}};
  run(c);
}

TEST(HostileArchive, DataMissingFromTheArchiveLeavesAnExistingFileAsItWas) {
  std::string cut = fixture::buildArchive(
      {{"m/", "first.dds", "0123"}, {"m/", "last.dds", "abcdefgh"}});
  cut.pop_back();
  const auto keepMine = [](const std::string& work) {
    makeFolders(work, {"extract", "extract/m"});
    writeFile(work + "/extract/m/huge.dds", "mine");
    writeFile(work + "/extract/m/last.dds", "mine");
  };
  const RunCase cases[] = {
      {"size 0xFFFFFFFF with the data missing",
       {archiveOf({{"m/", {{"huge.dds", 0, 0xffffffff}, {"ok.dds", 0, 2}}}},
                  kData),
        keepMine},
       {"Arbo read\n"
        "extract : extract/m/huge.dds ... failed\n"
        "extract : extract/m/ok.dds ... done\n",
        1,
        {{"extract/", ""},
         {"extract/m/", ""},
         {"extract/m/huge.dds", "mine"},
         {"extract/m/last.dds", "mine"},
         {"extract/m/ok.dds", "01"}},
        {"extract/m/huge.dds: data at bytes"}}},
      {"the last entry's data runs one byte past the end",
       {cut, keepMine},
       {"Arbo read\n"
        "extract : extract/m/first.dds ... done\n"
        "extract : extract/m/last.dds ... failed\n",
        1,
        {{"extract/", ""},
         {"extract/m/", ""},
         {"extract/m/huge.dds", "mine"},
         {"extract/m/last.dds", "mine"},
         {"extract/m/first.dds", "0123"}},
        {"extract/m/last.dds: data at bytes"}}},
  };
  for (const RunCase& c : cases) run(c);
}

TEST(HostileArchive, AnIndexCutOffAnywhereExtractsNothing) {
  archive::PlannedArchive plan;
  std::string error;
  ASSERT_TRUE(archive::planArchive(std::string(3, '\0'),
                                   {{"tex/", "a.dds", 4}, {"ui/", "b.dds", 3}},
                                   &plan, &error));
  const std::string full = fixture::buildArchive(
      {{"tex/", "a.dds", "0123"}, {"ui/", "b.dds", "abc"}});
  ASSERT_EQ(full.compare(0, plan.index.size(), plan.index), 0);

  std::deque<std::string> names;  // the rows point at their names
  std::vector<RunCase> cases;
  for (std::size_t at = 0; at <= plan.index.size(); ++at) {
    const std::string archive = full.substr(0, at);
    const bool complete = at == plan.index.size();
    names.push_back("the archive cut after " + std::to_string(at) + " bytes");
    RunCase c{names.back().c_str(),
              {archive,
               [archive](const std::string& work) {
                 // The empty archive is written here: an empty row means none.
                 if (archive.empty())
                   writeFile(work + "/" + fixture::kArchiveName, "");
                 makeFolders(work, {"extract", "extract/tex"});
                 writeFile(work + "/extract/tex/a.dds", "mine");
               }},
              {complete ? "Arbo read\n"
                          "extract : extract/tex/a.dds ... failed\n"
                          "extract : extract/ui/b.dds ... failed\n"
                        : "Arbo read\n",
               1,
               {{"extract/", ""},
                {"extract/tex/", ""},
                {"extract/tex/a.dds", "mine"}},
               {complete ? "extract/ui/b.dds: data at bytes"
                         : "00000000.cfsi: index truncated: the file ends at "
                           "byte " +
                               std::to_string(at) + ", inside "}}};
    if (archive.empty()) c.expected.made[fixture::kArchiveName] = "";
    cases.push_back(c);
  }
  for (const RunCase& c : cases) run(c);
}

TEST(HostileArchive, AFifoAtAnOutputPathFailsItsEntryWithoutWaiting) {
  if (!fixture::systemHasFifos()) GTEST_SKIP() << "no FIFOs on this system";
  const RunCase c{
      "a FIFO that no one reads from at an output path",
      {archiveOf({{"f/", {{"x.dds", 0, 2}, {"y.dds", 1, 3}}}}, kData),
       [](const std::string& work) {
         makeFolders(work, {"extract", "extract/f"});
         fixture::makeFifo(work + "/extract/f/x.dds");
       }},
      {"Arbo read\n"
       "extract : extract/f/x.dds ... failed\n"
       "extract : extract/f/y.dds ... done\n",
       1,
       {{"extract/", ""},
        {"extract/f/", ""},
        {"extract/f/x.dds", "<special>"},
        {"extract/f/y.dds", "ghi"}},
       {"cannot create extract/f/x.dds: a FIFO, device or socket has that "
        "name; left as it is"}}};
  run(c);
}

TEST(HostileArchive, WhatHasAnOutputPathIsReplacedNeverWrittenThrough) {
  // Symbolic links where a test can make them (not on Windows); hard links
  // and files everywhere.
  const bool links = fixture::systemHasSymbolicLinks();
  if (!links)
    fixture::passOver("symbolic links at output paths",
                      "does not let a test make symbolic links");
  const std::string name255 = std::string(251, 'n') + ".dds";
  struct Target {
    std::string name;
    std::string link;  // a symbolic link's target, or "" for none
  };
  std::vector<Target> targets = {{"hard-archive.dds", ""},
                                 {"hard-other.dds", ""},
                                 {name255, ""},
                                 {"empty.dds", ""}};
  if (links) {
    targets.push_back({"soft-archive.dds", "../../00000000.cfsi"});
    targets.push_back({"soft-other.dds", "../../other.txt"});
    targets.push_back({"full.dds", "/dev/full"});
    targets.push_back({"dangling.dds", "nowhere"});
  }
  fixture::RawDirectory directory{"t/", {}};
  std::string out = "Arbo read\n";
  Tree made{{"other.txt", "other"}, {"extract/", ""}, {"extract/t/", ""}};
  for (const Target& target : targets) {
    // Sizes 2, 3, ...; the empty file last of all as 0.
    const std::uint32_t size =
        target.name == "empty.dds"
            ? 0
            : static_cast<std::uint32_t>(directory.files.size() + 2);
    directory.files.push_back({target.name, 0, size});
    const bool theArchive = target.name == "hard-archive.dds";
    out += "extract : extract/t/" + target.name +
           (theArchive ? " ... failed\n" : " ... done\n");
    made["extract/t/" + target.name] = kData.substr(0, size);
  }
  const std::string archive = archiveOf({directory}, kData);
  made["extract/t/hard-archive.dds"] = archive;  // checked unchanged
  const RunCase c{
      "links and files at output paths, to the archive and elsewhere",
      {archive,
       [&](const std::string& work) {
         makeFolders(work, {"extract", "extract/t"});
         writeFile(work + "/other.txt", "other");
         const std::string at = work + "/extract/t/";
         fixture::makeHardLink(work + "/" + fixture::kArchiveName,
                               at + "hard-archive.dds");
         fixture::makeHardLink(work + "/other.txt", at + "hard-other.dds");
         writeFile(at + name255, "an older and longer file");
         writeFile(at + "empty.dds", "not empty yet");
         for (const Target& target : targets)
           if (!target.link.empty())
             fixture::makeSymbolicLink(target.link, at + target.name);
       }},
      {out,
       1,
       made,
       {"extract/t/hard-archive.dds: is the archive being extracted, not "
        "overwritten"}}};
  run(c);
}

TEST(HostileArchive, NoSymbolicLinkBelowTheOutputFolderIsFollowed) {
  if (!fixture::systemHasSymbolicLinks())
    GTEST_SKIP() << "a test cannot make symbolic links on this system";
  const auto linkAt = [](const std::string& work, const std::string& target,
                         const std::string& at) {
    fixture::makeSymbolicLink(target, work + "/" + at);
  };
  const std::string through =
      " is a symbolic link, which is not followed; nothing was written "
      "through it";
  const RunCase cases[] = {
      {"links to folders outside, inside, in the directory and in the name",
       {archiveOf({{"out/", {{"x.dds", 0, 2}}},
                   {"a/b/c/", {{"y.dds", 0, 2}}},
                   {"in/", {{"z.dds", 0, 2}}},
                   {"real/", {{"l/w.dds", 0, 2}, {"ok.dds", 1, 3}}}},
                  kData),
        [&](const std::string& work) {
          makeFolders(work, {"elsewhere", "extract", "extract/a",
                             "extract/real", "extract/real/sub"});
          linkAt(work, "../elsewhere", "extract/out");
          linkAt(work, "../../elsewhere", "extract/a/b");
          linkAt(work, "real", "extract/in");
          linkAt(work, "sub", "extract/real/l");
        }},
       {"Arbo read\n"
        "extract : extract/out/x.dds ... failed\n"
        "extract : extract/a/b/c/y.dds ... failed\n"
        "extract : extract/in/z.dds ... failed\n"
        "extract : extract/real/l/w.dds ... failed\n"
        "extract : extract/real/ok.dds ... done\n",
        1,
        {{"elsewhere/", ""},
         {"extract/", ""},
         {"extract/out", "-> ../elsewhere"},
         {"extract/a/", ""},
         {"extract/a/b", "-> ../../elsewhere"},
         {"extract/in", "-> real"},
         {"extract/real/", ""},
         {"extract/real/sub/", ""},
         {"extract/real/l", "-> sub"},
         {"extract/real/ok.dds", "ghi"}},
        {"extract/out/x.dds: extract/out" + through,
         "extract/a/b/c/y.dds: extract/a/b" + through,
         "extract/in/z.dds: extract/in" + through,
         "extract/real/l/w.dds: extract/real/l" + through}}},
      {"the output folder itself may be a link: it is followed",
       {archiveOf({{"t/", {{"x.dds", 0, 2}}}}, kData),
        [&](const std::string& work) {
          makeFolders(work, {"disk"});
          linkAt(work, "disk", "extract");
        }},
       {"Arbo read\nextract : extract/t/x.dds ... done\n",
        0,
        {{"extract", "-> disk"},
         {"disk/", ""},
         {"disk/t/", ""},
         {"disk/t/x.dds", "01"}}}},
  };
  for (const RunCase& c : cases) run(c);
}

TEST(HostileArchive, AnythingButAFileInPlaceOfTheArchiveIsRefused) {
  using Make = std::function<void(const std::string& archive)>;
  // The run is refused, names the reason, and leaves the thing as it was.
  const auto refusedRun = [](const char* what, Make make,
                             const std::string& shown,
                             const std::string& reason) {
    const std::string archive = fixture::kArchiveName;
    return RunCase{
        what,
        {"", [make, archive](
                 const std::string& work) { make(work + "/" + archive); }},
        {"Impossible d'ouvrir le fichierArbo read\n",
         1,
         {{archive, shown}, {"extract/", ""}},
         {"cannot open 00000000.cfsi: " + reason}}};
  };
  const auto link = [](const char* target) -> Make {
    return [target](const std::string& archive) {
      fixture::makeSymbolicLink(target, archive);
    };
  };
  // A folder in place of the archive is a row of ExtractRun's table.
  std::vector<RunCase> cases;
  if (fixture::systemHasFifos())
    cases.push_back(refusedRun("a FIFO that no one writes to",
                               fixture::makeFifo, "<special>",
                               "not a regular file"));
  else
    fixture::passOver("a FIFO in place of the archive", "has no FIFOs");
  if (!fixture::systemHasSymbolicLinks())
    fixture::passOver("links in place of the archive",
                      "does not let a test make symbolic links");
  else {
    cases.push_back(refusedRun("a link to a device", link("/dev/zero"),
                               "-> /dev/zero", "not a regular file"));
    cases.push_back(
        refusedRun("a link to a folder", link("/"), "-> /", "Is a directory"));
    cases.push_back(refusedRun("a link to nothing", link("missing.cfsi"),
                               "-> missing.cfsi", "No such file or directory"));
  }
  for (const RunCase& c : cases) run(c);
}

}  // namespace
