#include "session_protocol.h"

#include <cstdint>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "byte_text.h"
#include "function_names.h"
#include "host_platform.h"
#include "terminal_text.h"
#include "value_name.h"

namespace serix::host {
namespace {

using Json = nlohmann::json;
// Responses keep their fields in the order the protocol lists them.
using Response = nlohmann::ordered_json;

// A request the host cannot honour; its message becomes the response's "error".
class RequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Refuse(const std::string& message) {
  throw RequestError(message);
}

// A text for a response whatever it holds: one line, control bytes escaped, bytes as code
// points; a long one keeps its beginning and its end, where the cause usually is.
std::string ResponseText(std::string_view text) {
  constexpr std::size_t kKept = 2048;
  std::string line;
  const auto append = [&line](std::string_view part) {
    for (const char c : part) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte == 0x7F) {
        line += EscapedByte(byte);
      } else {
        line += c;
      }
    }
  };
  if (text.size() <= 2 * kKept) {
    append(text);
  } else {
    append(text.substr(0, kKept));
    line += " ... ";
    append(text.substr(text.size() - kKept));
  }
  return BytesToCodePoints(line);
}

std::string ErrorLine(std::string_view message) {
  Response response;
  response["error"] = ResponseText(message);
  return response.dump(-1, ' ', true);
}

// Arrays and objects nested too deeply, or more values than any request needs, both counted
// outside strings before parsing, so that pathological shapes never reach the parser (a line
// of empty objects would cost far more memory than its bytes).
std::optional<std::string> ShapeFault(std::string_view line) {
  constexpr std::size_t kMaxValues = std::size_t{1} << 18;
  int depth = 0;
  std::size_t values = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : line) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxRequestDepth) {
        return "request nested more than " + std::to_string(kMaxRequestDepth) + " levels deep";
      }
      ++values;
    } else if (c == ']' || c == '}') {
      --depth;
    } else if (c == ',') {
      ++values;
    }
    if (values > kMaxValues) {
      return "request holds more than " + std::to_string(kMaxValues) + " values";
    }
  }
  return std::nullopt;
}

Json ParseRequest(std::string_view line) {
  if (line.size() > kMaxRequestLength) Refuse("request longer than 16 MiB");
  if (const std::optional<std::string> fault = ShapeFault(line)) Refuse(*fault);
  Json request;
  try {
    request = Json::parse(line.begin(), line.end());
  } catch (const Json::exception& error) {
    // "[json.exception.parse_error.101] parse error at ...": the bracketed tag says nothing.
    std::string_view reason = error.what();
    if (const auto tagEnd = reason.find("] "); tagEnd != std::string_view::npos) {
      reason.remove_prefix(tagEnd + 2);
    }
    Refuse("not valid JSON: " + std::string(reason));
  }
  if (!request.is_object()) Refuse("a request must be a JSON object");
  return request;
}

const Json* Find(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

const Json& Need(const Json& object, const char* name, std::string_view op) {
  const Json* value = Find(object, name);
  if (value == nullptr) {
    Refuse("\"" + std::string(op) + "\" needs \"" + name + "\"");
  }
  return *value;
}

std::int64_t WholeNumber(const Json& value, const std::string& what, std::int64_t least,
                         std::int64_t most) {
  const std::string range = what + " must be a whole number from " + std::to_string(least) +
                            " to " + std::to_string(most);
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(most)) Refuse(range);
    if (static_cast<std::int64_t>(number) < least) Refuse(range);
    return static_cast<std::int64_t>(number);
  }
  if (!value.is_number_integer()) Refuse(range);
  const auto number = value.get<std::int64_t>();
  if (number < least || number > most) Refuse(range);
  return number;
}

std::string Bytes(const Json& value, const std::string& what) {
  if (!value.is_string()) Refuse(what + " must be a text");
  std::optional<std::string> bytes = CodePointsToBytes(value.get_ref<const std::string&>());
  if (!bytes) Refuse(what + " holds a code point above 255");
  return std::move(*bytes);
}

std::string ValueName(const Json& value) {
  std::string name = Bytes(value, "a value name");
  if (!IsCarriableValueName(name)) {
    Refuse("the value name \"" + name + "\" " + std::string(kNotCarriableValueName));
  }
  return name;
}

std::string OptionalBytes(const Json& request, const char* name) {
  const Json* value = Find(request, name);
  return value == nullptr ? std::string() : Bytes(*value, std::string("\"") + name + "\"");
}

bool IsTrue(const Json& value) {
  return value.is_boolean() && value.get<bool>();
}

