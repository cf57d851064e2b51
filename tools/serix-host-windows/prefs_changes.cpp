#include "prefs_changes.h"

#include <optional>

#include "platform/ascii_case.h"

namespace serix::host {
namespace {

std::optional<RegistryValue> Before(const PrefsKeyState& before, std::string_view name) {
  for (const auto& [stored, value] : before.values) {
    if (SameIgnoringAsciiCase(stored, name)) return value;
  }
  return std::nullopt;
}

}  // namespace

bool ApplyPrefsChangesOneByOne(const std::vector<RegistryChange>& changes, std::string& why) {
  PrefsKeyState before;
  if (!ReadPrefsKey(before, why)) return false;
  std::size_t done = 0;
  for (; done < changes.size(); ++done) {
    const RegistryChange& change = changes[done];
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
    if (const std::optional<RegistryValue> old = Before(before, name)) {
      WritePrefsValue(name, *old, ignored);
    } else {
      DeletePrefsValue(name, existed, ignored);
    }
  }
  if (!before.exists) DeletePrefsKey(ignored);
  return false;
}

}  // namespace serix::host
