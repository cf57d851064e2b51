// The host's platform where the plug-in is linked into the process (natively and in
// WebAssembly), steered through the portable platform's control surface
// (platform/portable/services.h). The user's own store is the front end's (user_registry.h).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ios>
#include <iostream>
#include <memory>
#include <streambuf>
#include <system_error>
#include <utility>

#include "host_platform.h"
#include "linked_plugin.h"
#include "platform/portable/services.h"
#include "resources/string_table.h"
#include "settings/prefs_record.h"
#include "user_registry.h"

namespace serix::host {
namespace {

using portable::CurrentServices;

// The registry chosen by OpenRegistry. Reloading the plug-in resets the portable services,
// which forget it, so LoadPlugin points them back at it.
struct ChosenRegistry {
  std::unique_ptr<portable::RegistryStore> store;
  std::string location;
  std::function<bool(const std::string&)> ownsFile;  // UserRegistry::ownsFile
};

ChosenRegistry& Chosen() {
  static ChosenRegistry chosen;
  return chosen;
}

portable::RegistryStore& Store() {
  return *CurrentServices().registry;
}

// Runs work on the store; a store that cannot be used answers false and says why.
template <typename Work>
bool Guarded(std::string& why, Work&& work) {
  try {
    work();
    return true;
  } catch (const portable::RegistryStoreError& error) {
    why = error.what();
    return false;
  }
}

void ApplyChosenRegistry() {
  if (Chosen().store) CurrentServices().registry = Chosen().store.get();
}

// Standard input read from its descriptor: input that has not come yet on a non-blocking
// descriptor (a producer that set O_NONBLOCK on a shared pipe) is waited for, and a read that
// fails (a directory, a closed descriptor) throws std::ios_base::failure with the system's
// reason, as the library's own file buffer does.
class StandardInput final : public std::streambuf {
 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    while (true) {
      const ssize_t got = ::read(STDIN_FILENO, buffer_, sizeof buffer_);
      if (got > 0) {
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(*gptr());
      }
      if (got == 0) return traits_type::eof();
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd waiting{STDIN_FILENO, POLLIN, 0};
        ::poll(&waiting, 1, -1);
        continue;
      }
      throw std::ios_base::failure("cannot read standard input",
                                   std::error_code(errno, std::system_category()));
    }
  }

 private:
  char buffer_[65536];
};

}  // namespace

PlatformCapabilities Capabilities() {
  return {.platform = "posix",
          .clock = true,
          .deny = true,
          .beeps = true,
          .openCount = true,
          .memoryRegistry = true};
}

bool OpenRegistry(const RegistryChoice& choice, std::string& why) {
  ChosenRegistry& chosen = Chosen();
  if (choice.kind == RegistryKind::kUser) {
    UserRegistry user = OpenUserRegistry(choice.file, why);
    if (!user.store) return false;
    chosen.location = std::move(user.location);
    chosen.ownsFile = std::move(user.ownsFile);
    chosen.store = std::move(user.store);
  } else {
    chosen.location = "memory";
    chosen.ownsFile = nullptr;
    chosen.store = std::make_unique<portable::MemoryRegistry>();
  }
  ApplyChosenRegistry();
  return true;
}

bool IsRegistryFile(const std::string& file) {
  return Chosen().ownsFile && Chosen().ownsFile(file);
}

namespace {

bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

bool WriteWholeFile(const std::string& file, std::string_view bytes, std::string& why) {
  const auto failed = [&](int error) {
    why = "cannot write " + file + " (" + std::strerror(error != 0 ? error : EIO) + ")";
    return false;
  };
  struct stat info {};
  const bool exists = ::stat(file.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (descriptor < 0) return failed(errno);
    const bool written = WriteAll(descriptor, bytes);
    const int error = errno;
    ::close(descriptor);
    return written || failed(error);
  }
  std::error_code unresolved;
  const std::string target = exists ? std::filesystem::canonical(file, unresolved).string() : file;
  if (unresolved) return failed(unresolved.value());
  std::string fresh = target + ".XXXXXX";
  const int descriptor = ::mkstemp(fresh.data());
  if (descriptor < 0) return failed(errno);
  // The replacement keeps the old file's permissions; a new file gets the usual ones.
  mode_t mode = info.st_mode & 07777;
  if (!exists) {
    mode = ::umask(0);
    ::umask(mode);
    mode = 0666 & ~mode;
  }
  const bool written =
      ::fchmod(descriptor, mode) == 0 && WriteAll(descriptor, bytes) && ::fsync(descriptor) == 0;
  int error = errno;
  const bool closed = ::close(descriptor) == 0;
  if (written && !closed) error = errno;
  if (written && closed && ::rename(fresh.c_str(), target.c_str()) == 0) return true;
  if (written && closed) error = errno;
  ::unlink(fresh.c_str());
  return failed(error);
}

std::string PrefsKeyLocation() {
  std::string location = std::string("HKEY_CURRENT_USER\\") + kPrefsKeyPath;
  if (!Chosen().location.empty()) location += " (in " + Chosen().location + ")";
  return location;
}

std::optional<PluginModule> LoadPlugin(std::string_view file, std::string& why) {
  if (!file.empty()) {
    why = "this serix-host has the plug-in linked in and loads no module file";
    return std::nullopt;
  }
  ReloadLinkedPlugin();
  ApplyChosenRegistry();
  return LinkedPlugin();
}

void ShutdownPlatform() {
  ReloadLinkedPlugin();
  Chosen() = ChosenRegistry{};
}

void PrepareStandardStreams() {
  // A reader that has gone makes writes fail with EPIPE, reported like any failed write.
  ::signal(SIGPIPE, SIG_IGN);
  static StandardInput input;
  std::cin.rdbuf(&input);
  // A standard descriptor that was closed is held by /dev/null opened the wrong way round, so
  // that using it still fails and no file opened later (the registry) can take its place.
  for (const int fd : {0, 1, 2}) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int held = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
      if (held >= 0 && held != fd) {
        ::dup2(held, fd);
        ::close(held);
      }
    }
  }
}

