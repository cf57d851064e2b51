// Reads a fuzzer's input from the front, one field after another, so that seed inputs can be
// written by hand: opcodes are letters, texts end at a line feed. Past the end every field
// reads as zero or empty, so any input decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace serix::fuzz {

class FuzzInput {
 public:
  // Longer than any parameter or result needs; keeps one input from growing without bound.
  static constexpr std::size_t kMaxTextLength = 70000;

  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  // Little-endian.
  std::uint16_t Word() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | Byte() << 8);
  }
  std::uint32_t Long() {
    const std::uint32_t low = Word();
    return low | static_cast<std::uint32_t>(Word()) << 16;
  }

  // Bytes up to a line feed (not included). A backslash takes the next byte as it is, so that
  // a text can hold line feeds; "\*" followed by a two-byte count and a byte stands for that
  // byte repeated, so that a short input can make a long parameter.
  std::string Text() {
    std::string text;
    while (!empty()) {
      const char c = static_cast<char>(Byte());
      if (c == '\n') break;
      if (c != '\\') {
        text += c;
        continue;
      }
      const char next = static_cast<char>(Byte());
      if (next != '*') {
        text += next;
        continue;
      }
      const std::size_t count = Word();
      const char repeated = static_cast<char>(Byte());
      if (text.size() + count <= kMaxTextLength) text.append(count, repeated);
    }
    return text;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace serix::fuzz
