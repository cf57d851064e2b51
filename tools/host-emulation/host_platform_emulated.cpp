// The host's platform where the plug-in meets the emulated Windows
// (platform/portable/emulated_windows.h), linked in or through serix-host-dll's imports: the
// preference key in the emulated registry's store, registry denial, the clock, and the boxes and
// beeps recorded. What differs (the store chosen, the module loaded) is the front end's.
#include <utility>

#include "host_platform.h"
#include "platform/portable/emulated_windows.h"
#include "settings/prefs_record.h"

namespace serix::host {
namespace {

using portable::CurrentServices;

portable::RegistryStore& Store() {
  return *CurrentServices().registry;
}

// Runs work on the store; a store that cannot be used answers false and says why.
template <typename Work>
bool Guarded(std::string& why, Work&& work) {
  try {
    work();
    return true;
  } catch (const portable::RegistryStoreError& error) {
    why = error.what();
    return false;
  }
}

}  // namespace

bool ReadPrefsKey(PrefsKeyState& state, std::string& why) {
  return Guarded(why, [&] {
    std::optional<portable::RegistryValues> values = Store().ReadKey(kPrefsKeyPath);
    state = PrefsKeyState{};
    state.exists = values.has_value();
    if (values) {
      state.values.reserve(values->size());
      for (auto& [name, value] : *values) {
        state.values.emplace_back(name, std::move(value));
      }
    }
    state.openHandles = portable::OpenKeyCount();
  });
}

bool WritePrefsValue(std::string_view name, const RegistryValue& value, std::string& why) {
  return Guarded(why, [&] { Store().SetValue(kPrefsKeyPath, name, value); });
}

bool DeletePrefsValue(std::string_view name, bool& existed, std::string& why) {
  return Guarded(why, [&] { existed = Store().DeleteValue(kPrefsKeyPath, name); });
}

bool DeletePrefsKey(std::string& why) {
  return Guarded(why, [&] { Store().DeleteKey(kPrefsKeyPath); });
}

bool ApplyPrefsChanges(const std::vector<RegistryChange>& changes, std::string& why) {
  if (changes.empty()) return true;
  return Guarded(why, [&] { Store().ApplyChanges(kPrefsKeyPath, changes); });
}

bool DenyRegistry(RegistryDenial denial, std::string& /*why*/) {
  portable::Services& services = CurrentServices();
  services.denyCreate = denial == RegistryDenial::kCreate;
  services.denyWrite = denial == RegistryDenial::kWrite;
  return true;
}

bool SetClock(std::uint32_t milliseconds, std::string& /*why*/) {
  CurrentServices().clockMilliseconds = milliseconds;
  return true;
}

void BeginPluginCall() {
  portable::Services& services = CurrentServices();
  services.alerts.clear();
  services.beeps = 0;
  services.storeFailure.clear();
}

PluginCallEffects EndPluginCall() {
  portable::Services& services = CurrentServices();
  PluginCallEffects effects;
  effects.messages = std::exchange(services.alerts, {});
  effects.beeps = std::exchange(services.beeps, 0);
  effects.registryFailure = std::exchange(services.storeFailure, {});
  return effects;
}

}  // namespace serix::host