Response Messages(const std::vector<ShownMessage>& messages) {
  Response list = Response::array();
  for (const ShownMessage& message : messages) {
    Response shown;
    shown["caption"] = BytesToCodePoints(message.caption);
    shown["text"] = BytesToCodePoints(message.text);
    // Only a box shown wrongly carries it, so that it fails every expectation of the box.
    if (!message.defect.empty()) shown["defect"] = BytesToCodePoints(message.defect);
    list.push_back(std::move(shown));
  }
  return list;
}

// Initialise and other events show no message boxes; should one appear all the same, it is
// reported rather than lost.
void AddUnexpectedMessages(Response& response, const PluginCallEffects& effects) {
  if (!effects.messages.empty()) response["alerts"] = Messages(effects.messages);
}

Response Capabilities() {
  const PlatformCapabilities capabilities = host::Capabilities();
  Response response;
  response["platform"] = std::string(capabilities.platform);
  response["clock"] = capabilities.clock;
  response["deny"] = capabilities.deny;
  response["beeps"] = capabilities.beeps;
  response["open"] = capabilities.openCount;
  return response;
}

Response Initialise(Session& session, const Json& request) {
  const auto version = static_cast<std::int16_t>(
      WholeNumber(Need(request, "version", "initialise"), "\"version\"", INT16_MIN, INT16_MAX));
  BeginPluginCall();
  const std::int32_t answer = session.host().Initialise(version);
  const PluginCallEffects effects = EndPluginCall();
  Response response;
  response["answer"] = answer;
  AddUnexpectedMessages(response, effects);
  return response;
}

Response Event(Session& session, const Json& request) {
  const auto kind =
      static_cast<std::uint8_t>(WholeNumber(Need(request, "kind", "event"), "\"kind\"", 0, 255));
  if (kind == static_cast<std::uint8_t>(CallKind::kExternalFunction)) {
    Refuse("call kind 3 runs a function: send {\"op\":\"function\"}");
  }
  std::int16_t version = 0;
  if (const Json* value = Find(request, "version")) {
    version = static_cast<std::int16_t>(WholeNumber(*value, "\"version\"", INT16_MIN, INT16_MAX));
  }
  BeginPluginCall();
  const EventOutcome outcome = session.host().Event(kind, version);
  const PluginCallEffects effects = EndPluginCall();
  Response response;
  response["result_field"] = outcome.resultField;
  response["block_unchanged"] = outcome.blockUnchanged;
  AddUnexpectedMessages(response, effects);
  return response;
}

std::uint32_t FunctionIndex(const Session& session, const Json& request) {
  const Json* name = Find(request, "name");
  const Json* index = Find(request, "index");
  if (name != nullptr && index != nullptr) Refuse("give \"name\" or \"index\", not both");
  if (index != nullptr) {
    return static_cast<std::uint32_t>(WholeNumber(*index, "\"index\"", 0, UINT32_MAX));
  }
  if (name == nullptr) Refuse("\"function\" needs \"name\" or \"index\"");
  const std::string text = Bytes(*name, "\"name\"");
  const std::optional<std::uint32_t> found = FindFunction(session.functionNames(), text);
  if (!found) {
    Refuse("no function named \"" + text + "\"; the plug-in has " +
           JoinNames(session.functionNames()));
  }
  return *found;
}

Fault ReadFault(const Json& plan) {
  if (!plan.is_object()) Refuse("\"fail\" must be an object");
  Fault fault;
  const Json& callback = Need(plan, "callback", "fail");
  if (callback == "setHandleSize") {
    fault.callback = FaultyCallback::kSetHandleSize;
  } else if (callback == "lockHandle") {
    fault.callback = FaultyCallback::kLockHandle;
  } else {
    Refuse("\"callback\" must be \"setHandleSize\" or \"lockHandle\"");
  }
  const Json& handle = Need(plan, "handle", "fail");
  if (handle == "argument") {
    fault.handle = HandleRole::kArgument;
  } else if (handle == "result") {
    fault.handle = HandleRole::kResult;
  } else {
    Refuse("\"handle\" must be \"argument\" or \"result\"");
  }
  fault.nth = static_cast<int>(WholeNumber(Need(plan, "nth", "fail"), "\"nth\"", 1, INT32_MAX));
  return fault;
}

