// Registry stand-ins for the portable build: keys named by path, each holding named values
// that carry a type and raw bytes. Value names compare without regard to ASCII letter case,
// as Windows compares them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace serix::portable {

struct RegistryValue {
  std::uint32_t type = 0;
  std::string bytes;

  bool operator==(const RegistryValue&) const = default;
};

struct CaseInsensitiveLess {
  using is_transparent = void;
  bool operator()(std::string_view left, std::string_view right) const;
};

using RegistryValues = std::map<std::string, RegistryValue, CaseInsensitiveLess>;

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // Creates the key when missing; false when the store cannot.
  virtual bool CreateKey(std::string_view path) = 0;
  virtual bool KeyExists(std::string_view path) = 0;
  virtual std::optional<RegistryValue> GetValue(std::string_view path, std::string_view name) = 0;
  // Creates the key when missing; false when the store cannot write.
  virtual bool SetValue(std::string_view path, std::string_view name, RegistryValue value) = 0;
  virtual void DeleteValue(std::string_view path, std::string_view name) = 0;
  virtual void DeleteKey(std::string_view path) = 0;
  // Every value of the key; empty when the key is missing.
  virtual RegistryValues Values(std::string_view path) = 0;
};

// Keys and values kept in memory for the life of the object.
class MemoryRegistry final : public RegistryStore {
 public:
  bool CreateKey(std::string_view path) override;
  bool KeyExists(std::string_view path) override;
  std::optional<RegistryValue> GetValue(std::string_view path, std::string_view name) override;
  bool SetValue(std::string_view path, std::string_view name, RegistryValue value) override;
  void DeleteValue(std::string_view path, std::string_view name) override;
  void DeleteKey(std::string_view path) override;
  RegistryValues Values(std::string_view path) override;

 private:
  std::map<std::string, RegistryValues, CaseInsensitiveLess> keys_;
};

}  // namespace serix::portable
