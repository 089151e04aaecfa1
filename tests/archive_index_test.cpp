// The index reader, called directly: what it reads from every shape of
// index, what its visitor sees, and the rule that decides whether an entry's
// data may be read at all.
#include "archive_index.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <utility>
#include <vector>

#include "archive_builder.h"
#include "same_bytes.h"
#include "scratch.h"

namespace {

using fixture::RawFile;

struct IndexRead {
  archive::IndexStatus status;
  archive::Index index;
  std::string error;
};

// Reads |archive| with readIndex from a scratch file, keeping what |keep|
// takes (every entry when it is empty).
IndexRead readIndexOf(const std::string& archive,
                      const std::function<bool(const fileInfo&)>& keep = {}) {
  fixture::ScratchDir dir;
  fixture::writeFile(dir.at("a.cfsi"), archive);
  IndexRead read;
  read.status =
      archive::readIndex(dir.at("a.cfsi"), &read.index, &read.error, keep);
  return read;
}

bool sameEntries(const std::vector<fileInfo>& a,
                 const std::vector<fileInfo>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].offset != b[i].offset || a[i].size != b[i].size ||
        a[i].directory != b[i].directory || a[i].name != b[i].name)
      return false;
  return true;
}

TEST(ReadIndex, ReadsTheWorkedIndex) {
  const IndexRead read = readIndexOf(fixture::workedIndex());
  ASSERT_EQ(read.status, archive::IndexStatus::kComplete) << read.error;
  ASSERT_EQ(read.index.entries.size(), 2u);
  fixture::expectEntry(read.index.entries[0], 0, 32, "tex/", "a.dds");
  fixture::expectEntry(read.index.entries[1], 32, 5, "tex/", "b.txt");
  EXPECT_EQ(read.index.indexEnd, 39);
  EXPECT_EQ(read.index.dataStart, 48);
  EXPECT_EQ(read.index.archiveSize, 39);
}

TEST(ReadIndex, PlacesTheDataAreaAtTheNextMultipleOf16AfterTheIndex) {
  struct Case {
    const char* what;
    std::string archive;
    std::int64_t indexEnd;
    std::int64_t dataStart;
  };
  const Case cases[] = {
      {"smallest archive", std::string(5, '\0'), 5, 16},
      {"first record terminates", fixture::rawIndex({}, "abc"), 8, 16},
      {"index ends on 16", fixture::rawIndex({}, "elevenbytes"), 16, 16},
      {"index ends on 17",
       fixture::rawIndex({{"d", {{"", 0, 0}}}}) + std::string(20, '\x07'), 17,
       32},
  };
  for (const Case& c : cases) {
    const IndexRead read = readIndexOf(c.archive);
    EXPECT_EQ(read.status, archive::IndexStatus::kComplete) << c.what;
    EXPECT_EQ(read.index.indexEnd, c.indexEnd) << c.what;
    EXPECT_EQ(read.index.dataStart, c.dataStart) << c.what;
    EXPECT_EQ(read.index.archiveSize,
              static_cast<std::int64_t>(c.archive.size()))
        << c.what;
  }
}

TEST(ReadIndex, StopsAtTheFirstRecordWithNoFiles) {
  // Bytes after the terminator would make a valid record; they are data.
  const std::string first = fixture::rawIndex({{"a/", {{"b.dds", 0, 1}}}});
  const std::string trailing = fixture::rawIndex({{"x/", {{"y.dds", 0, 1}}}});
  const IndexRead read = readIndexOf(first + trailing.substr(3));
  ASSERT_EQ(read.status, archive::IndexStatus::kComplete);
  ASSERT_EQ(read.index.entries.size(), 1u);
  EXPECT_EQ(read.index.entries[0].name, "b.dds");
  EXPECT_EQ(read.index.indexEnd, static_cast<std::int64_t>(first.size()));
}

