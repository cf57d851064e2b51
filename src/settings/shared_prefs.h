// Reading the shared preferences from their registry key at every function call, and
// writing them back with their defaults when the separator token is missing, empty or too
// long. Error codes are Windows error codes; no caller acts on them.
#pragma once

#include <cstdint>

namespace serix {

void LoadPrefs();
void SavePrefs();

std::int32_t ReadPrefString(const char* name, char* buffer, std::uint32_t size);
std::int32_t WritePrefString(const char* name, const char* text);
std::int32_t ReadPrefLong(const char* name, std::int32_t& destination);
std::int32_t WritePrefLong(const char* name, std::int32_t value);

}  // namespace serix
