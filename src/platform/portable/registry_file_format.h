// The text form in which the file-backed registry keeps its keys and values.
//
//   serix-registry 1
//   key <path>
//   value <name> <type> <bytes>
//   end
//
// Paths, names and bytes are written as lower-case hexadecimal pairs, so any byte (NUL,
// line ends) travels unchanged; the type is an unsigned 32-bit decimal number. Each value
// belongs to the key line above it. The closing "end" line tells a whole file from a cut
// one. Reading is strict: anything else, including upper-case hex, leading zeros in a type,
// a value before any key, a path or name given twice (letter case ignored) or text after
// "end", makes the file unreadable.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/portable/registry_store.h"

namespace serix::portable {

using RegistryKeys = std::map<std::string, RegistryValues, CaseInsensitiveLess>;

std::string EncodeRegistryFile(const RegistryKeys& keys);

// The keys of a file's text, or nothing when the text is not exactly in the form above.
std::optional<RegistryKeys> ParseRegistryFile(std::string_view text);

}  // namespace serix::portable
