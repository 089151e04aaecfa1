// EntryExtractor called entry by entry, the way a program built on it does,
// with the tree changed between calls to see which folders it tests again.
#include "extractor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "archive_builder.h"
#include "archive_index.h"
#include "platform.h"
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
    extractor_.reset(new EntryExtractor(scratch_.at("a.cfsi"), index.dataStart,
                                        index.identity, index.archiveSize));
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
  // fails instead. (Windows does not let the folder go while it is held.)
  open({{"a/", "x.dds", "abcd"}, {"a/", "y.dds", "ef"}});
  EXPECT_TRUE(extract(0));
  fixture::removeFile(root_ + "a/x.dds");
  if (platform::windowsPaths()) {
    EXPECT_THROW(fixture::removeFolder(root_ + "a"), std::runtime_error);
    EXPECT_TRUE(extract(1));
    EXPECT_EQ(fixture::treeOf(root_),
              (fixture::Tree{{"a/", ""}, {"a/y.dds", "ef"}}));
    return;
  }
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
        {"a", "4.dds", "4"},     // goes in out/, as out/a4.dds
        {"b/", "c/5.dds", "5"},  // out/b/c is no folder: fails
        {"a//", "6.dds", "6"},   // the folder out/a, spelt otherwise
        {"b/", "7.dds", "7"}});
  for (std::size_t i = 0; i < entries_.size(); ++i)
    EXPECT_EQ(extract(i), i != 4) << i;
  EXPECT_EQ(fixture::treeOf(root_), (fixture::Tree{{"a/", ""},
                                                   {"a/1.dds", "1"},
                                                   {"a/3.dds", "3"},
                                                   {"a/6.dds", "6"},
                                                   {"a4.dds", "4"},
                                                   {"b/", ""},
                                                   {"b/2.dds", "2"},
                                                   {"b/7.dds", "7"}}));
}

TEST_F(ExtractorTest, TheLevelByLevelWalkGivesTheKernelsResultsOnLinks) {
  // Where the kernel cannot resolve beneath a folder, the walk that opens
  // one level at a time must refuse the same links with the same words.
  open({{"l/", "x.dds", "1"},
        {"a/l/b/", "y.dds", "2"},
        {"a/", "l/z.dds", "3"},
        {"a/", "ok.dds", "4"},
        {"new/deep/", "w.dds", "5"}});
  fixture::makeFolder(root_ + "a");
  fixture::makeFolder(scratch_.at("elsewhere"));
  if (!fixture::systemHasSymbolicLinks())
    GTEST_SKIP() << "a test cannot make symbolic links on this system";
  fixture::makeSymbolicLink("../elsewhere", root_ + "l");
  fixture::makeSymbolicLink("../../elsewhere", root_ + "a/l");
  const fixture::Tree before = fixture::treeOf(scratch_.path());
  std::vector<std::string> errors[2];
  for (const bool kernel : {true, false}) {
    SCOPED_TRACE(kernel ? "the kernel's resolution" : "level by level");
    platform::useKernelResolution(kernel);
    // A fresh extractor: nothing learnt by the other run.
    archive::Index index;
    std::string error;
    ASSERT_EQ(archive::readIndex(scratch_.at("a.cfsi"), &index, &error),
              archive::IndexStatus::kComplete);
    EntryExtractor extractor(scratch_.at("a.cfsi"), index.dataStart,
                             index.identity, index.archiveSize);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      error.clear();
      EXPECT_EQ(extractor.extract(entries_[i], root_, &error), i >= 3) << i;
      errors[kernel].push_back(error);
    }
    fixture::Tree expected = before;
    expected["out/a/ok.dds"] = "4";
    expected["out/new/"] = "";
    expected["out/new/deep/"] = "";
    expected["out/new/deep/w.dds"] = "5";
    EXPECT_EQ(fixture::treeOf(scratch_.path()), expected);
    fixture::removeFile(root_ + "new/deep/w.dds");
    fixture::removeFolder(root_ + "new/deep");
    fixture::removeFolder(root_ + "new");
    fixture::removeFile(root_ + "a/ok.dds");
  }
  platform::useKernelResolution(true);
  EXPECT_EQ(errors[0], errors[1]);
  const std::string through =
      " is a symbolic link, which is not followed; nothing was written "
      "through it";
  EXPECT_EQ(errors[1][0], root_ + "l/x.dds: " + root_ + "l" + through);
  EXPECT_EQ(errors[1][1], root_ + "a/l/b/y.dds: " + root_ + "a/l" + through);
  EXPECT_EQ(errors[1][2], root_ + "a/l/z.dds: " + root_ + "a/l" + through);
}

TEST_F(ExtractorTest, AnArchiveReplacedAfterItsIndexWasReadFailsEveryEntry) {
  open({{"a/", "x.dds", "abcd"}, {"a/", "empty.dds", ""}});
  // Closed first: Windows lets no file be renamed over one that is open.
  extractor_.reset();
  archive::Index index;
  std::string error;
  ASSERT_EQ(archive::readIndex(scratch_.at("a.cfsi"), &index, &error),
            archive::IndexStatus::kComplete);
  struct Case {
    const char* what;
    std::function<void()> change;
  };
  const std::string other =
      fixture::buildArchive({{"a/", "x.dds", "EVIL"}, {"a/", "empty.dds", ""}});
  const Case cases[] = {
      {"another file renamed over it, of the same length",
       [&] {
         fixture::writeFile(scratch_.at("b.cfsi"), other);
         fixture::renameFile(scratch_.at("b.cfsi"), scratch_.at("a.cfsi"));
       }},
      {"the same file made longer",
       [&] { fixture::writeFile(scratch_.at("a.cfsi"), other + "more"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::writeFile(scratch_.at("a.cfsi"),
                       fixture::buildArchive(
                           {{"a/", "x.dds", "abcd"}, {"a/", "empty.dds", ""}}));
    ASSERT_EQ(archive::readIndex(scratch_.at("a.cfsi"), &index, &error),
              archive::IndexStatus::kComplete);
    c.change();
    EntryExtractor extractor(scratch_.at("a.cfsi"), index.dataStart,
                             index.identity, index.archiveSize);
    for (const fileInfo& entry : index.entries) {
      EXPECT_FALSE(extractor.extract(entry, root_, &error));
      EXPECT_NE(error.find(" is no longer the file whose index was read"),
                std::string::npos)
          << error;
    }
    EXPECT_EQ(fixture::treeOf(root_), fixture::Tree{});
  }
}

}  // namespace
