#include "dll_imports.h"

#include <unistd.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dll_resources.h"
#include "message_box_rule.h"
#include "pe_image.h"
#include "platform/ascii_case.h"
#include "platform/portable/emulated_windows.h"

// Windows' conventions for the functions the module calls; the stack is realigned on entry,
// since Windows code may keep it aligned to only 4 bytes.
#define WINAPI_STANDIN __attribute__((stdcall, force_align_arg_pointer))
#define CRT_STANDIN __attribute__((cdecl, force_align_arg_pointer))

namespace serix::host::dll {
namespace {

using Dword = std::uint32_t;
using Long = std::int32_t;

using portable::CurrentServices;

constexpr Long kSuccess = 0;
constexpr Long kInvalidParameter = 87;
constexpr Long kModuleNotFound = 126;
constexpr Long kProcedureNotFound = 127;
constexpr Long kInvalidAddress = 487;
constexpr Dword kSimpleBeep = 0xFFFFFFFF;
constexpr int kOk = 1;  // IDOK

Dword lastError = 0;

// Texts as RegQueryValueExA completes them: REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ.
bool IsText(Dword type) {
  return type == kTypeText || type == kTypeExpandableText || type == kTypeTextList;
}

// --- KERNEL32: the C runtime's start-up and shutdown, and the clock ---------------------------

Dword WINAPI_STANDIN GetTickCount() {
  return CurrentServices().clockMilliseconds;
}

Dword WINAPI_STANDIN GetLastError() {
  return lastError;
}

void WINAPI_STANDIN Sleep(Dword) {}

// The runtime looks for a shared libgcc; there is none, and no other module to load.
void* WINAPI_STANDIN GetModuleHandleA(const char*) {
  lastError = kModuleNotFound;
  return nullptr;
}

void* WINAPI_STANDIN LoadLibraryA(const char*) {
  lastError = kModuleNotFound;
  return nullptr;
}

int WINAPI_STANDIN FreeLibrary(void*) {
  return 1;
}

void* WINAPI_STANDIN GetProcAddress(void*, const char*) {
  lastError = kProcedureNotFound;
  return nullptr;
}

// One thread: critical sections have nothing to exclude.
void WINAPI_STANDIN CriticalSection(void*) {}

// No thread-local slots are ever set.
void* WINAPI_STANDIN TlsGetValue(Dword) {
  lastError = kSuccess;
  return nullptr;
}

// MEMORY_BASIC_INFORMATION, of the module's own pages only.
struct MemoryInformation {
  Dword base, allocationBase, allocationProtect, regionSize, state, protect, type;
};

Dword WINAPI_STANDIN VirtualQuery(const void* address, MemoryInformation* info, Dword size) {
  PageRegion region;
  if (info == nullptr || size < sizeof(MemoryInformation) ||
      !QueryModulePages(reinterpret_cast<Dword>(address), region)) {
    lastError = kInvalidParameter;
    return 0;
  }
  constexpr Dword kExecuteWriteCopy = 0x80, kCommitted = 0x1000, kImage = 0x1000000;
  *info = {region.base,
           reinterpret_cast<Dword>(CurrentModule()->base),
           kExecuteWriteCopy,
           region.size,
           kCommitted,
           region.protection,
           kImage};
  return sizeof(MemoryInformation);
}

int WINAPI_STANDIN VirtualProtect(void* address, Dword size, Dword protection, Dword* old) {
  Dword previous = 0;
  if (old == nullptr ||
      !ProtectModulePages(reinterpret_cast<Dword>(address), size, protection, previous)) {
    lastError = kInvalidAddress;
    return 0;
  }
  *old = previous;
  return 1;
}

// --- USER32 ----------------------------------------------------------------------------------

int WINAPI_STANDIN LoadStringA(void* /*instance*/, Dword id, char* buffer, int size) {
  return LoadModuleString(LoadedResources(), id, buffer, size);
}

int WINAPI_STANDIN MessageBeep(Dword type) {
  if (type == kSimpleBeep) ++CurrentServices().beeps;
  return 1;
}

int WINAPI_STANDIN MessageBoxA(void* owner, const char* text, const char* caption, Dword style) {
  CurrentServices().alerts.push_back({caption != nullptr ? caption : "",
                                      text != nullptr ? text : "",
                                      MessageBoxDefect(owner != nullptr, style)});
  return kOk;
}

// --- ADVAPI32: the emulated registry ---------------------------------------------------------

Long WINAPI_STANDIN RegCreateKeyA(Dword root, const char* subkey, Dword* key) {
  if (key == nullptr) return kInvalidParameter;
  portable::RegistryKey opened = 0;
  const Long status = portable::CreateKey(root, subkey != nullptr ? subkey : "", opened);
  if (status == kSuccess) *key = static_cast<Dword>(opened);
  return status;
}

Long WINAPI_STANDIN RegCloseKey(Dword key) {
  return portable::CloseKey(key);
}

// A text is answered as stored, with a zero added after its last byte when that is not one
// and the buffer has room (an empty text gets none); the size answered counts only the bytes
// stored.
Long WINAPI_STANDIN RegQueryValueExA(Dword key, const char* name, Dword* /*reserved*/, Dword* type,
                                     std::uint8_t* data, Dword* size) {
  if (data != nullptr && size == nullptr) return kInvalidParameter;
  const Dword room = size != nullptr ? *size : 0;
  Dword valueType = 0;
  Dword stored = room;
  const Long status =
      portable::QueryValue(key, name != nullptr ? name : "", valueType, data, stored);
  if (status != kSuccess && status != platform::kErrorMoreData) return status;
  if (type != nullptr) *type = valueType;
  if (size != nullptr) *size = stored;
  if (status == kSuccess && data != nullptr && IsText(valueType) && stored > 0 && stored < room &&
      data[stored - 1] != 0) {
    data[stored] = 0;
  }
  return status;
}

// Stored as the bytes given: Windows adds no terminating zero to a text.
Long WINAPI_STANDIN RegSetValueExA(Dword key, const char* name, Dword /*reserved*/, Dword type,
                                   const std::uint8_t* data, Dword size) {
  if (data == nullptr && size != 0) return kInvalidParameter;
  return portable::SetValue(key, name != nullptr ? name : "", type,
                            std::string_view(reinterpret_cast<const char*>(data), size));
}

// --- msvcrt: what the C runtime inside the module uses beyond the C library ------------------

// The standard streams as the module sees them (_iob): three FILE records of 32 bytes. All
// that the module writes to any of them goes to standard error, so that it can never mix with
// the host's own output.
std::array<std::array<std::uint8_t, 32>, 3> windowsStreams{};

bool IsWindowsStream(const void* file) {
  const auto* at = static_cast<const std::uint8_t*>(file);
  return at >= windowsStreams.front().data() && at < windowsStreams.back().data() + 32;
}

std::size_t CRT_STANDIN Fwrite(const void* data, std::size_t size, std::size_t count, void* file) {
  if (!IsWindowsStream(file) || size == 0) return 0;
  return std::fwrite(data, size, count, stderr);
}

// A va_list of i386 Windows and of i386 Linux alike: the address of the first argument.
int CRT_STANDIN Vfprintf(void* file, const char* format, char* arguments) {
  if (!IsWindowsStream(file)) return -1;
  va_list list;
  static_assert(sizeof list == sizeof arguments);
  std::memcpy(&list, &arguments, sizeof list);
  return std::vfprintf(stderr, format, list);
}

using Initialiser = void(__attribute__((cdecl)) *)();

void CRT_STANDIN Initterm(Initialiser* begin, Initialiser* end) {
  for (; begin < end; ++begin) {
    if (*begin != nullptr) (*begin)();
  }
}

void CRT_STANDIN Lock(int) {}

[[noreturn]] void CRT_STANDIN AmsgExit(int code) {
  std::fprintf(stderr, "serix-host-dll: the module's C runtime ended the process (R60%02d)\n",
               code);
  std::_Exit(255);
}

template <typename Function>
void* Address(Function* function) {
  return reinterpret_cast<void*>(function);
}

struct Import {
  std::string_view library;
  std::string_view name;
  void* address;
};

// Every import this host provides, and what it becomes. Functions of the C library that mean
// the same on both systems (and use the same cdecl convention) are the C library's own.
const Import kImports[] = {
    {"ADVAPI32.dll", "RegCloseKey", Address(&RegCloseKey)},
    {"ADVAPI32.dll", "RegCreateKeyA", Address(&RegCreateKeyA)},
    {"ADVAPI32.dll", "RegQueryValueExA", Address(&RegQueryValueExA)},
    {"ADVAPI32.dll", "RegSetValueExA", Address(&RegSetValueExA)},
    {"KERNEL32.dll", "DeleteCriticalSection", Address(&CriticalSection)},
    {"KERNEL32.dll", "EnterCriticalSection", Address(&CriticalSection)},
    {"KERNEL32.dll", "FreeLibrary", Address(&FreeLibrary)},
    {"KERNEL32.dll", "GetLastError", Address(&GetLastError)},
    {"KERNEL32.dll", "GetModuleHandleA", Address(&GetModuleHandleA)},
    {"KERNEL32.dll", "GetProcAddress", Address(&GetProcAddress)},
    {"KERNEL32.dll", "GetTickCount", Address(&GetTickCount)},
    {"KERNEL32.dll", "InitializeCriticalSection", Address(&CriticalSection)},
    {"KERNEL32.dll", "LeaveCriticalSection", Address(&CriticalSection)},
    {"KERNEL32.dll", "LoadLibraryA", Address(&LoadLibraryA)},
    {"KERNEL32.dll", "Sleep", Address(&Sleep)},
    {"KERNEL32.dll", "TlsGetValue", Address(&TlsGetValue)},
    {"KERNEL32.dll", "VirtualProtect", Address(&VirtualProtect)},
    {"KERNEL32.dll", "VirtualQuery", Address(&VirtualQuery)},
    {"msvcrt.dll", "_amsg_exit", Address(&AmsgExit)},
    {"msvcrt.dll", "_initterm", Address(&Initterm)},
    {"msvcrt.dll", "_iob", windowsStreams.data()},
    {"msvcrt.dll", "_lock", Address(&Lock)},
    {"msvcrt.dll", "_unlock", Address(&Lock)},
    {"msvcrt.dll", "abort", Address(&std::abort)},
    {"msvcrt.dll", "calloc", Address(&std::calloc)},
    {"msvcrt.dll", "free", Address(&std::free)},
    {"msvcrt.dll", "fwrite", Address(&Fwrite)},
    {"msvcrt.dll", "memcpy", Address(&std::memcpy)},
    {"msvcrt.dll", "memset", Address(&std::memset)},
    {"msvcrt.dll", "realloc", Address(&std::realloc)},
    {"msvcrt.dll", "strlen", Address(&std::strlen)},
    {"msvcrt.dll", "strncmp", Address(&std::strncmp)},
    {"msvcrt.dll", "vfprintf", Address(&Vfprintf)},
    {"USER32.dll", "LoadStringA", Address(&LoadStringA)},
    {"USER32.dll", "MessageBeep", Address(&MessageBeep)},
    {"USER32.dll", "MessageBoxA", Address(&MessageBoxA)},
};

}  // namespace

void* ImportedAddress(std::string_view library, std::string_view name) {
  for (const Import& import : kImports) {
    if (import.name == name && SameIgnoringAsciiCase(import.library, library))
      return import.address;
  }
  return nullptr;
}

void ResetServices() {
  portable::RegistryStore* const store = CurrentServices().registry;
  portable::ResetServices();
  CurrentServices().registry = store;
  lastError = 0;
}

}  // namespace serix::host::dll
