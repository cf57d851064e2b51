// The emulated host's lean options, which the benchmarks use: results as the full host gives
// them, with no trace kept and handles resized in place.
#include <string>
#include <vector>

#include "plugin_fixture.h"

namespace serix::testing {
namespace {

using LeanHostTest = PluginTest;

TEST_F(LeanHostTest, GivesTheResultsOfTheFullHost) {
  host::EmulatedHost lean(host::LinkedPlugin(), host::kLeanHost);
  ASSERT_EQ(host_.Initialise(4), 4);
  const std::vector<std::string> arguments = {
      "||1|1|100000|", "-padding 6|Item |1|1|100000|, ",  "||2000000000|-7|-2000000000|",
      "||1|1|10|",     "-DateMMDDYYYY||730120|1|800000|", "|x|5|-1|5|",
      "||1|0|5|",      "-noreturnatend||1|1|3|",
  };
  // Each argument twice, so that the lean host's handles are reused at every size.
  for (int round = 0; round < 2; ++round) {
    for (const std::string& argument : arguments) {
      SCOPED_TRACE(argument);
      const host::FunctionOutcome full = host_.CallFunction(kCreateRangeIndex, argument, "before");
      const host::FunctionOutcome quick = lean.CallFunction(kCreateRangeIndex, argument, "before");
      EXPECT_EQ(lean.ResultText(), full.result);
      EXPECT_EQ(host_.ResultText(), full.result);
      EXPECT_TRUE(quick.result.empty());
      EXPECT_TRUE(quick.trace.empty());
      EXPECT_FALSE(full.trace.empty());
      EXPECT_FALSE(quick.overrun);
      EXPECT_TRUE(quick.locked.empty());
    }
  }
}

}  // namespace
}  // namespace serix::testing
