// Where entries go, whether they may, and how their names are printed.
#include "entry_paths.h"

#include <gtest/gtest.h>

#include "platform.h"
#include "report.h"

namespace {

TEST(ExtensionOf, IsTheLastPieceThatSplitGives) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.dds", "dds"},     {"a.b.dds", "dds"}, {".dds", "dds"},
      {"dds", "dds"},       {"a.dds.", "dds"},  {"a.DDS", "DDS"},
      {"a.dds.bak", "bak"}, {"a.dds..", ""},    {".", ""},
      {"..", ""},           {"", ""},           {"a..b", "b"},
  };
  QVRFunction engine;
  for (const auto& c : cases) {
    EXPECT_EQ(extensionOf(c.first), c.second) << "'" << c.first << "'";
    const std::vector<std::string> pieces = engine.split(c.first, '.');
    if (!pieces.empty()) {
      EXPECT_EQ(extensionOf(c.first), pieces.back());
    }
  }
}

TEST(IsSafeEntryPath, RefusesDotDotLevelsAndZeroBytes) {
  struct Case {
    std::string directory, name;
    bool safe;
  };
  const Case cases[] = {
      {"tex/", "a.dds", true},
      {"", "a.dds", true},
      {"/abs/", "a.dds", true},  // the output root goes in front
      {"a..b/", "..c", true},
      {"./", "...", true},
      {"../", "a.dds", false},
      {"a/../../", "x.dds", false},
      {"a/", "..", false},
      {"..", "", false},
      {"", "..", false},
      {"a/..", "/x", false},  // joined, the pieces are "a", "..", "x"
      {"..", "/x.dds", false},
      {"tex/..", "", false},
      {std::string("te\0x/", 5), "a.dds", false},
      {"tex/", std::string("a\0.dds", 6), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(isSafeEntryPath(c.directory, c.name), c.safe)
        << printable(c.directory) << " + " << printable(c.name);
}

TEST(WindowsPathProblem, NamesWhatWindowsWouldReadOtherwise) {
  struct Case {
    std::string directory, name;
    const char* problem;  // a word of the reason, or nullptr: no problem
  };
  const Case cases[] = {
      {"tex/", "a.dds", nullptr},
      {"", "caf\xc3\xa9.dds", nullptr},
      {"a//b/", "c.dds", nullptr},  // empty levels are no names
      {"/abs/", "a.dds", nullptr},
      {"..\\", "a.dds", "separates"},
      {"a\\..\\..\\", "x.dds", "separates"},
      {"tex/", "a\\b", "separates"},
      {"", "a:b", "drive"},
      {"C:/", "x.dds", "drive"},
      {"", "x.dds:stream", "drive"},
      {"", "nul.dds", "device"},
      {"", "CON", "device"},
      {"con/", "a.dds", "device"},
      {"", "Aux.tar.gz", "device"},
      {"", "PRN  .txt", "device"},
      {"", "nul ", "ending"},
      {"", "COM0", "device"},
      {"", "com9.dds", "device"},
      {"", "LPT5", "device"},
      {"", "COM\xc2\xb9", "device"},  // COM with a superscript one
      {"", "lpt\xb2.dds", "device"},  // Latin-1 superscript two
      {"", "LPT\xc2\xb3", "device"},
      {"", "CONIN$", "device"},
      {"", "conout$.log", "device"},
      {"", "COM10", nullptr},
      {"", "COM", nullptr},
      {"", "CONSOLE", nullptr},
      {"", "xnul.dds", nullptr},
      {"", "nul_.dds", nullptr},
      {"", "LPT\xc2\xb4", nullptr},  // an acute accent is no digit
      {"", "x.", "ending"},
      {"", "x ", "ending"},
      {"a./", "b", "ending"},
      {"./", "a.dds", nullptr},  // "." is the folder itself everywhere
      {"a/./", ".", nullptr},
      {"", ". ", "ending"},
      {"", "..x.", "ending"},
      {"", "...", "ending"},
      {"", "a<b", "forbids"},
      {"", "a>b", "forbids"},
      {"", "a\"b", "forbids"},
      {"", "a|b", "forbids"},
      {"", "a?b", "forbids"},
      {"", "a*b", "forbids"},
      {"",
       "a\x01"
       "b",
       "control"},
      {"",
       "a\x1f"
       "b",
       "control"},
      {"",
       "a\x7f"
       "b",
       nullptr},
      {"", std::string(255, 'n'), nullptr},
  };
  for (const Case& c : cases) {
    const std::string problem = windowsPathProblem(c.directory, c.name);
    const std::string label =
        printable(c.directory) + " + " + printable(c.name);
    if (c.problem == nullptr) {
      EXPECT_EQ(problem, "") << label;
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos)
          << label << ": " << problem;
    }
  }
}

TEST(OutputPathOf, JoinsRootDirectoryAndNameWithNothingBetween) {
  const fileInfo entry{0, 0, "tex", "a.dds"};
  EXPECT_EQ(folderPathOf("extract/", entry), "extract/tex");
  EXPECT_EQ(outputPathOf("extract/", entry), "extract/texa.dds");
}

TEST(NormalEntryPath, GivesEverySpellingOfOnePathTheSameForm) {
  const std::pair<std::string, std::string> cases[] = {
      {"a.dds", "a.dds"},
      {"./a.dds", "a.dds"},
      {"/a.dds", "a.dds"},
      {"d//b.dds", "d/b.dds"},
      {"d/./b.dds", "d/b.dds"},
      {"./d/.//./b.dds", "d/b.dds"},
      {"d/", "d"},
      {"d/.", "d"},
      {"", ""},
      {"/", ""},
      {"./", ""},
      {"...", "..."},
      {".a/b.", ".a/b."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(normalEntryPath(c.first), c.second) << c.first;
  EXPECT_EQ(normalOutputPath({0, 0, "./", "a.dds"}),
            normalOutputPath({0, 0, "", "a.dds"}));
  EXPECT_EQ(normalOutputPath({0, 0, "d//", "b.dds"}),
            normalOutputPath({0, 0, "d/", "b.dds"}));
  EXPECT_EQ(normalFolderPath({0, 0, "tex", "a.dds"}), "tex");
}

TEST(NamesAFolder, IsTrueWhenTheNameAddsNoLevelOfItsOwn) {
  struct Case {
    std::string directory, name;
    bool folder;
  };
  const Case cases[] = {
      {"tex/", "a.dds", false}, {"tex", "a.dds", false}, {"", "a", false},
      {"d/", "sub/a", false},   {"tex/", "", true},      {"tex", "", true},
      {"", "", true},           {"d/", ".", true},       {"d/", "sub/", true},
      {"d/", "./", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(namesAFolder({0, 0, c.directory, c.name}), c.folder)
        << c.directory << " + " << c.name;
}

TEST(PathLevels, ParentLevelsAndTheLongestLevel) {
  EXPECT_EQ(parentOf("a/b/c.dds"), "a/b");
  EXPECT_EQ(parentOf("c.dds"), "");
  std::vector<std::string> levels;
  forEachLevel("a/bb/c",
               [&](const std::string& level) { levels.push_back(level); });
  EXPECT_EQ(levels, (std::vector<std::string>{"a", "a/bb", "a/bb/c"}));
  forEachLevel("", [&](const std::string&) { ADD_FAILURE(); });
  EXPECT_EQ(longestLevel("a/bbb/cc"), 3u);
  EXPECT_EQ(longestLevel(""), 0u);
  // As the system counts a name: 150 Cyrillic letters are 300 bytes, and
  // 150 UTF-16 units on Windows, where a name may have 255 of them.
  std::string cyrillic;
  for (int i = 0; i < 150; ++i) cyrillic += "\xd0\xb6";
  EXPECT_EQ(longestLevel("a/" + cyrillic + "/caf\xe9"),
            platform::windowsPaths() ? 150u : 300u);
}

TEST(Printable, EscapesControlBytesOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"extract/a.dds", "extract/a.dds"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"\t\n\r\x7f", "\\x09\\x0a\\x0d\\x7f"},
      {"\x80\xff\xc3\xa9 \\x", "\x80\xff\xc3\xa9 \\x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printable(c.first), c.second);
    std::string appended = "kept ";
    appendPrintable(&appended, c.first);
    EXPECT_EQ(appended, "kept " + c.second);
  }
}

}  // namespace
