// The portable implementation of the platform seam, over the stand-ins of services.h.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/portable/services.h"
#include "resources/string_table.h"

namespace serix::portable {
namespace {

MemoryRegistry& DefaultRegistry() {
  static MemoryRegistry registry;
  return registry;
}

Services& ServicesInstance() {
  static Services services = [] {
    Services initial;
    initial.registry = &DefaultRegistry();
    return initial;
  }();
  return services;
}

// Open key handles map to the path they were opened with; a handle is its slot plus one.
constexpr std::size_t kMaxOpenKeys = 64;
std::array<std::string, kMaxOpenKeys> openKeyPaths;
std::array<bool, kMaxOpenKeys> openKeyInUse{};

const std::string* PathOfKey(platform::RegistryKey key) {
  if (key == 0 || key > kMaxOpenKeys || !openKeyInUse[key - 1]) return nullptr;
  return &openKeyPaths[key - 1];
}

}  // namespace

Services& CurrentServices() {
  return ServicesInstance();
}

void ResetServices() {
  DefaultRegistry() = MemoryRegistry{};
  Services initial;
  initial.registry = &DefaultRegistry();
  ServicesInstance() = std::move(initial);
  openKeyInUse.fill(false);
}

}  // namespace serix::portable

namespace serix::platform {

using portable::CurrentServices;

namespace {

void NoteStoreFailure(const portable::RegistryStoreError& error) {
  std::string& failure = CurrentServices().storeFailure;
  if (failure.empty()) failure = error.what();
}

}  // namespace

// ERROR_REGISTRY_IO_FAILED: what Windows answers when the registry's own storage fails.
constexpr std::int32_t kErrorRegistryIoFailed = 1016;

std::int32_t CreateUserKey(const char* path, RegistryKey& key) {
  portable::Services& services = CurrentServices();
  if (services.denyCreate) return kErrorAccessDenied;
  try {
    services.registry->CreateKey(path);
  } catch (const portable::RegistryStoreError& error) {
    // A store that cannot be used is a key that cannot be opened.
    NoteStoreFailure(error);
    return kErrorAccessDenied;
  }
  for (std::size_t slot = 0; slot < portable::kMaxOpenKeys; ++slot) {
    if (!portable::openKeyInUse[slot]) {
      portable::openKeyInUse[slot] = true;
      portable::openKeyPaths[slot] = path;
      ++services.openKeys;
      key = slot + 1;
      return kErrorSuccess;
    }
  }
  return kErrorAccessDenied;
}

void CloseKey(RegistryKey key) {
  if (portable::PathOfKey(key) == nullptr) return;
  portable::openKeyInUse[key - 1] = false;
  --CurrentServices().openKeys;
}

std::int32_t QueryValue(RegistryKey key, const char* name, std::uint32_t& type, unsigned char* data,
                        std::uint32_t& size) {
  const std::string* path = portable::PathOfKey(key);
  if (path == nullptr) return 6;  // ERROR_INVALID_HANDLE
  std::optional<RegistryValue> value;
  try {
    value = CurrentServices().registry->GetValue(*path, name);
  } catch (const portable::RegistryStoreError& error) {
    // A failed read, never a missing value that the plug-in would then write.
    NoteStoreFailure(error);
    return kErrorRegistryIoFailed;
  }
  if (!value) return kErrorFileNotFound;
  type = value->type;
  const auto needed = static_cast<std::uint32_t>(value->bytes.size());
  if (needed > size) {
    size = needed;
    return kErrorMoreData;
  }
  std::memcpy(data, value->bytes.data(), needed);
  size = needed;
  return kErrorSuccess;
}

std::int32_t SetValue(RegistryKey key, const char* name, std::uint32_t type,
                      const unsigned char* data, std::uint32_t size) {
  const std::string* path = portable::PathOfKey(key);
  if (path == nullptr) return 6;  // ERROR_INVALID_HANDLE
  portable::Services& services = CurrentServices();
  if (services.denyWrite) return kErrorAccessDenied;
  RegistryValue value{type, std::string(reinterpret_cast<const char*>(data), size)};
  try {
    services.registry->SetValue(*path, name, std::move(value));
  } catch (const portable::RegistryStoreError& error) {
    NoteStoreFailure(error);
    return kErrorRegistryIoFailed;
  }
  return kErrorSuccess;
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
  CurrentServices().alerts.push_back({caption, text});
}

std::uint32_t MillisecondCounter() {
  return CurrentServices().clockMilliseconds;
}

}  // namespace serix::platform
