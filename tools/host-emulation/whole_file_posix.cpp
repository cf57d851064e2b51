// Whole-file writes (the export) on a POSIX system. Where the name leads decides how:
//
//   a stream of this process (/dev/stdout, /dev/fd/N)   written to that descriptor, where it
//        stands, as the shell writes to it: what was written before and after stays;
//   a device or a FIFO                                   written in place;
//   a regular file, or none yet                          a new file beside it, flushed, then
//        renamed over it: on any failure, or a signal that ends the process, the old file
//        stays and the new one is removed;
//   a file whose folder lets no file be made beside it   written in place, the space taken
//        first and the ending signals held back meanwhile.
//
// Links are followed as the system follows them, also to a file not there yet.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "descriptor_write.h"
#include "host_platform.h"

namespace serix::host {
namespace {

namespace fs = std::filesystem;

constexpr int kMostLinks = 40;  // as many as the system follows
// What a person or the system sends to end a program: a closed terminal, Ctrl-C, Ctrl-\, kill.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Where the name leads.
struct Destination {
  std::string name;     // the file itself, its links followed; it need not exist
  int descriptor = -1;  // or a descriptor of this process that it reaches
};

// Follows the name's links one at a time; 0, or the error that stops it.
int Resolve(const std::string& file, Destination& destination) {
  // /dev/fd and /dev/stdout lead to /proc/PID/fd/N, or through /proc/thread-self to
  // /proc/PID/task/TID/fd/N: one table of descriptors that every thread shares.
  const fs::path process = "/proc/" + std::to_string(::getpid());
  const auto isDescriptors = [&process](const fs::path& folder) {
    return folder == process / "fd" ||
           (folder.filename() == "fd" && folder.parent_path().parent_path() == process / "task");
  };
  fs::path name = file;
  for (int link = 0; link <= kMostLinks; ++link) {
    std::error_code error;
    const fs::path folder = fs::canonical(name.has_parent_path() ? name.parent_path() : ".", error);
    if (error) return error.value();
    const std::string last = name.filename().string();
    if (isDescriptors(folder)) {
      int descriptor = -1;
      const auto [end, failed] =
          std::from_chars(last.data(), last.data() + last.size(), descriptor);
      if (failed == std::errc() && end == last.data() + last.size()) {
        destination.descriptor = descriptor;
        return 0;
      }
    }
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      destination.name = (folder / last).string();
      return 0;
    }
    const fs::path target = fs::read_symlink(name, error);
    if (error) return error.value();
    name = target.is_absolute() ? target : folder / target;
  }
  return ELOOP;
}

// The ending signals held back for the life of the object, then taken as usual.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kEndingSignals) sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &before_);
  }
  ~HeldSignals() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t before_;
};

// The temporary file that exists now, for a signal that ends the process to remove first.
char pendingName[PATH_MAX];
volatile std::sig_atomic_t pending = 0;

extern "C" void RemovePendingAndEnd(int signal) {
  if (pending != 0) ::unlink(pendingName);
  ::raise(signal);  // the default action again (SA_RESETHAND): the process ends as it would have
}

// A new file beside another, under a name that fits however long the other's is; removed
// unless renamed over the other, also when a signal ends the process meanwhile.
class TemporaryFile {
 public:
  TemporaryFile(const fs::path& beside, mode_t mode) {
    const std::string folder = beside.parent_path().string();
    long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest < 8) longest = NAME_MAX;
    std::string name = beside.filename().string();
    name.resize(std::min(name.size(), static_cast<std::size_t>(longest) - 7));
    const std::string pattern = folder + "/" + name + ".XXXXXX";
    if (pattern.size() >= sizeof pendingName) {
      errno = ENAMETOOLONG;
      return;
    }
    for (const int signal : kEndingSignals) {
      struct sigaction before {};
      ::sigaction(signal, nullptr, &before);
      if (before.sa_handler != SIG_DFL) continue;  // ignored or handled by someone else
      struct sigaction removing {};
      removing.sa_handler = RemovePendingAndEnd;
      removing.sa_flags = static_cast<int>(SA_RESETHAND | SA_NODEFER);
      ::sigaction(signal, &removing, nullptr);
      installed_[installedCount_++] = signal;
    }
    const HeldSignals held;
    std::memcpy(pendingName, pattern.c_str(), pattern.size() + 1);
    descriptor_ = ::mkostemp(pendingName, O_CLOEXEC);
    if (descriptor_ < 0) return;
    pending = 1;
    ::fchmod(descriptor_, mode);
  }
  ~TemporaryFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (pending != 0) ::unlink(pendingName);
    pending = 0;
    for (int at = 0; at < installedCount_; ++at) ::signal(installed_[at], SIG_DFL);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int descriptor() const { return descriptor_; }
  // Closes the file and puts it in the other's place; errno says why not.
  bool RenameOver(const fs::path& file) {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0 || ::rename(pendingName, file.c_str()) != 0) return false;
    pending = 0;
    return true;
  }

 private:
  int descriptor_ = -1;
  int installed_[std::size(kEndingSignals)] = {};
  int installedCount_ = 0;
};

