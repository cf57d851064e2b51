// The control surface of the portable platform: which registry store the plug-in sees, the
// failures to inject into it, the millisecond counter, and the record of message boxes and
// beeps. Hosts and tests set it up; the plug-in reaches it only through platform.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/portable/registry_store.h"

namespace serix::portable {

struct Alert {
  std::string caption;
  std::string text;

  bool operator==(const Alert&) const = default;
};

struct Services {
  // The store behind the registry functions; a process-wide in-memory store by default.
  RegistryStore* registry = nullptr;
  // Opening or creating a key fails (as for a user without rights).
  bool denyCreate = false;
  // Setting a value fails with access denied (error 5).
  bool denyWrite = false;
  // What the system's millisecond counter reads.
  std::uint32_t clockMilliseconds = 600000;
  // Message boxes in the order shown, each closed at once, and the simple beeps made.
  std::vector<Alert> alerts;
  int beeps = 0;
  // Registry key handles the plug-in holds open now.
  int openKeys = 0;
  // The first failure of the store that the registry functions answered as a registry error
  // (its message), so that the host can name the store to the user; empty when none.
  std::string storeFailure;
};

Services& CurrentServices();

// Puts every switch and record back as at process start, with a fresh in-memory store.
void ResetServices();

}  // namespace serix::portable
