#include "output_conflicts.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform.h"

namespace {

fileInfo entry(const std::string& directory, const std::string& name) {
  fileInfo info;
  info.directory = directory;
  info.name = name;
  return info;
}

// What add() returns for each entry of |entries|, in order.
std::vector<std::size_t> waits(const std::vector<fileInfo>& entries) {
  OutputConflicts conflicts(entries.size());
  std::vector<std::size_t> result;
  for (const fileInfo& e : entries) result.push_back(conflicts.add(e));
  return result;
}

TEST(OutputConflicts, EntriesThatMeetWaitForTheLastEarlierOneTheyMeet) {
  struct Case {
    const char* what;
    std::vector<fileInfo> entries;
    std::vector<std::size_t> waits;
  };
  const Case cases[] = {
      {"files of one folder, and folders shared or nested",
       {entry("t/", "a.dds"), entry("t/", "b.dds"), entry("t/u/", "a.dds"),
        entry("t/", "c.dds"), entry("v/", "a.dds")},
       {0, 0, 0, 0, 0}},
      {"one path twice, the second after another entry",
       {entry("t/", "a.dds"), entry("t/", "b.dds"), entry("t/", "a.dds")},
       {0, 0, 1}},
      {"the last of three writers of one path waits for the second",
       {entry("t/", "a.dds"), entry("t/", "a.dds"), entry("x/", "y.dds"),
        entry("t/", "a.dds")},
       {0, 1, 0, 2}},
      {"spellings that name one file",
       {entry("", "a.dds"), entry("./", "a.dds"), entry("d//", "b.dds"),
        entry("d/", "b.dds"), entry("d/./", "./b.dds"), entry("d", "/b.dds")},
       {0, 1, 0, 3, 4, 5}},
      {"a directory without a final slash joins its name",
       {entry("tex", "a.dds"), entry("", "texa.dds")},
       {0, 1}},
      {"case and trailing full stops or spaces, for file systems that fold "
       "them",
       {entry("T/", "A.DDS"), entry("t/", "a.dds."), entry("t./", "a.dds ")},
       {0, 1, 2}},
      {"a file where a later entry makes a folder",
       {entry("", "x"), entry("a/", "b.dds"), entry("x/", "c.dds")},
       {0, 0, 1}},
      {"a folder where a later entry writes a file",
       {entry("x/y/", "c.dds"), entry("a/", "b.dds"), entry("x/", "y")},
       {0, 0, 1}},
      {"a folder made by every entry of a run, then a file in its place",
       {entry("x/", "a.dds"), entry("x/", "b.dds"), entry("x/", "c.dds"),
        entry("", "x")},
       {0, 0, 0, 3}},
      {"a \"/\" inside a name needs a folder it does not make, before and "
       "after the entry that makes it",
       {entry("", "s/a.dds"), entry("s/", "b.dds"), entry("", "s/c.dds")},
       {0, 1, 2}},
      {"two names through one folder they need but do not make",
       {entry("", "s/a.dds"), entry("", "s/b.dds")},
       {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(waits(c.entries), c.waits);
  }
}

TEST(OutputConflicts, NamesTheSystemTakesForOneFileMeet) {
  // A Latin-1 name and its UTF-8 spelling are one Windows name, in any
  // case; on POSIX they are two files, and the two entries need not wait.
  const std::vector<fileInfo> entries = {entry("t/", "caf\xe9.dds"),
                                         entry("T/", "CAF\xc3\x89.DDS")};
  EXPECT_EQ(waits(entries), platform::windowsPaths()
                                ? (std::vector<std::size_t>{0, 1})
                                : (std::vector<std::size_t>{0, 0}));
}

TEST(OutputConflicts, PathsBeyondTheTableSizeShareSlotsButLoseNoWait) {
  // More distinct paths than the table has slots: paths that share a slot
  // are taken for one, which adds waits but never loses one.
  std::vector<fileInfo> entries;
  for (int i = 0; i < 300000; ++i)
    entries.push_back(
        entry("d" + std::to_string(i / 100) + "/", std::to_string(i) + ".dds"));
  entries.push_back(entry("d7/", "712.dds"));
  const std::vector<std::size_t> result = waits(entries);
  EXPECT_GE(result.back(), 713u);
  // Added waits are rare, and seldom for an entry that may still be in
  // progress: one of the few just before.
  std::size_t recent = 0;
  for (std::size_t i = 0; i + 1 < result.size(); ++i)
    recent += result[i] + 64 > i && result[i] != 0 ? 1 : 0;
  EXPECT_LT(recent, result.size() / 1000);
}

}  // namespace
