// A 32-bit Windows DLL (PE32) loaded into this i386 Linux process the way Windows loads it:
// headers and sections mapped at the preferred base (elsewhere when that is taken, with the
// base relocations applied), each section's pages protected as its flags say, every import
// bound to this host's stand-in (dll_imports.h) and its thread-local data set up; then the TLS
// callbacks and the DLL's entry point run, as Windows runs them at LoadLibrary and FreeLibrary.
//
// The thread block that Windows keeps at %fs is installed once, for this process's one thread:
// its own address at 0x18, the stack's bounds, the end of the exception-handler chain and the
// module's TLS slot. One module is loaded at a time.
#pragma once

#include <cstdint>
#include <string>

#include "pe_resources.h"

namespace serix::host::dll {

struct LoadedModule {
  std::uint8_t* base = nullptr;  // also its HINSTANCE
  std::uint32_t imageSize = 0;
  void* entry = nullptr;  // the export asked for at load
};

// Loads the module in `path` and looks up its export `exportName`; false, saying why in one
// line, when the path names no regular file, the file is no PE32 i386 DLL or a damaged one
// (pe_headers.h, image_setup.h), imports what this host does not provide, lacks the export or
// its start-up fails. Unloads any module loaded before.
bool LoadModule(const std::string& path, const char* exportName, LoadedModule& module,
                std::string& why);
// Runs the detach notifications and unmaps the module; nothing when none is loaded.
void UnloadModule();
// The loaded module, or null.
const LoadedModule* CurrentModule();

// The loaded module's resources, read through its image view; none when no module is loaded.
ModuleResources LoadedResources();

// The loaded module's pages as Windows' VirtualQuery and VirtualProtect see them, with
// Windows' PAGE_* protections. Region: from address's page, the pages of equal protection.
struct PageRegion {
  std::uint32_t base = 0;
  std::uint32_t size = 0;
  std::uint32_t protection = 0;
};
bool QueryModulePages(std::uint32_t address, PageRegion& region);
// Sets the protection of the pages spanning [address, address + size); the old one of the
// first page in `old`. False for an address outside the module or an unknown protection.
bool ProtectModulePages(std::uint32_t address, std::uint32_t size, std::uint32_t protection,
                        std::uint32_t& old);

}  // namespace serix::host::dll
