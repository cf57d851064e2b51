// A module's string table and version block, read from its own resources and turned
// from UTF-16 into code page 1252 as Windows' ANSI functions (LoadStringA, VerQueryValueA) do.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "host_platform.h"
#include "pe_resources.h"

namespace serix::host::dll {

// UTF-16 units as code page 1252 bytes: each unit the byte that stands for it, '?' for one
// the code page lacks.
std::string CodePageText(std::u16string_view units);

// LoadStringA: string `id` (its low 16 bits) of the module's table, cut to bufferSize - 1
// bytes and terminated; answers the bytes copied, 0 when there is no such string, -1 for a
// buffer of size 0 (nothing written).
int LoadModuleString(const ModuleResources& resources, std::uint32_t id, char* buffer,
                     int bufferSize);

// Every non-empty string of the table, by id.
std::map<std::uint32_t, std::string> ModuleStringTable(const ModuleResources& resources);

// The version block: the fixed file and product versions and the string fields of the first
// translation's table.
std::optional<VersionBlock> ModuleVersionBlock(const ModuleResources& resources, std::string& why);

}  // namespace serix::host::dll
