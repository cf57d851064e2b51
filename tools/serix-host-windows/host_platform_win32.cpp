// The host's platform on Windows (and under Wine): the real Serix.fmx loaded with LoadLibraryA,
// its string table read with LoadStringA and its version block with the version API, the real
// registry under HKEY_CURRENT_USER or a private scratch key, a watcher thread that reads and
// closes the plug-in's message boxes, and stand-ins behind the module's imports for the clock,
// registry denial and beeps (win32_import_hooks.h).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "host_platform.h"
#include "prefs_changes.h"
#include "settings/prefs_record.h"
#include "win32_import_hooks.h"
#include "win32_message_watcher.h"
#include "win32_scratch_registry.h"
#include "win32_version_block.h"

namespace serix::host {
namespace {

constexpr char kDefaultPluginFile[] = "Serix.fmx";
constexpr char kEntryName[] = "FMExternCallProc";
// Strings are loaded through a buffer this large: the longest a string table entry can be.
constexpr int kMaxStringLength = 65535;
constexpr std::uint32_t kStringsPerBlock = 16;

struct Win32Platform {
  ScratchRegistry scratch;
  HMODULE plugin = nullptr;
  std::string pluginPath;
  HookedImports hooked;
  std::unique_ptr<MessageWatcher> watcher;
};

Win32Platform& Platform() {
  static Win32Platform platform;
  return platform;
}

std::string ErrorText(DWORD error) {
  char text[512];
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return "error " + std::to_string(error) + (message.empty() ? "" : ": " + message);
}

// Serix.fmx in the folder of serix-host.exe.
std::string DefaultPluginPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length < sizeof path ? length : 0);
  const std::size_t slash = folder.find_last_of("\\/");
  folder.resize(slash == std::string::npos ? 0 : slash + 1);
  return folder + kDefaultPluginFile;
}

void UnloadPlugin() {
  Win32Platform& platform = Platform();
  if (platform.plugin != nullptr) FreeLibrary(platform.plugin);
  platform.plugin = nullptr;
  platform.hooked = {};
}

// The preference key under the current user (redirected to the scratch key when chosen).
class PrefsKey {
 public:
  // Opens the key; with create, creates it when missing.
  PrefsKey(REGSAM access, bool create) {
    status_ = create ? RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKeyPath, 0, nullptr, 0, access,
                                       nullptr, &key_, nullptr)
                     : RegOpenKeyExA(HKEY_CURRENT_USER, kPrefsKeyPath, 0, access, &key_);
    if (status_ != ERROR_SUCCESS) key_ = nullptr;
  }
  ~PrefsKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  PrefsKey(const PrefsKey&) = delete;
  PrefsKey& operator=(const PrefsKey&) = delete;

  HKEY get() const { return key_; }
  LONG status() const { return status_; }

 private:
  HKEY key_ = nullptr;
  LONG status_ = ERROR_SUCCESS;
};

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A value's bytes exactly as stored.
std::optional<std::string> StoredBytes(HKEY key, const char* name) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::string bytes(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  bytes.resize(size);
  return bytes;
}

