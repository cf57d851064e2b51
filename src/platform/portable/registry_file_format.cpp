#include "platform/portable/registry_file_format.h"

#include <cstdint>

namespace serix::portable {
namespace {

constexpr std::string_view kHeaderLine = "serix-registry 1";
constexpr std::string_view kKeyWord = "key ";
constexpr std::string_view kValueWord = "value ";
constexpr std::string_view kEndLine = "end";
constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex(std::string& out, std::string_view bytes) {
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
  }
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> DecodeHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>((high << 4) | low);
  }
  return bytes;
}

// An unsigned 32-bit decimal number without sign, blanks or leading zeros.
std::optional<std::uint32_t> DecodeType(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// Splits off the next line, which must end with a line feed.
std::optional<std::string_view> NextLine(std::string_view& text) {
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = text.substr(0, end);
  text.remove_prefix(end + 1);
  return line;
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

}  // namespace

std::string EncodeRegistryFile(const RegistryKeys& keys) {
  std::string out;
  out += kHeaderLine;
  out += '\n';
  for (const auto& [path, values] : keys) {
    out += kKeyWord;
    AppendHex(out, path);
    out += '\n';
    for (const auto& [name, value] : values) {
      out += kValueWord;
      AppendHex(out, name);
      out += ' ';
      out += std::to_string(value.type);
      out += ' ';
      AppendHex(out, value.bytes);
      out += '\n';
    }
  }
  out += kEndLine;
  out += '\n';
  return out;
}

std::optional<RegistryKeys> ParseRegistryFile(std::string_view text) {
  const auto header = NextLine(text);
  if (!header || *header != kHeaderLine) return std::nullopt;

  RegistryKeys keys;
  RegistryValues* currentKey = nullptr;
  while (true) {
    const auto line = NextLine(text);
    if (!line) return std::nullopt;  // cut before the closing line
    if (*line == kEndLine) break;
    if (StartsWith(*line, kKeyWord)) {
      auto path = DecodeHex(line->substr(kKeyWord.size()));
      if (!path) return std::nullopt;
      const auto [inserted, isNew] = keys.emplace(std::move(*path), RegistryValues{});
      if (!isNew) return std::nullopt;
      currentKey = &inserted->second;
    } else if (StartsWith(*line, kValueWord)) {
      if (currentKey == nullptr) return std::nullopt;
      const std::string_view fields = line->substr(kValueWord.size());
      const std::size_t nameEnd = fields.find(' ');
      if (nameEnd == std::string_view::npos) return std::nullopt;
      const std::size_t typeEnd = fields.find(' ', nameEnd + 1);
      if (typeEnd == std::string_view::npos) return std::nullopt;
      auto name = DecodeHex(fields.substr(0, nameEnd));
      const auto type = DecodeType(fields.substr(nameEnd + 1, typeEnd - nameEnd - 1));
      auto bytes = DecodeHex(fields.substr(typeEnd + 1));
      if (!name || !type || !bytes) return std::nullopt;
      const bool isNew =
          currentKey->emplace(std::move(*name), RegistryValue{*type, std::move(*bytes)}).second;
      if (!isNew) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (!text.empty()) return std::nullopt;
  return keys;
}

}  // namespace serix::portable
