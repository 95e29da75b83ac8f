#include "store/connection.hpp"

#include <fmt/format.h>

#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/postgres/postgres_driver.hpp"
#include "store/sql_expression.hpp"
#include "store/sql_script.hpp"
#include "store/sqlite/sqlite_driver.hpp"
#include "store/table.hpp"

namespace vantrell::store {
namespace {

// The key a whole-table lock is taken on; no record key is empty.
constexpr std::string_view wholeTableKey = "";

bool returnsRows(const std::string& statement) {
  const auto start = statement.find_first_not_of(" \t\r\n(");
  if (start == std::string::npos) return false;
  const std::string head = upperAscii(statement.substr(start, 6));
  return head.rfind("SELECT", 0) == 0 || head.rfind("WITH", 0) == 0 ||
         head.rfind("VALUES", 0) == 0 ||
         upperAscii(statement).find(" RETURNING ") != std::string::npos;
}

}  // namespace

std::unique_ptr<Connection> Connection::open(const DataLocation& location, const Options& options) {
  std::unique_ptr<Driver> driver;
  if (location.engine == Engine::Server)
    driver = openPostgresDriver(ServerPractice::parse(location.path), options.ownerName,
                                options.createIfMissing);
  else
    driver = openSqliteDriver(location.path, options.ownerName, options.createIfMissing,
                              options.busyWaitMilliseconds);
  return std::make_unique<Connection>(std::move(driver), options.clock);
}

std::vector<std::string> Connection::tablesAt(const DataLocation& location) {
  if (location.engine == Engine::Embedded) {
    std::error_code error;
    if (!std::filesystem::is_directory(location.path, error))
      throw ConnectionError(location.path, "the directory does not exist");
    if (!std::filesystem::exists(std::filesystem::path(location.path) / dictionaryFileName, error))
      return {};
  }
  try {
    auto connection = open(location, {"", nullptr, false});
    return connection->tableNames();
  } catch (const MissingPracticeError&) {
    return {};
  } catch (const RightsError&) {
    return {};
  }
}

bool Connection::holdsTable(const DataLocation& location, std::string_view tableName) {
  for (const auto& name : tablesAt(location)) {
    if (equalsIgnoringCase(name, withoutTableExtension(tableName))) return true;
  }
  return false;
}

Connection::Connection(std::unique_ptr<Driver> driver, const ui::Clock* clock)
    : driver_(std::move(driver)), clock_(clock != nullptr ? clock : &systemClock_) {}

Connection::~Connection() {
  if (depth_ > 0) {
    try {
      driver_->rollback();
    } catch (const StoreError&) {
      // Closing anyway; the engine rolls back an unfinished transaction itself.
    }
  }
}

void Connection::setUser(std::string userCode) {
  userCode_ = std::move(userCode);
  if (!userCode_.empty()) driver_->locks().setOwner(LockOwner::thisProcess(userCode_));
}

bool Connection::tableExists(std::string_view tableName) {
  return driver_->tableExists(withoutTableExtension(tableName));
}

Table Connection::openTable(std::string_view tableName, OpenMode mode) {
  const TableDefinition& definition = catalogue().get(tableName);
  if (!driver_->tableExists(definition.name()))
    throw StoreError(
        fmt::format("The table {} does not exist in {}.", definition.name(), location()));
  auto lock = driver_->locks().lock(definition.name(), wholeTableKey, mode == OpenMode::Exclusive);
  return Table(*this, definition, std::move(lock));
}

void Connection::createTable(const TableDefinition& table) {
  std::string sql = "CREATE TABLE " + Dialect::quoteIdentifier(table.name()) + " (";
  for (std::size_t i = 0; i < table.fields().size(); ++i) {
    if (i > 0) sql += ", ";
    sql += dialect().columnDefinition(table.field(i));
  }
  sql += ")";
  Transaction transaction(*this);
  driver_->executeScript(sql);
  ensureIndexes(table);
  transaction.commit();
}

void Connection::ensureIndexes(const TableDefinition& table) {
  for (const auto& tag : table.tags()) {
    std::string index = std::string(tag.unique ? "CREATE UNIQUE INDEX IF NOT EXISTS "
                                               : "CREATE INDEX IF NOT EXISTS ") +
                        Dialect::quoteIdentifier(Dialect::indexName(table.name(), tag.name)) +
                        " ON " + Dialect::quoteIdentifier(table.name()) + " (";
    const auto parts = tagKeyParts(table, tag, dialect());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (i > 0) index += ", ";
      index += parts[i].sql;
    }
    driver_->executeScript(index + ")");
  }
}