// A text value's bytes as RegSetValueExA was given them. The registry keeps texts in UTF-16, and
// RegQueryValueExA adds a terminating zero to a text stored without one; the UTF-16 form read
// back and turned into the code page has exactly the characters stored.
std::optional<std::string> StoredTextBytes(HKEY key, const char* name) {
  wchar_t wideName[16384];
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 16384) == 0) return std::nullopt;
  DWORD size = 0;
  if (RegQueryValueExW(key, wideName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring wide(size / sizeof(wchar_t), L'\0');
  if (RegQueryValueExW(key, wideName, nullptr, nullptr, reinterpret_cast<BYTE*>(wide.data()),
                       &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  wide.resize(size / sizeof(wchar_t));
  if (wide.empty()) return std::string();
  const auto units = static_cast<int>(wide.size());
  std::string bytes(wide.size() * 2, '\0');
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, bytes.data(),
                                         static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return bytes;
}

std::wstring Widened(std::string_view bytes) {
  if (bytes.empty()) return {};
  std::wstring wide(bytes.size(), L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                         wide.data(), static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return wide;
}

// Stores a text value with exactly the characters given, a terminating zero only if the bytes
// end with one, as RegSetValueExA does on Windows. (Wine's RegSetValueEx adds a terminator to
// every text; the native NtSetValueKey below it stores what it is given on both.)
LONG SetTextBytes(HKEY key, const std::string& name, DWORD type, std::string_view bytes) {
  struct CountedWideText {
    USHORT length;  // in bytes
    USHORT capacity;
    const wchar_t* text;
  };
  using SetValueKeyProc =
      LONG(NTAPI*)(HANDLE, const CountedWideText*, ULONG, ULONG, const void*, ULONG);
  const auto setValueKey = reinterpret_cast<SetValueKeyProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  if (setValueKey == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  const std::wstring wideName = Widened(name);
  const std::wstring text = Widened(bytes);
  const auto nameBytes = static_cast<USHORT>(wideName.size() * sizeof(wchar_t));
  const CountedWideText counted{nameBytes, nameBytes, wideName.c_str()};
  const LONG status = setValueKey(key, &counted, 0, type, text.data(),
                                  static_cast<ULONG>(text.size() * sizeof(wchar_t)));
  // An NTSTATUS: 0 is success; anything else is reported as access denied.
  return status == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

BOOL CALLBACK CollectBlockNumber(HMODULE, LPCSTR, LPSTR name, LONG_PTR blocks) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<std::uint32_t>*>(blocks)->push_back(
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(name)));
  }
  return TRUE;
}

}  // namespace

PlatformCapabilities Capabilities() {
  const HookedImports& hooked = Platform().hooked;
  return {.platform = "win32",
          .clock = hooked.clock,
          .deny = hooked.deny,
          .beeps = hooked.beeps,
          .openCount = hooked.open};
}

bool ReadRangeArgument(EmulatedHost& /*host*/, std::string_view /*argument*/,
                       RangeReading& /*reading*/, std::string& why) {
  why = "this host loads Serix.fmx and cannot see how it reads an argument";
  return false;
}

bool ReadParameters(EmulatedHost& /*host*/, std::string_view /*argument*/, int /*count*/,
                    ParameterReading& /*reading*/, std::string& why) {
  why = "this host loads Serix.fmx and cannot see how it reads an argument";
  return false;
}

bool OpenRegistry(const RegistryChoice& choice, std::string& why) {
  switch (choice.kind) {
    case RegistryKind::kScratch:
      return Platform().scratch.Start(why);
    case RegistryKind::kUser:
      if (choice.file.empty()) return true;
      why = "on Windows the registry is the real one; --registry takes no file";
      return false;
    case RegistryKind::kMemory:
      why = "on Windows there is no in-memory registry; use --scratch-registry";
      return false;
  }
  return false;
}

bool IsRegistryFile(const std::string& /*file*/) {
  return false;  // the registry's hives are no files that a user names
}

bool IsRegistryOutput() {
  return false;
}

bool WriteWholeFile(const std::string& file, std::string_view bytes, std::string& why) {
  const auto failed = [&](DWORD error) {
    char reason[256] = "the write failed";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   reason, sizeof reason, nullptr);
    std::string text(reason);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
      text.pop_back();
    }
    why = "cannot write " + file + " (" + text + ")";
    return false;
  };
  const std::string fresh = file + ".serix-new";
  const HANDLE handle = CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed(GetLastError());
  bool written = true;
  for (std::string_view rest = bytes; written && !rest.empty();) {
    DWORD done = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 20));
    written = WriteFile(handle, rest.data(), chunk, &done, nullptr) != 0 && done > 0;
    rest.remove_prefix(done);
  }
  written = written && FlushFileBuffers(handle) != 0;
  DWORD error = GetLastError();
  CloseHandle(handle);
  if (written && MoveFileExA(fresh.c_str(), file.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  if (written) error = GetLastError();
  DeleteFileA(fresh.c_str());
  return failed(error);
}

std::string PrefsKeyLocation() {
  std::string location = std::string("HKEY_CURRENT_USER\\") + kPrefsKeyPath;
  if (Platform().scratch.active()) location += " (in a scratch registry)";
  return location;
}

std::optional<PluginModule> LoadPlugin(std::string_view file, std::string& why) {
  Win32Platform& platform = Platform();
  // A fresh copy: the module's state starts as after loading.
  UnloadPlugin();
  platform.pluginPath = file.empty() ? DefaultPluginPath() : std::string(file);
  platform.plugin = LoadLibraryA(platform.pluginPath.c_str());
  if (platform.plugin == nullptr) {
    why = "cannot load " + platform.pluginPath + " (" + ErrorText(GetLastError()) + ")";
    return std::nullopt;
  }
  const FARPROC entry = GetProcAddress(platform.plugin, kEntryName);
  if (entry == nullptr) {
    why = platform.pluginPath + " exports no " + kEntryName;
    UnloadPlugin();
    return std::nullopt;
  }
  platform.hooked = HookPluginImports(platform.plugin);
  if (!platform.watcher) platform.watcher = std::make_unique<MessageWatcher>();
  return PluginModule{reinterpret_cast<EntryProc>(reinterpret_cast<void (*)()>(entry)),
                      static_cast<ModuleInstance>(platform.plugin)};
}

void ShutdownPlatform() {
  Win32Platform& platform = Platform();
  UnloadPlugin();
  platform.watcher.reset();
  platform.scratch.Stop();
}

void PrepareStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::map<std::uint32_t, std::string> ModuleStrings(const PluginModule& plugin) {
  std::map<std::uint32_t, std::string> strings;
  const auto module = static_cast<HMODULE>(plugin.instance);
  // Strings are stored in blocks of 16; block b holds the ids 16 (b - 1) to 16 b - 1.
  std::vector<std::uint32_t> blocks;
  EnumResourceNamesA(module, MAKEINTRESOURCEA(6) /* RT_STRING */, &CollectBlockNumber,
                     reinterpret_cast<LONG_PTR>(&blocks));
  auto buffer = std::make_unique<char[]>(kMaxStringLength + 1);
  for (const std::uint32_t block : blocks) {
    for (std::uint32_t id = (block - 1) * kStringsPerBlock; id < block * kStringsPerBlock; ++id) {
      const int length = LoadStringA(module, id, buffer.get(), kMaxStringLength + 1);
      if (length > 0)
        strings.emplace(id, std::string(buffer.get(), static_cast<std::size_t>(length)));
    }
  }
  return strings;
}

std::optional<VersionBlock> ModuleVersion(const PluginModule& plugin, std::string& why) {
  char path[MAX_PATH];
  const DWORD pathLength =
      GetModuleFileNameA(static_cast<HMODULE>(plugin.instance), path, sizeof path);
  if (pathLength == 0 || pathLength >= sizeof path) {
    why = "cannot find the plug-in's file";
    return std::nullopt;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  std::vector<char> data(size);
  if (size == 0 || !GetFileVersionInfoA(path, 0, size, data.data())) {
    why = std::string(path) + " has no version block";
    return std::nullopt;
  }

  VersionBlock block;
  void* value = nullptr;
  UINT valueLength = 0;
  if (VerQueryValueA(data.data(), "\\", &value, &valueLength) &&
      valueLength >= sizeof(VS_FIXEDFILEINFO)) {
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
    const auto numbers = [](DWORD high, DWORD low) {
      return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
             std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
    };
    block.fileVersion = numbers(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
    block.productVersion = numbers(fixed.dwProductVersionMS, fixed.dwProductVersionLS);
  }

  // The string table of the first translation the block names.
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &valueLength) ||
      valueLength < 4) {
    why = std::string(path) + " has a version block without a translation";
    return std::nullopt;
  }
  const auto* translation = static_cast<const WORD*>(value);
  char table[16];
  std::snprintf(table, sizeof table, "%04X%04X", translation[0], translation[1]);
  for (const std::string& name : VersionStringNames(data.data(), data.size(), table)) {
    const std::string query = std::string("\\StringFileInfo\\") + table + "\\" + name;
    std::string text;
    if (VerQueryValueA(data.data(), query.c_str(), &value, &valueLength) && valueLength > 0) {
      // The length counts the terminating zero.
      text.assign(static_cast<const char*>(value), valueLength - 1);
    }
    block.fields.emplace_back(name, std::move(text));
  }
  return block;
}

bool ReadPrefsKey(PrefsKeyState& state, std::string& why) {
  state = PrefsKeyState{};
  const PrefsKey key(KEY_READ, false);
  if (Platform().hooked.open) state.openHandles = HookedOpenKeys();
  if (key.get() == nullptr) {
    if (key.status() == ERROR_FILE_NOT_FOUND) return true;
    why = "cannot open the preference key (" + ErrorText(static_cast<DWORD>(key.status())) + ")";
    return false;
  }
  state.exists = true;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameLength = sizeof name;
    DWORD type = 0;
    if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    std::optional<std::string> bytes =
        IsTextType(type) ? StoredTextBytes(key.get(), name) : StoredBytes(key.get(), name);
    if (!bytes) continue;
    state.values.emplace_back(std::string(name, nameLength),
                              RegistryValue{type, std::move(*bytes)});
  }
  return true;
}

