// The registry functions a loaded module imports, called as the module calls them: a store that
// cannot be used answers as Windows does when its own storage fails, as where the plug-in is
// linked in, and never throws into the module.
#include "dll_imports.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "failing_store.h"
#include "platform/portable/emulated_windows.h"

namespace serix::testing {
namespace {

using Dword = std::uint32_t;
using Long = std::int32_t;
using CreateKeyProc = Long(__attribute__((stdcall)) *)(Dword, const char*, Dword*);
using CloseKeyProc = Long(__attribute__((stdcall)) *)(Dword);
using QueryValueProc = Long(__attribute__((stdcall)) *)(Dword, const char*, Dword*, Dword*,
                                                        std::uint8_t*, Dword*);
using SetValueProc = Long(__attribute__((stdcall)) *)(Dword, const char*, Dword, Dword,
                                                      const std::uint8_t*, Dword);

template <typename Proc>
Proc Imported(const char* name) {
  return reinterpret_cast<Proc>(host::dll::ImportedAddress("ADVAPI32.dll", name));
}

TEST(DllImports, AStoreThatCannotBeUsedAnswersAsWindowsOwnStorageFailing) {
  host::dll::ResetServices();
  FailingStore store;
  portable::CurrentServices().registry = &store;
  const auto createKey = Imported<CreateKeyProc>("RegCreateKeyA");
  const auto closeKey = Imported<CloseKeyProc>("RegCloseKey");
  const auto queryValue = Imported<QueryValueProc>("RegQueryValueExA");
  const auto setValue = Imported<SetValueProc>("RegSetValueExA");
  constexpr Dword kCurrentUser = 0x80000001;

  Dword key = 0;
  ASSERT_EQ(createKey(kCurrentUser, "Software\\Serix", &key), 0);
  Dword type = 0;
  std::uint8_t data[4] = {};
  Dword size = sizeof data;
  EXPECT_EQ(queryValue(key, "Version", nullptr, &type, data, &size),
            portable::kErrorRegistryIoFailed);
  EXPECT_EQ(setValue(key, "Version", 0, kTypeNumber, data, sizeof data),
            portable::kErrorRegistryIoFailed);
  EXPECT_EQ(closeKey(key), 0);
  store.failKeys = true;
  EXPECT_EQ(createKey(kCurrentUser, "Software\\Serix", &key), platform::kErrorAccessDenied);
  EXPECT_EQ(portable::OpenKeyCount(), 0);
  EXPECT_EQ(portable::CurrentServices().storeFailure, FailingStore::kWhy);
  portable::ResetServices();
}

}  // namespace
}  // namespace serix::testing