TEST(ReadIndex, TakesNamesAndLengthsByteForByte) {
  const std::string longName(255, 'n');
  const std::string highName(200, '\xe9');
  const std::string zeroName("a\0b.dds", 7);
  const IndexRead read = readIndexOf(fixture::rawIndex({
      {"", {{"", 0, 0}}},
      {std::string(130, 'd'), {{longName, 0, 0}, {highName, 0, 0}}},
      {"same/", {{zeroName, 0, 0}}},
      {"same/", {{"x", 0, 0}}},
  }));
  ASSERT_EQ(read.status, archive::IndexStatus::kComplete);
  ASSERT_EQ(read.index.entries.size(), 5u);
  fixture::expectEntry(read.index.entries[0], 0, 0, "", "");
  fixture::expectEntry(read.index.entries[1], 0, 0, std::string(130, 'd'),
                       longName);
  fixture::expectEntry(read.index.entries[2], 0, 0, std::string(130, 'd'),
                       highName);
  fixture::expectEntry(read.index.entries[3], 0, 0, "same/", zeroName);
  fixture::expectEntry(read.index.entries[4], 0, 0, "same/", "x");
}

TEST(ReadIndex, ScalesOffsetsTo16ByteUnitsWithinASigned32BitValue) {
  const std::pair<std::uint32_t, std::int32_t> cases[] = {
      {0x00000001, 16},  {0x07ffffff, 2147483632}, {0x08000000, INT32_MIN},
      {0x0fffffff, -16}, {0x10000001, 16},         {0xffffffff, -16},
  };
  std::vector<RawFile> files;
  for (const auto& c : cases) files.push_back({"f", c.first, 0xffffffff});
  const IndexRead read = readIndexOf(fixture::rawIndex({{"d/", files}}));
  ASSERT_EQ(read.index.entries.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(read.index.entries[i].offset, cases[i].second) << i;
    EXPECT_EQ(read.index.entries[i].size, 0xffffffffu) << i;
  }
}

TEST(ReadIndex, RefusesWhatCannotBeOpenedAsAFileWithTheReason) {
  fixture::ScratchDir dir;
  fixture::makeFolder(dir.at("folder.cfsi"));
  std::vector<std::pair<std::string, std::string>> cases = {
      {"missing.cfsi", "No such file or directory"},
      {"folder.cfsi", "Is a directory"},
  };
  if (fixture::systemHasFifos()) {
    // No writer ever comes: the open must not wait for one.
    fixture::makeFifo(dir.at("fifo.cfsi"));
    cases.push_back({"fifo.cfsi", "not a regular file"});
  } else {
    fixture::passOver("a FIFO in place of the archive", "has no FIFOs");
  }
  for (const auto& c : cases) {
    archive::Index index;
    index.entries.push_back({});  // what was there before is dropped
    std::string error;
    EXPECT_EQ(archive::readIndex(dir.at(c.first), &index, &error),
              archive::IndexStatus::kUnopenable)
        << c.first;
    EXPECT_EQ(error, c.second) << c.first;
    EXPECT_TRUE(index.entries.empty()) << c.first;
    EXPECT_EQ(index.dataStart, -1) << c.first;
    EXPECT_EQ(index.archiveSize, -1) << c.first;
  }
}

TEST(ReadIndex, AnIndexCutOffAnywhereIsTruncatedAndKeepsOnlyWholeRecords) {
  const std::string whole = fixture::rawIndex(
      {{"tex/", {{"a.dds", 0, 4}, {"b.txt", 1, 3}}}, {"x/", {{"c", 2, 1}}}});
  const IndexRead full = readIndexOf(whole);
  ASSERT_EQ(full.index.entries.size(), 3u);
  std::size_t before = 0;
  for (std::size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    const IndexRead read = readIndexOf(whole.substr(0, length));
    EXPECT_EQ(read.status, archive::IndexStatus::kTruncated);
    EXPECT_EQ(read.error.rfind("index truncated: the file ends at byte " +
                                   std::to_string(length) + ", inside ",
                               0),
              0u)
        << read.error;
    EXPECT_EQ(read.index.dataStart, -1);
    EXPECT_EQ(read.index.indexEnd, -1);
    EXPECT_EQ(read.index.archiveSize, static_cast<std::int64_t>(length));
    // The records read in full, and never more from fewer bytes.
    const std::vector<fileInfo>& got = read.index.entries;
    ASSERT_LE(got.size(), full.index.entries.size());
    EXPECT_TRUE(sameEntries(got, {full.index.entries.begin(),
                                  full.index.entries.begin() + got.size()}));
    EXPECT_GE(got.size(), before);
    before = got.size();
  }
}

