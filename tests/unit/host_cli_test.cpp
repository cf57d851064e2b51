// The serix-host command line: what a person types, what is printed where, and exit codes.
#include "host_cli.h"

#include <gtest/gtest.h>
#include <signal.h>
#ifdef SERIX_SQLITE_STORE
#include <sqlite3.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ext/stdio_filebuf.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host_platform.h"
#include "regedit4.h"
#include "scratch_directory.h"
#include "unprivileged_child.h"

namespace {

// The files flushed to disk so far, by inode, and whether a flush is where a kill arrives: what
// no test sees of a file from outside.
std::vector<ino_t> flushed;
bool signalAtFlush = false;

}  // namespace

// In this test program the C library's fsync is this one, which notes the file first.
extern "C" int fsync(int descriptor) {
  struct stat info {};
  if (::fstat(descriptor, &info) == 0) flushed.push_back(info.st_ino);
  if (signalAtFlush) ::raise(SIGTERM);
  return static_cast<int>(::syscall(SYS_fsync, descriptor));
}

namespace serix::host {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

struct Ran {
  int status;
  std::string out;
  std::string err;
};

Ran Command(std::vector<std::string> words, const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCommandLine(std::move(words), in, out, err);
  return {status, out.str(), err.str()};
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

int LineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(HostCli, CallPrintsOneEntryALine) {
  const Ran run =
      Command({"call", "Serx-CreateRange", "-padding 3|Item |8|1|11|", "--registry", "memory"});
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.out, "Item 008\nItem 009\nItem 010\nItem 011\n");
  EXPECT_EQ(run.err, "");
}

TEST(HostCli, RawWritesTheResultBytesExactly) {
  const Ran run = Command(
      {"call", "--raw", "--registry=memory", "Serx-CreateRange", "-noreturnatend|x|1|1|2|"});
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.out, "x1\rx2");
}

TEST(HostCli, LastLineGetsALineEnd) {
  EXPECT_EQ(Command({"call", "Serx-Version", "--registry", "memory"}).out,
            "Vexa Serix Plug-In 1.1\n");
  EXPECT_EQ(Command({"call", "serx-version", "-getversionnumber", "--registry", "memory"}).out,
            "1100\n");
}

TEST(HostCli, ArgumentsThatLookLikeOptionsAreArguments) {
  // Option words of the plug-in begin with "-", and so may a whole argument.
  EXPECT_EQ(
      Command({"call", "Serx-Options", "-setwarningdialogtext|Text", "--registry", "memory"}).out,
      "0\n");
  EXPECT_EQ(Command({"call", "--registry", "memory", "--", "Serx-Version", "--raw"}).out,
            "Vexa Serix Plug-In 1.1\n");
  EXPECT_EQ(Command({"call", "--registry", "memory", "Serx-CreateRange", "-x|-|1|1|1|--"}).out,
            "-1--\n");
}

TEST(HostCli, UntouchedResultExitsOneWithOneLine) {
  const Ran run = Command({"call", "Serx-CreateRange", "||1|0|5|", "--registry", "memory"});
  EXPECT_EQ(run.status, kExitNoResult);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(LineCount(run.err), 1);
  EXPECT_NE(run.err.find("Serx-CreateRange"), std::string::npos) << run.err;
}

