// Serx-CreateRange through the entry point: entries, options, the 64000-character limit and
// the range-too-large warning.
#include <string>
#include <vector>

#include "plugin_fixture.h"
#include "range/range_warning.h"

namespace serix::testing {
namespace {

class CreateRangeTest : public PluginTest {
 protected:
  CreateRangeTest() { Initialise(); }

  // Every number from first to last, each followed by a carriage return.
  static std::string NumberLines(int first, int last) {
    std::string text;
    for (int value = first; value <= last; ++value) text += std::to_string(value) + kCR;
    return text;
  }

  const std::string warningCaption_ = "Vexa Serix Plug-In";
};

struct RangeCase {
  std::string argument;
  std::string expected;
};

TEST_F(CreateRangeTest, WritesOneEntryPerValue) {
  const std::vector<RangeCase> cases = {
      {"|Item |1|1|3|", Lines({"Item 1", "Item 2", "Item 3"})},
      {"-noreturnatend|Item |1|1|3|", "Item 1\rItem 2\rItem 3"},
      {"||10|-3|1|", Lines({"10", "7", "4", "1"})},
      {"||10|-3|0|", Lines({"10", "7", "4", "1"})},
      {"||5|-1|5|", Lines({"5"})},
      {"||5|1|5|", Lines({"5"})},
      {"||1|1|3|, ", Lines({"1, ", "2, ", "3, "})},
      {"|<|1|2|6|>", Lines({"<1>", "<3>", "<5>"})},
      {"||-3|2|2|", Lines({"-3", "-1", "1"})},
      {"||abc| 1 |2x|", Lines({"0", "1", "2"})},
      {"||12/31/2000|1|13|", Lines({"12", "13"})},
  };
  for (const RangeCase& test : cases) {
    SCOPED_TRACE(test.argument);
    EXPECT_EQ(CreateRange(test.argument), test.expected);
  }
}

TEST_F(CreateRangeTest, ParametersAfterTheSixthAreIgnored) {
  EXPECT_EQ(CreateRange("||1|1|2|s|more|and more"), Lines({"1s", "2s"}));
}

TEST_F(CreateRangeTest, RejectedRangesLeaveTheResultUntouched) {
  const std::vector<std::string> rejected = {"||1|-1|5|",
                                             "||1|0|5|",
                                             "||1||5|",
                                             "||1|1",
                                             "||1|x|5|",
                                             "",
                                             "|",
                                             "|||1|5|",
                                             "||5|1|1|",
                                             "||1|1||",
                                             "-fieldsizewarning||5|1|1|"};
  for (const std::string& argument : rejected) {
    SCOPED_TRACE(argument);
    const host::FunctionOutcome outcome = Call(kCreateRangeIndex, argument, "previous");
    EXPECT_FALSE(outcome.touched);
    EXPECT_EQ(outcome.result, "previous");
    EXPECT_TRUE(services().alerts.empty());
  }
}

TEST_F(CreateRangeTest, ResizesTheResultExactlyTwice) {
  const host::FunctionOutcome outcome = Call(kCreateRangeIndex, "||1|1|3|");
  std::vector<std::string> resultCalls;
  for (const std::string& call : outcome.trace) {
    if (call.find(" result") != std::string::npos) resultCalls.push_back(call);
  }
  EXPECT_EQ(resultCalls,
            (std::vector<std::string>{"getHandleSize result", "setHandleSize result 65000",
                                      "lockHandle result", "unlockHandle result",
                                      "setHandleSize result 6"}));
  EXPECT_TRUE(outcome.locked.empty());
  EXPECT_FALSE(outcome.overrun);
}

TEST_F(CreateRangeTest, PaddingAndNegativeFormats) {
  const std::vector<RangeCase> cases = {
      {"-padding 3||8|1|11|", Lines({"008", "009", "010", "011"})},
      {"-padding 3||-2|1|1|", Lines({"-002", "-001", "000", "001"})},
      {"-padding 3||998|1|1001|", Lines({"998", "999", "1000", "1001"})},
      {"-padding 3||-1234|1111|1000|", Lines({"-1234", "-123", "988"})},
      {"-PADDING 2||1|1|1|", Lines({"01"})},
      {"-padding 0||-1|1|1|", Lines({"-1", "0", "1"})},
      {"-padding 3 -DateUseDash||7|1|7|", Lines({"007"})},
      {"-padding -4||7|1|7|", Lines({"7"})},
  };
  for (const RangeCase& test : cases) {
    SCOPED_TRACE(test.argument);
    EXPECT_EQ(CreateRange(test.argument), test.expected);
  }
}

TEST_F(CreateRangeTest, WidestPaddingIsOneHundredCharacters) {
  const std::string result = CreateRange("-padding 250||-5|10|5|");
  EXPECT_EQ(result, "-" + std::string(98, '0') + "5" + kCR + std::string(99, '0') + "5" + kCR);
}

TEST_F(CreateRangeTest, DatesInEitherOrderWithEachSeparator) {
  const std::vector<RangeCase> cases = {
      {"-DateDDMMYYYY -DateUsePeriod||730851|1|730853|",
       Lines({"01.01.2002", "02.01.2002", "03.01.2002"})},
      {"-DateMMDDYYYY||730851|1|730853|", Lines({"01/01/2002", "01/02/2002", "01/03/2002"})},
      {"-datemmddyyyy -dateusedash||730851|1|730852|", Lines({"01-01-2002", "01-02-2002"})},
      {"-DateDDMMYYYY -DateMMDDYYYY||730150|1|730150|", Lines({"01/31/2000"})},
      {"-DateMMDDYYYY -DateUsePeriod -DateUseDash||730150|1|730150|", Lines({"01-31-2000"})},
      {"-DateUseDash||730851|1|730851|", Lines({"730851"})},
      {"-DateMMDDYYYY||730120|7|730150|",
       Lines({"01/01/2000", "01/08/2000", "01/15/2000", "01/22/2000", "01/29/2000"})},
      {"-padding 12 -DateDDMMYYYY||730150|1|730150|", Lines({"31/01/2000"})},
      {"-DateMMDDYYYY||693654|1|693655|", Lines({"02/28/1900", "03/01/1900"})},
      {"-DateMMDDYYYY||3652059|1|3652060|", Lines({"12/31/9999", "01/01/10000"})},
      {"-DateMMDDYYYY -noreturnatend||730179|-1|730178|", "02/29/2000\r02/28/2000"},
  };
  for (const RangeCase& test : cases) {
    SCOPED_TRACE(test.argument);
    EXPECT_EQ(CreateRange(test.argument), test.expected);
  }
}

TEST_F(CreateRangeTest, FullRangeThatFitsIsComplete) {
  const host::FunctionOutcome outcome = Call(kCreateRangeIndex, "-fieldsizewarning||1|1|12517|");
  EXPECT_EQ(outcome.result.size(), 63996u);
  EXPECT_EQ(outcome.result, NumberLines(1, 12517));
  EXPECT_TRUE(services().alerts.empty());
}

TEST_F(CreateRangeTest, EntryPassingTheLimitIsCutAtExactly64000) {
  const std::string expected = NumberLines(1, 12517) + "1251";
  for (const std::string argument :
       {"-fieldsizewarning||1|1|12518|", "-fieldsizewarning||1|1|100000|",
        "-fieldsizewarning -noreturnatend||1|1|100000|"}) {
    SCOPED_TRACE(argument);
    services().clockMilliseconds += 60000;  // past the warning interval each time
    services().alerts.clear();
    const std::string result = CreateRange(argument);
    EXPECT_EQ(result.size(), 64000u);
    EXPECT_EQ(result, expected);
    ASSERT_EQ(services().alerts.size(), 1u);
    EXPECT_EQ(services().alerts[0].caption, warningCaption_);
    EXPECT_EQ(services().alerts[0].text, DefaultWarningDialogText);
  }
}

TEST_F(CreateRangeTest, RoomTestStopsBeforeAnEntryThatWouldNotStartInTime) {
  const std::string result = CreateRange("-fieldsizewarning|ab|1|1|100000|");
  ASSERT_EQ(result.size(), 64000u);
  EXPECT_EQ(result.substr(result.size() - 7), "ab9301\r");
  EXPECT_EQ(services().alerts.size(), 1u);
  services().clockMilliseconds += 60000;
  EXPECT_EQ(CreateRange("-fieldsizewarning -noreturnatend|ab|1|1|100000|").size(), 63999u);
}

TEST_F(CreateRangeTest, LongPrefixAndSuffixStopTheRangeEarly) {
  // Entries of 2101 characters: the 31st would start past 64000 minus prefix and suffix.
  const std::string prefix(1000, 'p');
  const std::string suffix(1000, 's');
  const std::string result =
      CreateRange("-padding 100 -fieldsizewarning|" + prefix + "|1|1|1000|" + suffix);
  EXPECT_EQ(result.size(), 30u * 2101u);
  EXPECT_EQ(result.substr(result.size() - 1101), std::string(98, '0') + "30" + suffix + kCR);
  EXPECT_EQ(services().alerts.size(), 1u);
}

TEST_F(CreateRangeTest, StepPastThe32BitLimitsEndsTheRange) {
  EXPECT_EQ(CreateRange("||2147483646|1|2147483647|"), Lines({"2147483646", "2147483647"}));
  EXPECT_EQ(CreateRange("||2147483000|1000|2147483647|"), Lines({"2147483000"}));
  EXPECT_EQ(CreateRange("||-2147483647|-1|-2147483648|"), Lines({"-2147483647", "-2147483648"}));
  EXPECT_EQ(CreateRange("||-2147483648|2147483647|2147483647|"),
            Lines({"-2147483648", "-1", "2147483646"}));
  EXPECT_EQ(CreateRange("-fieldsizewarning||2147483647|-2147483648|-2147483648|"),
            Lines({"2147483647", "-1"}));
  EXPECT_TRUE(services().alerts.empty());
}

TEST_F(CreateRangeTest, DatesOutsideTheSystemTimeRangeAreStillProlepticGregorian) {
  EXPECT_EQ(CreateRange("-DateMMDDYYYY||584388|1|584389|"), Lines({"12/31/1600", "01/01/1601"}));
  EXPECT_EQ(CreateRange("-DateMMDDYYYY||11259330|1|11259331|"),
            Lines({"12/31/30827", "01/01/30828"}));
  EXPECT_EQ(CreateRange("-DateDDMMYYYY||1|-1|0|"), Lines({"01/01/0001", "31/12/0000"}));
  EXPECT_EQ(CreateRange("-DateMMDDYYYY||-365|-1|-366|"), Lines({"01/01/0000", "12/31/-0001"}));
  // The step reads as 2147483647, the most a step can be.
  EXPECT_EQ(CreateRange("-DateMMDDYYYY||-2147483648|4294967295|2147483647|"),
            Lines({"06/22/-5879610", "12/30/0000", "07/10/5879611"}));
}

TEST_F(CreateRangeTest, WarningAtMostOnceIn300Ticks) {
  const std::string tooLarge = "-fieldsizewarning||1|1|100000|";
  services().clockMilliseconds = 600000;  // 36000 ticks
  CreateRange(tooLarge);
  EXPECT_EQ(services().alerts.size(), 1u);
  EXPECT_EQ(services().beeps, 1);
  services().clockMilliseconds = 600000 + 5000;  // exactly 300 ticks later: still quiet
  CreateRange(tooLarge);
  EXPECT_EQ(services().alerts.size(), 1u);
  services().clockMilliseconds = 600000 + 5050;  // 303 ticks later
  CreateRange(tooLarge);
  EXPECT_EQ(services().alerts.size(), 2u);
  CreateRange("||1|1|100000|");               // no warning asked for
  CreateRange("-fieldsizewarning||1|1|10|");  // fits
  services().clockMilliseconds += 60000;
  CreateRange("-fieldsizewarning||1|1|10|");
  EXPECT_EQ(services().alerts.size(), 2u);
}

TEST_F(CreateRangeTest, NoWarningInTheFirst300TicksAfterStart) {
  services().clockMilliseconds = 5000;  // 300 ticks
  CreateRange("-fieldsizewarning||1|1|100000|");
  EXPECT_TRUE(services().alerts.empty());
  services().clockMilliseconds = 5050;
  CreateRange("-fieldsizewarning||1|1|100000|");
  EXPECT_EQ(services().alerts.size(), 1u);
}

TEST_F(CreateRangeTest, WarningAfterTheMillisecondCounterWrapped) {
  services().clockMilliseconds = 0xFFFFF000u;  // about 49.7 days after start
  CreateRange("-fieldsizewarning||1|1|100000|");
  ASSERT_EQ(services().alerts.size(), 1u);
  services().clockMilliseconds = 10000;  // the counter wrapped
  CreateRange("-fieldsizewarning||1|1|100000|");
  EXPECT_EQ(services().alerts.size(), 2u);
}

TEST_F(CreateRangeTest, FailedFirstResizeEndsTheCallQuietly) {
  const host::FunctionOutcome outcome =
      Call(kCreateRangeIndex, "-fieldsizewarning||1|1|100000|", "before",
           host::Fault{host::FaultyCallback::kSetHandleSize, host::HandleRole::kResult, 1});
  EXPECT_EQ(outcome.result, "before");
  EXPECT_TRUE(services().alerts.empty());
  EXPECT_EQ(outcome.trace.back(), "memoryError -108");
}

TEST_F(CreateRangeTest, RefusedLockPutsTheResultBackAsItWas) {
  const host::FunctionOutcome outcome =
      Call(kCreateRangeIndex, "-fieldsizewarning||1|1|100000|", "before",
           host::Fault{host::FaultyCallback::kLockHandle, host::HandleRole::kResult, 1});
  EXPECT_EQ(outcome.result, "before");
  EXPECT_TRUE(outcome.locked.empty());
  EXPECT_TRUE(services().alerts.empty());
  EXPECT_EQ(outcome.trace.back(), "setHandleSize result 6");
}

}  // namespace
}  // namespace serix::testing
