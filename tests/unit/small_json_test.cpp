// The playground page's JSON (small_json.h) against nlohmann-json, which every other host's
// session uses: the same texts read, the same refused, the same values found in them, and the
// same response written.
#include "small_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace serix::host {
namespace {

// Appended rather than prepended: GCC 12 at -O2 for i386 warns falsely (-Wrestrict) on a
// literal put before a temporary string.
std::string Joined(std::string_view before, const std::string& text, std::string_view after = {}) {
  std::string joined(before);
  joined += text;
  joined += after;
  return joined;
}

// A value as "u5", "i-5", "s\"text\"", arrays and objects in order; a number that is not whole
// as null, since the small reader keeps no value of it.
std::string Describe(const nlohmann::json& value) {
  std::string out;
  switch (value.type()) {
    case nlohmann::json::value_t::number_unsigned:
      return Joined("u", value.dump());
    case nlohmann::json::value_t::number_integer:
      return Joined("i", value.dump());
    case nlohmann::json::value_t::string:
      return Joined("s", value.dump(-1, ' ', true));
    case nlohmann::json::value_t::array:
      for (const auto& element : value) out += Describe(element) + ",";
      return Joined("[", out, "]");
    case nlohmann::json::value_t::object:
      for (const auto& [name, member] : value.items()) {
        out += nlohmann::json(name).dump(-1, ' ', true) + ":" + Describe(member) + ",";
      }
      return Joined("{", out, "}");
    case nlohmann::json::value_t::boolean:
      return value.get<bool>() ? "true" : "false";
    default:
      return "null";
  }
}

std::string Describe(const small_json::Value& value) {
  std::string out;
  if (value.is_number_unsigned()) return Joined("u", value.dump());
  if (value.is_number_integer()) return Joined("i", value.dump());
  if (value.is_string()) return Joined("s", value.dump());
  if (value.is_array()) {
    for (const auto& element : value) out += Describe(element) + ",";
    return Joined("[", out, "]");
  }
  if (value.is_object()) {
    for (const auto& [name, member] : value.items()) {
      out += small_json::Value(name).dump() + ":" + Describe(member) + ",";
    }
    return Joined("{", out, "}");
  }
  if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
  return "null";
}

TEST(SmallJsonTest, ReadsWhatNlohmannJsonReads) {
  const std::vector<std::string> texts = {
      // Requests as the page sends them, and values of every kind.
      R"({"op":"function","name":"Serx-Version","arg":"a\u0000b\u00e9\u00ff\r"})",
      R"({"op":"read_parameters","arg":"","count":6})", "null", "true", "false", "\"\"",
      " \t\r\n{ \"a\" : [ 1 , -2 , \"x\" , [ ] , { } ] }\n", R"({"b":1,"a":2,"a":3})",
      R"({"":{"":[[[[]]]]}})", R"(["\/\"\\\b\f\n\r\t"])",
      // Numbers at and past 64 bits, with a fraction or an exponent, and not numbers at all.
      "0", "-0", "18446744073709551615", "18446744073709551616", "-9223372036854775808",
      "-9223372036854775809", "1.5", "-1e5", "1E+2", "4.0", "01", "-", "1.", ".5", "1e", "+1",
      "--1", "0x10",
      // Escapes and UTF-8, well-formed or not.
      R"("\ud83d\ude00")", R"("\ud83d")", R"("\ude00")", R"("\ud83dx")", R"("\u00")", R"("\u00g0")",
      R"("\x")", "\"\x01\"", "\"\x7f\"", "\"\xc3\xa9\"", "\"\xc3\x28\"", "\"\xc0\xaf\"",
      "\"\xed\xa0\x80\"", "\"\xf4\x8f\xbf\xbf\"", "\"\xf4\x90\x80\x80\"", "\"\xe2\x82\"",
      "\"\xff\"", "\"abc",
      // Structure.
      "", " ", "[", "]", "[1,]", "[,1]", "{,}", R"({"a"})", R"({"a":})", R"({"a":1,})", R"({a:1})",
      "[1 2]", "nul", "true false", "truex", "{} x", "[]]", "{\"a\":1}}"};
  for (const std::string& text : texts) {
    const nlohmann::json expected = nlohmann::json::parse(text, nullptr, false);
    small_json::Value read;
    std::string error;
    const bool accepted = small_json::Parse(text, read, error);
    EXPECT_EQ(accepted, !expected.is_discarded()) << text << ": " << error;
    if (accepted && !expected.is_discarded()) {
      EXPECT_EQ(Describe(read), Describe(expected)) << text;
    }
    if (!accepted) {
      EXPECT_FALSE(error.empty()) << text;
    }
  }
}

TEST(SmallJsonTest, WritesWhatNlohmannJsonWrites) {
  const std::vector<std::string> texts = {"",
                                          "plain",
                                          "\"\\\b\f\n\r\t\x01\x1f\x7f",
                                          std::string("zero\0byte", 9),
                                          "\xc3\xa9\xc3\xbf",
                                          "\xf0\x9f\x98\x80"};
  for (const std::string& text : texts) {
    nlohmann::ordered_json expected;
    small_json::Value written;
    expected["text"] = text;
    written["text"] = text;
    expected["n"] = -7;
    written["n"] = -7;
    expected["u"] = 4294967295u;
    written["u"] = 4294967295u;
    expected["list"] = std::vector<std::string>{text, "b"};
    written["list"] = std::vector<std::string>{text, "b"};
    expected["flag"] = false;
    written["flag"] = false;
    EXPECT_EQ(written.dump(-1, ' ', true), expected.dump(-1, ' ', true)) << text;
  }
}

}  // namespace
}  // namespace serix::host
