// The session protocol's decoder: one request line in, one response line out, whatever the
// line holds; the session goes on after every refusal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "byte_text.h"
#include "host_platform.h"
#include "scratch_directory.h"
#include "session_protocol.h"

namespace serix::host {
namespace {

using Json = nlohmann::json;

class HostSessionTest : public ::testing::Test {
 protected:
  HostSessionTest() {
    std::string why;
    EXPECT_TRUE(OpenRegistry({RegistryKind::kMemory, {}}, why)) << why;
    plugin_ = LoadPlugin({}, why);
    EXPECT_TRUE(plugin_.has_value()) << why;
  }
  ~HostSessionTest() override { ShutdownPlatform(); }

  // The response, parsed; fails the test when it is not one JSON object on one line.
  Json Ask(std::string_view line) {
    const std::string response = HandleRequestLine(session(), line);
    EXPECT_EQ(response.find('\n'), std::string::npos) << response;
    Json parsed = Json::parse(response, nullptr, false);
    EXPECT_TRUE(parsed.is_object()) << response;
    return parsed;
  }
  Json AskJson(const Json& request) { return Ask(std::string_view(request.dump())); }

  Session& session() {
    if (!session_) session_.emplace(*plugin_);
    return *session_;
  }

  std::optional<PluginModule> plugin_;
  std::optional<Session> session_;
};

// Each refused request answers with exactly one field, "error", and calls nothing.
TEST_F(HostSessionTest, RefusesBadRequestsAndGoesOn) {
  const std::vector<std::string> refused = {
      "",
      "   ",
      "{",
      "}",
      "nul",
      R"({"op":"function",})",
      R"("op")",
      R"([{"op":"capabilities"}])",
      R"({"op":"capabilities"} {"op":"capabilities"})",
      R"({})",
      R"({"op":"registry","set":{"A\nB":"x"}})",
      R"({"op":null})",
      R"({"op":"version ")",
      R"({"op":"initialise","version":"4"})",
      R"({"op":"initialise","version":4.0})",
      R"({"op":"initialise","version":32768})",
      R"({"op":"initialise","version":-32769})",
      R"({"op":"initialise","version":1e999})",
      R"({"op":"initialise","version":-1e999})",
      R"({"op":"initialise","version":18446744073709551616})",
      R"({"op":"event","kind":3})",
      R"({"op":"event","kind":256})",
      R"({"op":"event","kind":1,"version":-32769})",
      R"({"op":"function","index":4294967296})",
      R"({"op":"function","index":-9223372036854775808})",
      R"({"op":"function","index":18446744073709551615})",
      R"({"op":"function","name":"Serx-Nothing"})",
      R"({"op":"function","name":"Serx-Version","index":0})",
      R"({"op":"function","name":"Serx-Version","arg":"\u0100"})",
      R"({"op":"function","name":"Serx-Version","arg":"\ud83d\ude00"})",
      R"({"op":"function","name":"Serx-Version","arg":"\ud800"})",
      "{\"op\":\"function\",\"name\":\"Serx-Version\",\"arg\":\"\xFF\"}",
      "{\"op\":\"function\",\"name\":\"Serx-Version\",\"arg\":\"\xC3\"}",
      R"({"op":"function","name":"Serx-Version","fail":{"callback":"lockHandle","handle":"result","nth":0}})",
      R"({"op":"function","name":"Serx-Version","fail":{"callback":"lockHandle","handle":"result","nth":-1}})",
      R"({"op":"function","name":"Serx-Version","fail":{"callback":"memoryError","handle":"result","nth":1}})",
      R"({"op":"function","name":"Serx-Version","fail":[]})",
      R"({"op":"registry"})",
      R"({"op":"registry","get":true,"set":{}})",
      R"({"op":"registry","set":{"A":1,"B":{}}})",
      R"({"op":"registry","set_raw":{"name":"A","type":1}})",
      R"({"op":"registry","delete":["A",2]})",
      R"({"op":"registry","deny":"everything"})",
      R"({"op":"clock","ms":-1})",
      R"({"op":"clock","ms":4294967296})",
      std::string(40, '[') + std::string(40, ']'),
      std::string(1000000, '{'),
      [] {
        std::string emptyObjects = "[";
        for (int at = 0; at < 300000; ++at) emptyObjects += "{},";
        return emptyObjects + "{}]";
      }(),
      std::string(kMaxRequestLength + 1, ' '),
  };
  for (const std::string& line : refused) {
    const Json response = Ask(line);
    EXPECT_EQ(response.size(), 1u) << line.substr(0, 200) << " -> " << response.dump();
    EXPECT_TRUE(response.contains("error") && response["error"].is_string()) << line.substr(0, 200);
  }
  // Nothing refused reached the plug-in or the registry.
  EXPECT_EQ(Ask(R"({"op":"registry","get":true})"),
            Json::parse(R"({"key":false,"values":{},"open":0})"));
  EXPECT_EQ(Ask(R"({"op":"function","name":"Serx-Version","arg":"-getversionnumber"})")["result"],
            "1100");
}

TEST_F(HostSessionTest, ErrorsAreOneReadableLine) {
  const Json response = Ask("{\"op\":\"nope\r\n\t\"}");
  ASSERT_TRUE(response.contains("error"));
  const std::string error = response["error"];
  EXPECT_EQ(error.find_first_of("\r\n\t"), std::string::npos) << error;
  EXPECT_NE(Ask(R"({"op":"function","name":"Serx-Nothing"})")["error"].get<std::string>().find(
                "Serx-Version, Serx-CreateRange, Serx-Options"),
            std::string::npos);
  // Control bytes and DEL escaped, a character kept as the one character it is (the response
  // is ASCII, with \u escapes); the end of a long message, with its cause, kept.
  EXPECT_EQ(Ask(R"({"op":"x\u007f\u001b\u009b\u00e9"})")["error"],
            "unknown op \"x\\x7f\\x1b\u009b\u00e9\"; the ops are capabilities, initialise, "
            "event, function, read_range, strings, version, registry, clock, read_parameters");
  const Json longName = AskJson({{"op", "function"}, {"name", std::string(5000, 'x')}});
  EXPECT_NE(longName["error"].get<std::string>().find("Serx-Options"), std::string::npos);
}

// The bounds exactly: 32 levels of nesting and a line of 16 MiB are answered, one more of
// either is refused, and a line over the bound is refused whole, never read as its prefix.
TEST_F(HostSessionTest, BoundsAreExact) {
  const auto nested = [](int depth) {
    const auto inner = static_cast<std::size_t>(depth - 1);
    return R"({"op":"capabilities","x":)" + std::string(inner, '[') + std::string(inner, ']') + "}";
  };
  EXPECT_FALSE(Ask(nested(kMaxRequestDepth)).contains("error"));
  EXPECT_NE(Ask(nested(kMaxRequestDepth + 1))["error"].get<std::string>().find(
                "nested more than 32 levels"),
            std::string::npos);
  std::string line = R"({"op":"capabilities"})";
  line.resize(kMaxRequestLength, ' ');
  std::istringstream in(line + "\n" + line + " \n");
  std::ostringstream out;
  std::string why;
  RunSession(session(), in, out, why);
  std::istringstream lines(out.str());
  std::string first;
  std::string second;
  ASSERT_TRUE(std::getline(lines, first) && std::getline(lines, second)) << out.str();
  EXPECT_EQ(Json::parse(first)["platform"], "posix");
  EXPECT_EQ(Json::parse(second), Json::parse(R"({"error":"request longer than 16 MiB"})"));
}

TEST_F(HostSessionTest, FunctionResponseListsItsFieldsInProtocolOrder) {
  const std::string response = HandleRequestLine(
      session(), R"({"op":"function","name":"Serx-CreateRange","arg":"|Item |1|1|3|"})");
  std::vector<std::string> keys;
  const nlohmann::ordered_json ordered = nlohmann::ordered_json::parse(response);
  for (const auto& [key, value] : ordered.items()) keys.push_back(key);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"result", "touched", "alerts", "beeps", "locked", "trace"}));
  const Json parsed = Json::parse(response);
  EXPECT_EQ(parsed["result"], "Item 1\rItem 2\rItem 3\r");
  EXPECT_EQ(parsed["touched"], true);
  EXPECT_EQ(parsed["alerts"], Json::array());
  EXPECT_EQ(parsed["beeps"], 0);
  EXPECT_EQ(parsed["locked"], Json::array());
  EXPECT_EQ(parsed["trace"].back(), "setHandleSize result 21");
  EXPECT_FALSE(parsed.contains("overrun"));
}

