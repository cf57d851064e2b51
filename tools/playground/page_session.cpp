// The playground page's way into the plug-in: the session protocol of serix-host (docs/host.md),
// one request line in and one response line out, through one exported C function, so that the
// page asks exactly what serix-host.js and every other host answer. The session is made on the
// first request: the plug-in loaded with an empty registry in memory, as `serix-host session`
// starts; the page sends Initialise itself.
//
//   serix_request(line, size)   the response line (JSON, ASCII, ending in a zero byte) to the
//                               request line of `size` bytes (UTF-8) at `line`; valid until the
//                               next request
//   serix_facts()               the plug-in's figures that the page shows and works with, as one
//                               JSON object (ASCII, ending in a zero byte):
//     result_limit          the most characters a result holds
//     parameter_capacity    the most characters of a parameter the plug-in reads
//     longest_separator     the longest separator token the plug-in takes
//     longest_padding       the most characters "-padding" pads to
//     version_number        Serx-Version's answer to "-getversionnumber"
//     day_of_1970           the day number of 1 January 1970, the browser's calendar's day 0
//     clock                 the millisecond counter the session started with
#include <emscripten/emscripten.h>

#include <optional>
#include <string>
#include <string_view>

#include "host/parameters.h"
#include "host/version_function.h"
#include "host_platform.h"
#include "platform/portable/emulated_windows.h"
#include "range/civil_date.h"
#include "range/range_values.h"
#include "range/range_writer.h"
#include "session_json.h"
#include "session_protocol.h"
#include "settings/prefs_record.h"

namespace serix::host {
namespace {

struct PageSession {
  std::optional<Session> session;
  std::string response;
  std::string facts;
};

PageSession& Current() {
  static PageSession page;
  return page;
}

std::string Facts() {
  Response facts;
  facts["result_limit"] = kResultLimit;
  facts["parameter_capacity"] = ParameterCapacity;
  // The record holds the token and its terminating zero.
  facts["longest_separator"] = kPrefTextSize - 1;
  facts["longest_padding"] = kMaxPaddingWidth;
  facts["version_number"] = kPluginVersionNumber;
  facts["day_of_1970"] = range::DayNumberFromCivil(1970, 1, 1);
  facts["clock"] = portable::kStartingTickCount;
  return facts.dump();
}

bool Start(PageSession& page) {
  std::string why;
  if (!OpenRegistry({RegistryKind::kMemory, {}}, why)) return false;
  std::optional<PluginModule> plugin = LoadPlugin({}, why);
  if (!plugin) return false;
  page.session.emplace(*plugin);
  page.facts = Facts();
  return true;
}

bool Started() {
  PageSession& page = Current();
  if (!page.session && !Start(page)) {
    page.response = R"({"error":"the plug-in could not be loaded"})";
    return false;
  }
  return true;
}

}  // namespace
}  // namespace serix::host

extern "C" EMSCRIPTEN_KEEPALIVE const char* serix_request(const char* line, int size) {
  using namespace serix::host;
  PageSession& page = Current();
  if (Started()) {
    const std::string_view request =
        size > 0 ? std::string_view(line, static_cast<std::size_t>(size)) : std::string_view();
    page.response = HandleRequestLine(*page.session, request);
  }
  return page.response.c_str();
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* serix_facts() {
  using namespace serix::host;
  return Started() ? Current().facts.c_str() : Current().response.c_str();
}
