// The native serix-host's registry: the preference keys of the portable platform kept in one
// SQLite database, so that preferences set from the command line are in force for later calls,
// as on Windows, with SQLite's transactions and locking for any number of processes at once.
//
// Schema: a table of keys and a table of values, each with the name as created and an ASCII
// lower-cased copy (only A to Z folded, as Windows compares them) that is unique within its
// key, the value's type number and its bytes as a blob. The database carries its own
// application id and schema version; one that carries others is refused, never changed.
//
// Nothing is ever written to a file that is not this store: a symbolic link, a directory, a
// FIFO or device, a file that cannot be read, one that is not a database, a damaged one,
// another program's database or one whose schema is not exactly ours each make every
// operation throw RegistryStoreError, naming the file and the cause, and leave the file as it
// was. The store is recognised from its header before SQLite opens it (store_file.h vets the
// file and what lies beside it; this file only speaks SQL), so that SQLite never
// rolls a journal or a WAL back into another program's database. Only the file itself and
// the files SQLite keeps beside it (journal, WAL, shared memory) must not be links; folders
// above it may be. Reads create nothing; the first write creates missing directories (0700)
// and the file (0600). A lock that another process keeps for longer than the busy timeout
// ends the operation with an error, never an endless wait, and until a change succeeds again
// later operations do not wait at all: a busy store costs one timeout, not one per access.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/portable/registry_store.h"
#include "store_file.h"

struct sqlite3;

namespace serix::host {

class SqliteRegistry final : public portable::RegistryStore {
 public:
  static constexpr std::chrono::milliseconds kBusyTimeout{5000};

  explicit SqliteRegistry(std::filesystem::path file,
                          std::chrono::milliseconds busyTimeout = kBusyTimeout);
  ~SqliteRegistry() override;
  SqliteRegistry(const SqliteRegistry&) = delete;
  SqliteRegistry& operator=(const SqliteRegistry&) = delete;

  void CreateKey(std::string_view path) override;
  std::optional<portable::RegistryValues> ReadKey(std::string_view path) override;
  std::optional<RegistryValue> GetValue(std::string_view path, std::string_view name) override;
  void SetValue(std::string_view path, std::string_view name, RegistryValue value) override;
  bool DeleteValue(std::string_view path, std::string_view name) override;
  void DeleteKey(std::string_view path) override;
  void ApplyChanges(std::string_view path, const std::vector<RegistryChange>& changes) override;

  const std::filesystem::path& file() const { return file_; }
  // Whether `other` is this store's file or one SQLite keeps beside it, present or not, by
  // name or through any link: writing it would destroy the store.
  bool IsOwnFile(const std::filesystem::path& other) const;

 private:
  enum class Access { kRead, kChange, kCreate };
  struct Closer {
    void operator()(sqlite3* database) const;
  };

  // The open database, checked; null when there is no file and access does not create one.
  sqlite3* Open(Access access);
  // Reads the database's marks (and with wholeCheck its structure) inside a transaction.
  void Inspect(bool wholeCheck);
  // Refuses a store whose tables are not exactly the ones it makes.
  void CheckSchema();
  // Runs work(database) in one transaction and answers what it answers; work gets null when
  // there is no store yet to read or change.
  template <typename Work>
  auto Transaction(Access access, Work&& work);
  // Rolls back the transaction in progress, if any, with the schema written in it.
  void Abandon(sqlite3* database, bool schemaWritten);
  portable::RegistryStoreError Error(const std::string& cause) const;
  // The error for a failed SQLite call, with the database's own message.
  portable::RegistryStoreError ErrorOf(int code) const;

  std::filesystem::path file_;
  std::chrono::milliseconds busyTimeout_;
  std::unique_ptr<sqlite3, Closer> database_;
  bool hasSchema_ = false;
  // The schema cookie when the schema was last checked: another process changing the schema
  // changes it.
  std::int64_t checkedSchemaVersion_ = -1;
  // A lock outlasted the busy timeout, and no change has succeeded since.
  bool busyMet_ = false;
};

}  // namespace serix::host
