#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/driver.hpp"
#include "store/schema_catalogue.hpp"
#include "ui/clock.hpp"

namespace vantrell::store {

class Table;

// Which engine holds the data: the embedded one in a directory, or the shared
// server (chosen by the "CS" switch) where the path names database/practice.
enum class Engine { Embedded, Server };

struct DataLocation {
  Engine engine = Engine::Embedded;
  std::string path;
};

enum class OpenMode { Shared, Exclusive };

// Rows of a free SQL statement, with their column names.
struct SqlResult {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
  std::int64_t rowsChanged = 0;
};

// One session on one practice (or on the root data directory). Windows open
// the tables they need through it; every write goes through a Table.
class Connection {
 public:
  struct Options {
    std::string ownerName;             // shown to others as "in use by"
    const ui::Clock* clock = nullptr;  // Date Modified; the system clock when null
    bool createIfMissing = false;      // make the directory or server practice
    // How long a write waits for another workstation's write on the embedded
    // engine before it is refused as in use.
    int busyWaitMilliseconds = 15000;
  };

  // Throws ConnectionError (with the system's message) or RightsError.
  static std::unique_ptr<Connection> open(const DataLocation& location, const Options& options);
  // The tables stored at a location, without creating anything there: empty
  // for a directory without a dictionary or a server practice that does not
  // exist. Throws ConnectionError when the place cannot be reached at all.
  static std::vector<std::string> tablesAt(const DataLocation& location);
  static bool holdsTable(const DataLocation& location, std::string_view tableName);
  Connection(std::unique_ptr<Driver> driver, const ui::Clock* clock);
  ~Connection();

  Driver& driver() { return *driver_; }
  const Dialect& dialect() const { return driver_->dialect(); }
  const SchemaCatalogue& catalogue() const { return schemaCatalogue(); }
  const ui::Clock& clock() const { return *clock_; }
  std::string location() const { return driver_->location(); }

  // The user whose code new rows carry in "User Code", and whose name others
  // see on the records this session holds.
  void setUser(std::string userCode);
  const std::string& userCode() const { return userCode_; }

  // Existence by name, with or without ".ADT".
  bool tableExists(std::string_view tableName);
  std::vector<std::string> tableNames() { return driver_->tableNames(); }
  // Throws InputError for a table the catalogue does not know, StoreError when
  // it is not in this practice, RecordInUseError when another has it exclusive.
  Table openTable(std::string_view tableName, OpenMode mode = OpenMode::Shared);
  // Creates the table with its fields and index tags; StoreError on failure.
  void createTable(const TableDefinition& table);
  // Creates the index tags of a table that it lacks (an older practice).
  void ensureIndexes(const TableDefinition& table);

  // SQL in the system's forms (see SqlScript): table names bare, with ".adt" or
  // quoted, "quoted" field names, '?' for bound values, several statements
  // separated by ';'. Returns the rows of the last statement.
  SqlResult executeSql(std::string_view sql, const std::vector<Value>& parameters = {});

  // Nesting: an inner transaction is a savepoint of the outer one.
  void begin();
  void commit();
  void rollback();
  int transactionDepth() const { return depth_; }

 private:
  // Free SQL may write autoincrement fields itself; keep the engine's counter ahead.
  void advanceAutoIncrementAfterInsert(const std::string& statement);

  std::unique_ptr<Driver> driver_;
  ui::SystemClock systemClock_;
  const ui::Clock* clock_;
  std::string userCode_;
  int depth_ = 0;
};

// A scoped transaction: rolled back when it ends without commit(), so a save
// that fails part-way leaves the ledger as it was.
class Transaction {
 public:
  explicit Transaction(Connection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit();
  // Ends it now, keeping nothing (as the destructor would).
  void rollback();

 private:
  Connection& connection_;
  bool done_ = false;
};

}  // namespace vantrell::store
