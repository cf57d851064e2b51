// Every failure point of the host's memory callbacks, reached one after another in the manner
// of SQLite's out-of-memory loops: for each function and argument, fail the 1st, then the 2nd,
// ... call of setHandleSize and of lockHandle on the argument and on the result handle, until
// a run no longer meets the failure, and check each run against what the plug-in must do.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "emulated_host.h"
#include "host/version_function.h"
#include "linked_plugin.h"
#include "platform/portable/emulated_windows.h"
#include "range/range_warning.h"

namespace serix::testing {
namespace {

using host::FaultyCallback;
using host::HandleRole;

constexpr std::uint32_t kVersion = 0;
constexpr std::uint32_t kCreateRange = 1;
constexpr std::uint32_t kOptions = 2;

struct Call {
  std::uint32_t function;
  std::string argument;
  std::string resultBefore;
};

// What one call did, seen from the host and from the platform stand-ins.
struct Observed {
  host::FunctionOutcome outcome;
  std::vector<portable::ShownMessage> alerts;
  int beeps = 0;
  int openKeys = 0;
  std::string warningText;
};

// Runs the call on a freshly loaded, initialised plug-in.
Observed RunFresh(const Call& call, std::optional<host::Fault> fault = std::nullopt) {
  host::ReloadLinkedPlugin();
  host::EmulatedHost host(host::LinkedPlugin());
  host.Initialise(4);
  Observed observed;
  observed.outcome = host.CallFunction(call.function, call.argument, call.resultBefore, fault);
  const portable::Services& services = portable::CurrentServices();
  observed.alerts = services.alerts;
  observed.beeps = services.beeps;
  observed.openKeys = portable::OpenKeyCount();
  observed.warningText = WarningDialogText();
  return observed;
}

std::string Prefix(FaultyCallback callback, HandleRole role) {
  return std::string(callback == FaultyCallback::kSetHandleSize ? "setHandleSize" : "lockHandle") +
         (role == HandleRole::kArgument ? " argument" : " result");
}

int CountCalls(const std::vector<std::string>& trace, const std::string& prefix) {
  return static_cast<int>(std::count_if(trace.begin(), trace.end(), [&](const std::string& line) {
    return line.rfind(prefix, 0) == 0;
  }));
}

// The texts Serx-Version and Serx-Options write, in order, each with SetResultText.
std::vector<std::string> ResultWrites(const Call& call, const Observed& baseline) {
  const int writes = CountCalls(baseline.outcome.trace, "setHandleSize result");
  if (call.function == kVersion && writes == 2)
    return {kPluginNameAndVersion, kPluginVersionNumber};
  EXPECT_EQ(writes, 1);
  return {baseline.outcome.result};
}

// What the result handle holds after those writes when the nth call of callback on it fails:
// a failed resize leaves the handle as it was; after a failed lock the handle is sized back to
// what it had, so the host keeps its text (when the new text was shorter, the host keeps the
// leading bytes and adds zeros where the shrink took its tail).
std::string ExpectedAfterWrites(const std::string& before, const std::vector<std::string>& writes,
                                FaultyCallback callback, int nth) {
  std::string content = before;
  int resizes = 0;
  int locks = 0;
  for (const std::string& text : writes) {
    if (++resizes == nth && callback == FaultyCallback::kSetHandleSize) continue;
    if (++locks == nth && callback == FaultyCallback::kLockHandle) {
      const std::size_t size = content.size();
      content.resize(std::min(size, text.size()));
      content.resize(size, '\0');
      continue;
    }
    content = text;
  }
  return content;
}

class ReliabilityFaultLoopTest : public ::testing::Test {
 protected:
  ~ReliabilityFaultLoopTest() override { host::ReloadLinkedPlugin(); }
};

TEST_F(ReliabilityFaultLoopTest, EveryCallbackFailureEndsAsTheHostInterfaceRequires) {
  const std::string longText(300, 'w');
  const std::vector<Call> calls = {
      {kVersion, "", "old"},
      {kVersion, "-getversionnumber", ""},
      {kVersion, "-GetVersionNumber|more|params", "old result"},
      {kVersion, "|-getversionnumber", "x"},
      {kCreateRange, "", "old"},
      {kCreateRange, "|Item |1|1|3|", "old result"},
      {kCreateRange, "-noreturnatend|a|1|1|5|b", ""},
      {kCreateRange, "-fieldsizewarning||1|1|100000|", "old"},
      {kCreateRange, "-padding 3 -fieldsizewarning|ab|-5|1|100000|", ""},
      {kCreateRange, "-fieldsizewarning|" + longText + "|1|1|1000|" + longText, "x"},
      {kCreateRange, "-DateDDMMYYYY -DateUsePeriod||730851|1|730853|", "x"},
      {kCreateRange, "||2147483640|3|2147483647|", ""},
      {kCreateRange, "||1|0|5|", "kept"},
      {kCreateRange, "||1|1", "kept"},
      {kOptions, "", "old"},
      {kOptions, "-setwarningdialogtext|New text", ""},
      {kOptions, "-nosuchoption|Other text|third", "old"},
      {kOptions, "-setwarningdialogtext|" + longText, ""},
  };
  std::map<std::string, int> injected;
  int runs = 0;
  int warnedBaselines = 0;

  for (const Call& call : calls) {
    SCOPED_TRACE("function " + std::to_string(call.function) + " '" + call.argument.substr(0, 60) +
                 "'");
    const Observed baseline = RunFresh(call);
    ASSERT_FALSE(baseline.outcome.overrun);
    ASSERT_TRUE(baseline.outcome.locked.empty());
    if (!baseline.alerts.empty()) ++warnedBaselines;

    for (const FaultyCallback callback :
         {FaultyCallback::kSetHandleSize, FaultyCallback::kLockHandle}) {
      for (const HandleRole role : {HandleRole::kArgument, HandleRole::kResult}) {
        const std::string prefix = Prefix(callback, role);
        for (int nth = 1;; ++nth) {
          ASSERT_LT(nth, 100) << prefix << ": the loop does not end";
          SCOPED_TRACE(prefix + " fails at call " + std::to_string(nth));
          const Observed run = RunFresh(call, host::Fault{callback, role, nth});
          ++runs;
          const host::FunctionOutcome& outcome = run.outcome;

          // Whatever failed: no write past a handle, no lock left, no key left open, and no
          // message box but those the same call makes without the failure.
          EXPECT_FALSE(outcome.overrun);
          EXPECT_TRUE(outcome.locked.empty());
          EXPECT_EQ(run.openKeys, 0);
          EXPECT_EQ(run.beeps, static_cast<int>(run.alerts.size()));

          if (CountCalls(outcome.trace, prefix) < nth) {
            // The failure was never met: the run is the plain one.
            EXPECT_EQ(outcome.result, baseline.outcome.result);
            EXPECT_EQ(outcome.trace, baseline.outcome.trace);
            EXPECT_EQ(run.alerts, baseline.alerts);
            break;
          }
          ++injected[prefix];

          if (role == HandleRole::kArgument) {
            ASSERT_EQ(callback, FaultyCallback::kLockHandle) << "the argument is never resized";
            // The failed lock is answered, then the handle is unlocked all the same.
            const auto failed =
                std::find_if(outcome.trace.begin(), outcome.trace.end(),
                             [&, seen = 0](const std::string& line) mutable {
                               return line == "lockHandle argument" && ++seen == nth;
                             });
            ASSERT_GE(std::distance(failed, outcome.trace.end()), 3);
            EXPECT_EQ(failed[1], "memoryError -108");
            EXPECT_EQ(failed[2], "unlockHandle argument");
            // The function reads nothing more and ends quietly: Serx-Version keeps the name it
            // wrote first, the others leave the result and the warning text as they were.
            EXPECT_EQ(std::distance(failed, outcome.trace.end()), 3) << "calls after the refusal";
            EXPECT_EQ(outcome.result,
                      call.function == kVersion ? kPluginNameAndVersion : call.resultBefore);
            EXPECT_TRUE(run.alerts.empty());
            EXPECT_EQ(run.warningText, DefaultWarningDialogText);
            continue;
          }

          if (call.function != kCreateRange) {
            // The failed write stops; the other writes of the call go on.
            EXPECT_EQ(outcome.result,
                      ExpectedAfterWrites(call.resultBefore, ResultWrites(call, baseline), callback,
                                          nth));
            EXPECT_EQ(CountCalls(outcome.trace, "unlockHandle result"),
                      CountCalls(baseline.outcome.trace, "unlockHandle result") - 1);
            EXPECT_EQ(run.alerts, baseline.alerts);
            EXPECT_EQ(run.warningText, baseline.warningText);
            continue;
          }

          EXPECT_EQ(CountCalls(outcome.trace, "unlockHandle result"), nth == 1 ? 0 : 1);
          if (nth == 1) {
            // The 65000-character resize or the lock after it failed: nothing is written, no
            // warning, and the text the host had is there as it was.
            EXPECT_EQ(outcome.result, call.resultBefore);
            EXPECT_TRUE(run.alerts.empty());
            if (callback == FaultyCallback::kLockHandle) {
              EXPECT_EQ(outcome.trace.back(),
                        "setHandleSize result " + std::to_string(call.resultBefore.size()));
            } else {
              EXPECT_EQ(outcome.trace.back(), "memoryError -108");
            }
          } else {
            // The final resize is not checked: the entries are written, the handle keeps its
            // working size, and the warning follows as usual.
            ASSERT_EQ(callback, FaultyCallback::kSetHandleSize);
            EXPECT_EQ(outcome.result.size(), 65000u);
            EXPECT_EQ(outcome.result.substr(0, baseline.outcome.result.size()),
                      baseline.outcome.result);
            EXPECT_EQ(run.alerts, baseline.alerts);
          }
        }
      }
    }
  }

  int total = 0;
  for (const auto& [prefix, count] : injected) {
    std::printf("[ faults   ] %-22s %d\n", prefix.c_str(), count);
    total += count;
  }
  std::printf("[ faults   ] %d faults injected in %d runs over %zu calls\n", total, runs,
              calls.size());
  RecordProperty("faults_injected", total);
  EXPECT_GT(warnedBaselines, 0) << "no call shows the warning, so no check of boxes means much";
  EXPECT_EQ(injected.count("setHandleSize argument"), 0u);
  EXPECT_GT(injected["lockHandle argument"], 0);
  EXPECT_GT(injected["setHandleSize result"], 0);
  EXPECT_GT(injected["lockHandle result"], 0);
}

}  // namespace
}  // namespace serix::testing
