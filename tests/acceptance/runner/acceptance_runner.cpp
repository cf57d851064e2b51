// serix-acceptance: runs one case file of the acceptance suite against a host in session mode.
//
//   serix-acceptance [--timeout SECONDS] FILE -- HOST_COMMAND [ARGS...]
//
// The host command is started once for the file (for instance `serix-host session`, or `wine
// serix-host.exe session --scratch-registry`) and asked for its capabilities first. Each line
// of the file is one entry, sent in order; blank lines and lines starting with "#" are skipped:
//
//   {"request": {...}, "expect": {...}}      a request, and what the response must hold
//   {"send": "TEXT", "expect": {...}}        a raw line, for requests that are not valid JSON
//   "needs": "clock" (or a list)             skip the entry unless the host has these
//                                            capabilities: clock, deny, beeps, open,
//                                            read_range
//   "calculation": {"4-6": "TEXT", ...}      what the playground page shows as the call's
//                                            calculation for each FileMaker Pro version (its
//                                            browser tests read it; not here)
//
// Matching rules and macros: expectations.h. Fields that only some hosts give ("beeps",
// "open") are dropped from an expectation when the host says it lacks them. Every mismatch is
// reported with its line number; the exit status is 0 when there was none, 1 otherwise, 2 when
// the file or the host could not be run.
//
// Linux only: the host runs as a child process on two pipes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "expectations.h"

extern char** environ;

