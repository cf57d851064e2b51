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

// The nodes the guide's readers work on, each kind in document order, gathered in one walk
// of the tree before anything changes it.
struct DocumentNodes {
  std::vector<cmark_node*> headings;
  std::vector<cmark_node*> paragraphs;
  std::vector<cmark_node*> codeSpans;
  std::vector<cmark_node*> texts;
  std::vector<cmark_node*> codeBlocks;
};

DocumentNodes CollectNodes(cmark_node* root);

// Whether NODE lies inside a node of TYPE.
bool IsInside(cmark_node* node, cmark_node_type type);

// A text in HTML, escaped as cmark escapes it: & < > and ".
std::string EscapeHtml(std::string_view text);

}  // namespace serix::guide
