#include "byte_text.h"

namespace serix::host {

// Both conversions size their text once and write it in place, so that a text of megabytes
// costs no call per character (in WebAssembly each call that may throw is a round trip through
// JavaScript).

std::string BytesToCodePoints(std::string_view bytes) {
  std::string utf8(2 * bytes.size(), '\0');
  std::size_t length = 0;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8[length++] = c;
    } else {
      utf8[length++] = static_cast<char>(0xC0 | (byte >> 6));
      utf8[length++] = static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  utf8.resize(length);
  return utf8;
}

std::optional<std::string> CodePointsToBytes(std::string_view utf8) {
  std::string bytes(utf8.size(), '\0');
  std::size_t length = 0;
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    if (lead < 0x80) {
      bytes[length++] = static_cast<char>(lead);
      continue;
    }
    // Code points 128 to 255 take two bytes, C2 or C3 and one continuation byte; anything
    // else is either above 255 or not UTF-8 at all.
    if ((lead != 0xC2 && lead != 0xC3) || at + 1 >= utf8.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(utf8[at + 1]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    bytes[length++] = static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F));
    ++at;
  }
  bytes.resize(length);
  return bytes;
}

}  // namespace serix::host
