// Whether SQLite may open a path as the native host's registry, answered before it does: the
// file itself and the files SQLite keeps beside it (journal, WAL, shared memory) must not be
// links, FIFOs, devices or folders, and the file must carry this store's marks or be an empty
// database; folders above it may be links. Also where the store lives by default, and which
// files are the store's own. The SQL itself is sqlite_registry.cpp's.
//
// Each check answers false with `cause`, the rest of a sentence that begins "the registry
// FILE ...", and leaves every file as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace serix::host {

// "Serx" in the database header, and the schema's version: this store's marks, so that another
// program's database is recognised and left alone.
inline constexpr std::int64_t kStoreApplicationId = 0x53657278;
inline constexpr std::int64_t kStoreSchemaVersion = 1;

// The file as SQLite may open it: whether it is there, and its name with the folders' links
// resolved (absolute, so that SQLite never reads it as a "file:" URI).
struct VettedStoreFile {
  bool exists = false;
  std::filesystem::path resolved;
};

// Vets the file before SQLite opens it. A missing file is created (0600, with its missing
// folders, 0700) when `create`, and otherwise answers exists == false.
bool VetStoreFile(const std::filesystem::path& file, bool create, VettedStoreFile& vetted,
                  std::string& cause);

// The files beside the store are regular files or absent (anything else may have been placed
// there since the store was opened).
bool CheckBesideStore(const std::filesystem::path& file, std::string& cause);

// The file holds the pages its header gives (with a write-ahead log, whole pages).
bool CheckStoreSize(const std::filesystem::path& file, std::int64_t pages, std::int64_t pageSize,
                    bool writeAheadLog, std::string& cause);

// The cause for a database whose marks are not this store's.
std::string NotOurStore(std::int64_t applicationId, std::int64_t version);

// Whether `other` is the store's file or one SQLite keeps beside it, present or not, by name
// or through any link: writing it would destroy the store.
bool IsStoreOwnFile(const std::filesystem::path& file, const std::filesystem::path& other);

// Whether an open descriptor is the store's file or one beside it: what a stream is, whatever
// name leads to it (or none, /dev/stdout replaced or /proc not mounted).
bool IsStoreOwnDescriptor(const std::filesystem::path& file, int descriptor);

// Whether SQLite may create its journal beside a store that may itself be written: false,
// naming the folder, when the folder refuses it.
bool CheckStoreFolderWritable(const std::filesystem::path& file, std::string& cause);

// Where the command line keeps the registry: serix/registry.db in $XDG_CONFIG_HOME, else in
// $HOME/.config, else in the user's home folder's .config (relative ones are ignored); empty
// when there is none.
std::filesystem::path DefaultRegistryFile();

}  // namespace serix::host
