#pragma once
// Small helpers over libcmark's tree and over texts, shared by the guide's readers.
#include <cmark.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace serix::guide {

struct NodeFree {
  void operator()(cmark_node* node) const { cmark_node_free(node); }
};
using NodePointer = std::unique_ptr<cmark_node, NodeFree>;

// Every node of TYPE under ROOT, in document order (collected first, so that the caller may
// change the tree while it goes through them).
std::vector<cmark_node*> nodes_of_type(cmark_node* root, cmark_node_type type);

// Whether NODE lies inside a node of TYPE.
bool is_inside(cmark_node* node, cmark_node_type type);

// A text in HTML, escaped as cmark escapes it: & < > and ".
std::string escape_html(std::string_view text);

bool equals_ignoring_ascii_case(std::string_view a, std::string_view b);

}  // namespace serix::guide
