// The playground page's way into the plug-in: the plug-in's own code and the host emulation
// that serix-host uses, behind a few C functions that the page calls through the WebAssembly
// module. The page computes nothing itself; every result, message box and registry value it
// shows comes from here.
//
//   serix_start()                     loads the plug-in with an empty registry in memory and
//                                     sends Initialise, as the host application does
//   serix_call(name, arg, size)       calls a function by name with the argument's bytes:
//                                     1 when the plug-in wrote a result, 0 when it left the
//                                     result untouched, -1 when there is no such function
//   serix_result() / _size()          the result's bytes
//   serix_message_count()             message boxes the last call showed, each with
//   serix_message_caption(i) / _size  its caption
//   serix_message_text(i) / _size     and its text
//   serix_registry_set_text(name, text, size)   stores a REG_SZ value (terminating zero
//                                     added), as a .reg file or regedit would
//   serix_registry_text(name)         a REG_SZ value without its zero: 1 when there is one,
//                                     its bytes in serix_bytes() / _size()
//   serix_reg_file(name)              the preference key's value `name` as a REGEDIT4 file,
//                                     in serix_bytes() / _size(); 0 when there is no such value
//   serix_date_text(day, order, sep)  a day number written as the plug-in writes dates
//                                     (order 1 month first, 2 day first), in serix_bytes()
//   serix_read_value(text)            a start, step or end text read as the plug-in reads it
//   serix_day_number(y, m, d)         the day number of a calendar date, by the plug-in's own
//                                     calendar (for dates picked on the page); 0 for no date
//
// Texts are bytes (the plug-in's Windows-1252), passed with their sizes. The clock moves on
// ten seconds before every call, so each try stands for a moment of its own and the range
// warning, shown at most once in five seconds, is shown whenever the call asks for it.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "emulated_host.h"
#include "function_names.h"
#include "host_platform.h"
#include "range/civil_date.h"
#include "range/range_values.h"
#include "regedit4.h"

namespace serix::host {
namespace {

constexpr std::int16_t kInterfaceVersion = 4;
constexpr std::uint32_t kMillisecondsBetweenTries = 10000;

struct Playground {
  std::optional<EmulatedHost> host;
  std::vector<std::string> functionNames;
  std::uint32_t clockMilliseconds = 600000;
  FunctionOutcome outcome;
  PluginCallEffects effects;
  std::string bytes;  // the answer of the last query
};

Playground& Current() {
  static Playground playground;
  return playground;
}

std::string_view Bytes(const char* data, int size) {
  return size > 0 ? std::string_view(data, static_cast<std::size_t>(size)) : std::string_view();
}

int Size(std::string_view text) {
  return static_cast<int>(text.size());
}

const ShownMessage* Message(int index) {
  const std::vector<ShownMessage>& messages = Current().effects.messages;
  if (index < 0 || static_cast<std::size_t>(index) >= messages.size()) return nullptr;
  return &messages[static_cast<std::size_t>(index)];
}

std::optional<RegistryValue> ReadValue(std::string_view name) {
  PrefsKeyState key;
  std::string why;
  if (!ReadPrefsKey(key, why)) return std::nullopt;
  for (auto& [valueName, value] : key.values) {
    if (valueName == name) return std::move(value);
  }
  return std::nullopt;
}

}  // namespace
}  // namespace serix::host

using namespace serix::host;

