// Work done in a child process as a user whom file permissions stop: when the tests run as
// root, whom they do not stop, the child hands a folder to the user nobody and becomes it.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace serix::testing {

struct ChildEnd {
  int status;        // the child's exit status, or 128 + the signal that ended it
  std::string said;  // what the work said
};

inline ChildEnd InUnprivilegedChild(const std::filesystem::path& folder,
                                    const std::function<int(std::string& said)>& work) {
  constexpr uid_t kNobody = 65534;
  int channel[2];
  if (::pipe(channel) != 0) return {-1, "no pipe"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    if (::geteuid() == 0) {
      std::error_code ignored;
      ::lchown(folder.c_str(), kNobody, kNobody);
      for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
        ::lchown(entry.path().c_str(), kNobody, kNobody);
      }
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        ::_exit(126);
      }
    }
    std::string said;
    const int status = work(said);
    for (std::size_t at = 0; at < said.size();) {
      const ssize_t written = ::write(channel[1], said.data() + at, said.size() - at);
      if (written <= 0) break;
      at += static_cast<std::size_t>(written);
    }
    ::_exit(status);
  }
  ::close(channel[1]);
  ChildEnd end{-1, {}};
  char chunk[4096];
  for (ssize_t got; (got = ::read(channel[0], chunk, sizeof chunk)) > 0;) {
    end.said.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child) {
    end.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return end;
}

}  // namespace serix::testing
