#include "settings/prefs_record.h"

#include <cstring>

namespace serix {
namespace {

GeneralPrefs generalPrefs{};
platform::RegistryKey prefsKey = 0;

}  // namespace

GeneralPrefs& Prefs() {
  return generalPrefs;
}
platform::RegistryKey PrefsKey() {
  return prefsKey;
}

void SetDefaultPrefs() {
  generalPrefs.Version = 1;
  static_assert(sizeof kDefaultSeparatorToken <= kPrefTextSize);
  std::memcpy(generalPrefs.SeparatorToken, kDefaultSeparatorToken, sizeof kDefaultSeparatorToken);
  std::memcpy(generalPrefs.DefSeparatorToken, kDefaultSeparatorToken,
              sizeof kDefaultSeparatorToken);
  generalPrefs.isOneTimeSeparator = 0;
}

void OpenPrefsKey() {
  if (prefsKey != 0) return;
  platform::RegistryKey opened = 0;
  if (platform::CreateUserKey(kPrefsKeyPath, opened) == platform::kErrorSuccess) {
    prefsKey = opened;
  }
}

void ClosePrefsKey() {
  if (prefsKey == 0) return;
  platform::CloseKey(prefsKey);
  prefsKey = 0;
}

void InitPrefs() {
  SetDefaultPrefs();
  OpenPrefsKey();
  ClosePrefsKey();
}

const char* GetSeparatorToken() {
  return generalPrefs.SeparatorToken;
}

void ResetPrefsRecord() {
  ClosePrefsKey();
  generalPrefs = GeneralPrefs{};
}

}  // namespace serix
