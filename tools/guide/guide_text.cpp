#include "guide_text.h"

namespace serix::guide {

DocumentNodes CollectNodes(cmark_node* root) {
  DocumentNodes nodes;
  cmark_iter* iter = cmark_iter_new(root);
  for (auto event = cmark_iter_next(iter); event != CMARK_EVENT_DONE;
       event = cmark_iter_next(iter)) {
    if (event != CMARK_EVENT_ENTER) continue;
    cmark_node* node = cmark_iter_get_node(iter);
    switch (cmark_node_get_type(node)) {
      case CMARK_NODE_HEADING:
        nodes.headings.push_back(node);
        break;
      case CMARK_NODE_PARAGRAPH:
        nodes.paragraphs.push_back(node);
        break;
      case CMARK_NODE_CODE:
        nodes.codeSpans.push_back(node);
        break;
      case CMARK_NODE_TEXT:
        nodes.texts.push_back(node);
        break;
      case CMARK_NODE_CODE_BLOCK:
        nodes.codeBlocks.push_back(node);
        break;
      default:
        break;
    }
  }
  cmark_iter_free(iter);
  return nodes;
}

bool IsInside(cmark_node* node, cmark_node_type type) {
  for (cmark_node* up = cmark_node_parent(node); up != nullptr; up = cmark_node_parent(up)) {
    if (cmark_node_get_type(up) == type) return true;
  }
  return false;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace serix::guide
