// cfsi pack run as a process: archives from folder trees, repacks with
// --like, and every refusal. (cfsi_pack_posix_test.cpp has the cases that
// act on the running process.)
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "archive_builder.h"
#include "archive_records.h"
#include "platform.h"
#include "process.h"
#include "same_bytes.h"
#include "sample.h"
#include "scratch.h"

namespace {

using fixture::Entry;
using fixture::RawDirectory;
using fixture::Tree;

fixture::ProcessResult cfsi(const std::string& workDir,
                            const std::vector<std::string>& args,
                            long fileSizeLimit = -1) {
  fixture::ProcessOptions options;
  options.args = args;
  options.fileSizeLimit = fileSizeLimit;
  return fixture::runProcess(CFSI_BINARY, workDir, options);
}

// Writes the files of |entries| below |root|, making their folders.
void makeTree(const std::string& root, const std::vector<Entry>& entries) {
  Tree tree;
  for (const Entry& entry : entries)
    tree[entry.directory + entry.name] = entry.bytes;
  fixture::writeTree(root, tree);
}

// Only the files of a tree, by relative path: what an archive can hold.
Tree filesOf(const std::string& root) {
  Tree files;
  for (const auto& item : fixture::treeOf(root))
    if (item.first.back() != '/') files.insert(item);
  return files;
}

std::vector<Entry> manyFiles(const std::string& directory, int count) {
  std::vector<Entry> entries;
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d.dds", i);
    entries.push_back({directory, name, std::string(i % 23, 'a' + i % 26)});
  }
  return entries;
}

struct TreeCase {
  const char* what;
  std::vector<Entry> files;  // in the bytewise order of their paths
};

const TreeCase kTrees[] = {
    {"an empty tree", {}},
    {"files directly in the folder and in nested folders",
     {{"", "readme.txt", "hello"},
      {"tex/", "a.dds", std::string(17, 'a')},
      {"tex/ui/", "b.dds", std::string(32, 'b')},
      {"tex/ui/", "empty.dds", ""}}},
    {"paths whose bytewise order interleaves folders",
     {{"", "C", "upper"},  // not "B": Windows takes it for "b",
      {"", "a.txt", "dot before slash"},
      {"a/", "x", "in a"},
      {"", "b", "after a/"},
      // Windows forbids the control character; there the Latin-1 name is
      // read by the name rule, and packed as UTF-8.
      {"\xc3\xa9t\xc3\xa9/",
       platform::windowsPaths() ? "caf\xe9.dds" : "caf\xe9 \x1b.dds",
       "foreign bytes"}}},
    {"a folder of more than 255 files", manyFiles("big/", 300)},
};

TEST(CfsiPack, WritesTheLayoutOfTheProjectsWriterForAnyTree) {
  for (const TreeCase& c : kTrees) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    makeTree(work.at("in"), c.files);
    const auto result = cfsi(work.path(), {"pack", "in", "-o", "out.cfsi"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "");
    // Three zero bytes, the files in path order, records split at 255,
    // 16-byte aligned data with zero gaps: exactly what buildArchive makes,
    // under the names the system's listing gives (UTF-8 on Windows).
    std::vector<Entry> listed = c.files;
    for (Entry& entry : listed) {
      entry.directory = fixture::listedAs(entry.directory);
      entry.name = fixture::listedAs(entry.name);
    }
    EXPECT_PRED_FORMAT2(fixture::SameBytes,
                        fixture::readFile(work.at("out.cfsi")),
                        fixture::buildArchive(listed));
  }
}

TEST(CfsiPack, AFolderOfMoreThan255FilesTakesSeveralRecordsOfItsName) {
  fixture::ScratchDir work;
  std::vector<Entry> files = manyFiles("big/", 600);
  files.push_back({"more/", "x", "x"});
  makeTree(work.at("in"), files);
  ASSERT_EQ(cfsi(work.path(), {"pack", "in", "-o", "out.cfsi"}).exitStatus, 0);
  archive::StoredIndex stored;
  std::string error;
  ASSERT_EQ(archive::readStoredIndex(work.at("out.cfsi"), &stored, &error),
            archive::IndexStatus::kComplete);
  std::vector<std::pair<std::string, std::size_t>> records;
  for (const auto& record : stored.records)
    records.push_back({record.name, record.files.size()});
  EXPECT_EQ(records,
            (std::vector<std::pair<std::string, std::size_t>>{
                {"big/", 255}, {"big/", 255}, {"big/", 90}, {"more/", 1}}));
}

