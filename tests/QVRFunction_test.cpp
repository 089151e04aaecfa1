// The engine's interface as the driver sees it: what readTable returns,
// prints and reports, alignment and text cutting. The index reader itself is
// tested in archive_index_test.cpp.
#include "QVRFunction.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive_builder.h"
#include "same_bytes.h"
#include "scratch.h"

namespace {

struct SplitCase {
  std::string source;
  std::vector<std::string> pieces;
};

TEST(Split, CutsAtEveryDelimiterAndDropsOnlyAnEmptyLastPiece) {
  const SplitCase cases[] = {
      {"", {}},
      {"abc", {"abc"}},
      {"a.b", {"a", "b"}},
      {"a..b", {"a", "", "b"}},
      {".b", {"", "b"}},
      {"a.", {"a"}},
      {"a..", {"a", ""}},
      {".", {""}},
  };
  QVRFunction engine;
  for (const SplitCase& c : cases)
    EXPECT_EQ(engine.split(c.source, '.'), c.pieces) << "'" << c.source << "'";
}

TEST(Split, AppendsBehindWhatTheListHolds) {
  QVRFunction engine;
  std::vector<std::string> pieces{"x"};
  std::vector<std::string>& result = engine.split("extract/tex/", '/', pieces);
  EXPECT_EQ(&result, &pieces);
  EXPECT_EQ(pieces, (std::vector<std::string>{"x", "extract", "tex"}));
}

TEST(DeltaHexaSector, GivesTheDistanceUpToTheNextMultipleOf16) {
  const std::pair<std::int64_t, std::int64_t> cases[] = {
      {0, 0},  {1, 15},  {15, 1},  {16, 0},        {17, 15},       {39, 9},
      {-1, 0}, {-16, 0}, {-17, 0}, {INT64_MAX, 1}, {INT64_MIN, 0},
  };
  QVRFunction engine;
  for (const auto& c : cases)
    EXPECT_EQ(engine.deltaHexaSector(c.first), c.second) << c.first;
}

// Reads |archive| through readTable from a scratch file and returns the
// entries; what it printed goes to |out| and |err|.
struct TableRead {
  std::vector<fileInfo> entries;
  std::int64_t dataStart;
  std::string out, err;
};

// With |filter| set, through readTable's selecting form.
TableRead readTableOf(const std::string& archive,
                      const std::string* filter = nullptr) {
  fixture::ScratchDir dir;
  fixture::writeFile(dir.at("a.cfsi"), archive);
  QVRFunction engine;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  TableRead read;
  read.entries = filter ? engine.readTable(dir.at("a.cfsi"), *filter)
                        : engine.readTable(dir.at("a.cfsi"));
  read.out = testing::internal::GetCapturedStdout();
  read.err = testing::internal::GetCapturedStderr();
  read.dataStart = engine.dataStart;
  return read;
}

TEST(ReadTable, ReturnsTheIndexEntriesAndPrintsNothing) {
  const TableRead read = readTableOf(fixture::workedIndex());
  ASSERT_EQ(read.entries.size(), 2u);
  fixture::expectEntry(read.entries[0], 0, 32, "tex/", "a.dds");
  fixture::expectEntry(read.entries[1], 32, 5, "tex/", "b.txt");
  EXPECT_EQ(read.dataStart, 48);
  EXPECT_EQ(read.out, "");
  EXPECT_EQ(read.err, "");
}

TEST(ReadTable, ReportsAnArchiveThatCannotBeOpened) {
  fixture::ScratchDir dir;
  fixture::makeFolder(dir.at("folder.cfsi"));
  for (const std::string& path :
       {dir.at("missing.cfsi"), dir.at("folder.cfsi")}) {
    QVRFunction engine;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(engine.readTable(path).empty());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Impossible d'ouvrir le fichier");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("extractGameFile: cannot open " + path + ": ", 0), 0u)
        << err;
    EXPECT_EQ(engine.dataStart, -1);
  }
}

TEST(ReadTable, RefusesAnIndexCutOffAnywhere) {
  const std::string whole = fixture::rawIndex(
      {{"tex/", {{"a.dds", 0, 4}, {"b.txt", 1, 3}}}, {"x/", {{"c", 2, 1}}}});
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const TableRead read = readTableOf(whole.substr(0, length));
    EXPECT_TRUE(read.entries.empty()) << length;
    EXPECT_EQ(read.dataStart, -1) << length;
    EXPECT_EQ(read.out, "") << length;
    // One line: the archive, the reader's reason, and what the run does.
    const std::string reason = "index truncated: the file ends at byte " +
                               std::to_string(length) + ", inside ";
    EXPECT_EQ(read.err.rfind("extractGameFile: ", 0), 0u) << read.err;
    EXPECT_NE(read.err.find("a.cfsi: " + reason), std::string::npos)
        << read.err;
    const std::string end = "; nothing will be extracted\n";
    EXPECT_TRUE(
        read.err.size() > end.size() &&
        read.err.compare(read.err.size() - end.size(), end.size(), end) == 0)
        << read.err;
    EXPECT_EQ(std::count(read.err.begin(), read.err.end(), '\n'), 1)
        << read.err;
  }
  EXPECT_EQ(readTableOf(whole).entries.size(), 3u);
}

