// The SQLite registry of the native host: what it stores comes back byte for byte through
// another connection, names compare as on Windows, reads create nothing, and a file that is
// not this store is refused with its name and the cause, and left exactly as it was.
#include "sqlite_registry.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "plugin_fixture.h"
#include "scratch_directory.h"
#include "unprivileged_child.h"

namespace serix::testing {
namespace {

using namespace std::string_literals;
using host::SqliteRegistry;
using portable::RegistryStoreError;
namespace fs = std::filesystem;

constexpr std::string_view kKey = "Software\\Vexa\\Vexa Plug-in General Prefs";

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string EveryByte() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

// The message of the RegistryStoreError that work throws, or "" when it throws none.
std::string ErrorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const RegistryStoreError& error) {
    return error.what();
  }
  return "";
}

class SqliteRegistryTest : public ::testing::Test {
 protected:
  ScratchDirectory scratch_;
  fs::path file_ = scratch_.path() / "registry.db";
  SqliteRegistry registry_{file_};
};

// Any sequence of changes leaves the store holding what the in-memory store holds after the
// same changes, read through a second connection: names spelt as first created, only ASCII
// letters folded, every byte of names, paths and values kept.
TEST_F(SqliteRegistryTest, FollowsTheInMemoryStoreThroughRandomChanges) {
  portable::MemoryRegistry model;
  std::mt19937 random(20260712);
  const std::vector<std::string> paths = {std::string(kKey), "a\\B", "A\\b", "\xff\n"s, ""};
  const std::vector<std::string> names = {
      "SeparatorToken", "separatortoken", "x\0y"s, "x\0z"s, "Z", "z", "\xc4", "\xe4", ""};
  const std::vector<std::string> bytes = {"", "|\0"s, EveryByte(), std::string(40000, '\0') + "x"};
  const auto pick = [&](const auto& pool) { return pool[random() % pool.size()]; };
  for (int step = 0; step < 200; ++step) {
    const std::string path = pick(paths);
    const std::string name = pick(names);
    switch (random() % 7) {
      case 0:
        registry_.CreateKey(path);
        model.CreateKey(path);
        break;
      case 1:
        ASSERT_EQ(registry_.DeleteValue(path, name), model.DeleteValue(path, name)) << step;
        break;
      case 2:
        registry_.DeleteKey(path);
        model.DeleteKey(path);
        break;
      case 3: {
        const std::vector<RegistryChange> changes = {
            {name, RegistryValue{static_cast<std::uint32_t>(random()), pick(bytes)}},
            {pick(names), std::nullopt}};
        registry_.ApplyChanges(path, changes);
        model.ApplyChanges(path, changes);
        break;
      }
      default: {
        const RegistryValue value{static_cast<std::uint32_t>(random()), pick(bytes)};
        registry_.SetValue(path, name, value);
        model.SetValue(path, name, value);
        break;
      }
    }
    SqliteRegistry reader(file_);
    for (const std::string& each : paths) {
      ASSERT_EQ(reader.ReadKey(each), model.ReadKey(each)) << step;
      for (const std::string& valueName : names) {
        ASSERT_EQ(reader.GetValue(each, valueName), model.GetValue(each, valueName)) << step;
      }
    }
  }
}

TEST_F(SqliteRegistryTest, ReadsCreateNothingAndTheFirstWriteMakesPrivateFiles) {
  const fs::path nested = scratch_.path() / "config" / "serix" / "registry.db";
  SqliteRegistry registry(nested);
  EXPECT_FALSE(registry.KeyExists(kKey));
  EXPECT_FALSE(registry.GetValue(kKey, "Version"));
  EXPECT_FALSE(registry.DeleteValue(kKey, "Version"));
  registry.DeleteKey(kKey);
  EXPECT_FALSE(fs::exists(scratch_.path() / "config")) << "reading creates nothing";

  registry.SetValue(kKey, "Version", {4, "\x01\0\0\0"s});
  const auto mode = [](const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
  };
  EXPECT_EQ(mode(scratch_.path() / "config"), 0700u);
  EXPECT_EQ(mode(nested.parent_path()), 0700u);
  EXPECT_EQ(mode(nested), 0600u);
  std::vector<fs::path> left;
  for (const auto& entry : fs::directory_iterator(nested.parent_path())) left.push_back(entry);
  EXPECT_EQ(left, std::vector<fs::path>{nested}) << "no journal or lock file stays";
}

