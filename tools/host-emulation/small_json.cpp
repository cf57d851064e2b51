#include "small_json.h"

#include <algorithm>

namespace serix::host::small_json {

Value::Value(const std::vector<std::string>& texts) : kind_(Kind::kArray) {
  for (const std::string& text : texts) elements_.emplace_back(text);
}

Value Value::array() {
  Value value;
  value.kind_ = Kind::kArray;
  return value;
}

Value Value::object() {
  Value value;
  value.kind_ = Kind::kObject;
  return value;
}

Value& Value::operator[](std::string_view name) {
  if (kind_ == Kind::kNull) kind_ = Kind::kObject;
  for (auto& [key, member] : members_) {
    if (key == name) return member;
  }
  return members_.emplace_back(std::string(name), Value()).second;
}

const Value* Value::Member(std::string_view name) const {
  for (const auto& [key, member] : members_) {
    if (key == name) return &member;
  }
  return nullptr;
}

void Value::push_back(Value element) {
  if (kind_ == Kind::kNull) kind_ = Kind::kArray;
  elements_.push_back(std::move(element));
}

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendEscaped(std::string& out, std::uint32_t unit) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(unit >> shift) & 0xF];
}

// The code point of the UTF-8 sequence at `at`, moving past it; a byte that starts no
// well-formed sequence stands for U+FFFD.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  std::uint32_t code = lead & (0x3Fu >> more);
  for (int i = 0; i < more; ++i) {
    if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (static_cast<unsigned char>(text[at++]) & 0x3Fu);
  }
  return code;
}

// The escapes written as a backslash and one character, as nlohmann-json writes them.
char ShortEscape(std::uint32_t code) {
  switch (code) {
    case '"':
    case '\\':
      return static_cast<char>(code);
    case '\b':
      return 'b';
    case '\f':
      return 'f';
    case '\n':
      return 'n';
    case '\r':
      return 'r';
    case '\t':
      return 't';
    default:
      return '\0';
  }
}

bool Printable(char c) {
  return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
}

void DumpString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t at = 0; at < text.size();) {
    // Printable characters a run at a time; the others one by one.
    const std::size_t first = at;
    while (at < text.size() && Printable(text[at])) ++at;
    out.append(text.substr(first, at - first));
    if (at == text.size()) break;
    const std::uint32_t code = NextCodePoint(text, at);
    if (const char letter = ShortEscape(code)) {
      out += '\\';
      out += letter;
    } else if (code < 0x10000) {
      AppendEscaped(out, code);
    } else {
      AppendEscaped(out, 0xD800 + ((code - 0x10000) >> 10));
      AppendEscaped(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  out += '"';
}

}  // namespace

void Value::DumpTo(std::string& out) const {
  switch (kind_) {
    case Kind::kNull:
    case Kind::kNotWhole:
      out += "null";
      break;
    case Kind::kBoolean:
      out += unsigned_ != 0 ? "true" : "false";
      break;
    case Kind::kSigned:
      out += std::to_string(signed_);
      break;
    case Kind::kUnsigned:
      out += std::to_string(unsigned_);
      break;
    case Kind::kString:
      DumpString(out, text_);
      break;
    case Kind::kArray:
      out += '[';
      for (std::size_t i = 0; i < elements_.size(); ++i) {
        if (i > 0) out += ',';
        elements_[i].DumpTo(out);
      }
      out += ']';
      break;
    case Kind::kObject:
      out += '{';
      for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i > 0) out += ',';
        DumpString(out, members_[i].first);
        out += ':';
        members_[i].second.DumpTo(out);
      }
      out += '}';
      break;
  }
}

std::string Value::dump(int /*indent*/, char /*indentCharacter*/, bool /*ensureAscii*/) const {
  std::string out;
  DumpTo(out);
  return out;
}

