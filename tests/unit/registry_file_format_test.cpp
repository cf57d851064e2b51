// The text form of the file-backed registry: exact encoding, round trips, strict reading.
#include "platform/portable/registry_file_format.h"

#include <gtest/gtest.h>

#include <string>

namespace serix::portable {
namespace {

using namespace std::string_literals;

std::string EveryByte() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

TEST(RegistryFileFormatTest, WritesHexRecordsBetweenHeaderAndEndLine) {
  RegistryKeys keys;
  keys["k"]["a"] = {1, "b\n\0"s};
  keys["Empty"];
  EXPECT_EQ(EncodeRegistryFile(keys),
            "serix-registry 1\n"
            "key 456d707479\n"
            "key 6b\n"
            "value 61 1 620a00\n"
            "end\n");
  EXPECT_EQ(EncodeRegistryFile({}), "serix-registry 1\nend\n");
}

TEST(RegistryFileFormatTest, RoundTripsAnyBytesInPathsNamesAndValues) {
  RegistryKeys keys;
  keys[""][""] = {0, ""};
  keys["Software\\Vexa"]["SeparatorToken"] = {1, "|\0"s};
  keys["Software\\Vexa"]["line\nbreak \0 name"s] = {4294967295u, "\r\n\r\n"};
  keys["\xff\x00 path"s]["\x80"] = {4, EveryByte() + EveryByte()};
  keys["no values"];

  const auto parsed = ParseRegistryFile(EncodeRegistryFile(keys));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, keys);
}

TEST(RegistryFileFormatTest, ReadsAHandWrittenFile) {
  const auto parsed = ParseRegistryFile(
      "serix-registry 1\nkey 6b\nvalue 61 4294967295 \nvalue 62 0 00ff\nkey 6c\nend\n");
  ASSERT_TRUE(parsed.has_value());
  RegistryKeys expected;
  expected["k"]["a"] = {4294967295u, ""};
  expected["k"]["b"] = {0, "\0\xff"s};
  expected["l"];
  EXPECT_EQ(*parsed, expected);
}

TEST(RegistryFileFormatTest, RejectsAnythingNotExactlyInForm) {
  const std::string header = "serix-registry 1\n";
  const struct {
    const char* why;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"binary", "\x00\xff\x13 no header"s},
      {"other version", "serix-registry 2\nend\n"},
      {"header without line end", "serix-registry 1"},
      {"no end line", header + "key 6b\n"},
      {"end without line end", header + "end"},
      {"text after end", header + "end\nkey 6b\n"},
      {"blank line", header + "\nend\n"},
      {"line ends CR LF", "serix-registry 1\r\nend\r\n"},
      {"unknown record", header + "keys 6b\nend\n"},
      {"upper-case hex", header + "key 4B\nend\n"},
      {"odd hex digits", header + "key 6b6\nend\n"},
      {"hex with blank", header + "key 6b \nend\n"},
      {"value before any key", header + "value 61 1 62\nend\n"},
      {"value without bytes field", header + "key 6b\nvalue 61 1\nend\n"},
      {"value without type", header + "key 6b\nvalue 61  62\nend\n"},
      {"type with leading zero", header + "key 6b\nvalue 61 01 62\nend\n"},
      {"type with sign", header + "key 6b\nvalue 61 +1 62\nend\n"},
      {"negative type", header + "key 6b\nvalue 61 -1 62\nend\n"},
      {"type beyond 32 bits", header + "key 6b\nvalue 61 4294967296 62\nend\n"},
      {"type of eleven digits", header + "key 6b\nvalue 61 10000000000 62\nend\n"},
      {"extra field", header + "key 6b\nvalue 61 1 62 63\nend\n"},
      {"name twice, letter case aside", header + "key 6b\nvalue 61 1 62\nvalue 41 1 63\nend\n"},
      {"key twice, letter case aside", header + "key 6b\nkey 4b\nend\n"},
  };
  for (const auto& [why, text] : cases) {
    EXPECT_FALSE(ParseRegistryFile(text).has_value()) << why;
  }
}

TEST(RegistryFileFormatTest, EveryCutOfAWholeFileIsRejected) {
  RegistryKeys keys;
  keys["Software\\Vexa"]["SeparatorToken"] = {1, "::\0"s};
  keys["Software\\Vexa"]["Version"] = {4, "\x01\0\0\0"s};
  const std::string whole = EncodeRegistryFile(keys);
  ASSERT_TRUE(ParseRegistryFile(whole).has_value());
  for (std::size_t length = 0; length < whole.size(); ++length) {
    EXPECT_FALSE(ParseRegistryFile(whole.substr(0, length)).has_value()) << length;
  }
}

}  // namespace
}  // namespace serix::portable