bool WritePrefsValue(std::string_view name, const RegistryValue& value, std::string& why) {
  const PrefsKey key(KEY_SET_VALUE, true);
  if (key.get() == nullptr) {
    why = "cannot create the preference key (" + ErrorText(static_cast<DWORD>(key.status())) + ")";
    return false;
  }
  const std::string valueName(name);
  const LONG status = IsTextType(value.type)
                          ? SetTextBytes(key.get(), valueName, value.type, value.bytes)
                          : RegSetValueExA(key.get(), valueName.c_str(), 0, value.type,
                                           reinterpret_cast<const BYTE*>(value.bytes.data()),
                                           static_cast<DWORD>(value.bytes.size()));
  if (status == ERROR_SUCCESS) return true;
  why = "cannot set " + valueName + " (" + ErrorText(static_cast<DWORD>(status)) + ")";
  return false;
}

bool DeletePrefsValue(std::string_view name, bool& existed, std::string& why) {
  existed = false;
  const PrefsKey key(KEY_SET_VALUE, false);
  if (key.get() == nullptr) return true;  // no key, no value
  const std::string valueName(name);
  const LONG status = RegDeleteValueA(key.get(), valueName.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) {
    why = "cannot delete " + valueName + " (" + ErrorText(static_cast<DWORD>(status)) + ")";
    return false;
  }
  existed = true;
  return true;
}

