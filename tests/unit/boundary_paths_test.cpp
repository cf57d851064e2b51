// Guards at the edges of fixed buffers and unavailable services, reached directly because no
// call through the entry point gets there: an over-long result-code prefix, a string id the
// table lacks, a box shown outside any host call, preferences read while the key cannot be
// opened, a registry store that cannot be used, and padding text longer than the part of the
// options that is looked at.
#include <gtest/gtest.h>

#include <string>

#include "direct_host.h"
#include "failing_store.h"
#include "host/parameters.h"
#include "linked_plugin.h"
#include "platform/platform.h"
#include "platform/portable/emulated_windows.h"
#include "range/range_values.h"
#include "settings/alerts.h"
#include "settings/prefs_record.h"
#include "settings/shared_prefs.h"

namespace serix::testing {
namespace {

class BoundaryPathsTest : public ::testing::Test {
 protected:
  BoundaryPathsTest() { host::ReloadLinkedPlugin(); }
  ~BoundaryPathsTest() override { host::ReloadLinkedPlugin(); }
};

TEST_F(BoundaryPathsTest, ResultCodePrefixIsCutToLeaveRoomForTheNumber) {
  DirectHost host;
  const std::string prefix(150, 'p');
  SetResultCode(prefix.c_str(), -2147483647 - 1, host.result());
  EXPECT_EQ(host.ResultText(), std::string(79, 'p') + "-2147483648");
  SetResultCode("$$", 7, host.result());
  EXPECT_EQ(host.ResultText(), "$$7");
}

TEST_F(BoundaryPathsTest, ModuleStringsAreCutToTheBufferAndMissingOnesAreEmpty) {
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(platform::LoadModuleString(nullptr, 999, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(platform::LoadModuleString(nullptr, 128, buffer, 5), 4);
  EXPECT_STREQ(buffer, "Vexa");
  buffer[0] = 'x';
  EXPECT_EQ(platform::LoadModuleString(nullptr, 128, buffer, 0), 0);
  EXPECT_EQ(buffer[0], 'x');
}

TEST_F(BoundaryPathsTest, BoxShownOutsideAHostCallStillHasItsCaption) {
  ShowTextAlert(4200, "text");
  ShowErrorNumberAlert(256, 4294967295u);
  const auto& services = portable::CurrentServices();
  ASSERT_EQ(services.alerts.size(), 2u);
  EXPECT_EQ(services.alerts[0], (portable::ShownMessage{"Vexa Serix Plug-In", "text", ""}));
  EXPECT_EQ(services.alerts[1],
            (portable::ShownMessage{"Vexa Serix Plug-In", " error number 4294967295  ", ""}));
  EXPECT_EQ(services.beeps, 2);
}

TEST_F(BoundaryPathsTest, ReadsWithoutAKeyLeaveTheirDestinationsAlone) {
  portable::CurrentServices().denyCreate = true;
  char text[64] = "kept";
  std::int32_t number = 42;
  EXPECT_EQ(ReadPrefString("SeparatorToken", text, sizeof text), 0);
  EXPECT_EQ(ReadPrefLong("Version", number), 0);
  EXPECT_STREQ(text, "kept");
  EXPECT_EQ(number, 42);
  EXPECT_TRUE(portable::CurrentServices().alerts.empty());
  EXPECT_EQ(portable::OpenKeyCount(), 0);
}

// A key that cannot be opened, a value that cannot be read or written: never a missing value,
// which the plug-in would then write.
TEST_F(BoundaryPathsTest, AStoreThatCannotBeUsedAnswersAsWindowsOwnStorageFailing) {
  FailingStore store;
  portable::CurrentServices().registry = &store;
  platform::RegistryKey key = 0;
  ASSERT_EQ(platform::CreateUserKey(kPrefsKeyPath, key), platform::kErrorSuccess);
  std::uint32_t type = 0;
  unsigned char data[4] = {};
  std::uint32_t size = sizeof data;
  EXPECT_EQ(platform::QueryValue(key, "Version", type, data, size),
            portable::kErrorRegistryIoFailed);
  EXPECT_EQ(platform::SetValue(key, "Version", kTypeNumber, data, sizeof data),
            portable::kErrorRegistryIoFailed);
  platform::CloseKey(key);
  store.failKeys = true;
  EXPECT_EQ(platform::CreateUserKey(kPrefsKeyPath, key), platform::kErrorAccessDenied);
  EXPECT_EQ(portable::OpenKeyCount(), 0);
  EXPECT_EQ(portable::CurrentServices().storeFailure, FailingStore::kWhy);
}

TEST_F(BoundaryPathsTest, PaddingWidthIsLookedForOnlyNearTheOptionWord) {
  char nonNegative[kNumberFormatSize];
  char negative[kNumberFormatSize];
  // 998 characters of text after the word are looked at; a width behind them is not seen.
  const std::string farWidth = "-padding" + std::string(999, ' ') + "5";
  BuildNumberFormats(farWidth.c_str(), 1, nonNegative, negative);
  EXPECT_STREQ(nonNegative, "%ld");
  EXPECT_STREQ(negative, "%ld");
  const std::string nearWidth = "-padding" + std::string(998, ' ') + "5";
  BuildNumberFormats(nearWidth.c_str(), 1, nonNegative, negative);
  EXPECT_STREQ(nonNegative, "%05ld");
  EXPECT_STREQ(negative, "%06ld");
}

}  // namespace
}  // namespace serix::testing
