// Splitting the argument into parameters, finding option words, and writing results.
#include "host/parameters.h"

#include <memory>
#include <string>
#include <vector>

#include "direct_host.h"
#include "plugin_fixture.h"
#include "settings/prefs_record.h"

namespace serix::testing {
namespace {

class ParameterReaderTest : public PluginTest {
 protected:
  // Reads count parameters from argument with the given token in force.
  std::vector<std::string> ReadAll(std::string_view token, std::string_view argument, int count) {
    StoreText("SeparatorToken", token);
    direct_->SetArgument(argument);
    std::vector<std::string> read;
    ParameterCursor cursor = 0;
    for (int i = 0; i < count; ++i) {
      char buffer[ParameterCapacity + 1];
      std::memset(buffer, 'Z', sizeof buffer);
      EXPECT_TRUE(ReadNextParameter(direct_->argument(), buffer, ParameterCapacity, cursor));
      read.emplace_back(buffer);
      cursors_.push_back(cursor);
    }
    return read;
  }

  std::unique_ptr<DirectHost> direct_ = std::make_unique<DirectHost>();
  std::vector<ParameterCursor> cursors_;
};

struct SplitCase {
  std::string token;
  std::string argument;
  std::vector<std::string> parameters;
};

TEST_F(ParameterReaderTest, SplitsAtTheTokenInForce) {
  const std::string longParameter(1500, 'p');
  const std::vector<SplitCase> cases = {
      {"|", "", {"", "", ""}},
      {"|", "a|b|c", {"a", "b", "c", "", ""}},
      {"|", "|a", {"", "a", ""}},
      {"|", "a||b", {"a", "", "b", ""}},
      {"|", "a|", {"a", "", ""}},
      {"|", " a | b ", {" a ", " b "}},
      {"|", longParameter + "|x", {longParameter.substr(0, 1000), "x", ""}},
      {"::", "a:b::c", {"a:b", "c", ""}},
      {"AND", "xandy", {"xandy", ""}},
      {"AND", "xANDy", {"x", "y"}},
      {"a-long-token", "short", {"short", ""}},
      {";", "a|b;c", {"a|b", "c"}},
  };
  for (const SplitCase& test : cases) {
    SCOPED_TRACE("token '" + test.token + "', argument '" + test.argument.substr(0, 40) + "'");
    EXPECT_EQ(ReadAll(test.token, test.argument, static_cast<int>(test.parameters.size())),
              test.parameters);
  }
}

TEST_F(ParameterReaderTest, CursorMovesPastTheTokenAndEndsAtMinusOne) {
  ReadAll("|", "a|", 3);
  EXPECT_EQ(cursors_, (std::vector<ParameterCursor>{2, kArgumentUsedUp, kArgumentUsedUp}));
  cursors_.clear();
  ReadAll("|", "", 2);
  EXPECT_EQ(cursors_, (std::vector<ParameterCursor>{kArgumentUsedUp, kArgumentUsedUp}));
}

TEST_F(ParameterReaderTest, ParameterLongerThanTheCapacityIsCutButFullyPassed) {
  ReadAll("|", std::string(1500, 'p') + "|x", 1);
  EXPECT_EQ(cursors_.front(), 1501);
}

TEST_F(ParameterReaderTest, FailedLockIsReportedWithAnEmptyParameterAndTheCursorKept) {
  StoreText("SeparatorToken", "|");
  direct_->SetArgument("first|second");
  ParameterCursor cursor = 0;
  char buffer[ParameterCapacity + 1] = "junk";
  direct_->FailNextLock();
  EXPECT_FALSE(ReadNextParameter(direct_->argument(), buffer, ParameterCapacity, cursor));
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(cursor, 0);
  EXPECT_EQ(direct_->locks(), 0);
}

TEST_F(ParameterReaderTest, FirstReadReloadsThePreferences) {
  ReadAll(";", "a;b", 1);
  EXPECT_STREQ(GetSeparatorToken(), ";");
  StoreText("SeparatorToken", "::");
  // A later read of the same call keeps the token it started with.
  char buffer[ParameterCapacity + 1];
  ParameterCursor cursor = 2;
  EXPECT_TRUE(ReadNextParameter(direct_->argument(), buffer, ParameterCapacity, cursor));
  EXPECT_STREQ(buffer, "b");
}

struct FindCase {
  std::string text;
  std::string needle;
  std::int32_t start;
  std::int32_t occurrence;
  bool exact;
  std::int32_t expected;
};

TEST(FindTextTest, FindsTheNthMatchFromStart) {
  const std::vector<FindCase> cases = {
      {"abcabc", "abc", 0, 1, true, 0},
      {"abcabc", "abc", 1, 1, true, 3},
      {"abcabc", "abc", 0, 2, true, 3},
      {"abcabc", "abc", 0, 3, true, -1},
      {"aaaa", "aa", 0, 2, true, 1},  // matches overlap
      {"aaaa", "aa", 0, 3, true, 2},
      {"xPaDdInG", "padding", 0, 1, false, 1},
      {"xPaDdInG", "padding", 0, 1, true, -1},
      {"\xC4x", "\xE4x", 0, 1, false, -1},  // only A-Z fold
      {"[x", "{x", 0, 1, false, -1},
      {"ab", "abc", 0, 1, true, -1},
      {"abc", "", 0, 1, true, 0},
      {"abc", "", 3, 1, true, 3},
      {"abc", "", 4, 1, true, -1},
      {"", "", 0, 1, true, 0},
      {"abc", "c", 2, 1, true, 2},
  };
  for (const FindCase& test : cases) {
    SCOPED_TRACE("'" + test.text + "' / '" + test.needle + "'");
    EXPECT_EQ(FindText(test.text.data(), static_cast<std::int32_t>(test.text.size()),
                       test.needle.data(), static_cast<std::int32_t>(test.needle.size()),
                       test.start, test.occurrence, test.exact),
              test.expected);
  }
}

TEST(ContainsOptionTest, FindsTheWordAnywhereIgnoringLetterCase) {
  EXPECT_TRUE(ContainsOption("-PADDING5", "-padding"));
  EXPECT_TRUE(ContainsOption("x-Paddingy", "-padding"));
  EXPECT_TRUE(ContainsOption("-noreturnatend -DATEmmddyyyy", "-DateMMDDYYYY"));
  EXPECT_FALSE(ContainsOption("-pad", "-padding"));
  EXPECT_FALSE(ContainsOption("", "-padding"));
  EXPECT_FALSE(ContainsOption("padding", "-padding"));
}

class ResultWriterTest : public PluginTest {
 protected:
  std::unique_ptr<DirectHost> direct_ = std::make_unique<DirectHost>();
};

TEST_F(ResultWriterTest, ResultCodesAreZeroOrPrefixAndSignedNumber) {
  const std::vector<std::pair<std::int32_t, std::string>> cases = {{0, "0"},
                                                                   {-50, "$$-50"},
                                                                   {7, "$$7"},
                                                                   {INT32_MIN, "$$-2147483648"},
                                                                   {INT32_MAX, "$$2147483647"}};
  for (const auto& [code, text] : cases) {
    SetResultCode("$$", code, direct_->result());
    EXPECT_EQ(direct_->ResultText(), text);
  }
}

TEST_F(ResultWriterTest, ResultTextReplacesTheHandleWithoutATerminator) {
  SetResultText("longer text", direct_->result());
  SetResultText("", direct_->result());
  EXPECT_EQ(direct_->ResultSize(), 0u);
  SetResultText("abc", direct_->result());
  EXPECT_EQ(direct_->ResultText(), "abc");
  EXPECT_EQ(direct_->locks(), 0);
}

TEST_F(ResultWriterTest, FailedLockStopsTheWritingAndGivesTheHostItsTextBack) {
  SetResultText("kept", direct_->result());
  direct_->FailNextLock();
  EXPECT_EQ(SetResultText("other", direct_->result()), -108);
  EXPECT_EQ(direct_->ResultText(), "kept");
  EXPECT_EQ(direct_->locks(), 0);
}

}  // namespace
}  // namespace serix::testing
