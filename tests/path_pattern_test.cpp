#include "path_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* pattern;
  std::string path;
  bool matches;
};

void expectCases(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    SCOPED_TRACE(std::string("pattern '") + c->pattern + "', path '" + c->path +
                 "'");
    EXPECT_EQ(PathPattern(c->pattern).matches(c->path), c->matches);
  }
}

TEST(PathPattern, OrdinaryBytesMatchThemselvesAndTheWholePath) {
  const Case cases[] = {
      {"tex/a.dds", "tex/a.dds", true},
      {"tex/a.dds", "tex/a.dd", false},
      {"tex/a.dds", "tex/a.ddss", false},
      {"tex/a.dds", "xtex/a.dds", false},
      {"a.dds", "tex/a.dds", false},  // whole path, not the last level
      {"A.dds", "a.dds", false},      // bytes, no case folding
      {"", "", true},
      {"", "a", false},
      {"caf\xe9", "caf\xe9", true},  // bytes 0x80 and up
      {"\x01", "\x01", true},
  };
  expectCases(std::begin(cases), std::end(cases));
}

TEST(PathPattern, StarTakesAnyRunOfBytesSlashIncluded) {
  const Case cases[] = {
      {"*", "", true},
      {"*", "tex/ui/a.dds", true},
      {"tex/*", "tex/a.dds", true},
      {"tex/*", "tex/ui/a.dds", true},
      {"tex/*", "tex/", true},
      {"tex/*", "tex", false},
      {"*.xml", "ui/layout.xml", true},
      {"*.xml", "ui/layout.xml.bak", false},
      {"*/ui/*", "textures/ui/icon.dds", true},
      {"*/ui/*", "ui/layout.xml", false},
      {"a*b*c", "abc", true},
      {"a*b*c", "a_b_b_c", true},
      {"a*b*c", "a_c_b", false},
      {"a**b", "ab", true},
      {"*a", "bba", true},
      {"*a", "bab", false},
      {"a*", "a", true},
  };
  expectCases(std::begin(cases), std::end(cases));
}

TEST(PathPattern, QuestionMarkTakesExactlyOneByte) {
  const Case cases[] = {
      {"?", "a", true},
      {"?", "", false},
      {"?", "ab", false},
      {"tex?a.dds", "tex/a.dds", true},  // "/" too
      {"a?.dds", "a1.dds", true},
      {"??", "\xc3\xa9", true},  // one UTF-8 character is two bytes here
  };
  expectCases(std::begin(cases), std::end(cases));
}

TEST(PathPattern, SetsTakeOneByteOfTheirMembersOrRanges) {
  const Case cases[] = {
      {"[abc]", "b", true},
      {"[abc]", "d", false},
      {"[abc]", "", false},
      {"a[0-9].dds", "a7.dds", true},
      {"a[0-9].dds", "ax.dds", false},
      {"[a-cx-z]", "y", true},
      {"[a-cx-z]", "d", false},
      {"[z-a]", "m", false},  // reversed ends: an empty range
      {"[!abc]", "d", true},
      {"[!abc]", "a", false},
      {"[^abc]", "d", true},
      {"[^abc]", "b", false},
      {"[!a]", "/", true},  // "/" is a byte like any other
      {"[]]", "]", true},   // "]" first is a member
      {"[]a]", "a", true},
      {"[!]]", "]", false},
      {"[!]]", "x", true},
      {"[-a]", "-", true},  // "-" first or last is a member
      {"[a-]", "-", true},
      {"[a-]", "b", false},
      {"[\\]]", "]", true},  // quoted inside a set
      {"[a\\-z]", "-", true},
      {"[a\\-z]", "m", false},
      {"[\x80-\xff]", "\xe9", true},  // ranges by unsigned byte value
      {"[\x80-\xff]", "e", false},
  };
  expectCases(std::begin(cases), std::end(cases));
}

TEST(PathPattern, UnclosedSetsAndBackslashesStandForThemselves) {
  const Case cases[] = {
      {"[", "[", true},
      {"a[b", "a[b", true},
      {"a[b", "ab", false},
      {"[]", "[]", true},
      {"[!]", "[!]", true},
      {"[*", "[xyz", true},  // the star after an unclosed "[" still counts
      {"\\*", "*", true},
      {"\\*", "a", false},
      {"\\?", "?", true},
      {"\\?", "a", false},
      {"\\[a]", "[a]", true},
      {"\\[a]", "a", false},
      {"\\\\", "\\", true},
      {"\\a", "a", true},
      {"a\\", "a\\", true},  // a final lone backslash
      {"a\\", "a", false},
  };
  expectCases(std::begin(cases), std::end(cases));
}

TEST(PathPattern, HostilePatternsFinishWithoutBacktrackingWithoutEnd) {
  // Exponential backtracking would take ages here: 32 stars over a path of
  // 4,000 "a" with no "b". The bound is about 4,000 x 64 steps.
  std::string pattern;
  for (int i = 0; i < 32; ++i) pattern += "*a";
  EXPECT_FALSE(PathPattern(pattern + "*b").matches(std::string(4000, 'a')));
  EXPECT_TRUE(
      PathPattern(pattern + "*b").matches(std::string(4000, 'a') + "b"));
}

TEST(PathPattern, ANameIsNamedByItsOwnTextEvenWhenItHoldsWildcards) {
  EXPECT_TRUE(namesPath(PathPattern("a[1].dds"), "a[1].dds"));
  EXPECT_TRUE(namesPath(PathPattern("a[1].dds"), "a1.dds"));
  EXPECT_FALSE(PathPattern("a[1].dds").matches("a[1].dds"));
  EXPECT_TRUE(namesPath(PathPattern("tex/*"), "tex/a"));
  EXPECT_FALSE(namesPath(PathPattern("tex/*"), "te"));
}

}  // namespace
