// The host's platform where the real Serix.fmx is loaded into an i386 Linux process
// (pe_image.h) and its imports are a face over the emulated Windows (dll_imports.h), steered as
// where the plug-in is linked in (host-emulation/host_platform_emulated.cpp): the preference key
// in memory, the string table and version block read from the module's own resources. The
// standard streams and file writes are every POSIX front end's
// (host-emulation/host_platform_posix.cpp, whole_file_posix.cpp).
#include <memory>

#include "dll_imports.h"
#include "dll_resources.h"
#include "host_platform.h"
#include "pe_image.h"
#include "platform/portable/emulated_windows.h"
#include "settings/prefs_record.h"

namespace serix::host {
namespace {

constexpr char kEntryName[] = "FMExternCallProc";
// Without --plugin: SERIX_DLL, else Serix.fmx in the current folder.
constexpr char kDefaultPluginFile[] = "Serix.fmx";

// The store of OpenRegistry; a module loaded keeps it (dll::ResetServices).
std::unique_ptr<portable::RegistryStore>& ChosenStore() {
  static std::unique_ptr<portable::RegistryStore> store;
  return store;
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

bool ReadParameters(EmulatedHost& /*host*/, std::string_view /*argument*/, int /*count*/,
                    ParameterReading& /*reading*/, std::string& why) {
  why = "this host loads Serix.fmx and cannot see how it reads an argument";
  return false;
}

bool OpenRegistry(const RegistryChoice& choice, std::string& why) {
  if (choice.kind == RegistryKind::kUser && !choice.file.empty()) {
    why = "this serix-host keeps the preference key in memory and opens no registry file";
    return false;
  }
  ChosenStore() = std::make_unique<portable::MemoryRegistry>();
  portable::CurrentServices().registry = ChosenStore().get();
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
  dll::LoadedModule module;
  if (!dll::LoadModule(path, kEntryName, module, why)) return std::nullopt;
  return PluginModule{reinterpret_cast<EntryProc>(module.entry), module.base};
}

void ShutdownPlatform() {
  dll::UnloadModule();
}

std::map<std::uint32_t, std::string> ModuleStrings(const PluginModule& /*plugin*/) {
  return dll::ModuleStringTable(dll::LoadedResources());
}

std::optional<VersionBlock> ModuleVersion(const PluginModule& /*plugin*/, std::string& why) {
  return dll::ModuleVersionBlock(dll::LoadedResources(), why);
}

}  // namespace serix::host
