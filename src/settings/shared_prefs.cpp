#include "settings/shared_prefs.h"

#include <cstring>

#include "platform/platform.h"
#include "resources/resource_texts.h"
#include "settings/alerts.h"
#include "settings/prefs_record.h"

namespace serix {
namespace {

// Sets one value of the open key; a failure is reported to the user, one box per value.
std::int32_t WritePrefValue(const char* name, std::uint32_t type, const unsigned char* data,
                            std::uint32_t size) {
  OpenPrefsKey();
  if (PrefsKey() == 0) return 0;
  const std::int32_t error = platform::SetValue(PrefsKey(), name, type, data, size);
  if (error != platform::kErrorSuccess) {
    ShowErrorNumberAlert(SERIX_IDS_PREFS_ERROR_CAPTION, static_cast<std::uint32_t>(error));
  }
  ClosePrefsKey();
  return error;
}

}  // namespace

std::int32_t ReadPrefString(const char* name, char* buffer, std::uint32_t size) {
  OpenPrefsKey();
  if (PrefsKey() == 0) return 0;
  std::uint32_t type = 0;
  std::uint32_t received = size;
  const std::int32_t error = platform::QueryValue(
      PrefsKey(), name, type, reinterpret_cast<unsigned char*>(buffer), received);
  if (error != platform::kErrorSuccess) {
    buffer[0] = '\0';
    if (error == platform::kErrorFileNotFound) WritePrefString(name, buffer);
  } else {
    // The bytes are taken as read, whatever their type; a text stored without its zero, or
    // filling the whole buffer, is cut so that it stays terminated inside the buffer.
    buffer[received < size ? received : size - 1] = '\0';
  }
  ClosePrefsKey();
  return error;
}

std::int32_t ReadPrefLong(const char* name, std::int32_t& destination) {
  OpenPrefsKey();
  if (PrefsKey() == 0) return 0;
  std::uint32_t type = 0;
  unsigned char bytes[sizeof(std::int32_t)] = {};
  std::uint32_t received = sizeof bytes;
  const std::int32_t error = platform::QueryValue(PrefsKey(), name, type, bytes, received);
  if (error != platform::kErrorSuccess) {
    destination = 0;
    if (error == platform::kErrorFileNotFound) WritePrefLong(name, 0);
  } else {
    std::memcpy(&destination, bytes, sizeof bytes);
  }
  ClosePrefsKey();
  return error;
}

std::int32_t WritePrefString(const char* name, const char* text) {
  return WritePrefValue(name, kTypeText, reinterpret_cast<const unsigned char*>(text),
                        static_cast<std::uint32_t>(std::strlen(text) + 1));
}

std::int32_t WritePrefLong(const char* name, std::int32_t value) {
  const auto bytes = NumberBytes(static_cast<std::uint32_t>(value));
  return WritePrefValue(name, kTypeNumber, reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<std::uint32_t>(bytes.size()));
}

void SavePrefs() {
  GeneralPrefs& prefs = Prefs();
  WritePrefString("SeparatorToken", prefs.SeparatorToken);
  WritePrefString("DefSeparatorToken", prefs.DefSeparatorToken);
  WritePrefLong("Version", prefs.Version);
  WritePrefLong("isOneTimeSeparator", prefs.isOneTimeSeparator);
}

void LoadPrefs() {
  GeneralPrefs& prefs = Prefs();
  prefs.SeparatorToken[0] = '\0';
  ReadPrefString("SeparatorToken", prefs.SeparatorToken, kPrefTextSize);
  if (prefs.SeparatorToken[0] != '\0') {
    ReadPrefString("DefSeparatorToken", prefs.DefSeparatorToken, kPrefTextSize);
    ReadPrefLong("Version", prefs.Version);
    ReadPrefLong("isOneTimeSeparator", prefs.isOneTimeSeparator);
    return;
  }
  SetDefaultPrefs();
  SavePrefs();
}

}  // namespace serix
