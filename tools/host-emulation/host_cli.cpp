#include "host_cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>

#include "cli_operands.h"
#include "function_names.h"
#include "host_platform.h"
#include "platform/registry_types.h"
#include "regedit4.h"
#include "session_protocol.h"
#include "terminal_text.h"

namespace serix::host {
namespace {

constexpr std::int16_t kHostInterfaceVersion = 4;
constexpr const char* kExitCodes =
    "Exit status: 0 done; 1 no result (the function left the result untouched, the value to\n"
    "delete is not there, a value name that a .reg file cannot carry); 2 usage error (also a\n"
    "file that cannot be read or holds more than 16 MiB, a .reg file that cannot be imported,\n"
    "an export onto the registry itself); 3 the registry could not be used (damaged, busy,\n"
    "not readable or writable); 4 output could not be written.\n";
// Input files are read up to this size, as much as a request line of the session: far more
// than any argument or .reg file needs, and a bound on an endless one (/dev/zero).
constexpr std::size_t kMaxInputBytes = kMaxRequestLength;

struct Options {
  std::string function;
  std::string argument;
  std::string argumentFile;
  bool raw = false;
  std::string registry;
  bool scratchRegistry = false;
  std::string plugin;
  std::string valueName;
  std::string value;
  std::string transferFile;
};

// What a command runs with: the streams, and what the table's steps prepared for it.
struct Invocation {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  std::optional<PluginModule> plugin;    // loaded when the command needs the plug-in
  std::vector<RegistryChange> imported;  // read by the import before the store opens
};

// Ends the platform (unloads the plug-in, removes a scratch key) on every way out.
class PlatformScope {
 public:
  PlatformScope() = default;
  ~PlatformScope() { ShutdownPlatform(); }
  PlatformScope(const PlatformScope&) = delete;
  PlatformScope& operator=(const PlatformScope&) = delete;
};

// An empty file name is a usage error, never the default: a script whose variable is empty
// must not write to the user's own preferences or standard output instead.
CLI::Validator NonEmpty() {
  return CLI::Validator(
      [](const std::string& value) {
        return value.empty() ? std::string("a file name is needed, not an empty text")
                             : std::string();
      },
      "", "non-empty");
}

void AddRegistryOptions(CLI::App& command, Options& options, std::string_view usualRegistry) {
  auto* file = command.add_option("--registry", options.registry,
                                  "registry stand-in: a file PATH, or \"memory\" for an empty "
                                  "one (default: " +
                                      std::string(usualRegistry) + ")");
  file->type_name("PATH|memory");
  // Rather than a file named "--" or "-x", the option's missing value.
  file->check([](const std::string& value) {
    return value.empty() || value.starts_with("-") ? "--registry needs a file name or \"memory\""
                                                   : std::string();
  });
  command
      .add_flag("--scratch-registry", options.scratchRegistry,
                "a private registry that starts empty and is thrown away afterwards")
      ->excludes(file);
}

void AddPluginOption(CLI::App& command, Options& options) {
  command
      .add_option("--plugin", options.plugin,
                  "the module to load (Windows host; default Serix.fmx beside serix-host)")
      ->type_name("FILE");
}

RegistryChoice ChosenRegistry(const Options& options, RegistryKind usual) {
  if (options.scratchRegistry) return {RegistryKind::kScratch, {}};
  if (options.registry == "memory") return {RegistryKind::kMemory, {}};
  if (!options.registry.empty()) return {RegistryKind::kUser, options.registry};
  return {usual, {}};
}

bool Fail(std::ostream& err, std::string_view why) {
  err << "serix-host: " << TerminalLine(why) << '\n';
  return false;
}

std::string SystemReason(int error) {
  return error != 0 ? std::strerror(error) : "the write failed";
}

// Writes bytes to out and flushes them. A write that fails (a full disk, a closed pipe or
// descriptor) is reported with the system's reason: a command never reports a failure as
// success.
bool Emit(std::ostream& out, std::string_view bytes, std::ostream& err,
          std::string_view where = "standard output") {
  if (out) errno = 0;  // else the reason of the write that failed before
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (out) return true;
  const int error = errno;
  Fail(err, "cannot write " + std::string(where) + " (" + SystemReason(error) + ")");
  return false;
}

// All the bytes of a file, or of `in` for "-"; nothing, saying why, when it cannot be read or
// holds more than kMaxInputBytes. `what` names what the file holds, for the message.
std::optional<std::string> ReadAll(const std::string& file, std::istream& in, std::string_view what,
                                   std::string& why) {
  std::ifstream opened;
  std::istream* source = &in;
  if (file != "-") {
    errno = 0;
    opened.open(file, std::ios::binary);
    if (!opened.is_open()) {
      why = "cannot read " + file + " (" + std::strerror(errno) + ")";
      return std::nullopt;
    }
    source = &opened;
  }
  const std::string name = file == "-" ? std::string("standard input") : file;
  std::string bytes;
  char chunk[65536];
  errno = 0;
  // One byte past the bound is enough to refuse it.
  while (bytes.size() <= kMaxInputBytes &&
         (source->read(chunk, static_cast<std::streamsize>(
                                  std::min(sizeof chunk, kMaxInputBytes + 1 - bytes.size()))) ||
          source->gcount() > 0)) {
    bytes.append(chunk, static_cast<std::size_t>(source->gcount()));
  }
  if (source->bad()) {
    why = "cannot read " + name + " (" + SystemReason(errno) + ")";
    return std::nullopt;
  }
  if (bytes.size() > kMaxInputBytes) {
    why =
        name + " holds more than 16 MiB, more than " + std::string(what) + " may; it was not used";
    return std::nullopt;
  }
  return bytes;
}

bool Open(const Options& options, RegistryKind usual, std::ostream& err) {
  std::string why;
  return OpenRegistry(ChosenRegistry(options, usual), why) || Fail(err, why);
}

std::optional<PluginModule> Load(const Options& options, std::ostream& err) {
  std::string why;
  std::optional<PluginModule> plugin = LoadPlugin(options.plugin, why);
  if (!plugin) Fail(err, why);
  return plugin;
}

void PrintMessages(const PluginCallEffects& effects, std::ostream& err) {
  for (const ShownMessage& message : effects.messages) {
    err << '[' << TerminalLine(message.caption) << "] " << TerminalLine(message.text);
    if (!message.defect.empty()) err << "  (shown wrongly: " << message.defect << ')';
    err << '\n';
  }
}

// Carriage returns, the plug-in's line ends, become line ends, and the last line gets one.
std::string ShownResult(std::string_view result, bool raw) {
  std::string text(result);
  if (raw) return text;
  std::replace(text.begin(), text.end(), '\r', '\n');
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}

// The argument's bytes from --arg-file, read before anything is opened.
int ReadArgumentFile(Options& options, Invocation& run) {
  if (options.argumentFile.empty()) return kExitDone;
  std::string why;
  std::optional<std::string> argument =
      ReadAll(options.argumentFile, run.in, "a function's argument", why);
  if (!argument) {
    Fail(run.err, why);
    return kExitUsage;
  }
  options.argument = std::move(*argument);
  return kExitDone;
}

int Call(const Options& options, Invocation& run) {
  std::ostream& out = run.out;
  std::ostream& err = run.err;
  const PluginModule& plugin = *run.plugin;
  const std::vector<std::string> names = FunctionNames(ModuleStrings(plugin));
  const std::optional<std::uint32_t> index = FindFunction(names, options.function);
  if (!index) {
    Fail(err,
         "no function named \"" + options.function + "\"; the plug-in has " + JoinNames(names));
    return kExitUsage;
  }
  // A registry that cannot be used is, to the plug-in, a key that cannot be opened: it works
  // with its defaults and says nothing, so the host says it once, and the plug-in meets the
  // key refused at once rather than after a busy store's timeout at every access.
  PrefsKeyState ignored;
  std::string why;
  if (!ReadPrefsKey(ignored, why)) {
    Fail(err, "warning: " + why + "; the call goes on without the preference key");
    std::string unused;
    DenyRegistry(RegistryDenial::kCreate, unused);
  }

  EmulatedHost host(plugin);
  BeginPluginCall();
  host.Initialise(kHostInterfaceVersion);
  const PluginCallEffects initialised = EndPluginCall();
  PrintMessages(initialised, err);
  BeginPluginCall();
  const FunctionOutcome outcome = host.CallFunction(*index, options.argument);
  const PluginCallEffects called = EndPluginCall();
  PrintMessages(called, err);
  // A store that became busy or unusable during the call: the plug-in saw a registry error
  // (and reported failed writes in its boxes); the host names the file, once.
  const std::string& failure =
      initialised.registryFailure.empty() ? called.registryFailure : initialised.registryFailure;
  if (!failure.empty()) {
    Fail(err, "warning: " + failure + "; the plug-in could not read or write its preferences");
  }
  if (!outcome.touched) {
    Fail(err, names[*index] + " left the result untouched");
    return kExitNoResult;
  }
  return Emit(out, ShownResult(outcome.result, options.raw), err) ? kExitDone : kExitOutput;
}

void PrintValue(const RegistryValue& value, std::ostringstream& out) {
  if (const std::optional<std::string_view> text = TextOf(value.type, value.bytes)) {
    out << "REG_SZ     \"" << TerminalLine(*text) << '"';
  } else if (const std::optional<std::uint32_t> number = NumberOf(value.type, value.bytes)) {
    out << "REG_DWORD  " << *number;
  } else {
    out << "type " << value.type << "     bytes \"" << TerminalLine(value.bytes) << '"';
  }
}

bool ReadKey(PrefsKeyState& key, std::ostream& err) {
  std::string why;
  return ReadPrefsKey(key, why) || Fail(err, why);
}

// A name as the listing shows it: the key's default value as regedit writes it, @; a name
// that would look like it (@ itself) or like a quoted one (one beginning with a quote) quoted
// as regedit writes it; and a long name cut, with its length, so that one long name neither
// widens every line nor needs more memory than its own line.
std::string ShownName(std::string_view name) {
  constexpr std::size_t kLongest = 64;
  constexpr std::size_t kKept = 40;
  if (name.empty()) return "@";
  std::string shown = TerminalLine(name);
  if (name == "@" || name.front() == '"') {
    std::string quoted = "\"";
    for (const char c : shown) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    shown = quoted + '"';
  }
  if (shown.size() <= kLongest) return shown;
  shown.resize(kKept);
  return shown + "... (" + std::to_string(name.size()) + " bytes)";
}

int ShowPrefs(const Options& /*options*/, Invocation& run) {
  std::ostream& out = run.out;
  std::ostream& err = run.err;
  PrefsKeyState key;
  if (!ReadKey(key, err)) return kExitStore;
  out << TerminalLine(PrefsKeyLocation()) << '\n';
  if (!key.exists) {
    out << "  (no key yet: the plug-in creates it when the host first initialises it)\n";
  } else if (key.values.empty()) {
    out << "  (no values yet: the first function call writes them)\n";
  }
  std::size_t width = 0;
  for (const auto& [name, value] : key.values) width = std::max(width, ShownName(name).size());
  // Written a line at a time: a listing that could not be written whole is a failure.
  for (const auto& [name, value] : key.values) {
    if (!out) break;
    const std::string shown = ShownName(name);
    std::ostringstream line;
    line << "  " << shown << std::string(width - shown.size() + 2, ' ');
    PrintValue(value, line);
    line << '\n';
    out << line.str();
  }
  return Emit(out, {}, err) ? kExitDone : kExitOutput;
}

int ExportPrefs(const Options& options, Invocation& run) {
  std::ostream& out = run.out;
  std::ostream& err = run.err;
  const std::string& file = options.transferFile;
  const bool toOutput = file.empty() || file == "-";
  // Standard output is checked by what it is (the store itself when appended to it).
  if (toOutput ? IsRegistryOutput() : IsRegistryFile(file)) {
    Fail(err, "will not export onto " + (toOutput ? std::string("standard output") : file) +
                  ": it is the registry's own file, which the export would destroy");
    return kExitUsage;
  }
  PrefsKeyState key;
  if (!ReadKey(key, err)) return kExitStore;
  std::string text;
  std::string why;
  if (!WriteRegedit4(key.values, text, why)) {
    Fail(err, why);
    return kExitNoResult;
  }
  if (toOutput) return Emit(out, text, err) ? kExitDone : kExitOutput;
  if (!WriteWholeFile(file, text, why)) {
    Fail(err, why);
    return kExitOutput;
  }
  return kExitDone;
}

// The .reg file read and understood whole before the store opens.
int ReadImportFile(Options& options, Invocation& run) {
  const std::string& file = options.transferFile;
  std::string why;
  const std::optional<std::string> text = ReadAll(file, run.in, "a .reg file", why);
  if (!text) {
    Fail(run.err, why);
    return kExitUsage;
  }
  if (!ReadRegedit4(*text, run.imported, why)) {
    Fail(run.err, (file == "-" ? std::string("standard input") : file) + ", " + why);
    return kExitUsage;
  }
  return kExitDone;
}

int ImportPrefs(const Options& /*options*/, Invocation& run) {
  std::string why;
  if (!ApplyPrefsChanges(run.imported, why)) {
    Fail(run.err, why + "; nothing was imported");
    return kExitStore;
  }
  return kExitDone;
}

std::optional<std::uint32_t> ParseDword(std::string_view text) {
  std::int64_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || number < INT32_MIN || number > UINT32_MAX) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(number);
}

// The name checked before the store opens: only names that export can write are stored.
int CheckValueName(Options& options, Invocation& run) {
  if (IsCarriableValueName(options.valueName)) return kExitDone;
  Fail(run.err, "the value name \"" + TerminalLine(options.valueName) + "\" " +
                    std::string(kNotCarriableValueName));
  return kExitUsage;
}

int WriteValue(const Options& options, const RegistryValue& value, std::ostream& err) {
  std::string why;
  if (!WritePrefsValue(options.valueName, value, why)) {
    Fail(err, why);
    return kExitStore;
  }
  return kExitDone;
}

int SetText(const Options& options, Invocation& run) {
  return WriteValue(options, RegistryValue::Text(options.value), run.err);
}

// The number, then the name, checked before the store opens.
int CheckNumberAndName(Options& options, Invocation& run) {
  if (ParseDword(options.value)) return CheckValueName(options, run);
  Fail(run.err, "\"" + options.value + "\" is not a whole number from -2147483648 to 4294967295");
  return kExitUsage;
}

int SetNumber(const Options& options, Invocation& run) {
  return WriteValue(options, RegistryValue::Number(ParseDword(options.value).value()), run.err);
}

int DeleteValue(const Options& options, Invocation& run) {
  std::ostream& err = run.err;
  bool existed = false;
  std::string why;
  if (!DeletePrefsValue(options.valueName, existed, why)) {
    Fail(err, why);
    return kExitStore;
  }
  if (!existed) {
    Fail(err, "nothing deleted: the preference key has no value named \"" +
                  TerminalLine(options.valueName) + "\"");
    return kExitNoResult;
  }
  return kExitDone;
}

int Strings(const Options& /*options*/, Invocation& run) {
  std::ostringstream text;
  for (const auto& [id, string] : ModuleStrings(*run.plugin)) {
    const std::string number = std::to_string(id);
    text << number << std::string(number.size() < 6 ? 6 - number.size() : 1, ' ')
         << TerminalLine(string) << '\n';
  }
  return Emit(run.out, text.str(), run.err) ? kExitDone : kExitOutput;
}

int Version(const Options& /*options*/, Invocation& run) {
  std::string why;
  const std::optional<VersionBlock> block = ModuleVersion(*run.plugin, why);
  if (!block) {
    Fail(run.err, why);
    return kExitUsage;
  }
  std::ostringstream lines;
  const auto line = [&lines](std::string_view name, std::string_view text) {
    lines << name << std::string(name.size() < 18 ? 18 - name.size() : 1, ' ') << TerminalLine(text)
          << '\n';
  };
  for (const auto& [name, text] : block->fields) line(name, text);
  line("file version", block->fileVersion);
  line("product version", block->productVersion);
  return Emit(run.out, lines.str(), run.err) ? kExitDone : kExitOutput;
}

int RunSessionCommand(const Options& /*options*/, Invocation& run) {
  Session session(*run.plugin);
  std::string why;
  const SessionEnd end = RunSession(session, run.in, run.out, why);
  if (end == SessionEnd::kInputEnded) return kExitDone;
  if (end == SessionEnd::kInputUnreadable) {
    Fail(run.err, "cannot read standard input (" + why + "); the session ends");
    return kExitUsage;
  }
  const int error = errno;
  Fail(run.err, "cannot write a response to standard output (" + SystemReason(error) +
                    "); the session ends");
  return kExitOutput;
}

// Which registry a command opens before it runs.
enum class StoreUse {
  kNone,
  kUser,     // the user's own unless --registry or --scratch-registry says otherwise
  kSession,  // the same, but natively a registry in memory unless told otherwise
};

// What the user's own registry is, for --help.
std::string UserRegistry() {
  return Capabilities().memoryRegistry
             ? "the SQLite database serix/registry.db in $XDG_CONFIG_HOME or ~/.config"
             : "the user's registry";
}

void AddCallOptions(CLI::App& call, Options& options) {
  call.add_option("NAME", options.function, "the function, as the plug-in names it")->required();
  auto* argument = call.add_option("ARG", options.argument,
                                   "its text argument, parameters separated by the separator "
                                   "token (default: empty)");
  call.add_option("--arg-file", options.argumentFile,
                  "take the argument's bytes exactly from FILE (- for standard input)")
      ->type_name("FILE")
      ->check(NonEmpty())
      ->excludes(argument);
  call.add_flag("--raw", options.raw,
                "write the result's bytes exactly (default: carriage returns as line ends)");
  AddRegistryOptions(call, options, UserRegistry());
  AddPluginOption(call, options);
}

void AddPrefsOptions(CLI::App& prefs, Options& options) {
  AddRegistryOptions(prefs, options, UserRegistry());
}

void AddSetTextOptions(CLI::App& setText, Options& options) {
  setText.add_option("NAME", options.valueName, "value name, such as SeparatorToken")->required();
  setText.add_option("VALUE", options.value, "the text")->required();
}

void AddSetNumberOptions(CLI::App& setNumber, Options& options) {
  setNumber.add_option("NAME", options.valueName, "value name, such as Version")->required();
  setNumber.add_option("N", options.value, "a whole number from -2147483648 to 4294967295")
      ->required();
}

void AddDeleteOptions(CLI::App& remove, Options& options) {
  remove.add_option("NAME", options.valueName, "value name")->required();
}

void AddExportOptions(CLI::App& exportKey, Options& options) {
  exportKey.add_option("FILE", options.transferFile, "the file (default or -: standard output)")
      ->check(NonEmpty());
}

void AddImportOptions(CLI::App& importKey, Options& options) {
  importKey.add_option("FILE", options.transferFile, "the file (- for standard input)")->required();
}

void AddSessionOptions(CLI::App& session, Options& options) {
  AddRegistryOptions(session, options,
                     Capabilities().memoryRegistry ? "memory, starting empty" : UserRegistry());
  AddPluginOption(session, options);
}

// Where a command stands: on its own, or under the nearest command above it in the table that
// stands on its own (prefs set).
enum class Level { kOwn, kUnder };

// One command of the command line: where it stands, its name, help and options, what it needs
// set up, in this order, and what it runs.
struct Command {
  Level level;
  std::string_view name;
  std::string_view description;
  std::string_view example;  // shown after the exit codes in its help; "" for none
  void (*addOptions)(CLI::App&, Options&);
  int (*prepare)(Options&, Invocation&);  // before anything is opened; may be null
  StoreUse store;
  bool needsPlugin;
  int (*run)(const Options&, Invocation&);
};

// Every command, in the order of --help; one that belongs to another follows it.
constexpr Command kCommands[] = {
    {Level::kOwn, "call", "call one of the plug-in's functions",
     "Example: serix-host call Serx-CreateRange '-padding 3|Item |8|1|11|'", AddCallOptions,
     ReadArgumentFile, StoreUse::kUser, true, Call},
    {Level::kOwn, "prefs", "show the shared preference key, change one value, export or import it",
     "Example: serix-host prefs set SeparatorToken ';'\n"
     "         serix-host prefs export prefs.reg",
     AddPrefsOptions, nullptr, StoreUse::kUser, false, ShowPrefs},
    {Level::kUnder, "set", "store a text value (REG_SZ)", "", AddSetTextOptions, CheckValueName,
     StoreUse::kUser, false, SetText},
    {Level::kUnder, "set-number", "store a number value (REG_DWORD)", "", AddSetNumberOptions,
     CheckNumberAndName, StoreUse::kUser, false, SetNumber},
    {Level::kUnder, "delete", "delete one value", "", AddDeleteOptions, nullptr, StoreUse::kUser,
     false, DeleteValue},
    {Level::kUnder, "export", "write the key and its values as a REGEDIT4 .reg file", "",
     AddExportOptions, nullptr, StoreUse::kUser, false, ExportPrefs},
    {Level::kUnder, "import", "store every value of a REGEDIT4 .reg file of this key, all or none",
     "", AddImportOptions, ReadImportFile, StoreUse::kUser, false, ImportPrefs},
    {Level::kOwn, "strings", "print the module's string table", "", AddPluginOption, nullptr,
     StoreUse::kNone, true, Strings},
    {Level::kOwn, "version", "print the module's version block", "", AddPluginOption, nullptr,
     StoreUse::kNone, true, Version},
    {Level::kOwn, "session", "answer JSON requests, one a line, on standard input and output", "",
     AddSessionOptions, nullptr, StoreUse::kSession, true, RunSessionCommand},
};

int RunEntry(const Command& entry, Options& options, Invocation& run) {
  if (entry.prepare != nullptr) {
    if (const int status = entry.prepare(options, run); status != kExitDone) return status;
  }
  PlatformScope scope;
  if (entry.store != StoreUse::kNone) {
    const bool memory = entry.store == StoreUse::kSession && Capabilities().memoryRegistry;
    if (!Open(options, memory ? RegistryKind::kMemory : RegistryKind::kUser, run.err)) {
      return kExitUsage;
    }
  }
  if (entry.needsPlugin) {
    run.plugin = Load(options, run.err);
    if (!run.plugin) return kExitUsage;
  }
  return entry.run(options, run);
}

// The words the parser left over (CLI11 keeps them as extras), named in the order typed; the
// "--" that ends the options is no word of its own.
std::string NotUnderstood(const std::vector<std::string>& typed,
                          const std::vector<std::string>& extras) {
  std::string named;
  for (const std::string& word : typed) {
    if (word == "--" || std::find(extras.begin(), extras.end(), word) == extras.end()) continue;
    named += (named.empty() ? "" : " ") + word;
  }
  return "not understood: " + named;
}

// A command missing or unknown: the parser requires one, and names none of them.
std::string NoCommand(const CLI::App& app, const std::vector<std::string>& typed) {
  std::string commands;
  for (const CLI::App* command : app.get_subcommands({})) {
    commands += (commands.empty() ? "" : ", ") + command->get_name();
  }
  const auto word = std::find_if(typed.begin(), typed.end(),
                                 [](const std::string& w) { return !w.starts_with("-"); });
  if (word == typed.end()) return "no command given; the commands are " + commands;
  return "no command named \"" + *word + "\"; the commands are " + commands;
}

std::string Description() {
  return "Runs the Serix plug-in as its host application does: sends Initialise, calls a "
         "function with a text argument and prints the result; shows and edits the shared "
         "preferences; reads the module's strings and version; or speaks the session protocol "
         "on standard input and output.";
}

// The parser's commands, made from kCommands, in its order.
std::vector<CLI::App*> MakeCommands(CLI::App& app, Options& options) {
  std::vector<CLI::App*> made;
  CLI::App* own = &app;  // the last command of its own
  for (const Command& command : kCommands) {
    CLI::App* parent = command.level == Level::kOwn ? &app : own;
    CLI::App* sub =
        parent->add_subcommand(std::string(command.name), std::string(command.description));
    if (command.level == Level::kOwn) {
      own = sub;
    } else {
      // The command's own options and those of the command it belongs to, in any order.
      parent->require_subcommand(0, 1);
      sub->fallthrough();
    }
    command.addOptions(*sub, options);
    // Set always: a command would take the footer of the one it belongs to.
    sub->footer(command.example.empty() ? std::string()
                                        : std::string(kExitCodes) + std::string(command.example));
    made.push_back(sub);
  }
  return made;
}

// Parses the words into app; an exit status when that ends the run (help, a usage error).
std::optional<int> Parse(CLI::App& app, std::vector<std::string> words, std::ostream& out,
                         std::ostream& err) {
  const std::vector<std::string> typed = words;
  words = MarkOperands(app, std::move(words));
  std::reverse(words.begin(), words.end());
  try {
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    return Emit(out, app.help(), err) ? kExitDone : kExitOutput;
  } catch (const CLI::CallForAllHelp&) {
    return Emit(out, app.help("", CLI::AppFormatMode::All), err) ? kExitDone : kExitOutput;
  } catch (const CLI::ParseError& error) {
    const bool noCommand =
        app.get_subcommands().empty() && dynamic_cast<const CLI::RequiredError*>(&error);
    Fail(err, (noCommand ? NoCommand(app, typed) : std::string(error.what())) +
                  " (see serix-host --help)");
    return kExitUsage;
  }
  std::vector<std::string> extras = app.remaining(true);
  std::erase(extras, "--");
  if (!extras.empty()) {
    Fail(err, NotUnderstood(typed, extras) + " (see serix-host --help)");
    return kExitUsage;
  }
  return std::nullopt;
}

}  // namespace

int RunCommandLine(std::vector<std::string> words, std::istream& in, std::ostream& out,
                   std::ostream& err) {
  Options options;
  CLI::App app(Description(), "serix-host");
  app.require_subcommand(1);
  // Words that are no option or operand stay with the parser as extras (every command inherits
  // this), for the host to name as typed.
  app.allow_extras();
  const std::vector<CLI::App*> made = MakeCommands(app, options);
  app.footer(std::string(kExitCodes) +
             "Run serix-host COMMAND --help for a command's options. See docs/host.md.");
  if (const std::optional<int> ended = Parse(app, std::move(words), out, err)) return *ended;
  // The command parsed last in the table: one that belongs to another follows it there.
  for (std::size_t at = made.size(); at-- > 0;) {
    if (made[at]->parsed()) {
      Invocation run{in, out, err, std::nullopt, {}};
      return RunEntry(kCommands[at], options, run);
    }
  }
  return kExitUsage;  // the parser requires one command
}

}  // namespace serix::host
