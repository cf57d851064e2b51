// One entry of a range laid out once, prefix, value, suffix and carriage return, and copied
// into the result whole for every value. Between entries only the characters of the value
// that change are rewritten, so that most entries are one short copy.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "range/range_writer.h"

namespace serix {

inline constexpr int kMaxAffixLength = 1000;
// The longest value text: a number zero-padded to 100 characters.
inline constexpr int kMaxValueLength = 100;
// Entries are copied in whole chunks of this size. The chunks that pass an entry's end are
// covered by the next entry or fall into the slack behind the result limit, which they
// cannot leave: the last entry ends at most kMaxValueLength + 1 characters past the limit.
inline constexpr int kEntryChunk = 16;
static_assert(kResultLimit + kMaxValueLength + 1 + kEntryChunk <= kResultWorkingSize);

inline constexpr int kEntryTextSize = 2 * kMaxAffixLength + kMaxValueLength + 1 + kEntryChunk;

struct EntryTemplate {
  // The entry, then room for the last chunk's read past its end.
  char text[kEntryTextSize];
  // A second copy for writers that lay out the next change of the entry ahead of time.
  char nextText[kEntryTextSize];
  std::string_view suffix;
  int valueAt;  // the prefix's length
  int valueLength;
  int length;  // of the whole entry
};

// The part of the result written so far and how far entries may start.
struct ResultCursor {
  char* dest;
  std::int64_t written;
  std::int64_t lastStart;  // an entry starts only at or before this position (the room test)

  bool HasRoom() const { return written <= lastStart; }
  // How many entries of length characters, at most wanted, pass the room test from here.
  std::int64_t EntriesWithRoom(int length, std::int64_t wanted) const {
    if (!HasRoom()) return 0;
    const std::int64_t fit = (lastStart - written) / length + 1;
    return fit < wanted ? fit : wanted;
  }
};

// The prefix and suffix must be at most kMaxAffixLength characters each.
inline void StartEntryTemplate(EntryTemplate& entry, std::string_view prefix,
                               std::string_view suffix) {
  // An empty view may carry no address, which memcpy must never be given.
  if (!prefix.empty()) std::memcpy(entry.text, prefix.data(), prefix.size());
  entry.suffix = suffix;
  entry.valueAt = static_cast<int>(prefix.size());
  entry.valueLength = -1;
  entry.length = 0;
}

// Puts the value's text in place, moving the suffix and carriage return when its length
// changes. The text is at most kMaxValueLength characters.
inline void SetEntryValue(EntryTemplate& entry, const char* value, int length) {
  std::memcpy(entry.text + entry.valueAt, value, static_cast<std::size_t>(length));
  if (length == entry.valueLength) return;
  entry.valueLength = length;
  char* const suffixAt = entry.text + entry.valueAt + length;
  if (!entry.suffix.empty()) std::memcpy(suffixAt, entry.suffix.data(), entry.suffix.size());
  char* const terminatorAt = suffixAt + entry.suffix.size();
  *terminatorAt = kEntryTerminator;
  // What the last chunk reads past the entry is defined, though always overwritten.
  std::memset(terminatorAt + 1, 0, kEntryChunk);
  entry.length = static_cast<int>(terminatorAt + 1 - entry.text);
}

// Copies an entry of length characters to at in whole chunks; most entries take one.
inline void CopyEntry(char* at, const char* text, int length) {
  std::memcpy(at, text, kEntryChunk);
  for (int chunk = kEntryChunk; chunk < length; chunk += kEntryChunk) {
    std::memcpy(at + chunk, text + chunk, kEntryChunk);
  }
}

// Entry copies for loops that know whether every entry fits one chunk: the loops over short
// entries, the common case, then run without the test for a second chunk.
enum class EntrySize { kOneChunk, kAny };

template <EntrySize kSize>
inline void CopyEntryOf(char* at, const char* text, int length) {
  if constexpr (kSize == EntrySize::kOneChunk) {
    std::memcpy(at, text, kEntryChunk);
  } else {
    CopyEntry(at, text, length);
  }
}

}  // namespace serix
