// The playground page's way into the plug-in: the session protocol of serix-host (docs/host.md),
// one request line in and one response line out, through one exported C function, so that the
// page asks exactly what serix-host.js and every other host answer. The session is made on the
// first request: the plug-in loaded with an empty registry in memory, as `serix-host session`
// starts; the page sends Initialise itself.
//
//   serix_request(line, size)   the response line (JSON, ASCII, ending in a zero byte) to the
//                               request line of `size` bytes (UTF-8) at `line`; valid until the
//                               next request
#include <emscripten/emscripten.h>

#include <optional>
#include <string>
#include <string_view>

#include "host_platform.h"
#include "session_protocol.h"

namespace serix::host {
namespace {

struct PageSession {
  std::optional<Session> session;
  std::string response;
};

PageSession& Current() {
  static PageSession page;
  return page;
}

bool Start(PageSession& page) {
  std::string why;
  if (!OpenRegistry({RegistryKind::kMemory, {}}, why)) return false;
  std::optional<PluginModule> plugin = LoadPlugin({}, why);
  if (!plugin) return false;
  page.session.emplace(*plugin);
  return true;
}

}  // namespace
}  // namespace serix::host

extern "C" EMSCRIPTEN_KEEPALIVE const char* serix_request(const char* line, int size) {
  using namespace serix::host;
  PageSession& page = Current();
  if (!page.session && !Start(page)) {
    page.response = R"({"error":"the plug-in could not be loaded"})";
  } else {
    const std::string_view request =
        size > 0 ? std::string_view(line, static_cast<std::size_t>(size)) : std::string_view();
    page.response = HandleRequestLine(*page.session, request);
  }
  return page.response.c_str();
}
