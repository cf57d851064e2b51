// The module-wide state of the plug-in, which lives as long as the library stays loaded:
// the current call block and initialisation count, the preference record and key handle,
// and the range warning's text and last time shown.
#pragma once

namespace serix {

// Puts all of it back as in a freshly loaded library. Hosts that link the plug-in into
// their own process use it where a real host would load the library anew.
void ResetModuleState();

}  // namespace serix
