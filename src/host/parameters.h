// Reading a function's parameters from its one text argument, testing option words, and
// writing its one text result.
#pragma once

#include <cstdint>

#include "host/call_block.h"

namespace serix {

// Characters every parameter buffer holds, besides its terminating zero.
inline constexpr int ParameterCapacity = 1000;

// Position in the argument text, local to one function call: 0 before the first read
// (which reloads the preferences), an offset while parameters remain, -1 when used up.
using ParameterCursor = std::int32_t;
inline constexpr ParameterCursor kArgumentUsedUp = -1;

// Fills buffer with the next parameter (cut to capacity characters, terminated) and moves
// the cursor past it and its separator token. Returns false when the host refused to lock
// the argument: the parameter is then empty and unknown, and the calling function reads no
// further parameter and ends quietly, as after any failed host memory call.
[[nodiscard]] bool ReadNextParameter(HostHandle argumentHandle, char* buffer, int capacity,
                                     ParameterCursor& cursor);

// Offset of the occurrence-th match of needle in text at or after start, or -1. With exact
// false, ASCII letters A-Z compare equal to a-z; every other byte compares as it is.
std::int32_t FindText(const char* text, std::int32_t textLength, const char* needle,
                      std::int32_t needleLength, std::int32_t start, std::int32_t occurrence,
                      bool exact);

// True when keyword stands anywhere in parameter, ASCII letter case ignored.
bool ContainsOption(const char* parameter, const char* keyword);

// Makes text the function's result. Returns the code of the callback that ended it.
std::int32_t SetResultText(const char* text, HostHandle resultHandle);

// Writes "0" for code 0, otherwise prefix and the code in signed decimal.
std::int32_t SetResultCode(const char* prefix, std::int32_t code, HostHandle resultHandle);

}  // namespace serix
