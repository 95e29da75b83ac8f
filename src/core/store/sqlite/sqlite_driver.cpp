#include "store/sqlite/sqlite_driver.hpp"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include <fmt/format.h>

#include "common/file_modes.hpp"
#include "store/errors.hpp"
#include "store/messages.hpp"
#include "store/names.hpp"
#include "store/sqlite/file_record_locks.hpp"

namespace vantrell::store {
namespace {

class SqliteDialect final : public Dialect {
 public:
  std::string_view engineName() const override { return "SQLite"; }

  std::string columnDefinition(const FieldDefinition& field) const override {
    const std::string name = quoteIdentifier(field.name);
    switch (field.type) {
      case FieldType::Character:
        return fmt::format("{} VARCHAR({}) NOT NULL DEFAULT ''", name, field.width);
      case FieldType::Memo:
        return name + " TEXT NOT NULL DEFAULT ''";
      case FieldType::Integer:
        return name + " INTEGER";
      case FieldType::AutoIncrement:
        return name + " INTEGER PRIMARY KEY AUTOINCREMENT";
      case FieldType::Double:
        return name + " REAL";
      case FieldType::Money:
        return name + " DECIMAL(19,4)";
      case FieldType::Logical:
        return name + " BOOLEAN";
      case FieldType::Date:
        return name + " DATE";
      case FieldType::Timestamp:
        return name + " TIMESTAMP";
    }
    return name;
  }
  std::string_view rowIdentityColumn() const override { return "rowid"; }
  std::string_view rowIdentityParameter() const override { return "?"; }
  std::string keyColumn(std::string column, FieldType type) const override {
    switch (type) {
      case FieldType::Character:
      case FieldType::Memo:
      case FieldType::AutoIncrement:
        return column;
      case FieldType::Date:
      case FieldType::Timestamp:
        return "COALESCE(" + column + ", '')";
      default:
        return "COALESCE(" + column + ", 0)";
    }
  }
  Value emptyKeyValue(FieldType type) const override {
    switch (type) {
      case FieldType::Date:
      case FieldType::Timestamp:
        return std::string{};
      case FieldType::Logical:
        return false;
      default:
        return std::int64_t{0};
    }
  }
  std::string padded(std::string expression, int width) const override {
    return fmt::format("printf('%-{0}.{0}s', {1})", width, expression);
  }
  std::string contains(std::string haystack, std::string needle) const override {
    return "(instr(" + haystack + ", " + needle + ") > 0)";
  }
};

// A file that is no database, or one that may not be written, is told as such
// whatever statement met it: an administrator can act on that.
void failOnFile(sqlite3* db, int code) {
  if (db == nullptr) return;
  const char* name = sqlite3_db_filename(db, "main");
  const std::string file = name != nullptr ? name : "";
  switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      throw StoreError(messages::damagedDatabase(file));
    case SQLITE_READONLY:
      throw RightsError(file);
    default:
      break;
  }
}

// The record lock a session holds while it has a write transaction open; its
// owner slot names the writer to a session that waited for it in vain.
constexpr const char* writerLockName = "_Writer";

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
  const int code = sqlite3_extended_errcode(db);
  failOnFile(db, code);
  const std::string message = sqlite3_errmsg(db);
  if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY) {
    // "UNIQUE constraint failed: index 'QVPAT:Primary'"
    const auto start = message.find('\'');
    const auto colon = message.find(':', start == std::string::npos ? 0 : start);
    const auto end = message.rfind('\'');
    if (start != std::string::npos && colon != std::string::npos && end > colon)
      throw DuplicateKeyError(message.substr(start + 1, colon - start - 1),
                              message.substr(colon + 1, end - colon - 1));
    throw DuplicateKeyError("the table", message);
  }
  throw StoreError(what + ": " + message);
}

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement_, nullptr) != SQLITE_OK)
      fail(db, "Cannot prepare \"" + sql + "\"");
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* handle() const { return statement_; }
  bool busy() const { return busy_; }
  void setBusy(bool busy) { busy_ = busy; }

  void bind(const std::vector<Value>& parameters) {
    // Every parameter is bound again below, so old bindings need no clearing.
    sqlite3_reset(statement_);
    const int expected = sqlite3_bind_parameter_count(statement_);
    if (expected != static_cast<int>(parameters.size()))
      throw StoreError(
          fmt::format("Statement expects {} values, {} given", expected, parameters.size()));
    for (std::size_t i = 0; i < parameters.size(); ++i)
      bindOne(static_cast<int>(i + 1), parameters[i]);
  }

 private:
  void bindOne(int position, const Value& value) {
    struct Binder {
      sqlite3_stmt* statement;
      int position;
      int operator()(std::monostate) const { return sqlite3_bind_null(statement, position); }
      int operator()(const std::string& text) const {
        return sqlite3_bind_text(statement, position, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT);
      }
      int operator()(std::int64_t number) const {
        return sqlite3_bind_int64(statement, position, number);
      }
      int operator()(double number) const {
        return sqlite3_bind_double(statement, position, number);
      }
      int operator()(Money money) const {
        return sqlite3_bind_double(statement, position, money.toDouble());
      }
      int operator()(bool flag) const {
        return sqlite3_bind_int(statement, position, flag ? 1 : 0);
      }
      int operator()(const Date& date) const {
        if (date.isEmpty()) return sqlite3_bind_null(statement, position);
        const std::string text = date.toIso();
        return sqlite3_bind_text(statement, position, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT);
      }
      int operator()(const DateTime& stamp) const {
        if (stamp.isEmpty()) return sqlite3_bind_null(statement, position);
        const std::string text = stamp.toIso();
        return sqlite3_bind_text(statement, position, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT);
      }
    };
    if (std::visit(Binder{statement_, position}, value) != SQLITE_OK)
      fail(db_, "Cannot bind a value");
  }

  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
  bool busy_ = false;
};

