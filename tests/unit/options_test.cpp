// Serx-Options through the entry point, and the warning text it sets.
#include <vector>

#include "plugin_fixture.h"
#include "range/range_warning.h"

namespace serix::testing {
namespace {

class OptionsTest : public PluginTest {
 protected:
  OptionsTest() { Initialise(); }

  // The text of the next range warning.
  std::string WarningShown() {
    services().clockMilliseconds += 60000;
    services().alerts.clear();
    Call(kCreateRangeIndex, "-fieldsizewarning||1|1|100000|");
    return services().alerts.empty() ? "(none)" : services().alerts.back().text;
  }
};

struct OptionsCase {
  std::string argument;
  std::string result;
  std::string warning;
};

TEST_F(OptionsTest, SetsTheWarningTextAndAnswersWithACode) {
  const std::string defaultText = DefaultWarningDialogText;
  const std::vector<OptionsCase> cases = {
      {"-setwarningdialogtext|Please choose a smaller range.", "0",
       "Please choose a smaller range."},
      {"-setwarningdialogtext", "0", defaultText},
      {"-SetWarningDialogText|Short text", "0", "Short text"},
      {"x-setwarningdialogtexty|Short text", "0", "Short text"},
      {"-nosuchoption|Other text", "$$-50", "Other text"},
      {"", "$$-50", defaultText},
      {"-setwarningdialogtext|A|B", "0", "A"},
      {"-setwarningdialogtext|", "0", defaultText},
  };
  for (const OptionsCase& test : cases) {
    SCOPED_TRACE(test.argument);
    Call(kOptionsIndex, "-setwarningdialogtext|something else first");
    EXPECT_EQ(Call(kOptionsIndex, test.argument).result, test.result);
    EXPECT_EQ(WarningShown(), test.warning);
  }
}

TEST_F(OptionsTest, TextIsCutAt255Characters) {
  const std::string exact(255, 'e');
  Call(kOptionsIndex, "-setwarningdialogtext|" + exact);
  EXPECT_EQ(WarningShown(), exact);
  const std::string longer = std::string(255, 'l') + "tail";
  Call(kOptionsIndex, "-setwarningdialogtext|" + longer);
  EXPECT_EQ(WarningShown(), std::string(255, 'l'));
}

TEST_F(OptionsTest, TextSurvivesInitialiseAndShutdownButNotAReload) {
  Call(kOptionsIndex, "-setwarningdialogtext|Kept");
  host_.Event(static_cast<std::uint8_t>(CallKind::kShutdown));
  EXPECT_EQ(host_.Initialise(4), 4);
  EXPECT_EQ(WarningShown(), "Kept");
  host::ReloadLinkedPlugin();
  EXPECT_EQ(WarningShown(), DefaultWarningDialogText);
}

TEST_F(OptionsTest, ResultFailureStillSetsTheText) {
  const host::FunctionOutcome outcome =
      Call(kOptionsIndex, "-setwarningdialogtext|Set anyway", "",
           host::Fault{host::FaultyCallback::kLockHandle, host::HandleRole::kResult, 1});
  EXPECT_TRUE(outcome.locked.empty());
  EXPECT_EQ(WarningShown(), "Set anyway");
}

}  // namespace
}  // namespace serix::testing
