// The range-too-large warning: its text, which "Serx-Options" can change for the life of the
// loaded module, and the throttle that shows it at most once in 300 ticks.
#pragma once

#include <cstdint>

namespace serix {

inline constexpr int kWarningDialogTextSize = 256;
inline constexpr const char* DefaultWarningDialogText =
    "You have specified a value range too large. Please adjust your values into smaller "
    "increments. There is a limit of 64K of text within calculated text fields.";

// The text shown; at most 255 characters.
const char* WarningDialogText();
// Sets the text, cut at 255 characters.
void SetWarningDialogText(const char* text);

// Sixtieths of a second since the system started: the millisecond counter divided by 50,
// the remainder dropped, times 3.
std::uint32_t CurrentTicks();

// Shows the warning unless one was closed less than 300 ticks ago.
void ShowRangeWarningIfDue();

// Back to the state of a freshly loaded module.
void ResetRangeWarning();

}  // namespace serix
