// The loaded plug-in through its one export, as the host application drives it: the entry
// found by its undecorated name, Initialise answered, preferences created in the registry
// (a scratch key standing in for HKEY_CURRENT_USER), and ranges written byte for byte as
// Windows' own formatter and calendar would write them.
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "dll_checks.h"
#include "emulated_host.h"
#include "message_box_rule.h"
#include "settings/prefs_record.h"
#include "win32_import_hooks.h"
#include "win32_scratch_registry.h"
#include "windows_reference.h"

namespace serix::wintest {
namespace {

constexpr std::uint32_t kVersionIndex = 0;
constexpr std::uint32_t kCreateRangeIndex = 1;

// The plug-in loaded as a library, with HKEY_CURRENT_USER redirected for as long as it lives.
class LoadedPlugin {
 public:
  LoadedPlugin(Checker& checker, const char* path) {
    std::string why;
    if (!checker.True(scratch_.Start(why), "scratch registry: " + why)) return;
    module_ = LoadLibraryA(path);
    if (!checker.True(module_ != nullptr, "the module loads")) return;
    const FARPROC entry = GetProcAddress(module_, "FMExternCallProc");
    if (!checker.True(entry != nullptr, "FMExternCallProc is exported undecorated")) return;
    host_.emplace(host::PluginModule{
        reinterpret_cast<host::EntryProc>(reinterpret_cast<void (*)()>(entry)), module_});
  }
  ~LoadedPlugin() {
    host_.reset();
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  HMODULE module() const { return module_; }
  host::EmulatedHost* host() { return host_ ? &*host_ : nullptr; }

 private:
  host::ScratchRegistry scratch_;
  HMODULE module_ = nullptr;
  std::optional<host::EmulatedHost> host_;
};

bool PrefsKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kPrefsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// A value of the preference key: its type and bytes, or nothing when missing.
std::optional<std::pair<DWORD, std::string>> PrefsValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kPrefsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  char data[256];
  DWORD size = sizeof data;
  DWORD type = 0;
  const LONG status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return std::make_pair(type, std::string(data, size));
}

void SetSeparatorToken(const char* token) {
  HKEY key = nullptr;
  if (RegCreateKeyA(HKEY_CURRENT_USER, kPrefsKeyPath, &key) != ERROR_SUCCESS) return;
  RegSetValueExA(key, "SeparatorToken", 0, REG_SZ, reinterpret_cast<const BYTE*>(token),
                 static_cast<DWORD>(std::strlen(token) + 1));
  RegCloseKey(key);
}

std::string Number(std::uint32_t value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Calls CreateRange and checks that the host saw nothing amiss: no handle left locked and no
// write past a handle's data.
std::string CreateRange(Checker& checker, host::EmulatedHost& host, const std::string& argument) {
  const host::FunctionOutcome outcome = host.CallFunction(kCreateRangeIndex, argument);
  checker.True(outcome.locked.empty() && !outcome.overrun,
               "handles unlocked and intact after " + argument);
  return outcome.result;
}

// --- Numbers --------------------------------------------------------------------------------

struct Range {
  std::int32_t start;
  std::int32_t step;
  std::int32_t end;
};

// Ranges that together hold numbers of every length and both signs, each short enough that even
// 100-character numbers stay below the result limit.
constexpr Range kNumberRanges[] = {
    {-1200, 7, 1200},
    {INT32_MIN, 33554431, INT32_MAX},
    {INT32_MAX, -16777259, INT32_MIN},
    {-99999, 1013, 99999},
    {-5, 1, 5},
};

// The number formats a padding text stands for, wsprintfA-style: "%0", the width digits as
// written and "ld" for values from zero, one digit wider for negatives; 100 at most.
struct NumberFormats {
  std::string nonNegative = "%ld";
  std::string negative = "%ld";
};

NumberFormats FormatsForWidth(const std::string& digits) {
  const long width = std::strtol(digits.c_str(), nullptr, 10);
  NumberFormats formats;
  formats.nonNegative = width <= 100 ? "%0" + digits + "ld" : "%0100ld";
  formats.negative = width <= 99 ? "%0" + std::to_string(width + 1) + "ld" : "%0100ld";
  return formats;
}

std::string ExpectedNumbers(const Range& range, const NumberFormats& formats) {
  std::string text;
  char number[1100];
  for (std::int64_t value = range.start; range.step > 0 ? value <= range.end : value >= range.end;
       value += range.step) {
    const std::string& format = value < 0 ? formats.negative : formats.nonNegative;
    const int length = wsprintfA(number, format.c_str(), static_cast<long>(value));
    text.append("<").append(number, static_cast<std::size_t>(length)).append(">\r");
  }
  return text;
}

std::string RangeArgument(const std::string& options, std::int64_t start, std::int64_t step,
                          std::int64_t end) {
  return options + "|<|" + std::to_string(start) + "|" + std::to_string(step) + "|" +
         std::to_string(end) + "|>";
}

void CheckNumberRanges(Checker& checker, host::EmulatedHost& host) {
  std::vector<std::pair<std::string, NumberFormats>> paddings{{"", NumberFormats{}}};
  for (int width = 0; width <= 100; ++width) {
    const std::string digits = std::to_string(width);
    paddings.emplace_back("-padding " + digits, FormatsForWidth(digits));
  }
  for (const char* digits : {"007", "0100", "250", "99999999999"}) {
    paddings.emplace_back(std::string("-padding ") + digits, FormatsForWidth(digits));
  }
  for (const auto& [options, formats] : paddings) {
    for (const Range& range : kNumberRanges) {
      const std::string argument = RangeArgument(options, range.start, range.step, range.end);
      checker.Equal(ExpectedNumbers(range, formats), CreateRange(checker, host, argument),
                    [&] { return "CreateRange " + argument; });
    }
  }
}

// --- Dates ----------------------------------------------------------------------------------

constexpr std::int32_t kFirstDay = 584389;     // 1 January 1601
constexpr std::int32_t kLastDay = 11259330;    // 31 December 30827
constexpr std::int32_t kDateStep = 2371;       // about 4500 dates a range, under the limit
constexpr std::int32_t kDateRangeOffsets = 7;  // ranges starting on consecutive days

struct DateOptions {
  const char* words;
  int order;
  char separator;
};

constexpr DateOptions kDateOptions[] = {
    {"-DateMMDDYYYY", 1, '/'},
    {"-DateDDMMYYYY -DateUseDash", 2, '-'},
    {"-DateMMDDYYYY -DateUsePeriod -padding 12", 1, '.'},
};

std::string ExpectedDates(std::int32_t start, std::int32_t end, const DateOptions& options) {
  std::string text;
  for (std::int32_t day = start; day <= end; day += kDateStep) {
    SYSTEMTIME date;
    char written[64];
    const int length = SystemDateOf(day, date)
                           ? WriteSystemDate(written, date, options.order, options.separator)
                           : 0;
    text.append("<").append(written, static_cast<std::size_t>(length)).append(">\r");
  }
  return text;
}

void CheckDateRanges(Checker& checker, host::EmulatedHost& host) {
  for (const DateOptions& options : kDateOptions) {
    for (std::int32_t offset = 0; offset < kDateRangeOffsets; ++offset) {
      const std::int32_t start = kFirstDay + offset;
      const std::string argument = RangeArgument(options.words, start, kDateStep, kLastDay);
      checker.Equal(ExpectedDates(start, kLastDay, options), CreateRange(checker, host, argument),
                    [&] { return "CreateRange " + argument; });
    }
  }
}

// The host's judgement of how the plug-in asked for a box: MB_TASKMODAL alone and no owner
// window is right; every other style bit, alone or beside it, and an owner window are not.
void CheckMessageBoxJudgement(Checker& checker) {
  checker.Equal("", host::MessageBoxDefect(false, MB_TASKMODAL), "a task-modal box");
  checker.True(!host::MessageBoxDefect(true, MB_TASKMODAL).empty(),
               "a box with an owner window is flagged");
  checker.True(!host::MessageBoxDefect(false, 0).empty(), "an application-modal box is flagged");
  for (int bit = 0; bit < 32; ++bit) {
    const UINT style = UINT{1} << bit;
    if (style == MB_TASKMODAL) continue;
    // (The message built in steps: GCC 12 for i686 warns of an overlap, wrongly, in
    // "literal" + std::to_string(...).)
    std::string what = "style bit ";
    what += std::to_string(bit);
    what += " beside MB_TASKMODAL is flagged";
    checker.True(!host::MessageBoxDefect(false, MB_TASKMODAL | style).empty(), what);
  }
}

}  // namespace

void CheckModuleEntry(Checker& checker, const char* modulePath) {
  CheckMessageBoxJudgement(checker);
  LoadedPlugin plugin(checker, modulePath);
  host::EmulatedHost* const host = plugin.host();
  if (host == nullptr) return;
  checker.True(GetProcAddress(plugin.module(), "_FMExternCallProc@4") == nullptr &&
                   GetProcAddress(plugin.module(), "FMExternCallProc@4") == nullptr,
               "no decorated name is exported");

  checker.EqualNumber(-1, host->Initialise(3), "Initialise with interface version 3");
  checker.True(!PrefsKeyExists(), "a refused Initialise creates no key");
  checker.EqualNumber(4, host->Initialise(4), "Initialise with interface version 4");
  checker.True(PrefsKeyExists() && !PrefsValue("SeparatorToken"),
               "the first Initialise creates the key, without values");
  checker.EqualNumber(-1, host->Initialise(256), "Initialise with interface version 256");
  checker.EqualNumber(4, host->Initialise(255), "Initialise with interface version 255");

  checker.Equal("1100", host->CallFunction(kVersionIndex, "-getversionnumber").result,
                "Serx-Version -getversionnumber");
  // The first function call writes the defaults.
  using Value = std::optional<std::pair<DWORD, std::string>>;
  const std::pair<const char*, Value> defaults[] = {
      {"SeparatorToken", std::make_pair(REG_SZ, std::string("|", 2))},
      {"DefSeparatorToken", std::make_pair(REG_SZ, std::string("|", 2))},
      {"Version", std::make_pair(REG_DWORD, Number(1))},
      {"isOneTimeSeparator", std::make_pair(REG_DWORD, Number(0))},
  };
  for (const auto& [name, expected] : defaults) {
    checker.True(PrefsValue(name) == expected, std::string("default value ") + name);
  }

  // A separator token set in the registry splits the next call's argument.
  SetSeparatorToken(";");
  checker.Equal("<01>\r<02>\r<03>\r", CreateRange(checker, *host, "-padding 2;<;1;1;3;>"),
                "CreateRange split at \";\" from the registry");
  SetSeparatorToken("|");
  checker.Equal("Item 008\rItem 009\rItem 010\rItem 011\r",
                CreateRange(checker, *host, "-padding 3|Item |8|1|11|"), "CreateRange example");
}

void CheckModuleRanges(Checker& checker, const char* modulePath) {
  LoadedPlugin plugin(checker, modulePath);
  host::EmulatedHost* const host = plugin.host();
  if (host == nullptr) return;
  checker.EqualNumber(4, host->Initialise(4), "Initialise");
  CheckNumberRanges(checker, *host);
  CheckDateRanges(checker, *host);
}

}  // namespace serix::wintest