extern "C" {

EMSCRIPTEN_KEEPALIVE int serix_start() {
  Playground& playground = Current();
  std::string why;
  if (!OpenRegistry({RegistryKind::kMemory, {}}, why)) return -1;
  std::optional<PluginModule> plugin = LoadPlugin({}, why);
  if (!plugin) return -1;
  playground.functionNames = FunctionNames(ModuleStrings(*plugin));
  playground.host.emplace(*plugin);
  BeginPluginCall();
  const std::int32_t answer = playground.host->Initialise(kInterfaceVersion);
  playground.effects = EndPluginCall();
  return answer;
}

EMSCRIPTEN_KEEPALIVE int serix_call(const char* name, const char* argument, int size) {
  Playground& playground = Current();
  if (!playground.host) return -1;
  const std::optional<std::uint32_t> index = FindFunction(playground.functionNames, name);
  if (!index) return -1;
  playground.clockMilliseconds += kMillisecondsBetweenTries;
  std::string unused;
  SetClock(playground.clockMilliseconds, unused);
  BeginPluginCall();
  playground.outcome = playground.host->CallFunction(*index, Bytes(argument, size));
  playground.effects = EndPluginCall();
  return playground.outcome.touched ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const char* serix_result() {
  return Current().outcome.result.data();
}

EMSCRIPTEN_KEEPALIVE int serix_result_size() {
  return Size(Current().outcome.result);
}

EMSCRIPTEN_KEEPALIVE int serix_message_count() {
  return static_cast<int>(Current().effects.messages.size());
}

EMSCRIPTEN_KEEPALIVE const char* serix_message_caption(int index) {
  const ShownMessage* message = Message(index);
  return message ? message->caption.data() : "";
}

EMSCRIPTEN_KEEPALIVE int serix_message_caption_size(int index) {
  const ShownMessage* message = Message(index);
  return message ? Size(message->caption) : 0;
}

EMSCRIPTEN_KEEPALIVE const char* serix_message_text(int index) {
  const ShownMessage* message = Message(index);
  return message ? message->text.data() : "";
}

EMSCRIPTEN_KEEPALIVE int serix_message_text_size(int index) {
  const ShownMessage* message = Message(index);
  return message ? Size(message->text) : 0;
}

EMSCRIPTEN_KEEPALIVE int serix_registry_set_text(const char* name, const char* text, int size) {
  std::string why;
  return WritePrefsValue(name, serix::RegistryValue::Text(Bytes(text, size)), why) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int serix_registry_text(const char* name) {
  std::optional<serix::RegistryValue> value = ReadValue(name);
  if (!value || value->type != serix::kTypeText) return 0;
  std::string& text = value->bytes;
  const std::size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  Current().bytes = std::move(text);
  return 1;
}

EMSCRIPTEN_KEEPALIVE int serix_reg_file(const char* name) {
  std::optional<serix::RegistryValue> value = ReadValue(name);
  if (!value) return 0;
  std::string text;
  std::string why;
  if (!WriteRegedit4({{std::string(name), std::move(*value)}}, text, why)) return 0;
  Current().bytes = std::move(text);
  return 1;
}

EMSCRIPTEN_KEEPALIVE int serix_date_text(std::int32_t day, int order, int separator) {
  if (order != serix::kDateOrderMonthFirst && order != serix::kDateOrderDayFirst) return 0;
  char text[serix::kMaxDateLength];
  const int length = serix::FormatRangeDate(day, order, static_cast<char>(separator), text);
  Current().bytes.assign(text, static_cast<std::size_t>(length));
  return 1;
}

EMSCRIPTEN_KEEPALIVE std::int32_t serix_read_value(const char* text) {
  std::int32_t value = 0;
  return serix::ParseRangeValue(text, value);
}

// Years from 1 to 275760, as a browser's date field offers them, give day numbers far inside
// 32 bits; anything else is held at the limits.
EMSCRIPTEN_KEEPALIVE std::int32_t serix_day_number(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1 || day > serix::range::DaysInMonth(year, month)) return 0;
  const std::int64_t number = serix::range::DayNumberFromCivil(year, month, day);
  if (number > INT32_MAX) return INT32_MAX;
  if (number < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(number);
}

EMSCRIPTEN_KEEPALIVE const char* serix_bytes() {
  return Current().bytes.data();
}

EMSCRIPTEN_KEEPALIVE int serix_bytes_size() {
  return Size(Current().bytes);
}

}  // extern "C"
