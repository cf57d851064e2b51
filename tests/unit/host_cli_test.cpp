// The serix-host command line: what a person types, what is printed where, and exit codes.
#include "host_cli.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "scratch_directory.h"

namespace serix::host {
namespace {

struct Ran {
  int status;
  std::string out;
  std::string err;
};

Ran Command(std::vector<std::string> words, const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCommandLine(std::move(words), in, out, err);
  return {status, out.str(), err.str()};
}

int LineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(HostCli, CallPrintsOneEntryALine) {
  const Ran run =
      Command({"call", "Serx-CreateRange", "-padding 3|Item |8|1|11|", "--registry", "memory"});
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.out, "Item 008\nItem 009\nItem 010\nItem 011\n");
  EXPECT_EQ(run.err, "");
}

TEST(HostCli, RawWritesTheResultBytesExactly) {
  const Ran run = Command(
      {"call", "--raw", "--registry=memory", "Serx-CreateRange", "-noreturnatend|x|1|1|2|"});
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.out, "x1\rx2");
}

TEST(HostCli, LastLineGetsALineEnd) {
  EXPECT_EQ(Command({"call", "Serx-Version", "--registry", "memory"}).out,
            "Vexa Serix Plug-In 1.1\n");
  EXPECT_EQ(Command({"call", "serx-version", "-getversionnumber", "--registry", "memory"}).out,
            "1100\n");
}

TEST(HostCli, ArgumentsThatLookLikeOptionsAreArguments) {
  // Option words of the plug-in begin with "-", and so may a whole argument.
  EXPECT_EQ(
      Command({"call", "Serx-Options", "-setwarningdialogtext|Text", "--registry", "memory"}).out,
      "0\n");
  EXPECT_EQ(Command({"call", "--registry", "memory", "--", "Serx-Version", "--raw"}).out,
            "Vexa Serix Plug-In 1.1\n");
  EXPECT_EQ(Command({"call", "--registry", "memory", "Serx-CreateRange", "-x|-|1|1|1|--"}).out,
            "-1--\n");
}

TEST(HostCli, UntouchedResultExitsOneWithOneLine) {
  const Ran run = Command({"call", "Serx-CreateRange", "||1|0|5|", "--registry", "memory"});
  EXPECT_EQ(run.status, kExitNoResult);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(LineCount(run.err), 1);
  EXPECT_NE(run.err.find("Serx-CreateRange"), std::string::npos) << run.err;
}

TEST(HostCli, UsageErrorsExitTwoWithOneLine) {
  const std::vector<std::vector<std::string>> mistakes = {
      {},
      {"cal"},
      {"call"},
      {"call", "Serx-CreatRange", "||1|1|2|", "--registry", "memory"},
      {"call", "--rwa", "Serx-Version"},
      {"call", "Serx-Version", "x", "y", "--registry", "memory"},
      {"call", "Serx-Version", "--registry"},
      {"call", "Serx-Version", "--registry", "--"},
      {"call", "--registry", "--", "Serx-Version"},
      {"call", "--registry", "-x", "Serx-Version"},
      {"call", "Serx-Version", "--registry", "memory", "--scratch-registry"},
      {"prefs", "set", "SeparatorToken"},
      {"prefs", "set-number", "Version", "one", "--registry", "memory"},
      {"prefs", "set-number", "Version", "4294967296", "--registry", "memory"},
      {"prefs", "set-number", "Version", "-2147483649", "--registry", "memory"},
      {"prefs", "unset", "Version"},
      {"strings", "extra"},
      {"call", "Serx-Version", "--plugin", "Serix.fmx", "--registry", "memory"},
  };
  for (const auto& words : mistakes) {
    const Ran run = Command(words);
    std::string typed;
    for (const std::string& word : words) typed += word + " ";
    EXPECT_EQ(run.status, kExitUsage) << typed;
    EXPECT_EQ(LineCount(run.err), 1) << typed << "\n" << run.err;
    EXPECT_EQ(run.out, "") << typed;
  }
}

TEST(HostCli, MistypedFunctionNamesTheRealOnes) {
  const Ran run = Command({"call", "Serx-CreatRange", "--registry", "memory"});
  EXPECT_NE(run.err.find("Serx-Version, Serx-CreateRange, Serx-Options"), std::string::npos);
}

TEST(HostCli, HelpEverywhere) {
  for (const std::vector<std::string>& words : {std::vector<std::string>{"--help"},
                                                {"-h"},
                                                {"call", "--help"},
                                                {"prefs", "--help"},
                                                {"prefs", "set", "--help"},
                                                {"strings", "--help"},
                                                {"version", "--help"},
                                                {"session", "--help"}}) {
    const Ran run = Command(words);
    EXPECT_EQ(run.status, kExitDone) << words.front();
    EXPECT_NE(run.out.find("Usage: serix-host"), std::string::npos) << run.out;
  }
  EXPECT_NE(Command({"call", "--help"}).out.find("--raw"), std::string::npos);
}

TEST(HostCli, MessageBoxesGoToStandardError) {
  const Ran run = Command(
      {"call", "Serx-CreateRange", "-fieldsizewarning||1|1|99999|", "--registry", "memory"});
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.err,
            "[Vexa Serix Plug-In] You have specified a value range too large. Please adjust "
            "your values into smaller increments. There is a limit of 64K of text within "
            "calculated text fields.\n");
  // 1 to 12517 whole, then 12518 cut at the 64000th character.
  EXPECT_EQ(LineCount(run.out), 12518);
  EXPECT_EQ(run.out.substr(run.out.size() - 12), "\n12517\n1251\n");
}

