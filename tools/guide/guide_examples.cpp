#include "guide_examples.h"

#include <cstdio>
#include <string_view>

#include "guide_error.h"
#include "guide_text.h"

// How the guide writes its fenced blocks:
//
//   ```example     Separator: TEXT                   optional first line: the block runs
//                                                    with TEXT as the separator, and the
//                                                    one in force before comes back after it
//                  External ( "Serx-Name" ; "ARG" )  a call, ARG as typed in a calculation
//                                                    (a block may hold several calls)
//                  → FIRST LINE¶                     its result, ¶ for a return; the lines
//                    NEXT LINE                       after the first indented by two blanks
//                    …                               a part left out, only with a length:
//                    (64000 characters)
//                  → (empty)                         no result, the handle left untouched
//                  Message box "TITLE":              a message box; its text on indented
//                    TEXT                            lines, joined by single blanks
//   ```reg NAME    a .reg file: its values are set in the session's registry, in order
//   ```formula     a calculation shown, not run
//
// Calls and results are ASCII apart from ¶. The range warning is shown at most once in 5
// seconds: an example with a message box after the first one moves the session's clock on
// first, and is skipped by hosts without a settable clock.

namespace serix::guide {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kPilcrow = "¶";
constexpr std::string_view kArrow = "→ ";
constexpr std::string_view kEllipsis = "…";
constexpr std::string_view kCallStart = "External ( \"";
constexpr std::string_view kCallMiddle = "\" ; \"";
constexpr std::string_view kCallEnd = "\" )";
constexpr std::string_view kBoxStart = "Message box \"";
constexpr std::string_view kBoxEnd = "\":";
constexpr std::string_view kIndent = "  ";
constexpr std::string_view kPrefsKey =
    "[HKEY_CURRENT_USER\\Software\\Vexa\\Vexa Plug-in General Prefs]";
constexpr std::string_view kStandardSeparator = "|";
constexpr std::size_t kLongestSeparator = 63;
// A native session's clock starts at 600000 ms; each later box moves it 100 seconds on.
constexpr long kFirstClockMs = 600000;
constexpr long kClockStepMs = 100000;

bool is_ascii_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// A text as the plug-in sees it: ¶ is a return; nothing else beyond ASCII, no other control
// character.
std::string plain(int line, std::string_view text) {
  std::string out;
  while (!text.empty()) {
    if (text.starts_with(kPilcrow)) {
      out += '\r';
      text.remove_prefix(kPilcrow.size());
      continue;
    }
    const auto byte = static_cast<unsigned char>(text.front());
    if (byte >= 0x80)
      throw GuideError(line, "only ASCII and ¶ in calls, results and message boxes");
    if (byte < 0x20) throw GuideError(line, "a control character in an example");
    out += text.front();
    text.remove_prefix(1);
  }
  return out;
}

// The argument of a call as typed between quotes in a calculation: \" and \\ are escapes.
std::string unquote(int line, std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
      if (i == text.size() || (text[i] != '"' && text[i] != '\\')) {
        throw GuideError(line, "only \\\" and \\\\ are escapes in a call's text");
      }
    } else if (text[i] == '"') {
      throw GuideError(line, "a quote inside a call's text is written \\\"");
    }
    out += text[i];
  }
  return plain(line, out);
}

// A text as encodeURIComponent writes it (the texts here are ASCII and returns).
std::string uri_component(std::string_view text) {
  constexpr std::string_view kKept = "_.!~*'()-";
  std::string out;
  for (const char c : text) {
    if (is_ascii_letter(c) || is_digit(c) || kKept.find(c) != std::string_view::npos) {
      out += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      out += escaped;
    }
  }
  return out;
}

Json separator_request(std::string_view separator) {
  return {{"request", {{"op", "registry"}, {"set", {{"SeparatorToken", separator}}}}},
          {"expect", {{"ok", true}}}};
}

// The lines of a code block's text, each without its line end.
std::vector<std::string_view> block_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    auto line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

class ExampleReader {
 public:
  explicit ExampleReader(GuideExamples& examples) : examples_(examples) {}

