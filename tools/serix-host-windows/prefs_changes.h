// Changes of the preference key made one at a time, for a registry without transactions (the
// Windows one): on a failure the values changed so far are put back as they were before, and
// a key that the changes created is removed again.
#pragma once

#include <string>
#include <vector>

#include "host_platform.h"

namespace serix::host {

bool ApplyPrefsChangesOneByOne(const std::vector<RegistryChange>& changes, std::string& why);

}  // namespace serix::host
