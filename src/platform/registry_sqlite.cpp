#include "platform/registry_sqlite.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/registry_install.h"

namespace platform {
namespace {

constexpr std::int64_t kRootId = 1;
constexpr std::uint32_t kApplicationId = 0x56455152;  // "VEQR" in the file header
// Another instance may hold the file for a whole import; a call waits that long rather than fail.
constexpr int kBusyTimeoutMs = 30000;
constexpr std::size_t kMaxKeyNameLength = 255;        // so a name always fits RegEnumKeyA's 256 bytes
// Access bits that ask for changes (KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_CREATE_LINK,
// DELETE, WRITE_DAC, WRITE_OWNER, GENERIC_ALL, GENERIC_WRITE).
constexpr std::uint32_t kWriteAccess = 0x2 | 0x4 | 0x20 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

// Names compare with NOCASE, which folds ASCII letters only; the driver's names are all
// ASCII. AUTOINCREMENT keeps the ids of deleted keys from being reused, so a handle to a
// deleted key can never reach a newer one; ids grow in creation order, which is the
// enumeration order.
const char kSchema[] = R"sql(
BEGIN;
CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER, name TEXT NOT NULL COLLATE NOCASE);
CREATE UNIQUE INDEX keys_by_name ON keys(parent, name);
CREATE INDEX keys_by_parent ON keys(parent);
CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL,
                  data BLOB NOT NULL, PRIMARY KEY(key, name)) WITHOUT ROWID;
INSERT INTO keys(id, parent, name) VALUES(1, NULL, '');
PRAGMA application_id = 1447383378;  -- kApplicationId
PRAGMA user_version = 1;
COMMIT;
)sql";

const char kLayoutCheck[] =
    "SELECT (SELECT user_version FROM pragma_user_version) = 1 AND "
    "(SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('keys', 'vals')) = 2";

// A call is acknowledged once its transaction is flushed to the disk: synchronous FULL
// adds one fsync per changing call to the write-ahead log, so not even a power cut undoes
// an acknowledged write (NORMAL would only survive the death of the process). Measured at
// about 7,800 durable writes per second on a virtual disk; a mapping writes about thirty
// values, so a user never waits for it.
const char kConnectionSetup[] = "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;";

void Report(std::string* failure, std::string text) {
  if (failure != nullptr) *failure = std::move(text);
}

std::string CannotOpen(const std::string& path, const std::string& reason) {
  return "Cannot open the registry file \"" + path + "\": " + reason;
}

std::string CannotCreate(const std::string& path, const std::string& reason) {
  return "Cannot create the registry file \"" + path + "\": " + reason;
}

RegResult FromSqlite(int code) {
  switch (code & 0xFF) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return kErrorAccessDenied;
    default:
      return kErrorBadDb;
  }
}

// Splits "A\B\C" into its names. False for an empty name (a doubled, leading or trailing
// backslash) or one longer than a registry key name may be.
bool SplitPath(const char* path, std::vector<std::string>* names) {
  names->clear();
  if (*path == '\0') return true;
  const char* start = path;
  for (const char* p = path;; ++p) {
    if (*p != '\\' && *p != '\0') continue;
    const std::size_t length = static_cast<std::size_t>(p - start);
    if (length == 0 || length > kMaxKeyNameLength) return false;
    names->emplace_back(start, length);
    if (*p == '\0') return true;
    start = p + 1;
  }
}

// Reads the database header without SQLite, so that a file of any other kind is refused
// before anything could write to it.
bool LooksLikeRegistry(const std::string& path, std::string* reason) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  unsigned char header[100];
  std::size_t got = 0;
  while (got < sizeof(header)) {
    const ssize_t n = read(fd, header + got, sizeof(header) - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  if (got == 0) {
    *reason = "the file is empty, it is not a registry file";
    return false;
  }
  if (got < sizeof(header) || std::memcmp(header, "SQLite format 3", 16) != 0) {
    *reason = "it is not a registry file";
    return false;
  }
  const std::uint32_t applicationId = static_cast<std::uint32_t>(header[68]) << 24 |
                                      static_cast<std::uint32_t>(header[69]) << 16 |
                                      static_cast<std::uint32_t>(header[70]) << 8 | header[71];
  if (applicationId != kApplicationId) {
    *reason = "it is a database of another program, not a registry file";
    return false;
  }
  return true;
}

bool SyncPath(const std::string& path, std::string* reason) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool synced = fd >= 0 && fsync(fd) == 0;
  if (!synced) *reason = std::strerror(errno);
  if (fd >= 0) close(fd);
  return synced;
}

