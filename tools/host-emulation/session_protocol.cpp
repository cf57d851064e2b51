#include "session_protocol.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <utility>

#include "byte_text.h"
#include "function_names.h"
#include "host_platform.h"
#include "platform/ascii_case.h"
#include "platform/registry_types.h"
#include "range/range_request.h"
#include "regedit4.h"
#include "session_json.h"
#include "terminal_text.h"

namespace serix::host {
namespace {

// A request the host cannot honour; its message becomes the response's "error". Kept whole,
// zero bytes included, where what() would end at the first.
class RequestError {
 public:
  explicit RequestError(std::string message) : message_(std::move(message)) {}
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

[[noreturn]] void Refuse(const std::string& message) {
  throw RequestError(message);
}

// A text for a response whatever it holds: one line, control bytes escaped, bytes as code
// points; a long one keeps its beginning and its end, where the cause usually is.
std::string ResponseText(std::string_view text) {
  constexpr std::size_t kKept = 2048;
  if (text.size() <= 2 * kKept) return BytesToCodePoints(ControlsEscaped(text));
  return BytesToCodePoints(ControlsEscaped(text.substr(0, kKept)) + " ... " +
                           ControlsEscaped(text.substr(text.size() - kKept)));
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
  std::string reason;
  if (!ParseJson(line, request, reason)) Refuse("not valid JSON: " + reason);
  if (!request.is_object()) Refuse("a request must be a JSON object");
  return request;
}

const Json* Find(const Json& object, std::string_view name) {
  return FindMember(object, name);
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

void Check(bool done, const std::string& why) {
  if (!done) Refuse(why);
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

Response Capabilities(Session& /*session*/, const Json& /*request*/) {
  const PlatformCapabilities capabilities = host::Capabilities();
  Response response;
  response["platform"] = std::string(capabilities.platform);
  response["clock"] = capabilities.clock;
  response["deny"] = capabilities.deny;
  response["beeps"] = capabilities.beeps;
  response["open"] = capabilities.openCount;
  response["read_range"] = capabilities.rangeReading;
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

// A name and what it stands for: the session's ops and the registry's actions with what
// answers them, and the words a field may hold.
template <typename Value>
struct Entry {
  std::string_view name;
  Value value;
};

template <typename Value, std::size_t count>
std::string Names(const Entry<Value> (&table)[count]) {
  std::string names;
  for (const Entry<Value>& entry : table) {
    names += (names.empty() ? "" : ", ") + std::string(entry.name);
  }
  return names;
}

// The value that a field's word stands for; a word not in the table names the valid ones.
template <typename Value, std::size_t count>
Value Chosen(const Json& word, const Entry<Value> (&table)[count], std::string_view field) {
  for (const Entry<Value>& entry : table) {
    if (word.is_string() && word.get_ref<const std::string&>() == entry.name) return entry.value;
  }
  // Appended, not "..." + text: GCC 12 for i686 warns wrongly (-Wrestrict) about that form.
  std::string message(1, '"');
  message.append(field).append("\" must be one of ").append(Names(table));
  Refuse(message);
}

constexpr Entry<FaultyCallback> kCallbacks[] = {{"setHandleSize", FaultyCallback::kSetHandleSize},
                                                {"lockHandle", FaultyCallback::kLockHandle}};
constexpr Entry<HandleRole> kHandles[] = {{"argument", HandleRole::kArgument},
                                          {"result", HandleRole::kResult}};
constexpr Entry<RegistryDenial> kDenials[] = {{"create", RegistryDenial::kCreate},
                                              {"write", RegistryDenial::kWrite},
                                              {"none", RegistryDenial::kNone}};

Fault ReadFault(const Json& plan) {
  if (!plan.is_object()) Refuse("\"fail\" must be an object");
  Fault fault;
  fault.callback = Chosen(Need(plan, "callback", "fail"), kCallbacks, "callback");
  fault.handle = Chosen(Need(plan, "handle", "fail"), kHandles, "handle");
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

Response ValueReading(const RangeValueReading& value) {
  Response read;
  read["text"] = BytesToCodePoints(value.text);
  read["value"] = value.value;
  if (!value.date.empty()) read["date"] = BytesToCodePoints(value.date);
  return read;
}

Response ReadRange(Session& session, const Json& request) {
  const std::string argument = OptionalBytes(request, "arg");
  RangeReading reading;
  std::string why;
  Check(ReadRangeArgument(session.host(), argument, reading, why), why);
  static constexpr const char* kDateOrders[] = {"none", "month first", "day first"};
  Response options;
  options["padding"] = reading.paddingWidth;
  options["dates"] = kDateOrders[reading.dateOrder];
  options["date_separator"] = std::string(1, reading.dateSeparator);
  options["return_at_end"] = reading.returnAtEnd;
  options["warning"] = reading.warning;
  Response response;
  response["options"] = std::move(options);
  if (reading.prefix) response["prefix"] = BytesToCodePoints(*reading.prefix);
  if (reading.start) response["start"] = ValueReading(*reading.start);
  if (reading.step) response["step"] = ValueReading(*reading.step);
  if (reading.end) response["end"] = ValueReading(*reading.end);
  if (reading.suffix) response["suffix"] = BytesToCodePoints(*reading.suffix);
  response["writes"] = reading.writes;
  if (reading.writes) response["incomplete"] = reading.incomplete;
  AddUnexpectedMessages(response, reading.effects);
  return response;
}

Response ReadParametersOf(Session& session, const Json& request) {
  const std::string argument = OptionalBytes(request, "arg");
  // No function of the plug-in reads more parameters than Serx-CreateRange.
  const auto count = static_cast<int>(
      WholeNumber(Need(request, "count", "read_parameters"), "\"count\"", 1, kRangeParameterCount));
  ParameterReading reading;
  std::string why;
  Check(ReadParameters(session.host(), argument, count, reading, why), why);
  Response parameters = Response::array();
  for (const std::string& parameter : reading.parameters) {
    parameters.push_back(BytesToCodePoints(parameter));
  }
  Response response;
  response["separator"] = BytesToCodePoints(reading.separator);
  response["parameters"] = std::move(parameters);
  AddUnexpectedMessages(response, reading.effects);
  return response;
}

Response Strings(Session& session, const Json& /*request*/) {
  Response strings = Response::object();
  for (const auto& [id, text] : ModuleStrings(session.plugin())) {
    strings[std::to_string(id)] = BytesToCodePoints(text);
  }
  Response response;
  response["strings"] = std::move(strings);
  return response;
}

Response Version(Session& session, const Json& /*request*/) {
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

// A text or a number as itself; anything else as its type and bytes.
Response ValueForResponse(const RegistryValue& value) {
  if (const std::optional<std::string_view> text = TextOf(value.type, value.bytes)) {
    return BytesToCodePoints(*text);
  }
  if (const std::optional<std::uint32_t> number = NumberOf(value.type, value.bytes)) {
    return *number;
  }
  Response raw;
  raw["type"] = value.type;
  raw["bytes"] = BytesToCodePoints(value.bytes);
  return raw;
}

RegistryValue ValueFromRequest(const Json& value, const std::string& what) {
  if (value.is_string()) return RegistryValue::Text(Bytes(value, what));
  return RegistryValue::Number(
      static_cast<std::uint32_t>(WholeNumber(value, what, INT32_MIN, UINT32_MAX)));
}

Response Ok() {
  Response response;
  response["ok"] = true;
  return response;
}

// One request, one transaction: every change or, saying so, none.
Response Apply(const std::vector<RegistryChange>& changes) {
  std::string why;
  if (!ApplyPrefsChanges(changes, why)) Refuse(why + "; nothing was changed");
  return Ok();
}

Response RegistryGet(const Json& argument) {
  if (!IsTrue(argument)) Refuse("\"get\" must be true");
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
  std::vector<RegistryChange> stores;
  for (const auto& [name, value] : values.items()) {
    std::string bytes = ValueName(Json(name));  // the name's code points
    RegistryValue stored = ValueFromRequest(value, "the value of \"" + bytes + "\"");
    stores.push_back({std::move(bytes), std::move(stored)});
  }
  return Apply(stores);
}

Response RegistrySetRaw(const Json& raw) {
  if (!raw.is_object()) Refuse("\"set_raw\" must be an object with name, type and bytes");
  const std::string name = ValueName(Need(raw, "name", "set_raw"));
  const RegistryValue value{static_cast<std::uint32_t>(WholeNumber(Need(raw, "type", "set_raw"),
                                                                   "\"type\"", 0, UINT32_MAX)),
                            Bytes(Need(raw, "bytes", "set_raw"), "\"bytes\"")};
  std::string why;
  Check(WritePrefsValue(name, value, why), why);
  return Ok();
}

Response RegistryDelete(const Json& names) {
  if (!names.is_array()) Refuse("\"delete\" must be a list of value names");
  std::vector<RegistryChange> deletions;
  for (const Json& name : names) deletions.push_back({Bytes(name, "a value name"), {}});
  return Apply(deletions);
}

// The values named, those the key holds, as a REGEDIT4 file.
Response RegistryExport(const Json& names) {
  if (!names.is_array()) Refuse("\"export\" must be a list of value names");
  std::vector<std::string> wanted;
  for (const Json& name : names) wanted.push_back(Bytes(name, "a value name"));
  PrefsKeyState state;
  std::string why;
  Check(ReadPrefsKey(state, why), why);
  // Named as set and delete name them, A to Z in either case; each once, as the key spells it.
  std::vector<std::pair<std::string, RegistryValue>> exported;
  for (const auto& value : state.values) {
    if (std::any_of(wanted.begin(), wanted.end(), [&value](const std::string& name) {
          return SameIgnoringAsciiCase(value.first, name);
        })) {
      exported.push_back(value);
    }
  }
  std::string text;
  Check(WriteRegedit4(exported, text, why), why);
  Response response;
  response["file"] = BytesToCodePoints(text);
  return response;
}

Response RegistryDeny(const Json& denial) {
  std::string why;
  Check(DenyRegistry(Chosen(denial, kDenials, "deny"), why), why);
  return Ok();
}

Response RegistryDeleteKey(const Json& argument) {
  if (!IsTrue(argument)) Refuse("\"delete_key\" must be true");
  std::string why;
  Check(DeletePrefsKey(why), why);
  return Ok();
}

// One field of the request names the action and carries its argument.
constexpr Entry<Response (*)(const Json&)> kRegistryActions[] = {
    {"get", RegistryGet},
    {"set", RegistrySet},
    {"set_raw", RegistrySetRaw},
    {"delete", RegistryDelete},
    {"delete_key", RegistryDeleteKey},
    {"deny", RegistryDeny},
    {"export", RegistryExport},
};

Response Registry(Session& /*session*/, const Json& request) {
  const Entry<Response (*)(const Json&)>* chosen = nullptr;
  int actions = 0;
  for (const auto& action : kRegistryActions) {
    if (Find(request, action.name) == nullptr) continue;
    chosen = &action;
    ++actions;
  }
  if (actions != 1) {
    Refuse("a registry request needs exactly one of " + Names(kRegistryActions));
  }
  return chosen->value(*Find(request, chosen->name));
}

Response Clock(Session& /*session*/, const Json& request) {
  const auto milliseconds = static_cast<std::uint32_t>(
      WholeNumber(Need(request, "ms", "clock"), "\"ms\"", 0, UINT32_MAX));
  std::string why;
  Check(SetClock(milliseconds, why), why);
  return Ok();
}

constexpr Entry<Response (*)(Session&, const Json&)> kOps[] = {
    {"capabilities", Capabilities},
    {"initialise", Initialise},
    {"event", Event},
    {"function", Function},
    {"read_range", ReadRange},
    {"strings", Strings},
    {"version", Version},
    {"registry", Registry},
    {"clock", Clock},
    {"read_parameters", ReadParametersOf},
};

Response Answer(Session& session, const Json& request) {
  const Json* op = Find(request, "op");
  if (op == nullptr) Refuse("request has no \"op\"; the ops are " + Names(kOps));
  if (!op->is_string()) Refuse("\"op\" must be a text: one of " + Names(kOps));
  const std::string name = Bytes(*op, "\"op\"");
  for (const auto& entry : kOps) {
    if (entry.name == name) return entry.value(session, request);
  }
  Refuse("unknown op \"" + name + "\"; the ops are " + Names(kOps));
}

}  // namespace

Session::Session(PluginModule plugin)
    : host_(plugin), functionNames_(FunctionNames(ModuleStrings(plugin))) {}

std::string HandleRequestLine(Session& session, std::string_view line) {
  try {
    return Answer(session, ParseRequest(line)).dump(-1, ' ', true);
  } catch (const RequestError& error) {
    return ErrorLine(error.message());
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
