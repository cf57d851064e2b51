// Entries written as copies of entries written before them in the same run. Two entries of a
// run whose values differ only in their high digits (numbers) or in their month and year
// (dates) have the same text everywhere else, so a stretch of entries is one copy of an
// earlier stretch with the characters that differ put in every entry: by one store an entry
// after the copy, or, for long stretches of short entries, where a store an entry would cost
// more than the copy, by copying through a mask of the changes eight characters at a time.
// The earlier stretch should lie a few thousand characters back where it can: a copy of text
// only just written waits for the processor to finish writing it.
#pragma once

#include <cstdint>
#include <cstring>

namespace serix {

inline constexpr int kMaxChangeWidth = 8;

// How far back, in characters, a copy should begin at least.
inline constexpr std::int64_t kLeastCopyDistance = 4096;

// Characters put in every copied entry: width of them, 1 to kMaxChangeWidth, at offset at of
// the entry.
struct EntryChange {
  int at;
  int width;
  const char* text;
};

// Copies count entries of length characters from the result's earlier text at from to to,
// with the changes made in each. The copied entries must all hold the same characters where
// a change goes.
void CopyEntriesChanged(char* to, const char* from, std::int64_t count, int length,
                        const EntryChange* changes, int changeCount);

}  // namespace serix