Response Function(Session& session, const Json& request) {
  const std::uint32_t index = FunctionIndex(session, request);
  const std::string argument = OptionalBytes(request, "arg");
  const std::string resultBefore = OptionalBytes(request, "result");
  std::optional<Fault> fault;
  if (const Json* plan = Find(request, "fail")) fault = ReadFault(*plan);

  BeginPluginCall();
  const FunctionOutcome outcome = session.host().CallFunction(index, argument, resultBefore, fault);
  const PluginCallEffects effects = EndPluginCall();

  Response response;
  response["result"] = BytesToCodePoints(outcome.result);
  response["touched"] = outcome.touched;
  response["alerts"] = Messages(effects.messages);
  if (host::Capabilities().beeps) response["beeps"] = effects.beeps;
  response["locked"] = outcome.locked;
  response["trace"] = outcome.trace;
  if (outcome.overrun) response["overrun"] = true;
  return response;
}

Response Strings(const Session& session) {
  Response strings = Response::object();
  for (const auto& [id, text] : ModuleStrings(session.plugin())) {
    strings[std::to_string(id)] = BytesToCodePoints(text);
  }
  Response response;
  response["strings"] = std::move(strings);
  return response;
}

Response Version(const Session& session) {
  std::string why;
  const std::optional<VersionBlock> block = ModuleVersion(session.plugin(), why);
  if (!block) Refuse(why);
  Response response;
  for (const auto& [name, text] : block->fields) {
    response[BytesToCodePoints(name)] = BytesToCodePoints(text);
  }
  response["file_version"] = block->fileVersion;
  response["product_version"] = block->productVersion;
  return response;
}

// A REG_SZ with exactly one zero, at its end, reads as its text; a REG_DWORD of four bytes as
// its number; anything else as its type and bytes.
Response ValueForResponse(const StoredValue& value) {
  const std::string& bytes = value.bytes;
  if (value.type == kTypeText && !bytes.empty() && bytes.find('\0') == bytes.size() - 1) {
    return BytesToCodePoints(std::string_view(bytes).substr(0, bytes.size() - 1));
  }
  if (value.type == kTypeNumber && bytes.size() == 4) {
    std::uint32_t number = 0;
    for (int at = 3; at >= 0; --at) {
      number = (number << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(at)]);
    }
    return number;
  }
  Response raw;
  raw["type"] = value.type;
  raw["bytes"] = BytesToCodePoints(bytes);
  return raw;
}

StoredValue ValueFromRequest(const Json& value, const std::string& what) {
  if (value.is_string()) return {kTypeText, Bytes(value, what) + '\0'};
  const std::int64_t number = WholeNumber(value, what, INT32_MIN, UINT32_MAX);
  auto bits = static_cast<std::uint32_t>(number);
  std::string bytes(4, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(bits & 0xFF);
    bits >>= 8;
  }
  return {kTypeNumber, bytes};
}

void Check(bool done, const std::string& why) {
  if (!done) Refuse(why);
}

Response Ok() {
  Response response;
  response["ok"] = true;
  return response;
}

// One request, one transaction: every change or, saying so, none.
Response Apply(const std::vector<PrefsChange>& changes) {
  std::string why;
  if (!ApplyPrefsChanges(changes, why)) Refuse(why + "; nothing was changed");
  return Ok();
}

Response RegistryGet() {
  PrefsKeyState state;
  std::string why;
  Check(ReadPrefsKey(state, why), why);
  Response values = Response::object();
  // Appended, not looked up: an ordered object finds a name by walking all it holds, and the
  // registry's names are distinct already.
  auto& entries = values.get_ref<Response::object_t&>();
  entries.reserve(state.values.size());
  for (const auto& [name, value] : state.values) {
    entries.emplace_back(BytesToCodePoints(name), ValueForResponse(value));
  }
  Response response;
  response["key"] = state.exists;
  response["values"] = std::move(values);
  if (state.openHandles) response["open"] = *state.openHandles;
  return response;
}

Response RegistrySet(const Json& values) {
  if (!values.is_object()) Refuse("\"set\" must be an object of names and values");
  // Every value is checked before any is stored, and all are stored in one transaction, so
  // that a bad request or a failed write changes nothing.
  std::vector<PrefsChange> stores;
  for (const auto& [name, value] : values.items()) {
    std::string bytes = ValueName(Json(name));  // the name's code points
    StoredValue stored = ValueFromRequest(value, "the value of \"" + bytes + "\"");
    stores.push_back({std::move(bytes), std::move(stored)});
  }
  return Apply(stores);
}

Response RegistrySetRaw(const Json& raw) {
  if (!raw.is_object()) Refuse("\"set_raw\" must be an object with name, type and bytes");
  const std::string name = ValueName(Need(raw, "name", "set_raw"));
  const StoredValue value{static_cast<std::uint32_t>(
                              WholeNumber(Need(raw, "type", "set_raw"), "\"type\"", 0, UINT32_MAX)),
                          Bytes(Need(raw, "bytes", "set_raw"), "\"bytes\"")};
  std::string why;
  Check(WritePrefsValue(name, value, why), why);
  return Ok();
}

