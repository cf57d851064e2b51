// ASCII letter case, folded the way Windows compares registry names and the plug-in its option
// words: only A to Z become a to z, every other byte stays as it is. Small constexpr helpers
// with no allocation, so that the plug-in's core and every host share them.
#pragma once

#include <cstddef>
#include <string_view>

namespace serix {

constexpr char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool SameIgnoringAsciiCase(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t at = 0; at < left.size(); ++at) {
    if (FoldAscii(left[at]) != FoldAscii(right[at])) return false;
  }
  return true;
}

// Orders names by their folded bytes, compared as unsigned; for maps keyed by registry names.
struct LessIgnoringAsciiCase {
  using is_transparent = void;
  constexpr bool operator()(std::string_view left, std::string_view right) const {
    const std::size_t common = left.size() < right.size() ? left.size() : right.size();
    // Equal bytes, as every look-up of the plug-in's one key path meets, need no folding.
    if (left.substr(0, common) == right.substr(0, common)) return left.size() < right.size();
    for (std::size_t at = 0; at < common; ++at) {
      const auto a = static_cast<unsigned char>(FoldAscii(left[at]));
      const auto b = static_cast<unsigned char>(FoldAscii(right[at]));
      if (a != b) return a < b;
    }
    return left.size() < right.size();
  }
};

}  // namespace serix
