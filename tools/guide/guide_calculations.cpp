#include "guide_calculations.h"

#include <array>
#include <utility>

#include "guide_error.h"

namespace serix::guide {
namespace {

constexpr std::string_view kPilcrow = "¶";

constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kVersions{{
    {"4-6", "FileMaker Pro 4 to 6"},
    {"7+", "FileMaker Pro 7 and later"},
    {"18+", "FileMaker Pro 18 and later"},
}};

// Words that stand before a parenthesis without being functions.
constexpr std::array<std::string_view, 4> kOperatorWords{"and", "or", "xor", "not"};

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsNameCharacter(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::string_view VersionsLabel(std::string_view versions) {
  for (const auto& [name, label] : kVersions) {
    if (name == versions) return label;
  }
  return {};
}

FunctionList ReadFunctionList(std::string_view text) {
  FunctionList functions;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (!line.empty() && !line.starts_with('#')) functions.emplace(line);
  }
  return functions;
}

void CheckOldCalculation(std::string_view text, int firstLine, const FunctionList& functions) {
  int line = firstLine;
  bool inConstant = false;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    const std::string_view rest = text.substr(at + 1);
    if (c == '\n') {
      ++line;
    } else if (c == '\\' &&
               (rest.starts_with('"') || rest.starts_with('\\') || rest.starts_with(kPilcrow))) {
      throw GuideError(line,
                       "a backslash escape, which FileMaker Pro 4 to 6 do not know: a quotation "
                       "mark in a text constant is doubled there");
    } else if (inConstant) {
      if (c != '"') continue;
      if (rest.starts_with('"')) {
        ++at;  // a doubled quotation mark stands for one
      } else {
        inConstant = false;
      }
    } else if (c == '"') {
      inConstant = true;
    } else if (c == ';') {
      throw GuideError(line, "a ; between parameters: FileMaker Pro 4 to 6 write a comma");
    } else if (text.substr(at).starts_with(kPilcrow)) {
      throw GuideError(line,
                       "¶ outside a text constant: FileMaker Pro 4 to 6 read it only "
                       "between quotation marks");
    } else if (IsLetter(c) && (at == 0 || !IsNameCharacter(text[at - 1]))) {
      std::size_t end = at;
      while (end < text.size() && IsNameCharacter(text[end])) ++end;
      const std::string_view name = text.substr(at, end - at);
      std::size_t next = end;
      while (next < text.size() && text[next] == ' ') ++next;
      const bool called = next < text.size() && text[next] == '(';
      bool isOperator = false;
      for (const std::string_view word : kOperatorWords) {
        isOperator = isOperator || SameIgnoringAsciiCase(name, word);
      }
      if (called && !isOperator && !functions.contains(name)) {
        throw GuideError(line,
                         "not a function of FileMaker Pro 6 that "
                         "docs/filemaker-pro-6-functions.txt lists: " +
                             std::string(name));
      }
      at = end - 1;
    }
  }
}

}  // namespace serix::guide
