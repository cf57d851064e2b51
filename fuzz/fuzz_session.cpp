// fuzz-session: any bytes as request lines of serix-host's session protocol, on a freshly
// loaded plug-in with an empty in-memory registry per input. Every line must get exactly one
// response: one JSON object on one line, whose every text holds only code points 0 to 255
// (the bytes the protocol carries), and nothing may crash or trip a sanitizer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "byte_text.h"
#include "host_platform.h"
#include "session_protocol.h"

namespace {

constexpr int kMaxLines = 64;

[[noreturn]] void Fail(const char* what, std::string_view response) {
  std::fprintf(stderr, "fuzz-session: %s: %.*s\n", what, static_cast<int>(response.size()),
               response.data());
  std::abort();
}

// True when every string in the value, object keys included, stands for bytes.
bool TextsAreBytes(const nlohmann::json& value) {
  if (value.is_string()) {
    return serix::host::CodePointsToBytes(value.get_ref<const std::string&>()).has_value();
  }
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      if (!serix::host::CodePointsToBytes(key) || !TextsAreBytes(member)) return false;
    }
  }
  if (value.is_array()) {
    for (const auto& element : value) {
      if (!TextsAreBytes(element)) return false;
    }
  }
  return true;
}

void CheckResponse(std::string_view response) {
  if (response.find('\n') != std::string_view::npos) Fail("line end inside a response", response);
  const auto parsed = nlohmann::json::parse(response, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) Fail("response is no JSON object", response);
  if (!TextsAreBytes(parsed)) Fail("response text beyond code point 255", response);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace serix::host;
  std::string why;
  if (!OpenRegistry({RegistryKind::kMemory, {}}, why)) Fail("OpenRegistry", why);
  const auto plugin = LoadPlugin({}, why);
  if (!plugin) Fail("LoadPlugin", why);
  {
    Session session(*plugin);
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (int line = 0; line < kMaxLines && !input.empty(); ++line) {
      const std::size_t end = input.find('\n');
      CheckResponse(HandleRequestLine(session, input.substr(0, end)));
      input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }
  }
  ShutdownPlatform();
  return 0;
}
