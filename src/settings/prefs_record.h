// The four shared preferences in memory, and the one handle of their registry key.
//
// The key, "Software\Vexa\Vexa Plug-in General Prefs" under the current user, is shared by
// the maker's plug-ins. It is never held open between two value accesses: every access opens
// it, works and closes it, and an access made inside another finds the key already open.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace serix {

inline constexpr int kPrefTextSize = 64;
inline constexpr const char* kPrefsKeyPath = "Software\\Vexa\\Vexa Plug-in General Prefs";
inline constexpr char kDefaultSeparatorToken[] = "|";

struct GeneralPrefs {
  char SeparatorToken[kPrefTextSize];
  char DefSeparatorToken[kPrefTextSize];
  std::int32_t Version;
  std::int32_t isOneTimeSeparator;
};

// The record itself; all zero until the first accepted Initialise.
GeneralPrefs& Prefs();
// The key handle; 0 while the key is closed.
platform::RegistryKey PrefsKey();

void SetDefaultPrefs();
// Opens or creates the key unless it is open already; leaves the handle 0 on failure.
void OpenPrefsKey();
// Closes the key if it is open.
void ClosePrefsKey();
// Start-up: defaults in memory, and the key created if the user's rights allow it.
void InitPrefs();
// The separator token in force, zero-terminated; the caller does not change it.
const char* GetSeparatorToken();

// Back to the state of a freshly loaded module: record all zero, key closed.
void ResetPrefsRecord();

}  // namespace serix
