// cfsi diff run as a process: what one archive adds, removes or changes.
#include "cfsi_diff.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "archive_builder.h"
#include "cfsi_process.h"
#include "sample.h"
#include "scratch.h"

namespace {

using fixture::Entry;

const std::vector<Entry> kOld = {
    {"tex/", "a.dds", "AAAA"},
    {"tex/", "b.dds", "BBBB"},
    {"tex/ui/", "c.dds", "CCCCCC"},
    {"", "notes.txt", "text\r\n"},
};

// Runs "cfsi diff old.cfsi new.cfsi" on the two archives, plus |extra|.
fixture::ProcessResult diffOf(const std::string& oldArchive,
                              const std::string& newArchive,
                              const std::vector<std::string>& extra = {}) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("old.cfsi"), oldArchive);
  fixture::writeFile(work.at("new.cfsi"), newArchive);
  std::vector<std::string> args{"diff", "old.cfsi", "new.cfsi"};
  args.insert(args.end(), extra.begin(), extra.end());
  return fixture::runCfsiProcess(work.path(), args);
}

// Runs cfsi in |work| and expects it to succeed.
void runOk(const fixture::ScratchDir& work,
           const std::vector<std::string>& args) {
  const auto result = fixture::runCfsiProcess(work.path(), args);
  ASSERT_EQ(result.exitStatus, 0) << args[0] << ": " << result.err;
}

TEST(CfsiDiff, ComparesAnArchiveWithItsRepacks) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("game.cfsi"), fixture::sampleArchive());
  runOk(work, {"extract", "game.cfsi", "--all", "-o", "mod"});
  runOk(work, {"pack", "mod", "-o", "same.cfsi", "--like", "game.cfsi"});

  // The same length, one byte changed deep inside a texture.
  std::string icon = fixture::readFile(work.at("mod/textures/ui/icon.dds"));
  icon[200] ^= 1;
  fixture::writeFile(work.at("mod/textures/ui/icon.dds"), icon);
  fixture::writeFile(work.at("mod/textures/readme.txt"), "Edited.\n");
  runOk(work, {"pack", "mod", "-o", "edited.cfsi", "--like", "game.cfsi"});

  // A file added and one removed; pack orders the index by path.
  fixture::writeFile(work.at("mod/textures/new.dds"), "new");
  ASSERT_EQ(std::remove(work.at("mod/ui/layout.xml").c_str()), 0);
  runOk(work, {"pack", "mod", "-o", "moved.cfsi"});

  struct Case {
    const char* newArchive;
    std::string out;
    std::string summary;
    int status;
  };
  const Case cases[] = {
      {"same.cfsi", "", "0 added, 0 removed, 0 changed, 5 unchanged", 0},
      {"edited.cfsi",
       "M textures/readme.txt (61 -> 8 bytes)\n"
       "M textures/ui/icon.dds (384 -> 384 bytes)\n",
       "0 added, 0 removed, 2 changed, 3 unchanged", 1},
      {"moved.cfsi",
       "+ textures/new.dds\n"
       "M textures/readme.txt (61 -> 8 bytes)\n"
       "M textures/ui/icon.dds (384 -> 384 bytes)\n"
       "- ui/layout.xml\n",
       "1 added, 1 removed, 2 changed, 2 unchanged", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.newArchive);
    const auto result = fixture::runCfsiProcess(
        work.path(), {"diff", "game.cfsi", c.newArchive});
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "cfsi: " + c.summary + "\n");
    EXPECT_EQ(result.exitStatus, c.status);
  }
}

TEST(CfsiDiff, MatchesEntriesByOutputPathAndComparesTheirBytes) {
  struct Case {
    const char* what;
    std::vector<Entry> newEntries;
    std::string out;
    int status;
  };
  const Case cases[] = {
      {"the index order alone is no difference",
       {kOld[3], kOld[2], kOld[1], kOld[0]},
       "",
       0},
      {"a directory without its \"/\" gives the same path",
       {{"", "tex/a.dds", "AAAA"},
        {"tex/", "b.dds", "BBBB"},
        {"tex/u", "i/c.dds", "CCCCCC"},
        kOld[3]},
       "",
       0},
      {"bytes differ at the same size",
       {kOld[0], {"tex/", "b.dds", "BBBb"}, kOld[2], kOld[3]},
       "M tex/b.dds (4 -> 4 bytes)\n",
       1},
      {"the later of two entries with one path stands for it",
       {kOld[0], kOld[1], kOld[2], {"", "notes.txt", "other\n"}, kOld[3]},
       "",
       0},
      {"so a later copy that differs is a change",
       {kOld[0], kOld[1], kOld[2], kOld[3], {"", "notes.txt", "other\n"}},
       "M notes.txt (6 -> 6 bytes)\n",
       1},
      {"added and changed in NEW's order, then removed in OLD's",
       {{"z/", "new", "1"}, kOld[3], {"tex/ui/", "c.dds", ""}, {"a/", "n", ""}},
       "+ z/new\n"
       "M tex/ui/c.dds (6 -> 0 bytes)\n"
       "+ a/n\n"
       "- tex/a.dds\n"
       "- tex/b.dds\n",
       1},
      {"names are printed with control bytes escaped",
       {kOld[0], kOld[1], kOld[2], kOld[3], {"d\x1b[2J/", "x\x7f", ""}},
       "+ d\\x1b[2J/x\\x7f\n",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result = diffOf(fixture::buildArchive(kOld),
                               fixture::buildArchive(c.newEntries));
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.err.rfind("cfsi: ", 0), 0u);
  }
}

