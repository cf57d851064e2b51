#include "terminal_text.h"

#include <cstddef>

namespace serix::host {
namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the UTF-8 character at the start of bytes when it is one that a terminal
// prints (no C1 control, no overlong form, no surrogate, nothing above U+10FFFF); else 0.
std::size_t PrintableCharacterLength(std::string_view bytes) {
  const auto byte = [&bytes](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char least = 0x80;  // the bounds of the byte after the lead
  unsigned char most = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    if (lead == 0xC2) least = 0xA0;  // U+0080 to U+009F are the C1 controls
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) least = 0xA0;
    if (lead == 0xED) most = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) least = 0x90;
    if (lead == 0xF4) most = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || byte(1) < least || byte(1) > most) return 0;
  for (std::size_t at = 2; at < length; ++at) {
    if (!IsContinuation(byte(at))) return 0;
  }
  return length;
}

// One byte as an escape: \r, \n, \t, else \xHH.
std::string EscapedByte(unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  if (byte == '\r') return "\\r";
  if (byte == '\n') return "\\n";
  if (byte == '\t') return "\\t";
  return {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
}

}  // namespace

std::string TerminalLine(std::string_view bytes) {
  std::string line;
  line.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte >= 0x20 && byte < 0x7F) {
      line += bytes[at++];
      continue;
    }
    if (const std::size_t length = PrintableCharacterLength(bytes.substr(at)); length > 0) {
      line.append(bytes.substr(at, length));
      at += length;
      continue;
    }
    line += EscapedByte(byte);
    ++at;
  }
  return line;
}

std::string ControlsEscaped(std::string_view bytes) {
  std::string line;
  line.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      line += EscapedByte(byte);
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace serix::host