void Connection::advanceAutoIncrementAfterInsert(const std::string& statement) {
  const std::string upper = upperAscii(statement);
  const auto insert = upper.find("INSERT");
  const auto into = upper.find("INTO", insert == std::string::npos ? 0 : insert);
  if (insert == std::string::npos || into == std::string::npos) return;
  const auto start = statement.find('"', into);
  const auto end = start == std::string::npos ? start : statement.find('"', start + 1);
  if (end == std::string::npos) return;
  const TableDefinition* table = catalogue().find(statement.substr(start + 1, end - start - 1));
  if (table == nullptr) return;
  if (const auto field = table->autoIncrementField())
    driver_->advanceAutoIncrement(table->name(), table->field(*field).name);
}

SqlResult Connection::executeSql(std::string_view sql, const std::vector<Value>& parameters) {
  const auto statements = translateSqlScript(sql, catalogue());
  SqlResult result;
  for (std::size_t s = 0; s < statements.size(); ++s) {
    // Bound values belong to the last statement; earlier ones of a batch take none.
    const bool last = s + 1 == statements.size();
    const auto& values = last ? parameters : std::vector<Value>{};
    result = SqlResult{};
    if (returnsRows(statements[s])) {
      auto rows = driver_->query(statements[s], values);
      for (std::size_t c = 0; c < rows->columnCount(); ++c)
        result.columns.push_back(rows->columnName(c));
      while (rows->next()) {
        std::vector<Value> row;
        row.reserve(result.columns.size());
        for (std::size_t c = 0; c < result.columns.size(); ++c) row.push_back(rows->column(c));
        result.rows.push_back(std::move(row));
      }
    } else {
      result.rowsChanged = driver_->execute(statements[s], values);
      advanceAutoIncrementAfterInsert(statements[s]);
    }
  }
  return result;
}

void Connection::begin() {
  if (depth_ == 0)
    driver_->begin();
  else
    driver_->execute(fmt::format("SAVEPOINT level{}", depth_), {});
  ++depth_;
}

void Connection::commit() {
  if (depth_ == 0) throw StoreError("Commit without a transaction");
  if (driver_->transactionFailed()) {
    // Part of the work failed; keep none of it rather than half of it.
    rollback();
    throw StoreError("The changes could not be saved and were undone.");
  }
  if (depth_ == 1) {
    try {
      driver_->commit();
    } catch (const StoreError&) {
      rollback();
      throw;
    }
  } else {
    driver_->execute(fmt::format("RELEASE SAVEPOINT level{}", depth_ - 1), {});
  }
  --depth_;
}

void Connection::rollback() {
  if (depth_ == 0) return;
  // The level is left even if the engine refuses the rollback: it discards an
  // unfinished transaction itself when the session ends.
  --depth_;
  if (depth_ == 0) {
    driver_->rollback();
  } else {
    driver_->execute(fmt::format("ROLLBACK TO SAVEPOINT level{}", depth_), {});
    driver_->execute(fmt::format("RELEASE SAVEPOINT level{}", depth_), {});
  }
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
  connection_.begin();
}

Transaction::~Transaction() {
  if (done_) return;
  try {
    connection_.rollback();
  } catch (const StoreError&) {
    // A rollback that fails leaves the engine to discard the transaction when
    // the session ends; there is nothing better to do in a destructor.
  }
}

void Transaction::commit() {
  connection_.commit();
  done_ = true;
}

void Transaction::rollback() {
  done_ = true;
  connection_.rollback();
}

}  // namespace vantrell::store
