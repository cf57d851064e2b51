// Registry stand-ins for the portable build: keys named by path, each holding named values
// that carry a type and raw bytes. Value names and key paths compare without regard to ASCII
// letter case, as Windows compares them, and keep the spelling they were created with.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/registry_value.h"

namespace serix::portable {

using RegistryValues = std::map<std::string, RegistryValue, LessIgnoringAsciiCase>;

// A store that cannot be used (damaged, busy, unreadable, not writable) throws this. Its text
// is one line for a person that names the store and the cause.
class RegistryStoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every operation either does all it says or throws RegistryStoreError and changes nothing.
class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // Creates the key when missing.
  virtual void CreateKey(std::string_view path) = 0;
  // The key's values, read at one moment; none when the key is missing.
  virtual std::optional<RegistryValues> ReadKey(std::string_view path) = 0;
  virtual std::optional<RegistryValue> GetValue(std::string_view path, std::string_view name) = 0;
  // Creates the key when missing.
  virtual void SetValue(std::string_view path, std::string_view name, RegistryValue value) = 0;
  // Answers whether there was such a value.
  virtual bool DeleteValue(std::string_view path, std::string_view name) = 0;
  virtual void DeleteKey(std::string_view path) = 0;
  // Applies every change, in order, at once: a reader sees all of them or none. A value
  // stored creates the key when missing; deletions alone create nothing.
  virtual void ApplyChanges(std::string_view path, const std::vector<RegistryChange>& changes) = 0;

  bool KeyExists(std::string_view path) { return ReadKey(path).has_value(); }
  // Every value of the key; empty when the key is missing.
  RegistryValues Values(std::string_view path) { return ReadKey(path).value_or(RegistryValues{}); }
};

// Keys and values kept in memory for the life of the object.
class MemoryRegistry final : public RegistryStore {
 public:
  void CreateKey(std::string_view path) override;
  std::optional<RegistryValues> ReadKey(std::string_view path) override;
  std::optional<RegistryValue> GetValue(std::string_view path, std::string_view name) override;
  void SetValue(std::string_view path, std::string_view name, RegistryValue value) override;
  bool DeleteValue(std::string_view path, std::string_view name) override;
  void DeleteKey(std::string_view path) override;
  void ApplyChanges(std::string_view path, const std::vector<RegistryChange>& changes) override;

 private:
  std::map<std::string, RegistryValues, LessIgnoringAsciiCase> keys_;
};

}  // namespace serix::portable
