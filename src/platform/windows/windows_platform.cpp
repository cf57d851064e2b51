// The platform seam on Windows: the registry under HKEY_CURRENT_USER, the module's string
// table, the simple beep, task-modal message boxes and the system's millisecond counter.
#include <windows.h>

#include "platform/platform.h"

namespace serix::platform {
namespace {

HKEY ToHkey(RegistryKey key) {
  return reinterpret_cast<HKEY>(key);
}

}  // namespace

std::int32_t CreateUserKey(const char* path, RegistryKey& key) {
  HKEY created = nullptr;
  const LONG status = RegCreateKeyA(HKEY_CURRENT_USER, path, &created);
  if (status != ERROR_SUCCESS) return status;
  key = reinterpret_cast<RegistryKey>(created);
  return kErrorSuccess;
}

void CloseKey(RegistryKey key) {
  RegCloseKey(ToHkey(key));
}

std::int32_t QueryValue(RegistryKey key, const char* name, std::uint32_t& type, unsigned char* data,
                        std::uint32_t& size) {
  DWORD valueType = 0;
  DWORD valueSize = size;
  const LONG status = RegQueryValueExA(ToHkey(key), name, nullptr, &valueType, data, &valueSize);
  type = valueType;
  size = valueSize;
  return status;
}

std::int32_t SetValue(RegistryKey key, const char* name, std::uint32_t type,
                      const unsigned char* data, std::uint32_t size) {
  return RegSetValueExA(ToHkey(key), name, 0, type, data, size);
}

int LoadModuleString(ModuleInstance module, std::uint32_t id, char* buffer, int bufferSize) {
  return LoadStringA(static_cast<HINSTANCE>(module), id, buffer, bufferSize);
}

void SimpleBeep() {
  MessageBeep(0xFFFFFFFF);
}

void ShowTaskModalMessage(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_TASKMODAL);
}

std::uint32_t MillisecondCounter() {
  return GetTickCount();
}

}  // namespace serix::platform