// A recursive reader of RFC 8259 JSON. The session refuses requests nested more than 32 deep
// before they get here; the reader's own limit keeps any other caller's stack safe.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool Read(Value& value, std::string& error) {
    SkipSpace();
    if (ReadValue(value, 0)) {
      SkipSpace();
      if (at_ == text_.size()) return true;
      Fail("text after the value");
    }
    error = why_ + " at byte " + std::to_string(at_ + 1);
    return false;
  }

 private:
  static constexpr int kMaxDepth = 256;

  bool Fail(const char* why) {
    if (why_.empty()) why_ = why;
    return false;
  }

  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[at_]; }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      ++at_;
    }
  }

  bool Take(char wanted) {
    if (AtEnd() || text_[at_] != wanted) return false;
    ++at_;
    return true;
  }

  bool ReadWord(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("not a JSON value");
    at_ += word.size();
    return true;
  }

  bool ReadValue(Value& value, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    switch (Peek()) {
      case '{':
        return ReadObject(value, depth);
      case '[':
        return ReadArray(value, depth);
      case '"':
        value.kind_ = Value::Kind::kString;
        return ReadString(value.text_);
      case 't':
        value = Value(true);
        return ReadWord("true");
      case 'f':
        value = Value(false);
        return ReadWord("false");
      case 'n':
        return ReadWord("null");
      default:
        return ReadNumber(value);
    }
  }

  bool ReadObject(Value& value, int depth) {
    value.kind_ = Value::Kind::kObject;
    ++at_;
    SkipSpace();
    if (Take('}')) return true;
    for (;;) {
      std::string name;
      if (Peek() != '"') return Fail("a member's name expected");
      if (!ReadString(name)) return false;
      SkipSpace();
      if (!Take(':')) return Fail("':' expected");
      SkipSpace();
      Value member;
      if (!ReadValue(member, depth + 1)) return false;
      Value::object_t& members = value.members_;
      const auto place = std::lower_bound(
          members.begin(), members.end(), name,
          [](const auto& entry, const std::string& key) { return entry.first < key; });
      if (place != members.end() && place->first == name) {
        place->second = std::move(member);
      } else {
        members.emplace(place, std::move(name), std::move(member));
      }
      SkipSpace();
      if (Take('}')) return true;
      if (!Take(',')) return Fail("',' or '}' expected");
      SkipSpace();
    }
  }

  bool ReadArray(Value& value, int depth) {
    value.kind_ = Value::Kind::kArray;
    ++at_;
    SkipSpace();
    if (Take(']')) return true;
    for (;;) {
      Value element;
      if (!ReadValue(element, depth + 1)) return false;
      value.elements_.push_back(std::move(element));
      SkipSpace();
      if (Take(']')) return true;
      if (!Take(',')) return Fail("',' or ']' expected");
      SkipSpace();
    }
  }

  std::size_t Digits() {
    const std::size_t first = at_;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++at_;
    return at_ - first;
  }

  bool ReadNumber(Value& value) {
    const bool negative = Take('-');
    const std::size_t integerStart = at_;
    const std::size_t integerDigits = Digits();
    if (integerDigits == 0) return Fail(negative ? "a digit expected" : "not a JSON value");
    if (integerDigits > 1 && text_[integerStart] == '0') return Fail("a leading zero");
    bool whole = true;
    if (Take('.')) {
      whole = false;
      if (Digits() == 0) return Fail("a digit expected");
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++at_;
      whole = false;
      if (!Take('+')) Take('-');
      if (Digits() == 0) return Fail("a digit expected");
    }
    value.kind_ = Value::Kind::kNotWhole;
    if (!whole) return true;
    // The magnitude, in 64 bits while it fits.
    std::uint64_t magnitude = 0;
    for (std::size_t i = integerStart; i < at_; ++i) {
      const auto digit = static_cast<std::uint64_t>(text_[i] - '0');
      if (magnitude > (UINT64_MAX - digit) / 10) return true;
      magnitude = magnitude * 10 + digit;
    }
    if (!negative) {
      value = Value(magnitude);
    } else if (magnitude <= std::uint64_t{INT64_MAX} + 1) {
      // -magnitude without overflow; "-0" is a signed 0.
      value =
          Value(magnitude == 0 ? std::int64_t{0} : -static_cast<std::int64_t>(magnitude - 1) - 1);
    }
    return true;
  }

  bool ReadHexUnit(std::uint32_t& unit) {
    if (text_.size() - at_ < 4) return Fail("four hex digits expected");
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      const std::size_t digit = std::string_view("0123456789abcdef0123456789ABCDEF").find(c);
      if (digit == std::string_view::npos) return Fail("four hex digits expected");
      unit = (unit << 4) | static_cast<std::uint32_t>(digit % 16);
    }
    return true;
  }

  static void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
      return;
    }
    const int more = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    out += static_cast<char>(((0xFF00u >> (more + 1)) & 0xFF) | (code >> (6 * more)));
    for (int shift = 6 * (more - 1); shift >= 0; shift -= 6) {
      out += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
    }
  }

  bool ReadEscape(std::string& out) {
    const char c = Peek();
    ++at_;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out += c;
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        break;
      default:
        return Fail("not an escape");
    }
    std::uint32_t unit = 0;
    if (!ReadHexUnit(unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return Fail("a lone low surrogate");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      std::uint32_t low = 0;
      if (!Take('\\') || !Take('u') || !ReadHexUnit(low) || low < 0xDC00 || low > 0xDFFF) {
        return Fail("a high surrogate without its low one");
      }
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, unit);
    return true;
  }

  // The length of the well-formed UTF-8 sequence at `at_` (RFC 3629: no overlong forms, no
  // surrogates, nothing above U+10FFFF), or 0.
  std::size_t Utf8Length() const {
    const auto byte = [this](std::size_t offset) -> unsigned {
      return at_ + offset < text_.size() ? static_cast<unsigned char>(text_[at_ + offset]) : 0u;
    };
    const unsigned lead = byte(0);
    const auto in = [](unsigned b, unsigned low, unsigned high) { return b >= low && b <= high; };
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (in(lead, 0xC2, 0xDF)) {
      length = 2;
    } else if (in(lead, 0xE0, 0xEF)) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (in(lead, 0xF0, 0xF4)) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return 0;
    }
    if (!in(byte(1), low, high)) return 0;
    for (std::size_t i = 2; i < length; ++i) {
      if (!in(byte(i), 0x80, 0xBF)) return 0;
    }
    return length;
  }

  // A string's text: runs of characters that stand for themselves are appended at once, so that
  // a text of megabytes costs no call per character.
  bool ReadString(std::string& out) {
    ++at_;
    for (;;) {
      const std::size_t first = at_;
      while (!AtEnd()) {
        const auto c = static_cast<unsigned char>(text_[at_]);
        if (c >= 0x80) {
          const std::size_t length = Utf8Length();
          if (length == 0) return Fail("ill-formed UTF-8");
          at_ += length;
        } else if (c >= 0x20 && c != '"' && c != '\\') {
          ++at_;
        } else {
          break;
        }
      }
      out.append(text_.substr(first, at_ - first));
      if (AtEnd()) return Fail("the string does not end");
      const char c = text_[at_++];
      if (c == '"') return true;
      if (c != '\\') return Fail("a control character in a string");
      if (!ReadEscape(out)) return false;
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string why_;
};

bool Parse(std::string_view text, Value& value, std::string& error) {
  value = Value();
  return Reader(text).Read(value, error);
}

}  // namespace serix::host::small_json
