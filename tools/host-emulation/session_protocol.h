// The session protocol of `serix-host session`: one JSON request a line in, one JSON response
// a line out, for one loaded plug-in. Texts travel as JSON strings whose code points are the
// bytes (byte_text.h). A bad request gets {"error": "..."} and the session goes on; nothing a
// request holds makes the host fail.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "emulated_host.h"

namespace serix::host {

// A request line longer than this is answered with an error without being parsed.
inline constexpr std::size_t kMaxRequestLength = std::size_t{16} << 20;
// Arrays and objects nested deeper than this make a request an error.
inline constexpr int kMaxRequestDepth = 32;

// One loaded plug-in behind the emulated host, with the names of its functions. The platform
// (host_platform.h) must be set up first: registry opened, plug-in loaded.
class Session {
 public:
  explicit Session(PluginModule plugin);

  EmulatedHost& host() { return host_; }
  const PluginModule& plugin() const { return host_.plugin(); }
  const std::vector<std::string>& functionNames() const { return functionNames_; }

 private:
  EmulatedHost host_;
  std::vector<std::string> functionNames_;
};

// Answers one request line (without its line end) with one response line (a JSON object,
// without a line end). Never throws; meant to be fed any bytes at all, also by a fuzzer.
std::string HandleRequestLine(Session& session, std::string_view line);

// Answers every line of `in` until its end, each response flushed as soon as it is written.
// Stops at once when a response cannot be written (its reader has gone), or when `in` cannot
// be read (a directory, a closed descriptor), saying why in `why`.
enum class SessionEnd { kInputEnded, kInputUnreadable, kOutputFailed };
SessionEnd RunSession(Session& session, std::istream& in, std::ostream& out, std::string& why);

}  // namespace serix::host
