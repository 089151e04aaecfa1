// Picking entries by path pattern, through cfsi list and cfsi extract.
#include "entry_selection.h"

#include <gtest/gtest.h>

#include "archive_builder.h"
#include "cfsi_process.h"
#include "scratch.h"

namespace {

using fixture::Tree;

// Names that wildcards treat in different ways: nested folders, extensions,
// wildcard bytes in a name, and a directory without its final "/".
const std::vector<fixture::Entry> kEntries = {
    {"textures/", "stone.dds", "stone"},
    {"textures/", "grass.dds", "grass"},
    {"textures/", "readme.txt", "readme"},
    {"textures/ui/", "icon.dds", "icon"},
    {"ui/", "layout.xml", "<ui/>"},
    {"", "a[1].dds", "a1"},
    {"", "star*.bin", "*"},
    {"tex", "a.dds", "texa"},
};

std::vector<std::string> withExcludes(
    std::vector<std::string> args, const std::vector<std::string>& excludes) {
  for (const std::string& exclude : excludes) {
    args.push_back("--exclude");
    args.push_back(exclude);
  }
  return args;
}

TEST(EntrySelection, PatternsNameWholePathsAndExcludesLeaveEntriesOut) {
  struct Case {
    std::vector<std::string> patterns;
    std::vector<std::string> excludes;
    std::vector<std::string> listed;  // in index order
    std::string err = "";             // standard error, exactly
  };
  const Case cases[] = {
      {{"textures/*"},
       {},
       {"textures/stone.dds", "textures/grass.dds", "textures/readme.txt",
        "textures/ui/icon.dds"}},
      {{"*.dds"},
       {},
       {"textures/stone.dds", "textures/grass.dds", "textures/ui/icon.dds",
        "a[1].dds", "texa.dds"}},
      {{"textures/?????.dds"},
       {},
       {"textures/stone.dds", "textures/grass.dds"}},
      {{"*/ui/*"}, {}, {"textures/ui/icon.dds"}},
      {{"ui/*"}, {}, {"ui/layout.xml"}},  // whole path: not textures/ui/
      {{"[!t]*"}, {}, {"ui/layout.xml", "a[1].dds", "star*.bin"}},
      {{"*[xy][mz]?"}, {}, {"ui/layout.xml"}},
      {{"textures/ui/icon.dds"}, {}, {"textures/ui/icon.dds"}},
      {{"texa.dds"}, {}, {"texa.dds"}},  // "tex" + "a.dds"
      {{"a[1].dds"}, {}, {"a[1].dds"}},  // a name names itself
      {{"a\\[1].dds"}, {}, {"a[1].dds"}},
      {{"star\\*.bin"}, {}, {"star*.bin"}},
      {{"ui/*", "*.txt", "*.xml"},
       {},  // index order, each entry once
       {"textures/readme.txt", "ui/layout.xml"}},
      {{}, {"*.dds"}, {"textures/readme.txt", "ui/layout.xml", "star*.bin"}},
      {{"textures/*"},
       {"*/ui/*", "*.txt"},
       {"textures/stone.dds", "textures/grass.dds"}},
      // A pattern whose entries are all excluded did match: no complaint.
      {{"*.txt"}, {"*.txt"}, {}},
      {{"*.xml", "*.wav", "TEXTURES/*"},
       {},
       {"ui/layout.xml"},
       "cfsi: *.wav: no entry matches\ncfsi: TEXTURES/*: no entry matches\n"},
      {{"\x1b[2J"}, {}, {}, "cfsi: \\x1b[2J: no entry matches\n"},
  };
  fixture::ScratchDir work;
  fixture::writeFile(work.at("a.cfsi"), fixture::buildArchive(kEntries));
  for (const Case& c : cases) {
    std::vector<std::string> args{"list", "a.cfsi"};
    args.insert(args.end(), c.patterns.begin(), c.patterns.end());
    args = withExcludes(args, c.excludes);
    std::string call;
    for (const std::string& arg : args) call += arg + " ";
    SCOPED_TRACE(call);
    const auto result = fixture::runCfsiProcess(work.path(), args);
    std::vector<std::string> listed;
    for (std::size_t at = 0; at < result.out.size();) {
      const std::size_t end = result.out.find('\n', at);
      listed.push_back(result.out.substr(at + 12, end - at - 12));
      at = end + 1;
    }
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitStatus, c.err.empty() ? 0 : 1);
  }
}

TEST(EntrySelection, AnIncompleteIndexListsWhatPatternsNameAndBlamesNoPattern) {
  const std::string archive = fixture::buildArchive(kEntries);
  fixture::ScratchDir work;
  // Cut inside the record of "ui/", after the textures.
  fixture::writeFile(work.at("cut.cfsi"),
                     archive.substr(0, archive.find("layout.xml")));
  const auto result = fixture::runCfsiProcess(
      work.path(), {"list", "cut.cfsi", "*.dds", "*.xml"});
  EXPECT_EQ(result.out,
            "         5  textures/stone.dds\n"
            "         5  textures/grass.dds\n"
            "         4  textures/ui/icon.dds\n");
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err.find("no entry matches"), std::string::npos)
      << result.err;
}

TEST(EntrySelection, ExtractTakesNamedEntriesWhateverTheirExtension) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
    Tree made;  // below the output folder "out"
    std::string err;
    int status;
  };
  const Case cases[] = {
      {"patterns take every extension",
       {"textures/ui/*", "*.xml"},
       {{"textures/", ""},
        {"textures/ui/", ""},
        {"textures/ui/icon.dds", "icon"},
        {"ui/", ""},
        {"ui/layout.xml", "<ui/>"}},
       "cfsi: 2 files, 9 bytes extracted to out/, 0 failed\n",
       0},
      {"--ext narrows what patterns name",
       {"textures/*", "--ext", "txt"},
       {{"textures/", ""}, {"textures/readme.txt", "readme"}},
       "cfsi: 1 file, 6 bytes extracted to out/, 0 failed\n",
       0},
      {"--all is what patterns imply",
       {"ui/*", "--all"},
       {{"ui/", ""}, {"ui/layout.xml", "<ui/>"}},
       "cfsi: 1 file, 5 bytes extracted to out/, 0 failed\n",
       0},
      {"an exclude alone keeps the default extension",
       {"--exclude", "textures/*"},
       // "tex" + "a.dds" makes its folder "tex" too, as extraction does.
       {{"a[1].dds", "a1"}, {"tex/", ""}, {"texa.dds", "texa"}},
       "cfsi: 2 files, 6 bytes extracted to out/, 0 failed\n",
       0},
      {"a pattern naming nothing fails the run, the rest is extracted",
       {"*.xml", "*.wav"},
       {{"ui/", ""}, {"ui/layout.xml", "<ui/>"}},
       "cfsi: *.wav: no entry matches\n"
       "cfsi: 1 file, 5 bytes extracted to out/, 0 failed\n",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    fixture::writeFile(work.at("a.cfsi"), fixture::buildArchive(kEntries));
    std::vector<std::string> args{"extract", "a.cfsi", "-o", "out"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = fixture::runCfsiProcess(work.path(), args);
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(fixture::treeOf(work.at("out")), c.made);
  }
}

}  // namespace
