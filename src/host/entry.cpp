// Serix: external calculation functions for the host database application.
//
//   Serx-Version       the plug-in's name and version, or "1100" with "-getversionnumber"
//   Serx-CreateRange   a list of numbers or dates, one entry a line, at most 64000 characters
//   Serx-Options       "-setwarningdialogtext" sets the text of the range-too-large warning
//
// Each function takes one text argument whose parameters are split at the separator token
// ("|" unless the shared preferences in the registry say otherwise) and returns one text.
// The host enters only through FMExternCallProc, one call at a time, on its own thread.
#include "host/call_block.h"
#include "host/host_calls.h"
#include "host/module.h"
#include "host/version_function.h"
#include "range/create_range.h"
#include "range/range_warning.h"
#include "settings/options_function.h"
#include "settings/prefs_record.h"

namespace serix {
namespace {

constexpr std::int32_t kPluginInterfaceVersion = 4;
constexpr std::int32_t kRefused = -1;
constexpr std::int16_t kLowestHostVersion = 4;
constexpr std::int16_t kHighestHostVersion = 255;

std::int32_t initialisationCount = 0;

std::int32_t Initialise(std::int16_t interfaceVersion) {
  if (interfaceVersion < kLowestHostVersion || interfaceVersion > kHighestHostVersion) {
    return kRefused;
  }
  if (initialisationCount == 0) InitPrefs();
  if (initialisationCount < INT32_MAX) ++initialisationCount;
  return kPluginInterfaceVersion;
}

void DispatchExternalFunction(std::uint32_t functionIndex, HostHandle argumentHandle,
                              HostHandle resultHandle) {
  switch (functionIndex) {
    case 0:
      VersionFunction(argumentHandle, resultHandle);
      break;
    case 1:
      CreateRange(argumentHandle, resultHandle);
      break;
    case 2:
      OptionsFunction(argumentHandle, resultHandle);
      break;
    default:
      break;
  }
}

}  // namespace

void ResetModuleState() {
  SetCurrentCallBlock(nullptr);
  initialisationCount = 0;
  ResetPrefsRecord();
  ResetRangeWarning();
}

}  // namespace serix

extern "C" void SERIX_STDCALL FMExternCallProc(serix::CallBlock* block) {
  using serix::CallKind;
  serix::SetCurrentCallBlock(block);
  switch (static_cast<CallKind>(block->callKind)) {
    case CallKind::kInitialise: {
      const std::int32_t answer = serix::Initialise(block->interfaceVersion);
      // The answer is a signed 32-bit value in the block's result field.
      block->result = static_cast<std::uintptr_t>(static_cast<std::uint32_t>(answer));
      break;
    }
    case CallKind::kExternalFunction:
      serix::DispatchExternalFunction(block->functionIndex, block->argumentHandle,
                                      serix::ResultHandleOf(*block));
      break;
    default:
      break;
  }
}
