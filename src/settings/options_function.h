// "Serx-Options": "-setwarningdialogtext|TEXT" sets the text of the warning that
// "Serx-CreateRange" shows when a range did not fit (an empty TEXT puts the default back).
// The result is "0", or "$$-50" when the first parameter lacks the option word; the text is
// set either way. The text lives in memory for as long as the plug-in stays loaded.
#pragma once

#include <cstdint>

#include "host/call_block.h"

namespace serix {

std::int32_t OptionsFunction(HostHandle argumentHandle, HostHandle resultHandle);

}  // namespace serix