Response RegistryDelete(const Json& names) {
  if (!names.is_array()) Refuse("\"delete\" must be a list of value names");
  std::vector<PrefsChange> deletions;
  for (const Json& name : names) deletions.push_back({Bytes(name, "a value name"), {}});
  return Apply(deletions);
}

Response RegistryDeny(const Json& denial) {
  RegistryDenial chosen = RegistryDenial::kNone;
  if (denial == "create") {
    chosen = RegistryDenial::kCreate;
  } else if (denial == "write") {
    chosen = RegistryDenial::kWrite;
  } else if (denial != "none") {
    Refuse("\"deny\" must be \"create\", \"write\" or \"none\"");
  }
  std::string why;
  Check(DenyRegistry(chosen, why), why);
  return Ok();
}

Response Registry(const Json& request) {
  static constexpr const char* kActions[] = {"get",    "set",        "set_raw",
                                             "delete", "delete_key", "deny"};
  const char* action = nullptr;
  int actions = 0;
  for (const char* candidate : kActions) {
    if (Find(request, candidate) == nullptr) continue;
    action = candidate;
    ++actions;
  }
  if (actions != 1) {
    Refuse("a registry request needs exactly one of get, set, set_raw, delete, delete_key, deny");
  }
  const Json& argument = *Find(request, action);
  const std::string_view chosen = action;
  if (chosen == "get") {
    if (!IsTrue(argument)) Refuse("\"get\" must be true");
    return RegistryGet();
  }
  if (chosen == "set") return RegistrySet(argument);
  if (chosen == "set_raw") return RegistrySetRaw(argument);
  if (chosen == "delete") return RegistryDelete(argument);
  if (chosen == "delete_key") {
    if (!IsTrue(argument)) Refuse("\"delete_key\" must be true");
    std::string why;
    Check(DeletePrefsKey(why), why);
    return Ok();
  }
  return RegistryDeny(argument);
}

Response Clock(const Json& request) {
  const auto milliseconds = static_cast<std::uint32_t>(
      WholeNumber(Need(request, "ms", "clock"), "\"ms\"", 0, UINT32_MAX));
  std::string why;
  Check(SetClock(milliseconds, why), why);
  return Ok();
}

Response Answer(Session& session, const Json& request) {
  const Json* op = Find(request, "op");
  if (op == nullptr) Refuse("request has no \"op\"");
  if (!op->is_string()) Refuse("\"op\" must be a text");
  const std::string& name = op->get_ref<const std::string&>();
  if (name == "capabilities") return Capabilities();
  if (name == "initialise") return Initialise(session, request);
  if (name == "event") return Event(session, request);
  if (name == "function") return Function(session, request);
  if (name == "strings") return Strings(session);
  if (name == "version") return Version(session);
  if (name == "registry") return Registry(request);
  if (name == "clock") return Clock(request);
  Refuse("unknown op \"" + name + "\"");
}

}  // namespace

Session::Session(PluginModule plugin)
    : host_(plugin), functionNames_(FunctionNames(ModuleStrings(plugin))) {}

std::string HandleRequestLine(Session& session, std::string_view line) {
  try {
    return Answer(session, ParseRequest(line)).dump(-1, ' ', true);
  } catch (const RequestError& error) {
    return ErrorLine(error.what());
  } catch (const std::exception& error) {
    return ErrorLine(std::string("the host could not answer: ") + error.what());
  }
}

SessionEnd RunSession(Session& session, std::istream& in, std::ostream& out, std::string& why) {
  std::streambuf& input = *in.rdbuf();
  std::string line;
  using Traits = std::char_traits<char>;
  // A stream buffer reports a failed read (a directory, a closed descriptor) by throwing.
  try {
    for (Traits::int_type c = input.sbumpc(); !Traits::eq_int_type(c, Traits::eof());
         c = input.sbumpc()) {
      line.clear();
      // A line longer than the limit is kept one character past it, enough to be refused.
      for (; !Traits::eq_int_type(c, Traits::eof()) && c != '\n'; c = input.sbumpc()) {
        if (line.size() <= kMaxRequestLength) line += Traits::to_char_type(c);
      }
      out << HandleRequestLine(session, line) << '\n' << std::flush;
      if (!out) return SessionEnd::kOutputFailed;
      if (Traits::eq_int_type(c, Traits::eof())) break;
    }
  } catch (const std::ios_base::failure& failure) {
    why = failure.code().value() != 0 ? failure.code().message() : failure.what();
    return SessionEnd::kInputUnreadable;
  }
  return SessionEnd::kInputEnded;
}

}  // namespace serix::host
