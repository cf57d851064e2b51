#include "guide_page.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "guide_error.h"
#include "guide_text.h"

namespace serix::guide {
namespace {

constexpr std::string_view kPageStyle = R"(<style>
body { font-family: Segoe UI, Arial, sans-serif; max-width: 50em; margin: 2em auto;
       padding: 0 1em; line-height: 1.45; }
pre { background: #f4f4f4; padding: 0.6em 0.9em; overflow-x: auto; }
code { font-family: Consolas, monospace; }
code.text { white-space: pre-wrap; }
.blank { background: #dbe4f1; box-shadow: inset 0 -2px 0 #7d92b4; }
.call { user-select: all; -webkit-user-select: all; }
p.try-it-links { margin-top: -0.5em; font-size: 0.9em; }
a.try-it + a.try-it { margin-left: 0.8em; }
a.anchor { margin-left: 0.3em; color: #999; text-decoration: none; visibility: hidden; }
h1:hover a.anchor, h2:hover a.anchor, h3:hover a.anchor, a.anchor:focus { visibility: visible; }
nav#contents ul { margin: 0.2em 0; }
</style>
)";

struct Heading {
  cmark_node* node = nullptr;
  int level = 0;
  std::string id;
  std::string innerHtml;
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsLetterOrDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string Rendered(cmark_node* node) {
  char* html = cmark_render_html(node, CMARK_OPT_DEFAULT);
  std::string text(html);
  std::free(html);
  return text;
}

std::string ChildrenHtml(cmark_node* node) {
  std::string html;
  for (cmark_node* child = cmark_node_first_child(node); child; child = cmark_node_next(child)) {
    html += Rendered(child);
  }
  return html;
}

// The words of a heading as a reader sees them.
std::string PlainText(cmark_node* node) {
  std::string text;
  cmark_iter* iter = cmark_iter_new(node);
  for (auto event = cmark_iter_next(iter); event != CMARK_EVENT_DONE;
       event = cmark_iter_next(iter)) {
    cmark_node* inner = cmark_iter_get_node(iter);
    if (event != CMARK_EVENT_ENTER) continue;
    switch (cmark_node_get_type(inner)) {
      case CMARK_NODE_TEXT:
      case CMARK_NODE_CODE:
        text += cmark_node_get_literal(inner);
        break;
      case CMARK_NODE_SOFTBREAK:
      case CMARK_NODE_LINEBREAK:
        text += ' ';
        break;
      default:
        break;
    }
  }
  cmark_iter_free(iter);
  return text;
}

// The number of a numbered section ("7. The separator"), or an empty text.
std::string SectionNumber(std::string_view text) {
  std::size_t digits = 0;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  if (digits == 0 || text.substr(digits, 2) != ". ") return "";
  return std::string(text.substr(0, digits));
}

// Lower case, a section's number left out, every run of other characters than letters and
// digits one hyphen, none at either end.
std::string HeadingId(std::string_view text) {
  if (const auto number = SectionNumber(text); !number.empty())
    text.remove_prefix(number.size() + 2);
  std::string id;
  bool gap = false;
  for (char c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || IsDigit(c)) {
      if (gap && !id.empty()) id += '-';
      id += c;
      gap = false;
    } else {
      gap = true;
    }
  }
  return id;
}

cmark_node* CustomNode(cmark_node_type type, const std::string& onEnter,
                       const std::string& onExit = "") {
  cmark_node* node = cmark_node_new(type);
  cmark_node_set_on_enter(node, onEnter.c_str());
  cmark_node_set_on_exit(node, onExit.c_str());
  return node;
}

void Replace(cmark_node* oldNode, cmark_node* newNode) {
  cmark_node_replace(oldNode, newNode);
  cmark_node_free(oldNode);
}

class PageWriter {
 public:
  PageWriter(cmark_node* document, const DocumentNodes& nodes, const GuideExamples& examples)
      : document_(document), nodes_(nodes), examples_(examples) {}

  // Works through the nodes gathered before any change, each once, so that a node replaced
  // here is never reached again.
  std::string Body() {
    CollectHeadings();
    std::vector<cmark_node*> contentsParagraphs;
    for (cmark_node* paragraph : nodes_.paragraphs) {
      cmark_node* first = cmark_node_first_child(paragraph);
      if (first && cmark_node_get_type(first) == CMARK_NODE_TEXT &&
          std::string_view(cmark_node_get_literal(first)).starts_with("Contents: ")) {
        contentsParagraphs.push_back(paragraph);
      }
    }
    const auto inContents = [&](cmark_node* node) {
      return std::ranges::find(contentsParagraphs, cmark_node_parent(node)) !=
             contentsParagraphs.end();
    };
    for (cmark_node* code : nodes_.codeSpans) {
      if (!IsInside(code, CMARK_NODE_HEADING) && !inContents(code)) MarkBlanks(code);
    }
    for (cmark_node* text : nodes_.texts) {
      if (!IsInside(text, CMARK_NODE_HEADING) && !IsInside(text, CMARK_NODE_LINK) &&
          !inContents(text))
        LinkSections(text);
    }
    for (cmark_node* block : nodes_.codeBlocks) {
      Replace(block, CustomNode(CMARK_NODE_CUSTOM_BLOCK, CodeBlock(block)));
    }
    for (cmark_node* paragraph : contentsParagraphs) {
      Replace(paragraph, CustomNode(CMARK_NODE_CUSTOM_BLOCK, Contents()));
    }
    for (const Heading& heading : headings_) GiveId(heading);
    return Rendered(document_);
  }

 private:
  void CollectHeadings() {
    std::set<std::string> ids;
    for (cmark_node* node : nodes_.headings) {
      const int line = cmark_node_get_start_line(node);
      const std::string text = PlainText(node);
      Heading heading{node, cmark_node_get_heading_level(node), "", ChildrenHtml(node)};
      heading.id = heading.level == 1 ? "top" : HeadingId(text);
      if (heading.id.empty())
        throw GuideError(line, "a heading without letters or digits: " + text);
      if (!ids.insert(heading.id).second) {
        throw GuideError(line, "two headings with the id \"" + heading.id + "\": " + text);
      }
      if (const auto number = SectionNumber(text); heading.level == 2 && !number.empty()) {
        sectionIds_[number] = heading.id;
      }
      headings_.push_back(std::move(heading));
    }
  }

  // Sections with their subsections, as nested lists of links.
  std::string Contents() const {
    std::string html =
        "<nav id=\"contents\" aria-label=\"Contents\">\n"
        "<p><strong>Contents</strong></p>\n<ul>\n";
    bool inSection = false;
    bool inSubsections = false;
    for (const Heading& heading : headings_) {
      const std::string link = "<li><a href=\"#" + heading.id + "\">" + heading.innerHtml + "</a>";
      if (heading.level == 2) {
        if (inSubsections) html += "</ul>\n";
        if (inSection) html += "</li>\n";
        html += link + "\n";
        inSection = true;
        inSubsections = false;
      } else if (heading.level == 3) {
        if (!inSubsections) html += "<ul>\n";
        inSubsections = true;
        html += link + "</li>\n";
      }
    }
    if (inSubsections) html += "</ul>\n";
    if (inSection) html += "</li>\n";
    return html + "</ul>\n</nav>";
  }

  // A quoted text shows each of its blanks.
  static void MarkBlanks(cmark_node* code) {
    const std::string_view text = cmark_node_get_literal(code);
    if (text.size() < 2 || !text.starts_with('"') || !text.ends_with('"')) return;
    std::string html = "<code class=\"text\">";
    for (const char c : EscapeHtml(text)) {
      html += c == ' ' ? "<span class=\"blank\"> </span>" : std::string(1, c);
    }
    Replace(code, CustomNode(CMARK_NODE_CUSTOM_INLINE, html + "</code>"));
  }

  // "section N" and "Section N" link to section N.
  void LinkSections(cmark_node* textNode) const {
    constexpr std::string_view kWord = "ection ";
    const std::string_view text = cmark_node_get_literal(textNode);
    std::vector<cmark_node*> parts;
    std::string pending;
    const auto flush = [&] {
      if (pending.empty()) return;
      cmark_node* part = cmark_node_new(CMARK_NODE_TEXT);
      cmark_node_set_literal(part, pending.c_str());
      parts.push_back(part);
      pending.clear();
    };
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t digits = i + 1 + kWord.size();
      // A word of its own: "subsection 2" names no section.
      const bool wordStart = i == 0 || !IsLetterOrDigit(text[i - 1]);
      if (wordStart && (text[i] == 's' || text[i] == 'S') &&
          text.substr(i + 1).starts_with(kWord) && digits < text.size() && IsDigit(text[digits])) {
        std::size_t end = digits;
        while (end < text.size() && IsDigit(text[end])) ++end;
        const std::string word(text.substr(i, end - i));
        const auto target = sectionIds_.find(std::string(text.substr(digits, end - digits)));
        if (target == sectionIds_.end()) {
          pending += word;
        } else {
          flush();
          parts.push_back(CustomNode(CMARK_NODE_CUSTOM_INLINE,
                                     "<a href=\"#" + target->second + "\">" + word + "</a>"));
        }
        i = end;
        continue;
      }
      pending += text[i++];
    }
    if (parts.empty()) return;
    flush();
    for (cmark_node* part : parts) cmark_node_insert_before(textNode, part);
    cmark_node_free(textNode);
  }

  // Every code block may scroll sideways: the keyboard reaches it, and it has a name.
  std::string CodeBlock(cmark_node* block) const {
    const std::string_view info = cmark_node_get_fence_info(block);
    const std::string_view language = info.substr(0, info.find(' '));
    const std::string_view rest =
        info.substr(language.size() < info.size() ? language.size() + 1 : info.size());
    const std::string name = language == "example" ? std::string("Example")
                             : language == "formula"
                                 ? "Calculation, " + std::string(VersionsLabel(rest))
                             : language == "script" ? "Script, " + std::string(VersionsLabel(rest))
                                                    : std::string(rest);
    std::string html = "<pre tabindex=\"0\" role=\"group\" aria-label=\"" + EscapeHtml(name) +
                       "\"><code class=\"language-" + EscapeHtml(language) + "\">";
    const int fence = cmark_node_get_start_line(block);
    const auto calls = examples_.callsByFence.find(fence);
    std::set<int> callLines;
    if (language == "example" && calls != examples_.callsByFence.end()) {
      for (const ExampleCall& call : calls->second) callLines.insert(call.line);
    }
    std::string_view text = cmark_node_get_literal(block);
    for (int line = fence + 1; !text.empty(); ++line) {
      const auto end = text.find('\n');
      const std::string escaped = EscapeHtml(text.substr(0, end));
      html += callLines.contains(line) ? "<span class=\"call\">" + escaped + "</span>" : escaped;
      if (end == std::string_view::npos) break;
      html += '\n';
      text.remove_prefix(end + 1);
    }
    html += "</code></pre>";
    if (!callLines.empty()) {
      html += "\n<p class=\"try-it-links\">";
      const char* gap = "";
      for (const ExampleCall& call : calls->second) {
        html += gap;
        html += "<a class=\"try-it\" data-line=\"" + std::to_string(call.line) + "\" href=\"" +
                EscapeHtml(call.address) + "\">Try it</a>";
        gap = " ";
      }
      html += "</p>";
    }
    return html;
  }

  static void GiveId(const Heading& heading) {
    const std::string level = std::to_string(heading.level);
    // The heading's own tags around its words, on one line: a block of cmark's would break the
    // line after its opening tag.
    cmark_node* tags =
        CustomNode(CMARK_NODE_CUSTOM_INLINE, "<h" + level + " id=\"" + heading.id + "\">",
                   "<a class=\"anchor\" href=\"#" + heading.id +
                       "\" title=\"Link to this part\">#</a></h" + level + ">");
    while (cmark_node* child = cmark_node_first_child(heading.node))
      cmark_node_append_child(tags, child);
    cmark_node* block = CustomNode(CMARK_NODE_CUSTOM_BLOCK, "");
    cmark_node_append_child(block, tags);
    Replace(heading.node, block);
  }

  cmark_node* document_;
  const DocumentNodes& nodes_;
  const GuideExamples& examples_;
  std::vector<Heading> headings_;
  std::map<std::string, std::string> sectionIds_;
};

}  // namespace

std::string RenderPage(cmark_node* document, const DocumentNodes& nodes,
                       const GuideExamples& examples, std::string_view version) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Serix ";
  page.append(version).append(": a guide for database designers</title>\n");
  page.append(kPageStyle);
  page += "</head>\n<body>\n<main>\n";
  page += PageWriter(document, nodes, examples).Body();
  page += "</main>\n</body>\n</html>\n";
  return page;
}

}  // namespace serix::guide
