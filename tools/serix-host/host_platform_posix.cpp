// The host's platform natively: the plug-in linked into this process, steered through the
// portable platform's control surface (platform/portable/services.h).
#include <memory>
#include <utility>

#include "host_platform.h"
#include "linked_plugin.h"
#include "platform/portable/file_registry.h"
#include "platform/portable/services.h"
#include "resources/string_table.h"
#include "settings/prefs_record.h"

namespace serix::host {
namespace {

using portable::CurrentServices;

// The registry chosen by OpenRegistry. Reloading the plug-in resets the portable services,
// which forget it, so LoadPlugin points them back at it.
struct ChosenRegistry {
  std::unique_ptr<portable::RegistryStore> store;
  std::string location;
};

ChosenRegistry& Chosen() {
  static ChosenRegistry chosen;
  return chosen;
}

portable::RegistryStore& Store() {
  return *CurrentServices().registry;
}

void ApplyChosenRegistry() {
  if (Chosen().store) CurrentServices().registry = Chosen().store.get();
}

}  // namespace

PlatformCapabilities Capabilities() {
  return {.platform = "posix",
          .clock = true,
          .deny = true,
          .beeps = true,
          .openCount = true,
          .memoryRegistry = true};
}

bool OpenRegistry(const RegistryChoice& choice, std::string& /*why*/) {
  ChosenRegistry& chosen = Chosen();
  if (choice.kind == RegistryKind::kUser) {
    std::filesystem::path file =
        choice.file.empty() ? portable::DefaultRegistryFile() : std::filesystem::path(choice.file);
    chosen.location = "file " + file.string();
    chosen.store = std::make_unique<portable::FileRegistry>(std::move(file));
  } else {
    chosen.location = "memory";
    chosen.store = std::make_unique<portable::MemoryRegistry>();
  }
  ApplyChosenRegistry();
  return true;
}

std::string PrefsKeyLocation() {
  std::string location = std::string("HKEY_CURRENT_USER\\") + kPrefsKeyPath;
  if (!Chosen().location.empty()) location += " (in " + Chosen().location + ")";
  return location;
}

std::optional<PluginModule> LoadPlugin(std::string_view file, std::string& why) {
  if (!file.empty()) {
    why = "this serix-host has the plug-in linked in and loads no module file";
    return std::nullopt;
  }
  ReloadLinkedPlugin();
  ApplyChosenRegistry();
  return LinkedPlugin();
}

void ShutdownPlatform() {
  ReloadLinkedPlugin();
  Chosen() = ChosenRegistry{};
}

void PrepareStandardStreams() {}

std::map<std::uint32_t, std::string> ModuleStrings(const PluginModule& /*plugin*/) {
  std::map<std::uint32_t, std::string> strings;
  for (const resources::StringEntry& entry : resources::kStringTable) {
    strings.emplace(entry.id, std::string(entry.text));
  }
  return strings;
}

std::optional<VersionBlock> ModuleVersion(const PluginModule& /*plugin*/, std::string& /*why*/) {
  VersionBlock block;
  for (const resources::VersionField& field : resources::kVersionFields) {
    block.fields.emplace_back(std::string(field.name), std::string(field.value));
  }
  block.fileVersion = resources::kFileVersionNumbers;
  block.productVersion = resources::kProductVersionNumbers;
  return block;
}

PrefsKeyState ReadPrefsKey() {
  PrefsKeyState state;
  state.exists = Store().KeyExists(kPrefsKeyPath);
  for (auto& [name, value] : Store().Values(kPrefsKeyPath)) {
    state.values.emplace_back(name, StoredValue{value.type, value.bytes});
  }
  state.openHandles = CurrentServices().openKeys;
  return state;
}

bool WritePrefsValue(std::string_view name, const StoredValue& value, std::string& why) {
  if (Store().SetValue(kPrefsKeyPath, name, {value.type, value.bytes})) return true;
  why = "the registry could not be written";
  return false;
}

bool DeletePrefsValue(std::string_view name, bool& existed, std::string& /*why*/) {
  existed = Store().GetValue(kPrefsKeyPath, name).has_value();
  if (existed) Store().DeleteValue(kPrefsKeyPath, name);
  return true;
}

bool DeletePrefsKey(std::string& /*why*/) {
  Store().DeleteKey(kPrefsKeyPath);
  return true;
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
}

PluginCallEffects EndPluginCall() {
  portable::Services& services = CurrentServices();
  PluginCallEffects effects;
  for (portable::Alert& alert : services.alerts) {
    effects.messages.push_back({std::move(alert.caption), std::move(alert.text), {}});
  }
  effects.beeps = services.beeps;
  services.alerts.clear();
  services.beeps = 0;
  return effects;
}

}  // namespace serix::host
