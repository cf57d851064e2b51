#pragma once
// The guide's fenced blocks, read from libcmark's document tree: ```example blocks become the
// requests of one acceptance session, line for line with the guide; ```reg NAME.reg blocks
// become .reg files and registry requests; ```formula blocks are shown, not run. Any other
// code block is an error, so that no example escapes the tests.
#include <cmark.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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
  std::map<int, std::vector<ExampleCall>> calls_by_fence;
  std::vector<RegFile> reg_files;
};

// Throws GuideError naming the guide's line of the first fault.
GuideExamples read_examples(cmark_node* document, int guide_lines);

// The session file: line N holds the request made from line N of the guide, or nothing.
std::string session_text(const GuideExamples& examples, int guide_lines);

}  // namespace serix::guide