TEST(HostCli, UsageErrorsExitTwoWithOneLineNamingTheWord) {
  const struct {
    std::vector<std::string> words;
    std::string named;  // in the error's line
  } mistakes[] = {
      {{}, "no command given"},
      {{"cal"}, "\"cal\""},
      {{"call"}, "NAME"},
      {{"call", "Serx-CreatRange", "||1|1|2|", "--registry", "memory"}, "Serx-CreatRange"},
      {{"call", "Serx-VersionX", "--registry", "memory"}, "no function named \"Serx-VersionX\""},
      {{"call", "Serx-CreateRangeFoo", "|x|1|1|1|", "--registry", "memory"},
       "\"Serx-CreateRangeFoo\""},
      {{"call", "--rwa", "Serx-Version"}, "--rwa"},
      {{"call", "Serx-Version", "x", "y", "--registry", "memory"}, "not understood: y"},
      {{"call", "Serx-Version", "--registry"}, "--registry"},
      {{"call", "Serx-Version", "--registry", "--"}, "--registry"},
      {{"call", "--registry", "--", "Serx-Version"}, "--registry"},
      {{"call", "--registry", "-x", "Serx-Version"}, "--registry"},
      {{"call", "Serx-Version", "--registry", "memory", "--scratch-registry"},
       "--scratch-registry"},
      {{"call", "Serx-Version", "x", "--arg-file", "-"}, "--arg-file"},
      {{"call", "Serx-Version", "--arg-file", "/nonexistent/arg"}, "/nonexistent/arg"},
      {{"call", "Serx-Version", "--arg-file", "/", "--registry", "memory"}, "cannot read /"},
      {{"call", "Serx-Version", "--arg-file", "", "--registry", "memory"}, "--arg-file"},
      // An empty value after "=" is empty, never the next word.
      {{"call", "Serx-Version", "--arg-file=", "--raw", "--registry=memory"}, "--arg-file"},
      {{"prefs", "--registry=", "export"}, "--registry"},
      {{"session", "--registry=", "x"}, "--registry"},
      // Never the user's own store (these only read, should that break).
      {{"prefs", "--registry", ""}, "--registry"},
      {{"session", "--registry", ""}, "--registry"},
      {{"prefs", "export", "", "--registry", "memory"}, "not an empty text"},
      // Endless input is refused at a bound, not read until memory runs out.
      {{"call", "Serx-Version", "--arg-file", "/dev/zero", "--registry", "memory"},
       "/dev/zero holds more than 16 MiB"},
      {{"prefs", "--registry", "memory", "import", "/dev/zero"},
       "/dev/zero holds more than 16 MiB"},
      {{"prefs", "set", "SeparatorToken"}, "VALUE"},
      {{"prefs", "set-number", "Version", "one", "--registry", "memory"}, "\"one\""},
      {{"prefs", "set-number", "Version", "4294967296", "--registry", "memory"}, "4294967296"},
      {{"prefs", "set-number", "Version", "-2147483649", "--registry", "memory"}, "-2147483649"},
      {{"prefs", "unset", "Version"}, "not understood: unset Version"},
      {{"prefs", "import"}, "FILE"},
      {{"strings", "extra"}, "not understood: extra"},
      {{"call", "Serx-Version", "--plugin", "Serix.fmx", "--registry", "memory"}, "module"},
  };
  for (const auto& [words, named] : mistakes) {
    const Ran run = Command(words);
    std::string typed;
    for (const std::string& word : words) typed += word + " ";
    EXPECT_EQ(run.status, kExitUsage) << typed;
    EXPECT_EQ(LineCount(run.err), 1) << typed << "\n" << run.err;
    EXPECT_NE(run.err.find(named), std::string::npos) << typed << "\n" << run.err;
    EXPECT_EQ(run.out, "") << typed;
  }
}

TEST(HostCli, ArgumentFromAFileOrStandardInputKeepsEveryByte) {
  const std::string argument = "-noreturnatend|\r\n\xe9 \"|1|1|2|";
  EXPECT_EQ(
      Command({"call", "--raw", "--registry", "memory", "Serx-CreateRange", "--arg-file", "-"},
              argument)
          .out,
      "\r\n\xe9 \"1\r\r\n\xe9 \"2");
  testing::ScratchDirectory scratch;
  const std::string file = (scratch.path() / "argument").string();
  std::ofstream(file, std::ios::binary) << std::string(300000, 'x') + "|";
  const Ran run = Command({"call", "--registry", "memory", "--arg-file", file, "Serx-Options"});
  EXPECT_EQ(run.out, "$$-50\n") << "a 300000-byte argument read whole";
}

