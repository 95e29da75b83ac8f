#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/record.hpp"
#include "store/sql_expression.hpp"

namespace vantrell::store {

class Connection;
class ResultRows;

// Where a walk through a table stands: the key of the last row handed out. A
// fresh cursor starts at the first row (or at a partial key).
class PageCursor {
 public:
  enum class Direction { Ascending, Descending };
  PageCursor() = default;
  explicit PageCursor(std::vector<Value> fromKey) : from_(std::move(fromKey)) {}
  // A walk from the last row in the table's order back to the first.
  explicit PageCursor(Direction direction) : direction_(direction) {}
  bool atEnd() const { return atEnd_; }
  Direction direction() const { return direction_; }

 private:
  friend class Table;
  std::vector<Value> from_;
  std::vector<Value> last_;
  Direction direction_ = Direction::Ascending;
  bool atEnd_ = false;
};

// An open table: its current order (an index tag or a field list), range and
// filter, and the reads and writes of its records. Reads page from the engine
// in key order; writes set Date Modified (and Date Created and User Code on new
// rows). Record locks are taken by edit() and let go by post() or cancel().
//
// A row is found again by a stable identity: its autoincrement field, else the
// key of the table's first unique tag, else the engine's row id (checked
// against the record's lock key, so a reused row id never hits another row).
class Table {
 public:
  Table(Connection& connection, const TableDefinition& definition,
        std::shared_ptr<RecordLock> tableLock);

  const TableDefinition& definition() const { return *definition_; }

  // Throws InputError for an unknown tag or field.
  void setOrder(std::string_view tagName);
  void setOrderByFields(const std::vector<std::string>& fieldNames);
  // The order of the rows' identities.
  void clearOrder();
  const std::string& orderName() const { return orderName_; }

  // Reads fill only these fields (and those that find the row and name its
  // lock); the others stay empty until edit() reads the row afresh. A run over
  // many rows that needs a few fields reads no more. Empty: every field.
  // Throws InputError for an unknown field.
  void setFields(const std::vector<std::string>& fieldNames);

  // Start and end key values on the current order (either may be shorter than
  // the key: a partial key bounds the leading parts). Both ends are inclusive.
  void setRange(std::vector<Value> start, std::vector<Value> end);
  void cancelRange();

  // The system's filter expressions; addFilter joins a condition with " AND ".
  // Throws FilterError for a filter that does not parse; the old filter stays.
  void setFilter(std::string_view filter);
  void addFilter(std::string_view condition);
  void clearFilter();
  const std::string& filter() const { return filterText_; }

  // The first record whose leading key parts equal the values, in the current
  // order, within range and filter.
  std::optional<Record> seek(std::vector<Value> key);
  // Every record whose leading key parts equal one of the keys (all of one
  // length), within range and filter: one read for many seeks. The records of
  // one key come in the current order; the caller tells keys apart by fields.
  std::vector<Record> seekMany(const std::vector<std::vector<Value>>& keys);
  std::int64_t count();
  // The next `limit` records in order after the cursor's position; an empty
  // result (and cursor.atEnd()) when there are no more. Rows that others change
  // or delete meanwhile never make the walk skip or repeat the rest.
  std::vector<Record> nextPage(PageCursor& cursor, std::size_t limit);

  // Reads every record in order, a page at a time; the visitor may change or
  // delete the record it is given.
  template <typename Visit>
  void forEach(Visit visit, std::size_t pageSize = 1000) {
    PageCursor cursor;
    for (auto batch = nextPage(cursor, pageSize); !batch.empty();
         batch = nextPage(cursor, pageSize)) {
      for (auto& record : batch) visit(record);
    }
  }

  Record newRecord() const { return Record(*definition_); }
  // Inserts; the record then holds its identity and autoincrement value.
  void append(Record& record);
  // The next `count` appends are one save's rows: inside a transaction on the
  // server their autoincrement numbers are taken now and the inserts are sent
  // without waiting, together with the next read or the commit. A refused row
  // is named by its place in the save ("record 12 of the save"); the whole
  // transaction is then rolled back, as for any failed statement.
  void expectAppends(std::size_t count);
  // Takes the record lock and reads the row afresh (fields the caller already
  // changed keep their new values). Throws RecordInUseError (with the owner)
  // when another window or workstation has the record, StoreError when the row
  // was deleted or replaced meanwhile.
  void edit(Record& record);
  // Writes the changed fields (taking the lock first if the record is not in
  // edit) and lets the lock go unless keepLock. Throws StoreError when the row
  // is gone; the record keeps its lock then so the caller may cancel.
  void post(Record& record, bool keepLock = false);
  void cancel(Record& record);
  // Deletes the row; refused with RecordInUseError while another has it.
  void remove(Record& record);
  // The fields whose values name a row's record lock, in order.
  std::vector<std::string> lockKeyFields() const;
  // Takes the record lock of a row that a batch run read in its own ordered
  // query, from the values of lockKeyFields(), without reading the row again.
  // Throws RecordInUseError (with the owner) when another holds it.
  std::shared_ptr<RecordLock> lockRow(const std::vector<Value>& keyValues);

 private:
  enum class IdentityKind { AutoIncrement, UniqueKey, RowId };

  struct Condition {
    std::string sql;
    std::vector<Value> parameters;
  };

  Condition whereClause() const;
  // How many leading key parts both ends of the range hold to the same value.
  std::size_t equalRangeParts() const;
  std::string selectList(bool everyField = false) const;
  std::string identityCondition() const;
  std::string returningIdentity() const;
  Record readRecord(ResultRows& rows, bool everyField = false) const;
  std::optional<Record> readByIdentity(const Record& record);
  // A row whose engine row id changed (the server moves a row on every update)
  // is found again by its lock key when exactly one row has it.
  std::optional<Record> readByLockKey(const Record& record);
  std::string lockKeyOf(const Record& record) const;
  void stampDates(Record& record, bool isNew);
  void appendOne(Record& record);
  void forgetStatements() { seekSql_.clear(); }

  Connection* connection_;
  const TableDefinition* definition_;
  std::shared_ptr<RecordLock> tableLock_;
  IdentityKind identityKind_ = IdentityKind::RowId;
  std::vector<KeyPart> identity_;        // selected first in every read
  std::vector<std::size_t> lockFields_;  // fields whose values name the record's lock
  std::vector<KeyPart> lockParts_;       // the key those fields make, as SQL
  std::string orderName_;
  std::vector<KeyPart> order_;
  std::vector<Value> rangeStart_;
  std::vector<Value> rangeEnd_;
  std::string filterText_;
  std::vector<SqlFragment> filters_;
  std::vector<std::size_t> readFields_;  // empty: every field
  std::string insertSql_;                // with RETURNING the identity
  std::string numberedInsertSql_;        // with the autoincrement number given
  std::string plainInsertSql_;           // for engines that report the row id themselves
  std::vector<std::size_t> insertFields_;
  // The text of the last seek; its values change from call to call, the text
  // only when the order, range or filter does.
  std::string seekSql_;
  std::size_t seekParts_ = 0;
  std::size_t expectedAppends_ = 0;
  std::size_t appendsInSave_ = 0;
  std::vector<std::int64_t> reservedNumbers_;  // handed out from the back
};

}  // namespace vantrell::store
