// Text between UTF-8 and UTF-16.
#include "utf8.h"

#include <gtest/gtest.h>

#include "report.h"

namespace {

TEST(IsValidUtf8, AcceptsOnlyTheStrictFormOfEveryLength) {
  const std::pair<std::string, bool> cases[] = {
      {"", true},
      {"plain.dds", true},
      {"caf\xc3\xa9", true},            // U+00E9
      {"\xe2\x82\xac", true},           // U+20AC, three bytes
      {"\xf0\x9f\x98\x80", true},       // U+1F600, four bytes
      {"\xf4\x8f\xbf\xbf", true},       // U+10FFFF, the last
      {"caf\xe9", false},               // Latin-1 "é"
      {"\xc3", false},                  // cut short
      {"\xe2\x82", false},              // cut short
      {"\xa9", false},                  // a lone continuation byte
      {"\xc0\xaf", false},              // overlong "/"
      {"\xe0\x80\xaf", false},          // overlong "/"
      {"\xed\xa0\x80", false},          // surrogate U+D800
      {"\xf4\x90\x80\x80", false},      // U+110000
      {"\xf8\x88\x80\x80\x80", false},  // five-byte form
      {"\xc3\x28", false},              // continuation missing
  };
  for (const auto& c : cases)
    EXPECT_EQ(isValidUtf8(c.first), c.second) << printable(c.first);
}

TEST(Utf16Of, DecodesEveryLengthAndReplacesBrokenBytes) {
  EXPECT_EQ(utf16Of("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"),
            u"a\u00e9\u20ac\U0001F600");
  EXPECT_EQ(utf16Of("a\xe9"
                    "b"),
            u"a\uFFFD"
            "b");
}

TEST(Utf8Of, IsTheInverseOfUtf16OfAndMendsLoneSurrogates) {
  for (const std::string s :
       {"", "a/b.dds", "caf\xc3\xa9", "\xf0\x9f\x98\x80/\xe2\x82\xac"})
    EXPECT_EQ(utf8Of(utf16Of(s)), s) << printable(s);
  EXPECT_EQ(utf8Of(u"a\xD800"
                   "b"),
            "a\xef\xbf\xbd"
            "b");
  EXPECT_EQ(utf8Of(u"\xDC00"), "\xef\xbf\xbd");
  EXPECT_EQ(utf8Of(u"\xD83D\xDE00"), "\xf0\x9f\x98\x80");
}

}  // namespace