  void read_block(cmark_node* block) {
    const std::string_view info = cmark_node_get_fence_info(block);
    const int fence = cmark_node_get_start_line(block);
    // An indented code block has no info string either.
    if (info != "example" && info != "formula" && !is_reg_info(info)) {
      throw GuideError(fence,
                       "a code block of the guide is ```example, ```reg NAME.reg or ```formula");
    }
    const auto lines = block_lines(cmark_node_get_literal(block));
    // A closed fence leaves one line between the block's text and its end.
    const int closing = cmark_node_get_end_line(block);
    if (fence + static_cast<int>(lines.size()) + 1 != closing) {
      throw GuideError(fence, "a fenced block is not closed");
    }
    if (info == "example") {
      read_example_block(fence, lines, closing);
    } else if (info != "formula") {
      read_reg_block(fence, info.substr(4), lines);
    }
  }

  void finish(int guide_lines) {
    if (guide_lines < 1) throw GuideError(1, "the guide is empty");
    put(1, {{"request", {{"op", "initialise"}, {"version", 4}}}, {"expect", {{"answer", 4}}}});
  }

 private:
  enum class Part { call, arrow, result, boxes };

  struct MessageBox {
    std::string caption;
    std::string text;
  };

  static bool is_reg_info(std::string_view info) {
    if (!info.starts_with("reg ") || !info.ends_with(".reg") || info.size() <= 8) return false;
    for (const char c : info.substr(4)) {
      if (!is_ascii_letter(c) && !is_digit(c) && c != '.' && c != '_' && c != '-') return false;
    }
    return true;
  }

  // One request a line: a second one for the same line would silently replace the first.
  void put(int line, Json request) {
    if (!examples_.requests.emplace(line, std::move(request)).second) {
      throw GuideError(line, "two requests for line " + std::to_string(line) + " of the session");
    }
  }