TEST(CfsiPack, WhatIsPackedExtractsToTheSameFiles) {
  for (const TreeCase& c : kTrees) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    makeTree(work.at("in"), c.files);
    ASSERT_EQ(cfsi(work.path(), {"pack", "in", "-o", "a.cfsi"}).exitStatus, 0);
    const auto result =
        cfsi(work.path(), {"extract", "a.cfsi", "--all", "-o", "out"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(filesOf(work.at("out")), filesOf(work.at("in")));
  }
}

TEST(CfsiPack, SkipsLinksAndSpecialFilesWithAWarning) {
  fixture::ScratchDir work;
  if (!fixture::systemHasSymbolicLinks() || !fixture::systemHasFifos())
    GTEST_SKIP() << "needs symbolic links and FIFOs, which a test cannot make "
                    "on this system";
  makeTree(work.at("in"), {{"", "real.dds", "real"}, {"sub/", "x", "x"}});
  fixture::makeSymbolicLink("real.dds", work.at("in/link.dds"));
  fixture::makeSymbolicLink("sub", work.at("in/folder-link"));
  fixture::makeSymbolicLink("/etc", work.at("in/outside"));
  fixture::makeFifo(work.at("in/pipe"));
  const auto result = cfsi(work.path(), {"pack", "in", "-o", "out.cfsi"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_PRED_FORMAT2(
      fixture::SameBytes, fixture::readFile(work.at("out.cfsi")),
      fixture::buildArchive({{"", "real.dds", "real"}, {"sub/", "x", "x"}}));
  for (const char* warning :
       {"cfsi: warning: in/link.dds: symbolic link, skipped\n",
        "cfsi: warning: in/folder-link: symbolic link, skipped\n",
        "cfsi: warning: in/outside: symbolic link, skipped\n",
        "cfsi: warning: in/pipe: named pipe, skipped\n"})
    EXPECT_NE(result.err.find(warning), std::string::npos) << warning;
}

// Makes a sparse file of |size| bytes: large for the index, free on disk.
TEST(CfsiPack, RefusesWhatItCannotWriteAndLeavesNoArchive) {
  struct Case {
    const char* what;
    std::function<void(const fixture::ScratchDir&)> prepare;
    std::vector<std::string> args;
    std::string complaint;
    long fileSizeLimit = -1;
  };
  std::vector<Case> cases = {
      {"a folder path over 255 bytes",
       [](const fixture::ScratchDir& work) {
         makeTree(work.at("in"),
                  {{std::string(200, 'd') + "/" + std::string(60, 'e') + "/",
                    "f", "f"}});
       },
       {"pack", "in", "-o", "out.cfsi"},
       "directory name over 255 bytes"},
      {"a file of 4 GiB",
       [](const fixture::ScratchDir& work) {
         fixture::makeFolder(work.at("in"));
         fixture::writeSparseFile(work.at("in/huge"), std::uint64_t{1} << 32);
       },
       {"pack", "in", "-o", "out.cfsi"},
       "file of 4 GiB or more: huge"},
      {"data past what an offset can reach",
       [](const fixture::ScratchDir& work) {
         fixture::makeFolder(work.at("in"));
         fixture::writeSparseFile(work.at("in/a-first"),
                                  std::uint64_t{1} << 31);
         fixture::writeFile(work.at("in/b-late"), "x");
       },
       {"pack", "in", "-o", "out.cfsi"},
       "offset can reach: b-late"},
      {"an archive inside the folder being packed",
       [](const fixture::ScratchDir& work) {
         makeTree(work.at("in"), {{"", "a", "a"}});
       },
       {"pack", "in/", "-o", "in/../in/out.cfsi"},
       "inside in/"},
      {"a repack over the archive it repacks",
       [](const fixture::ScratchDir& work) {
         makeTree(work.at("in"), {{"", "a", "a"}});
         fixture::writeFile(work.at("out.cfsi"),
                            fixture::buildArchive({{"", "a", "old"}}));
       },
       {"pack", "in", "-o", "./out.cfsi", "--like", "out.cfsi"},
       "is the archive being repacked"},
      {"no such folder",
       {},
       {"pack", "in", "-o", "out.cfsi"},
       "cannot read in: No such file or directory"},
      {"a write that fails half-way",
       [](const fixture::ScratchDir& work) {
         makeTree(work.at("in"), {{"", "big", std::string(8000, 'b')}});
       },
       {"pack", "in", "-o", "out.cfsi"},
       "File too large; no archive written",
       4096},
  };
  // Where "\\" separates folders too (elsewhere it is part of a name).
  if (platform::windowsPaths())
    cases.push_back({"an archive inside the folder, by Windows' separator",
                     [](const fixture::ScratchDir& work) {
                       makeTree(work.at("in"), {{"", "a", "a"}});
                     },
                     {"pack", "in", "-o", "in\\out.cfsi"},
                     "inside in"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.fileSizeLimit >= 0 && !fixture::systemHasFileSizeLimits()) {
      fixture::passOver(c.what, "cannot limit a process's file sizes");
      continue;
    }
    fixture::ScratchDir work;
    if (c.prepare) c.prepare(work);
    const bool hadOutput = fixture::exists(work.at("out.cfsi"));
    if (!hadOutput) fixture::writeFile(work.at("out.cfsi"), "kept as it was");
    const std::string before = fixture::readFile(work.at("out.cfsi"));
    const std::vector<std::string> outside = fixture::namesIn(work.path());

    const auto result = cfsi(work.path(), c.args, c.fileSizeLimit);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err.rfind("cfsi: ", 0), 0u);
    EXPECT_NE(result.err.find(c.complaint), std::string::npos) << result.err;
    // The file at the output path is untouched and no temporary is left.
    EXPECT_EQ(fixture::readFile(work.at("out.cfsi")), before);
    EXPECT_EQ(fixture::namesIn(work.path()), outside);
  }
}

TEST(CfsiPack, WritesOnlyRegularFilesAndLeavesAnythingElseAsItWas) {
  struct Case {
    const char* what;
    std::function<bool(const std::string& output)> make;  // false: skip
    std::string kind;
  };
  const auto link = [](const std::string& target) {
    return [target](const std::string& output) {
      if (!fixture::systemHasSymbolicLinks()) return false;
      fixture::makeSymbolicLink(target, output);
      return true;
    };
  };
  const Case cases[] = {
      {"a symbolic link to a file", link("kept"), "symbolic link"},
      {"a symbolic link to nothing", link("nowhere"), "symbolic link"},
      {"a symbolic link to a device", link("/dev/null"), "symbolic link"},
      {"a named pipe",
       [](const std::string& output) {
         if (!fixture::systemHasFifos()) return false;
         fixture::makeFifo(output);
         return true;
       },
       "named pipe"},
      {"a socket", fixture::makeSocket, "socket"},
      {"a device (where this user may make one)", fixture::makeCharacterDevice,
       "character device"},
      {"a folder",
       [](const std::string& output) {
         fixture::makeFolder(output);
         return true;
       },
       "folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    makeTree(work.at("in"), {{"", "a.dds", "aaaa"}});
    fixture::writeFile(work.at("kept"), "kept as it was");
    if (!c.make(work.at("out.cfsi"))) {
      fixture::passOver(c.what, "or this user cannot make it");
      continue;
    }
    const Tree before = fixture::treeOf(work.path());
    const auto result = cfsi(work.path(), {"pack", "in", "-o", "out.cfsi"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "cfsi: out.cfsi: is a " + c.kind +
                              ", not a regular file; it is left as it is; "
                              "no archive written\n");
    EXPECT_EQ(fixture::treeOf(work.path()), before);
  }
}

TEST(CfsiPack, ANameOf255BytesPacksIntoAnOutputNameOf255Bytes) {
  fixture::ScratchDir work;
  const std::string name(255, 'n');
  const std::string output(250, 'o');
  makeTree(work.at("in"), {{"", name, "long"}});
  const auto result = cfsi(work.path(), {"pack", "in", "-o", output + ".cfsi"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(fixture::readFile(work.at(output + ".cfsi")),
            fixture::buildArchive({{"", name, "long"}}));
  // Over a file already there too, which takes another way to its name.
  const auto again = cfsi(work.path(), {"pack", "in", "-o", output + ".cfsi"});
  EXPECT_EQ(again.exitStatus, 0) << again.err;
  EXPECT_EQ(fixture::namesIn(work.path()),
            (std::vector<std::string>{"in", output + ".cfsi"}));
}

TEST(CfsiRepack, ExtractThenRepackGivesTheArchiveBackByteForByte) {
  const std::string data = std::string("AAAAA") + std::string(11, '\0') + "BBB";
  struct Case {
    const char* what;
    std::string archive;
  };
  const Case cases[] = {
      {"the sample archive", fixture::sampleArchive()},
      {"a folder of more than 255 files",
       fixture::buildArchive(manyFiles("m/", 300), "LDB")},
      {"records of one name in a row, a named terminator, odd leading bytes",
       fixture::withDataArea(
           fixture::rawIndex({{"t/", {{"a.dds", 0, 5}}}, {"t/", {{"b", 1, 3}}}},
                             "END", "\x01\x02\x03"),
           data)},
      {"a directory without a final slash and ignored offset bits",
       fixture::withDataArea(
           fixture::rawIndex({{"tex", {{"a.dds", 0xf0000000u, 5}}},
                              {"", {{"z", 0x10000001u, 3}}}}),
           data)},
      {"an entry with an unsafe path, taken from the archive itself",
       fixture::withDataArea(fixture::rawIndex({{"../", {{"up.dds", 0, 5}}},
                                                {"ok/", {{"b", 1, 3}}}}),
                             data)},
      {"an archive of no entries", fixture::buildArchive({})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    fixture::writeFile(work.at("old.cfsi"), c.archive);
    cfsi(work.path(), {"extract", "old.cfsi", "--all", "-o", "x"});
    const auto result = cfsi(
        work.path(), {"pack", "x", "-o", "new.cfsi", "--like", "old.cfsi"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_PRED_FORMAT2(fixture::SameBytes,
                        fixture::readFile(work.at("new.cfsi")), c.archive);
  }
}

TEST(CfsiRepack, AnEditedFileReplacesItsEntryAndEveryOtherEntryStays) {
  const std::vector<Entry> old = {
      {"tex/", "a.dds", std::string(40, 'a')},
      {"tex/", "b.dds", std::string(7, 'b')},
      {"ui/", "c.xml", "<c/>"},
      {"", "d.bin", std::string(33, 'd')},
      {"t\xe9x/", "caf\xe9.dds", "latin-1"},  // not UTF-8: Windows' name rule
  };
  struct Case {
    const char* what;
    std::size_t edited;
    std::string bytes;
  };
  const Case cases[] = {
      {"the first entry grows", 0, std::string(100, 'A')},
      {"a middle entry shrinks", 1, "B"},
      {"an entry becomes empty", 2, ""},
      {"an entry changes its bytes only", 3, std::string(33, 'D')},
      {"an entry whose names are not UTF-8", 4, "edited"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    fixture::writeFile(work.at("old.cfsi"), fixture::buildArchive(old, "LDB"));
    ASSERT_EQ(cfsi(work.path(), {"extract", "old.cfsi", "--all", "-o", "x"})
                  .exitStatus,
              0);
    const Entry& edited = old[c.edited];
    fixture::writeFile(work.at("x/") + edited.directory + edited.name, c.bytes);
    const auto result = cfsi(
        work.path(), {"pack", "x", "-o", "new.cfsi", "--like", "old.cfsi"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;

    // The same index, entry for entry, with only the edited bytes changed:
    // what the writer makes for the old entries with the one edit.
    std::vector<Entry> expected = old;
    expected[c.edited].bytes = c.bytes;
    EXPECT_PRED_FORMAT2(fixture::SameBytes,
                        fixture::readFile(work.at("new.cfsi")),
                        fixture::buildArchive(expected, "LDB"));
    ASSERT_EQ(cfsi(work.path(), {"extract", "new.cfsi", "--all", "-o", "y"})
                  .exitStatus,
              0);
    EXPECT_EQ(filesOf(work.at("y")), filesOf(work.at("x")));
  }
}

TEST(CfsiRepack, AnEditedFileIsFoundUnderAnySpellingOfItsEntrysPath) {
  const std::string data = std::string(16, 'a') + std::string(16, 'b');
  const std::string old =
      fixture::withDataArea(fixture::rawIndex({{"./", {{"a.dds", 0, 16}}},
                                               {"/d//", {{"b.dds", 1, 16}}},
                                               {"d", {{"/./b.dds", 1, 16}}}}),
                            data);
  fixture::ScratchDir work;
  fixture::writeFile(work.at("old.cfsi"), old);
  makeTree(work.at("x"), {{"", "a.dds", "edited a"}, {"d/", "b.dds", "new b"}});
  const auto result =
      cfsi(work.path(), {"pack", "x", "-o", "new.cfsi", "--like", "old.cfsi"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  // d/b.dds is the file of two entries, as extraction would have made it.
  EXPECT_EQ(
      result.err,
      "cfsi: 3 entries packed into new.cfsi: 3 from x, 0 from old.cfsi\n");
  ASSERT_EQ(
      cfsi(work.path(), {"extract", "new.cfsi", "--all", "-o", "y"}).exitStatus,
      0);
  EXPECT_EQ(filesOf(work.at("y")),
            (Tree{{"a.dds", "edited a"}, {"d/b.dds", "new b"}}));
}

TEST(CfsiRepack, MissingFilesComeFromTheOldArchiveAndUnlistedOnesAreNotAdded) {
  const std::vector<Entry> old = {{"t/", "a.dds", "aaaa"},
                                  {"t/", "b.dds", "bb"}};
  fixture::ScratchDir work;
  fixture::writeFile(work.at("old.cfsi"), fixture::buildArchive(old));
  makeTree(
      work.at("x"),
      {{"t/", "b.dds", "new b"}, {"t/", "extra.dds", "e"}, {"", "top", "t"}});
  const auto result =
      cfsi(work.path(), {"pack", "x", "-o", "new.cfsi", "--like", "old.cfsi"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_PRED_FORMAT2(fixture::SameBytes,
                      fixture::readFile(work.at("new.cfsi")),
                      fixture::buildArchive(
                          {{"t/", "a.dds", "aaaa"}, {"t/", "b.dds", "new b"}}));
  EXPECT_NE(result.err.find("cfsi: warning: x/t/extra.dds: not listed in "
                            "old.cfsi, not added\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("cfsi: warning: x/top: not listed"),
            std::string::npos);
  EXPECT_NE(result.err.find("cfsi: 2 entries packed into new.cfsi: 1 from x, "
                            "1 from old.cfsi\n"),
            std::string::npos);
}

TEST(CfsiRepack, RefusesAnOldArchiveItCannotCopyFrom) {
  const std::string index = fixture::rawIndex({{"t/", {{"a.dds", 4, 8}}}});
  struct Case {
    const char* what;
    std::string old;
    std::string complaint;
  };
  const Case cases[] = {
      {"data outside the old archive and no file to replace it",
       fixture::withDataArea(index, "short"),
       "entry 1 (t/a.dds) of old.cfsi: its data lies outside the archive and "
       "x has no file for it; no archive written"},
      {"an incomplete index", index.substr(0, 12),
       "old.cfsi: index truncated: the file ends at byte 12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    fixture::writeFile(work.at("old.cfsi"), c.old);
    fixture::makeFolder(work.at("x"));
    const auto result = cfsi(
        work.path(), {"pack", "x", "-o", "new.cfsi", "--like", "old.cfsi"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err.rfind("cfsi: " + c.complaint, 0), 0u) << result.err;
    EXPECT_FALSE(fixture::exists(work.at("new.cfsi")));
  }
}

}  // namespace
