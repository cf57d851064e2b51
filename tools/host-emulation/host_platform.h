// Everything serix-host needs from the machine it runs on, behind one narrow seam, so that the
// host builds from one source for each of its front ends:
//
//   host_platform_linked.cpp  the plug-in linked into the process, on the portable platform
//                             layer: registry in memory or the front end's own store
//                             (user_registry.h: SQLite natively, memory in WebAssembly),
//                             recorded message boxes and beeps, a clock that the host sets.
//   serix-host-windows/host_platform_win32.cpp
//                             the real Serix.fmx (LoadLibraryA, GetProcAddress), its string
//                             table (LoadStringA) and version block (the version API), the
//                             real registry (HKEY_CURRENT_USER, or a private scratch key), a
//                             thread that reads and closes the plug-in's message boxes, and
//                             the module's imports of the clock, the beep and the registry
//                             calls pointed at the host's stand-ins.
//   serix-host-dll/host_platform_dll.cpp
//                             the real Serix.fmx loaded into an i386 Linux process as Windows
//                             loads it, its imports bound to the host's stand-ins, the
//                             registry in memory.
//   host_platform_posix.cpp, whole_file_posix.cpp
//                             the standard streams and whole-file writes of every front end on
//                             a POSIX system (all but the Windows one).
//
// All text is bytes (code page 1252 on Windows), held in std::string. Functions that can fail
// return false and say why in `why`, one line meant for a person. The functions are called
// from the host's one thread, in this order: OpenRegistry and LoadPlugin (either order),
// anything else, ShutdownPlatform.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "emulated_host.h"
#include "platform/portable/emulated_windows.h"  // ShownMessage
#include "platform/registry_value.h"

