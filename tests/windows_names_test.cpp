// The fixed rule from archive bytes to Windows names, and back.
#include "windows_names.h"

#include <gtest/gtest.h>

#include "report.h"
#include "utf8.h"

namespace {

using windows_names::nameOf;
using windows_names::pathOf;
using windows_names::utf8SpellingOf;

TEST(NameOf, ReadsUtf8AsUtf8AndAnythingElseAsLatin1) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"a.dds", u"a.dds"},
      {"caf\xc3\xa9.dds", u"caf\u00e9.dds"},
      {"\xe2\x82\xac", u"\u20ac"},
      {"\xf0\x9f\x98\x80", u"\U0001F600"},  // a surrogate pair
      {"caf\xe9.dds", u"caf\u00e9.dds"},    // Latin-1: the same name
      {"\xff\x80", u"\u00ff\u0080"},
      // One invalid byte makes the whole level Latin-1, the valid UTF-8
      // in it included: a name is read one way, never half and half.
      {"\xc3\xa9\xe9", u"\u00c3\u00a9\u00e9"},
      {"", u""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(nameOf(c.first), c.second) << printable(c.first);
}

TEST(PathOf, AppliesTheRuleToEachLevelOnItsOwn) {
  // A UTF-8 output root keeps its characters when a level below it is not
  // UTF-8; "/" and "\" are kept as they are.
  EXPECT_EQ(pathOf("d\xc3\xa9j\xc3\xa0/caf\xe9/x.dds"),
            u"d\u00e9j\u00e0/caf\u00e9/x.dds");
  EXPECT_EQ(pathOf("C:\\out\\\xe9t\xe9/a"), u"C:\\out\\\u00e9t\u00e9/a");
  EXPECT_EQ(pathOf("//a//"), u"//a//");
  EXPECT_EQ(pathOf(""), u"");
}

TEST(Utf8SpellingOf, GivesTheBytesAFolderListingShowsOnWindows) {
  EXPECT_EQ(utf8SpellingOf("tex/caf\xe9.dds"), "tex/caf\xc3\xa9.dds");
  EXPECT_EQ(utf8SpellingOf("tex/caf\xc3\xa9.dds"), "tex/caf\xc3\xa9.dds");
  // Both spellings name one file on Windows.
  EXPECT_EQ(utf8SpellingOf("caf\xe9"), utf8SpellingOf("caf\xc3\xa9"));
  EXPECT_TRUE(isValidUtf8(utf8SpellingOf("\xff\xfe/\x80")));
}

}  // namespace