// An empty file of a new name next to path, made with the usual permissions (as the
// user's umask leaves them), for the registry to be built in.
bool CreateTempBeside(const std::string& path, std::string* temp, std::string* reason) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = path + ".new-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    const int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      return true;
    }
    if (errno != EEXIST) break;  // EEXIST: left by a killed process of the same id
  }
  *reason = std::strerror(errno);
  return false;
}

// Writes the empty layout into a fresh file.
bool WriteSchema(const std::string& path, std::string* reason) {
  sqlite3* db = nullptr;
  int code = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (code == SQLITE_OK) code = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) *reason = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  sqlite3_close(db);
  return code == SQLITE_OK;
}

// A prepared statement kept for the life of the connection.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  int Prepare(sqlite3* db, const char* sql) {
    return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
  }
  sqlite3_stmt* get() const { return statement_; }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// One run of a statement: binds parameters in order and leaves the statement reset.
// Bound texts and blobs are the caller's and must outlive the run.
class Run {
 public:
  explicit Run(const Statement& statement) : statement_(statement.get()) {}
  ~Run() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  Run& Int(std::int64_t value) {
    sqlite3_bind_int64(statement_, ++index_, value);
    return *this;
  }
  Run& Text(const std::string& value) {
    sqlite3_bind_text(statement_, ++index_, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    return *this;
  }
  Run& Blob(const std::uint8_t* data, std::uint32_t size) {
    if (size == 0) {
      sqlite3_bind_zeroblob(statement_, ++index_, 0);  // a null pointer would bind NULL
    } else {
      sqlite3_bind_blob(statement_, ++index_, data, static_cast<int>(size), SQLITE_STATIC);
    }
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int Step() { return sqlite3_step(statement_); }
  std::int64_t ColumnInt(int column) const { return sqlite3_column_int64(statement_, column); }
  const void* ColumnBytes(int column) const { return sqlite3_column_blob(statement_, column); }
  std::uint32_t ColumnSize(int column) const {
    return static_cast<std::uint32_t>(sqlite3_column_bytes(statement_, column));
  }

 private:
  sqlite3_stmt* statement_;
  int index_ = 0;
};

// The outcome of a statement that returns no rows.
RegResult Done(Run& run) {
  const int code = run.Step();
  return code == SQLITE_DONE ? kErrorSuccess : FromSqlite(code);
}

}  // namespace

struct SqliteRegistry::Statements {
  sqlite3* db = nullptr;
  Statement begin, commit, rollback, savepoint, release, rollbackTo;
  Statement keyExists, findChild, insertKey, childAt;
  Statement getValue, putValue, removeValue, removeTreeValues, removeTreeKeys;

  int Prepare() {
    const std::pair<Statement*, const char*> all[] = {
        {&begin, "BEGIN IMMEDIATE"},
        {&commit, "COMMIT"},
        {&rollback, "ROLLBACK"},
        {&savepoint, "SAVEPOINT call"},
        {&release, "RELEASE call"},
        {&rollbackTo, "ROLLBACK TO call"},
        {&keyExists, "SELECT 1 FROM keys WHERE id = ?1"},
        {&findChild, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2"},
        {&insertKey, "INSERT INTO keys(parent, name) VALUES(?1, ?2)"},
        {&childAt, "SELECT name FROM keys WHERE parent = ?1 ORDER BY id LIMIT 1 OFFSET ?2"},
        {&getValue, "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2"},
        {&putValue,
         "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
         "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data"},
        {&removeValue, "DELETE FROM vals WHERE key = ?1 AND name = ?2"},
        // UNION, not UNION ALL: in a damaged file whose parents form a cycle, a deletion
        // must still end.
        {&removeTreeValues,
         "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
         "DELETE FROM vals WHERE key IN tree"},
        {&removeTreeKeys,
         "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
         "DELETE FROM keys WHERE id IN tree"},
    };
    for (const auto& [statement, sql] : all) {
      const int code = statement->Prepare(db, sql);
      if (code != SQLITE_OK) return code;
    }
    return SQLITE_OK;
  }

  RegResult Exec(const Statement& statement) {
    Run run(statement);
    return Done(run);
  }

  // kErrorSuccess with the child's id, or kErrorFileNotFound.
  RegResult FindChild(std::int64_t parent, const std::string& name, std::int64_t* id) {
    Run run(findChild);
    const int code = run.Int(parent).Text(name).Step();
    if (code == SQLITE_DONE) return kErrorFileNotFound;
    if (code != SQLITE_ROW) return FromSqlite(code);
    *id = run.ColumnInt(0);
    return kErrorSuccess;
  }

  RegResult InsertKey(std::int64_t parent, const std::string& name, std::int64_t* id) {
    Run run(insertKey);
    const RegResult result = Done(run.Int(parent).Text(name));
    if (result == kErrorSuccess) *id = sqlite3_last_insert_rowid(db);
    return result;
  }

  RegResult RemoveTree(std::int64_t id) {
    Run values(removeTreeValues);
    const RegResult result = Done(values.Int(id));
    if (result != kErrorSuccess) return result;
    Run keys(removeTreeKeys);
    return Done(keys.Int(id));
  }
};

SqliteRegistry::SqliteRegistry(sqlite3* db, bool readOnly)
    : db_(db), readOnly_(readOnly), statements_(std::make_unique<Statements>()) {
  statements_->db = db;
}

SqliteRegistry::~SqliteRegistry() {
  statements_.reset();  // statements go before their connection
  sqlite3_close(db_);
}

std::string SqliteRegistry::DefaultPath() {
  const char* chosen = std::getenv("VEQ_REGISTRY");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/veq-comport/registry.db";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  if (home == nullptr || *home == '\0') return std::string();
  return std::string(home) + "/.local/share/veq-comport/registry.db";
}

std::unique_ptr<SqliteRegistry> SqliteRegistry::Connect(const std::string& path, std::string* failure) {
  sqlite3* db = nullptr;
  // No SQLITE_OPEN_CREATE: only a file already checked or just built is ever opened.
  const int code = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    Report(failure, CannotOpen(path, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)));
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<SqliteRegistry> registry(new SqliteRegistry(db, sqlite3_db_readonly(db, "main") == 1));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);

