// The serix-host command line: call, prefs, strings, version and session (docs/host.md).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace serix::host {

inline constexpr int kExitDone = 0;
// The function left the result untouched, the value to delete is not there, or a value name
// cannot be exported.
inline constexpr int kExitNoResult = 1;
// The command cannot run as asked: a usage error, an unknown function, a plug-in that does
// not load, an input file that cannot be read or imported.
inline constexpr int kExitUsage = 2;
// The registry could not be used: damaged, not a registry, busy, unreadable or not writable.
inline constexpr int kExitStore = 3;
// Output could not be written: a full disk, a closed pipe or descriptor.
inline constexpr int kExitOutput = 4;

// Runs one command; `words` are the arguments after the program's name. Returns the exit
// code.
int RunCommandLine(std::vector<std::string> words, std::istream& in, std::ostream& out,
                   std::ostream& err);

}  // namespace serix::host
