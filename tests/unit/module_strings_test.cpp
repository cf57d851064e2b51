// serix-host-dll's LoadStringA on a resource tree made here: strings found by id, turned into
// code page 1252, cut to the buffer with their terminator inside it, and nothing read past a
// string block or written past a buffer (guard bytes after both).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dll_resources.h"
#include "pe_headers.h"

namespace serix::host::dll {
namespace {

constexpr char kGuard = '#';

// One page of image holding a string table (type 6): one table of blocks, each block with one
// language, the last block's bytes ending at the page's end; guard bytes after the page.
class StringImage {
 public:
  explicit StringImage(const std::vector<std::pair<std::uint32_t, std::u16string>>& blocks) {
    const auto count = static_cast<std::uint32_t>(blocks.size());
    Table(0, 1);
    Entry(16, 6, 0x80000000u | 24);
    Table(24, count);
    std::uint32_t data = kPageSize;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t languages = 40 + count * 8 + i * 40;
      const std::uint32_t entry = languages + 24;
      Entry(24 + 16 + i * 8, blocks[i].first, 0x80000000u | languages);
      Table(languages, 1);
      Entry(languages + 16, 1033, entry);
      const std::u16string& units = blocks[i].second;
      const auto size = static_cast<std::uint32_t>(units.size() * 2);
      data -= size;
      std::memcpy(memory_.data() + data, units.data(), size);
      Word(entry, data);
      Word(entry + 4, size);
      directorySize_ = entry + 16;
    }
  }

  ModuleResources Resources() const {
    return {ImageView(memory_.data(), 0x10000000, protections_), 0, directorySize_};
  }

 private:
  void Word(std::uint32_t at, std::uint32_t value) { std::memcpy(&memory_[at], &value, 4); }
  void Table(std::uint32_t at, std::uint32_t numbered) {
    std::memset(&memory_[at], 0, 16);
    Word(at + 12, numbered << 16);
  }
  void Entry(std::uint32_t at, std::uint32_t name, std::uint32_t target) {
    Word(at, name);
    Word(at + 4, target);
  }

  mutable std::vector<std::uint8_t> memory_ = std::vector<std::uint8_t>(2 * kPageSize, kGuard);
  std::vector<std::uint32_t> protections_{kPageReadOnly};
  std::uint32_t directorySize_ = 0;
};

// Strings of a block: each its length, then its units.
std::u16string Block(const std::vector<std::u16string>& strings) {
  std::u16string units;
  for (const std::u16string& text : strings) {
    units.push_back(static_cast<char16_t>(text.size()));
    units += text;
  }
  return units;
}

const StringImage& Image() {
  static const StringImage image({
      {1, Block({u"Serix", u"caf\u00E9\u00A0\u20AC\u4E2D", u"", u"", u"", u"", u"", u"", u"", u"",
                 u"", u"", u"", u"", u"", u"last"})},
      // Block 2's second string says it is longer than the bytes left: guard bytes follow.
      {2, Block({u"x"}) + u"\u0009abc"},
  });
  return image;
}

TEST(ModuleStringsTest, LoadStringFindsCutsAndTerminatesWithinTheBuffer) {
  const struct {
    std::uint32_t id;
    int size;
    int answer;
    const char* text;  // null: nothing written
  } rows[] = {
      {0, 64, 5, "Serix"},
      {0, 3, 2, "Se"},
      {0, 1, 0, ""},
      {0, 0, -1, nullptr},
      {0x10000, 64, 5, "Serix"},  // the id's low 16 bits
      {1, 64, 7, "caf\xE9\xA0\x80?"},
      {15, 64, 4, "last"},  // the last string of a block
      {2, 64, 0, ""},
      {16, 64, 1, "x"},
      {17, 64, 0, ""},  // runs past its block
      {32, 64, 0, ""},  // no such block
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    SCOPED_TRACE(row.size);
    char buffer[72];
    std::memset(buffer, kGuard, sizeof buffer);
    EXPECT_EQ(LoadModuleString(Image().Resources(), row.id, buffer, row.size), row.answer);
    const std::size_t written = row.text != nullptr ? std::strlen(row.text) + 1 : 0;
    if (row.text != nullptr) {
      EXPECT_STREQ(buffer, row.text);
    }
    EXPECT_EQ(std::string(buffer + written, sizeof buffer - written),
              std::string(sizeof buffer - written, kGuard));
  }
}

}  // namespace
}  // namespace serix::host::dll
