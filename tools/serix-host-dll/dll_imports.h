// What the loaded module's imports become in this host: one table (dll_imports.cpp) names
// every function and datum of KERNEL32, USER32, ADVAPI32 and msvcrt the module may import and
// the stand-in it is bound to, with Windows' calling conventions (stdcall for the Windows
// functions, cdecl for msvcrt's). The plug-in's own calls are a face over the emulated Windows
// (platform/portable/emulated_windows.h), which the session steers:
//
//   GetTickCount      the emulated tick counter
//   MessageBeep       counts simple beeps (0xFFFFFFFF)
//   MessageBoxA       records caption and text, and what was wrong in how the box was asked
//                     for (message_box_rule.h); answers OK
//   RegCreateKeyA, RegQueryValueExA, RegSetValueExA, RegCloseKey
//                     the emulated registry; this face adds the null pointers Windows refuses,
//                     and a terminating zero on reading a text where the buffer has room and
//                     the text lacks one
//   LoadStringA       the module's own string table, turned into code page 1252
//
// The rest serve the C runtime's start-up and shutdown inside the module.
#pragma once

#include <string_view>

namespace serix::host::dll {

// The address an import is bound to; null when this host does not provide it.
void* ImportedAddress(std::string_view library, std::string_view name);

// Puts the emulated Windows back as for a freshly loaded module, its registry's store kept:
// the starting clock, nothing denied, no beeps, boxes or open keys.
void ResetServices();

}  // namespace serix::host::dll