Value readColumn(sqlite3_stmt* statement, int column, FieldType type) {
  const int stored = sqlite3_column_type(statement, column);
  if (stored == SQLITE_NULL) {
    if (type == FieldType::Character || type == FieldType::Memo) return std::string{};
    return std::monostate{};
  }
  // A view of the engine's own buffer, valid until the next step: dates are
  // parsed from it without a copy.
  const auto text = [&] {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return std::string_view(bytes,
                            static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
  };
  switch (type) {
    case FieldType::Character:
    case FieldType::Memo:
      return std::string(text());
    case FieldType::Integer:
    case FieldType::AutoIncrement:
      return static_cast<std::int64_t>(sqlite3_column_int64(statement, column));
    case FieldType::Double:
      return sqlite3_column_double(statement, column);
    case FieldType::Money:
      return Money::fromDouble(sqlite3_column_double(statement, column));
    case FieldType::Logical:
      return sqlite3_column_int(statement, column) != 0;
    case FieldType::Date: {
      const auto date = Date::parse(text());
      return date ? Value{*date} : Value{std::monostate{}};
    }
    case FieldType::Timestamp: {
      const auto stamp = DateTime::parse(text());
      return stamp ? Value{*stamp} : Value{std::monostate{}};
    }
  }
  return std::monostate{};
}

bool isBusy(sqlite3* db) {
  const int code = sqlite3_extended_errcode(db) & 0xff;
  return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// What a statement that waited in vain for another writer throws.
class BusyRefusal {
 public:
  virtual RecordInUseError busyRefusal() = 0;

 protected:
  ~BusyRefusal() = default;
};

class SqliteRows final : public ResultRows {
 public:
  SqliteRows(sqlite3* db, Statement& statement, bool& failed, BusyRefusal& busy)
      : db_(db), statement_(statement), failed_(failed), busy_(busy) {
    statement_.setBusy(true);
  }
  ~SqliteRows() override {
    sqlite3_reset(statement_.handle());
    statement_.setBusy(false);
  }

  bool next() override {
    const int result = sqlite3_step(statement_.handle());
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) return false;
    failed_ = true;
    if (isBusy(db_)) {
      sqlite3_reset(statement_.handle());
      throw busy_.busyRefusal();
    }
    fail(db_, "Reading failed");
  }
  std::size_t columnCount() const override {
    return static_cast<std::size_t>(sqlite3_column_count(statement_.handle()));
  }
  std::string columnName(std::size_t column) const override {
    return sqlite3_column_name(statement_.handle(), static_cast<int>(column));
  }
  Value column(std::size_t column, FieldType type) override {
    return readColumn(statement_.handle(), static_cast<int>(column), type);
  }
  Value rawColumn(std::size_t column) override { return this->column(column); }
  Value column(std::size_t column) override {
    auto* handle = statement_.handle();
    const int index = static_cast<int>(column);
    switch (sqlite3_column_type(handle, index)) {
      case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(handle, index));
      case SQLITE_FLOAT:
        return sqlite3_column_double(handle, index);
      case SQLITE_NULL:
        return std::monostate{};
      default:
        return readColumn(handle, index, FieldType::Memo);
    }
  }

 private:
  sqlite3* db_;
  Statement& statement_;
  bool& failed_;
  BusyRefusal& busy_;
};

