// The host's platform where the real Serix.fmx is loaded into an i386 Linux process
// (pe_image.h) and its imports are this host's stand-ins (dll_imports.h): the preference key in
// memory, the clock, registry denial, beeps and message boxes steered as on every other host,
// the string table and version block read from the module's own resources. The standard
// streams and file writes are every POSIX front end's (host-emulation/host_platform_posix.cpp,
// whole_file_posix.cpp).
#include <memory>

#include "dll_imports.h"
#include "dll_resources.h"
#include "host_platform.h"
#include "pe_image.h"
#include "settings/prefs_record.h"

namespace serix::host {
namespace {

constexpr char kEntryName[] = "FMExternCallProc";
// Without --plugin: SERIX_DLL, else Serix.fmx in the current folder.
constexpr char kDefaultPluginFile[] = "Serix.fmx";

struct DllPlatform {
  std::unique_ptr<portable::RegistryStore> registry = std::make_unique<portable::MemoryRegistry>();
};

DllPlatform& Platform() {
  static DllPlatform platform;
  return platform;
}

portable::RegistryStore& Store() {
  dll::Services().registry = Platform().registry.get();
  return *Platform().registry;
}

}  // namespace

PlatformCapabilities Capabilities() {
  return {.platform = "win32",
          .clock = true,
          .deny = true,
          .beeps = true,
          .openCount = true,
          .memoryRegistry = true};
}

bool ReadRangeArgument(EmulatedHost& /*host*/, std::string_view /*argument*/,
                       RangeReading& /*reading*/, std::string& why) {
  why = "this host loads Serix.fmx and cannot see how it reads an argument";
  return false;
}

bool OpenRegistry(const RegistryChoice& choice, std::string& why) {
  if (choice.kind == RegistryKind::kUser && !choice.file.empty()) {
    why = "this serix-host keeps the preference key in memory and opens no registry file";
    return false;
  }
  Platform().registry = std::make_unique<portable::MemoryRegistry>();
  Store();
  return true;
}

bool IsRegistryFile(const std::string& /*file*/) {
  return false;
}

bool IsRegistryOutput() {
  return false;
}

std::string PrefsKeyLocation() {
  return std::string("HKEY_CURRENT_USER\\") + kPrefsKeyPath + " (in memory)";
}

std::optional<PluginModule> LoadPlugin(std::string_view file, std::string& why) {
  std::string path(file);
  if (path.empty()) {
    const char* named = std::getenv("SERIX_DLL");
    path = named != nullptr && *named != '\0' ? named : kDefaultPluginFile;
  }
  Store();
  dll::LoadedModule module;
  if (!dll::LoadModule(path, kEntryName, module, why)) return std::nullopt;
  return PluginModule{reinterpret_cast<EntryProc>(module.entry), module.base};
}

void ShutdownPlatform() {
  dll::UnloadModule();
}

std::map<std::uint32_t, std::string> ModuleStrings(const PluginModule& /*plugin*/) {
  return dll::ModuleStringTable();
}

std::optional<VersionBlock> ModuleVersion(const PluginModule& /*plugin*/, std::string& why) {
  return dll::ModuleVersionBlock(why);
}

bool ReadPrefsKey(PrefsKeyState& state, std::string& /*why*/) {
  std::optional<portable::RegistryValues> values = Store().ReadKey(kPrefsKeyPath);
  state = PrefsKeyState{};
  state.exists = values.has_value();
  if (values) {
    for (auto& [name, value] : *values) {
      state.values.emplace_back(name, std::move(value));
    }
  }
  state.openHandles = dll::OpenKeyCount();
  return true;
}

bool WritePrefsValue(std::string_view name, const RegistryValue& value, std::string& /*why*/) {
  Store().SetValue(kPrefsKeyPath, name, value);
  return true;
}

bool DeletePrefsValue(std::string_view name, bool& existed, std::string& /*why*/) {
  existed = Store().DeleteValue(kPrefsKeyPath, name);
  return true;
}

bool DeletePrefsKey(std::string& /*why*/) {
  Store().DeleteKey(kPrefsKeyPath);
  return true;
}

bool ApplyPrefsChanges(const std::vector<RegistryChange>& changes, std::string& /*why*/) {
  if (changes.empty()) return true;
  Store().ApplyChanges(kPrefsKeyPath, changes);
  return true;
}

bool DenyRegistry(RegistryDenial denial, std::string& /*why*/) {
  dll::Services().denyCreate = denial == RegistryDenial::kCreate;
  dll::Services().denyWrite = denial == RegistryDenial::kWrite;
  return true;
}

bool SetClock(std::uint32_t milliseconds, std::string& /*why*/) {
  dll::Services().clock = milliseconds;
  return true;
}

void BeginPluginCall() {
  dll::Services().simpleBeeps = 0;
  dll::Services().boxes.clear();
}

PluginCallEffects EndPluginCall() {
  PluginCallEffects effects;
  effects.messages = std::move(dll::Services().boxes);
  effects.beeps = dll::Services().simpleBeeps;
  BeginPluginCall();
  return effects;
}

}  // namespace serix::host
