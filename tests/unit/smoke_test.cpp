#include "plugin_fixture.h"

namespace serix::testing {
namespace {

using SmokeTest = PluginTest;

TEST_F(SmokeTest, TypicalRange) {
  Initialise();
  EXPECT_EQ(CreateRange("-padding 3|Item |8|1|11|"),
            Lines({"Item 008", "Item 009", "Item 010", "Item 011"}));
}

}  // namespace
}  // namespace serix::testing