bool DeletePrefsKey(std::string& why) {
  const LONG status = RegDeleteTreeA(HKEY_CURRENT_USER, kPrefsKeyPath);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    why = "cannot delete the preference key (" + ErrorText(static_cast<DWORD>(status)) + ")";
    return false;
  }
  // Where RegDeleteTree empties the key but keeps it.
  RegDeleteKeyA(HKEY_CURRENT_USER, kPrefsKeyPath);
  return true;
}

bool ApplyPrefsChanges(const std::vector<RegistryChange>& changes, std::string& why) {
  return ApplyPrefsChangesOneByOne(changes, why);
}

bool DenyRegistry(RegistryDenial denial, std::string& why) {
  if (!Platform().hooked.deny) {
    why = "the loaded module's registry calls are not the host's to deny";
    return false;
  }
  DenyKeyCreation(denial == RegistryDenial::kCreate);
  DenyValueWriting(denial == RegistryDenial::kWrite);
  return true;
}

bool SetClock(std::uint32_t milliseconds, std::string& why) {
  if (!Platform().hooked.clock) {
    why = "the loaded module's clock is not the host's to set";
    return false;
  }
  SetHookedClock(milliseconds);
  return true;
}

void BeginPluginCall() {
  TakeSimpleBeeps();
  TakeMessageBoxRequests();
  if (Platform().watcher) Platform().watcher->Begin();
}

// The boxes as the watcher read them off the screen, each with what was wrong in how the
// plug-in asked for it; a box asked for but never seen, or seen but never asked for, is
// reported too.
PluginCallEffects EndPluginCall() {
  Win32Platform& platform = Platform();
  PluginCallEffects effects;
  effects.beeps = TakeSimpleBeeps();
  std::vector<ShownMessage> asked = TakeMessageBoxRequests();
  if (!platform.watcher) return effects;
  std::vector<ShownMessage> shown = platform.watcher->End();
  for (std::size_t i = 0; i < std::max(shown.size(), asked.size()); ++i) {
    if (i >= shown.size()) {
      asked[i].defect = "asked for, but never seen on the screen";
      effects.messages.push_back(std::move(asked[i]));
      continue;
    }
    ShownMessage message = std::move(shown[i]);
    if (i < asked.size()) {
      message.defect = std::move(asked[i].defect);
    } else if (platform.hooked.boxes) {
      message.defect = "not shown through the module's MessageBoxA";
    }
    effects.messages.push_back(std::move(message));
  }
  return effects;
}

}  // namespace serix::host
