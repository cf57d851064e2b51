// A registry stand-in kept in one file, so that preferences set from the command line are in
// force for later calls, as on Windows.
//
// Every change rewrites the file whole: a temporary file beside it, flushed, then renamed
// into place, under an exclusive lock that other processes writing the same file respect.
// A file that cannot be read or parsed counts as a registry without keys; it is kept beside
// the original as "<file>.corrupt" before anything writes over it.
#pragma once

#include <filesystem>
#include <string>

#include "platform/portable/registry_store.h"

namespace serix::portable {

class FileRegistry final : public RegistryStore {
 public:
  explicit FileRegistry(std::filesystem::path file);

  bool CreateKey(std::string_view path) override;
  bool KeyExists(std::string_view path) override;
  std::optional<RegistryValue> GetValue(std::string_view path, std::string_view name) override;
  bool SetValue(std::string_view path, std::string_view name, RegistryValue value) override;
  void DeleteValue(std::string_view path, std::string_view name) override;
  void DeleteKey(std::string_view path) override;
  RegistryValues Values(std::string_view path) override;

  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
};

// The file the command line uses: serix/registry in $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path DefaultRegistryFile();

}  // namespace serix::portable
