#include "cli_operands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <string_view>

namespace serix::host {
namespace {

bool TakesValue(const CLI::Option& option) {
  return option.get_expected_max() > 0;  // a flag expects none
}

bool HasOperands(const CLI::App& command) {
  const auto options = command.get_options();
  return std::any_of(options.begin(), options.end(),
                     [](const CLI::Option* option) { return option->get_positional(); });
}

const CLI::App* Subcommand(const CLI::App& command, const std::string& word) {
  for (const CLI::App* subcommand : command.get_subcommands({})) {
    if (subcommand->get_name() == word) return subcommand;
  }
  return nullptr;
}

// The option that `word` names exactly ("--name=value" names a long option that takes a
// value); null when it names none.
const CLI::Option* NamedOption(const CLI::App& command, const std::string& word) {
  if (word.size() < 2 || word.front() != '-' || word == "--") return nullptr;
  const std::size_t equals = word.find('=');
  const std::string name = word.substr(0, equals);
  for (const CLI::App* at = &command; at != nullptr;
       at = at->get_fallthrough() ? at->get_parent() : nullptr) {
    for (const CLI::Option* option : at->get_options()) {
      if (option->get_positional() || !option->check_name(name)) continue;
      const bool valueAttached = equals != std::string::npos;
      if (valueAttached && (!name.starts_with("--") || !TakesValue(*option))) return nullptr;
      return option;
    }
  }
  return nullptr;
}

// An option word as the parser is to see it: "--name=" is the option with an empty value (for
// its check to refuse), where the parser would take the next word as its value.
void AppendOption(std::vector<std::string>& to, const std::string& word) {
  if (word.starts_with("--") && word.find('=') == word.size() - 1) {
    to.push_back(word.substr(0, word.size() - 1));
    to.emplace_back();
  } else {
    to.push_back(word);
  }
}

}  // namespace

std::vector<std::string> MarkOperands(const CLI::App& app, std::vector<std::string> words) {
  // Down to the command that takes operands; options before a command word are its parent's.
  const CLI::App* command = &app;
  std::vector<std::string> marked;
  std::size_t start = 0;
  while (start < words.size() && !HasOperands(*command)) {
    const std::string& word = words[start++];
    if (const CLI::App* subcommand = Subcommand(*command, word)) {
      command = subcommand;
      marked.push_back(word);
    } else if (const CLI::Option* option = NamedOption(*command, word)) {
      AppendOption(marked, word);
      const bool valueFollows = TakesValue(*option) && word.find('=') == std::string::npos;
      if (valueFollows && start < words.size()) marked.push_back(words[start++]);
    } else if (word.starts_with("-")) {
      marked.push_back(word);  // not understood: the parser names it
    } else {
      --start;  // no command: the parser names it
      break;
    }
  }
  if (!HasOperands(*command)) {
    marked.insert(marked.end(), words.begin() + static_cast<long>(start), words.end());
    return marked;
  }

  std::vector<std::string> options;
  std::vector<std::string> operands;
  bool afterMark = false;
  for (std::size_t at = start; at < words.size(); ++at) {
    const std::string& word = words[at];
    const CLI::Option* option = afterMark ? nullptr : NamedOption(*command, word);
    if (afterMark) {
      operands.push_back(word);
    } else if (word == "--") {
      afterMark = true;
    } else if (option != nullptr && TakesValue(*option) && word.find('=') == std::string::npos) {
      // Without its value the option is for the parser to report, as typed.
      if (at + 1 >= words.size() || words[at + 1] == "--") return words;
      options.push_back(word);
      options.push_back(words[++at]);
    } else if (option != nullptr) {
      AppendOption(options, word);
    } else if (operands.empty() && word.starts_with("--")) {
      options.push_back(word);  // a mistyped option for the parser to name
    } else {
      operands.push_back(word);
    }
  }
  marked.insert(marked.end(), options.begin(), options.end());
  if (!operands.empty()) {
    marked.emplace_back("--");
    marked.insert(marked.end(), operands.begin(), operands.end());
  }
  return marked;
}

}  // namespace serix::host
