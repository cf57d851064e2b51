#include "regedit4.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/ascii_case.h"
#include "platform/registry_types.h"
#include "settings/prefs_record.h"

namespace serix::host {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kLineEnd = "\r\n";
// regedit keeps hex lines within 80 characters.
constexpr std::size_t kLineWidth = 80;
constexpr char kHexDigits[] = "0123456789abcdef";

std::string Hex(std::uint32_t number, int minimumDigits) {
  std::string digits;
  do {
    digits.insert(digits.begin(), kHexDigits[number & 0xF]);
    number >>= 4;
  } while (number != 0);
  if (static_cast<int>(digits.size()) < minimumDigits) {
    digits.insert(0, static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
  }
  return digits;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

// The text that the quoted form gives back exactly: a text that fits on its line.
std::optional<std::string_view> CarriedText(const RegistryValue& value) {
  const std::optional<std::string_view> text = TextOf(value.type, value.bytes);
  if (!text || !FitsOnOneLine(*text)) return std::nullopt;
  return text;
}

void AppendHexData(std::string& text, std::string line, std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    std::string piece = Hex(static_cast<unsigned char>(bytes[at]), 2);
    if (at + 1 < bytes.size()) piece += ',';
    // Room for the continuation's backslash; never before the first byte.
    if (at > 0 && line.size() + piece.size() + 1 > kLineWidth) {
      text += line;
      text += '\\';
      text += kLineEnd;
      line = "  ";
    }
    line += piece;
  }
  text += line;
}

std::optional<std::uint32_t> HexNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t number = 0;
  for (const char c : digits) {
    const char* found = std::find(kHexDigits, kHexDigits + 16, FoldAscii(c));
    if (found == kHexDigits + 16) return std::nullopt;
    number = (number << 4) | static_cast<std::uint32_t>(found - kHexDigits);
  }
  return number;
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Reads one line's worth of the format; every failure is one reason, without the line number.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : rest_(line) {}

  // A quoted text with \\ and \" escaped, or nothing (with why) when it is not one.
  std::optional<std::string> QuotedText(std::string& why) {
    if (rest_.empty() || rest_.front() != '"') {
      why = "a quoted text was expected";
      return std::nullopt;
    }
    std::string text;
    for (std::size_t at = 1; at < rest_.size(); ++at) {
      const char c = rest_[at];
      if (c == '"') {
        rest_.remove_prefix(at + 1);
        return text;
      }
      if (c == '\\') {
        if (++at == rest_.size() || (rest_[at] != '\\' && rest_[at] != '"')) {
          why = "a backslash in a quoted text must come before \\ or \"";
          return std::nullopt;
        }
      }
      text += rest_[at];
    }
    why = "a quoted text has no closing quote";
    return std::nullopt;
  }

  std::string_view rest() const { return rest_; }
  void Skip(std::size_t count) { rest_.remove_prefix(count); }

 private:
  std::string_view rest_;
};

std::string NotAByte(std::string_view item) {
  // Appended, not "..." + text: GCC 12 warns wrongly (-Wrestrict) about that form here.
  std::string text(1, '"');
  text.append(item);
  text.append("\" is not a byte of two hex digits");
  return text;
}

std::optional<std::string> HexBytes(std::string_view list, std::string& why) {
  std::string bytes;
  list = Trimmed(list);
  if (list.empty()) return bytes;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = Trimmed(list.substr(0, comma));
    const std::optional<std::uint32_t> byte = item.size() == 2 ? HexNumber(item) : std::nullopt;
    if (!byte) {
      why = NotAByte(item);
      return std::nullopt;
    }
    bytes += static_cast<char>(*byte);
    if (comma == std::string_view::npos) return bytes;
    list.remove_prefix(comma + 1);
  }
}

// The value that the data after '=' stands for; nothing for a deletion ("-").
bool ReadData(std::string_view data, std::optional<RegistryValue>& value, std::string& why) {
  LineReader reader(data);
  if (data == "-") {
    value.reset();
    return true;
  }
  if (!data.empty() && data.front() == '"') {
    std::optional<std::string> text = reader.QuotedText(why);
    if (!text) return false;
    if (!Trimmed(reader.rest()).empty()) {
      why = "the line goes on after the quoted text";
      return false;
    }
    value = RegistryValue::Text(*text);
    return true;
  }
  const std::size_t colon = data.find(':');
  const std::string_view kind = data.substr(0, colon);
  const std::string_view rest = colon == std::string_view::npos ? "" : data.substr(colon + 1);
  if (colon != std::string_view::npos && SameIgnoringAsciiCase(kind, "dword")) {
    const std::optional<std::uint32_t> number = HexNumber(Trimmed(rest));
    if (!number) {
      why = "dword: must be followed by one to eight hex digits";
      return false;
    }
    value = RegistryValue::Number(*number);
    return true;
  }
  std::optional<std::uint32_t> type;
  if (SameIgnoringAsciiCase(kind, "hex")) {
    type = kTypeBinary;
  } else if (kind.size() > 5 && SameIgnoringAsciiCase(kind.substr(0, 4), "hex(") &&
             kind.back() == ')') {
    type = HexNumber(kind.substr(4, kind.size() - 5));
  }
  if (colon == std::string_view::npos || !type) {
    why = "a value must be a quoted text, dword:, hex: or hex(N):, or - to delete it";
    return false;
  }
  std::optional<std::string> bytes = HexBytes(rest, why);
  if (!bytes) return false;
  value = RegistryValue{*type, std::move(*bytes)};
  return true;
}

}  // namespace

