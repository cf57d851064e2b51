#include "range/earlier_entries.h"

#include <algorithm>

namespace serix {
namespace {

// Stores the kWidth characters of text in each of count entries of length characters, at
// the same place in each, the first at at: one fixed-size store an entry, four a round, since
// a loop of one store a round is held up by its jump rather than by its store.
template <std::size_t kWidth>
void StoreInEachEntry(char* at, std::int64_t count, int length, const char* text) {
  char characters[kWidth];
  std::memcpy(characters, text, sizeof characters);
  const std::int64_t stride = length;
  std::int64_t i = 0;
  for (; i + 4 <= count; i += 4) {
    char* const first = at + i * stride;
    std::memcpy(first, characters, sizeof characters);
    std::memcpy(first + stride, characters, sizeof characters);
    std::memcpy(first + 2 * stride, characters, sizeof characters);
    std::memcpy(first + 3 * stride, characters, sizeof characters);
  }
  for (; i < count; ++i) std::memcpy(at + i * stride, characters, sizeof characters);
}

void StoreInEachEntry(char* at, std::int64_t count, int length, const char* text, int width) {
  switch (width) {
    case 1:
      return StoreInEachEntry<1>(at, count, length, text);
    case 2:
      return StoreInEachEntry<2>(at, count, length, text);
    case 3:
      return StoreInEachEntry<3>(at, count, length, text);
    case 4:
      return StoreInEachEntry<4>(at, count, length, text);
    case 5:
      return StoreInEachEntry<5>(at, count, length, text);
    case 6:
      return StoreInEachEntry<6>(at, count, length, text);
    case 7:
      return StoreInEachEntry<7>(at, count, length, text);
    default:
      return StoreInEachEntry<8>(at, count, length, text);
  }
}

// to = from ^ mask over size characters, eight at a time: on x86-64 the compiler turns two
// rounds into one SSE2 exclusive or, in WebAssembly and on i686 it keeps words.
void CopyMasked(char* to, const char* from, const char* mask, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t text = 0;
    std::uint64_t bits = 0;
    std::memcpy(&text, from + i, sizeof text);
    std::memcpy(&bits, mask + i, sizeof bits);
    text ^= bits;
    std::memcpy(to + i, &text, sizeof text);
  }
  for (; i < size; ++i) to[i] = static_cast<char>(from[i] ^ mask[i]);
}

// Entries of up to kLongestMaskedEntry characters go through the mask, in stretches of at
// least two masks' worth; the mask holds whole entries in whole chunks, at most kMaskSize
// characters.
constexpr int kLongestMaskedEntry = 8;
constexpr int kMaskSize = 1024;

}  // namespace

void CopyEntriesChanged(char* to, const char* from, std::int64_t count, int length,
                        const EntryChange* changes, int changeCount) {
  const auto size = static_cast<std::size_t>(count * length);
  const int maskEntries = (kMaskSize / (length * 16)) * 16;
  if (length > kLongestMaskedEntry || count < 2 * maskEntries) {
    std::memcpy(to, from, size);
    for (int i = 0; i < changeCount; ++i) {
      StoreInEachEntry(to + changes[i].at, count, length, changes[i].text, changes[i].width);
    }
    return;
  }
  // In each entry of the mask, the bits that turn the copied characters into the changed ones.
  char mask[kMaskSize];
  const auto maskSize = static_cast<std::size_t>(maskEntries * length);
  std::memset(mask, 0, maskSize);
  for (int i = 0; i < changeCount; ++i) {
    const EntryChange& change = changes[i];
    char bits[kMaxChangeWidth];
    for (int k = 0; k < change.width; ++k) {
      bits[k] = static_cast<char>(from[change.at + k] ^ change.text[k]);
    }
    StoreInEachEntry(mask + change.at, maskEntries, length, bits, change.width);
  }
  for (std::size_t done = 0; done < size; done += maskSize) {
    CopyMasked(to + done, from + done, mask, std::min(maskSize, size - done));
  }
}

}  // namespace serix