  sqlite3_stmt* check = nullptr;
  int checked = sqlite3_prepare_v2(db, kLayoutCheck, -1, &check, nullptr);
  bool layoutKnown = false;
  if (checked == SQLITE_OK) {
    checked = sqlite3_step(check);
    layoutKnown = checked == SQLITE_ROW && sqlite3_column_int(check, 0) == 1;
  }
  sqlite3_finalize(check);
  if (checked != SQLITE_ROW) {
    std::string reason = sqlite3_errmsg(db);
    // Reading a WAL file needs its shared-memory index beside it, made by the first reader.
    if (registry->readOnly_) reason += " (the file can only be read, and its folder cannot be written)";
    Report(failure, CannotOpen(path, reason));
    return nullptr;
  }
  if (!layoutKnown) {
    Report(failure, CannotOpen(path, "the registry file has an unknown layout"));
    return nullptr;
  }
  // The statements are prepared first: a file whose tables lack a column is refused before
  // the switch to WAL could rewrite its header.
  if (registry->statements_->Prepare() != SQLITE_OK) {
    Report(failure, CannotOpen(path, sqlite3_errmsg(db)));
    return nullptr;
  }
  if (!registry->readOnly_ && sqlite3_exec(db, kConnectionSetup, nullptr, nullptr, nullptr) != SQLITE_OK) {
    Report(failure, CannotOpen(path, sqlite3_errmsg(db)));
    return nullptr;
  }
  return registry;
}

bool SqliteRegistry::CreateRegistryFile(const std::string& path, std::string* reason) {
  // Built complete under a temporary name and linked into place: no process ever sees a
  // half-made registry, and link() never replaces a file another process made meanwhile
  // (that one is then opened instead).
  std::string temp;
  if (!CreateTempBeside(path, &temp, reason)) return false;
  bool built = WriteSchema(temp, reason);
  if (built) {
    std::unique_ptr<SqliteRegistry> fresh = Connect(temp, reason);
    built = fresh != nullptr && InstallDriverKeys(*fresh) == kErrorSuccess;
    if (fresh != nullptr && !built) *reason = "the installed keys could not be written";
  }
  built = built && SyncPath(temp, reason);
  if (built && link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    *reason = std::strerror(errno);
    built = false;
  }
  unlink(temp.c_str());
  if (built) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    std::string ignored;
    SyncPath(folder.empty() ? "." : folder, &ignored);  // makes the new name itself durable
  }
  return built;
}