  void read_example_block(int fence, const std::vector<std::string_view>& lines, int closing) {
    fence_ = fence;
    block_separator_ = separator_;
    bool separator_named = false;
    int calls_in_block = 0;
    start_example();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const int line = fence + 1 + static_cast<int>(i);
      const std::string_view text = lines[i];
      if (text.starts_with("Separator: ")) {
        if (calls_in_block > 0 || separator_named) {
          throw GuideError(line, "Separator: is the first line of an example");
        }
        block_separator_ = read_separator(line, text.substr(11));
        separator_named = true;
        put(line, separator_request(block_separator_));
        continue;
      }
      if (part_ != Part::call && part_ != Part::arrow && text.starts_with(kCallStart)) {
        end_example(line);
        start_example();
      }
      if (part_ == Part::call) ++calls_in_block;
      example_line(line, text);
    }
    end_example(closing);
    // The separator in force before the block comes back for what follows.
    if (block_separator_ != separator_) put(closing, separator_request(separator_));
  }

  static std::string read_separator(int line, std::string_view text) {
    bool visible = !text.empty() && text.size() <= kLongestSeparator;
    for (const char c : text) visible = visible && c > ' ' && c <= '~';
    if (!visible) {
      throw GuideError(line, "a separator is 1 to 63 visible ASCII characters, without blanks");
    }
    return std::string(text);
  }

  void start_example() {
    part_ = Part::call;
    call_line_ = 0;
    call_name_.clear();
    call_arg_.clear();
    result_.clear();
    after_omission_.clear();
    result_empty_ = false;
    omitted_ = false;
    length_given_ = -1;
    last_line_open_ = false;
    boxes_.clear();
  }

  void example_line(int line, std::string_view text) {
    if (part_ == Part::call) {
      read_call(line, text);
    } else if (part_ == Part::arrow) {
      if (!text.starts_with(kArrow))
        throw GuideError(line, "the call is followed by → and its result");
      text.remove_prefix(kArrow.size());
      if (text == "(empty)") {
        result_empty_ = true;
        part_ = Part::boxes;
      } else {
        part_ = Part::result;
        result_line(line, text);
      }
    } else if (part_ == Part::result && text.starts_with(kIndent)) {
      result_line(line, text.substr(kIndent.size()));
    } else if (text.starts_with(kBoxStart) && text.ends_with(kBoxEnd) &&
               text.size() >= kBoxStart.size() + kBoxEnd.size()) {
      part_ = Part::boxes;
      text.remove_prefix(kBoxStart.size());
      text.remove_suffix(kBoxEnd.size());
      boxes_.push_back({std::string(text), ""});
    } else if (part_ == Part::boxes && !boxes_.empty() && text.starts_with(kIndent)) {
      std::string& box_text = boxes_.back().text;
      if (!box_text.empty()) box_text += ' ';
      box_text += plain(line, text.substr(kIndent.size()));
    } else {
      throw GuideError(line, "unexpected line in an example");
    }
  }

  // External ( "Serx-Name" ; "ARG" )
  void read_call(int line, std::string_view text) {
    const auto fail = [line] {
      return GuideError(line,
                        "an example starts with a call: External ( \"Serx-Name\" ; \"text\" )");
    };
    if (!text.starts_with(kCallStart) || !text.ends_with(kCallEnd)) throw fail();
    text.remove_prefix(kCallStart.size());
    const auto name_end = text.find(kCallMiddle);
    if (name_end == std::string_view::npos) throw fail();
    const std::string_view name = text.substr(0, name_end);
    if (!name.starts_with("Serx-") || name.size() == 5) throw fail();
    for (const char c : name.substr(5)) {
      if (!is_ascii_letter(c)) throw fail();
    }
    text.remove_prefix(name_end + kCallMiddle.size());
    if (text.size() < kCallEnd.size()) throw fail();
    text.remove_suffix(kCallEnd.size());
    call_line_ = line;
    call_name_ = name;
    call_arg_ = unquote(line, text);
    part_ = Part::arrow;
  }

  void result_line(int line, std::string_view text) {
    if (length_given_ >= 0) throw GuideError(line, "the length ends the result");
    if (const auto length = given_length(text); length >= 0) {
      if (!omitted_) throw GuideError(line, "a length only for a result with … in it");
      length_given_ = length;
    } else if (text == kEllipsis) {
      if (omitted_) throw GuideError(line, "one … in a result");
      omitted_ = true;
      last_line_open_ = false;
    } else {
      if (last_line_open_)
        throw GuideError(line, "every line of a result but the last ends with ¶");
      last_line_open_ = !text.ends_with(kPilcrow);
      (omitted_ ? after_omission_ : result_) += plain(line, text);
    }
  }

  // N of "(N characters)", or -1 for any other text.
  static long given_length(std::string_view text) {
    constexpr std::string_view kUnit = " characters)";
    if (!text.starts_with('(') || !text.ends_with(kUnit)) return -1;
    text = text.substr(1, text.size() - 1 - kUnit.size());
    if (text.empty() || text.size() > 9) return -1;
    long length = 0;
    for (const char c : text) {
      if (!is_digit(c)) return -1;
      length = length * 10 + (c - '0');
    }
    return length;
  }

  void end_example(int line) {
    if (part_ == Part::call || part_ == Part::arrow) {
      throw GuideError(line, "an example is a call and its result");
    }
    if (omitted_ && length_given_ < 0) {
      throw GuideError(line, "a result with … gives its length: (N characters)");
    }
    Json expect;
    if (result_empty_) {
      expect["result"] = "";
      expect["touched"] = false;
    } else if (omitted_) {
      expect["result"] = {
          {"$length", length_given_}, {"$starts_with", result_}, {"$ends_with", after_omission_}};
    } else {
      expect["result"] = result_;
    }
    Json alerts = Json::array();
    for (const auto& box : boxes_) {
      if (box.text.empty()) throw GuideError(line, "a message box without its text");
      alerts.push_back({{"caption", plain(line, box.caption)}, {"text", box.text}});
    }
    expect["alerts"] = alerts;
    Json entry = {{"request", {{"op", "function"}, {"name", call_name_}, {"arg", call_arg_}}},
                  {"expect", expect}};
    if (!boxes_.empty() && boxes_shown_++ > 0) {
      clock_ms_ += kClockStepMs;
      put(fence_, {{"request", {{"op", "clock"}, {"ms", clock_ms_}}},
                   {"expect", {{"ok", true}}},
                   {"needs", "clock"}});
      entry["needs"] = "clock";
    }
    put(call_line_, std::move(entry));
    std::string address =
        "Serix-Playground.html#f=" + uri_component(call_name_) + "&a=" + uri_component(call_arg_);
    if (block_separator_ != kStandardSeparator) address += "&s=" + uri_component(block_separator_);
    examples_.calls_by_fence[fence_].push_back({call_line_, std::move(address)});
  }

  void read_reg_block(int fence, std::string_view name,
                      const std::vector<std::string_view>& lines) {
    if (lines.size() < 4) throw GuideError(fence, "a .reg file sets at least one value");
    if (lines[0] != "REGEDIT4") throw GuideError(fence + 1, "a .reg file begins with REGEDIT4");
    if (!lines[1].empty()) throw GuideError(fence + 2, "REGEDIT4 is followed by an empty line");
    if (lines[2] != kPrefsKey) {
      throw GuideError(fence + 3, "a .reg file here sets " + std::string(kPrefsKey));
    }
    RegFile file{std::string(name), ""};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i >= 3) read_reg_value(fence + 1 + static_cast<int>(i), lines[i]);
      file.text.append(lines[i]).append("\r\n");
    }
    file.text += "\r\n";
    examples_.reg_files.push_back(std::move(file));
  }

  // "Name"="text"
  void read_reg_value(int line, std::string_view text) {
    constexpr std::string_view kBetween = "\"=\"";
    const auto between = text.find(kBetween);
    bool valid = text.starts_with('"') && text.ends_with('"') &&
                 between != std::string_view::npos && between > 1 &&
                 text.size() >= between + kBetween.size() + 1;
    const std::string_view name = valid ? text.substr(1, between - 1) : "";
    for (const char c : name) valid = valid && is_ascii_letter(c);
    if (!valid) throw GuideError(line, "a value line is \"Name\"=\"text\"");
    const std::string_view quoted = text.substr(between + kBetween.size());
    const std::string value = unquote(line, quoted.substr(0, quoted.size() - 1));
    put(line,
        {{"request", {{"op", "registry"}, {"set", {{name, value}}}}}, {"expect", {{"ok", true}}}});
    // An empty or too long token is replaced by the standard one at the next call.
    if (equals_ignoring_ascii_case(name, "SeparatorToken")) {
      separator_ = (value.empty() || value.size() > kLongestSeparator) ? kStandardSeparator : value;
    }
  }

  GuideExamples& examples_;
  // The separator in force in the session: the standard one until a .reg block sets another.
  std::string separator_{kStandardSeparator};
  int boxes_shown_ = 0;
  long clock_ms_ = kFirstClockMs;

  // The block being read.
  int fence_ = 0;
  std::string block_separator_;

  // The example being read.
  Part part_ = Part::call;
  int call_line_ = 0;
  std::string call_name_;
  std::string call_arg_;
  std::string result_;
  std::string after_omission_;
  bool result_empty_ = false;
  bool omitted_ = false;
  long length_given_ = -1;
  bool last_line_open_ = false;
  std::vector<MessageBox> boxes_;
};

}  // namespace

GuideExamples read_examples(cmark_node* document, int guide_lines) {
  GuideExamples examples;
  ExampleReader reader(examples);
  for (cmark_node* block : nodes_of_type(document, CMARK_NODE_CODE_BLOCK)) reader.read_block(block);
  reader.finish(guide_lines);
  return examples;
}

std::string session_text(const GuideExamples& examples, int guide_lines) {
  std::string text;
  for (int line = 1; line <= guide_lines; ++line) {
    if (const auto found = examples.requests.find(line); found != examples.requests.end()) {
      text += found->second.dump();
    }
    text += '\n';
  }
  return text;
}

}  // namespace serix::guide
