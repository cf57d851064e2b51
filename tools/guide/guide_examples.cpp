#include "guide_examples.h"

#include <cstdio>
#include <string_view>

#include "guide_error.h"
#include "platform/ascii_case.h"
#include "platform/portable/emulated_windows.h"
#include "settings/prefs_record.h"

// How the guide writes its fenced blocks:
//
//   ```example     Separator: TEXT                   optional first line: the block runs
//                                                    with TEXT as the separator, and the
//                                                    one in force before comes back after it
//                  External("Serx-Name", "ARG")      a call as FileMaker Pro 4 to 6 write
//                                                    it, ARG a text constant of theirs
//                                                    (a block may hold several calls)
//                  → FIRST LINE¶                     its result, ¶ for a return; the lines
//                    NEXT LINE                       after the first indented by two blanks
//                    …                               a part left out, only with a length:
//                    (64000 characters)
//                  → (empty)                         no result, the handle left untouched
//                  Message box "TITLE":              a message box; its text on indented
//                    TEXT                            lines, joined by single blanks
//   ```reg NAME    a .reg file: its values are set in the session's registry, in order
//   ```formula V   a calculation for the versions V (4-6, 7+ or 18+), shown, not run
//   ```script V    a script for the versions V, shown, not run
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
constexpr std::string_view kCallStart = "External(\"";
constexpr std::string_view kCallMiddle = "\", \"";
constexpr std::string_view kCallEnd = "\")";
constexpr std::string_view kBoxStart = "Message box \"";
constexpr std::string_view kBoxEnd = "\":";
constexpr std::string_view kIndent = "  ";
constexpr std::string_view kStandardSeparator = kDefaultSeparatorToken;
constexpr std::size_t kLongestSeparator = kPrefTextSize - 1;
// Each box after the first moves the session's clock 100 seconds on from where hosts start it.
constexpr long kFirstClockMs = serix::portable::kStartingTickCount;
constexpr long kClockStepMs = 100000;

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The key line of every .reg file here: the plug-in's own key under the current user.
std::string PrefsKeyLine() {
  return std::string("[HKEY_CURRENT_USER\\") + kPrefsKeyPath + "]";
}

// A text as the plug-in sees it: ¶ is a return; nothing else beyond ASCII, no other control
// character.
std::string Plain(int line, std::string_view text) {
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

// A text constant of FileMaker Pro 4 to 6 without its quotation marks: "" stands for one.
std::string UnquoteOld(int line, std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      if (i + 1 == text.size() || text[i + 1] != '"') {
        throw GuideError(line, "a quotation mark inside a call's text is written \"\"");
      }
      ++i;
    }
    out += text[i];
  }
  return Plain(line, out);
}

// A value of a .reg file between its quotes: \" and \\ are escapes.
std::string UnquoteReg(int line, std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
      if (i == text.size() || (text[i] != '"' && text[i] != '\\')) {
        throw GuideError(line, "only \\\" and \\\\ are escapes in a .reg value");
      }
    } else if (text[i] == '"') {
      throw GuideError(line, "a quote inside a .reg value is written \\\"");
    }
    out += text[i];
  }
  return Plain(line, out);
}

// A text as encodeURIComponent writes it (the texts here are ASCII and returns).
std::string UriComponent(std::string_view text) {
  constexpr std::string_view kKept = "_.!~*'()-";
  std::string out;
  for (const char c : text) {
    if (IsAsciiLetter(c) || IsDigit(c) || kKept.find(c) != std::string_view::npos) {
      out += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      out += escaped;
    }
  }
  return out;
}

Json SeparatorRequest(std::string_view separator) {
  return {{"request", {{"op", "registry"}, {"set", {{"SeparatorToken", separator}}}}},
          {"expect", {{"ok", true}}}};
}

