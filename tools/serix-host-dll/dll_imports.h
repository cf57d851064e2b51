// What the loaded module's imports become in this host: one table (dll_imports.cpp) names
// every function and datum of KERNEL32, USER32, ADVAPI32 and msvcrt the module may import and
// the stand-in it is bound to, with Windows' calling conventions (stdcall for the Windows
// functions, cdecl for msvcrt's). The plug-in's own calls meet the session's services below:
//
//   GetTickCount      the clock the host sets (600000 until set)
//   MessageBeep       counts simple beeps (0xFFFFFFFF)
//   MessageBoxA       records caption and text, and what was wrong in how the box was asked
//                     for (an owner window, a style other than MB_TASKMODAL alone); answers OK
//   RegCreateKeyA, RegQueryValueExA, RegSetValueExA, RegCloseKey
//                     the preference key in the store below, with Windows' rules: texts kept
//                     as the bytes given, a terminating zero added on reading where the buffer
//                     has room and the text lacks one; creation or writing denied on request
//   LoadStringA       the module's own string table, turned into code page 1252
//
// The rest serve the C runtime's start-up and shutdown inside the module.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "host_platform.h"
#include "platform/portable/registry_store.h"

namespace serix::host::dll {

// The address an import is bound to; null when this host does not provide it.
void* ImportedAddress(std::string_view library, std::string_view name);

struct WindowsServices {
  portable::RegistryStore* registry = nullptr;  // the current user's keys, by path
  bool denyCreate = false;                      // RegCreateKeyA answers access denied
  bool denyWrite = false;                       // RegSetValueExA answers access denied
  std::uint32_t clock = 600000;
  int simpleBeeps = 0;
  std::vector<ShownMessage> boxes;
};

WindowsServices& Services();
// Puts the services back as for a freshly loaded module (the registry stays): clock at
// 600000, nothing denied, no beeps, boxes or open keys.
void ResetServices();
// Registry keys the module holds open.
int OpenKeyCount();

}  // namespace serix::host::dll