TEST(CfsiDiff, ComparesEntriesLargerThanItsBuffersToTheLastByte) {
  // Several times the comparison's buffer, differing only in the last byte,
  // and only in the first.
  std::string big(1 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<char>(i * 7 % 251);
  std::string lastDiffers = big, firstDiffers = big;
  lastDiffers.back() ^= 1;
  firstDiffers.front() ^= 1;
  const std::vector<Entry> old = {{"", "big", big}, {"", "first", big}};
  EXPECT_EQ(diffOf(fixture::buildArchive(old), fixture::buildArchive(old)).out,
            "");
  const auto result =
      diffOf(fixture::buildArchive(old),
             fixture::buildArchive(
                 {{"", "big", lastDiffers}, {"", "first", firstDiffers}}));
  EXPECT_EQ(result.out,
            "M big (1048576 -> 1048576 bytes)\n"
            "M first (1048576 -> 1048576 bytes)\n");
  EXPECT_EQ(result.exitStatus, 1);
}

TEST(CfsiDiff, JsonPrintsTheSameChangesAsOneArray) {
  const std::vector<Entry> newEntries = {
      {"", "added", "x"}, {"tex/", "b.dds", "BB"}, {"caf\xe9/", "n", ""}};
  const auto result = diffOf(fixture::buildArchive(kOld),
                             fixture::buildArchive(newEntries), {"--json"});
  EXPECT_EQ(result.out,
            "[\n"
            R"({"change":"+","new_size":1,"path":"added"},)"
            "\n"
            R"({"change":"M","new_size":2,"old_size":4,"path":"tex/b.dds"},)"
            "\n"
            R"({"change":"+","new_size":0,"path":{"hex":"636166e92f6e"}},)"
            "\n"
            R"({"change":"-","old_size":4,"path":"tex/a.dds"},)"
            "\n"
            R"({"change":"-","old_size":6,"path":"tex/ui/c.dds"},)"
            "\n"
            R"({"change":"-","old_size":6,"path":"notes.txt"})"
            "\n"
            "]\n");
  EXPECT_EQ(result.exitStatus, 1);
  const auto same = diffOf(fixture::buildArchive(kOld),
                           fixture::buildArchive(kOld), {"--json"});
  EXPECT_EQ(same.out, "[]\n");
  EXPECT_EQ(same.exitStatus, 0);
}

TEST(CfsiDiff, ArchivesItCannotReadOrCompareAreTroubleWithStatus2) {
  const std::string good = fixture::buildArchive(kOld);
  const std::string index = fixture::rawIndex({{"d/", {{"a", 0, 1}}}});
  // "a" has one byte, of a data area that ends before it.
  const std::string outside = fixture::withDataArea(
      fixture::rawIndex({{"tex/", {{"a.dds", 0, 4}, {"b.dds", 1, 4}}}}),
      "AAAA");
  struct Case {
    const char* what;
    std::string oldArchive, newArchive;  // empty: none
    std::string out;
    std::string complaint;
  };
  const Case cases[] = {
      {"no OLD", "", good, "", "cfsi: cannot open old.cfsi: "},
      {"no NEW", good, "", "", "cfsi: cannot open new.cfsi: "},
      {"an incomplete index", good, index.substr(0, index.size() - 2), "",
       "cfsi: new.cfsi: index truncated"},
      {"data outside the archive at the same size",
       fixture::buildArchive(
           {{"tex/", "a.dds", "AAAA"}, {"tex/", "b.dds", "BBBB"}}),
       outside, "", "cfsi: tex/b.dds: data at bytes "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    if (!c.oldArchive.empty())
      fixture::writeFile(work.at("old.cfsi"), c.oldArchive);
    if (!c.newArchive.empty())
      fixture::writeFile(work.at("new.cfsi"), c.newArchive);
    const auto result =
        fixture::runCfsiProcess(work.path(), {"diff", "old.cfsi", "new.cfsi"});
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err.rfind(c.complaint, 0), 0u) << result.err;
    EXPECT_EQ(result.exitStatus, 2);
  }
}

}  // namespace