// Every kind of file that is not this store, each made at the registry's place.
struct BadStore {
  const char* what;
  std::function<void(const fs::path& file, const fs::path& scratch)> make;
  const char* cause;  // in the error's text
};

std::string ValidStore(const fs::path& scratch) {
  const fs::path file = scratch / "valid.db";
  SqliteRegistry valid(file);
  for (int i = 0; i < 40; ++i) valid.SetValue(kKey, "Value" + std::to_string(i), {1, "text\0"s});
  return ReadBytes(file);
}

void Execute(const fs::path& file, const char* sql) {
  sqlite3* database = nullptr;
  sqlite3_open(file.c_str(), &database);
  EXPECT_EQ(sqlite3_exec(database, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(database);
}

// Another program's database as a crash leaves it: the journal or write-ahead log beside it
// holds what SQLite would write back into it at the next opening. Copied while the other
// program's transaction is under way.
void CaughtMidTransaction(const fs::path& file, const fs::path& scratch, bool writeAheadLog,
                          const std::string& marks = "") {
  const fs::path source = scratch / "other.db";
  sqlite3* other = nullptr;
  sqlite3_open(source.c_str(), &other);
  const std::string work =
      marks +
      std::string(writeAheadLog ? "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                                : "") +
      "CREATE TABLE notes (text BLOB);"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50)"
      " INSERT INTO notes SELECT randomblob(3000) FROM n;"
      "PRAGMA cache_size = 2; BEGIN; UPDATE notes SET text = randomblob(3000);" +
      (writeAheadLog ? "COMMIT;" : "");
  EXPECT_EQ(sqlite3_exec(other, work.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string beside = writeAheadLog ? "-wal" : "-journal";
  fs::copy_file(source, file);
  fs::copy_file(source.string() + beside, file.string() + beside);
  EXPECT_GT(fs::file_size(file.string() + beside), 0u);
  sqlite3_close(other);
}

// What a folder holds, each entry's bytes (a regular file's) or its kind.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const auto kind = entry.symlink_status().type();
    contents[entry.path().filename().string()] =
        kind == fs::file_type::regular ? ReadBytes(entry.path())
                                       : "kind " + std::to_string(static_cast<int>(kind));
  }
  return contents;
}

TEST_F(SqliteRegistryTest, FilesThatAreNotThisStoreAreRefusedAndLeftAsTheyWere) {
  const std::vector<BadStore> bad = {
      {"a link planted at its place",
       [](const fs::path& file, const fs::path& scratch) {
         fs::create_symlink(scratch / "target", file);
       },
       "symbolic link"},
      {"a link to /dev/zero",
       [](const fs::path& file, const fs::path&) { fs::create_symlink("/dev/zero", file); },
       "symbolic link"},
      {"a directory", [](const fs::path& file, const fs::path&) { fs::create_directory(file); },
       "directory"},
      {"a FIFO", [](const fs::path& file, const fs::path&) { ::mkfifo(file.c_str(), 0600); },
       "FIFO"},
      {"a text file",
       [](const fs::path& file, const fs::path&) {
         WriteBytes(file, "[prefs]\nSeparatorToken=;\n");
       },
       "not an SQLite database"},
      {"a store cut by one byte",
       [](const fs::path& file, const fs::path& scratch) {
         const std::string whole = ValidStore(scratch);
         WriteBytes(file, whole.substr(0, whole.size() - 1));
       },
       "damaged"},
      {"a store with bytes after its last page",
       [](const fs::path& file, const fs::path& scratch) {
         WriteBytes(file, ValidStore(scratch) + "appended");
       },
       "damaged"},
      {"a store with a damaged page",
       [](const fs::path& file, const fs::path& scratch) {
         std::string whole = ValidStore(scratch);
         for (std::size_t at = 4096; at < 4096 + 64; ++at) whole[at] = '\x5a';
         WriteBytes(file, whole);
       },
       "damaged"},
      {"another program's database",
       [](const fs::path& file, const fs::path&) {
         sqlite3* other = nullptr;
         sqlite3_open(file.c_str(), &other);
         sqlite3_exec(other, "CREATE TABLE notes (text TEXT)", nullptr, nullptr, nullptr);
         sqlite3_close(other);
       },
       "another program's SQLite database"},
      {"another program's database with a crash's journal beside it",
       [](const fs::path& file, const fs::path& scratch) {
         CaughtMidTransaction(file, scratch, false);
       },
       "another program's SQLite database"},
      {"another program's database with a write-ahead log beside it",
       [](const fs::path& file, const fs::path& scratch) {
         CaughtMidTransaction(file, scratch, true);
       },
       "another program's SQLite database"},
      {"the same with a journal, carrying one of the store's marks",
       [](const fs::path& file, const fs::path& scratch) {
         CaughtMidTransaction(file, scratch, false, "PRAGMA application_id = 1399157368;");
       },
       "another program's SQLite database"},
      {"a store cut within its header",
       [](const fs::path& file, const fs::path& scratch) {
         WriteBytes(file, ValidStore(scratch).substr(0, 60));
       },
       "is damaged (it ends within its header)"},
      {"a store with a FIFO where its journal goes",
       [](const fs::path& file, const fs::path& scratch) {
         WriteBytes(file, ValidStore(scratch));
         ::mkfifo((file.string() + "-journal").c_str(), 0600);
       },
       "-journal beside it, where SQLite keeps its rollback journal, is a FIFO"},
      {"a store with a link where its write-ahead log goes",
       [](const fs::path& file, const fs::path& scratch) {
         WriteBytes(file, ValidStore(scratch));
         fs::create_symlink(scratch / "target", file.string() + "-wal");
       },
       "-wal beside it, where SQLite keeps its write-ahead log, is a symbolic link"},
      {"a store with a FIFO where its shared memory goes",
       [](const fs::path& file, const fs::path& scratch) {
         WriteBytes(file, ValidStore(scratch));
         ::mkfifo((file.string() + "-shm").c_str(), 0600);
       },
       "-shm beside it, where SQLite keeps its shared memory, is a FIFO"},
      {"a store with a trigger planted in it",
       [](const fs::path& file, const fs::path& scratch) {
         WriteBytes(file, ValidStore(scratch));
         Execute(file,
                 "CREATE TRIGGER planted AFTER INSERT ON entries BEGIN DELETE FROM entries; END");
       },
       "the trigger planted, which the store does not make"},
      {"a store whose table has another column",
       [](const fs::path& file, const fs::path& scratch) {
         WriteBytes(file, ValidStore(scratch));
         Execute(file, "ALTER TABLE entries ADD COLUMN extra BLOB");
       },
       "its table entries is not the store's"},
  };
  for (const BadStore& store : bad) {
    SCOPED_TRACE(store.what);
    ScratchDirectory scratch;
    const fs::path file = scratch.path() / "registry.db";
    WriteBytes(scratch.path() / "target", "someone else's file");
    store.make(file, scratch.path());
    const auto before = Contents(scratch.path());

    SqliteRegistry registry(file, std::chrono::milliseconds(200));
    const auto started = std::chrono::steady_clock::now();
    const std::vector<std::function<void()>> uses = {
        [&] { registry.ReadKey(kKey); },
        [&] { registry.GetValue(kKey, "SeparatorToken"); },
        [&] {
          registry.SetValue(kKey, "SeparatorToken", {1, ";\0"s});
        },
        [&] { registry.CreateKey(kKey); },
        [&] { registry.DeleteValue(kKey, "SeparatorToken"); },
        [&] {
          registry.ApplyChanges(kKey, {{"Version", RegistryValue{4, "\0\0\0\0"s}}});
        },
    };
    for (const auto& use : uses) {
      const std::string error = ErrorOf(use);
      EXPECT_NE(error.find(file.string()), std::string::npos) << error;
      EXPECT_NE(error.find(store.cause), std::string::npos) << error;
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(Contents(scratch.path()), before) << "everything kept byte for byte, nothing added";
  }
}

// Places and states of a sound store that are the user's business: each is used as any
// other store, and what is stored is in the file named.
TEST_F(SqliteRegistryTest, SoundStoresInUnusualPlacesAndStatesWork) {
  const fs::path workingDirectory = fs::current_path();
  sqlite3* reader = nullptr;
  const struct {
    const char* what;
    std::function<fs::path(const fs::path& scratch)> place;
  } stores[] = {
      {"its folder reached through a link",
       [](const fs::path& scratch) {
         fs::create_directory(scratch / "elsewhere");
         fs::create_directory_symlink(scratch / "elsewhere", scratch / "config");
         return scratch / "config" / "serix" / "registry.db";
       }},
      {"a relative name that SQLite would read as a URI",
       [](const fs::path& scratch) {
         fs::current_path(scratch);
         return fs::path("file:registry.db?mode=memory");
       }},
      {"another program keeping it in WAL mode, pages not yet written back, a reader open",
       [&reader](const fs::path& scratch) {
         const fs::path file = scratch / "registry.db";
         WriteBytes(file, ValidStore(scratch));
         sqlite3_open(file.c_str(), &reader);
         sqlite3_exec(reader,
                      "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                      "INSERT INTO keys (path, folded) VALUES (randomblob(30000), 'a'), "
                      "(randomblob(30000), 'b'); BEGIN; SELECT count(*) FROM keys;",
                      nullptr, nullptr, nullptr);
         EXPECT_GT(fs::file_size(file.string() + "-wal"), 60000u);
         return file;
       }},
  };
  for (const auto& store : stores) {
    SCOPED_TRACE(store.what);
    ScratchDirectory scratch;
    const fs::path file = store.place(scratch.path());
    EXPECT_EQ(ErrorOf([&] {
                SqliteRegistry(file).SetValue(kKey, "SeparatorToken", {1, ";\0"s});
                EXPECT_EQ(SqliteRegistry(file).GetValue(kKey, "SeparatorToken"),
                          (RegistryValue{1, ";\0"s}));
              }),
              "");
    EXPECT_TRUE(fs::is_regular_file(file));
    sqlite3_close(reader);
    reader = nullptr;
    fs::current_path(workingDirectory);
  }
}

// Another process holding the write lock makes an operation fail after the busy timeout,
// naming the file, instead of waiting for ever.
TEST_F(SqliteRegistryTest, StoreBusyBeyondTheTimeoutIsAnError) {
  registry_.SetValue(kKey, "Version", {4, "old!"});
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

  SqliteRegistry waiting(file_, std::chrono::milliseconds(300));
  const std::string error = ErrorOf([&] { waiting.SetValue(kKey, "Version", {4, "new!"}); });
  EXPECT_NE(error.find(file_.string() + " is busy"), std::string::npos) << error;
  EXPECT_NE(ErrorOf([&] { waiting.ReadKey(kKey); }).find("busy"), std::string::npos);

  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  waiting.SetValue(kKey, "Version", {4, "new!"});
  EXPECT_EQ(SqliteRegistry(file_).GetValue(kKey, "Version"), (RegistryValue{4, "new!"}));
}

// Another process changing the schema, or placing a link where the journal goes, under a
// connection in use: its next operation refuses the store, as a fresh one would.
TEST_F(SqliteRegistryTest, SchemaChangedSinceItWasCheckedIsRefused) {
  registry_.SetValue(kKey, "Version", {4, "old!"});
  const std::string journal = file_.string() + "-journal";
  fs::create_symlink(file_.string() + ".elsewhere", journal);
  const std::string placed = ErrorOf([&] { registry_.SetValue(kKey, "Version", {4, "new!"}); });
  EXPECT_NE(placed.find(
                "-journal beside it, where SQLite keeps its rollback journal, is a symbolic link"),
            std::string::npos)
      << placed;
  fs::remove(journal);
  Execute(file_, "CREATE TRIGGER planted AFTER INSERT ON entries BEGIN DELETE FROM entries; END");
  const std::string error = ErrorOf([&] { registry_.SetValue(kKey, "Version", {4, "new!"}); });
  EXPECT_NE(error.find("the trigger planted, which the store does not make"), std::string::npos)
      << error;
}

// A store that may be written in a folder that may not: the folder is named, and why.
TEST_F(SqliteRegistryTest, FolderThatCannotBeWrittenIsNamed) {
  registry_.SetValue(kKey, "Version", {4, "old!"});
  const ChildEnd end = InUnprivilegedChild(scratch_.path(), [&](std::string& said) {
    ::chmod(scratch_.path().c_str(), 0555);
    said = ErrorOf([&] { SqliteRegistry(file_).SetValue(kKey, "Version", {4, "new!"}); });
    return 0;
  });
  ::chmod(scratch_.path().c_str(), 0700);
  EXPECT_NE(end.said.find("its folder " + scratch_.path().string() + " cannot be written"),
            std::string::npos)
      << end.said;
}

// Sets an environment variable, or removes it, for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DefaultRegistryFileTest, LivesInTheUsersConfigurationDirectory) {
  const struct {
    const char* xdgConfigHome;
    const char* home;
    const char* expected;
  } cases[] = {
      {"/x/cfg", "/home/u", "/x/cfg/serix/registry.db"},
      {nullptr, "/home/u", "/home/u/.config/serix/registry.db"},
      {"", "/home/u", "/home/u/.config/serix/registry.db"},
      {"relative/cfg", "/home/u", "/home/u/.config/serix/registry.db"},
      {nullptr, "relative/home", nullptr},  // the home folder of the user's account
  };
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  const fs::path account = fs::path(user->pw_dir) / ".config/serix/registry.db";
  for (const auto& c : cases) {
    ScopedEnvironment xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
    ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(host::DefaultRegistryFile(), c.expected ? fs::path(c.expected) : account);
  }
}

// The plug-in itself on the SQLite registry, as the command-line host runs it: preferences
// written by one call are in the file, a separator set from outside is in force at the next
// call, and a store that cannot be used is a key that cannot be opened.
class PluginOnSqliteRegistryTest : public PluginTest {
 protected:
  PluginOnSqliteRegistryTest() { services().registry = &registry_; }

  ScratchDirectory scratch_;
  fs::path file_ = scratch_.path() / "registry.db";
  SqliteRegistry registry_{file_, std::chrono::milliseconds(200)};
};

TEST_F(PluginOnSqliteRegistryTest, PreferencesLiveInTheFile) {
  Initialise();
  EXPECT_TRUE(SqliteRegistry(file_).KeyExists(kKey));
  EXPECT_TRUE(SqliteRegistry(file_).Values(kKey).empty());

  EXPECT_EQ(Call(kVersionIndex, "").result, "Vexa Serix Plug-In 1.1");
  SqliteRegistry other(file_);
  EXPECT_EQ(other.GetValue(kKey, "SeparatorToken"), (RegistryValue{1, "|\0"s}));
  EXPECT_EQ(other.GetValue(kKey, "DefSeparatorToken"), (RegistryValue{1, "|\0"s}));
  EXPECT_EQ(other.GetValue(kKey, "Version"), (RegistryValue{4, "\x01\0\0\0"s}));
  EXPECT_EQ(other.GetValue(kKey, "isOneTimeSeparator"), (RegistryValue{4, "\0\0\0\0"s}));

  other.SetValue(kKey, "SeparatorToken", {1, ";\0"s});
  EXPECT_EQ(CreateRange(";x;1;1;2;"), Lines({"x1", "x2"}));
  EXPECT_TRUE(services().alerts.empty());
  EXPECT_EQ(portable::OpenKeyCount(), 0);
}

// A store that another process keeps locked costs a call one busy timeout, not one at every
// access; the plug-in works as on a key it cannot open or write (never as on missing values),
// the host learns which store failed, and once the lock ends the next call uses the store.
TEST_F(PluginOnSqliteRegistryTest, LockedStoreCostsOneTimeoutAndServesAgainOnceFree) {
  constexpr std::chrono::milliseconds kTimeout{1000};
  SqliteRegistry registry(file_, kTimeout);
  services().registry = &registry;
  Initialise();
  const struct {
    const char* lock;
    const char* argument;  // split at the separator the plug-in can use meanwhile
    std::size_t failedWrites;
  } locks[] = {
      // Readers wait too: the key cannot be opened, so '|' and nothing written.
      {"BEGIN EXCLUSIVE", "|x|1|1|2|", 0},
      // Readers go on: the token is read, the three values missing cannot be written.
      {"BEGIN IMMEDIATE", ";x;1;1;2;", 3},
  };
  for (const auto& lock : locks) {
    SCOPED_TRACE(lock.lock);
    SqliteRegistry(file_).ApplyChanges(kKey, {{"SeparatorToken", RegistryValue{1, ";\0"s}},
                                              {"DefSeparatorToken", std::nullopt},
                                              {"Version", std::nullopt},
                                              {"isOneTimeSeparator", std::nullopt}});
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, lock.lock, nullptr, nullptr, nullptr), SQLITE_OK);
    services().storeFailure.clear();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(CreateRange(lock.argument), Lines({"x1", "x2"}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2 * kTimeout);
    EXPECT_EQ(services().alerts.size(), lock.failedWrites);
    EXPECT_NE(services().storeFailure.find(file_.string() + " is busy"), std::string::npos)
        << services().storeFailure;
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(SqliteRegistry(file_).Values(kKey).size(), 1u) << "nothing was written";

    services().alerts.clear();
    services().storeFailure.clear();
    EXPECT_EQ(CreateRange(";x;1;1;2;"), Lines({"x1", "x2"}));
    EXPECT_TRUE(services().alerts.empty());
    EXPECT_EQ(services().storeFailure, "");
    EXPECT_EQ(SqliteRegistry(file_).Values(kKey).size(), 4u);
  }
}

}  // namespace
}  // namespace serix::testing
