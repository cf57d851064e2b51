// Differential fuzzing of the range writer: the fast writer, which adds the step to the text
// of the value, against the plain one that formats every value afresh. Any range a call can
// ask for must come out byte for byte the same, with the same length and the same verdict on
// whether it was complete.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "range/range_writer.h"

namespace {

// Takes bytes from the front of the input; zeros once it is used up.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Bytes(int count) {
    std::uint32_t bits = 0;
    for (int i = 0; i < count; ++i) bits = (bits << 8) | Byte();
    return bits;
  }
  // Small values are the interesting ones most of the time: near zero, near a carry, near
  // the 32-bit limits.
  std::int32_t Value() {
    switch (Byte() % 4) {
      case 0:
        return static_cast<std::int8_t>(Byte());
      case 1:
        return static_cast<std::int16_t>(Bytes(2));
      case 2: {
        const bool nearTop = Byte() % 2 == 0;
        const auto distance = static_cast<std::int32_t>(Byte());
        return nearTop ? INT32_MAX - distance : INT32_MIN + distance;
      }
      default:
        return static_cast<std::int32_t>(Bytes(4));
    }
  }
  std::string Affix() {
    const bool longOne = Byte() % 8 == 0;
    const std::size_t length = longOne ? Bytes(2) % 1001 : Byte() % 24u;
    std::string text(length, '\0');
    for (char& c : text) c = static_cast<char>(Byte());
    return text;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader input(data, size);
  const std::string prefix = input.Affix();
  const std::string suffix = input.Affix();
  serix::RangeSpec spec{};
  spec.prefix = prefix;
  spec.suffix = suffix;
  spec.start = input.Value();
  spec.step = input.Value();
  spec.end = input.Value();
  spec.dateOrder = input.Byte() % 3;
  spec.dateSeparator = "/-."[input.Byte() % 3];
  // Widths as the number formats give them: none, or w and w + 1 with w up to 100.
  const bool padded = input.Byte() % 4 != 0;
  const int width = padded ? input.Byte() % 101 : 0;
  spec.nonNegativeWidth = width;
  spec.negativeWidth = width == 0 ? 0 : std::min(width + 1, 100);
  if (spec.step == 0) return 0;
  if (spec.step > 0 ? spec.start > spec.end : spec.start < spec.end) return 0;

  static std::vector<char> fast(serix::kResultWorkingSize);
  static std::vector<char> plain(serix::kResultWorkingSize);
  const serix::RangeWritten fastWritten = serix::WriteRange(fast.data(), spec);
  const serix::RangeWritten plainWritten = serix::WriteRangeSimple(plain.data(), spec);
  if (fastWritten.length != plainWritten.length ||
      fastWritten.stoppedByRoom != plainWritten.stoppedByRoom ||
      std::memcmp(fast.data(), plain.data(), static_cast<std::size_t>(plainWritten.length)) != 0 ||
      plainWritten.length > serix::kResultLimit + 101) {
    std::abort();
  }
  return 0;
}
