#include "win32_scratch_registry.h"

#include <windows.h>

namespace serix::host {
namespace {

constexpr char kScratchParent[] = "Software\\Serix Scratch Registries";

void DeleteKeyTree(const std::string& path) {
  RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  // Where RegDeleteTree empties the key but keeps it.
  RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

}  // namespace

bool ScratchRegistry::Start(std::string& why) {
  if (active_) return true;
  // Process id and start time: unique among the processes running now.
  path_ = std::string(kScratchParent) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(GetTickCount());
  HKEY scratch = nullptr;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &scratch, nullptr);
  if (status != ERROR_SUCCESS) {
    why = "cannot create the scratch registry key (error " + std::to_string(status) + ")";
    return false;
  }
  status = RegOverridePredefKey(HKEY_CURRENT_USER, scratch);
  // The redirection keeps its own handle of the key.
  RegCloseKey(scratch);
  if (status != ERROR_SUCCESS) {
    DeleteKeyTree(path_);
    why = "cannot redirect HKEY_CURRENT_USER (error " + std::to_string(status) + ")";
    return false;
  }
  active_ = true;
  return true;
}

void ScratchRegistry::Stop() {
  if (!active_) return;
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  DeleteKeyTree(path_);
  // The parent goes too once no other run holds a scratch key in it.
  RegDeleteKeyA(HKEY_CURRENT_USER, kScratchParent);
  active_ = false;
}

}  // namespace serix::host
