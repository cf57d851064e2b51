// A registry value and a change of one, as the hosts hold them: the portable registry, the
// SQLite store, the .reg reader and writer, the session protocol and the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry_types.h"

namespace serix {

// A value as stored: its type and its bytes exactly.
struct RegistryValue {
  std::uint32_t type = 0;
  std::string bytes;

  // A REG_SZ of the text and its terminating zero.
  static RegistryValue Text(std::string_view text) {
    RegistryValue value{kTypeText, std::string(text)};
    value.bytes += '\0';
    return value;
  }
  static RegistryValue Number(std::uint32_t number) {
    const auto bytes = NumberBytes(number);
    return {kTypeNumber, std::string(bytes.data(), bytes.size())};
  }

  bool operator==(const RegistryValue&) const = default;
};

// One change of a batch: the value to store under name, or none to delete it.
struct RegistryChange {
  std::string name;
  std::optional<RegistryValue> value;
};

}  // namespace serix
