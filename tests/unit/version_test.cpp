// Serx-Version through the entry point.
#include <vector>

#include "plugin_fixture.h"

namespace serix::testing {
namespace {

class VersionTest : public PluginTest {
 protected:
  VersionTest() { Initialise(); }
};

TEST_F(VersionTest, NameUnlessTheFirstParameterAsksForTheNumber) {
  const std::string name = "Vexa Serix Plug-In 1.1";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", name},
      {"-getversionnumber", "1100"},
      {"-GetVersionNumber", "1100"},
      {"x-getversionnumbery", "1100"},
      {"-getversionnumber|more|text", "1100"},
      {"|-getversionnumber", name},
      {"-version", name},
      {"-getversion", name},
  };
  for (const auto& [argument, result] : cases) {
    SCOPED_TRACE(argument);
    EXPECT_EQ(Call(kVersionIndex, argument, "old").result, result);
  }
}

TEST_F(VersionTest, FirstParameterEndsAtTheTokenInForce) {
  StoreText("SeparatorToken", ";");
  EXPECT_EQ(Call(kVersionIndex, "x|-getversionnumber").result, "1100");
  EXPECT_EQ(Call(kVersionIndex, "x;-getversionnumber").result, "Vexa Serix Plug-In 1.1");
}

TEST_F(VersionTest, NameIsWrittenBeforeTheArgumentIsRead) {
  const host::FunctionOutcome outcome = Call(kVersionIndex, "");
  ASSERT_GE(outcome.trace.size(), 3u);
  EXPECT_EQ(outcome.trace[1], "setHandleSize result 22");
  EXPECT_EQ(outcome.trace.back(), "unlockHandle argument");
  EXPECT_TRUE(outcome.locked.empty());
}

TEST_F(VersionTest, FailedArgumentLockKeepsTheName) {
  const host::FunctionOutcome outcome =
      Call(kVersionIndex, "-getversionnumber", "",
           host::Fault{host::FaultyCallback::kLockHandle, host::HandleRole::kArgument, 1});
  EXPECT_EQ(outcome.result, "Vexa Serix Plug-In 1.1");
  EXPECT_TRUE(outcome.locked.empty());
}

TEST_F(VersionTest, FailedResultResizeLeavesTheHostsText) {
  const host::FunctionOutcome outcome =
      Call(kVersionIndex, "", "host text",
           host::Fault{host::FaultyCallback::kSetHandleSize, host::HandleRole::kResult, 1});
  EXPECT_EQ(outcome.result, "host text");
  EXPECT_TRUE(services().alerts.empty());
}

}  // namespace
}  // namespace serix::testing
