#include "sqlite_registry.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ascii_case.h"
#include "terminal_text.h"

namespace serix::host {
namespace {

namespace fs = std::filesystem;
using portable::RegistryStoreError;
using portable::RegistryValues;

constexpr const char* kSchema =
    "CREATE TABLE keys (id INTEGER PRIMARY KEY, path BLOB NOT NULL, folded BLOB NOT NULL UNIQUE);"
    "CREATE TABLE entries (key INTEGER NOT NULL REFERENCES keys (id), name BLOB NOT NULL,"
    " folded BLOB NOT NULL, type INTEGER NOT NULL, bytes BLOB NOT NULL,"
    " PRIMARY KEY (key, folded)) WITHOUT ROWID;"
    "PRAGMA application_id = 1399157368;"
    "PRAGMA user_version = 1;";
static_assert(kStoreApplicationId == 1399157368 && kStoreSchemaVersion == 1);

// An SQLite call that failed, with its result code; the registry turns it into a
// RegistryStoreError with the database's own message.
struct SqliteFailure {
  int code;
};

void Check(int result) {
  if (result != SQLITE_OK && result != SQLITE_ROW && result != SQLITE_DONE) {
    throw SqliteFailure{result};
  }
}

void Execute(sqlite3* database, const char* sql) {
  Check(sqlite3_exec(database, sql, nullptr, nullptr, nullptr));
}

class Statement {
 public:
  Statement(sqlite3* database, const char* sql) {
    Check(sqlite3_prepare_v2(database, sql, -1, &statement_, nullptr));
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(std::string_view bytes) {
    // A zero-length blob needs an address: a null one binds NULL.
    Check(sqlite3_bind_blob64(statement_, ++bound_, bytes.empty() ? "" : bytes.data(), bytes.size(),
                              SQLITE_TRANSIENT));
    return *this;
  }
  Statement& Bind(std::int64_t number) {
    Check(sqlite3_bind_int64(statement_, ++bound_, number));
    return *this;
  }
  // True while there is a row.
  bool Step() {
    const int result = sqlite3_step(statement_);
    Check(result);
    return result == SQLITE_ROW;
  }
  std::string Blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    const int size = sqlite3_column_bytes(statement_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(size));
  }
  std::int64_t Integer(int column) const { return sqlite3_column_int64(statement_, column); }

 private:
  sqlite3_stmt* statement_ = nullptr;
  int bound_ = 0;
};

std::int64_t Number(sqlite3* database, const char* sql) {
  Statement statement(database, sql);
  if (!statement.Step()) throw SqliteFailure{SQLITE_CORRUPT};
  return statement.Integer(0);
}

// One entry of the database's schema table, without its page number.
struct SchemaObject {
  std::string type;
  std::string name;
  std::string table;
  std::string sql;

