// The shared preferences in the registry: read at every function call, created when
// missing, reset when the separator token is unusable, and write failures reported.
#include <cstring>
#include <string>
#include <vector>

#include "plugin_fixture.h"

namespace serix::testing {
namespace {

RegistryValue Text(std::string_view text) {
  return {kTypeText, std::string(text) + std::string(1, '\0')};
}
RegistryValue Number(std::int32_t value) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &value, 4);
  return {kTypeNumber, bytes};
}

class PrefsTest : public PluginTest {
 protected:
  PrefsTest() { Initialise(); }

  void ExpectDefaultsStored() {
    EXPECT_EQ(StoredValue("SeparatorToken"), Text("|"));
    EXPECT_EQ(StoredValue("DefSeparatorToken"), Text("|"));
    EXPECT_EQ(StoredValue("Version"), Number(1));
    EXPECT_EQ(StoredValue("isOneTimeSeparator"), Number(0));
  }
  void StoreOthers() {
    registry().SetValue(kPrefsKeyPath, "DefSeparatorToken", Text("#"));
    registry().SetValue(kPrefsKeyPath, "Version", Number(7));
    registry().SetValue(kPrefsKeyPath, "isOneTimeSeparator", Number(1));
  }
  std::string Range(std::string_view argument) { return CreateRange(argument); }
};

TEST_F(PrefsTest, FirstCallOnANewKeyStoresTheDefaults) {
  Call(kVersionIndex, "");
  ExpectDefaultsStored();
  EXPECT_EQ(registry().Values(kPrefsKeyPath).size(), 4u);
  EXPECT_TRUE(services().alerts.empty());
  EXPECT_EQ(portable::OpenKeyCount(), 0);
}

TEST_F(PrefsTest, StoredTokenSplitsTheNextCall) {
  StoreText("SeparatorToken", ";");
  EXPECT_EQ(Range(";x;1;1;2;"), Lines({"x1", "x2"}));
  StoreText("SeparatorToken", " AND ");
  EXPECT_EQ(Range(" AND x AND 1 AND 1 AND 2 AND "), Lines({"x1", "x2"}));
}

TEST_F(PrefsTest, EmptyMissingOrTooLongTokenResetsAllFour) {
  const std::vector<std::pair<std::string, RegistryValue>> unusable = {
      {"empty", Text("")},
      {"64 characters", Text(std::string(64, ';'))},
      {"300 characters", Text(std::string(300, ';'))},
      {"only a zero", {kTypeText, std::string(1, '\0')}},
  };
  for (const auto& [what, value] : unusable) {
    SCOPED_TRACE(what);
    registry().SetValue(kPrefsKeyPath, "SeparatorToken", value);
    StoreOthers();
    EXPECT_EQ(Range("||1|1|2|"), Lines({"1", "2"}));
    ExpectDefaultsStored();
  }
  registry().DeleteValue(kPrefsKeyPath, "SeparatorToken");
  StoreOthers();
  Call(kVersionIndex, "");
  ExpectDefaultsStored();
}

TEST_F(PrefsTest, TokenOf63CharactersIsUsedAsItIs) {
  const std::string token(63, ';');
  StoreText("SeparatorToken", token);
  EXPECT_EQ(Range(token + "p" + token + "1" + token + "1" + token + "1"), Lines({"p1"}));
  EXPECT_STREQ(Prefs().SeparatorToken, token.c_str());
}

TEST_F(PrefsTest, TextsWithoutTheirZeroOrOfAnotherTypeStayTerminated) {
  // 64 bytes and no terminator: kept as the first 63 bytes.
  registry().SetValue(kPrefsKeyPath, "SeparatorToken", {kTypeText, std::string(64, ';')});
  Call(kVersionIndex, "");
  EXPECT_EQ(std::string(Prefs().SeparatorToken), std::string(63, ';'));
  // A number stored under a text name is taken byte for byte.
  registry().SetValue(kPrefsKeyPath, "SeparatorToken", {kTypeNumber, "#\0\0\0"});
  EXPECT_EQ(Range("#p#1#1#1"), Lines({"p1"}));
  // A short unterminated text.
  registry().SetValue(kPrefsKeyPath, "SeparatorToken", {kTypeText, "::"});
  registry().SetValue(kPrefsKeyPath, "DefSeparatorToken", {kTypeText, std::string(64, 'd')});
  EXPECT_EQ(Range("::p::1::1::1"), Lines({"p1"}));
  EXPECT_EQ(std::string(Prefs().DefSeparatorToken), std::string(63, 'd'));
}

TEST_F(PrefsTest, OtherValuesMissingAreRecreatedEmptyOrZero) {
  Call(kVersionIndex, "");
  registry().DeleteValue(kPrefsKeyPath, "DefSeparatorToken");
  registry().DeleteValue(kPrefsKeyPath, "Version");
  registry().DeleteValue(kPrefsKeyPath, "isOneTimeSeparator");
  Call(kVersionIndex, "");
  EXPECT_EQ(StoredValue("DefSeparatorToken"), Text(""));
  EXPECT_EQ(StoredValue("Version"), Number(0));
  EXPECT_EQ(StoredValue("isOneTimeSeparator"), Number(0));
  EXPECT_STREQ(Prefs().DefSeparatorToken, "");
  EXPECT_EQ(Prefs().Version, 0);
  EXPECT_EQ(StoredValue("SeparatorToken"), Text("|"));
}

TEST_F(PrefsTest, NumbersAreReadBackAndOversizedOnesReadAsZero) {
  StoreText("SeparatorToken", "|");
  StoreOthers();
  Call(kVersionIndex, "");
  EXPECT_EQ(Prefs().Version, 7);
  EXPECT_EQ(Prefs().isOneTimeSeparator, 1);
  registry().SetValue(kPrefsKeyPath, "Version", Text("a long text value"));
  Call(kVersionIndex, "");
  EXPECT_EQ(Prefs().Version, 0);
  EXPECT_EQ(StoredValue("Version"), Text("a long text value"));  // not rewritten
}

TEST_F(PrefsTest, KeyThatCannotBeOpenedFallsBackToTheBarSilently) {
  registry().SetValue(kPrefsKeyPath, "SeparatorToken", Text(";"));
  services().denyCreate = true;
  EXPECT_EQ(Range("|p|1|1|2|"), Lines({"p1", "p2"}));
  EXPECT_TRUE(services().alerts.empty());
  EXPECT_EQ(services().beeps, 0);
  EXPECT_EQ(portable::OpenKeyCount(), 0);
}

TEST_F(PrefsTest, EachFailedWriteShowsOneErrorBox) {
  services().denyWrite = true;
  EXPECT_EQ(Range("||1|1|1|"), Lines({"1"}));
  // SeparatorToken is created empty (one failure), then all four defaults (four more).
  const portable::ShownMessage expected{"Vexa Serix Plug-In", " error number 5  ", ""};
  EXPECT_EQ(services().alerts, std::vector<portable::ShownMessage>(5, expected));
  EXPECT_EQ(services().beeps, 5);
  EXPECT_EQ(portable::OpenKeyCount(), 0);
}

TEST_F(PrefsTest, ReadingDoesNotWriteWhenEverythingIsThere) {
  Call(kVersionIndex, "");
  services().denyWrite = true;
  Call(kVersionIndex, "");
  Call(kCreateRangeIndex, "||1|1|3|");
  EXPECT_TRUE(services().alerts.empty());
}

}  // namespace
}  // namespace serix::testing
