#include "indexed_archive.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "archive_builder.h"
#include "platform.h"
#include "scratch.h"

namespace {

TEST(IndexedArchive, OpensOnlyTheFileTheIndexWasReadFrom) {
  const std::string archive = fixture::buildArchive({{"d/", "a", "bytes"}});
  struct Case {
    const char* what;
    std::string replacement;  // empty: the archive stays
    bool sameFileAppended;
    bool opens;
  };
  const Case cases[] = {
      {"the same file", "", false, true},
      {"another file put in its place, of the same length",
       fixture::buildArchive({{"d/", "a", "BYTES"}}), false, false},
      {"the same file grown since", "", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir work;
    const std::string path = work.at("a.cfsi");
    fixture::writeFile(path, archive);
    archive::Index index;
    std::string error;
    ASSERT_EQ(archive::readIndex(path, &index, &error),
              archive::IndexStatus::kComplete);
    if (!c.replacement.empty()) {
      fixture::writeFile(work.at("new"), c.replacement);
      fixture::renameFile(work.at("new"), path);
    }
    if (c.sameFileAppended) {
      std::FILE* file = std::fopen(path.c_str(), "ab");
      ASSERT_NE(file, nullptr);
      std::fputs("more", file);
      std::fclose(file);
    }
    std::int64_t size = -1;
    const int fd = openIndexedArchive(path, index, &size, &error);
    EXPECT_EQ(fd >= 0, c.opens) << error;
    if (fd >= 0) {
      EXPECT_EQ(size, static_cast<std::int64_t>(archive.size()));
      platform::closeFile(fd);
    } else {
      EXPECT_NE(error.find("is no longer the file whose index was read"),
                std::string::npos)
          << error;
    }
  }
}

TEST(IndexedArchive, SaysWhyAnArchiveCannotBeOpened) {
  fixture::ScratchDir work;
  archive::Index index;
  std::string error;
  std::int64_t size = -1;
  EXPECT_EQ(openIndexedArchive(work.at("none\x1b.cfsi"), index, &size, &error),
            -1);
  EXPECT_EQ(error.rfind("cannot open ", 0), 0u) << error;
  // Windows forbids the control character in a name: its reason differs.
  EXPECT_NE(
      error.find(platform::windowsPaths() ? "none\\x1b.cfsi: "
                                          : "none\\x1b.cfsi: No such file"),
      std::string::npos)
      << error;
}

}  // namespace