  bool operator==(const SchemaObject&) const = default;
};

std::vector<SchemaObject> SchemaObjects(sqlite3* database) {
  Statement rows(database,
                 "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name");
  std::vector<SchemaObject> objects;
  while (rows.Step()) objects.push_back({rows.Blob(0), rows.Blob(1), rows.Blob(2), rows.Blob(3)});
  return objects;
}

// The schema that kSchema makes, read from a database in memory.
const std::vector<SchemaObject>& OurSchema() {
  static const std::vector<SchemaObject> objects = [] {
    sqlite3* database = nullptr;
    sqlite3_open_v2(":memory:", &database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(database, &sqlite3_close);
    Execute(database, kSchema);
    return SchemaObjects(database);
  }();
  return objects;
}

// The first way in which the objects differ from the store's; empty when they do not.
std::string SchemaDifference(const std::vector<SchemaObject>& objects) {
  const std::vector<SchemaObject>& ours = OurSchema();
  const auto named = [](const std::vector<SchemaObject>& list, const SchemaObject& like) {
    return std::find_if(list.begin(), list.end(), [&](const SchemaObject& object) {
      return object.type == like.type && object.name == like.name;
    });
  };
  for (const SchemaObject& object : objects) {
    // Names read from a database go into one-line messages.
    const std::string what = object.type + " " + TerminalLine(object.name);
    const auto own = named(ours, object);
    if (own == ours.end()) return "it holds the " + what + ", which the store does not make";
    if (!(*own == object)) return "its " + what + " is not the store's";
  }
  for (const SchemaObject& own : ours) {
    if (named(objects, own) == objects.end())
      return "it lacks the store's " + own.type + " " + own.name;
  }
  return {};
}

// Names and paths as they are compared: only the ASCII letters A to Z folded, as Windows does.
// Compared as blobs, byte by byte, this orders them as LessIgnoringAsciiCase does.
std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldAscii(c);
  return folded;
}

std::optional<std::int64_t> FindKey(sqlite3* database, std::string_view path) {
  Statement find(database, "SELECT id FROM keys WHERE folded = ?");
  find.Bind(Folded(path));
  if (!find.Step()) return std::nullopt;
  return find.Integer(0);
}

std::int64_t MakeKey(sqlite3* database, std::string_view path) {
  if (const auto key = FindKey(database, path)) return *key;
  Statement insert(database, "INSERT INTO keys (path, folded) VALUES (?, ?)");
  insert.Bind(path).Bind(Folded(path)).Step();
  return sqlite3_last_insert_rowid(database);
}

void StoreValue(sqlite3* database, std::int64_t key, std::string_view name,
                const RegistryValue& value) {
  // An existing value keeps the spelling of its name, as on Windows.
  Statement store(database,
                  "INSERT INTO entries (key, name, folded, type, bytes) VALUES (?, ?, ?, ?, ?) "
                  "ON CONFLICT (key, folded) DO UPDATE SET type = excluded.type, "
                  "bytes = excluded.bytes");
  store.Bind(key).Bind(name).Bind(Folded(name)).Bind(static_cast<std::int64_t>(value.type));
  store.Bind(value.bytes).Step();
}

bool RemoveValue(sqlite3* database, std::string_view path, std::string_view name) {
  const auto key = FindKey(database, path);
  if (!key) return false;
  Statement remove(database, "DELETE FROM entries WHERE key = ? AND folded = ?");
  remove.Bind(*key).Bind(Folded(name)).Step();
  return sqlite3_changes(database) > 0;
}

std::string SystemReason(int error) {
  return std::strerror(error);
}

std::string Duration(std::chrono::milliseconds time) {
  if (time.count() % 1000 == 0) return std::to_string(time.count() / 1000) + " seconds";
  return std::to_string(time.count()) + " ms";
}

}  // namespace

void SqliteRegistry::Closer::operator()(sqlite3* database) const {
  sqlite3_close_v2(database);
}

SqliteRegistry::SqliteRegistry(fs::path file, std::chrono::milliseconds busyTimeout)
    : file_(std::move(file)), busyTimeout_(busyTimeout) {}

SqliteRegistry::~SqliteRegistry() = default;

RegistryStoreError SqliteRegistry::Error(const std::string& cause) const {
  return RegistryStoreError("the registry " + file_.string() + " " + cause);
}

RegistryStoreError SqliteRegistry::ErrorOf(int code) const {
  sqlite3* database = database_.get();
  std::string reason = database != nullptr ? sqlite3_errmsg(database) : sqlite3_errstr(code);
  const int systemError = database != nullptr ? sqlite3_system_errno(database) : 0;
  if (systemError != 0) reason += ": " + SystemReason(systemError);
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Error("is busy: another process has kept it locked for more than " +
                   Duration(busyTimeout_) + " (" + reason + ")");
    case SQLITE_NOTADB:
      return Error("is not an SQLite database (" + reason + "); it is left as it is");
    case SQLITE_CORRUPT:
      return Error("is damaged (" + reason + "); it is left as it is");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN: {
      // SQLite creates its journal beside the store, so it may be the folder that refuses.
      if (std::string cause; !CheckStoreFolderWritable(file_, cause)) return Error(cause);
      if ((code & 0xFF) == SQLITE_CANTOPEN) return Error("cannot be used (" + reason + ")");
      return Error("cannot be written (" + reason + ")");
    }
    case SQLITE_FULL:
      return Error("cannot be written: the disk is full (" + reason + ")");
    default:
      return Error("cannot be used (" + reason + ")");
  }
}