class HostCliPrefsTest : public ::testing::Test {
 protected:
  // The words with "--registry FILE" after the command's first word.
  std::vector<std::string> With(std::vector<std::string> words) {
    const std::string file = (scratch_.path() / "registry").string();
    words.insert(words.begin() + 1, {"--registry", file});
    return words;
  }
  testing::ScratchDirectory scratch_;
};

TEST_F(HostCliPrefsTest, TokenSetWithPrefsIsInForceForLaterCalls) {
  ASSERT_EQ(Command(With({"prefs", "set", "SeparatorToken", ";"})).status, kExitDone);
  EXPECT_EQ(Command(With({"call", "Serx-CreateRange", "-padding 2;n;1;1;2;"})).out, "n01\nn02\n");
  const Ran shown = Command(With({"prefs"}));
  EXPECT_NE(shown.out.find("SeparatorToken      REG_SZ     \";\""), std::string::npos) << shown.out;
  // The call wrote the values that were missing.
  EXPECT_NE(shown.out.find("Version             REG_DWORD  0"), std::string::npos) << shown.out;
}

TEST_F(HostCliPrefsTest, ShowsAKeyNotYetCreated) {
  const Ran run = Command(With({"prefs"}));
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_NE(run.out.find("HKEY_CURRENT_USER\\Software\\Vexa\\Vexa Plug-in General Prefs"),
            std::string::npos);
  EXPECT_NE(run.out.find("no key yet"), std::string::npos) << run.out;
}

TEST_F(HostCliPrefsTest, NumbersDeletionsAndTokensThatLookLikeOptions) {
  ASSERT_EQ(Command(With({"prefs", "set-number", "Version", "-1"})).status, kExitDone);
  // "--" ends the options, so a value "--" comes after one.
  ASSERT_EQ(Command(With({"prefs", "set", "--", "SeparatorToken", "--"})).status, kExitDone);
  EXPECT_EQ(Command(With({"call", "Serx-CreateRange", "--n--1--1--2--"})).out, "n1\nn2\n");
  Ran shown = Command(With({"prefs"}));
  EXPECT_NE(shown.out.find("Version             REG_DWORD  4294967295"), std::string::npos)
      << shown.out;
  EXPECT_EQ(Command(With({"prefs", "delete", "Version"})).status, kExitDone);
  const Ran again = Command(With({"prefs", "delete", "Version"}));
  EXPECT_EQ(again.status, kExitNoResult);
  EXPECT_EQ(LineCount(again.err), 1);
  shown = Command(With({"prefs"}));
  EXPECT_EQ(shown.out.find("Version "), std::string::npos) << shown.out;
}

TEST(HostCli, StringsAndVersion) {
  const Ran strings = Command({"strings"});
  EXPECT_EQ(strings.status, kExitDone);
  EXPECT_NE(strings.out.find("145   Serx-CreateRange\n"), std::string::npos) << strings.out;
  // The description's line feed is shown as an escape, one string a line.
  EXPECT_NE(strings.out.find("functions.\\nSee the plug-in"), std::string::npos);
  EXPECT_EQ(LineCount(strings.out), 8);
  const Ran version = Command({"version"});
  EXPECT_NE(version.out.find("FileVersion       1.1 25-July-2001\n"), std::string::npos)
      << version.out;
  EXPECT_NE(version.out.find("file version      1.0.0.0\n"), std::string::npos);
}

TEST(HostCli, SessionStartsWithAnEmptyMemoryRegistry) {
  const Ran run = Command({"session"}, "{\"op\":\"registry\",\"get\":true}\n");
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.out, "{\"key\":false,\"values\":{},\"open\":0}\n");
}

struct Marking {
  std::vector<std::string> typed;
  std::vector<std::string> marked;
};

TEST(HostCli, MarkPositionals) {
  const Marking cases[] = {
      {{"call", "Serx-CreateRange", "-padding 3|x|1|1|2|"},
       {"call", "--", "Serx-CreateRange", "-padding 3|x|1|1|2|"}},
      {{"call", "--raw", "N", "-h"}, {"call", "--raw", "-h", "--", "N"}},
      {{"call", "N", "--registry", "memory", "-x"},
       {"call", "--registry", "memory", "--", "N", "-x"}},
      {{"call", "--registry=f", "N", "--", "--raw"}, {"call", "--registry=f", "--", "N", "--raw"}},
      {{"call", "--rwa", "N"}, {"call", "--rwa", "--", "N"}},
      {{"call", "N", "--rwa"}, {"call", "--", "N", "--rwa"}},
      {{"prefs", "--registry", "f", "set", "SeparatorToken", "-"},
       {"prefs", "--registry", "f", "set", "--", "SeparatorToken", "-"}},
      {{"prefs", "set-number", "Version", "-1"}, {"prefs", "set-number", "--", "Version", "-1"}},
      {{"prefs", "set", "--", "SeparatorToken", "--"},
       {"prefs", "set", "--", "SeparatorToken", "--"}},
      {{"call", "N", "--registry"}, {"call", "N", "--registry"}},
      {{"call", "N", "--registry", "--", "x"}, {"call", "N", "--registry", "--", "x"}},
      {{"prefs"}, {"prefs"}},
      {{"strings", "-x"}, {"strings", "-x"}},
      {{"session", "--registry", "call"}, {"session", "--registry", "call"}},
      {{}, {}},
  };
  for (const Marking& marking : cases) {
    EXPECT_EQ(MarkPositionals(marking.typed), marking.marked) << marking.typed.size();
  }
}

}  // namespace
}  // namespace serix::host