std::unique_ptr<SqliteRegistry> SqliteRegistry::Open(const std::string& path, std::string* failure) {
  struct stat status {};
  std::string reason;
  if (stat(path.c_str(), &status) != 0) {
    if (errno != ENOENT) {
      Report(failure, CannotOpen(path, std::strerror(errno)));
      return nullptr;
    }
    if (!CreateRegistryFile(path, &reason)) {
      Report(failure, CannotCreate(path, reason));
      return nullptr;
    }
  } else if (S_ISDIR(status.st_mode)) {
    Report(failure, CannotOpen(path, "it is a directory, not a registry file"));
    return nullptr;
  } else if (!S_ISREG(status.st_mode)) {
    Report(failure, CannotOpen(path, "it is not a regular file"));
    return nullptr;
  }
  if (!LooksLikeRegistry(path, &reason)) {
    Report(failure, CannotOpen(path, reason));
    return nullptr;
  }
  return Connect(path, failure);
}

RegResult SqliteRegistry::Resolve(RegKey handle, std::int64_t* id) const {
  if (handle == kHKeyLocalMachine) {
    *id = kRootId;
    return kErrorSuccess;
  }
  const auto found = handles_.find(handle);
  if (found == handles_.end()) return kErrorInvalidHandle;
  *id = found->second;
  return kErrorSuccess;
}

RegKey SqliteRegistry::NewHandle(std::int64_t id) {
  handles_[nextHandle_] = id;
  return nextHandle_++;
}

RegResult SqliteRegistry::CheckAlive(std::int64_t id) {
  Run run(statements_->keyExists);
  const int code = run.Int(id).Step();
  if (code == SQLITE_ROW) return kErrorSuccess;
  return code == SQLITE_DONE ? kErrorKeyDeleted : FromSqlite(code);
}

RegResult SqliteRegistry::Walk(std::int64_t from, const char* path, std::int64_t* id) {
  std::vector<std::string> names;
  if (!SplitPath(path, &names)) return kErrorInvalidParameter;
  RegResult result = CheckAlive(from);
  *id = from;
  for (auto name = names.begin(); result == kErrorSuccess && name != names.end(); ++name) {
    result = statements_->FindChild(*id, *name, id);
  }
  return result;
}

template <typename Body>
RegResult SqliteRegistry::Change(Body body) {
  if (readOnly_) return kErrorAccessDenied;
  if (inBracket_) {
    RegResult result = statements_->Exec(statements_->savepoint);
    if (result != kErrorSuccess) return result;
    result = body();
    if (result != kErrorSuccess) statements_->Exec(statements_->rollbackTo);
    statements_->Exec(statements_->release);
    return result;
  }
  RegResult result = statements_->Exec(statements_->begin);
  if (result != kErrorSuccess) return result;
  result = body();
  if (result == kErrorSuccess) result = statements_->Exec(statements_->commit);
  if (result != kErrorSuccess && sqlite3_get_autocommit(db_) == 0) statements_->Exec(statements_->rollback);
  return result;
}

RegResult SqliteRegistry::OpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result) {
  if (result == nullptr) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t id = 0;
  RegResult outcome = Resolve(parent, &id);
  if (outcome != kErrorSuccess) return outcome;
  if (readOnly_ && (access & kWriteAccess) != 0) return kErrorAccessDenied;
  outcome = Walk(id, subKey != nullptr ? subKey : "", &id);
  if (outcome == kErrorSuccess) *result = NewHandle(id);
  return outcome;
}

RegResult SqliteRegistry::CreateKey(RegKey parent, const char* subKey, std::uint32_t /*access*/, RegKey* result,
                                    std::uint32_t* disposition) {
  std::vector<std::string> names;
  if (result == nullptr || subKey == nullptr || !SplitPath(subKey, &names)) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t id = 0;
  RegResult outcome = Resolve(parent, &id);
  if (outcome != kErrorSuccess) return outcome;
  bool created = false;
  outcome = Change([&] {
    RegResult step = CheckAlive(id);
    for (auto name = names.begin(); step == kErrorSuccess && name != names.end(); ++name) {
      step = statements_->FindChild(id, *name, &id);
      if (step == kErrorFileNotFound) {
        step = statements_->InsertKey(id, *name, &id);
        created = true;
      }
    }
    return step;
  });
  if (outcome != kErrorSuccess) return outcome;
  *result = NewHandle(id);
  if (disposition != nullptr) *disposition = created ? kRegCreatedNewKey : kRegOpenedExistingKey;
  return kErrorSuccess;
}

RegResult SqliteRegistry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) {
  if (name == nullptr) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t id = 0;
  const RegResult outcome = Resolve(key, &id);
  if (outcome != kErrorSuccess) return outcome;
  Run run(statements_->childAt);
  const int code = run.Int(id).Int(index).Step();
  if (code == SQLITE_DONE) {
    const RegResult alive = CheckAlive(id);
    return alive == kErrorSuccess ? kErrorNoMoreItems : alive;
  }
  if (code != SQLITE_ROW) return FromSqlite(code);
  const std::uint32_t length = run.ColumnSize(0);
  if (length >= nameSize) return kErrorMoreData;
  // An empty name comes back as a null pointer, which memcpy must not be given.
  if (length > 0) std::memcpy(name, run.ColumnBytes(0), length);
  name[length] = '\0';
  return kErrorSuccess;
}

