// The file-backed registry: what it stores comes back byte for byte, names compare as on
// Windows, damaged files are read as empty and kept aside, and writers wait for the lock.
#include "platform/portable/file_registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "plugin_fixture.h"
#include "scratch_directory.h"

namespace serix::testing {
namespace {

using namespace std::string_literals;
using portable::FileRegistry;
using portable::RegistryValue;
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

fs::path Beside(const fs::path& file, const char* suffix) {
  fs::path result = file;
  result += suffix;
  return result;
}

std::string EveryByte() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

class FileRegistryTest : public ::testing::Test {
 protected:
  ScratchDirectory scratch_;
  fs::path file_ = scratch_.path() / "registry";
  FileRegistry registry_{file_};
};

TEST_F(FileRegistryTest, AnotherReaderGetsEveryByteBack) {
  const struct {
    std::string path;
    std::string name;
    RegistryValue value;
  } entries[] = {
      {std::string(kKey), "SeparatorToken", {1, "|\0"s}},
      {std::string(kKey), "Version", {4, "\x01\0\0\0"s}},
      {"Software\\Other", "nul\0inside"s, {4, "\0\0\0\0"s}},
      {"Software\\Other", "line\nbreak", {3, "a\nb\r\nc\n"}},
      {"Software\\Other", " blanks ", {4294967295u, ""}},
      {"", "", {0, EveryByte()}},
      {"\xff\n"s, "\xfe", {7, std::string(100, 'x') + EveryByte() + std::string(40000, '\0')}},
  };
  for (const auto& entry : entries) {
    ASSERT_TRUE(registry_.SetValue(entry.path, entry.name, entry.value)) << entry.name;
  }

  FileRegistry reader(file_);
  for (const auto& entry : entries) {
    EXPECT_TRUE(reader.KeyExists(entry.path));
    EXPECT_EQ(reader.GetValue(entry.path, entry.name), entry.value) << entry.name;
  }
  EXPECT_EQ(reader.Values("Software\\Other").size(), 3u);
  EXPECT_FALSE(reader.GetValue(kKey, "Missing").has_value());
  EXPECT_FALSE(reader.KeyExists("Software\\Nothing"));
}

// Any sequence of changes leaves the file holding what the in-memory store holds after the
// same changes, names spelt as first created.
TEST_F(FileRegistryTest, FollowsTheInMemoryStoreThroughRandomChanges) {
  portable::MemoryRegistry model;
  std::mt19937 random(20260712);
  const std::vector<std::string> paths = {"A\\b", "a\\B", "Other"};
  const std::vector<std::string> names = {"SeparatorToken", "separatortoken", "Version",
                                          "x\0y"s,          "\xc4",           "\xe4"};
  const auto pick = [&](const auto& pool) { return pool[random() % pool.size()]; };
  for (int step = 0; step < 300; ++step) {
    const std::string path = pick(paths);
    const std::string name = pick(names);
    switch (random() % 6) {
      case 0:
        ASSERT_TRUE(registry_.CreateKey(path));
        model.CreateKey(path);
        break;
      case 1:
        registry_.DeleteValue(path, name);
        model.DeleteValue(path, name);
        break;
      case 2:
        registry_.DeleteKey(path);
        model.DeleteKey(path);
        break;
      default: {
        const RegistryValue value{static_cast<std::uint32_t>(random() % 5),
                                  std::string(random() % 70, static_cast<char>(random()))};
        ASSERT_TRUE(registry_.SetValue(path, name, value));
        model.SetValue(path, name, value);
        break;
      }
    }
    FileRegistry reader(file_);
    for (const std::string& each : paths) {
      ASSERT_EQ(reader.KeyExists(each), model.KeyExists(each)) << step;
      ASSERT_EQ(reader.Values(each), model.Values(each)) << step;
    }
  }
}

TEST_F(FileRegistryTest, NamesAndPathsIgnoreAsciiLetterCaseOnly) {
  ASSERT_TRUE(registry_.SetValue(kKey, "SeparatorToken", {1, "a\0"s}));
  ASSERT_TRUE(registry_.SetValue("software\\VEXA\\vexa plug-in general prefs", "SEPARATORTOKEN",
                                 {1, "b\0"s}));
  ASSERT_TRUE(registry_.SetValue(kKey, "\xc4", {1, "upper"}));
  ASSERT_TRUE(registry_.SetValue(kKey, "\xe4", {1, "lower"}));

  FileRegistry reader(file_);
  const portable::RegistryValues values = reader.Values(kKey);
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values.begin()->first, "SeparatorToken");  // spelt as created
  EXPECT_EQ(reader.GetValue(kKey, "separatortoken"), (RegistryValue{1, "b\0"s}));
  EXPECT_EQ(reader.GetValue(kKey, "\xc4"), (RegistryValue{1, "upper"}));
  EXPECT_EQ(reader.GetValue(kKey, "\xe4"), (RegistryValue{1, "lower"}));
}

TEST_F(FileRegistryTest, DeletesValuesAndKeys) {
  ASSERT_TRUE(registry_.SetValue(kKey, "Version", {4, "\x01\0\0\0"s}));
  ASSERT_TRUE(registry_.SetValue(kKey, "SeparatorToken", {1, "|\0"s}));
  ASSERT_TRUE(registry_.SetValue("Kept", "Value", {1, "x"}));

  registry_.DeleteValue(kKey, "VERSION");
  FileRegistry reader(file_);
  EXPECT_FALSE(reader.GetValue(kKey, "Version").has_value());
  EXPECT_TRUE(reader.GetValue(kKey, "SeparatorToken").has_value());

  registry_.DeleteKey("software\\vexa\\vexa plug-in general prefs");
  EXPECT_FALSE(reader.KeyExists(kKey));
  EXPECT_TRUE(reader.Values(kKey).empty());
  EXPECT_EQ(reader.GetValue("Kept", "Value"), (RegistryValue{1, "x"}));

  // Deleting what is not there changes nothing in the file.
  const std::string before = ReadBytes(file_);
  registry_.DeleteValue("Kept", "Missing");
  registry_.DeleteValue("No key", "Value");
  registry_.DeleteKey("No key");
  EXPECT_EQ(ReadBytes(file_), before);
}

TEST_F(FileRegistryTest, DamagedFileReadsAsEmptyAndIsKeptBeforeItIsReplaced) {
  ASSERT_TRUE(registry_.SetValue(kKey, "SeparatorToken", {1, ";\0"s}));
  const std::string whole = ReadBytes(file_);
  const struct {
    const char* why;
    std::string bytes;
  } damaged[] = {
      {"empty", ""},
      {"cut in half", whole.substr(0, whole.size() / 2)},
      {"cut before its last line end", whole.substr(0, whole.size() - 1)},
      {"garbage",
       "\x7f"
       "ELF\x02\x01\x01\0\0\0"s},
      {"another program's text", "[prefs]\nSeparatorToken=;\n"},
  };
  for (const auto& [why, bytes] : damaged) {
    SCOPED_TRACE(why);
    fs::remove(Beside(file_, ".corrupt"));
    WriteBytes(file_, bytes);

    EXPECT_FALSE(registry_.KeyExists(kKey));
    EXPECT_FALSE(registry_.GetValue(kKey, "SeparatorToken").has_value());
    EXPECT_TRUE(registry_.Values(kKey).empty());
    EXPECT_FALSE(fs::exists(Beside(file_, ".corrupt"))) << "reading writes nothing";

    ASSERT_TRUE(registry_.SetValue(kKey, "Version", {4, "\x01\0\0\0"s}));
    EXPECT_EQ(ReadBytes(Beside(file_, ".corrupt")), bytes);
    FileRegistry reader(file_);
    EXPECT_EQ(reader.Values(kKey).size(), 1u);
    EXPECT_EQ(reader.GetValue(kKey, "Version"), (RegistryValue{4, "\x01\0\0\0"s}));
  }
}

TEST_F(FileRegistryTest, ChangeThatChangesNothingLeavesADamagedFileAlone) {
  WriteBytes(file_, "damaged");
  registry_.DeleteValue(kKey, "Version");
  registry_.DeleteKey(kKey);
  EXPECT_EQ(ReadBytes(file_), "damaged");
  EXPECT_FALSE(fs::exists(Beside(file_, ".corrupt")));
}

TEST_F(FileRegistryTest, FileThatCannotBeReadIsNeverReplaced) {
  fs::create_directory(file_);  // opening it for reading works, reading it does not
  EXPECT_FALSE(registry_.KeyExists(kKey));
  EXPECT_FALSE(registry_.SetValue(kKey, "Version", {4, "\x01\0\0\0"s}));
  EXPECT_FALSE(registry_.CreateKey(kKey));
  EXPECT_TRUE(fs::is_directory(file_));
  EXPECT_FALSE(fs::exists(Beside(file_, ".corrupt")));
}

TEST_F(FileRegistryTest, CreatesMissingDirectoriesOnFirstWriteOnly) {
  const fs::path nested = scratch_.path() / "config" / "serix" / "registry";
  FileRegistry registry(nested);
  EXPECT_FALSE(registry.KeyExists(kKey));
  EXPECT_FALSE(fs::exists(nested.parent_path())) << "reading creates nothing";

  ASSERT_TRUE(registry.CreateKey(kKey));
  EXPECT_TRUE(fs::is_regular_file(nested));
  EXPECT_TRUE(FileRegistry(nested).KeyExists(kKey));
  EXPECT_TRUE(FileRegistry(nested).Values(kKey).empty());
}

TEST_F(FileRegistryTest, WriteFailsWhereNoDirectoryCanBeMade) {
  WriteBytes(scratch_.path() / "plain-file", "x");
  FileRegistry registry(scratch_.path() / "plain-file" / "registry");
  EXPECT_FALSE(registry.CreateKey(kKey));
  EXPECT_FALSE(registry.SetValue(kKey, "Version", {4, "\x01\0\0\0"s}));
  EXPECT_FALSE(registry.KeyExists(kKey));
}

TEST_F(FileRegistryTest, LeavesOnlyTheFileAndItsLockFileBehind) {
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(registry_.SetValue(kKey, "Version", {4, std::string(4, static_cast<char>(i))}));
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(scratch_.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"registry", "registry.lock"}));
}

