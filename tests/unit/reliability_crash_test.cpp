// The SQLite registry under process death and contention: a writer killed at any moment
// leaves a store that opens and reads whole, each value old or new; two processes writing at
// once lose nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "scratch_directory.h"
#include "sqlite_registry.h"

namespace serix::testing {
namespace {

using host::SqliteRegistry;
using portable::RegistryValues;
namespace fs = std::filesystem;

constexpr std::string_view kKey = "Software\\Vexa\\Vexa Plug-in General Prefs";
constexpr int kEntries = 7;

std::string EntryName(std::uint64_t write) {
  return "Entry" + std::to_string(write % kEntries);
}

// The value of the write with this number: it names the write, holds a zero byte and line
// ends, and its length varies so that the values move between pages.
RegistryValue ValueOfWrite(std::uint64_t write) {
  std::string bytes = "write " + std::to_string(write) + '\0' + "\n\r|";
  bytes.append(write * 37 % 500, static_cast<char>(write));
  return {1, bytes};
}

// What the key holds once the first count writes are done.
RegistryValues StateAfter(std::uint64_t count) {
  RegistryValues values;
  for (std::uint64_t write = count > kEntries ? count - kEntries : 0; write < count; ++write) {
    values[EntryName(write)] = ValueOfWrite(write);
  }
  return values;
}

// The number of writes done, judged by the newest value found; -1 when a value is not one
// that any write makes.
std::int64_t WritesDone(const RegistryValues& values) {
  std::int64_t newest = -1;
  for (const auto& [name, value] : values) {
    std::uint64_t write = 0;
    if (std::sscanf(value.bytes.c_str(), "write %lu", &write) != 1) return -1;
    if (EntryName(write) != name || ValueOfWrite(write) != value) return -1;
    newest = std::max(newest, static_cast<std::int64_t>(write));
  }
  return newest + 1;
}

// Runs writes from first on in a child process until it is killed; a failed write ends the
// child with status 3. Returns once the child has finished its first write (or ended), so
// that every kill lands after some progress however slowly a loaded machine starts it.
pid_t StartWriter(const fs::path& file, std::uint64_t first) {
  int firstWriteDone[2];
  if (::pipe(firstWriteDone) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid != 0) {
    ::close(firstWriteDone[1]);
    char signal = 0;
    if (pid > 0) (void)::read(firstWriteDone[0], &signal, 1);
    ::close(firstWriteDone[0]);
    return pid;
  }
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  ::close(firstWriteDone[0]);
  SqliteRegistry registry(file);
  for (std::uint64_t write = first; write < first + 1000000; ++write) {
    try {
      registry.SetValue(kKey, EntryName(write), ValueOfWrite(write));
    } catch (const portable::RegistryStoreError&) {
      ::_exit(3);
    }
    if (write == first) {
      (void)!::write(firstWriteDone[1], "w", 1);
      ::close(firstWriteDone[1]);
    }
  }
  ::_exit(0);
}

fs::path Beside(const fs::path& file, const char* suffix) {
  fs::path result = file;
  result += suffix;
  return result;
}

TEST(ReliabilityCrashTest, WriterKilledAtRandomMomentsNeverTearsTheStore) {
  ScratchDirectory scratch;
  const fs::path file = scratch.path() / "registry.db";
  std::mt19937 random(4242);  // fixed seed: the same kill moments on every run
  std::uniform_int_distribution<int> delayMicroseconds(0, 20000);

  constexpr int kKills = 150;
  std::uint64_t done = 0;
  int killedMidWrite = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t writer = StartWriter(file, done);
    ASSERT_GT(writer, 0);
    ::usleep(static_cast<useconds_t>(delayMicroseconds(random)));
    ::kill(writer, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the writer ended by itself, status " << status;

    // A journal left behind means the kill came inside a transaction; opening rolls it back.
    if (fs::exists(Beside(file, "-journal"))) ++killedMidWrite;
    const RegistryValues values = SqliteRegistry(file).Values(kKey);
    const std::int64_t writes = WritesDone(values);
    ASSERT_GE(writes, 0) << "a value no write made, kill " << kill;
    ASSERT_GE(static_cast<std::uint64_t>(writes), done) << "a finished write was lost";
    ASSERT_EQ(values, StateAfter(static_cast<std::uint64_t>(writes))) << "kill " << kill;
    done = static_cast<std::uint64_t>(writes);
  }
  std::printf("[ crash    ] %d kills, %lu writes survived, %d kills left a journal\n", kKills,
              static_cast<unsigned long>(done), killedMidWrite);
  // Without progress, or without a kill inside a write, the test would prove nothing.
  EXPECT_GE(done, static_cast<std::uint64_t>(kKills));
  EXPECT_GT(killedMidWrite, 0);
}

TEST(ReliabilityCrashTest, TwoProcessesWritingAtOnceLoseNothing) {
  ScratchDirectory scratch;
  const fs::path file = scratch.path() / "registry.db";
  constexpr int kValuesEach = 150;
  int startGate[2];
  ASSERT_EQ(::pipe(startGate), 0);

  const auto startWriter = [&](char writerName) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::close(startGate[1]);
    char ignored;
    (void)::read(startGate[0], &ignored, 1);  // returns when the parent closes the pipe
    SqliteRegistry registry(file);
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = std::string(1, writerName) + std::to_string(i);
      try {
        registry.SetValue(kKey, name, {1, name + '\0'});
      } catch (const portable::RegistryStoreError&) {
        ::_exit(3);
      }
    }
    ::_exit(0);
  };
  const pid_t first = startWriter('A');
  const pid_t second = startWriter('B');
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  ::close(startGate[0]);
  ::close(startGate[1]);

  // Read while they write: every read finds a whole file that never loses a value.
  SqliteRegistry reader(file);
  std::size_t seen = 0;
  int reads = 0;
  int running = 2;
  while (running > 0) {
    const std::size_t now = reader.Values(kKey).size();
    EXPECT_GE(now, seen);
    seen = now;
    ++reads;
    int status = 0;
    const pid_t ended = ::waitpid(-1, &status, WNOHANG);
    if (ended > 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
      --running;
    }
  }

  const RegistryValues values = reader.Values(kKey);
  EXPECT_EQ(values.size(), 2u * kValuesEach);
  for (const char writerName : {'A', 'B'}) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = std::string(1, writerName) + std::to_string(i);
      EXPECT_EQ(reader.GetValue(kKey, name), (RegistryValue{1, name + '\0'})) << name;
    }
  }
  std::printf("[ contend  ] %d reads while two writers ran\n", reads);
}

}  // namespace
}  // namespace serix::testing
