// The plug-in's functions as its string table names them: the function of index i is named
// by string 144 + i, and the names run on while the strings do.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace serix::host {

// The names, index by index, from the module's strings.
std::vector<std::string> FunctionNames(const std::map<std::uint32_t, std::string>& strings);

// The index of the function named `name`; ASCII letter case is ignored, as the host
// application ignores it in formulas.
std::optional<std::uint32_t> FindFunction(const std::vector<std::string>& names,
                                          std::string_view name);

// "Serx-Version, Serx-CreateRange, Serx-Options", for messages.
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace serix::host