// Holds the registry's lock file the way another process would.
class ForeignLock {
 public:
  ForeignLock(const fs::path& file, int operation)
      : fd_(::open(Beside(file, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(::flock(fd_, operation), 0);
  }
  ~ForeignLock() { Release(); }
  ForeignLock(const ForeignLock&) = delete;
  ForeignLock& operator=(const ForeignLock&) = delete;
  void Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// A writer that finds the lock taken waits for it; a sleep can only make this pass wrongly
// (a slow writer), never fail wrongly.
TEST_F(FileRegistryTest, WriterWaitsForAnotherProcessHoldingTheLock) {
  ASSERT_TRUE(registry_.SetValue(kKey, "Version", {4, "old!"}));
  for (const int held : {LOCK_SH, LOCK_EX}) {
    ForeignLock lock(file_, held);
    std::thread writer([&] { EXPECT_TRUE(registry_.SetValue(kKey, "Version", {4, "new!"})); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(ReadBytes(file_).find("6f6c6421"), std::string::npos) << "still the old value";
    lock.Release();
    writer.join();
    EXPECT_EQ(registry_.GetValue(kKey, "Version"), (RegistryValue{4, "new!"}));
    ASSERT_TRUE(registry_.SetValue(kKey, "Version", {4, "old!"}));
  }
}

TEST_F(FileRegistryTest, ReaderWaitsWhileAWriterHoldsTheLock) {
  ASSERT_TRUE(registry_.SetValue(kKey, "Version", {4, "old!"}));
  ForeignLock lock(file_, LOCK_EX);
  std::atomic<bool> done = false;
  std::thread reader([&] {
    EXPECT_TRUE(registry_.KeyExists(kKey));
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done);
  lock.Release();
  reader.join();
  EXPECT_TRUE(done);
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
      {"/x/cfg", "/home/u", "/x/cfg/serix/registry"},
      {nullptr, "/home/u", "/home/u/.config/serix/registry"},
      {"", "/home/u", "/home/u/.config/serix/registry"},
      {"relative/cfg", "/home/u", "/home/u/.config/serix/registry"},
  };
  for (const auto& c : cases) {
    ScopedEnvironment xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
    ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(portable::DefaultRegistryFile(), fs::path(c.expected));
  }
  ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
  ScopedEnvironment home("HOME", nullptr);
  const fs::path fallback = portable::DefaultRegistryFile();
  EXPECT_EQ(fallback.filename(), "registry");
  EXPECT_EQ(fallback.parent_path().filename(), "serix");
}

// The plug-in itself on a file registry, as the command-line host runs it: preferences
// written by one call are in the file, and a separator set from outside is in force at the
// next call.
class PluginOnFileRegistryTest : public PluginTest {
 protected:
  PluginOnFileRegistryTest() { services().registry = &registry_; }

  ScratchDirectory scratch_;
  fs::path file_ = scratch_.path() / "registry";
  FileRegistry registry_{file_};
};

TEST_F(PluginOnFileRegistryTest, PreferencesLiveInTheFile) {
  Initialise();
  EXPECT_TRUE(FileRegistry(file_).KeyExists(kKey));
  EXPECT_TRUE(FileRegistry(file_).Values(kKey).empty());

  EXPECT_EQ(Call(kVersionIndex, "").result, "Vexa Serix Plug-In 1.1");
  FileRegistry other(file_);
  EXPECT_EQ(other.GetValue(kKey, "SeparatorToken"), (RegistryValue{1, "|\0"s}));
  EXPECT_EQ(other.GetValue(kKey, "DefSeparatorToken"), (RegistryValue{1, "|\0"s}));
  EXPECT_EQ(other.GetValue(kKey, "Version"), (RegistryValue{4, "\x01\0\0\0"s}));
  EXPECT_EQ(other.GetValue(kKey, "isOneTimeSeparator"), (RegistryValue{4, "\0\0\0\0"s}));

  ASSERT_TRUE(other.SetValue(kKey, "SeparatorToken", {1, ";\0"s}));
  EXPECT_EQ(CreateRange(";x;1;1;2;"), Lines({"x1", "x2"}));
  EXPECT_TRUE(services().alerts.empty());
  EXPECT_EQ(services().openKeys, 0);
}

}  // namespace
}  // namespace serix::testing
