#include "guide_text.h"

#include <algorithm>

namespace serix::guide {

std::vector<cmark_node*> nodes_of_type(cmark_node* root, cmark_node_type type) {
  std::vector<cmark_node*> found;
  cmark_iter* iter = cmark_iter_new(root);
  for (auto event = cmark_iter_next(iter); event != CMARK_EVENT_DONE;
       event = cmark_iter_next(iter)) {
    cmark_node* node = cmark_iter_get_node(iter);
    if (event == CMARK_EVENT_ENTER && cmark_node_get_type(node) == type) found.push_back(node);
  }
  cmark_iter_free(iter);
  return found;
}

bool is_inside(cmark_node* node, cmark_node_type type) {
  for (cmark_node* up = cmark_node_parent(node); up != nullptr; up = cmark_node_parent(up)) {
    if (cmark_node_get_type(up) == type) return true;
  }
  return false;
}

std::string escape_html(std::string_view text) {
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

bool equals_ignoring_ascii_case(std::string_view a, std::string_view b) {
  const auto fold = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::ranges::equal(a, b, [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace serix::guide
