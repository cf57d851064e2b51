// The plug-in linked into this process, as natively built hosts and tests reach it.
#pragma once

#include "emulated_host.h"

namespace serix::host {

PluginModule LinkedPlugin();

// Unloads and reloads the linked plug-in, as far as a linked library can be: its module-wide
// state and the portable platform's stand-ins start afresh.
void ReloadLinkedPlugin();

}  // namespace serix::host
