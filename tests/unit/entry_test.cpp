// The entry point: Initialise, the call kinds that do no work, and function dispatch.
#include <vector>

#include "host/host_calls.h"
#include "plugin_fixture.h"

namespace serix::testing {
namespace {

using EntryTest = PluginTest;

TEST_F(EntryTest, InitialiseAcceptsInterfaceVersionsFrom4To255) {
  const std::vector<std::pair<std::int16_t, std::int32_t>> cases = {
      {3, -1}, {4, 4}, {5, 4}, {255, 4}, {256, -1}, {-1, -1}, {INT16_MIN, -1}, {INT16_MAX, -1}};
  for (const auto& [version, answer] : cases) {
    SCOPED_TRACE(version);
    EXPECT_EQ(host_.Initialise(version), answer);
  }
}

TEST_F(EntryTest, RefusedInitialiseTouchesNothing) {
  EXPECT_EQ(host_.Initialise(3), -1);
  EXPECT_FALSE(registry().KeyExists(kPrefsKeyPath));
  EXPECT_STREQ(Prefs().SeparatorToken, "");
  // A later accepted Initialise is still the first one.
  EXPECT_EQ(host_.Initialise(4), 4);
  EXPECT_TRUE(registry().KeyExists(kPrefsKeyPath));
}

TEST_F(EntryTest, FirstInitialiseSetsDefaultsAndCreatesAnEmptyKey) {
  Initialise();
  EXPECT_TRUE(registry().KeyExists(kPrefsKeyPath));
  EXPECT_TRUE(registry().Values(kPrefsKeyPath).empty());
  EXPECT_STREQ(Prefs().SeparatorToken, "|");
  EXPECT_STREQ(Prefs().DefSeparatorToken, "|");
  EXPECT_EQ(Prefs().Version, 1);
  EXPECT_EQ(Prefs().isOneTimeSeparator, 0);
  EXPECT_EQ(portable::OpenKeyCount(), 0);
}

TEST_F(EntryTest, LaterInitialiseCallsLeaveThePreferencesAlone) {
  Initialise();
  StoreText("SeparatorToken", ";");
  Call(kVersionIndex, "");
  EXPECT_STREQ(Prefs().SeparatorToken, ";");
  registry().DeleteKey(kPrefsKeyPath);
  EXPECT_TRUE(host_.Event(static_cast<std::uint8_t>(CallKind::kShutdown)).blockUnchanged);
  EXPECT_EQ(host_.Initialise(4), 4);
  EXPECT_STREQ(Prefs().SeparatorToken, ";");
  EXPECT_FALSE(registry().KeyExists(kPrefsKeyPath));
}

TEST_F(EntryTest, KeyThatCannotBeCreatedIsNotReported) {
  services().denyCreate = true;
  Initialise();
  EXPECT_FALSE(registry().KeyExists(kPrefsKeyPath));
  EXPECT_TRUE(services().alerts.empty());
  EXPECT_EQ(services().beeps, 0);
}

TEST_F(EntryTest, OtherCallKindsChangeNothingInTheBlock) {
  for (const int kind : {1, 2, 4, 5, 6, 100, 255}) {
    SCOPED_TRACE(kind);
    const host::EventOutcome outcome = host_.Event(static_cast<std::uint8_t>(kind), 4);
    EXPECT_EQ(outcome.resultField, 0x5EED5EEDu);
    EXPECT_TRUE(outcome.blockUnchanged);
  }
  EXPECT_FALSE(registry().KeyExists(kPrefsKeyPath));
}

TEST_F(EntryTest, EveryCallBecomesTheCurrentCallBlock) {
  ASSERT_EQ(CurrentCallBlock(), nullptr);
  host_.Event(255);
  EXPECT_NE(CurrentCallBlock(), nullptr);
}

TEST_F(EntryTest, UnknownFunctionIndexLeavesTheResultUntouched) {
  Initialise();
  for (const std::uint32_t index : {3u, 4u, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(index);
    const host::FunctionOutcome outcome = host_.CallFunction(index, "||1|1|3|", "kept");
    EXPECT_EQ(outcome.result, "kept");
    EXPECT_FALSE(outcome.touched);
    EXPECT_TRUE(outcome.trace.empty());
  }
}

TEST_F(EntryTest, FunctionsWorkBeforeAnyInitialise) {
  EXPECT_EQ(CreateRange("||1|1|2|"), Lines({"1", "2"}));
  EXPECT_EQ(Call(kVersionIndex, "").result, "Vexa Serix Plug-In 1.1");
  EXPECT_EQ(Call(kOptionsIndex, "-setwarningdialogtext|x").result, "0");
}

}  // namespace
}  // namespace serix::testing