std::string PrefsKeyName() {
  return std::string("HKEY_CURRENT_USER\\") + kPrefsKeyPath;
}

bool WriteRegedit4(const std::vector<std::pair<std::string, RegistryValue>>& values,
                   std::string& text, std::string& why) {
  text = std::string(kHeader) + std::string(kLineEnd) + std::string(kLineEnd) + "[" +
         PrefsKeyName() + "]" + std::string(kLineEnd);
  for (const auto& [name, value] : values) {
    if (!IsCarriableValueName(name)) {
      why = "the value name " + Quoted(name) + " " + std::string(kNotCarriableValueName);
      return false;
    }
    // The key's default value has the empty name, written @.
    const std::string written = (name.empty() ? std::string("@") : Quoted(name)) + "=";
    if (const std::optional<std::string_view> carried = CarriedText(value)) {
      text += written + Quoted(*carried);
    } else if (const std::optional<std::uint32_t> number = NumberOf(value.type, value.bytes)) {
      text += written + "dword:" + Hex(*number, 8);
    } else {
      const std::string kind =
          value.type == kTypeBinary ? "hex:" : "hex(" + Hex(value.type, 1) + "):";
      AppendHexData(text, written + kind, value.bytes);
    }
    text += kLineEnd;
  }
  text += kLineEnd;
  return true;
}

bool ReadRegedit4(std::string_view text, std::vector<RegistryChange>& changes, std::string& why) {
  changes.clear();
  std::size_t lineNumber = 0;
  bool sawHeader = false;
  bool inKey = false;
  const auto fail = [&](const std::string& reason) {
    why = "line " + std::to_string(lineNumber) + ": " + reason;
    return false;
  };
  const auto nextLine = [&](std::string_view& line) {
    if (text.empty()) return false;
    const std::size_t end = text.find('\n');
    line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++lineNumber;
    return true;
  };
  std::string_view line;
  while (nextLine(line)) {
    if (!sawHeader) {
      // Saved by an editor as UTF-8 "with BOM", or by regedit as Unicode (UTF-16): the line
      // may well read REGEDIT4 on screen, so the mark is what is named.
      if (line.starts_with("\xef\xbb\xbf") || line.starts_with("\xff\xfe") ||
          line.starts_with("\xfe\xff")) {
        return fail(
            "the file begins with a Unicode byte-order mark; a REGEDIT4 file is plain ANSI text "
            "(save it as ANSI, or export with regedit's \"Win9x/NT4\" type)");
      }
      if (line != kHeader) {
        return fail(
            "a REGEDIT4 file begins with the line REGEDIT4 (regedit's \"Win9x/NT4\" "
            "export)");
      }
      sawHeader = true;
      continue;
    }
    const std::string_view trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (trimmed.front() == '[') {
      if (trimmed.back() != ']') return fail("a key line must end with ]");
      const std::string_view key = trimmed.substr(1, trimmed.size() - 2);
      if (!key.empty() && key.front() == '-') {
        return fail("the file deletes a key; only the values of " + PrefsKeyName() +
                    " can be imported");
      }
      if (!SameIgnoringAsciiCase(key, PrefsKeyName())) {
        return fail("the file names the key [" + std::string(key) + "], not [" + PrefsKeyName() +
                    "]");
      }
      inKey = true;
      continue;
    }
    if (!inKey) return fail("a value comes before any [key] line");

    LineReader reader(trimmed);
    std::string name;
    if (trimmed.front() == '@') {
      reader.Skip(1);
    } else if (std::optional<std::string> quoted = reader.QuotedText(why)) {
      name = std::move(*quoted);
    } else {
      return fail(why);
    }
    if (!IsCarriableValueName(name)) {
      return fail("the value name " + Quoted(name) + " " + std::string(kNotCarriableValueName));
    }
    std::string_view rest = Trimmed(reader.rest());
    if (rest.empty() || rest.front() != '=') return fail("= must follow the value's name");
    std::string data(Trimmed(rest.substr(1)));
    // Hex data may go on over lines that end with a backslash.
    const std::size_t firstLine = lineNumber;
    if (data.size() >= 3 && SameIgnoringAsciiCase(std::string_view(data).substr(0, 3), "hex")) {
      while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        std::string_view continuation;
        if (!nextLine(continuation)) return fail("the file ends inside a continued line");
        data += Trimmed(continuation);
      }
    }
    std::optional<RegistryValue> value;
    if (!ReadData(data, value, why)) {
      lineNumber = firstLine;
      return fail(why);
    }
    changes.push_back({std::move(name), std::move(value)});
  }
  if (!sawHeader) {
    why = "the file is empty; a REGEDIT4 file begins with the line REGEDIT4";
    return false;
  }
  if (!inKey) return fail("the file names no key; it needs [" + PrefsKeyName() + "]");
  return true;
}

}  // namespace serix::host