// Every command's output, written where writing fails: each exits 4 with one line that
// gives the system's reason, never 0.
TEST(HostCli, OutputThatCannotBeWrittenIsAFailure) {
  ::signal(SIGPIPE, SIG_IGN);  // as serix-host itself sets it
  const std::vector<std::vector<std::string>> commands = {
      {"call", "Serx-Version", "--registry", "memory"},
      {"prefs", "--registry", "memory"},
      {"prefs", "export", "--registry", "memory"},
      {"strings"},
      {"version"},
      {"session"},
      {"--help"},
  };
  int closedPipe[2];
  ASSERT_EQ(::pipe(closedPipe), 0);
  ::close(closedPipe[0]);
  const struct {
    const char* sink;
    std::function<std::unique_ptr<std::ostream>()> open;
    const char* reason;
  } sinks[] = {
      {"/dev/full", [] { return std::make_unique<std::ofstream>("/dev/full"); },
       "No space left on device"},
      {"a pipe whose reader has gone",
       [&] {
         struct PipeStream : std::ostream {
           explicit PipeStream(int fd) : std::ostream(nullptr), buffer(fd, std::ios::out) {
             rdbuf(&buffer);
           }
           __gnu_cxx::stdio_filebuf<char> buffer;
         };
         return std::make_unique<PipeStream>(::dup(closedPipe[1]));
       },
       "Broken pipe"},
  };
  for (const auto& sink : sinks) {
    for (const auto& words : commands) {
      SCOPED_TRACE(std::string(sink.sink) + ": " + words.front());
      std::istringstream in("{\"op\":\"capabilities\"}\n{\"op\":\"capabilities\"}\n");
      const std::unique_ptr<std::ostream> out = sink.open();
      std::ostringstream err;
      EXPECT_EQ(RunCommandLine(words, in, *out, err), kExitOutput);
      EXPECT_EQ(LineCount(err.str()), 1) << err.str();
      EXPECT_NE(err.str().find(sink.reason), std::string::npos) << err.str();
    }
  }
  ::close(closedPipe[1]);
}
TEST(HostCli, MistypedFunctionNamesTheRealOnes) {
  const Ran run = Command({"call", "Serx-CreatRange", "--registry", "memory"});
  EXPECT_NE(run.err.find("Serx-Version, Serx-CreateRange, Serx-Options"), std::string::npos);
}

TEST(HostCli, HelpEverywhere) {
  for (const std::vector<std::string>& words : {std::vector<std::string>{"--help"},
                                                {"-h"},
                                                {"call", "--help"},
                                                {"call", "Serx-Version", "-h"},
                                                {"prefs", "--help"},
                                                {"prefs", "set", "--help"},
                                                {"strings", "--help"},
                                                {"version", "--help"},
                                                {"session", "--help"}}) {
    const Ran run = Command(words);
    EXPECT_EQ(run.status, kExitDone) << words.front();
    EXPECT_NE(run.out.find("Usage: serix-host"), std::string::npos) << run.out;
  }
  EXPECT_NE(Command({"call", "--help"}).out.find("--raw"), std::string::npos);
}

TEST(HostCli, MessageBoxesGoToStandardError) {
  const Ran run = Command(
      {"call", "Serx-CreateRange", "-fieldsizewarning||1|1|99999|", "--registry", "memory"});
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.err,
            "[Vexa Serix Plug-In] You have specified a value range too large. Please adjust "
            "your values into smaller increments. There is a limit of 64K of text within "
            "calculated text fields.\n");
  // 1 to 12517 whole, then 12518 cut at the 64000th character.
  EXPECT_EQ(LineCount(run.out), 12518);
  EXPECT_EQ(run.out.substr(run.out.size() - 12), "\n12517\n1251\n");
}

class HostCliPrefsTest : public ::testing::Test {
 protected:
  // The words with "--registry FILE" after the command's first word.
  std::vector<std::string> With(std::vector<std::string> words) {
    const std::string file = (scratch_.path() / "registry").string();
    words.insert(words.begin() + 1, {"--registry", file});
    return words;
  }
  testing::ScratchDirectory scratch_;
};

TEST_F(HostCliPrefsTest, TokenSetWithPrefsIsInForceForLaterCalls) {
  ASSERT_EQ(Command(With({"prefs", "set", "SeparatorToken", ";"})).status, kExitDone);
  EXPECT_EQ(Command(With({"call", "Serx-CreateRange", "-padding 2;n;1;1;2;"})).out, "n01\nn02\n");
  const Ran shown = Command(With({"prefs"}));
  EXPECT_NE(shown.out.find("SeparatorToken      REG_SZ     \";\""), std::string::npos) << shown.out;
  // The call wrote the values that were missing.
  EXPECT_NE(shown.out.find("Version             REG_DWORD  0"), std::string::npos) << shown.out;
}

TEST_F(HostCliPrefsTest, ShowsAKeyNotYetCreated) {
  const Ran run = Command(With({"prefs"}));
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_NE(run.out.find("HKEY_CURRENT_USER\\Software\\Vexa\\Vexa Plug-in General Prefs"),
            std::string::npos);
  EXPECT_NE(run.out.find("no key yet"), std::string::npos) << run.out;
}