// The rename's own record flushed too, so that the new file is there after a power cut.
void FlushFolder(const fs::path& file) {
  const int folder = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  ::fsync(folder);
  ::close(folder);
}

// Over the old bytes where it stands. The space is taken first, so that a full disk leaves the
// old file whole; `started` tells whether its bytes may have changed.
int Overwrite(const fs::path& file, std::string_view bytes, bool& started) {
  const HeldSignals held;  // Ctrl-C or kill cannot cut the file half way
  started = false;
  const int descriptor = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) return errno;
  int error =
      bytes.empty() ? 0 : ::posix_fallocate(descriptor, 0, static_cast<off_t>(bytes.size()));
  if (error == EOPNOTSUPP || error == EINVAL) error = 0;  // a file system that cannot tell
  if (error == 0) {
    started = true;
    const bool written = WriteAll(descriptor, bytes) &&
                         ::ftruncate(descriptor, static_cast<off_t>(bytes.size())) == 0 &&
                         ::fsync(descriptor) == 0;
    error = written ? 0 : errno;
  }
  if (::close(descriptor) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

bool WriteWholeFile(const std::string& file, std::string_view bytes, std::string& why) {
  const auto failed = [&](int error, const std::string& where = "") {
    why = "cannot write " + file + where + " (" + std::strerror(error != 0 ? error : EIO) + ")";
    return false;
  };
  Destination destination;
  if (const int error = Resolve(file, destination); error != 0) return failed(error);
  if (destination.descriptor >= 0) {
    return WriteAll(destination.descriptor, bytes) || failed(errno);
  }
  const fs::path name = destination.name;
  struct stat info {};
  const bool exists = ::stat(name.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (descriptor < 0) return failed(errno);
    const bool written = WriteAll(descriptor, bytes);
    const int error = errno;
    ::close(descriptor);
    return written || failed(error);
  }
  // The replacement keeps the old file's permissions; a new file gets the usual ones.
  mode_t mode = info.st_mode & 07777;
  if (!exists) {
    mode = ::umask(0);
    ::umask(mode);
    mode = 0666 & ~mode;
  }
  TemporaryFile fresh(name, mode);
  if (fresh.descriptor() < 0) {
    const int error = errno;
    const std::string folder = name.parent_path().string();
    if (!exists || (error != EACCES && error != EPERM)) {
      return failed(error, ": no file can be made in its folder " + folder);
    }
    bool started = false;
    if (const int overwritten = Overwrite(name, bytes, started); overwritten != 0) {
      return failed(overwritten, started ? ": written in place, since its folder " + folder +
                                               " lets no new file be made, and cut short"
                                         : "");
    }
    return true;
  }
  if (exists) {
    // Root replacing another user's file gives it back to that user; no one else needs to.
    [[maybe_unused]] const int owned = ::fchown(fresh.descriptor(), info.st_uid, info.st_gid);
  }
  if (!WriteAll(fresh.descriptor(), bytes) || ::fsync(fresh.descriptor()) != 0 ||
      !fresh.RenameOver(name)) {
    return failed(errno);
  }
  FlushFolder(name);
  return true;
}

}  // namespace serix::host
