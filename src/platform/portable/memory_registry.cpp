#include <algorithm>
#include <cstring>

#include "platform/portable/registry_store.h"

namespace serix::portable {
namespace {

unsigned char FoldAscii(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

}  // namespace

bool CaseInsensitiveLess::operator()(std::string_view left, std::string_view right) const {
  const std::size_t common = std::min(left.size(), right.size());
  // Equal bytes, as every look-up of the one key path meets, need no folding; this runs
  // several times on every call of a plug-in function.
  if (common != 0 && std::memcmp(left.data(), right.data(), common) != 0) {
    for (std::size_t i = 0; i < common; ++i) {
      const unsigned char a = FoldAscii(left[i]);
      const unsigned char b = FoldAscii(right[i]);
      if (a != b) return a < b;
    }
  }
  return left.size() < right.size();
}

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