TEST_F(HostSessionTest, BytesCrossTheProtocolUnchanged) {
  std::string prefix;
  for (int byte = 1; byte < 256; ++byte) {
    if (byte != '|') prefix += static_cast<char>(byte);
  }
  Json request = {{"op", "function"}, {"name", "Serx-CreateRange"}};
  const std::string codePoints = BytesToCodePoints(prefix);
  request["arg"] = "|" + codePoints + "|7|1|7|";
  const Json response = AskJson(request);
  EXPECT_EQ(response["result"], codePoints + "7\r");
}

TEST_F(HostSessionTest, RegistryValuesOfEveryShape) {
  ASSERT_EQ(Ask(R"({"op":"registry","set":{"Text":"t","Empty":"","Low":-1,"High":4294967295}})"),
            Json::parse(R"({"ok":true})"));
  const auto setRaw = [this](const char* name, int type, const std::string& bytes) {
    ASSERT_EQ(AskJson(Json{{"op", "registry"},
                           {"set_raw", {{"name", name}, {"type", type}, {"bytes", bytes}}}}),
              Json::parse(R"({"ok":true})"));
  };
  setRaw("NoZero", 1, "abc");
  setRaw("TwoZeros", 1, std::string("a\0b\0", 4));
  setRaw("NoBytes", 1, "");
  setRaw("ShortNumber", 4, "\x01");
  setRaw("Binary", 3, std::string("\0\x01", 2));
  const Json values = Ask(R"({"op":"registry","get":true})")["values"];
  EXPECT_EQ(values, Json::parse(R"({
      "Text":"t","Empty":"","Low":4294967295,"High":4294967295,
      "NoZero":{"type":1,"bytes":"abc"},
      "TwoZeros":{"type":1,"bytes":"a\u0000b\u0000"},
      "NoBytes":{"type":1,"bytes":""},
      "ShortNumber":{"type":4,"bytes":"\u0001"},
      "Binary":{"type":3,"bytes":"\u0000\u0001"}})"));
}

