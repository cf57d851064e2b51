// One emulated Windows: the current user's registry over a store, with key handles and
// Windows' answers; the tick counter; message boxes and simple beeps, recorded. Two faces stand
// on it: the platform seam of a build with the plug-in linked in (portable_platform.cpp), and
// the functions that serix-host-dll binds a loaded module's imports to. Hosts and tests steer it
// and read its records here; the plug-in reaches it only through a face.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"  // key handles and the answers the plug-in relies on
#include "platform/portable/registry_store.h"

namespace serix::portable {

using platform::RegistryKey;

// What the tick counter reads until a host sets it: ten minutes after the system started.
inline constexpr std::uint32_t kStartingTickCount = 600000;

// HKEY_CURRENT_USER, the one predefined key: the root of every path below.
inline constexpr RegistryKey kCurrentUserKey = 0x80000001;

// Windows' answers beyond those of platform.h.
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorRegistryIoFailed = 1016;  // the registry's storage failed

// A message box, closed at once as if a person had pressed OK.
// (Not "MessageBox": windows.h makes that name a macro.)
struct ShownMessage {
  std::string caption;
  std::string text;
  // Empty for a box as the plug-in must show it: task-modal, one OK button, no icon, no owner
  // window. Otherwise what was wrong with it, where the host sees how the box was asked for.
  std::string defect;

  bool operator==(const ShownMessage&) const = default;
};

// What a host steers in the services the plug-in calls, and what the plug-in did with them: the
// same whether the services are emulated or Windows' own behind the Windows host's hooks.
struct SteeredServices {
  // Opening or creating a key answers access denied (as for a user without rights).
  bool denyCreate = false;
  // Setting a value answers access denied.
  bool denyWrite = false;
  // What the tick counter reads.
  std::uint32_t clockMilliseconds = kStartingTickCount;
  // Message boxes in the order asked for, and the simple beeps made.
  std::vector<ShownMessage> alerts;
  int beeps = 0;
};

struct Services : SteeredServices {
  // The store behind the registry; a process-wide in-memory store by default.
  RegistryStore* registry = nullptr;
  // The first failure of the store that the registry answered as Windows' own storage failing
  // (its message), so that the host can name the store to the user; empty when none.
  std::string storeFailure;
};

Services& CurrentServices();

// Puts every switch and record back as at process start, with a fresh in-memory store and no
// key open.
void ResetServices();

// The registry, as RegCreateKeyA, RegCloseKey, RegQueryValueExA and RegSetValueExA answer.
// Paths compare without regard to ASCII letter case. A store that cannot be used is a key that
// cannot be opened (access denied) or a value that cannot be read or written (registry I/O
// failed), never a missing value.

// Opens subkey under parent (kCurrentUserKey or an open key), creating it when missing; key gets
// a new handle.
std::int32_t CreateKey(RegistryKey parent, std::string_view subkey, RegistryKey& key);
std::int32_t CloseKey(RegistryKey key);
// The value's type, and its bytes into data when data is not null and size bytes hold them
// (else kErrorMoreData); size gets the value's size.
std::int32_t QueryValue(RegistryKey key, std::string_view name, std::uint32_t& type,
                        unsigned char* data, std::uint32_t& size);
// Stores the bytes as given.
std::int32_t SetValue(RegistryKey key, std::string_view name, std::uint32_t type,
                      std::string_view bytes);
// Key handles open now.
int OpenKeyCount();

}  // namespace serix::portable
