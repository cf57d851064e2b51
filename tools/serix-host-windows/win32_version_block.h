// Walks a module's raw version block (VS_VERSIONINFO, as GetFileVersionInfoA returns it), for
// what the version API cannot answer: which string fields a string table holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace serix::host {

// The names of the string fields in the string table named tableName ("040904E4": language
// and code page in hexadecimal), in stored order; empty when there is no such table.
std::vector<std::string> VersionStringNames(const void* block, std::size_t size,
                                            std::string_view tableName);

}  // namespace serix::host