TEST(ReadIndex, SaysWhichRecordTheFileEndsIn) {
  const std::string whole = fixture::rawIndex(
      {{"tex/", {{"a.dds", 0, 4}, {"b.txt", 1, 3}}}, {"x/", {{"c", 2, 1}}}});
  const std::pair<std::size_t, const char*> cases[] = {
      {2, "the leading bytes"},
      {3, "directory record 1"},
      {8, "directory record 1"},  // its file count is missing
      {9, "file record 1 of directory record 1"},
      {30, "file record 2 of directory record 1"},
      {whole.size() - 1, "directory record 3"},
  };
  for (const auto& c : cases) {
    const IndexRead read = readIndexOf(whole.substr(0, c.first));
    EXPECT_EQ(read.error, "index truncated: the file ends at byte " +
                              std::to_string(c.first) + ", inside " + c.second)
        << c.first;
  }
}

TEST(ReadIndex, KeepsOnlyWhatTheFilterTakesAndReadsTheRestAllTheSame) {
  const std::string archive =
      fixture::rawIndex({{"tex/", {{"a.dds", 0, 4}, {"b.txt", 1, 3}}},
                         {"x/", {{"c.dds.", 2, 1}, {"d.DDS", 3, 1}}}},
                        "", "\x01\x02\x03") +
      std::string(9, '\x07');
  std::vector<std::string> offered;
  const IndexRead read = readIndexOf(archive, [&](const fileInfo& entry) {
    offered.push_back(entry.directory + entry.name);
    return entry.name.find(".dds") != std::string::npos;
  });
  EXPECT_EQ(offered, (std::vector<std::string>{"tex/a.dds", "tex/b.txt",
                                               "x/c.dds.", "x/d.DDS"}));
  ASSERT_EQ(read.index.entries.size(), 2u);
  fixture::expectEntry(read.index.entries[0], 0, 4, "tex/", "a.dds");
  fixture::expectEntry(read.index.entries[1], 32, 1, "x/", "c.dds.");
  const IndexRead all = readIndexOf(archive);
  EXPECT_EQ(read.status, all.status);
  EXPECT_EQ(read.index.indexEnd, all.index.indexEnd);
  EXPECT_EQ(read.index.dataStart, all.index.dataStart);
}

// Writes down every call a visitor gets, one line each.
class RecordingVisitor : public archive::IndexVisitor {
 public:
  void leadingBytes(const std::string& bytes) override {
    calls.push_back("leading " + bytes);
  }
  void directoryRecord(const std::string& name, unsigned fileCount) override {
    calls.push_back("directory " + name + " " + std::to_string(fileCount));
  }
  void fileRecord(fileInfo& entry, std::uint32_t storedOffset) override {
    calls.push_back("file " + entry.directory + entry.name + " " +
                    std::to_string(storedOffset) + " " +
                    std::to_string(entry.offset) + " " +
                    std::to_string(entry.size));
    entry.name = "taken";  // the reader must not read it back
    entry.directory.clear();
  }
  void terminatingRecord(const std::string& name) override {
    calls.push_back("end " + name);
  }

  std::vector<std::string> calls;
};

TEST(IndexVisitor, SeesEveryRecordAsStoredInFileOrder) {
  fixture::ScratchDir dir;
  fixture::writeFile(
      dir.at("a.cfsi"),
      fixture::rawIndex({{"tex", {{"a.dds", 0xf0000001u, 5}, {"b", 2, 0}}},
                         {"tex", {{"c", 0x08000000u, 7}}}},
                        "END", "LDB"));
  RecordingVisitor visitor;
  archive::IndexPositions positions;
  std::string error;
  ASSERT_EQ(archive::readIndex(dir.at("a.cfsi"), &visitor, &positions, &error),
            archive::IndexStatus::kComplete)
      << error;
  EXPECT_EQ(
      visitor.calls,
      (std::vector<std::string>{
          "leading LDB", "directory tex 2", "file texa.dds 4026531841 16 5",
          "file texb 2 32 0", "directory tex 1",
          "file texc 134217728 -2147483648 7", "end END"}));
}

