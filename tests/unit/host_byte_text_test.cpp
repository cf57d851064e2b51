// Bytes as code points: the session protocol's encoding of every text.
#include <gtest/gtest.h>

#include <string>

#include "byte_text.h"

namespace serix::host {
namespace {

TEST(HostByteText, EveryByteTravelsBothWays) {
  std::string allBytes;
  for (int byte = 0; byte < 256; ++byte) allBytes += static_cast<char>(byte);
  const std::string utf8 = BytesToCodePoints(allBytes);
  // 128 one-byte and 128 two-byte sequences.
  EXPECT_EQ(utf8.size(), 128u + 2 * 128u);
  EXPECT_EQ(CodePointsToBytes(utf8), allBytes);
}

TEST(HostByteText, HighBytesBecomeTheirLatinOneCodePoints) {
  EXPECT_EQ(BytesToCodePoints("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(BytesToCodePoints("\x80\xFF"), "\xC2\x80\xC3\xBF");
  EXPECT_EQ(CodePointsToBytes("\xC3\xA9t\xC3\xA9"), "\xE9t\xE9");
}

TEST(HostByteText, RefusesCodePointsAbove255AndBrokenUtf8) {
  const char* const refused[] = {
      "\xC4\x80",          // U+0100
      "\xE2\x82\xAC",      // U+20AC, the euro sign
      "\xF0\x9F\x98\x80",  // U+1F600
      "\xC3",              // cut short
      "a\xC3",             // cut short at the end
      "\xC3(",             // no continuation byte
      "\x80",              // a lone continuation byte
      "\xC0\x80",          // over-long zero
      "\xC1\xBF",          // over-long 127
      "\xFF",
  };
  for (const char* text : refused) {
    EXPECT_FALSE(CodePointsToBytes(text).has_value()) << BytesToCodePoints(text);
  }
}

TEST(HostByteText, KeepsZeroBytes) {
  const std::string withZero("a\0b", 3);
  EXPECT_EQ(BytesToCodePoints(withZero), withZero);
  EXPECT_EQ(CodePointsToBytes(withZero), withZero);
}

}  // namespace
}  // namespace serix::host