TEST_F(HostCliPrefsTest, NumbersDeletionsAndTokensThatLookLikeOptions) {
  ASSERT_EQ(Command(With({"prefs", "set-number", "Version", "-1"})).status, kExitDone);
  // "--" ends the options, so a value "--" comes after one.
  ASSERT_EQ(Command(With({"prefs", "set", "--", "SeparatorToken", "--"})).status, kExitDone);
  EXPECT_EQ(Command(With({"call", "Serx-CreateRange", "--n--1--1--2--"})).out, "n1\nn2\n");
  Ran shown = Command(With({"prefs"}));
  EXPECT_NE(shown.out.find("Version             REG_DWORD  4294967295"), std::string::npos)
      << shown.out;
  EXPECT_EQ(Command(With({"prefs", "delete", "Version"})).status, kExitDone);
  const Ran again = Command(With({"prefs", "delete", "Version"}));
  EXPECT_EQ(again.status, kExitNoResult);
  EXPECT_EQ(LineCount(again.err), 1);
  shown = Command(With({"prefs"}));
  EXPECT_EQ(shown.out.find("Version "), std::string::npos) << shown.out;
}

// A registry file that is not a store: every prefs command exits 3 naming it, a call goes
// on with the default separator after one warning, and the file stays as it was.
TEST_F(HostCliPrefsTest, RegistryThatCannotBeUsedIsReportedAndLeftAlone) {
  const fs::path file = scratch_.path() / "registry";
  std::ofstream(file, std::ios::binary) << "SeparatorToken=;\r\n";
  const std::vector<std::vector<std::string>> prefsCommands = {
      {"prefs"},
      {"prefs", "set", "SeparatorToken", ";"},
      {"prefs", "set-number", "Version", "1"},
      {"prefs", "delete", "SeparatorToken"},
      {"prefs", "export"},
      {"prefs", "import", "-"},
  };
  for (const auto& words : prefsCommands) {
    const Ran run = Command(With(words), "REGEDIT4\n\n[" + PrefsKeyName() + "]\n\"A\"=\"b\"\n");
    EXPECT_EQ(run.status, kExitStore) << words.back();
    EXPECT_EQ(LineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find(file.string() + " is not an SQLite database"), std::string::npos)
        << run.err;
  }
  const Ran call = Command(With({"call", "Serx-CreateRange", ";x;1;1;2;|y|1|1|1|"}));
  EXPECT_EQ(call.status, kExitDone);
  EXPECT_EQ(call.out, "y1\n") << "split at |, not at the ; the damaged file holds";
  EXPECT_EQ(LineCount(call.err), 1) << call.err;
  EXPECT_NE(call.err.find("warning: the registry " + file.string()), std::string::npos);
  EXPECT_EQ(ReadBytes(file), "SeparatorToken=;\r\n");
}

// Commands a script or a user may get wrong, one after another on one store: each does what it
// says or refuses with one line, and the store keeps what it held.
TEST_F(HostCliPrefsTest, MistakesAgainstOneStoreChangeNothingTheyShouldNot) {
  const std::string store = (scratch_.path() / "registry").string();
  const std::string link = (scratch_.path() / "link.reg").string();
  fs::create_symlink(store, link);
  const std::string toMemory = (scratch_.path() / "shm.reg").string();
  fs::create_symlink(store + "-shm", toMemory);
  // Relative, from a folder of its own reached through a link.
  fs::create_directory(scratch_.path() / "sub");
  fs::create_directory_symlink(scratch_.path() / "sub", scratch_.path() / "via");
  fs::create_symlink("../registry-journal", scratch_.path() / "sub" / "journal.reg");
  const std::string toJournal = (scratch_.path() / "via" / "journal.reg").string();
  const struct {
    std::vector<std::string> words;
    int status;
    std::string output;  // in standard output
    std::string error;   // in the one line of standard error
  } steps[] = {
      {{"prefs", "set-number", "Version", "-2147483648"}, kExitDone, "", ""},
      {{"prefs", "export", "-"}, kExitDone, "\r\n\"Version\"=dword:80000000\r\n", ""},
      {{"prefs", "export", store}, kExitUsage, "", "the registry's own file"},
      {{"prefs", "export", link}, kExitUsage, "", "the registry's own file"},
      {{"prefs", "export", store + "-journal"}, kExitUsage, "", "the registry's own file"},
      {{"prefs", "export", store + "-wal"}, kExitUsage, "", "the registry's own file"},
      {{"prefs", "export", toMemory}, kExitUsage, "", "the registry's own file"},
      {{"prefs", "export", toJournal}, kExitUsage, "", "the registry's own file"},
      {{"prefs", "set", "--", "Line\nEnd", "x"}, kExitUsage, "", "name \"Line\\nEnd\" holds"},
      {{"prefs", "delete", "--", "Line\nEnd"}, kExitNoResult, "", "nothing deleted"},
      {{"prefs"}, kExitDone, "Version  REG_DWORD  2147483648\n", ""},
  };
  for (const auto& step : steps) {
    const Ran run = Command(With(step.words));
    SCOPED_TRACE(step.words.back() + ": " + run.err);
    EXPECT_EQ(run.status, step.status);
    EXPECT_NE(run.out.find(step.output), std::string::npos) << run.out;
    EXPECT_EQ(LineCount(run.err), step.error.empty() ? 0 : 1);
    EXPECT_NE(run.err.find(step.error), std::string::npos);
  }
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(fs::exists(store + "-wal"));
  EXPECT_FALSE(fs::exists(store + "-shm"));
  std::ofstream(store + "-wal", std::ios::binary) << "kept";
  EXPECT_EQ(Command(With({"prefs", "export", store + "-wal"})).status, kExitUsage);
  EXPECT_EQ(ReadBytes(store + "-wal"), "kept");
}

