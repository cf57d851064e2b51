#include "prefs_changes.h"

#include <algorithm>
#include <optional>

namespace serix::host {
namespace {

bool SameName(std::string_view left, std::string_view right) {
  return left.size() == right.size() &&
         std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
           const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return fold(a) == fold(b);
         });
}

std::optional<StoredValue> Before(const PrefsKeyState& before, std::string_view name) {
  for (const auto& [stored, value] : before.values) {
    if (SameName(stored, name)) return value;
  }
  return std::nullopt;
}

}  // namespace

bool ApplyPrefsChangesOneByOne(const std::vector<PrefsChange>& changes, std::string& why) {
  PrefsKeyState before;
  if (!ReadPrefsKey(before, why)) return false;
  std::size_t done = 0;
  for (; done < changes.size(); ++done) {
    const PrefsChange& change = changes[done];
    bool existed = false;
    const bool made = change.value ? WritePrefsValue(change.name, *change.value, why)
                                   : DeletePrefsValue(change.name, existed, why);
    if (!made) break;
  }
  if (done == changes.size()) return true;
  // Undone newest first, each name back to its value before the first change.
  std::string ignored;
  for (std::size_t at = done; at-- > 0;) {
    const std::string& name = changes[at].name;
    bool existed = false;
    if (const std::optional<StoredValue> old = Before(before, name)) {
      WritePrefsValue(name, *old, ignored);
    } else {
      DeletePrefsValue(name, existed, ignored);
    }
  }
  if (!before.exists) DeletePrefsKey(ignored);
  return false;
}

}  // namespace serix::host
