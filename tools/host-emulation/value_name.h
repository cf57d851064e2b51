// What a preference value's name may hold: every byte but a zero byte and a line end (CR or
// LF), which a REGEDIT4 file cannot carry. The one rule for what import accepts, export
// writes, and the command line and the session store.
#pragma once

#include <string_view>

namespace serix::host {

constexpr bool IsCarriableValueName(std::string_view name) {
  return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

// Why a name is refused, said after the name.
inline constexpr std::string_view kNotCarriableValueName =
    "holds a zero byte or a line end, which a REGEDIT4 file cannot carry";

}  // namespace serix::host
