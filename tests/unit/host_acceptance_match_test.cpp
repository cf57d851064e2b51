// The acceptance runner's comparison of responses with expectations: a bug here would let the
// whole suite pass without looking.
#include <gtest/gtest.h>

#include <stdexcept>

#include "expectations.h"

namespace serix::acceptance {
namespace {

struct MatchCase {
  const char* expected;
  const char* actual;
  bool matches;
};

TEST(HostAcceptanceMatch, Cases) {
  const MatchCase cases[] = {
      // Top level: the fields given must be there and equal; others are not looked at.
      {R"({})", R"({"a":1})", true},
      {R"({"a":1})", R"({"a":1,"b":2})", true},
      {R"({"a":1})", R"({"a":2})", false},
      {R"({"a":1})", R"({"b":1})", false},
      {R"({"a":1})", R"({"a":1.0})", true},
      {R"({"a":4294967295})", R"({"a":4294967295})", true},
      {R"({"a":-1})", R"({"a":4294967295})", false},
      {R"({"a":"x"})", R"({"a":["x"]})", false},
      // Below it, whole values.
      {R"({"v":{"x":1}})", R"({"v":{"x":1,"y":2}})", false},
      {R"({"v":{"x":1,"y":2}})", R"({"v":{"y":2,"x":1}})", true},
      {R"({"t":["a","b"]})", R"({"t":["a","b","c"]})", false},
      {R"({"t":["a","b"]})", R"({"t":["b","a"]})", false},
      {R"({"t":[]})", R"({"t":[]})", true},
      // Matchers.
      {R"({"r":{"$length":3}})", R"({"r":"abc"})", true},
      {R"({"r":{"$length":3}})", R"({"r":"\u00e9\u00e9\u00e9"})", true},
      {R"({"r":{"$length":3}})", R"({"r":"abcd"})", false},
      {R"({"r":{"$length":2}})", R"({"r":[1,2]})", true},
      {R"({"r":{"$starts_with":"ab","$ends_with":"cd"}})", R"({"r":"abxcd"})", true},
      {R"({"r":{"$starts_with":"ab","$ends_with":"cd"}})", R"({"r":"abxc"})", false},
      {R"({"r":{"$ends_with":["y","z"]}})", R"({"r":["x","y","z"]})", true},
      {R"({"r":{"$ends_with":["x","z"]}})", R"({"r":["x","y","z"]})", false},
      {R"({"r":{"$starts_with":["x","y","z","w"]}})", R"({"r":["x","y","z"]})", false},
      {R"({"r":{"$contains":"b\r"}})", R"({"r":"ab\rc"})", true},
      {R"({"r":{"$contains":"q"}})", R"({"r":"abc"})", false},
      {R"({"r":{"$contains":"y"}})", R"({"r":["x","y"]})", true},
      {R"({"r":{"$count":["\r",2]}})", R"({"r":"a\rb\r"})", true},
      {R"({"r":{"$count":["\r",2]}})", R"({"r":"a\rb\rc\r"})", false},
      {R"({"r":{"$count":["aa",2]}})", R"({"r":"aaaaa"})", true},
      {R"({"r":{"$type":"string"}})", R"({"r":"x"})", true},
      {R"({"r":{"$type":"string"}})", R"({"r":1})", false},
      {R"({"r":{"$type":"object"}})", R"({"r":{}})", true},
      {R"({"s":{"k":{"$starts_with":"a"}}})", R"({"s":{"k":"abc"}})", true},
      {R"({"s":{"k":{"$starts_with":"a"}}})", R"({"s":{"k":"bc"}})", false},
      {R"({"l":[{"$type":"number"},"x"]})", R"({"l":[5,"x"]})", true},
      {R"({"e":{"$type":"string"}})", R"({"ok":true})", false},
  };
  for (const MatchCase& match : cases) {
    const auto mismatches = Mismatches(Json::parse(match.expected), Json::parse(match.actual));
    EXPECT_EQ(mismatches.empty(), match.matches)
        << match.expected << " against " << match.actual
        << (mismatches.empty() ? std::string() : ": " + mismatches.front());
  }
}

TEST(HostAcceptanceMatch, EveryMismatchIsReportedWithItsPath) {
  const auto mismatches = Mismatches(Json::parse(R"({"a":1,"b":{"$length":1},"c":[1,{"d":2}]})"),
                                     Json::parse(R"({"a":2,"b":"xy","c":[1,{"d":3}]})"));
  ASSERT_EQ(mismatches.size(), 3u);
  EXPECT_NE(mismatches[0].find("\"a\""), std::string::npos) << mismatches[0];
  EXPECT_NE(mismatches[1].find("\"b\""), std::string::npos) << mismatches[1];
  EXPECT_NE(mismatches[2].find("\"c\"[1].d"), std::string::npos) << mismatches[2];
  EXPECT_EQ(Mismatches(Json::parse(R"({"a":1})"), Json::parse("[1]")).size(), 1u);
}

TEST(HostAcceptanceMatch, UnknownMatcherIsAnErrorOfTheFile) {
  EXPECT_THROW(Mismatches(Json::parse(R"({"r":{"$lenght":3}})"), Json::parse(R"({"r":"abc"})")),
               std::invalid_argument);
}

TEST(HostAcceptanceMatch, MacrosExpandEverywhere) {
  EXPECT_EQ(ExpandMacros(Json::parse(R"({"$repeat":"ab","times":3})")), "ababab");
  EXPECT_EQ(ExpandMacros(Json::parse(R"({"$repeat":"ab","times":0})")), "");
  EXPECT_EQ(ExpandMacros(Json::parse(
                R"({"x":[{"$concat":["<",{"$repeat":"-","times":2},">"]}],"y":{"$length":4}})")),
            Json::parse(R"({"x":["<-->"],"y":{"$length":4}})"));
  for (const char* malformed :
       {R"({"$repeat":"a"})", R"({"$repeat":"a","times":-1})", R"({"$repeat":1,"times":2})",
        R"({"$repeat":"a","times":2,"extra":1})", R"({"$concat":"ab"})", R"({"$concat":[1]})"}) {
    EXPECT_THROW(ExpandMacros(Json::parse(malformed)), std::invalid_argument) << malformed;
  }
}

TEST(HostAcceptanceMatch, FindsTextsBeyondByteCodePoints) {
  EXPECT_TRUE(WideTexts(Json::parse(R"({"a":"\u00ff","b":["\u0000"]})")).empty());
  EXPECT_EQ(WideTexts(Json::parse(R"({"a":"\u0100","b":["x","\u20ac"],"\u0101":1})")).size(), 3u);
}

}  // namespace
}  // namespace serix::acceptance
