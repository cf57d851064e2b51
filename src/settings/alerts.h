// The plug-in's only way to talk to the user: a beep, then a task-modal message box with a
// caption from the module's string table and one OK button.
#pragma once

#include <cstdint>

namespace serix {

// Caption string captionId; text " error number %lu  " filled with number.
void ShowErrorNumberAlert(std::uint32_t captionId, std::uint32_t number);
// Caption string captionId; the text as given.
void ShowTextAlert(std::uint32_t captionId, const char* text);

}  // namespace serix
