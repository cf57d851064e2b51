#pragma once
// The calculations the guide shows, and the versions of FileMaker Pro each is written for.
// A block of the guide names its versions ("formula 4-6", "script 7+"). What it shows for
// FileMaker Pro 4 to 6 (and every call of an example) must be written as those versions
// write calculations: commas between parameters, a quotation mark in a text constant
// doubled, ¶ only inside a text constant, no backslash escape, and no function that
// docs/filemaker-pro-6-functions.txt does not list (docs/filemaker-facts.md gives the
// sources).
#include <set>
#include <string>
#include <string_view>

#include "platform/ascii_case.h"

namespace serix::guide {

// The words of the label a calculation or script block gets for the versions it names, or
// an empty text for a name the guide does not know.
std::string_view VersionsLabel(std::string_view versions);

inline constexpr std::string_view kOldestVersions = "4-6";

// Names compared as FileMaker Pro compares them, ignoring the case of A to Z.
using FunctionList = std::set<std::string, LessIgnoringAsciiCase>;

// One name a line; blank lines and lines starting with # are left out.
FunctionList ReadFunctionList(std::string_view text);

// Throws GuideError naming the guide's line of the first fault in TEXT, whose first line is
// line FIRST_LINE of the guide.
void CheckOldCalculation(std::string_view text, int firstLine, const FunctionList& functions);

}  // namespace serix::guide