TEST(IndexVisitor, SeesOnlyTheRecordsReadInFullBeforeACut) {
  const std::string whole =
      fixture::rawIndex({{"d/", {{"a", 1, 2}, {"b", 3, 4}}}}, "", "xyz");
  fixture::ScratchDir dir;
  const std::pair<std::size_t, std::vector<std::string>> cases[] = {
      {2, {}},
      {3, {"leading xyz"}},
      {8, {"leading xyz", "directory d/ 2"}},
      {whole.size() - 1,
       {"leading xyz", "directory d/ 2", "file d/a 1 16 2", "file d/b 3 48 4"}},
  };
  for (const auto& c : cases) {
    fixture::writeFile(dir.at("a.cfsi"), whole.substr(0, c.first));
    RecordingVisitor visitor;
    archive::IndexPositions positions;
    std::string error;
    EXPECT_EQ(
        archive::readIndex(dir.at("a.cfsi"), &visitor, &positions, &error),
        archive::IndexStatus::kTruncated)
        << c.first;
    EXPECT_EQ(visitor.calls, c.second) << c.first;
  }
}

TEST(DataInsideArchive, TakesExactlyTheRangesWithinTheFile) {
  struct Case {
    const char* what;
    std::int32_t offset;
    std::uint32_t size;
    bool inside;
  };
  // Data area at 48 in a file of 100 bytes: bytes 48 to 99 are data.
  const Case cases[] = {
      {"the whole data area", 0, 52, true},
      {"ending on the last byte", 48, 4, true},
      {"one byte past the end", 48, 5, false},
      {"starting at the end", 52, 1, false},
      {"reaching back into the index", -48, 10, true},
      {"starting before the file", -64, 10, false},
      {"the most negative offset", INT32_MIN, 1, false},
      {"the largest size", 0, 0xffffffff, false},
      {"size 0 far past the end", 0x7ffffff0, 0, true},
      {"size 0 before the file", INT32_MIN, 0, true},
  };
  for (const Case& c : cases) {
    const fileInfo entry{c.offset, c.size, "d/", "x.dds"};
    EXPECT_EQ(archive::dataInsideArchive(48, entry, 100), c.inside) << c.what;
  }
}

TEST(ReadAsBefore, SaysWhyALaterPassIsNotTheIndexReadFirst) {
  archive::IndexPositions first;
  first.indexEnd = 39;
  first.dataStart = 48;
  first.archiveSize = 100;
  first.identity = {1, 2};
  archive::IndexPositions longer = first;
  longer.archiveSize = 101;
  const std::string changed = "a.cfsi: the archive changed while it was read";
  struct Case {
    const char* what;
    archive::IndexStatus status;
    std::string passError;
    archive::IndexPositions again;
    bool sameEntries;
    std::string error;  // "" when the pass is the index read first
  };
  const Case cases[] = {
      {"the same index", archive::IndexStatus::kComplete, "", first, true, ""},
      {"another length", archive::IndexStatus::kComplete, "", longer, true,
       changed},
      {"other entries", archive::IndexStatus::kComplete, "", first, false,
       changed},
      {"cut short since", archive::IndexStatus::kTruncated, "index truncated",
       first, true, changed},
      {"a read the system refused", archive::IndexStatus::kReadError,
       "read error at byte 7 in the index: Input/output error", first, true,
       "a.cfsi: read error at byte 7 in the index: Input/output error"},
      {"no longer opened", archive::IndexStatus::kUnopenable,
       "Permission denied", first, true,
       "cannot open a.cfsi: Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_EQ(archive::readAsBefore("a.cfsi", c.status, c.passError, c.again,
                                    c.sameEntries, first, &error),
              c.error.empty());
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
