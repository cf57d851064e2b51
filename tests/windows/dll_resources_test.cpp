// The module's string table and version block as the host application reads them: the file
// loaded as data, strings through LoadStringA, the version block through the version API.
// Nothing more and nothing less than the table the module is built from.
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "dll_checks.h"
#include "resources/string_table.h"
#include "win32_version_block.h"

namespace serix::wintest {
namespace {

constexpr WORD kEnglishUnitedStates = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kCodePage1252 = 1252;
constexpr std::uint32_t kStringsPerBlock = 16;
const auto kStringType = MAKEINTRESOURCEA(6);    // RT_STRING
const auto kVersionType = MAKEINTRESOURCEA(16);  // RT_VERSION

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::set<std::uint32_t>*>(names)->insert(
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(name)));
  }
  return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
  return TRUE;
}

std::vector<WORD> LanguagesOf(HMODULE module, LPCSTR type, std::uint32_t name) {
  std::vector<WORD> languages;
  EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(name), &CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

void CheckStringTable(Checker& checker, HMODULE module) {
  std::set<std::uint32_t> expectedBlocks;
  for (const resources::StringEntry& entry : resources::kStringTable) {
    expectedBlocks.insert(entry.id / kStringsPerBlock + 1);
  }
  std::set<std::uint32_t> blocks;
  EnumResourceNamesA(module, kStringType, &CollectName, reinterpret_cast<LONG_PTR>(&blocks));
  checker.True(blocks == expectedBlocks, "string blocks are those of the table's ids");

  // Every id of every block: the table's text, or nothing.
  for (const std::uint32_t block : blocks) {
    checker.True(LanguagesOf(module, kStringType, block) == std::vector<WORD>{kEnglishUnitedStates},
                 "strings in English (United States) only");
    for (std::uint32_t id = (block - 1) * kStringsPerBlock; id < block * kStringsPerBlock; ++id) {
      char text[4096];
      const int length = LoadStringA(module, id, text, sizeof text);
      checker.Equal(resources::FindString(id),
                    std::string_view(text, static_cast<std::size_t>(std::max(length, 0))),
                    [&] { return "string " + std::to_string(id); });
    }
  }
}

void CheckVersionBlock(Checker& checker, HMODULE module, const char* path) {
  checker.True(LanguagesOf(module, kVersionType, 1) == std::vector<WORD>{kEnglishUnitedStates},
               "one version block, English (United States)");

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  std::vector<char> data(size);
  if (!checker.True(size > 0 && GetFileVersionInfoA(path, 0, size, data.data()),
                    "the version API reads the block")) {
    return;
  }
  void* value = nullptr;
  UINT length = 0;
  if (checker.True(
          VerQueryValueA(data.data(), "\\", &value, &length) && length == sizeof(VS_FIXEDFILEINFO),
          "fixed file information")) {
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
    checker.EqualNumber(VS_FFI_SIGNATURE, fixed.dwSignature, "fixed information signature");
    checker.EqualNumber(0x00010000, fixed.dwFileVersionMS, "file version 1.0");
    checker.EqualNumber(0, fixed.dwFileVersionLS, "file version .0.0");
    checker.EqualNumber(0, fixed.dwProductVersionMS, "product version 0.0");
    checker.EqualNumber(0, fixed.dwProductVersionLS, "product version .0.0");
    checker.EqualNumber(VFT_DLL, fixed.dwFileType, "file type DLL");
  }
  if (checker.True(
          VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length) && length == 4,
          "exactly one translation")) {
    const auto* translation = static_cast<const WORD*>(value);
    checker.EqualNumber(kEnglishUnitedStates, translation[0], "translation language");
    checker.EqualNumber(kCodePage1252, translation[1], "translation code page");
  }

  std::vector<std::string> names = host::VersionStringNames(data.data(), data.size(), "040904E4");
  std::vector<std::string> expectedNames;
  for (const resources::VersionField& field : resources::kVersionFields) {
    expectedNames.emplace_back(field.name);
    const std::string query = "\\StringFileInfo\\040904E4\\" + std::string(field.name);
    const bool found = VerQueryValueA(data.data(), query.c_str(), &value, &length) && length > 0;
    checker.Equal(field.value,
                  found ? std::string_view(static_cast<const char*>(value), length - 1)
                        : std::string_view("(missing)"),
                  [&] { return "version field " + std::string(field.name); });
  }
  std::sort(names.begin(), names.end());
  std::sort(expectedNames.begin(), expectedNames.end());
  checker.True(names == expectedNames, "the string fields are exactly the six of the table");
}

}  // namespace

void CheckModuleResources(Checker& checker, const char* modulePath) {
  const HMODULE module = LoadLibraryExA(modulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!checker.True(module != nullptr, "the module loads as data")) return;
  CheckStringTable(checker, module);
  CheckVersionBlock(checker, module, modulePath);
  FreeLibrary(module);
}

}  // namespace serix::wintest
