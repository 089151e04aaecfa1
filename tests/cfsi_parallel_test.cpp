// cfsi extract with several jobs against one job, run as processes: every
// byte of the results must be the same.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include "archive_builder.h"
#include "platform.h"
#include "process.h"
#include "sample.h"
#include "scratch.h"
#include "seed_archives.h"

namespace {

struct ArchiveCase {
  std::string what;
  std::string archive;
  // Makes what is on disk before the run; gets the work folder.
  std::function<void(const std::string&)> prepare;
};

// Entries whose paths meet in every way the order of extraction decides:
// one path under several spellings with different bytes (the last must
// win), a file where a folder goes and the other way round, a "/" in a
// name whose folder another entry makes, before and after it; interleaved
// with ordinary folders of files so that workers overlap.
std::string meetingPaths() {
  std::vector<fixture::Entry> entries;
  for (int k = 0; k < 40; ++k) {
    const std::string n = std::to_string(k);
    const std::string bytes(static_cast<std::size_t>(k % 7) * 300 + 1,
                            static_cast<char>('a' + k % 26));
    for (int f = 0; f < 12; ++f)
      entries.push_back({"plain" + n + "/", std::to_string(f) + ".dds",
                         bytes + std::to_string(f)});
    entries.push_back({"same/", "f" + std::to_string(k % 5) + ".dds", bytes});
    entries.push_back({"same//./", "f" + std::to_string(k % 5) + ".dds", n});
    entries.push_back({"", "x" + n + ".dds", bytes});
    entries.push_back({"x" + n + ".dds/", "in.dds", n});
    entries.push_back({"y" + n + "/z/", "in.dds", n});
    entries.push_back({"y" + n + "/", "z", bytes});
    entries.push_back({"", "s" + n + "/before.dds", n});
    entries.push_back({"s" + n + "/", "maker.dds", n});
    entries.push_back({"", "s" + n + "/after.dds", bytes});
    entries.push_back({"t", n + ".dds", n});
    entries.push_back({"", "t" + n + ".dds", bytes});
  }
  return fixture::buildArchive(entries);
}

std::vector<ArchiveCase> archiveCases() {
  std::vector<ArchiveCase> cases;
  for (const fuzzseed::Seed& seed : fuzzseed::seedArchives())
    cases.push_back({seed.fileName, seed.bytes, {}});
  cases.push_back({"paths that meet", meetingPaths(), {}});
  const std::string hostile = cases[3].archive;  // hostile.cfsi
  cases.push_back(
      {"hostile.cfsi over files, a FIFO, a folder and a file in the way",
       hostile, [](const std::string& work) {
         fixture::makeFolders(work, {"out", "out/d"});
         fixture::writeFile(work + "/out/d/same.dds", "mine");
         fixture::writeFile(work + "/out/d/past.dds", "mine too");
         // Where the system has no FIFOs, or refuses a control character
         // in a name, the case goes on without that obstacle: the runs are
         // compared with each other.
         if (fixture::systemHasFifos())
           fixture::makeFifo(work + "/out/d/top.dds");
         fixture::makeFolder(work + "/out/d/empty.dds");
         if (!platform::windowsPaths())
           fixture::writeFile(work + "/out/\x1b[31m", "a file, not a folder");
       }});
  return cases;
}

struct Extraction {
  fixture::ProcessResult result;
  fixture::Tree tree;
};

Extraction extract(const ArchiveCase& c,
                   const std::vector<std::string>& options,
                   const std::string& jobs) {
  fixture::ScratchDir work;
  fixture::writeFile(work.at("game.cfsi"), c.archive);
  if (c.prepare) c.prepare(work.path());
  fixture::ProcessOptions process;
  process.args = {"extract", "game.cfsi", "-o", "out", "-j", jobs};
  process.args.insert(process.args.end(), options.begin(), options.end());
  Extraction run;
  run.result = fixture::runProcess(CFSI_BINARY, work.path(), process);
  run.tree = fixture::treeOf(work.path());
  return run;
}

TEST(CfsiParallelExtract, EightJobsGiveExactlyWhatOneJobGives) {
  const std::vector<std::vector<std::string>> optionSets = {
      {"--all", "-v"}, {"-v"}, {}};
  for (const ArchiveCase& c : archiveCases()) {
    for (const std::vector<std::string>& options : optionSets) {
      std::string call;
      for (const std::string& option : options) call += " " + option;
      SCOPED_TRACE(c.what + call);
      const Extraction one = extract(c, options, "1");
      // The same outcome on every try, not just once.
      for (int attempt = 0; attempt < 3; ++attempt) {
        const Extraction eight = extract(c, options, "8");
        EXPECT_EQ(eight.result.exitStatus, one.result.exitStatus);
        EXPECT_EQ(eight.result.out, one.result.out);
        EXPECT_EQ(eight.result.err, one.result.err);
        EXPECT_EQ(eight.tree, one.tree);
      }
    }
  }
}

TEST(CfsiParallelExtract, TheLastOfOnePathsSpellingsWinsWhateverTheJobs) {
  // The comparison above takes one job's result as right; here it is
  // spelled out for the simplest meeting of paths.
  const std::string archive =
      fixture::buildArchive({{"d/", "a.dds", "first"},
                             {"d//", "a.dds", "second"},
                             {"e/", "b.dds", "other"},
                             {"./d/", "a.dds", "third"}});
  for (const char* jobs : {"1", "8"}) {
    SCOPED_TRACE(jobs);
    const Extraction run = extract({"", archive, {}}, {}, jobs);
    EXPECT_EQ(run.result.exitStatus, 0);
    EXPECT_EQ(run.result.err,
              "cfsi: 4 files, 21 bytes extracted to out/, 0 failed\n");
    EXPECT_EQ(run.tree, (fixture::Tree{{"game.cfsi", archive},
                                       {"out/", ""},
                                       {"out/d/", ""},
                                       {"out/d/a.dds", "third"},
                                       {"out/e/", ""},
                                       {"out/e/b.dds", "other"}}));
  }
}

}  // namespace