sqlite3* SqliteRegistry::Open(Access access) {
  if (database_) return database_.get();
  VettedStoreFile vetted;
  std::string cause;
  if (!VetStoreFile(file_, access == Access::kCreate, vetted, cause)) throw Error(cause);
  if (!vetted.exists) return nullptr;  // reads and deletions create nothing

  sqlite3* opened = nullptr;
  const int result = sqlite3_open_v2(vetted.resolved.c_str(), &opened,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
  database_.reset(opened);
  try {
    Check(result);
    sqlite3_extended_result_codes(opened, 1);
    // Nothing in a database file runs code here: a planted trigger or view is refused by the
    // schema check, and would not fire or be used on this connection anyway.
    sqlite3_db_config(opened, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(opened, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(opened, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(opened, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_busy_timeout(opened, static_cast<int>(busyTimeout_.count()));
    Execute(opened, "BEGIN");
    Inspect(true);
    Execute(opened, "COMMIT");
  } catch (const SqliteFailure& failure) {
    const RegistryStoreError error = ErrorOf(failure.code);
    database_.reset();
    throw error;
  } catch (const RegistryStoreError&) {
    database_.reset();
    throw;
  }
  return opened;
}

// Ours (the schema is there), empty (a new file, which the first write fills), or anything
// else, which is refused. The whole check also looks at the structure, and at the file's size
// against what its header gives, so that a cut or damaged file is refused before anything
// reads it as a registry or writes to it.
void SqliteRegistry::Inspect(bool wholeCheck) {
  sqlite3* database = database_.get();
  const std::int64_t applicationId = Number(database, "PRAGMA application_id");
  const std::int64_t version = Number(database, "PRAGMA user_version");
  const std::int64_t objects = Number(database, "SELECT count(*) FROM sqlite_schema");
  if (wholeCheck) {
    const std::int64_t pages = Number(database, "PRAGMA page_count");
    const std::int64_t pageSize = Number(database, "PRAGMA page_size");
    Statement mode(database, "PRAGMA journal_mode");
    const bool writeAheadLog = mode.Step() && mode.Blob(0) == "wal";
    std::string cause;
    if (!CheckStoreSize(file_, pages, pageSize, writeAheadLog, cause)) throw Error(cause);
    Statement check(database, "PRAGMA quick_check(1)");
    if (check.Step() && check.Blob(0) != "ok") {
      std::string finding = check.Blob(0);
      std::replace(finding.begin(), finding.end(), '\n', ' ');
      throw Error("is damaged (" + finding + "); it is left as it is");
    }
  }
  if (applicationId == kStoreApplicationId && version == kStoreSchemaVersion) {
    CheckSchema();
    hasSchema_ = true;
  } else if (applicationId != 0 || version != 0 || objects != 0) {
    throw Error(NotOurStore(applicationId, version));
  }
}

void SqliteRegistry::CheckSchema() {
  sqlite3* database = database_.get();
  const std::string difference = SchemaDifference(SchemaObjects(database));
  if (!difference.empty()) {
    throw Error("is not a Serix registry: it carries the store's marks, but " + difference +
                "; it is left as it is");
  }
  checkedSchemaVersion_ = Number(database, "PRAGMA schema_version");
}

template <typename Work>
auto SqliteRegistry::Transaction(Access access, Work&& work) {
  sqlite3* database = Open(access);
  if (database == nullptr) return work(nullptr);
  bool schemaWritten = false;
  try {
    if (std::string cause; !CheckBesideStore(file_, cause)) throw Error(cause);  // placed since
    // A writer takes the write lock first, waiting for others within the busy timeout,
    // rather than finding it taken half way through.
    Execute(database, access == Access::kRead ? "BEGIN" : "BEGIN IMMEDIATE");
    if (!hasSchema_) {
      Inspect(false);  // another process may have written it since
    } else if (Number(database, "PRAGMA schema_version") != checkedSchemaVersion_) {
      CheckSchema();  // another process has changed it since
    }
    if (!hasSchema_ && access == Access::kCreate) {
      Execute(database, kSchema);
      checkedSchemaVersion_ = Number(database, "PRAGMA schema_version");
      hasSchema_ = schemaWritten = true;
    }
    auto answer = work(hasSchema_ ? database : nullptr);
    Execute(database, "COMMIT");
    if (busyMet_ && access != Access::kRead) {
      busyMet_ = false;
      sqlite3_busy_timeout(database, static_cast<int>(busyTimeout_.count()));
    }
    return answer;
  } catch (const SqliteFailure& failure) {
    const RegistryStoreError error = ErrorOf(failure.code);  // before ROLLBACK sets its own
    Abandon(database, schemaWritten);
    const int primary = failure.code & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
      // Waited out once: until a change gets through again, the store is taken to be still
      // locked, so that one busy store costs one timeout and not one at every access.
      busyMet_ = true;
      sqlite3_busy_timeout(database, 0);
    }
    throw error;
  } catch (...) {
    Abandon(database, schemaWritten);
    throw;
  }
}

void SqliteRegistry::Abandon(sqlite3* database, bool schemaWritten) {
  if (sqlite3_get_autocommit(database) == 0) {
    sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  if (schemaWritten) hasSchema_ = false;
}

void SqliteRegistry::CreateKey(std::string_view path) {
  // Every access of the plug-in opens the key: a read answers when it is there already.
  const bool exists = Transaction(Access::kRead, [&](sqlite3* database) {
    return database != nullptr && FindKey(database, path).has_value();
  });
  if (exists) return;
  Transaction(Access::kCreate, [&](sqlite3* database) { return MakeKey(database, path); });
}

std::optional<RegistryValues> SqliteRegistry::ReadKey(std::string_view path) {
  return Transaction(Access::kRead, [&](sqlite3* database) -> std::optional<RegistryValues> {
    if (database == nullptr) return std::nullopt;
    const auto key = FindKey(database, path);
    if (!key) return std::nullopt;
    Statement values(database,
                     "SELECT name, type, bytes FROM entries WHERE key = ? ORDER BY folded");
    values.Bind(*key);
    RegistryValues read;
    // In the map's own order, so that every value goes in at its end.
    while (values.Step()) {
      read.emplace_hint(
          read.end(), values.Blob(0),
          RegistryValue{static_cast<std::uint32_t>(values.Integer(1)), values.Blob(2)});
    }
    return read;
  });
}

std::optional<RegistryValue> SqliteRegistry::GetValue(std::string_view path,
                                                      std::string_view name) {
  return Transaction(Access::kRead, [&](sqlite3* database) -> std::optional<RegistryValue> {
    if (database == nullptr) return std::nullopt;
    Statement value(database,
                    "SELECT type, bytes FROM entries WHERE folded = ? AND key = "
                    "(SELECT id FROM keys WHERE folded = ?)");
    value.Bind(Folded(name)).Bind(Folded(path));
    if (!value.Step()) return std::nullopt;
    return RegistryValue{static_cast<std::uint32_t>(value.Integer(0)), value.Blob(1)};
  });
}

void SqliteRegistry::SetValue(std::string_view path, std::string_view name, RegistryValue value) {
  Transaction(Access::kCreate, [&](sqlite3* database) {
    StoreValue(database, MakeKey(database, path), name, value);
    return true;
  });
}

bool SqliteRegistry::DeleteValue(std::string_view path, std::string_view name) {
  return Transaction(Access::kChange, [&](sqlite3* database) {
    return database != nullptr && RemoveValue(database, path, name);
  });
}

void SqliteRegistry::DeleteKey(std::string_view path) {
  Transaction(Access::kChange, [&](sqlite3* database) {
    if (database == nullptr) return false;
    const auto key = FindKey(database, path);
    if (!key) return false;
    Statement(database, "DELETE FROM entries WHERE key = ?").Bind(*key).Step();
    Statement(database, "DELETE FROM keys WHERE id = ?").Bind(*key).Step();
    return true;
  });
}

void SqliteRegistry::ApplyChanges(std::string_view path,
                                  const std::vector<RegistryChange>& changes) {
  const bool stores = std::any_of(changes.begin(), changes.end(),
                                  [](const RegistryChange& change) { return change.value; });
  Transaction(stores ? Access::kCreate : Access::kChange, [&](sqlite3* database) {
    if (database == nullptr) return false;  // deletions only, and no store to delete from
    std::optional<std::int64_t> key;
    for (const RegistryChange& change : changes) {
      if (change.value) {
        if (!key) key = MakeKey(database, path);
        StoreValue(database, *key, change.name, *change.value);
      } else {
        RemoveValue(database, path, change.name);
      }
    }
    return true;
  });
}

bool SqliteRegistry::IsOwnFile(const fs::path& other) const {
  return IsStoreOwnFile(file_, other);
}

}  // namespace serix::host