std::map<std::uint32_t, std::string> ModuleStrings(const PluginModule& /*plugin*/) {
  std::map<std::uint32_t, std::string> strings;
  for (const resources::StringEntry& entry : resources::kStringTable) {
    strings.emplace(entry.id, std::string(entry.text));
  }
  return strings;
}

std::optional<VersionBlock> ModuleVersion(const PluginModule& /*plugin*/, std::string& /*why*/) {
  VersionBlock block;
  for (const resources::VersionField& field : resources::kVersionFields) {
    block.fields.emplace_back(std::string(field.name), std::string(field.value));
  }
  block.fileVersion = resources::kFileVersionNumbers;
  block.productVersion = resources::kProductVersionNumbers;
  return block;
}

bool ReadPrefsKey(PrefsKeyState& state, std::string& why) {
  return Guarded(why, [&] {
    std::optional<portable::RegistryValues> values = Store().ReadKey(kPrefsKeyPath);
    state = PrefsKeyState{};
    state.exists = values.has_value();
    if (values) {
      state.values.reserve(values->size());
      for (auto& [name, value] : *values) {
        state.values.emplace_back(name, StoredValue{value.type, std::move(value.bytes)});
      }
    }
    state.openHandles = CurrentServices().openKeys;
  });
}

bool WritePrefsValue(std::string_view name, const StoredValue& value, std::string& why) {
  return Guarded(why, [&] { Store().SetValue(kPrefsKeyPath, name, {value.type, value.bytes}); });
}

bool DeletePrefsValue(std::string_view name, bool& existed, std::string& why) {
  return Guarded(why, [&] { existed = Store().DeleteValue(kPrefsKeyPath, name); });
}

bool DeletePrefsKey(std::string& why) {
  return Guarded(why, [&] { Store().DeleteKey(kPrefsKeyPath); });
}

bool ApplyPrefsChanges(const std::vector<PrefsChange>& changes, std::string& why) {
  if (changes.empty()) return true;
  std::vector<portable::RegistryChange> storeChanges;
  storeChanges.reserve(changes.size());
  for (const PrefsChange& change : changes) {
    std::optional<portable::RegistryValue> value;
    if (change.value) value = portable::RegistryValue{change.value->type, change.value->bytes};
    storeChanges.push_back({change.name, std::move(value)});
  }
  return Guarded(why, [&] { Store().ApplyChanges(kPrefsKeyPath, storeChanges); });
}

bool DenyRegistry(RegistryDenial denial, std::string& /*why*/) {
  portable::Services& services = CurrentServices();
  services.denyCreate = denial == RegistryDenial::kCreate;
  services.denyWrite = denial == RegistryDenial::kWrite;
  return true;
}

bool SetClock(std::uint32_t milliseconds, std::string& /*why*/) {
  CurrentServices().clockMilliseconds = milliseconds;
  return true;
}

void BeginPluginCall() {
  portable::Services& services = CurrentServices();
  services.alerts.clear();
  services.beeps = 0;
  services.storeFailure.clear();
}

PluginCallEffects EndPluginCall() {
  portable::Services& services = CurrentServices();
  PluginCallEffects effects;
  for (portable::Alert& alert : services.alerts) {
    effects.messages.push_back({std::move(alert.caption), std::move(alert.text), {}});
  }
  effects.beeps = services.beeps;
  effects.registryFailure = std::move(services.storeFailure);
  services.alerts.clear();
  services.beeps = 0;
  services.storeFailure.clear();
  return effects;
}

}  // namespace serix::host
