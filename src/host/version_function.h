// "Serx-Version": the plug-in's name and version, "Vexa Serix Plug-In 1.1", or the version
// number "1100" when the first parameter holds "-getversionnumber".
#pragma once

#include <cstdint>

#include "host/call_block.h"

namespace serix {

inline constexpr const char* kPluginNameAndVersion = "Vexa Serix Plug-In 1.1";
inline constexpr const char* kPluginVersionNumber = "1100";

std::int32_t VersionFunction(HostHandle argumentHandle, HostHandle resultHandle);

}  // namespace serix