TEST_F(HostSessionTest, RefusedSetStoresNothing) {
  EXPECT_TRUE(Ask(R"({"op":"registry","set":{"A":"kept?","B":[1]}})").contains("error"));
  EXPECT_EQ(Ask(R"({"op":"registry","get":true})")["key"], false);
}

// A set of several values is one transaction: when a later value cannot be written (the store
// may not grow: a full disk), the earlier one is not changed either; and once there is room
// again the same session writes, also after a very first write that failed.
TEST_F(HostSessionTest, SeveralValuesAreStoredAllOrNone) {
  testing::ScratchDirectory scratch;
  const std::filesystem::path store = scratch.path() / "registry.db";
  std::string why;
  ASSERT_TRUE(OpenRegistry({RegistryKind::kUser, store.string()}, why)) << why;
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit unlimited = limit;
  const auto askWithin = [&](std::uintmax_t bytes, const Json& request) {
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const Json response = AskJson(request);
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    return response;
  };
  const Json first = askWithin(0, {{"op", "registry"}, {"set", {{"A", "old"}}}});
  EXPECT_NE(first.value("error", "").find("File too large); nothing was changed"),
            std::string::npos)
      << first;
  ASSERT_TRUE(Ask(R"({"op":"registry","set":{"A":"old","B":"old"}})")["ok"]);
  const Json full =
      askWithin(std::filesystem::file_size(store) + 1024,
                {{"op", "registry"}, {"set", {{"A", "new"}, {"B", std::string(1 << 20, 'x')}}}});
  EXPECT_NE(full.value("error", "").find("nothing was changed"), std::string::npos) << full;
  EXPECT_EQ(Ask(R"({"op":"registry","get":true})")["values"],
            Json::parse(R"({"A":"old","B":"old"})"));
}

TEST_F(HostSessionTest, ClockAndDenyReachThePlugin) {
  ASSERT_TRUE(Ask(R"({"op":"registry","deny":"write"})")["ok"]);
  const Json denied = Ask(R"({"op":"function","name":"Serx-Version"})");
  EXPECT_EQ(denied["alerts"].size(), 5u);  // SeparatorToken created, then four defaults
  EXPECT_EQ(denied["beeps"], 5);
  ASSERT_TRUE(Ask(R"({"op":"registry","deny":"none"})")["ok"]);
  ASSERT_TRUE(Ask(R"({"op":"clock","ms":4999})")["ok"]);  // 297 ticks: not yet past 300
  const char* incomplete =
      R"({"op":"function","name":"Serx-CreateRange","arg":"-fieldsizewarning||1|1|99999|"})";
  EXPECT_EQ(Ask(incomplete)["alerts"].size(), 0u);
  ASSERT_TRUE(Ask(R"({"op":"clock","ms":5050})")["ok"]);
  EXPECT_EQ(Ask(incomplete)["alerts"].size(), 1u);
}

