// The platform seam: everything the plug-in takes from the operating system.
//
// The Windows implementation calls the registry, user-interface and kernel functions; the
// portable one serves the same answers from an emulated Windows that hosts and tests steer
// (portable/emulated_windows.h). Nothing outside this seam knows which platform it runs on.
#pragma once

#include <cstdint>

#include "host/call_block.h"
#include "platform/registry_types.h"  // the value types and their coding

namespace serix::platform {

// An open registry key; 0 when none is open.
using RegistryKey = std::uintptr_t;

// Windows error codes as the preference code relies on them.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorMoreData = 234;

// Opens the key at path under the current user's root, creating it when missing.
// Returns 0 and sets key on success; any other value is a failure and leaves key alone.
std::int32_t CreateUserKey(const char* path, RegistryKey& key);
void CloseKey(RegistryKey key);

// Reads a value into data, at most size bytes. On return size holds the value's size and
// type its registry type. A missing value answers kErrorFileNotFound, a value larger than
// the buffer kErrorMoreData.
std::int32_t QueryValue(RegistryKey key, const char* name, std::uint32_t& type, unsigned char* data,
                        std::uint32_t& size);
std::int32_t SetValue(RegistryKey key, const char* name, std::uint32_t type,
                      const unsigned char* data, std::uint32_t size);

// Loads string id of the module's string table into buffer, cut to bufferSize - 1
// characters and terminated; returns the characters copied (0 when there is no such string).
int LoadModuleString(ModuleInstance module, std::uint32_t id, char* buffer, int bufferSize);

// The simple beep.
void SimpleBeep();
// A task-modal message box with one OK button and no icon; returns when it is closed.
void ShowTaskModalMessage(const char* caption, const char* text);
// Milliseconds since the system started; wraps about every 49.7 days.
std::uint32_t MillisecondCounter();

}  // namespace serix::platform
