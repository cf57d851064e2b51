#include "dll_resources.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

namespace serix::host::dll {
namespace {

constexpr std::uint32_t kStringType = 6;    // RT_STRING
constexpr std::uint32_t kVersionType = 16;  // RT_VERSION
constexpr std::uint32_t kStringsPerBlock = 16;

// Code page 1252's bytes 0x80 to 0x9F; the rest stand for the code point of their value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char CodePageByte(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (std::size_t i = 0; i < std::size(kHighControls); ++i) {
    if (kHighControls[i] == unit) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::uint16_t Unit(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint16_t unit;
  std::memcpy(&unit, bytes.data() + at, sizeof unit);
  return unit;
}

// The units of string `index` in a string table block; none when the block is too short.
std::optional<std::u16string> BlockString(std::span<const std::uint8_t> block,
                                          std::uint32_t index) {
  std::size_t at = 0;
  for (std::uint32_t i = 0;; ++i) {
    if (at + 2 > block.size()) return std::nullopt;
    const std::size_t length = Unit(block, at);
    if (at + 2 + length * 2 > block.size()) return std::nullopt;
    if (i == index) {
      std::u16string units(length, u'\0');
      std::memcpy(units.data(), block.data() + at + 2, length * 2);
      return units;
    }
    at += 2 + length * 2;
  }
}

// One node of a version block: a length, a value length, a type (1 text, 0 binary), a
// zero-terminated UTF-16 key, then the value and the children, each on a 4-byte boundary.
struct VersionNode {
  std::u16string key;
  std::span<const std::uint8_t> value;
  bool text = false;
  std::span<const std::uint8_t> children;
};

std::size_t Aligned(std::size_t at) {
  return (at + 3) & ~std::size_t{3};
}

// The node at the start of bytes and where the next one starts; none when damaged.
std::optional<VersionNode> NodeAt(std::span<const std::uint8_t> bytes, std::size_t& next) {
  if (bytes.size() < 6) return std::nullopt;
  const std::size_t length = Unit(bytes, 0);
  const std::size_t valueLength = Unit(bytes, 2);
  if (length < 6 || length > bytes.size()) return std::nullopt;
  VersionNode node;
  node.text = Unit(bytes, 4) == 1;
  std::size_t at = 6;
  for (;; at += 2) {
    if (at + 2 > length) return std::nullopt;
    const char16_t unit = Unit(bytes, at);
    if (unit == 0) break;
    node.key.push_back(unit);
  }
  at = Aligned(at + 2);
  const std::size_t valueBytes = node.text ? valueLength * 2 : valueLength;
  if (at > length || valueBytes > length - at) return std::nullopt;
  node.value = bytes.subspan(at, valueBytes);
  at = Aligned(at + valueBytes);
  node.children = at < length ? bytes.subspan(at, length - at) : std::span<const std::uint8_t>{};
  next = Aligned(length);
  return node;
}

std::vector<VersionNode> Children(std::span<const std::uint8_t> bytes) {
  std::vector<VersionNode> nodes;
  while (!bytes.empty()) {
    std::size_t next = 0;
    std::optional<VersionNode> node = NodeAt(bytes, next);
    if (!node) break;
    nodes.push_back(std::move(*node));
    bytes = bytes.subspan(std::min(next, bytes.size()));
  }
  return nodes;
}

bool SameLetters(std::u16string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
    if (lower(a[i]) != lower(static_cast<char16_t>(b[i]))) return false;
  }
  return true;
}

// A text value's units up to its terminating zero.
std::u16string TextValue(std::span<const std::uint8_t> value) {
  std::u16string units;
  for (std::size_t at = 0; at + 2 <= value.size(); at += 2) {
    const char16_t unit = Unit(value, at);
    if (unit == 0) break;
    units.push_back(unit);
  }
  return units;
}

std::string Numbers(std::span<const std::uint8_t> fixed, std::size_t at) {
  std::uint32_t high, low;
  std::memcpy(&high, fixed.data() + at, 4);
  std::memcpy(&low, fixed.data() + at + 4, 4);
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
         std::to_string(low >> 16) + "." + std::to_string(low & 0xFFFF);
}

}  // namespace

std::string CodePageText(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size());
  for (const char16_t unit : units) bytes.push_back(CodePageByte(unit));
  return bytes;
}

int LoadModuleString(const ModuleResources& resources, std::uint32_t id, char* buffer,
                     int bufferSize) {
  if (bufferSize == 0) return -1;
  if (buffer == nullptr || bufferSize < 0) return 0;
  const std::uint32_t shortId = id & 0xFFFF;
  const std::optional<std::u16string> units = BlockString(
      resources.Find(kStringType, shortId / kStringsPerBlock + 1), shortId % kStringsPerBlock);
  std::string text = units ? CodePageText(*units) : std::string();
  const std::size_t copied = std::min(text.size(), static_cast<std::size_t>(bufferSize - 1));
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}

std::map<std::uint32_t, std::string> ModuleStringTable(const ModuleResources& resources) {
  std::map<std::uint32_t, std::string> strings;
  for (const std::uint32_t block : resources.Names(kStringType)) {
    if (block == 0 || block > 0x1000) continue;  // blocks 1 to 4096 hold ids 0 to 65535
    const std::span<const std::uint8_t> bytes = resources.Find(kStringType, block);
    for (std::uint32_t index = 0; index < kStringsPerBlock; ++index) {
      const std::optional<std::u16string> units = BlockString(bytes, index);
      if (units && !units->empty()) {
        strings.emplace((block - 1) * kStringsPerBlock + index, CodePageText(*units));
      }
    }
  }
  return strings;
}

std::optional<VersionBlock> ModuleVersionBlock(const ModuleResources& resources, std::string& why) {
  const std::span<const std::uint8_t> bytes = resources.Find(kVersionType, 1);
  std::size_t next = 0;
  const std::optional<VersionNode> root = NodeAt(bytes, next);
  if (!root) {
    why = "the module has no version block";
    return std::nullopt;
  }
  VersionBlock block;
  std::uint32_t signature = 0;
  if (root->value.size() >= 52) std::memcpy(&signature, root->value.data(), 4);
  if (signature == 0xFEEF04BD) {
    block.fileVersion = Numbers(root->value, 8);
    block.productVersion = Numbers(root->value, 16);
  }
  const std::vector<VersionNode> parts = Children(root->children);
  // The string table of the first translation the block names.
  std::string table;
  for (const VersionNode& part : parts) {
    if (part.key != u"VarFileInfo") continue;
    for (const VersionNode& variable : Children(part.children)) {
      if (variable.key != u"Translation" || variable.value.size() < 4) continue;
      char name[16];
      std::snprintf(name, sizeof name, "%04X%04X", Unit(variable.value, 0),
                    Unit(variable.value, 2));
      table = name;
      break;
    }
  }
  if (table.empty()) {
    why = "the module has a version block without a translation";
    return std::nullopt;
  }
  for (const VersionNode& part : parts) {
    if (part.key != u"StringFileInfo") continue;
    for (const VersionNode& strings : Children(part.children)) {
      if (!SameLetters(strings.key, table)) continue;
      for (const VersionNode& field : Children(strings.children)) {
        block.fields.emplace_back(CodePageText(field.key), CodePageText(TextValue(field.value)));
      }
      return block;
    }
  }
  return block;
}

}  // namespace serix::host::dll