class SqliteDriver final : public Driver, public BusyRefusal {
 public:
  SqliteDriver(const std::filesystem::path& directory, std::string ownerName,
               int busyWaitMilliseconds)
      : directory_(directory), ownerName_(std::move(ownerName)), busyWait_(busyWaitMilliseconds) {
    const auto file = directory / dictionaryFileName;
    // The engine would make the file readable by everybody; made here first, it
    // is the practice group's only, and the journal files take its mode.
    if (!files::ensureFile(file, files::sharedFileMode)) {
      if (errno == EACCES || errno == EPERM || errno == EROFS)
        throw RightsError(directory.string());
      throw ConnectionError(directory.string(), std::strerror(errno));
    }
    const int opened =
        sqlite3_open_v2(file.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    // The handle is closed on every way out of here; the destructor does not run.
    try {
      if (opened != SQLITE_OK) {
        failOnFile(db_, sqlite3_extended_errcode(db_));
        throw ConnectionError(directory.string(),
                              db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
      }
      setUp(directory);
    } catch (...) {
      statements_.clear();
      sqlite3_close_v2(db_);
      db_ = nullptr;
      throw;
    }
  }

  ~SqliteDriver() override {
    statements_.clear();
    sqlite3_close_v2(db_);
  }

 private:
  void setUp(const std::filesystem::path& directory) {
    // A file this user may not write opens for reading only, and every save
    // would fail later: refuse it now, naming the file.
    if (sqlite3_db_readonly(db_, "main") == 1)
      throw RightsError((directory / dictionaryFileName).string());
    sqlite3_extended_result_codes(db_, 1);
    // A misspelt "Field Name" must be an error, not quietly a string as the
    // engine's old compatibility rule would have it.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // Several workstations' processes share the file: wait for a writer rather
    // than fail at once.
    sqlite3_busy_timeout(db_, busyWait_);
    executeScript(sqliteSessionSettings);
    locks_ =
        openFileRecordLocks(directory / recordLockFileName, "", LockOwner::thisProcess(ownerName_));
  }

 public:
  const Dialect& dialect() const override { return dialect_; }

  std::unique_ptr<ResultRows> query(const std::string& sql,
                                    const std::vector<Value>& parameters) override {
    Statement& statement = prepared(sql);
    if (statement.busy()) {
      // The same text is being read further up; give this reader its own copy.
      auto& own = ownStatements_.emplace_back(std::make_unique<Statement>(db_, sql));
      own->bind(parameters);
      return std::make_unique<SqliteRows>(db_, *own, failed_, *this);
    }
    statement.bind(parameters);
    return std::make_unique<SqliteRows>(db_, statement, failed_, *this);
  }

  std::int64_t execute(const std::string& sql, const std::vector<Value>& parameters) override {
    Statement& statement = prepared(sql);
    statement.bind(parameters);
    step(statement);
    // Rolling back (to a savepoint or entirely) or beginning anew clears a failure.
    if (sql.rfind("ROLLBACK", 0) == 0 || sql.rfind("BEGIN", 0) == 0) failed_ = false;
    return sqlite3_changes64(db_);
  }

  void executeScript(const std::string& sql) override {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      failed_ = true;
      const std::string message = error != nullptr ? error : "unknown error";
      sqlite3_free(error);
      failOnFile(db_, sqlite3_extended_errcode(db_));
      if (message.find("UNIQUE constraint failed") != std::string::npos) fail(db_, "Script failed");
      throw StoreError("The engine refused \"" + sql + "\": " + message);
    }
  }

  bool transactionFailed() const override { return failed_ && sqlite3_get_autocommit(db_) == 0; }
  // The embedded engine keeps its own counter (sqlite_sequence) past any value
  // written explicitly.
  void advanceAutoIncrement(std::string_view, std::string_view) override {}

  std::optional<std::int64_t> lastInsertRowId() const override {
    return static_cast<std::int64_t>(sqlite3_last_insert_rowid(db_));
  }

  void lockTableUntilCommit(std::string_view) override {}

  bool tableExists(std::string_view table) override {
    auto rows =
        query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
              {Value{std::string(table)}});
    return rows->next();
  }

