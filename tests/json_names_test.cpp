// Names that are not valid UTF-8 survive the trip through JSON.
#include "json_names.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>
#include <vector>

namespace {

struct NameCase {
  const char* what;
  std::string bytes;
  bool valid;
};

const NameCase kNames[] = {
    {"empty", "", true},
    {"plain ASCII", "textures/stone.dds", true},
    {"two-byte letter", "caf\xc3\xa9.dds", true},
    {"three-byte sign", "\xe2\x82\xac", true},
    {"four-byte symbol", "\xf0\x9f\x98\x80", true},
    {"highest code point", "\xf4\x8f\xbf\xbf", true},
    {"zero and control bytes", std::string("a\0b\x1b[31m\x7f", 9), true},
    {"lone continuation byte", "a\x80", false},
    {"overlong two-byte form", "\xc0\x80", false},
    {"overlong three-byte form", "\xe0\x80\xaf", false},
    {"UTF-16 surrogate", "\xed\xa0\x80", false},
    {"past U+10FFFF", "\xf4\x90\x80\x80", false},
    {"byte never used", "\xf5\x80\x80\x80", false},
    {"cut sequence at the end", "ok\xe2\x82", false},
    {"Latin-1 name", "caf\xe9.dds", false},
    {"0xFF and 0xFE", "\xff\xfe", false},
};

TEST(JsonNames, ValidUtf8IsRecognisedStrictly) {
  for (const NameCase& c : kNames)
    EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.what;
}

TEST(JsonNames, EveryNameComesBackByteForByteFromJsonText) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(c.what);
    const nlohmann::json form = jsonName(c.bytes);
    EXPECT_EQ(form.is_string(), c.valid);
    // Through the text, as another program would read it.
    const nlohmann::json parsed = nlohmann::json::parse(form.dump());
    std::string back;
    ASSERT_TRUE(nameFromJson(parsed, &back));
    EXPECT_EQ(back, c.bytes);
  }
  EXPECT_EQ(jsonName("caf\xe9").dump(), R"({"hex":"636166e9"})");
}

TEST(JsonNames, OtherValuesAreNotNames) {
  const nlohmann::json values[] = {
      nlohmann::json(7),
      nlohmann::json(nullptr),
      nlohmann::json{{"hex", "abc"}},
      nlohmann::json{{"hex", "zz"}},
      nlohmann::json{{"hex", 12}},
      nlohmann::json{{"hex", "00"}, {"more", 1}},
      nlohmann::json{{"text", "a"}},
  };
  for (const nlohmann::json& value : values) {
    std::string bytes = "untouched";
    EXPECT_FALSE(nameFromJson(value, &bytes)) << value.dump();
  }
}

TEST(JsonArrayStream, WritesOneValidArrayWithAnElementPerLine) {
  const std::vector<std::pair<std::vector<nlohmann::json>, std::string>> cases =
      {
          {{}, "[]\n"},
          {{nlohmann::json(1)}, "[\n1\n]\n"},
          {{nlohmann::json(1), nlohmann::json{{"a", "b"}}},
           "[\n1,\n{\"a\":\"b\"}\n]\n"},
      };
  for (const auto& c : cases) {
    std::ostringstream out;
    JsonArrayStream array(&out);
    for (const nlohmann::json& element : c.first) array.add(element);
    array.finish();
    EXPECT_EQ(out.str(), c.second);
    EXPECT_EQ(nlohmann::json::parse(out.str()), nlohmann::json(c.first));
  }
}

}  // namespace
