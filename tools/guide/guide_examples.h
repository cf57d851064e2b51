#pragma once
// The guide's fenced blocks, read from libcmark's document tree: ```example blocks become the
// requests of one acceptance session, line for line with the guide; ```reg NAME.reg blocks
// become .reg files and registry requests; ```formula VERSIONS and ```script VERSIONS blocks
// are shown, not run, and those for FileMaker Pro 4 to 6 are checked against those versions'
// syntax (guide_calculations.h). Any other code block is an error, so that no example
// escapes the tests.
#include <cmark.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "guide_calculations.h"

namespace serix::guide {

// One call of an example: where it stands and the playground address that runs it.
struct ExampleCall {
  int line = 0;
  std::string address;  // Serix-Playground.html#f=NAME&a=ARGUMENT[&s=SEPARATOR]
};

struct RegFile {
  std::string name;
  std::string text;  // REGEDIT4, CRLF line ends
};

struct GuideExamples {
  // The session's requests by the guide's line; every other line of the session is empty.
  std::map<int, nlohmann::ordered_json> requests;
  // The calls of each ```example block, by the line of its opening fence.
  std::map<int, std::vector<ExampleCall>> callsByFence;
  std::vector<RegFile> regFiles;
};

// Throws GuideError naming the guide's line of the first fault.
GuideExamples ReadExamples(const std::vector<cmark_node*>& codeBlocks, int guideLines,
                           const FunctionList& functions);

// The session file: line N holds the request made from line N of the guide, or nothing.
std::string SessionText(const GuideExamples& examples, int guideLines);

}  // namespace serix::guide
