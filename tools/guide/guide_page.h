#pragma once
// The guide's page as the release ships it, from libcmark's document tree: every heading an
// id made from its text alone (lower case, a section's number left out, every run of other
// characters a hyphen; the title is "top"), so that links to it stay when sections move; the
// paragraph "Contents: ..." a list of links to every section and subsection; "section N" in
// the text a link to section N; the blanks of a quoted text ("...") in a code span each
// marked, as the browser would merge them or hide them at its ends; each call of an example
// one span that a click selects whole, and after each example a "Try it" link per call:
//   <a class="try-it" data-line="N" href="ADDRESS">Try it</a>
// N being the guide's line of the call, whose request is line N of the guide's session. All
// of it lies in the page's main landmark, and every code block, which may scroll sideways,
// can be reached by keyboard and has a name (a calculation's or a script's names its versions).
#include <cmark.h>

#include <string>
#include <string_view>

#include "guide_examples.h"
#include "guide_text.h"

namespace serix::guide {

// Changes DOCUMENT, whose NODES were gathered before, as it goes; throws GuideError for two
// headings with one id, or a heading without letters or digits.
std::string RenderPage(cmark_node* document, const DocumentNodes& nodes,
                       const GuideExamples& examples, std::string_view version);

}  // namespace serix::guide
