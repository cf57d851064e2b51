// Operands that look like options: a plug-in's argument such as '-padding 3|Item |8|1|11|', or
// "-" as a separator token. CLI11 takes every word that begins with "-" for an option; here,
// after a command that takes operands, a word is an option only when it names one of that
// command's options exactly as CLI11 defines them (its own and those of the commands it falls
// through to), and is otherwise an operand.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace serix::host {

// The words rewritten in POSIX's way for CLI11 to parse: the command's options first, then
// "--", then its operands in the order typed; "--name=" as the option with an empty value, for
// its check to refuse (CLI11 would take the next word). Words that CLI11 must report (an
// option that lacks its value, a word before the command) are left as they are.
std::vector<std::string> MarkOperands(const CLI::App& app, std::vector<std::string> words);

}  // namespace serix::host
