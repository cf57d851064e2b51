// Writing to a descriptor on a POSIX system, shared by the standard streams and the whole-file
// writes of host_platform.h.
#pragma once

#include <string_view>

namespace serix::host {

// Writes every byte, going on after an interrupted write and waiting while a descriptor that
// another process made non-blocking takes no more; false, with errno saying why, on a failure.
bool WriteAll(int descriptor, std::string_view bytes);

}  // namespace serix::host
