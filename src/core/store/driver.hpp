#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/dialect.hpp"
#include "store/record_locks.hpp"
#include "store/value.hpp"

namespace vantrell::store {

// Rows of one statement, read forward once.
class ResultRows {
 public:
  virtual ~ResultRows() = default;
  virtual bool next() = 0;
  virtual std::size_t columnCount() const = 0;
  virtual std::string columnName(std::size_t column) const = 0;
  // The column read as the given field type keeps it.
  virtual Value column(std::size_t column, FieldType type) = 0;
  // The column read in whatever type the engine reports (for free SQL).
  virtual Value column(std::size_t column) = 0;
  // The column as the engine will take it back as a bound value of the same
  // expression (index keys read for paging).
  virtual Value rawColumn(std::size_t column) = 0;
};

// One engine session on one practice. SQL uses '?' placeholders and quoted
// identifiers; statements are prepared once per text and reused.
class Driver {
 public:
  virtual ~Driver() = default;

  virtual const Dialect& dialect() const = 0;
  virtual std::unique_ptr<ResultRows> query(const std::string& sql,
                                            const std::vector<Value>& parameters) = 0;
  // Returns the number of rows changed.
  virtual std::int64_t execute(const std::string& sql, const std::vector<Value>& parameters) = 0;
  // Statements without parameters, separated by ';' (table creation).
  virtual void executeScript(const std::string& sql) = 0;
  // Whether a statement failed inside the open transaction (or savepoint), which
  // may then only be rolled back: the server aborts such a transaction, and the
  // embedded engine is held to the same rule so both behave alike.
  virtual bool transactionFailed() const = 0;
  // After rows were inserted with explicit autoincrement values, the engine's
  // counter must move past them so that numbers are never handed out twice.
  virtual void advanceAutoIncrement(std::string_view table, std::string_view field) = 0;

  // The row id the engine gave the last insert, where the engine tells it
  // without a RETURNING clause (cheaper on the embedded engine); none otherwise.
  virtual std::optional<std::int64_t> lastInsertRowId() const = 0;

  // Inside a transaction: no other session writes the table until this one
  // ends (a check-then-append of a one-row table). The embedded engine already
  // lets only one writer in at a time.
  virtual void lockTableUntilCommit(std::string_view table) = 0;

  // Inside a transaction: autoincrement numbers taken ahead for rows about to
  // be appended, so that their inserts need not wait for the engine's answer.
  // None where appends are answered at once anyway (the embedded engine).
  virtual std::vector<std::int64_t> reserveAutoIncrement(std::string_view /*table*/,
                                                         std::string_view /*field*/,
                                                         std::size_t /*count*/) {
    return {};
  }
  // A write whose answer is not needed now. The server sends it together with
  // the next statement that waits for an answer (or the commit), so a save of
  // many rows costs one round trip; its refusal then names `row`. Elsewhere it
  // runs at once.
  virtual void executeDeferred(const std::string& sql, const std::vector<Value>& parameters,
                               const std::string& /*row*/) {
    execute(sql, parameters);
  }

  virtual bool tableExists(std::string_view table) = 0;
  virtual std::vector<std::string> tableNames() = 0;
  virtual std::vector<std::string> columnNames(std::string_view table) = 0;

  virtual void begin() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;

  virtual RecordLocks& locks() = 0;
  // Where the data lives, as shown to the person ("/data/Practice1", "server: clinic/main").
  virtual std::string location() const = 0;
};

}  // namespace vantrell::store
