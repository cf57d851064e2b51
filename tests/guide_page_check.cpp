// Checks the guide's page as the release ships it (tools/guide), read by libxml2's HTML parser:
//   guide_page_check PAGE GUIDE_SESSION EXPECTED
// - all of the page lies in its main landmark, and every code block, which may scroll, can be
//   reached by keyboard and has a name;
// - every heading has an id, no two elements the same, and the contents list links to every
//   section and subsection; every link within the page leads to an id of the page;
// - the "Try it" links are exactly one for each call: their data-line values are the lines of
//   GUIDE_SESSION (the guide's examples as an acceptance session, line for line with the guide)
//   that call a function, and each names that function;
// - every line of EXPECTED that is neither empty nor a # comment stands in the page as it is.
#include <libxml/HTMLparser.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

int problems = 0;

void problem(const std::string& message) {
  std::cerr << "guide_page: " << message << '\n';
  ++problems;
}

std::string attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return "";
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

std::string name_of(xmlNode* node) {
  return reinterpret_cast<const char*>(node->name);
}

struct PageFacts {
  std::set<std::string> ids;
  std::set<std::string> sections;     // the ids of h2 and h3
  std::set<std::string> listed;       // the contents' targets
  std::set<std::string> targets;      // every #link's target
  std::map<int, std::string> try_it;  // data-line: the function the link calls
};

void walk(xmlNode* node, bool in_contents, PageFacts& facts) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const std::string name = name_of(node);
    const std::string id = attribute(node, "id");
    const std::string href = attribute(node, "href");
    if (!id.empty() && !facts.ids.insert(id).second)
      problem("two elements with the id \"" + id + "\"");
    if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
      if (id.empty()) problem("a heading without an id");
      if (name == "h2" || name == "h3") facts.sections.insert(id);
    }
    if (name == "pre" &&
        (attribute(node, "tabindex") != "0" || attribute(node, "aria-label").empty())) {
      problem("a code block that the keyboard cannot reach, or without a name");
    }
    if (href.starts_with('#')) {
      facts.targets.insert(href.substr(1));
      if (in_contents) facts.listed.insert(href.substr(1));
    }
    if (name == "a" && attribute(node, "class") == "try-it") {
      const int line = std::atoi(attribute(node, "data-line").c_str());
      const auto start = href.find("#f=");
      const auto end = href.find('&');
      if (!href.starts_with("Serix-Playground.html#f=") || end == std::string::npos) {
        problem("a Try it link that is no playground address: " + href);
      } else if (!facts.try_it.emplace(line, href.substr(start + 3, end - start - 3)).second) {
        problem("two Try it links for line " + std::to_string(line));
      }
    }
    walk(node->children, in_contents || id == "contents", facts);
  }
}

// The body holds one element, the main landmark.
void check_landmarks(xmlNode* root) {
  for (xmlNode* node = root->children; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE || name_of(node) != "body") continue;
    for (xmlNode* child = node->children; child; child = child->next) {
      if (child->type == XML_ELEMENT_NODE && name_of(child) != "main") {
        problem("a <" + name_of(child) + "> outside the main landmark");
      }
    }
  }
}

std::string read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) problem(std::string("cannot read ") + path);
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: guide_page_check PAGE GUIDE_SESSION EXPECTED\n";
    return 2;
  }
  const std::string page = read_file(argv[1]);
  htmlDocPtr document =
      htmlReadMemory(page.data(), static_cast<int>(page.size()), argv[1], "utf-8",
                     HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  if (document == nullptr || xmlDocGetRootElement(document) == nullptr) {
    std::cerr << "guide_page: cannot read " << argv[1] << " as HTML\n";
    return 1;
  }
  PageFacts facts;
  check_landmarks(xmlDocGetRootElement(document));
  walk(xmlDocGetRootElement(document), false, facts);
  xmlFreeDoc(document);

  for (const auto& id : facts.sections) {
    if (!facts.listed.contains(id)) problem("the contents do not list #" + id);
  }
  for (const auto& id : facts.targets) {
    if (!facts.ids.contains(id)) problem("a link to #" + id + ", which the page lacks");
  }

  std::istringstream session(read_file(argv[2]));
  std::map<int, std::string> calls;
  std::string line_text;
  for (int line = 1; std::getline(session, line_text); ++line) {
    if (line_text.empty()) continue;
    const auto request = nlohmann::json::parse(line_text)["request"];
    if (request["op"] == "function") calls[line] = request["name"];
  }
  for (const auto& [line, name] : calls) {
    const auto link = facts.try_it.find(line);
    if (link == facts.try_it.end()) {
      problem("no Try it link for the call on line " + std::to_string(line));
    } else if (link->second != name) {
      problem("the Try it link of line " + std::to_string(line) + " calls " + link->second +
              ", not " + name);
    }
  }
  for (const auto& [line, name] : facts.try_it) {
    if (!calls.contains(line))
      problem("a Try it link for line " + std::to_string(line) + ", which calls nothing");
  }

  std::istringstream expected(read_file(argv[3]));
  for (int line = 1; std::getline(expected, line_text); ++line) {
    if (!line_text.empty() && !line_text.starts_with('#') &&
        page.find(line_text) == std::string::npos) {
      problem(std::string(argv[3]) + ":" + std::to_string(line) +
              ": not in the page: " + line_text);
    }
  }
  if (problems > 0) return 1;
  std::cout << argv[1] << ": every heading listed, " << facts.try_it.size()
            << " Try it links, every expected text found, all in the main landmark\n";
  return 0;
}
