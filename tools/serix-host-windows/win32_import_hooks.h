// The Windows host's hold on what the loaded Serix.fmx asks of Windows, so that the session
// protocol's clock, registry denial and beep count work on the real DLL as they do natively.
//
// After loading, the entries of the module's import address table for GetTickCount,
// MessageBeep, MessageBoxA, RegCreateKeyA, RegSetValueExA and RegCloseKey are pointed at the
// host's own functions. The module's file and code stay exactly as built. The stand-ins:
//
//   GetTickCount     answers the time the host sets (600000 until set, as natively)
//   MessageBeep      counts simple beeps (argument 0xFFFFFFFF), then beeps
//   MessageBoxA      notes the owner window and style the box was asked for, then shows it
//   RegCreateKeyA    fails with access denied while creation is denied; counts open keys
//   RegSetValueExA   fails with access denied while writing is denied
//   RegCloseKey      counts open keys
//
// Every call that is not denied goes on to Windows' own function. Host thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace serix::host {

// Which stand-ins are in place: a module that imports none of a group's functions gets none.
struct HookedImports {
  bool clock = false;  // GetTickCount
  bool deny = false;   // RegCreateKeyA and RegSetValueExA
  bool beeps = false;  // MessageBeep
  bool open = false;   // RegCreateKeyA and RegCloseKey
  bool boxes = false;  // MessageBoxA
};

// Points module's imports at the stand-ins, whose state starts afresh: clock at 600000, nothing
// denied, no beeps, boxes or open keys.
HookedImports HookPluginImports(HMODULE module);

void SetHookedClock(std::uint32_t milliseconds);
void DenyKeyCreation(bool denied);
void DenyValueWriting(bool denied);

// Keys the module holds open now.
int HookedOpenKeys();

// A message box as the module asked for it.
struct MessageBoxRequest {
  std::string caption;
  std::string text;
  // Empty when the box was asked for with no owner window and the style MB_TASKMODAL alone
  // (task-modal, one OK button, no icon); otherwise what differs, for people.
  std::string defect;
};

// The simple beeps and the message boxes asked for since the last call, which clears them.
int TakeSimpleBeeps();
std::vector<MessageBoxRequest> TakeMessageBoxRequests();

}  // namespace serix::host