namespace serix::host {

// Which optional requests of the session protocol this platform can honour.
struct PlatformCapabilities {
  std::string_view platform;    // "posix" or "win32"
  bool clock = false;           // SetClock works
  bool deny = false;            // DenyRegistry works
  bool beeps = false;           // PluginCallEffects::beeps counts the simple beeps
  bool openCount = false;       // PrefsKeyState::openHandles is known
  bool memoryRegistry = false;  // RegistryKind::kMemory works; a session's default then
  bool rangeReading = false;    // ReadRangeArgument works
};
PlatformCapabilities Capabilities();

// Where the preference key lives for this process.
enum class RegistryKind {
  // The user's own: natively an SQLite database (`file`, or DefaultRegistryFile() of
  // store_file.h when empty), on Windows the real HKEY_CURRENT_USER, in WebAssembly a
  // registry in memory.
  kUser,
  // Natively an in-memory registry that starts empty; not on Windows.
  kMemory,
  // A private registry that starts empty and is thrown away at ShutdownPlatform: on Windows
  // HKEY_CURRENT_USER redirected to a scratch key for this process; natively as kMemory.
  kScratch,
};

struct RegistryChoice {
  RegistryKind kind = RegistryKind::kUser;
  std::string file;  // kUser, natively only
};

// Points both the plug-in and the registry functions below at the chosen registry.
bool OpenRegistry(const RegistryChoice& choice, std::string& why);

// Whether writing `file` would overwrite the registry itself: natively the store's database or
// a file SQLite keeps beside it, by any name or link; never on Windows.
bool IsRegistryFile(const std::string& file);

// Whether standard output is such a file (appended to it, say), by what the descriptor is: a
// name such as /dev/stdout may lead elsewhere or nowhere. Never on Windows.
bool IsRegistryOutput();

// Writes `bytes` as the whole of `file`, its links followed (also to a file not there yet).
// A regular file is replaced: a new file beside it, flushed to disk, then renamed over it, so
// that on any failure, or a signal that ends the process, the file is as it was and the new
// one is gone; where its folder lets no file be made beside it, it is written in place. A
// stream of this process (/dev/stdout, /dev/fd/N) is written where it stands, a device or a
// FIFO in place. False, saying why ("cannot write FILE (reason)").
bool WriteWholeFile(const std::string& file, std::string_view bytes, std::string& why);

// Where the preference key is, for people: "HKEY_CURRENT_USER\Software\...", and natively the
// file or "memory" it is kept in.
std::string PrefsKeyLocation();

// Loads a fresh copy of the plug-in: module-wide state as after loading the library. `file`
// names the module to load on Windows (empty: Serix.fmx beside the host); the native host has
// the plug-in linked in and accepts only an empty name.
std::optional<PluginModule> LoadPlugin(std::string_view file, std::string& why);

// Unloads the plug-in, ends the message-box watcher and removes any scratch registry key.
void ShutdownPlatform();

// Makes standard input and output carry bytes unchanged (on Windows: binary mode, no CR added
// before LF), and makes a failed write of them fail visibly (natively: a closed pipe is an
// error, not a signal; a closed descriptor stays closed to other files; on a descriptor that
// another process made non-blocking, input not there yet and output not yet taken are waited
// for). Called once, after std::ios::sync_with_stdio.
void PrepareStandardStreams();

// The module's string table, every string by id.
std::map<std::uint32_t, std::string> ModuleStrings(const PluginModule& plugin);

// The module's version block.
struct VersionBlock {
  std::vector<std::pair<std::string, std::string>> fields;  // string fields, name and text
  std::string fileVersion;                                  // "1.0.0.0"
  std::string productVersion;                               // "0.0.0.0"
};
std::optional<VersionBlock> ModuleVersion(const PluginModule& plugin, std::string& why);

struct PrefsKeyState {
  bool exists = false;
  std::vector<std::pair<std::string, RegistryValue>> values;  // by name, in the registry's order
  std::optional<int> openHandles;                             // key handles the plug-in holds
};

// The preference key (serix::kPrefsKeyPath under the current user) and its values, read at
// one moment; false, saying why, when the registry cannot be read.
bool ReadPrefsKey(PrefsKeyState& state, std::string& why);
// Stores one value exactly as given, creating the key when missing.
bool WritePrefsValue(std::string_view name, const RegistryValue& value, std::string& why);
// Deletes one value; deleting a value that is not there succeeds and sets `existed` false.
bool DeletePrefsValue(std::string_view name, bool& existed, std::string& why);
// Deletes the key with its values; a missing key is no error.
bool DeletePrefsKey(std::string& why);

// Makes every change of the preference key (a value to store, or none to delete it), in order, or
// none: natively in one transaction of the store; on Windows one by one, and on a failure the
// values changed so far are put back as they were. A value stored creates the key when missing; no
// changes change nothing.
bool ApplyPrefsChanges(const std::vector<RegistryChange>& changes, std::string& why);

// From now on the plug-in's opening or creating of the key fails (kCreate), or its setting of
// values fails with error 5, access denied (kWrite), or neither (kNone).
enum class RegistryDenial { kNone, kCreate, kWrite };
bool DenyRegistry(RegistryDenial denial, std::string& why);

// The system's millisecond counter reads `milliseconds` from now on.
bool SetClock(std::uint32_t milliseconds, std::string& why);

// Message boxes and beeps the plug-in made during one call into it. A box counts as closed at
// once: where the plug-in is linked in it is only recorded, on Windows the watcher presses its
// OK button. Its defect is known where the host sees how the module asked for the box: on
// Windows and in serix-host-dll, which judge it by message_box_rule.h.
using portable::ShownMessage;
struct PluginCallEffects {
  std::vector<ShownMessage> messages;  // in the order shown
  int beeps = 0;                       // only when Capabilities().beeps
  // The first failure of the registry's store that the plug-in met (a busy or damaged store),
  // which it saw only as a registry error; empty when none, and on Windows.
  std::string registryFailure;
};

// How Serx-CreateRange reads an argument and whether the range it asks for is complete, from
// the plug-in's own reading and writing (src/range/range_request.h): only where the plug-in is
// linked in (Capabilities().rangeReading), since a loaded module shows nothing of its reading.
struct RangeValueReading {
  std::string text;  // the parameter as read: at most 1000 characters, up to a zero byte
  std::int32_t value = 0;
  std::string date;  // start and end written as dates, when the options ask for dates
};
struct RangeReading {
  int paddingWidth = 0;  // 0 to 100; 0 pads nothing
  int dateOrder = 0;     // 0 numbers, 1 month first, 2 day first
  char dateSeparator = '/';
  bool returnAtEnd = true;
  bool warning = false;
  // The parameters the plug-in read, in order: it stops after an empty start, step or end.
  std::optional<std::string> prefix;
  std::optional<RangeValueReading> start, step, end;
  std::optional<std::string> suffix;
  bool writes = false;      // the call writes a result (otherwise it leaves it untouched)
  bool incomplete = false;  // the range was cut to fit the result limit
  FunctionOutcome call;     // the callbacks of the reading, and its effects
  PluginCallEffects effects;
};
// The reading of `argument` by the plug-in of `host`, inside a call of Serx-CreateRange (the
// preferences read as at any call); false, saying why, where the platform cannot tell.
bool ReadRangeArgument(EmulatedHost& host, std::string_view argument, RangeReading& reading,
                       std::string& why);

// The first `count` parameters of `argument` as every function of the plug-in reads them, with
// the plug-in's own reading inside a call (the preferences read as at any call): each as it
// holds it (at most 1000 characters, up to a zero byte; empty past the argument's end), and the
// separator token it split at. Only where the plug-in is linked in, like ReadRangeArgument.
struct ParameterReading {
  std::string separator;
  std::vector<std::string> parameters;
  PluginCallEffects effects;
};
bool ReadParameters(EmulatedHost& host, std::string_view argument, int count,
                    ParameterReading& reading, std::string& why);

// Bracket every call into the plug-in: the effects reported are those made in between.
void BeginPluginCall();
PluginCallEffects EndPluginCall();

}  // namespace serix::host
