// The preference key as a text in the registry editor's REGEDIT4 format, written and read the
// same way by both hosts:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Vexa\Vexa Plug-in General Prefs]
//   "SeparatorToken"=";"
//   "Version"=dword:00000001
//   "Raw"=hex(7):61,00,00
//
// Texts are "name"="text" with \\ and \" escaped; numbers are dword: and eight hex digits;
// any other type, and a text holding a zero byte or a line end or lacking its terminating
// zero, are hex(N): bytes (hex: for type 3, as regedit writes it), long lines continued with
// a trailing backslash and two spaces, as regedit writes them. Lines end in CR LF.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host_platform.h"

namespace serix::host {

// The preference key as regedit names it: HKEY_CURRENT_USER\Software\...
std::string PrefsKeyName();

// The whole text; false, saying why, when a value's name holds a zero byte or a line end,
// which the format cannot carry.
bool WriteRegedit4(const std::vector<std::pair<std::string, RegistryValue>>& values,
                   std::string& text, std::string& why);

// The changes a text makes to the preference key, in its order ("name"=- deletes). False,
// saying why and on which line, for a text that is not REGEDIT4, names another key or holds
// a line that cannot be read. Line ends may be CR LF or LF.
bool ReadRegedit4(std::string_view text, std::vector<RegistryChange>& changes, std::string& why);

}  // namespace serix::host
