// The platform seam where the plug-in is linked into the process: a face over the emulated
// Windows (emulated_windows.h). It adds the module's string table, kept as data.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "platform/portable/emulated_windows.h"
#include "resources/string_table.h"

namespace serix::platform {

using portable::CurrentServices;

std::int32_t CreateUserKey(const char* path, RegistryKey& key) {
  return portable::CreateKey(portable::kCurrentUserKey, path, key);
}

void CloseKey(RegistryKey key) {
  portable::CloseKey(key);
}

std::int32_t QueryValue(RegistryKey key, const char* name, std::uint32_t& type, unsigned char* data,
                        std::uint32_t& size) {
  return portable::QueryValue(key, name, type, data, size);
}

std::int32_t SetValue(RegistryKey key, const char* name, std::uint32_t type,
                      const unsigned char* data, std::uint32_t size) {
  return portable::SetValue(key, name, type,
                            std::string_view(reinterpret_cast<const char*>(data), size));
}

int LoadModuleString(ModuleInstance /*module*/, std::uint32_t id, char* buffer, int bufferSize) {
  if (bufferSize <= 0) return 0;
  const std::string_view text = resources::FindString(id);
  const auto copied = static_cast<int>(
      std::min<std::size_t>(text.size(), static_cast<std::size_t>(bufferSize - 1)));
  // A string the table lacks is an empty view without an address; memcpy must not see it.
  if (copied > 0) std::memcpy(buffer, text.data(), static_cast<std::size_t>(copied));
  buffer[copied] = '\0';
  return copied;
}

void SimpleBeep() {
  ++CurrentServices().beeps;
}

void ShowTaskModalMessage(const char* caption, const char* text) {
  CurrentServices().alerts.push_back({caption, text, {}});
}

std::uint32_t MillisecondCounter() {
  return CurrentServices().clockMilliseconds;
}

}  // namespace serix::platform
