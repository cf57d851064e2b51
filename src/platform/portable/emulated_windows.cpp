#include "platform/portable/emulated_windows.h"

#include <array>
#include <cstring>
#include <optional>
#include <utility>

namespace serix::portable {
namespace {

using platform::kErrorAccessDenied;
using platform::kErrorFileNotFound;
using platform::kErrorMoreData;
using platform::kErrorSuccess;

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

// Handle n + 1 is slot n. A closed slot keeps its text's memory for the next key.
struct OpenKey {
  bool open = false;
  std::string path;  // under the current user
};
constexpr std::size_t kMaxOpenKeys = 64;
std::array<OpenKey, kMaxOpenKeys> openKeys;

const std::string* PathOfKey(RegistryKey key) {
  if (key == kCurrentUserKey) {
    static const std::string root;
    return &root;
  }
  if (key == 0 || key > kMaxOpenKeys || !openKeys[key - 1].open) return nullptr;
  return &openKeys[key - 1].path;
}

void NoteStoreFailure(const RegistryStoreError& error) {
  std::string& failure = CurrentServices().storeFailure;
  if (failure.empty()) failure = error.what();
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
  for (OpenKey& key : openKeys) key.open = false;
}

std::int32_t CreateKey(RegistryKey parent, std::string_view subkey, RegistryKey& key) {
  const std::string* parentPath = PathOfKey(parent);
  if (parentPath == nullptr) return kErrorInvalidHandle;
  Services& services = CurrentServices();
  if (services.denyCreate) return kErrorAccessDenied;
  for (std::size_t slot = 0; slot < kMaxOpenKeys; ++slot) {
    OpenKey& opened = openKeys[slot];
    if (opened.open) continue;
    // In steps, into the slot's own text: no allocation once it has held a path this long.
    opened.path = *parentPath;
    if (!subkey.empty()) {
      if (!opened.path.empty()) opened.path += '\\';
      opened.path += subkey;
    }
    try {
      services.registry->CreateKey(opened.path);
    } catch (const RegistryStoreError& error) {
      NoteStoreFailure(error);
      return kErrorAccessDenied;
    }
    opened.open = true;
    key = slot + 1;
    return kErrorSuccess;
  }
  return kErrorAccessDenied;
}

std::int32_t CloseKey(RegistryKey key) {
  if (key == kCurrentUserKey) return kErrorSuccess;
  if (PathOfKey(key) == nullptr) return kErrorInvalidHandle;
  openKeys[key - 1].open = false;
  return kErrorSuccess;
}

std::int32_t QueryValue(RegistryKey key, std::string_view name, std::uint32_t& type,
                        unsigned char* data, std::uint32_t& size) {
  const std::string* path = PathOfKey(key);
  if (path == nullptr) return kErrorInvalidHandle;
  std::optional<RegistryValue> value;
  try {
    value = CurrentServices().registry->GetValue(*path, name);
  } catch (const RegistryStoreError& error) {
    NoteStoreFailure(error);
    return kErrorRegistryIoFailed;
  }
  if (!value) return kErrorFileNotFound;
  type = value->type;
  const auto needed = static_cast<std::uint32_t>(value->bytes.size());
  std::int32_t status = kErrorSuccess;
  if (data != nullptr && needed > size) {
    status = kErrorMoreData;
  } else if (data != nullptr && needed > 0) {
    std::memcpy(data, value->bytes.data(), needed);
  }
  size = needed;
  return status;
}

std::int32_t SetValue(RegistryKey key, std::string_view name, std::uint32_t type,
                      std::string_view bytes) {
  const std::string* path = PathOfKey(key);
  if (path == nullptr) return kErrorInvalidHandle;
  Services& services = CurrentServices();
  if (services.denyWrite) return kErrorAccessDenied;
  try {
    services.registry->SetValue(*path, name, {type, std::string(bytes)});
  } catch (const RegistryStoreError& error) {
    NoteStoreFailure(error);
    return kErrorRegistryIoFailed;
  }
  return kErrorSuccess;
}

int OpenKeyCount() {
  int count = 0;
  for (const OpenKey& key : openKeys) count += key.open ? 1 : 0;
  return count;
}

}  // namespace serix::portable
