// The host's platform where the plug-in is linked into the process (natively and in
// WebAssembly), on the emulated Windows (host_platform_emulated.cpp). The user's own store is
// the front end's (user_registry.h); the standard streams and file writes are
// host_platform_posix.cpp's and whole_file_posix.cpp's.
#include <functional>
#include <memory>
#include <utility>

#include "host_platform.h"
#include "linked_plugin.h"
#include "platform/portable/emulated_windows.h"
#include "resources/string_table.h"
#include "settings/prefs_record.h"
#include "user_registry.h"

namespace serix::host {
namespace {

using portable::CurrentServices;

// The registry chosen by OpenRegistry. Reloading the plug-in resets the emulated Windows,
// which forgets it, so LoadPlugin points it back at it.
struct ChosenRegistry {
  std::unique_ptr<portable::RegistryStore> store;
  std::string location;
  std::function<bool(const std::string&)> ownsFile;  // UserRegistry::ownsFile
  std::function<bool(int)> ownsDescriptor;           // UserRegistry::ownsDescriptor
};

ChosenRegistry& Chosen() {
  static ChosenRegistry chosen;
  return chosen;
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
          .memoryRegistry = true,
          .rangeReading = true};
}

bool OpenRegistry(const RegistryChoice& choice, std::string& why) {
  ChosenRegistry& chosen = Chosen();
  if (choice.kind == RegistryKind::kUser) {
    UserRegistry user = OpenUserRegistry(choice.file, why);
    if (!user.store) return false;
    chosen.location = std::move(user.location);
    chosen.ownsFile = std::move(user.ownsFile);
    chosen.ownsDescriptor = std::move(user.ownsDescriptor);
    chosen.store = std::move(user.store);
  } else {
    chosen.location = "memory";
    chosen.ownsFile = nullptr;
    chosen.ownsDescriptor = nullptr;
    chosen.store = std::make_unique<portable::MemoryRegistry>();
  }
  ApplyChosenRegistry();
  return true;
}

bool IsRegistryFile(const std::string& file) {
  return Chosen().ownsFile && Chosen().ownsFile(file);
}

bool IsRegistryOutput() {
  constexpr int kStandardOutput = 1;
  return Chosen().ownsDescriptor && Chosen().ownsDescriptor(kStandardOutput);
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

}  // namespace serix::host
