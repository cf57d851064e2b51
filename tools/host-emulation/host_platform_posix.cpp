// The parts of the host's platform that every front end on a POSIX system shares (natively,
// in WebAssembly, and serix-host-dll): the standard streams and whole-file writes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ios>
#include <iostream>
#include <streambuf>
#include <system_error>

#include "host_platform.h"

namespace serix::host {
namespace {

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

}  // namespace serix::host
