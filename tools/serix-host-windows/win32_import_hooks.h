// The Windows host's hold on what the loaded Serix.fmx asks of Windows, so that the session
// protocol's clock, registry denial and beep count work on the real DLL as they do natively.
//
// After loading, the entries of the module's import address table for GetTickCount,
// MessageBeep, MessageBoxA, RegCreateKeyA, RegSetValueExA and RegCloseKey are pointed at the
// host's own functions. The module's file and code stay exactly as built. The stand-ins:
//
//   GetTickCount     answers the time the host sets (from the emulated Windows' starting clock)
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
#include <vector>

#include "platform/portable/emulated_windows.h"  // ShownMessage, kStartingTickCount

namespace serix::host {

// Which stand-ins are in place: a module that imports none of a group's functions gets none.
struct HookedImports {
  bool clock = false;  // GetTickCount
  bool deny = false;   // RegCreateKeyA and RegSetValueExA
  bool beeps = false;  // MessageBeep
  bool open = false;   // RegCreateKeyA and RegCloseKey
  bool boxes = false;  // MessageBoxA
};

// Points module's imports at the stand-ins, whose state starts afresh: the starting clock,
// nothing denied, no beeps, boxes or open keys.
HookedImports HookPluginImports(HMODULE module);

void SetHookedClock(std::uint32_t milliseconds);
void DenyKeyCreation(bool denied);
void DenyValueWriting(bool denied);

// Keys the module holds open now.
int HookedOpenKeys();

// The simple beeps and the message boxes asked for since the last call, which clears them;
// each box with what was wrong in how it was asked for (message_box_rule.h).
int TakeSimpleBeeps();
std::vector<portable::ShownMessage> TakeMessageBoxRequests();

}  // namespace serix::host
