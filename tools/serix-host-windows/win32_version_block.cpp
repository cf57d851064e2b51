#include "win32_version_block.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/ascii_case.h"

namespace serix::host {
namespace {

// One node of the block: a length, a value length, a type, a zero-terminated UTF-16 key, then
// the value and the children, each starting on a 4-byte boundary.
struct Node {
  std::size_t begin = 0;
  std::size_t end = 0;  // past the node's last byte
  std::string key;      // ASCII keys only; other characters become '?'
  std::size_t childrenBegin = 0;
};

class BlockReader {
 public:
  BlockReader(const void* block, std::size_t size)
      : bytes_(static_cast<const unsigned char*>(block)), size_(size) {}

  std::optional<Node> NodeAt(std::size_t at, std::size_t limit) const {
    constexpr std::size_t kHeaderSize = 6;
    if (at + kHeaderSize > limit) return std::nullopt;
    const std::size_t length = Word(at);
    const std::size_t valueLength = Word(at + 2);
    const bool textValue = Word(at + 4) == 1;
    if (length < kHeaderSize || at + length > limit) return std::nullopt;
    Node node;
    node.begin = at;
    node.end = at + length;
    std::size_t cursor = at + kHeaderSize;
    for (;; cursor += 2) {
      if (cursor + 2 > node.end) return std::nullopt;
      const std::uint16_t unit = Word(cursor);
      if (unit == 0) break;
      node.key.push_back(unit < 128 ? static_cast<char>(unit) : '?');
    }
    cursor = Aligned(cursor + 2);
    // Text values count UTF-16 units, binary values bytes.
    cursor = Aligned(cursor + (textValue ? valueLength * 2 : valueLength));
    node.childrenBegin = cursor < node.end ? cursor : node.end;
    return node;
  }

  std::vector<Node> Children(const Node& parent) const {
    std::vector<Node> children;
    std::size_t at = parent.childrenBegin;
    while (at < parent.end) {
      const std::optional<Node> child = NodeAt(at, parent.end);
      if (!child) break;
      children.push_back(*child);
      at = Aligned(child->end);
    }
    return children;
  }

  std::size_t size() const { return size_; }

 private:
  std::uint16_t Word(std::size_t at) const {
    std::uint16_t word;
    std::memcpy(&word, bytes_ + at, sizeof word);
    return word;
  }
  static std::size_t Aligned(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

  const unsigned char* bytes_;
  std::size_t size_;
};

}  // namespace

std::vector<std::string> VersionStringNames(const void* block, std::size_t size,
                                            std::string_view tableName) {
  const BlockReader reader(block, size);
  const std::optional<Node> root = reader.NodeAt(0, size);
  std::vector<std::string> names;
  if (!root) return names;
  for (const Node& info : reader.Children(*root)) {
    if (info.key != "StringFileInfo") continue;
    for (const Node& table : reader.Children(info)) {
      if (!SameIgnoringAsciiCase(table.key, tableName)) continue;
      for (const Node& field : reader.Children(table)) names.push_back(field.key);
      return names;
    }
  }
  return names;
}

}  // namespace serix::host