namespace serix::acceptance {
namespace {

// A failure that ends the run of the file.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class HostProcess {
 public:
  HostProcess(const std::vector<std::string>& command, int timeoutSeconds)
      : timeoutMs_(timeoutSeconds * 1000) {
    int toHost[2];
    int fromHost[2];
    if (pipe2(toHost, O_CLOEXEC) != 0 || pipe2(fromHost, O_CLOEXEC) != 0) {
      throw RunError(std::string("pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toHost[0]);
    close(fromHost[1]);
    toHost_ = toHost[1];
    fromHost_ = fromHost[0];
    if (spawned != 0) {
      throw RunError("cannot start " + command.front() + ": " + std::strerror(spawned));
    }
  }
  ~HostProcess() {
    CloseInput();
    if (fromHost_ >= 0) close(fromHost_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  void Send(const std::string& line) {
    const std::string data = line + '\n';
    std::size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t written = write(toHost_, data.data() + sent, data.size() - sent);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) throw RunError("the host stopped reading its input");
      sent += static_cast<std::size_t>(written);
    }
  }

  // The next line of output, without its line end (and without a CR before it); none at the
  // end of the output.
  std::optional<std::string> ReadLine() {
    for (;;) {
      if (const auto end = buffered_.find('\n'); end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      if (ended_) {
        if (buffered_.empty()) return std::nullopt;
        return std::exchange(buffered_, std::string());
      }
      pollfd wait{fromHost_, POLLIN, 0};
      const int ready = poll(&wait, 1, timeoutMs_);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) throw RunError("the host did not answer within the time allowed");
      char chunk[65536];
      const ssize_t got = read(fromHost_, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        ended_ = true;
      } else {
        buffered_.append(chunk, static_cast<std::size_t>(got));
      }
    }
  }

  void CloseInput() {
    if (toHost_ >= 0) close(toHost_);
    toHost_ = -1;
  }

  // The exit status, after the host has ended its output.
  int Wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  }

 private:
  pid_t pid_ = -1;
  int toHost_ = -1;
  int fromHost_ = -1;
  int timeoutMs_;
  std::string buffered_;
  bool ended_ = false;
};

struct Capabilities {
  std::set<std::string> present;  // clock, deny, beeps, open
  std::string platform;
};

Json ParseResponse(const std::string& line) {
  Json response = Json::parse(line, nullptr, false);
  if (response.is_discarded()) throw RunError("the host answered with something not JSON: " + line);
  return response;
}

Capabilities AskCapabilities(HostProcess& host) {
  host.Send(R"({"op":"capabilities"})");
  const std::optional<std::string> line = host.ReadLine();
  if (!line) throw RunError("the host ended without answering the capabilities request");
  const Json response = ParseResponse(*line);
  if (!response.is_object() || !response.contains("platform")) {
    throw RunError("the host did not say its capabilities: " + *line);
  }
  Capabilities capabilities;
  capabilities.platform = response.value("platform", "");
  for (const char* name : {"clock", "deny", "beeps", "open", "read_range"}) {
    if (response.value(name, false)) capabilities.present.insert(name);
  }
  return capabilities;
}

std::vector<std::string> Needs(const Json& entry) {
  if (!entry.contains("needs")) return {};
  const Json& needs = entry.at("needs");
  if (needs.is_string()) return {needs.get<std::string>()};
  if (needs.is_array()) return needs.get<std::vector<std::string>>();
  throw std::invalid_argument("\"needs\" is a capability or a list of them");
}

struct Tally {
  int sent = 0;
  int skipped = 0;
  int mismatches = 0;
};

class FileRun {
 public:
  FileRun(std::string file, HostProcess& host, Capabilities capabilities)
      : file_(std::move(file)), host_(host), capabilities_(std::move(capabilities)) {}

  Tally Run() {
    std::ifstream in(file_);
    if (!in) throw RunError("cannot read " + file_);
    std::string text;
    int lineNumber = 0;
    while (std::getline(in, text)) {
      ++lineNumber;
      const auto first = text.find_first_not_of(" \t\r");
      if (first == std::string::npos || text[first] == '#') continue;
      RunEntry(lineNumber, text);
    }
    FinishHost();
    return tally_;
  }

 private:
  // A mismatch at a line of the file, or (line 0) of the run as a whole.
  void Report(int lineNumber, const std::string& what) {
    std::cout << file_;
    if (lineNumber > 0) std::cout << ':' << lineNumber;
    std::cout << ": " << what << '\n';
    ++tally_.mismatches;
  }

  void RunEntry(int lineNumber, const std::string& text) {
    Json entry = Json::parse(text, nullptr, false);
    if (!entry.is_object()) throw RunError(Where(lineNumber) + "an entry is one JSON object");
    for (const auto& [key, value] : entry.items()) {
      if (key != "request" && key != "send" && key != "expect" && key != "needs" &&
          key != "calculation") {
        throw RunError(Where(lineNumber) + "unknown entry field \"" + key + "\"");
      }
    }
    if (entry.contains("request") == entry.contains("send") || !entry.contains("expect")) {
      throw RunError(Where(lineNumber) + "an entry has \"request\" or \"send\", and \"expect\"");
    }
    try {
      for (const std::string& need : Needs(entry)) {
        if (need != "clock" && need != "deny" && need != "beeps" && need != "open" &&
            need != "read_range") {
          throw std::invalid_argument("unknown capability \"" + need + "\"");
        }
        if (!capabilities_.present.contains(need)) {
          ++tally_.skipped;
          return;
        }
      }
      const Json request =
          ExpandMacros(entry.contains("request") ? entry["request"] : entry["send"]);
      Json expected = ExpandMacros(entry["expect"]);
      for (const char* optional : {"beeps", "open"}) {
        if (!capabilities_.present.contains(optional)) expected.erase(optional);
      }
      const std::string line =
          request.is_string() ? request.get<std::string>() : request.dump(-1, ' ', true);
      if (line.find('\n') != std::string::npos) {
        throw std::invalid_argument("a line sent cannot hold a line end");
      }
      host_.Send(line);
      ++tally_.sent;
      const std::optional<std::string> answer = host_.ReadLine();
      if (!answer) throw RunError(Where(lineNumber) + "the host ended without answering");
      const Json response = ParseResponse(*answer);
      for (const std::string& wide : WideTexts(response)) {
        Report(lineNumber, wide + " holds a code point above 255");
      }
      for (const std::string& mismatch : Mismatches(expected, response)) {
        Report(lineNumber, mismatch);
      }
    } catch (const std::invalid_argument& error) {
      throw RunError(Where(lineNumber) + error.what());
    }
  }

  void FinishHost() {
    host_.CloseInput();
    while (const std::optional<std::string> extra = host_.ReadLine()) {
      Report(0, "the host wrote a line no request asked for: " + *extra);
    }
    if (const int status = host_.Wait(); status != 0) {
      Report(0, "the host ended with exit status " + std::to_string(status) + ", not 0");
    }
  }

  std::string Where(int lineNumber) const {
    return file_ + ":" + std::to_string(lineNumber) + ": ";
  }

  std::string file_;
  HostProcess& host_;
  Capabilities capabilities_;
  Tally tally_;
};

int Usage() {
  std::cerr << "usage: serix-acceptance [--timeout SECONDS] FILE -- HOST_COMMAND [ARGS...]\n";
  return 2;
}

int Main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  int timeoutSeconds = 120;
  std::size_t at = 0;
  if (at + 1 < words.size() && words[at] == "--timeout") {
    try {
      timeoutSeconds = std::stoi(words[at + 1]);
    } catch (const std::exception&) {
      return Usage();
    }
    at += 2;
  }
  if (at + 2 >= words.size() || words[at + 1] != "--" || timeoutSeconds <= 0) return Usage();
  const std::string file = words[at];
  const std::vector<std::string> command(words.begin() + static_cast<long>(at) + 2, words.end());

  signal(SIGPIPE, SIG_IGN);
  try {
    HostProcess host(command, timeoutSeconds);
    Capabilities capabilities = AskCapabilities(host);
    const Tally tally = FileRun(file, host, capabilities).Run();
    std::cout << file << ": " << tally.sent << " requests to a " << capabilities.platform
              << " host, " << tally.skipped << " skipped, " << tally.mismatches << " mismatches\n";
    return tally.mismatches == 0 ? 0 : 1;
  } catch (const RunError& error) {
    std::cout << error.what() << '\n';
    return 2;
  }
}

}  // namespace
}  // namespace serix::acceptance

int main(int argc, char** argv) {
  return serix::acceptance::Main(argc, argv);
}
