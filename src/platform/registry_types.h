// What a registry value is, as every part of the system reads it: the type numbers, the 4-byte
// number's coding, which values read as a text or a number, and which names a value may have.
// Free constexpr functions over bytes, no allocation, so that the plug-in's core shares them
// with the hosts (registry_value.h adds the hosts' value type).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace serix {

inline constexpr std::uint32_t kTypeText = 1;            // REG_SZ
inline constexpr std::uint32_t kTypeExpandableText = 2;  // REG_EXPAND_SZ
inline constexpr std::uint32_t kTypeBinary = 3;          // REG_BINARY
inline constexpr std::uint32_t kTypeNumber = 4;          // REG_DWORD
inline constexpr std::uint32_t kTypeTextList = 7;        // REG_MULTI_SZ

// A REG_DWORD's bytes: least significant first, whatever the machine's own order.
constexpr std::array<char, 4> NumberBytes(std::uint32_t number) {
  return {static_cast<char>(number & 0xFF), static_cast<char>((number >> 8) & 0xFF),
          static_cast<char>((number >> 16) & 0xFF), static_cast<char>((number >> 24) & 0xFF)};
}

// The number a value holds: a REG_DWORD of exactly four bytes; none for anything else.
constexpr std::optional<std::uint32_t> NumberOf(std::uint32_t type, std::string_view bytes) {
  if (type != kTypeNumber || bytes.size() != 4) return std::nullopt;
  std::uint32_t number = 0;
  for (std::size_t at = 4; at-- > 0;) {
    number = (number << 8) | static_cast<unsigned char>(bytes[at]);
  }
  return number;
}

// The text a value holds: a REG_SZ whose one zero byte is its last; none for anything else
// (no terminating zero, a zero inside), which is shown and written as its type and bytes.
constexpr std::optional<std::string_view> TextOf(std::uint32_t type, std::string_view bytes) {
  if (type != kTypeText || bytes.empty() || bytes.find('\0') != bytes.size() - 1) {
    return std::nullopt;
  }
  return bytes.substr(0, bytes.size() - 1);
}

// Whether bytes fit on one line of a text file: no zero byte, no carriage return, no line feed.
constexpr bool FitsOnOneLine(std::string_view bytes) {
  return bytes.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

// What a value's name may hold wherever the host takes one from a person, a request or a
// file: every byte but a zero byte and a line end, which a .reg file cannot carry, so that
// import accepts exactly what export can write.
constexpr bool IsCarriableValueName(std::string_view name) {
  return FitsOnOneLine(name);
}
// Why a name is refused, said after the name.
inline constexpr std::string_view kNotCarriableValueName =
    "holds a zero byte or a line end, which a REGEDIT4 file cannot carry";

}  // namespace serix
