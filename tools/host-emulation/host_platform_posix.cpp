// The standard streams of every front end on a POSIX system (natively, in WebAssembly, and
// serix-host-dll); their whole-file writes are whole_file_posix.cpp's.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ios>
#include <iostream>
#include <streambuf>
#include <system_error>

#include "descriptor_write.h"
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

// Standard output or error written to its descriptor, so that a descriptor that another
// process made non-blocking (a shared pipe whose reader is late) is waited for rather than
// failing half way through a line.
class StandardOutput final : public std::streambuf {
 public:
  explicit StandardOutput(int descriptor) : descriptor_(descriptor) {
    setp(buffer_, buffer_ + sizeof buffer_);
  }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  // A failed write leaves errno saying why, for the message.
  int sync() override {
    const bool written =
        WriteAll(descriptor_, {pbase(), static_cast<std::size_t>(pptr() - pbase())});
    setp(buffer_, buffer_ + sizeof buffer_);
    return written ? 0 : -1;
  }

 private:
  int descriptor_;
  char buffer_[65536];
};

}  // namespace

bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd waiting{descriptor, POLLOUT, 0};
      ::poll(&waiting, 1, -1);
      continue;
    }
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void PrepareStandardStreams() {
  // A reader that has gone makes writes fail with EPIPE, reported like any failed write.
  ::signal(SIGPIPE, SIG_IGN);
  static StandardInput input;
  std::cin.rdbuf(&input);
  // Never destroyed: the library flushes std::cout once more after static objects are gone.
  std::cout.rdbuf(new StandardOutput(STDOUT_FILENO));
  std::cerr.rdbuf(new StandardOutput(STDERR_FILENO));
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
