#include "platform/portable/file_registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "platform/portable/registry_file_format.h"

namespace serix::portable {
namespace {

namespace fs = std::filesystem;

// A file descriptor that closes itself.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&&) = delete;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and tells whether the close succeeded; a failed close can hide a failed write.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

fs::path WithSuffix(const fs::path& file, const char* suffix) {
  fs::path result = file;
  result += suffix;
  return result;
}

fs::path DirectoryOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

int OpenRetrying(const fs::path& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// flock on "<file>.lock", which outlives every rename of the file itself, so that writers in
// other processes queue behind one another and readers never meet half of a change. The
// lock ends with the descriptor, also when the process dies.
std::optional<FileDescriptor> LockRegistry(const fs::path& file, int operation) {
  FileDescriptor lock(OpenRetrying(WithSuffix(file, ".lock"), O_RDWR | O_CREAT, 0600));
  if (!lock.valid()) return std::nullopt;
  int result;
  do {
    result = ::flock(lock.get(), operation);
  } while (result != 0 && errno == EINTR);
  if (result != 0) return std::nullopt;
  return lock;
}

enum class FileState { kMissing, kRead, kUnreadable };

struct FileBytes {
  FileState state = FileState::kMissing;
  std::string bytes;
};

FileBytes ReadWholeFile(const fs::path& file) {
  FileDescriptor fd(OpenRetrying(file, O_RDONLY));
  if (!fd.valid()) return {errno == ENOENT ? FileState::kMissing : FileState::kUnreadable, {}};
  FileBytes read{FileState::kRead, {}};
  char chunk[8192];
  while (true) {
    const ssize_t count = ::read(fd.get(), chunk, sizeof chunk);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      return {FileState::kUnreadable, {}};
    }
    read.bytes.append(chunk, static_cast<std::size_t>(count));
  }
  return read;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

bool SyncDirectory(const fs::path& directory) {
  FileDescriptor fd(OpenRetrying(directory, O_RDONLY | O_DIRECTORY));
  return fd.valid() && ::fsync(fd.get()) == 0;
}

// Replaces target with bytes so that a reader, or a crash at any moment, finds either the
// old file whole or the new one whole: a temporary file beside it, flushed to the disk, then
// renamed over it, and the directory flushed so that the rename itself lasts. Only the
// holder of the exclusive lock calls this, so one temporary name serves.
bool ReplaceFile(const fs::path& target, std::string_view bytes) {
  const fs::path temporary = WithSuffix(target, ".tmp");
  FileDescriptor fd(OpenRetrying(temporary, O_WRONLY | O_CREAT | O_TRUNC, 0600));
  if (!fd.valid()) return false;
  const bool written = WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && fd.Close();
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return SyncDirectory(DirectoryOf(target));
}

struct Snapshot {
  RegistryKeys keys;
  FileBytes file;
  bool damaged = false;  // the file exists but could not be read or parsed
};

Snapshot TakeSnapshot(const fs::path& file) {
  Snapshot snapshot;
  snapshot.file = ReadWholeFile(file);
  if (snapshot.file.state == FileState::kRead) {
    if (auto keys = ParseRegistryFile(snapshot.file.bytes)) {
      snapshot.keys = std::move(*keys);
    } else {
      snapshot.damaged = true;
    }
  } else if (snapshot.file.state == FileState::kUnreadable) {
    snapshot.damaged = true;
  }
  return snapshot;
}

// Every key of the file, read under a shared lock. Without a lock file (a directory that is
// missing or not writable) the read goes ahead unlocked: renames keep the file whole anyway.
RegistryKeys ReadKeys(const fs::path& file) {
  const auto lock = LockRegistry(file, LOCK_SH);
  return TakeSnapshot(file).keys;
}

// Applies change to the keys the file holds now and writes the result back, all under the
// exclusive lock. change answers whether it changed anything; when it did not, the file is
// left as it is. A damaged file is copied to "<file>.corrupt" before it is replaced, and one
// that cannot even be read is not replaced at all.
bool UpdateKeys(const fs::path& file, const std::function<bool(RegistryKeys&)>& change) {
  std::error_code ignored;
  fs::create_directories(DirectoryOf(file), ignored);
  const auto lock = LockRegistry(file, LOCK_EX);
  if (!lock) return false;
  Snapshot snapshot = TakeSnapshot(file);
  if (!change(snapshot.keys)) return true;
  if (snapshot.damaged) {
    if (snapshot.file.state != FileState::kRead) return false;
    if (!ReplaceFile(WithSuffix(file, ".corrupt"), snapshot.file.bytes)) return false;
  }
  return ReplaceFile(file, EncodeRegistryFile(snapshot.keys));
}

}  // namespace

FileRegistry::FileRegistry(std::filesystem::path file) : file_(std::move(file)) {}

bool FileRegistry::CreateKey(std::string_view path) {
  return UpdateKeys(file_, [path](RegistryKeys& keys) {
    return keys.emplace(std::string(path), RegistryValues{}).second;
  });
}

bool FileRegistry::KeyExists(std::string_view path) {
  const RegistryKeys keys = ReadKeys(file_);
  return keys.find(path) != keys.end();
}

std::optional<RegistryValue> FileRegistry::GetValue(std::string_view path, std::string_view name) {
  const RegistryKeys keys = ReadKeys(file_);
  const auto key = keys.find(path);
  if (key == keys.end()) return std::nullopt;
  const auto value = key->second.find(name);
  if (value == key->second.end()) return std::nullopt;
  return value->second;
}

bool FileRegistry::SetValue(std::string_view path, std::string_view name, RegistryValue value) {
  return UpdateKeys(file_, [&](RegistryKeys& keys) {
    auto key = keys.find(path);
    if (key == keys.end()) key = keys.emplace(std::string(path), RegistryValues{}).first;
    const auto existing = key->second.find(name);
    if (existing == key->second.end()) {
      key->second.emplace(std::string(name), std::move(value));
    } else if (existing->second == value) {
      return false;
    } else {
      // The name keeps the spelling it was created with, as on Windows.
      existing->second = std::move(value);
    }
    return true;
  });
}

void FileRegistry::DeleteValue(std::string_view path, std::string_view name) {
  UpdateKeys(file_, [&](RegistryKeys& keys) {
    const auto key = keys.find(path);
    if (key == keys.end()) return false;
    const auto value = key->second.find(name);
    if (value == key->second.end()) return false;
    key->second.erase(value);
    return true;
  });
}

void FileRegistry::DeleteKey(std::string_view path) {
  UpdateKeys(file_, [&](RegistryKeys& keys) {
    const auto key = keys.find(path);
    if (key == keys.end()) return false;
    keys.erase(key);
    return true;
  });
}

RegistryValues FileRegistry::Values(std::string_view path) {
  RegistryKeys keys = ReadKeys(file_);
  const auto key = keys.find(path);
  return key == keys.end() ? RegistryValues{} : std::move(key->second);
}

std::filesystem::path DefaultRegistryFile() {
  fs::path configHome;
  // A relative XDG_CONFIG_HOME is not valid and is ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    configHome = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    configHome = fs::path(home) / ".config";
  } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir) {
    configHome = fs::path(user->pw_dir) / ".config";
  } else {
    configHome = ".config";
  }
  return configHome / "serix" / "registry";
}

}  // namespace serix::portable
