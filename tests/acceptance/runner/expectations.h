// How the acceptance runner reads its case files and compares a host's responses with them.
//
// An expected response matches when every field it gives is in the response and equal to it;
// fields it leaves out are not looked at. Below the top level, values must be equal as a
// whole, except where a matcher stands: an object whose keys all begin with "$":
//
//   {"$length": N}              a text of N characters (bytes), or a list of N elements
//   {"$starts_with": X}         a text or list that begins with X (a text or a list)
//   {"$ends_with": X}           ... that ends with X
//   {"$contains": X}            a text that holds the text X, or a list with the element X
//   {"$count": [X, N]}          a text that holds the text X exactly N times, not overlapping
//   {"$type": T}                a value of type T: "string", "number", "boolean", "array",
//                               "object" or "null"
//
// Several keys of one matcher must all hold. Long texts are written with two macros, expanded
// in requests and expectations alike before anything is sent or compared:
//
//   {"$repeat": TEXT, "times": N}   TEXT N times over
//   {"$concat": [A, B, ...]}        the texts (or macros) one after another
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace serix::acceptance {

using Json = nlohmann::json;

// The value with every macro replaced by its text; throws std::invalid_argument for a
// malformed macro.
Json ExpandMacros(const Json& value);

// One line for every way in which `actual` fails `expected`; empty when it matches.
std::vector<std::string> Mismatches(const Json& expected, const Json& actual);

// The paths of the texts in `value` (keys included) with a code point above 255, which no
// response of the session protocol may hold.
std::vector<std::string> WideTexts(const Json& value);

}  // namespace serix::acceptance
