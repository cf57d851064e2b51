// Checks of the built Serix.fmx under Wine (or Windows), each given the module's file name.
#pragma once

#include "checker.h"

namespace serix::wintest {

// The string table and version block, read from the file loaded as data.
void CheckModuleResources(Checker& checker, const char* modulePath);

// The entry point of the loaded library: its export, Initialise, and a function call with
// the registry in a scratch key.
void CheckModuleEntry(Checker& checker, const char* modulePath);

// Ranges written by the loaded library against wsprintfA and FileTimeToSystemTime.
void CheckModuleRanges(Checker& checker, const char* modulePath);

}  // namespace serix::wintest
