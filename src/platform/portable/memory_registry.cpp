#include "platform/portable/registry_store.h"

namespace serix::portable {

void MemoryRegistry::CreateKey(std::string_view path) {
  if (keys_.find(path) == keys_.end()) keys_.emplace(std::string(path), RegistryValues{});
}

std::optional<RegistryValues> MemoryRegistry::ReadKey(std::string_view path) {
  const auto key = keys_.find(path);
  if (key == keys_.end()) return std::nullopt;
  return key->second;
}

std::optional<RegistryValue> MemoryRegistry::GetValue(std::string_view path,
                                                      std::string_view name) {
  const auto key = keys_.find(path);
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.find(name);
  if (value == key->second.end()) return std::nullopt;
  return value->second;
}

void MemoryRegistry::SetValue(std::string_view path, std::string_view name, RegistryValue value) {
  CreateKey(path);
  RegistryValues& values = keys_.find(path)->second;
  const auto existing = values.find(name);
  if (existing != values.end()) {
    existing->second = std::move(value);
  } else {
    values.emplace(std::string(name), std::move(value));
  }
}

bool MemoryRegistry::DeleteValue(std::string_view path, std::string_view name) {
  const auto key = keys_.find(path);
  if (key == keys_.end()) return false;
  const auto value = key->second.find(name);
  if (value == key->second.end()) return false;
  key->second.erase(value);
  return true;
}

void MemoryRegistry::DeleteKey(std::string_view path) {
  const auto key = keys_.find(path);
  if (key != keys_.end()) keys_.erase(key);
}

void MemoryRegistry::ApplyChanges(std::string_view path,
                                  const std::vector<RegistryChange>& changes) {
  for (const RegistryChange& change : changes) {
    if (change.value) {
      SetValue(path, change.name, *change.value);
    } else {
      DeleteValue(path, change.name);
    }
  }
}

}  // namespace serix::portable