// The lines of a code block's text, each without its line end.
std::vector<std::string_view> BlockLines(std::string_view text) {
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
  ExampleReader(GuideExamples& examples, const FunctionList& functions)
      : examples_(examples), functions_(functions) {}

  void ReadBlock(cmark_node* block) {
    const std::string_view info = cmark_node_get_fence_info(block);
    const int fence = cmark_node_get_start_line(block);
    const std::string_view kind = info.substr(0, info.find(' '));
    const std::string_view versions =
        kind.size() < info.size() ? info.substr(kind.size() + 1) : std::string_view();
    const bool shown = (kind == "formula" || kind == "script") && !VersionsLabel(versions).empty();
    // An indented code block has no info string either.
    if (info != "example" && !shown && !IsRegInfo(info)) {
      throw GuideError(fence,
                       "a code block of the guide is ```example, ```reg NAME.reg, ```formula "
                       "VERSIONS or ```script VERSIONS (VERSIONS 4-6, 7+ or 18+)");
    }
    const std::string_view text = cmark_node_get_literal(block);
    const auto lines = BlockLines(text);
    // A closed fence leaves one line between the block's text and its end.
    const int closing = cmark_node_get_end_line(block);
    if (fence + static_cast<int>(lines.size()) + 1 != closing) {
      throw GuideError(fence, "a fenced block is not closed");
    }
    if (info == "example") {
      ReadExampleBlock(fence, lines, closing);
    } else if (shown) {
      if (versions == kOldestVersions) CheckOldCalculation(text, fence + 1, functions_);
    } else {
      ReadRegBlock(fence, info.substr(4), lines);
    }
  }

  void Finish(int guideLines) {
    if (guideLines < 1) throw GuideError(1, "the guide is empty");
    Put(1, {{"request", {{"op", "initialise"}, {"version", 4}}}, {"expect", {{"answer", 4}}}});
  }

 private:
  enum class Part { call, arrow, result, boxes };

  struct MessageBox {
    std::string caption;
    std::string text;
  };

  static bool IsRegInfo(std::string_view info) {
    if (!info.starts_with("reg ") || !info.ends_with(".reg") || info.size() <= 8) return false;
    for (const char c : info.substr(4)) {
      if (!IsAsciiLetter(c) && !IsDigit(c) && c != '.' && c != '_' && c != '-') return false;
    }
    return true;
  }

  // One request a line: a second one for the same line would silently replace the first.
  void Put(int line, Json request) {
    if (!examples_.requests.emplace(line, std::move(request)).second) {
      throw GuideError(line, "two requests for line " + std::to_string(line) + " of the session");
    }
  }

  void ReadExampleBlock(int fence, const std::vector<std::string_view>& lines, int closing) {
    fence_ = fence;
    blockSeparator_ = separator_;
    bool separatorNamed = false;
    int callsInBlock = 0;
    StartExample();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const int line = fence + 1 + static_cast<int>(i);
      const std::string_view text = lines[i];
      if (text.starts_with("Separator: ")) {
        if (callsInBlock > 0 || separatorNamed) {
          throw GuideError(line, "Separator: is the first line of an example");
        }
        blockSeparator_ = ReadSeparator(line, text.substr(11));
        separatorNamed = true;
        Put(line, SeparatorRequest(blockSeparator_));
        continue;
      }
      if (part_ != Part::call && part_ != Part::arrow && text.starts_with(kCallStart)) {
        EndExample(line);
        StartExample();
      }
      if (part_ == Part::call) ++callsInBlock;
      ExampleLine(line, text);
    }
    EndExample(closing);
    // The separator in force before the block comes back for what follows.
    if (blockSeparator_ != separator_) Put(closing, SeparatorRequest(separator_));
  }

  static std::string ReadSeparator(int line, std::string_view text) {
    bool visible = !text.empty() && text.size() <= kLongestSeparator;
    for (const char c : text) visible = visible && c > ' ' && c <= '~';
    if (!visible) {
      throw GuideError(line, "a separator is 1 to " + std::to_string(kLongestSeparator) +
                                 " visible ASCII characters, without blanks");
    }
    return std::string(text);
  }

  void StartExample() {
    part_ = Part::call;
    callLine_ = 0;
    callName_.clear();
    callArgument_.clear();
    result_.clear();
    afterOmission_.clear();
    resultEmpty_ = false;
    omitted_ = false;
    lengthGiven_ = -1;
    lastLineOpen_ = false;
    boxes_.clear();
  }

  void ExampleLine(int line, std::string_view text) {
    if (part_ == Part::call) {
      ReadCall(line, text);
    } else if (part_ == Part::arrow) {
      if (!text.starts_with(kArrow))
        throw GuideError(line, "the call is followed by → and its result");
      text.remove_prefix(kArrow.size());
      if (text == "(empty)") {
        resultEmpty_ = true;
        part_ = Part::boxes;
      } else {
        part_ = Part::result;
        ResultLine(line, text);
      }
    } else if (part_ == Part::result && text.starts_with(kIndent)) {
      ResultLine(line, text.substr(kIndent.size()));
    } else if (text.starts_with(kBoxStart) && text.ends_with(kBoxEnd) &&
               text.size() >= kBoxStart.size() + kBoxEnd.size()) {
      part_ = Part::boxes;
      text.remove_prefix(kBoxStart.size());
      text.remove_suffix(kBoxEnd.size());
      boxes_.push_back({std::string(text), ""});
    } else if (part_ == Part::boxes && !boxes_.empty() && text.starts_with(kIndent)) {
      std::string& boxText = boxes_.back().text;
      if (!boxText.empty()) boxText += ' ';
      boxText += Plain(line, text.substr(kIndent.size()));
    } else {
      throw GuideError(line, "unexpected line in an example");
    }
  }

  // External("Serx-Name", "ARG"), as FileMaker Pro 4 to 6 write it.
  void ReadCall(int line, std::string_view text) {
    const auto fail = [line] {
      return GuideError(line, "an example starts with a call: External(\"Serx-Name\", \"text\")");
    };
    if (!text.starts_with(kCallStart) || !text.ends_with(kCallEnd)) throw fail();
    CheckOldCalculation(text, line, functions_);
    std::string_view inner = text.substr(kCallStart.size());
    const auto nameEnd = inner.find(kCallMiddle);
    if (nameEnd == std::string_view::npos) throw fail();
    const std::string_view name = inner.substr(0, nameEnd);
    if (!name.starts_with("Serx-") || name.size() == 5) throw fail();
    for (const char c : name.substr(5)) {
      if (!IsAsciiLetter(c)) throw fail();
    }
    inner.remove_prefix(nameEnd + kCallMiddle.size());
    if (inner.size() < kCallEnd.size()) throw fail();
    inner.remove_suffix(kCallEnd.size());
    callLine_ = line;
    callName_ = name;
    callArgument_ = UnquoteOld(line, inner);
    part_ = Part::arrow;
  }

  void ResultLine(int line, std::string_view text) {
    if (lengthGiven_ >= 0) throw GuideError(line, "the length ends the result");
    if (const auto length = GivenLength(text); length >= 0) {
      if (!omitted_) throw GuideError(line, "a length only for a result with … in it");
      lengthGiven_ = length;
    } else if (text == kEllipsis) {
      if (omitted_) throw GuideError(line, "one … in a result");
      omitted_ = true;
      lastLineOpen_ = false;
    } else {
      if (lastLineOpen_) throw GuideError(line, "every line of a result but the last ends with ¶");
      lastLineOpen_ = !text.ends_with(kPilcrow);
      (omitted_ ? afterOmission_ : result_) += Plain(line, text);
    }
  }

  // N of "(N characters)", or -1 for any other text.
  static long GivenLength(std::string_view text) {
    constexpr std::string_view kUnit = " characters)";
    if (!text.starts_with('(') || !text.ends_with(kUnit)) return -1;
    text = text.substr(1, text.size() - 1 - kUnit.size());
    if (text.empty() || text.size() > 9) return -1;
    long length = 0;
    for (const char c : text) {
      if (!IsDigit(c)) return -1;
      length = length * 10 + (c - '0');
    }
    return length;
  }

  void EndExample(int line) {
    if (part_ == Part::call || part_ == Part::arrow) {
      throw GuideError(line, "an example is a call and its result");
    }
    if (omitted_ && lengthGiven_ < 0) {
      throw GuideError(line, "a result with … gives its length: (N characters)");
    }
    Json expect;
    if (resultEmpty_) {
      expect["result"] = "";
      expect["touched"] = false;
    } else if (omitted_) {
      expect["result"] = {
          {"$length", lengthGiven_}, {"$starts_with", result_}, {"$ends_with", afterOmission_}};
    } else {
      expect["result"] = result_;
    }
    Json alerts = Json::array();
    for (const auto& box : boxes_) {
      if (box.text.empty()) throw GuideError(line, "a message box without its text");
      alerts.push_back({{"caption", Plain(line, box.caption)}, {"text", box.text}});
    }
    expect["alerts"] = alerts;
    Json entry = {{"request", {{"op", "function"}, {"name", callName_}, {"arg", callArgument_}}},
                  {"expect", expect}};
    if (!boxes_.empty() && boxesShown_++ > 0) {
      clockMs_ += kClockStepMs;
      Put(fence_, {{"request", {{"op", "clock"}, {"ms", clockMs_}}},
                   {"expect", {{"ok", true}}},
                   {"needs", "clock"}});
      entry["needs"] = "clock";
    }
    Put(callLine_, std::move(entry));
    std::string address =
        "Serix-Playground.html#f=" + UriComponent(callName_) + "&a=" + UriComponent(callArgument_);
    if (blockSeparator_ != kStandardSeparator) address += "&s=" + UriComponent(blockSeparator_);
    examples_.callsByFence[fence_].push_back({callLine_, std::move(address)});
  }

  void ReadRegBlock(int fence, std::string_view name, const std::vector<std::string_view>& lines) {
    if (lines.size() < 4) throw GuideError(fence, "a .reg file sets at least one value");
    if (lines[0] != "REGEDIT4") throw GuideError(fence + 1, "a .reg file begins with REGEDIT4");
    if (!lines[1].empty()) throw GuideError(fence + 2, "REGEDIT4 is followed by an empty line");
    if (lines[2] != PrefsKeyLine()) {
      throw GuideError(fence + 3, "a .reg file here sets " + PrefsKeyLine());
    }
    RegFile file{std::string(name), ""};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i >= 3) ReadRegValue(fence + 1 + static_cast<int>(i), lines[i]);
      file.text.append(lines[i]).append("\r\n");
    }
    file.text += "\r\n";
    examples_.regFiles.push_back(std::move(file));
  }

  // "Name"="text"
  void ReadRegValue(int line, std::string_view text) {
    constexpr std::string_view kBetween = "\"=\"";
    const auto between = text.find(kBetween);
    bool valid = text.starts_with('"') && text.ends_with('"') &&
                 between != std::string_view::npos && between > 1 &&
                 text.size() >= between + kBetween.size() + 1;
    const std::string_view name = valid ? text.substr(1, between - 1) : "";
    for (const char c : name) valid = valid && IsAsciiLetter(c);
    if (!valid) throw GuideError(line, "a value line is \"Name\"=\"text\"");
    const std::string_view quoted = text.substr(between + kBetween.size());
    const std::string value = UnquoteReg(line, quoted.substr(0, quoted.size() - 1));
    Put(line,
        {{"request", {{"op", "registry"}, {"set", {{name, value}}}}}, {"expect", {{"ok", true}}}});
    // An empty or too long token is replaced by the standard one at the next call.
    if (SameIgnoringAsciiCase(name, "SeparatorToken")) {
      separator_ = (value.empty() || value.size() > kLongestSeparator) ? kStandardSeparator : value;
    }
  }

  GuideExamples& examples_;
  const FunctionList& functions_;
  // The separator in force in the session: the standard one until a .reg block sets another.
  std::string separator_{kStandardSeparator};
  int boxesShown_ = 0;
  long clockMs_ = kFirstClockMs;

  // The block being read.
  int fence_ = 0;
  std::string blockSeparator_;

  // The example being read.
  Part part_ = Part::call;
  int callLine_ = 0;
  std::string callName_;
  std::string callArgument_;
  std::string result_;
  std::string afterOmission_;
  bool resultEmpty_ = false;
  bool omitted_ = false;
  long lengthGiven_ = -1;
  bool lastLineOpen_ = false;
  std::vector<MessageBox> boxes_;
};

}  // namespace

GuideExamples ReadExamples(const std::vector<cmark_node*>& codeBlocks, int guideLines,
                           const FunctionList& functions) {
  GuideExamples examples;
  ExampleReader reader(examples, functions);
  for (cmark_node* block : codeBlocks) reader.ReadBlock(block);
  reader.Finish(guideLines);
  return examples;
}

std::string SessionText(const GuideExamples& examples, int guideLines) {
  std::string text;
  for (int line = 1; line <= guideLines; ++line) {
    if (const auto found = examples.requests.find(line); found != examples.requests.end()) {
      text += found->second.dump();
    }
    text += '\n';
  }
  return text;
}

}  // namespace serix::guide
