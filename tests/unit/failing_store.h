// A registry store that cannot be used, as a busy or damaged one: its values cannot be read or
// written, and with failKeys its keys cannot be created either.
#pragma once

#include <string_view>
#include <vector>

#include "platform/portable/registry_store.h"

namespace serix::testing {

class FailingStore final : public portable::RegistryStore {
 public:
  static constexpr const char* kWhy = "the store is busy";
  bool failKeys = false;

  void CreateKey(std::string_view) override {
    if (failKeys) Fail();
  }
  std::optional<portable::RegistryValues> ReadKey(std::string_view) override { Fail(); }
  std::optional<RegistryValue> GetValue(std::string_view, std::string_view) override { Fail(); }
  void SetValue(std::string_view, std::string_view, RegistryValue) override { Fail(); }
  bool DeleteValue(std::string_view, std::string_view) override { Fail(); }
  void DeleteKey(std::string_view) override { Fail(); }
  void ApplyChanges(std::string_view, const std::vector<RegistryChange>&) override { Fail(); }

 private:
  [[noreturn]] static void Fail() { throw portable::RegistryStoreError(kWhy); }
};

}  // namespace serix::testing
