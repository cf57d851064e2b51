// A front end with no user's store on disk (WebAssembly; the i386 build, which has no SQLite):
// the preference key lives in memory for as long as the page or the process, as a session's
// does natively.
#include "platform/portable/registry_store.h"
#include "user_registry.h"

namespace serix::host {

UserRegistry OpenUserRegistry(const std::string& file, std::string& why) {
  if (!file.empty()) {
    why = "this serix-host keeps the preference key in memory and opens no registry file";
    return {};
  }
  return {std::make_unique<portable::MemoryRegistry>(), "memory", nullptr, nullptr};
}

}  // namespace serix::host
