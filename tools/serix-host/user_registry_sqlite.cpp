// The native host keeps the user's preference key in an SQLite database.
#include <filesystem>
#include <utility>

#include "sqlite_registry.h"
#include "store_file.h"
#include "user_registry.h"

namespace serix::host {

UserRegistry OpenUserRegistry(const std::string& file, std::string& why) {
  std::filesystem::path path = file.empty() ? DefaultRegistryFile() : std::filesystem::path(file);
  UserRegistry opened;
  if (path.empty()) {
    why =
        "there is no folder for the registry: neither XDG_CONFIG_HOME nor HOME is an absolute "
        "path, and the user has no home folder; name a file with --registry";
    return opened;
  }
  opened.location = "file " + path.string();
  auto store = std::make_unique<SqliteRegistry>(std::move(path));
  opened.ownsFile = [file = store.get()](const std::string& name) { return file->IsOwnFile(name); };
  opened.ownsDescriptor = [file = store->file()](int descriptor) {
    return IsStoreOwnDescriptor(file, descriptor);
  };
  opened.store = std::move(store);
  return opened;
}

}  // namespace serix::host
