#include "range/earlier_entries.h"

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

}  // namespace

void CopyEntriesChanged(char* to, const char* from, std::int64_t count, int length,
                        const EntryChange* changes, int changeCount) {
  std::memcpy(to, from, static_cast<std::size_t>(count * length));
  for (int i = 0; i < changeCount; ++i) {
    StoreInEachEntry(to + changes[i].at, count, length, changes[i].text, changes[i].width);
  }
}

}  // namespace serix