namespace {

// An archive of |folders|.size() entries "FOLDER/huge.dds" of 3 GiB each,
// all one hole of a sparse file (they cost no disk), so that several
// workers are copying when the run is interrupted.
void writeHugeEntries(const std::string& path,
                      const std::vector<std::string>& folders) {
  std::vector<fixture::RawDirectory> directories;
  for (const std::string& folder : folders)
    directories.push_back({folder, {{"huge.dds", 0, 3u << 30}}});
  fixture::writeFile(path,
                     fixture::withDataArea(fixture::rawIndex(directories), ""));
  fixture::resizeFile(path, std::uint64_t{4} << 30);
}

TEST(CfsiParallelExtract, AnInterruptRemovesEveryFileInProgress) {
  if (!fixture::systemHasStopSignals())
    GTEST_SKIP() << "needs signals to stop the program with";
  const std::vector<std::string> folders = {"a/", "b/", "c/", "d/"};
  fixture::ScratchDir work;
  writeHugeEntries(work.at("game.cfsi"), folders);
  fixture::ProcessOptions options;
  options.args = {"extract", "game.cfsi", "-o", "out", "-j", "4"};
  std::vector<std::string> files;
  for (const std::string& folder : folders)
    files.push_back(work.at("out/" + folder + "huge.dds"));
  options.whileRunning = fixture::signalWhenFilesGrow(files, 2, SIGINT);
  const fixture::ProcessResult result =
      fixture::runProcess(CFSI_BINARY, work.path(), options);
  EXPECT_EQ(result.signal, SIGINT);
  // Folders made stay; nothing else, whole or partial, under any name. (Not
  // read with treeOf: a file left behind could hold gigabytes.)
  std::vector<std::string> left;
  for (const std::string& folder : folders) {
    // A folder not reached before the interrupt is not there.
    if (!fixture::exists(work.at("out/" + folder))) continue;
    for (const std::string& name : fixture::namesIn(work.at("out/" + folder)))
      left.push_back(folder + name);
  }
  EXPECT_EQ(left, std::vector<std::string>());
}

}  // namespace