#ifdef SERIX_SQLITE_STORE
// A store that another process locks for writing while a call runs: the plug-in's writes fail
// after the busy timeout, and after the call one line names the store.
TEST_F(HostCliPrefsTest, StoreBusyDuringACallIsNamedAfterIt) {
  const std::string store = (scratch_.path() / "registry").string();
  ASSERT_EQ(Command(With({"prefs", "set", "A", "b"})).status, kExitDone);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(store.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const Ran call = Command(With({"call", "Serx-Version"}));
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(call.status, kExitDone);
  EXPECT_NE(call.err.find("warning: the registry " + store + " is busy"), std::string::npos)
      << call.err;
  EXPECT_NE(call.err.find("could not read or write its preferences"), std::string::npos);
}
#endif

// The listing of a key with one long name among many: each line as long as its own entry,
// the long name cut with its length, the default value shown as @ and no other name so, the
// file name escaped.
TEST_F(HostCliPrefsTest, ListingLinesAreBoundedByTheirOwnEntry) {
  std::string text = "REGEDIT4\n\n[" + PrefsKeyName() +
                     "]\n@=\"d\"\n\"@\"=\"at\"\n\"\\\"@\\\"\"=\"quoted\"\n\"D\x7f\"=\"v\x7f\"\n";
  text += "\"" + std::string(100000, 'n') + "\"=dword:1\n";
  for (int value = 0; value < 200; ++value) text += "\"V" + std::to_string(value) + "\"=dword:2\n";
  const std::string file = (scratch_.path() / "registry\x1b").string();
  ASSERT_EQ(Command({"prefs", "--registry", file, "import", "-"}, text).status, kExitDone);
  const Ran shown = Command({"prefs", "--registry", file});
  EXPECT_EQ(shown.status, kExitDone);
  EXPECT_LT(shown.out.size(), 30000u);
  EXPECT_NE(shown.out.find("registry\\x1b)\n"), std::string::npos) << shown.out.substr(0, 200);
  EXPECT_NE(shown.out.find("\n  @  "), std::string::npos);
  EXPECT_EQ(shown.out.find("\n  @  "), shown.out.rfind("\n  @  ")) << "the value named @ too";
  EXPECT_NE(shown.out.find("\n  \"\\\"@\\\"\"  "), std::string::npos) << "one quoted";
  EXPECT_NE(shown.out.find("\n  D\\x7f  "), std::string::npos);
  EXPECT_NE(shown.out.find("REG_SZ     \"v\\x7f\"\n"), std::string::npos);
  EXPECT_NE(shown.out.find("nnnn... (100000 bytes)  REG_DWORD  1\n"), std::string::npos);
}

// A .reg file (and so an argument file) of exactly 16 MiB is read; one byte more is refused,
// with the size named.
TEST_F(HostCliPrefsTest, InputOfExactlyTheBoundIsRead) {
  std::string text = "REGEDIT4\n\n[" + PrefsKeyName() + "]\n\"A\"=\"b\"\n;";
  text.resize(std::size_t{16} << 20, 'x');
  EXPECT_EQ(Command(With({"prefs", "import", "-"}), text).status, kExitDone);
  const Ran over = Command(With({"prefs", "import", "-"}), text + "x");
  EXPECT_EQ(over.status, kExitUsage);
  EXPECT_NE(over.err.find("standard input holds more than 16 MiB"), std::string::npos) << over.err;
}

// A folder's entries, each "MODE TEXT" ("export" standing for the export's own text) or
// "-> TARGET" for a link.
using FolderEntries = std::map<std::string, std::string>;

FolderEntries EntriesOf(const fs::path& folder, const std::string& exported) {
  FolderEntries entries;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_symlink()) {
      entries[name] = "-> " + fs::read_symlink(entry.path()).string();
      continue;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o ", static_cast<unsigned>(entry.status().permissions()));
    const std::string bytes = ReadBytes(entry.path());
    entries[name] = mode + (bytes == exported ? "export" : bytes);
  }
  return entries;
}