TEST_F(HostSessionTest, EventReportsTheResultFieldUnsigned) {
  EXPECT_EQ(Ask(R"({"op":"event","kind":0,"version":3})"),
            Json::parse(R"({"result_field":4294967295,"block_unchanged":true})"));
  EXPECT_EQ(Ask(R"({"op":"event","kind":200})"),
            Json::parse(R"({"result_field":1592614637,"block_unchanged":true})"));
}

TEST_F(HostSessionTest, RunSessionAnswersEveryLineFlushed) {
  std::istringstream in(
      "{\"op\":\"initialise\",\"version\":4}\r\n"
      "\n"
      "garbage\n"
      "{\"op\":\"function\",\"index\":0}");  // the last line has no line end
  std::ostringstream out;
  std::string why;
  RunSession(session(), in, out, why);
  std::istringstream lines(out.str());
  std::vector<Json> responses;
  for (std::string line; std::getline(lines, line);) responses.push_back(Json::parse(line));
  ASSERT_EQ(responses.size(), 4u) << out.str();
  EXPECT_EQ(responses[0], Json::parse(R"({"answer":4})"));
  EXPECT_TRUE(responses[1].contains("error"));
  EXPECT_TRUE(responses[2].contains("error"));
  EXPECT_EQ(responses[3]["result"], "Vexa Serix Plug-In 1.1");
}

TEST_F(HostSessionTest, RunSessionRefusesAnOverlongLineAndReadsTheNext) {
  std::string input = R"({"op":"function","index":0,"arg":")";
  input.append(kMaxRequestLength, 'x');
  input += "\"}\n{\"op\":\"capabilities\"}\n";
  std::istringstream in(input);
  std::ostringstream out;
  std::string why;
  RunSession(session(), in, out, why);
  std::istringstream lines(out.str());
  std::string first;
  std::string second;
  ASSERT_TRUE(std::getline(lines, first));
  ASSERT_TRUE(std::getline(lines, second));
  EXPECT_TRUE(Json::parse(first).contains("error"));
  EXPECT_EQ(Json::parse(second)["platform"], "posix");
}

// Plug-ins that misbehave, for the host's own safety nets: one leaves the result handle
// locked, one writes a byte past the result handle's data.
void SERIX_STDCALL LeavesTheResultLocked(CallBlock* block) {
  if (block->callKind != static_cast<std::uint8_t>(CallKind::kExternalFunction)) return;
  block->lockHandle(ResultHandleOf(*block));
}

// Writes as a plug-in built without AddressSanitizer would, unchecked, so that in the
// sanitizer build too it is the host's guard bytes that notice.
__attribute__((no_sanitize("address"))) void WriteUnchecked(char* to, std::string_view bytes) {
  volatile char* out = to;
  for (const char byte : bytes) *out++ = byte;
}

void SERIX_STDCALL WritesPastTheResult(CallBlock* block) {
  if (block->callKind != static_cast<std::uint8_t>(CallKind::kExternalFunction)) return;
  const HostHandle result = ResultHandleOf(*block);
  block->setHandleSize(result, 4);
  block->lockHandle(result);
  WriteUnchecked(*result, "12345");
  block->unlockHandle(result);
}

TEST_F(HostSessionTest, SafetyNetsReportAPluginThatMisbehaves) {
  Session locking(PluginModule{&LeavesTheResultLocked, nullptr});
  const Json locked = Json::parse(HandleRequestLine(locking, R"({"op":"function","index":0})"));
  EXPECT_EQ(locked["locked"], Json::parse(R"(["result"])")) << locked;
  Session overrunning(PluginModule{&WritesPastTheResult, nullptr});
  const Json past = Json::parse(HandleRequestLine(overrunning, R"({"op":"function","index":0})"));
  EXPECT_EQ(past["overrun"], true) << past;
}

}  // namespace
}  // namespace serix::host
