// EntryExtractor called entry by entry, the way a program built on it does,
// with the tree changed between calls to see which folders it tests again.
#include "extractor.h"

#include <gtest/gtest.h>

#include <memory>

#include "archive_builder.h"
#include "archive_index.h"
#include "scratch.h"

namespace {

// An archive of |entries| in a scratch folder, and an extractor on it that
// writes below out/ in the same folder.
class ExtractorTest : public testing::Test {
 protected:
  void open(const std::vector<fixture::Entry>& entries) {
    fixture::writeFile(scratch_.at("a.cfsi"), fixture::buildArchive(entries));
    archive::Index index;
    std::string error;
    ASSERT_EQ(archive::readIndex(scratch_.at("a.cfsi"), &index, &error),
              archive::IndexStatus::kComplete)
        << error;
    entries_ = index.entries;
    extractor_.reset(new EntryExtractor(scratch_.at("a.cfsi"), index.dataStart));
    root_ = scratch_.at("out/");
    fixture::makeFolder(root_);
  }

  bool extract(std::size_t i) {
    std::string error;
    return extractor_->extract(entries_[i], root_, &error);
  }

  fixture::ScratchDir scratch_;
  std::vector<fileInfo> entries_;
  std::unique_ptr<EntryExtractor> extractor_;
  std::string root_;
};

TEST_F(ExtractorTest, AFolderThatCouldNotBeMadeIsTestedAndMadeAgain) {
  open({{"p/", "x.dds", "abcd"}});
  fixture::writeFile(root_ + "p", "in the way");
  EXPECT_FALSE(extract(0));
  fixture::removeFile(root_ + "p");
  EXPECT_TRUE(extract(0));
  EXPECT_EQ(fixture::readFile(root_ + "p/x.dds"), "abcd");
}

TEST_F(ExtractorTest, AFolderFoundOrMadeIsNotTestedAgain) {
  // Entries share folders, so the extractor keeps what it learnt: a folder
  // taken away behind its back is not made again, and the file's creation
  // fails instead.
  open({{"a/", "x.dds", "abcd"}, {"a/", "y.dds", "ef"}});
  EXPECT_TRUE(extract(0));
  fixture::removeFile(root_ + "a/x.dds");
  fixture::removeFolder(root_ + "a");
  std::string error;
  EXPECT_FALSE(extractor_->extract(entries_[1], root_, &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos)
      << error;
}

TEST_F(ExtractorTest, FilesLandInTheirOwnFolderWhenEntriesMoveBetweenFolders) {
  open({{"a/", "1.dds", "1"},
        {"b/", "2.dds", "2"},
        {"a/", "3.dds", "3"},
        {"a", "4.dds", "4"},          // goes in out/, as out/a4.dds
        {"b/", "c/5.dds", "5"},       // out/b/c is no folder: fails
        {"a//", "6.dds", "6"},        // the folder out/a, spelt otherwise
        {"b/", "7.dds", "7"}});
  for (std::size_t i = 0; i < entries_.size(); ++i)
    EXPECT_EQ(extract(i), i != 4) << i;
  EXPECT_EQ(fixture::treeOf(root_),
            (fixture::Tree{{"a/", ""}, {"a/1.dds", "1"}, {"a/3.dds", "3"},
                           {"a/6.dds", "6"}, {"a4.dds", "4"}, {"b/", ""},
                           {"b/2.dds", "2"}, {"b/7.dds", "7"}}));
}

}  // namespace
