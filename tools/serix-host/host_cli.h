// The serix-host command line: call, prefs, strings, version and session (docs/host.md).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace serix::host {

inline constexpr int kExitDone = 0;
// The function left the result untouched, or a preference could not be changed.
inline constexpr int kExitNoResult = 1;
// The command cannot run as asked: a usage error, an unknown function, a plug-in that does
// not load.
inline constexpr int kExitUsage = 2;

// Runs one command; `words` are the arguments after the program's name. Returns the exit
// code.
int RunCommandLine(std::vector<std::string> words, std::istream& in, std::ostream& out,
                   std::ostream& err);

// Rewrites the words so that every word after a command that takes positional arguments is
// positional unless it is exactly one of that command's options: an argument such as
// '-padding 3|Item |8|1|11|' or a separator token "-" is then never taken for an option.
// The rewritten words put that command's options first, then "--", then the positionals.
std::vector<std::string> MarkPositionals(std::vector<std::string> words);

}  // namespace serix::host
