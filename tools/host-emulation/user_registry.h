// The user's own preference store of a host that has the plug-in linked in. Each front end
// brings its own: the native serix-host an SQLite database (tools/serix-host), the
// WebAssembly host and the i386 build a registry in memory that lasts as long as the page or
// process (user_registry_memory.cpp).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/portable/registry_store.h"

namespace serix::host {

struct UserRegistry {
  std::unique_ptr<portable::RegistryStore> store;
  std::string location;  // for people: "file /home/...", "memory"
  // Whether writing a file of that name would overwrite the store (by any name or link);
  // empty for a store that is no file.
  std::function<bool(const std::string&)> ownsFile;
  // The same for an open descriptor, by what it is.
  std::function<bool(int)> ownsDescriptor;
};

// The store named by `file`, or the user's usual one when `file` is empty; no store, saying
// why, for a file this front end cannot keep a store in.
UserRegistry OpenUserRegistry(const std::string& file, std::string& why);

}  // namespace serix::host