RegResult SqliteRegistry::QueryValue(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                     std::uint32_t* dataSize) {
  if (data != nullptr && dataSize == nullptr) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t id = 0;
  const RegResult outcome = Resolve(key, &id);
  if (outcome != kErrorSuccess) return outcome;
  const std::string name = valueName != nullptr ? valueName : "";
  Run run(statements_->getValue);
  const int code = run.Int(id).Text(name).Step();
  if (code == SQLITE_DONE) {
    const RegResult alive = CheckAlive(id);
    return alive == kErrorSuccess ? kErrorFileNotFound : alive;
  }
  if (code != SQLITE_ROW) return FromSqlite(code);
  if (type != nullptr) *type = static_cast<std::uint32_t>(run.ColumnInt(0));
  const std::uint32_t size = run.ColumnSize(1);
  if (data != nullptr && *dataSize < size) {
    *dataSize = size;
    return kErrorMoreData;
  }
  if (data != nullptr && size > 0) std::memcpy(data, run.ColumnBytes(1), size);
  if (dataSize != nullptr) *dataSize = size;
  return kErrorSuccess;
}

RegResult SqliteRegistry::SetValue(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                                   std::uint32_t dataSize) {
  if ((data == nullptr && dataSize != 0) || dataSize > INT_MAX) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t id = 0;
  const RegResult outcome = Resolve(key, &id);
  if (outcome != kErrorSuccess) return outcome;
  const std::string name = valueName != nullptr ? valueName : "";
  return Change([&] {
    const RegResult alive = CheckAlive(id);
    if (alive != kErrorSuccess) return alive;
    Run run(statements_->putValue);
    return Done(run.Int(id).Text(name).Int(type).Blob(data, dataSize));
  });
}

RegResult SqliteRegistry::DeleteKey(RegKey key, const char* subKey) {
  if (subKey == nullptr || *subKey == '\0') return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t id = 0;
  const RegResult outcome = Resolve(key, &id);
  if (outcome != kErrorSuccess) return outcome;
  return Change([&] {
    const RegResult found = Walk(id, subKey, &id);
    return found == kErrorSuccess ? statements_->RemoveTree(id) : found;
  });
}

RegResult SqliteRegistry::DeleteValue(RegKey key, const char* valueName) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t id = 0;
  const RegResult outcome = Resolve(key, &id);
  if (outcome != kErrorSuccess) return outcome;
  const std::string name = valueName != nullptr ? valueName : "";
  return Change([&] {
    const RegResult alive = CheckAlive(id);
    if (alive != kErrorSuccess) return alive;
    Run run(statements_->removeValue);
    const RegResult result = Done(run.Int(id).Text(name));
    if (result != kErrorSuccess) return result;
    return sqlite3_changes(db_) == 0 ? kErrorFileNotFound : kErrorSuccess;
  });
}

void SqliteRegistry::BeginChanges() {
  std::lock_guard<std::mutex> lock(mutex_);
  // Without the transaction (another process held the file too long) each call is still
  // a transaction of its own.
  if (changeDepth_++ == 0 && !readOnly_) inBracket_ = statements_->Exec(statements_->begin) == kErrorSuccess;
}

RegResult SqliteRegistry::EndChanges() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (changeDepth_ == 0) return kErrorInvalidParameter;
  if (--changeDepth_ > 0 || !inBracket_) return kErrorSuccess;
  inBracket_ = false;
  const RegResult result = statements_->Exec(statements_->commit);
  if (result != kErrorSuccess && sqlite3_get_autocommit(db_) == 0) statements_->Exec(statements_->rollback);
  return result;
}

RegResult SqliteRegistry::CloseKey(RegKey key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (key == kHKeyLocalMachine) return kErrorSuccess;
  return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

std::unique_ptr<Registry> OpenSystemRegistry(std::string* failure) {
  const std::string path = SqliteRegistry::DefaultPath();
  if (path.empty()) {
    Report(failure, "Cannot find a place for the registry file: neither VEQ_REGISTRY nor HOME is set");
    return nullptr;
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) {
    Report(failure, CannotCreate(path, "its folder cannot be made: " + error.message()));
    return nullptr;
  }
  return SqliteRegistry::Open(path, failure);
}

}  // namespace platform
