// fuzz-entry: any sequence of host events driven through FMExternCallProc and the emulated
// host, on a freshly loaded plug-in per input, checking after every call what must always
// hold: no write past a handle, no handle left locked, no registry key left open, a
// CreateRange result of at most 64000 characters, and no message box but the two the
// plug-in has.
//
// Input, one record after another (fuzz_input.h reads the fields):
//   I <int16 version>                      Initialise
//   E <kind byte> <int16 version>          any other call kind
//   F <index> <argument>\n <result>\n <fault>
//                                          a function call; index '0'..'9' is that digit,
//                                          any other byte is followed by a 32-bit index;
//                                          fault '-' is none, any other byte chooses the
//                                          callback (bit 0), the handle (bit 1) and the
//                                          call that fails (bits 2-4, plus 1)
//   R <name>\n <type> <bytes>\n            a registry value; type 's' REG_SZ, 'd' REG_DWORD,
//                                          any other byte is followed by a 32-bit type
//   D <name>\n                             deletes a value;  K deletes the key
//   X <c|w|other>                          deny creating the key, writing values, or neither
//   C <uint32 milliseconds>                sets the system's millisecond counter
// Other bytes are skipped.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "emulated_host.h"
#include "fuzz_input.h"
#include "linked_plugin.h"
#include "platform/portable/emulated_windows.h"
#include "range/range_warning.h"
#include "settings/prefs_record.h"

namespace serix::fuzz {
namespace {

constexpr int kMaxEvents = 200;
constexpr std::size_t kResultLimit = 64000;
constexpr std::size_t kWorkingSize = 65000;
constexpr char kCaption[] = "Vexa Serix Plug-In";

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "fuzz-entry: %s %s\n", what, detail.c_str());
  std::abort();
}

void Check(bool holds, const char* what, const std::string& detail = {}) {
  if (!holds) Fail(what, detail);
}

bool IsErrorNumberText(const std::string& text) {
  constexpr std::string_view kBefore = " error number ";
  constexpr std::string_view kAfter = "  ";
  if (text.size() <= kBefore.size() + kAfter.size()) return false;
  if (text.compare(0, kBefore.size(), kBefore) != 0) return false;
  if (text.compare(text.size() - kAfter.size(), kAfter.size(), kAfter) != 0) return false;
  const std::string digits = text.substr(kBefore.size(), text.size() - kBefore.size() - 2);
  return digits.size() <= 10 && digits.find_first_not_of("0123456789") == std::string::npos;
}

void CallFunction(host::EmulatedHost& host, FuzzInput& input) {
  const std::uint8_t indexByte = input.Byte();
  const std::uint32_t index = (indexByte >= '0' && indexByte <= '9')
                                  ? static_cast<std::uint32_t>(indexByte - '0')
                                  : input.Long();
  const std::string argument = input.Text();
  std::string before = input.Text();
  if (before.size() > 300) before.resize(300);
  std::optional<host::Fault> fault;
  if (const std::uint8_t faultByte = input.Byte(); faultByte != '-' && faultByte != 0) {
    fault = host::Fault{
        (faultByte & 1) ? host::FaultyCallback::kLockHandle : host::FaultyCallback::kSetHandleSize,
        (faultByte & 2) ? host::HandleRole::kResult : host::HandleRole::kArgument,
        ((faultByte >> 2) & 7) + 1};
  }

  portable::Services& services = portable::CurrentServices();
  services.alerts.clear();
  services.beeps = 0;
  const host::FunctionOutcome outcome = host.CallFunction(index, argument, before, fault);

  Check(!outcome.overrun, "write past the end of a handle");
  for (const std::string& handle : outcome.locked) {
    // A handle may stay locked only if its lock was the one that failed.
    const bool lockFailed =
        fault && fault->callback == host::FaultyCallback::kLockHandle &&
        handle == (fault->handle == host::HandleRole::kResult ? "result" : "argument");
    Check(lockFailed, "handle left locked:", handle);
  }
  Check(portable::OpenKeyCount() == 0, "registry key left open");
  if (index == 1) {
    const bool finalResizeFailed = fault &&
                                   fault->callback == host::FaultyCallback::kSetHandleSize &&
                                   fault->handle == host::HandleRole::kResult && fault->nth == 2;
    Check(outcome.result.size() <= kResultLimit ||
              (finalResizeFailed && outcome.result.size() == kWorkingSize),
          "CreateRange result too long:", std::to_string(outcome.result.size()));
  }
  if (!fault && index == 0) {
    Check(outcome.result == "Vexa Serix Plug-In 1.1" || outcome.result == "1100",
          "Serx-Version result:", outcome.result);
  }
  if (!fault && index == 2) {
    Check(outcome.result == "0" || outcome.result == "$$-50",
          "Serx-Options result:", outcome.result);
  }
  if (index > 2) Check(!outcome.touched && outcome.result == before, "unknown index wrote");

  const std::string warning = WarningDialogText();
  Check(warning.size() <= 255, "warning text longer than 255");
  Check(services.beeps == static_cast<int>(services.alerts.size()), "beeps and boxes differ");
  for (const portable::ShownMessage& alert : services.alerts) {
    Check(alert.caption == kCaption, "message box caption:", alert.caption);
    Check(IsErrorNumberText(alert.text) || (index == 1 && alert.text == warning),
          "message box text:", alert.text);
  }
}

void RunEvents(FuzzInput& input) {
  host::EmulatedHost host(host::LinkedPlugin());
  portable::Services& services = portable::CurrentServices();
  for (int event = 0; event < kMaxEvents && !input.empty(); ++event) {
    switch (input.Byte()) {
      case 'I': {
        const auto version = static_cast<std::int16_t>(input.Word());
        const std::int32_t answer = host.Initialise(version);
        Check(answer == ((version >= 4 && version <= 255) ? 4 : -1), "Initialise answer");
        break;
      }
      case 'E': {
        std::uint8_t kind = input.Byte();
        if (kind == 3 || kind == 0) kind = 1;  // function calls and Initialise have their own
        const host::EventOutcome outcome =
            host.Event(kind, static_cast<std::int16_t>(input.Word()));
        Check(outcome.resultField == 0x5EED5EED && outcome.blockUnchanged, "event changed block");
        break;
      }
      case 'F':
        CallFunction(host, input);
        break;
      case 'R': {
        const std::string name = input.Text();
        const std::uint8_t typeByte = input.Byte();
        const std::uint32_t type = typeByte == 's'   ? kTypeText
                                   : typeByte == 'd' ? kTypeNumber
                                                     : input.Long();
        services.registry->SetValue(kPrefsKeyPath, name, {type, input.Text()});
        break;
      }
      case 'D':
        services.registry->DeleteValue(kPrefsKeyPath, input.Text());
        break;
      case 'K':
        services.registry->DeleteKey(kPrefsKeyPath);
        break;
      case 'X': {
        const std::uint8_t which = input.Byte();
        services.denyCreate = which == 'c';
        services.denyWrite = which == 'w';
        break;
      }
      case 'C':
        services.clockMilliseconds = input.Long();
        break;
      default:
        break;
    }
  }
}

}  // namespace
}  // namespace serix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  serix::host::ReloadLinkedPlugin();
  serix::fuzz::FuzzInput input(data, size);
  serix::fuzz::RunEvents(input);
  return 0;
}
