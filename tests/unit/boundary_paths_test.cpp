// Guards at the edges of fixed buffers and unavailable services, reached directly because no
// call through the entry point gets there: an over-long result-code prefix, a string id the
// table lacks, a box shown outside any host call, preferences read while the key cannot be
// opened, and padding text longer than the part of the options that is looked at.
#include <gtest/gtest.h>

#include <string>

#include "direct_host.h"
#include "host/parameters.h"
#include "linked_plugin.h"
#include "platform/platform.h"
#include "platform/portable/services.h"
#include "range/range_values.h"
#include "settings/alerts.h"
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
  EXPECT_EQ(services.alerts[0], (portable::Alert{"Vexa Serix Plug-In", "text"}));
  EXPECT_EQ(services.alerts[1],
            (portable::Alert{"Vexa Serix Plug-In", " error number 4294967295  "}));
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
  EXPECT_EQ(portable::CurrentServices().openKeys, 0);
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
