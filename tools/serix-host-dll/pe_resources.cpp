#include "pe_resources.h"

#include <cstdio>

namespace serix::host::dll {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr int kLevels = 3;  // type, name, language

std::string Offset(std::uint32_t offset) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(offset));
  return text;
}

}  // namespace

std::optional<std::vector<ModuleResources::Entry>> ModuleResources::Entries(
    std::uint32_t table) const {
  if (table > size_ || size_ - table < 16) return std::nullopt;
  const std::optional<std::uint16_t> named = image_.Half(rva_ + table + 12);
  const std::optional<std::uint16_t> numbered = image_.Half(rva_ + table + 14);
  if (!named || !numbered) return std::nullopt;
  const std::uint32_t count = std::uint32_t{*named} + *numbered;
  if (count > (size_ - table - 16) / 8) return std::nullopt;
  std::vector<Entry> entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t at = rva_ + table + 16 + i * 8;
    const std::optional<std::uint32_t> name = image_.Word(at);
    const std::optional<std::uint32_t> target = image_.Word(at + 4);
    if (!name || !target) return std::nullopt;
    entries.push_back({*name, *target});
  }
  return entries;
}

std::span<const std::uint8_t> ModuleResources::Data(std::uint32_t entry) const {
  if (entry > size_ || size_ - entry < 16) return {};
  const std::optional<std::uint32_t> rva = image_.Word(rva_ + entry);
  const std::optional<std::uint32_t> size = image_.Word(rva_ + entry + 4);
  const std::uint8_t* bytes = rva && size ? image_.Bytes(*rva, *size) : nullptr;
  if (bytes == nullptr) return {};
  return {bytes, *size};
}

bool ModuleResources::CheckTable(std::uint32_t table, int level, std::set<std::uint32_t>& seen,
                                 std::string& why) const {
  const std::string where = "its resource table at " + Offset(table);
  if (!seen.insert(table).second) {
    why = where + " is reached twice";
    return false;
  }
  const std::optional<std::vector<Entry>> entries = Entries(table);
  if (!entries) {
    why = where + " runs past the resource directory";
    return false;
  }
  for (const Entry& entry : *entries) {
    if ((entry.name & kHighBit) != 0) {
      const std::uint32_t name = entry.name & ~kHighBit;
      const std::optional<std::uint16_t> length =
          name <= size_ - 2 ? image_.Half(rva_ + name) : std::nullopt;
      if (!length || *length * 2u > size_ - name - 2) {
        why = where + " has a name that runs past the resource directory";
        return false;
      }
    }
    const bool subtable = (entry.target & kHighBit) != 0;
    if (subtable != (level < kLevels)) {
      why = where + (subtable ? " has a table below the language" : " has data above the language");
      return false;
    }
    if (subtable) {
      if (!CheckTable(entry.target & ~kHighBit, level + 1, seen, why)) return false;
      continue;
    }
    const std::optional<std::uint32_t> rva = image_.Word(rva_ + entry.target);
    const std::optional<std::uint32_t> size = image_.Word(rva_ + entry.target + 4);
    if (entry.target > size_ || size_ - entry.target < 16 || !rva || !size) {
      why = where + " points past the resource directory";
      return false;
    }
    if (const char* place = image_.Unreadable(*rva, *size)) {
      why = "a resource's data lies " + std::string(place);
      return false;
    }
  }
  return true;
}

bool ModuleResources::Check(std::string& why) const {
  if (rva_ == 0) return true;
  if (const char* place = image_.Unreadable(rva_, size_)) {
    why = "its resource directory lies " + std::string(place);
    return false;
  }
  std::set<std::uint32_t> seen;
  if (CheckTable(0, 1, seen, why)) return true;
  why = "its resources are damaged: " + why;
  return false;
}

std::span<const std::uint8_t> ModuleResources::Find(std::uint32_t type, std::uint32_t name) const {
  std::uint32_t table = 0;
  for (const std::uint32_t id : {type, name}) {
    std::optional<std::uint32_t> next;
    for (const Entry& entry : Entries(table).value_or(std::vector<Entry>{})) {
      if (entry.name == id && (entry.target & kHighBit) != 0) {
        next = entry.target & ~kHighBit;
        break;
      }
    }
    if (!next) return {};
    table = *next;
  }
  const std::vector<Entry> languages = Entries(table).value_or(std::vector<Entry>{});
  if (languages.empty() || (languages.front().target & kHighBit) != 0) return {};
  return Data(languages.front().target);
}

std::vector<std::uint32_t> ModuleResources::Names(std::uint32_t type) const {
  std::vector<std::uint32_t> ids;
  for (const Entry& entry : Entries(0).value_or(std::vector<Entry>{})) {
    if (entry.name != type || (entry.target & kHighBit) == 0) continue;
    for (const Entry& named : Entries(entry.target & ~kHighBit).value_or(std::vector<Entry>{})) {
      if ((named.name & kHighBit) == 0) ids.push_back(named.name);
    }
    break;
  }
  return ids;
}

}  // namespace serix::host::dll