void MakeEntries(const fs::path& folder, const FolderEntries& entries) {
  for (const auto& [name, made] : entries) {
    if (made.starts_with("-> ")) {
      fs::create_symlink(made.substr(3), folder / name);
      continue;
    }
    std::ofstream(folder / name, std::ios::binary) << made.substr(4);
    fs::permissions(folder / name, fs::perms(std::stoi(made.substr(0, 3), nullptr, 8)));
  }
}

// What an export meets besides its destination.
enum Circumstance {
  kNothing = 0,
  kReadOnlyFolder = 1,  // the folder takes no new file
  kFullDisk = 2,        // no file may grow past 10 bytes
  kKilledAtFlush = 4,   // SIGTERM, as kill sends it, while the export is flushed
};

// Where an export may be sent, each row in a child process as a user whom permissions stop:
// what the folder holds before and after, and that every file the export wrote was flushed.
TEST(HostCliExport, EveryDestinationEndsWholeOrAsItWas) {
  const std::string exported = Command({"prefs", "--registry", "memory", "export"}).out;
  const std::string longName(255, 'n');
  const std::string longer = "644 " + std::string(300, 'o');  // its end must go
  const struct {
    const char* what;
    FolderEntries before;
    std::string name;
    int circumstances;
    int status;  // 128 + the signal that ended it
    FolderEntries after;
    const char* error;  // in the message
  } rows[] = {
      // One row a case, as the eye reads it.
      // clang-format off
      {"a new file", {}, "new.reg", kNothing, 0, {{"new.reg", "644 export"}}, ""},
      {"a private file, kept private", {{"old.reg", "600 previous"}}, "old.reg", kNothing, 0,
       {{"old.reg", "600 export"}}, ""},
      {"a link to a file: the file written, the link kept",
       {{"link.reg", "-> target.reg"}, {"target.reg", "640 previous"}}, "link.reg", kNothing, 0,
       {{"link.reg", "-> target.reg"}, {"target.reg", "640 export"}}, ""},
      {"a link to no file yet: the file it names made", {{"link.reg", "-> new.reg"}}, "link.reg",
       kNothing, 0, {{"link.reg", "-> new.reg"}, {"new.reg", "644 export"}}, ""},
      {"a name as long as a name may be", {}, longName, kNothing, 0, {{longName, "644 export"}},
       ""},
      {"a full disk: the old file kept", {{"old.reg", "644 previous"}}, "old.reg", kFullDisk,
       kExitOutput, {{"old.reg", "644 previous"}}, "(File too large)"},
      {"a kill: nothing left beside the old file", {{"old.reg", "644 previous"}}, "old.reg",
       kKilledAtFlush, 128 + SIGTERM, {{"old.reg", "644 previous"}}, ""},
      {"a folder that takes no new file: written in place", {{"old.reg", longer}}, "old.reg",
       kReadOnlyFolder, 0, {{"old.reg", "644 export"}}, ""},
      {"the same on a full disk: the old file kept", {{"old.reg", "644 previous"}}, "old.reg",
       kReadOnlyFolder | kFullDisk, kExitOutput, {{"old.reg", "644 previous"}}, "(File too large)"},
      {"the same killed: the write finished first", {{"old.reg", longer}}, "old.reg",
       kReadOnlyFolder | kKilledAtFlush, 128 + SIGTERM, {{"old.reg", "644 export"}}, ""},
      {"a new file there: the folder named", {}, "new.reg", kReadOnlyFolder, kExitOutput, {},
       "no file can be made in its folder"},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testing::ScratchDirectory scratch;
    const fs::path folder = scratch.path();
    MakeEntries(folder, row.before);
    const testing::ChildEnd end = testing::InUnprivilegedChild(folder, [&](std::string& said) {
      if ((row.circumstances & kReadOnlyFolder) != 0) ::chmod(folder.c_str(), 0555);
      if ((row.circumstances & kFullDisk) != 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      ::umask(022);
      flushed.clear();
      signalAtFlush = (row.circumstances & kKilledAtFlush) != 0;
      const Ran run =
          Command({"prefs", "--registry", "memory", "export", (folder / row.name).string()});
      said = run.err;
      for (const auto& entry : fs::directory_iterator(folder)) {
        struct stat info {};
        if (ReadBytes(entry.path()) == exported && ::stat(entry.path().c_str(), &info) == 0 &&
            std::find(flushed.begin(), flushed.end(), info.st_ino) == flushed.end()) {
          said += entry.path().filename().string() + " was never flushed to disk";
        }
      }
      return run.status;
    });
    ::chmod(folder.c_str(), 0700);
    EXPECT_EQ(end.status, row.status) << end.said;
    EXPECT_NE(end.said.find(row.error), std::string::npos) << end.said;
    EXPECT_EQ(end.said.find("flushed"), std::string::npos) << end.said;
    EXPECT_EQ(EntriesOf(folder, exported), row.after);
  }
}

// Every kind of value, exported and imported into an empty registry, comes back byte for byte;
// an import that cannot be read, or names another key, changes nothing.
TEST_F(HostCliPrefsTest, ExportThenImportGivesBackEveryValue) {
  const std::vector<std::pair<std::string, RegistryValue>> values = {
      {"", {1, "default\0"s}},
      {"Binary", {3, std::string(100, '\xab') + "\0\r\n"s}},
      {"Dir", {1, "C:\\\0"s}},
      {"Empty", {0, ""}},
      {"Expand", {2, "%PATH%\0"s}},
      {"Multi", {7, "a\0b\0\0"s}},
      {"Number", {4, "\x78\x56\x34\x12"s}},
      {"Odd number", {4, "\x01\x02"s}},
      {"Quoted \"name\" \\", {1, "back\\slash \"quote\" \xe9\t\0"s}},
      {"Text with line end", {1, "a\r\nb\0"s}},
      {"Text with zero", {1, "a\0b\0"s}},
      {"Text without zero", {1, "abc"}},
      {"Type ffffffff", {0xffffffffu, "x"}},
  };
  for (const auto& [name, value] : values) {
    ASSERT_EQ(Command(With({"prefs", "set", "--", name, "placeholder"})).status, kExitDone);
    std::string why;
    ASSERT_TRUE(OpenRegistry({RegistryKind::kUser, (scratch_.path() / "registry").string()}, why));
    ASSERT_TRUE(WritePrefsValue(name, value, why)) << why;
    ShutdownPlatform();
  }
  const fs::path exported = scratch_.path() / "prefs.reg";
  ASSERT_EQ(Command(With({"prefs", "export", exported.string()})).status, kExitDone);

  const std::string other = (scratch_.path() / "other.db").string();
  const auto otherKey = [&] {
    std::string why;
    EXPECT_TRUE(OpenRegistry({RegistryKind::kUser, other}, why));
    PrefsKeyState state;
    EXPECT_TRUE(ReadPrefsKey(state, why)) << why;
    ShutdownPlatform();
    return state.values;
  };
  const Ran imported = Command({"prefs", "--registry", other, "import", exported.string()});
  ASSERT_EQ(imported.status, kExitDone) << imported.err;
  EXPECT_EQ(otherKey(), values);

  const std::string written = ReadBytes(exported);
  EXPECT_TRUE(written.starts_with(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vexa\\Vexa Plug-in General Prefs]\r\n"
      "@=\"default\"\r\n"))
      << written;
  EXPECT_NE(written.find("\r\n\"Number\"=dword:12345678\r\n"), std::string::npos) << written;
  EXPECT_NE(written.find("\r\n\"Multi\"=hex(7):61,00,62,00,00\r\n"), std::string::npos);
  EXPECT_NE(written.find("\"Quoted \\\"name\\\" \\\\\"=\"back\\\\slash \\\"quote\\\" \xe9\t\"\r\n"),
            std::string::npos)
      << written;
  EXPECT_NE(written.find("\"Binary\"=hex:ab,ab,"), std::string::npos);
  EXPECT_NE(written.find(",\\\r\n  ab,"), std::string::npos) << "long lines continued";

  // Refused imports leave the other registry as it was: one transaction. The message names
  // the line of the fault, its untrusted bytes escaped.
  const std::string key = "[" + PrefsKeyName() + "]\n";
  const struct {
    std::string text;
    std::string error;
  } refusals[] = {
      {"REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Number\"=dword:1\n",
       "line 3: the file names the key [HKEY_CURRENT_USER\\Software\\Other]"},
      // ESC, CR, a C1 control in UTF-8 and alone escaped; a UTF-8 letter kept.
      {"REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\\x1b[2J\r\xc2\x9b\x9b\xc3\xa9]\n",
       "line 3: the file names the key "
       "[HKEY_CURRENT_USER\\Software\\\\x1b[2J\\r\\xc2\\x9b\\x9b\xc3\xa9]"},
      {"REGEDIT4\n\n" + key + "\"Number\"=dword:1\n\"Bad\"=hex:1\n", "line 5: \"1\" is not a byte"},
      {"REGEDIT4\n\n" + key + "\"Binary\"=hex:01,\\\n  02\n\"Bad\"=hex:1\n",
       "line 6: \"1\" is not a byte"},
      {"REGEDIT4\n\n" + key + "\"Number\"=dword:123456789\n", "line 4: dword: must be followed"},
      {"REGEDIT4\n\n" + key + "\"Bad\"=hex:01,\\\n  zz\n", "line 4: \"zz\" is not a byte"},
      {"REGEDIT4\n\n" + key + "\"A\"=\"x\\ny\"\n", "line 4: a backslash in a quoted text must"},
      {"REGEDIT4\n\n[-" + PrefsKeyName() + "]\n", "line 3: the file deletes a key"},
      {"REGEDIT4\n\n" + key + "\"A\"=\"a\"\n\"B\rC\0\"=\"x\"\n"s,
       "line 5: the value name \"B\\rC\\x00\" holds a zero byte or a line end"},
      {"Windows Registry Editor Version 5.00\n\n" + key, "line 1: a REGEDIT4 file begins"},
      {"\xef\xbb\xbfREGEDIT4\n\n" + key, "line 1: the file begins with a Unicode byte-order mark"},
      {"REGEDIT4\n\n\"Number\"=dword:1\n" + key, "line 3: a value comes before any [key] line"},
  };
  for (const auto& [refused, error] : refusals) {
    const Ran run = Command({"prefs", "--registry", other, "import", "-"}, refused);
    EXPECT_EQ(run.status, kExitUsage) << refused;
    EXPECT_NE(run.err.find("standard input, " + error), std::string::npos) << run.err;
    EXPECT_EQ(LineCount(run.err), 1) << run.err;
    EXPECT_EQ(otherKey(), values);
  }
  // Both line ends, continuation lines, a deletion, a comment and lines indented by tabs.
  const Ran lf = Command({"prefs", "--registry", other, "import", "-"},
                         "REGEDIT4\r\n\r\n; made by hand\n" + key +
                             "\"Binary\"=hex:01,\\\r\n \t02\n\"Empty\"=-\n\t\"Tabbed\"=\"t\"\n");
  ASSERT_EQ(lf.status, kExitDone) << lf.err;
  const auto after = otherKey();
  EXPECT_EQ(after.size(), values.size());
  EXPECT_EQ(after[1], (std::pair<std::string, RegistryValue>{"Binary", {3, "\x01\x02"}}));
  EXPECT_EQ(after[8], (std::pair<std::string, RegistryValue>{"Tabbed", RegistryValue::Text("t")}));
}

TEST(HostCli, StringsAndVersion) {
  const Ran strings = Command({"strings"});
  EXPECT_EQ(strings.status, kExitDone);
  EXPECT_NE(strings.out.find("145   Serx-CreateRange\n"), std::string::npos) << strings.out;
  // The description's line feed is shown as an escape, one string a line.
  EXPECT_NE(strings.out.find("functions.\\nSee the plug-in"), std::string::npos);
  EXPECT_EQ(LineCount(strings.out), 8);
  const Ran version = Command({"version"});
  EXPECT_NE(version.out.find("FileVersion       1.1 25-July-2001\n"), std::string::npos)
      << version.out;
  EXPECT_NE(version.out.find("file version      1.0.0.0\n"), std::string::npos);
}

TEST(HostCli, SessionStartsWithAnEmptyMemoryRegistry) {
  const Ran run = Command({"session"}, "{\"op\":\"registry\",\"get\":true}\n");
  EXPECT_EQ(run.status, kExitDone);
  EXPECT_EQ(run.out, "{\"key\":false,\"values\":{},\"open\":0}\n");
}

}  // namespace
}  // namespace serix::host
