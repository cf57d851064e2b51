// A freshly loaded plug-in behind the emulated host, for tests that go through the entry
// point as the host application does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "emulated_host.h"
#include "linked_plugin.h"
#include "platform/portable/emulated_windows.h"
#include "settings/prefs_record.h"

namespace serix::testing {

inline constexpr std::uint32_t kVersionIndex = 0;
inline constexpr std::uint32_t kCreateRangeIndex = 1;
inline constexpr std::uint32_t kOptionsIndex = 2;
inline constexpr char kCR = '\r';

class PluginTest : public ::testing::Test {
 protected:
  PluginTest() { host::ReloadLinkedPlugin(); }
  ~PluginTest() override { host::ReloadLinkedPlugin(); }

  portable::Services& services() { return portable::CurrentServices(); }
  portable::RegistryStore& registry() { return *services().registry; }

  void Initialise() { ASSERT_EQ(host_.Initialise(4), 4); }

  host::FunctionOutcome Call(std::uint32_t index, std::string_view argument,
                             std::string_view resultBefore = {},
                             std::optional<host::Fault> fault = std::nullopt) {
    return host_.CallFunction(index, argument, resultBefore, fault);
  }
  std::string CreateRange(std::string_view argument) {
    return Call(kCreateRangeIndex, argument).result;
  }

  std::optional<RegistryValue> StoredValue(std::string_view name) {
    return registry().GetValue(kPrefsKeyPath, name);
  }
  void StoreText(std::string_view name, std::string_view text) {
    registry().SetValue(kPrefsKeyPath, name, {kTypeText, std::string(text) + std::string(1, '\0')});
  }

  host::EmulatedHost host_{host::LinkedPlugin()};
};

// "a" CR "b" CR ... from the pieces given.
inline std::string Lines(std::initializer_list<std::string_view> entries) {
  std::string text;
  for (std::string_view entry : entries) {
    text += entry;
    text += kCR;
  }
  return text;
}

}  // namespace serix::testing
