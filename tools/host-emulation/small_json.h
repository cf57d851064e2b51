// A JSON value with the part of nlohmann-json's interface that the session protocol uses, for
// the playground page's module, where nlohmann-json would be half of the WebAssembly. It reads
// every JSON text nlohmann-json reads and refuses the others (ill-formed UTF-8, lone surrogates,
// control characters in strings, anything after the value), but for a number beyond the range
// of a double, which nlohmann-json refuses; it writes compact ASCII, as nlohmann-json does.
//
// As in nlohmann::json, an object read keeps its members sorted by name, the last of a repeated
// name winning; an object built member by member keeps that order, as nlohmann::ordered_json.
// A whole number read is signed when written with a minus sign and unsigned otherwise; one beyond
// 64 bits, or with a fraction or an exponent, reads as a number that is not whole, whose value
// no request needs and which is not kept.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace serix::host::small_json {

class Value {
 public:
  using object_t = std::vector<std::pair<std::string, Value>>;

  Value() = default;
  Value(bool flag) : kind_(Kind::kBoolean), unsigned_(flag ? 1 : 0) {}
  template <std::integral Number>
  requires(!std::same_as<Number, bool>) Value(Number number) {
    if constexpr (std::is_signed_v<Number>) {
      kind_ = Kind::kSigned;
      signed_ = number;
      unsigned_ = static_cast<std::uint64_t>(number);
    } else {
      kind_ = Kind::kUnsigned;
      unsigned_ = number;
      signed_ = static_cast<std::int64_t>(number);
    }
  }
  Value(const char* text) : Value(std::string(text)) {}
  Value(std::string text) : kind_(Kind::kString), text_(std::move(text)) {}
  Value(const std::vector<std::string>& texts);

  static Value array();
  static Value object();

  bool is_boolean() const { return kind_ == Kind::kBoolean; }
  bool is_number_integer() const { return kind_ == Kind::kSigned || kind_ == Kind::kUnsigned; }
  bool is_number_unsigned() const { return kind_ == Kind::kUnsigned; }
  bool is_string() const { return kind_ == Kind::kString; }
  bool is_array() const { return kind_ == Kind::kArray; }
  bool is_object() const { return kind_ == Kind::kObject; }

  // bool, std::int64_t or std::uint64_t, of a value of that kind.
  template <typename Wanted>
  Wanted get() const {
    if constexpr (std::same_as<Wanted, bool>) {
      return unsigned_ != 0;
    } else if constexpr (std::is_signed_v<Wanted>) {
      return signed_;
    } else {
      return unsigned_;
    }
  }
  // The text of a string, or the members of an object.
  template <typename Wanted>
  Wanted get_ref() {
    if constexpr (std::same_as<Wanted, object_t&>) {
      return members_;
    } else {
      return text_;
    }
  }
  template <typename Wanted>
  Wanted get_ref() const {
    return text_;
  }

  // The member named, made null when missing; a null value becomes an object first.
  Value& operator[](std::string_view name);
  // The member named, or none; also none when this is no object.
  const Value* Member(std::string_view name) const;
  const object_t& items() const { return members_; }

  // The elements of an array.
  void push_back(Value element);
  const Value* begin() const { return elements_.data(); }
  const Value* end() const { return elements_.data() + elements_.size(); }

  // Compact JSON, every character outside printable ASCII escaped; the arguments are
  // nlohmann-json's (indent, indent character, ensure ASCII), of which this is the one case.
  std::string dump(int indent = -1, char indentCharacter = ' ', bool ensureAscii = true) const;

 private:
  friend class Reader;
  enum class Kind : unsigned char {
    kNull,
    kBoolean,
    kSigned,
    kUnsigned,
    kNotWhole,
    kString,
    kArray,
    kObject
  };

  void DumpTo(std::string& out) const;

  Kind kind_ = Kind::kNull;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
  std::string text_;
  std::vector<Value> elements_;
  object_t members_;
};

// Reads `text` as one JSON value; false, saying why and where in `error`, when it is not one.
bool Parse(std::string_view text, Value& value, std::string& error);

}  // namespace serix::host::small_json