  std::vector<std::string> tableNames() override {
    std::vector<std::string> names;
    auto rows = query(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE "
        "'\\' "
        "ORDER BY name",
        {});
    while (rows->next()) names.push_back(std::get<std::string>(rows->column(0, FieldType::Memo)));
    return names;
  }

  std::vector<std::string> columnNames(std::string_view table) override {
    std::vector<std::string> names;
    auto rows =
        query("SELECT name FROM pragma_table_info(?) ORDER BY cid", {Value{std::string(table)}});
    while (rows->next()) names.push_back(std::get<std::string>(rows->column(0, FieldType::Memo)));
    return names;
  }

  void begin() override {
    execute("BEGIN IMMEDIATE", {});
    // This session now writes: others who wait for it in vain can name it.
    try {
      writer_ = locks_->lock(writerLockName, "", true);
    } catch (const RecordInUseError&) {
      // The last writer is between letting go of its name and of the database.
    }
  }
  void commit() override {
    writer_.reset();
    execute("COMMIT", {});
  }
  void rollback() override {
    writer_.reset();
    if (sqlite3_get_autocommit(db_) == 0) execute("ROLLBACK", {});
  }

  RecordLocks& locks() override { return *locks_; }
  std::string location() const override { return directory_.string(); }

 private:
  Statement& prepared(const std::string& sql) {
    // Batch work runs one statement over and over: skip the lookup then.
    if (last_ != nullptr && !last_->busy() && lastSql_ == sql) return *last_;
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
      if (statements_.size() > 500) dropIdleStatements();
      try {
        found = statements_.emplace(sql, std::make_unique<Statement>(db_, sql)).first;
      } catch (const StoreError&) {
        failed_ = true;
        throw;
      }
    }
    // Readers of private copies that have finished can go.
    while (!ownStatements_.empty() && !ownStatements_.back()->busy()) ownStatements_.pop_back();
    last_ = found->second.get();
    lastSql_ = sql;
    return *found->second;
  }

  // Another session kept the database to itself for longer than the busy wait:
  // refused as a record in use, naming the writer when it left its name.
  RecordInUseError busyRefusal() override {
    try {
      const auto free = locks_->lock(writerLockName, "", true);
    } catch (const RecordInUseError& held) {
      if (held.owner() && !held.owner()->isThisProcess()) return held;
    }
    return RecordInUseError(std::nullopt);
  }

  void dropIdleStatements() {
    last_ = nullptr;
    for (auto it = statements_.begin(); it != statements_.end();) {
      it = it->second->busy() ? std::next(it) : statements_.erase(it);
    }
  }

  void step(Statement& statement) {
    const int result = sqlite3_step(statement.handle());
    // On failure the message must be read before the statement is reset; the
    // next bind resets it.
    if (result != SQLITE_DONE && result != SQLITE_ROW) {
      failed_ = true;
      if (isBusy(db_)) {
        sqlite3_reset(statement.handle());
        throw busyRefusal();
      }
      fail(db_, "Writing failed");
    }
    sqlite3_reset(statement.handle());
  }

  std::filesystem::path directory_;
  std::string ownerName_;
  int busyWait_;
  sqlite3* db_ = nullptr;
  SqliteDialect dialect_;
  std::unordered_map<std::string, std::unique_ptr<Statement>> statements_;
  Statement* last_ = nullptr;
  bool failed_ = false;
  std::string lastSql_;
  std::vector<std::unique_ptr<Statement>> ownStatements_;
  std::unique_ptr<RecordLocks> locks_;
  // Held while this session has a write transaction open.
  std::shared_ptr<RecordLock> writer_;
};

}  // namespace

std::unique_ptr<Driver> openSqliteDriver(const std::filesystem::path& directory,
                                         std::string ownerName, bool createDirectory,
                                         int busyWaitMilliseconds) {
  std::error_code error;
  if (createDirectory && !std::filesystem::exists(directory, error)) {
    files::createFolders(directory, files::sharedFolderMode, error);
    if (error) throw RightsError(directory.string());
  }
  if (!std::filesystem::is_directory(directory, error))
    throw ConnectionError(directory.string(), "the directory does not exist");
  if (::access(directory.c_str(), W_OK) != 0) throw RightsError(directory.string());
  return std::make_unique<SqliteDriver>(directory, std::move(ownerName), busyWaitMilliseconds);
}

}  // namespace vantrell::store