TEST(ReadTable, KeepsOnlyTheEntriesTheFilterSelects) {
  const std::string archive =
      fixture::rawIndex({{"tex/", {{"a.dds", 0, 4}, {"b.txt", 1, 3}}},
                         {"x/", {{"c.dds.", 2, 1}, {"d.DDS", 3, 1}}}},
                        "", "\x01\x02\x03") +
      std::string(9, '\x07');
  const std::string dds = "dds";
  const TableRead read = readTableOf(archive, &dds);
  ASSERT_EQ(read.entries.size(), 2u);
  fixture::expectEntry(read.entries[0], 0, 4, "tex/", "a.dds");
  fixture::expectEntry(read.entries[1], 32, 1, "x/", "c.dds.");
  EXPECT_EQ(read.dataStart, readTableOf(archive).dataStart);
  EXPECT_EQ(read.err, "");

  const std::string none;
  EXPECT_EQ(readTableOf(archive, &none).entries.size(), 4u);
}

TEST(ReadTable, TheListHasNoRoomBeyondItsEntries) {
  // 300 entries, of which 150 are selected: a list grown one entry at a
  // time would have room for 256.
  std::vector<fixture::RawFile> files;
  for (int i = 0; i < 300; ++i)
    files.push_back({std::to_string(i) + (i % 2 ? ".dds" : ".bin"), 0, 0});
  const std::string archive =
      fixture::rawIndex({{"a/", {files.begin(), files.begin() + 200}},
                         {"b/", {files.begin() + 200, files.end()}}});
  const std::string dds = "dds";
  const TableRead read = readTableOf(archive, &dds);
  EXPECT_EQ(read.entries.size(), 150u);
  EXPECT_EQ(read.entries.capacity(), read.entries.size());
  const TableRead all = readTableOf(archive);
  EXPECT_EQ(all.entries.size(), 300u);
  EXPECT_EQ(all.entries.capacity(), all.entries.size());
}

TEST(ReadTable, FilteringRefusesACutOffIndexAlike) {
  const std::string whole = fixture::rawIndex(
      {{"tex/", {{"a.dds", 0, 4}, {"b.txt", 1, 3}}}, {"x/", {{"c", 2, 1}}}});
  const std::string dds = "dds";
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const TableRead filtered = readTableOf(whole.substr(0, length), &dds);
    const TableRead all = readTableOf(whole.substr(0, length));
    EXPECT_TRUE(filtered.entries.empty()) << length;
    EXPECT_EQ(filtered.dataStart, -1) << length;
    EXPECT_EQ(filtered.out, all.out) << length;
    // The two reads happen in different scratch folders.
    const auto afterPath = [](const std::string& err) {
      const std::size_t at = err.find("a.cfsi: ");
      return at == std::string::npos ? err : err.substr(at);
    };
    EXPECT_NE(filtered.err.find("index truncated"), std::string::npos);
    EXPECT_EQ(afterPath(filtered.err), afterPath(all.err)) << length;
  }
}

}  // namespace
