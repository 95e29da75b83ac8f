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

// An open table: its current order (an index tag or a field list), range and
// filter, and the reads and writes of its records. Reads page from the engine
// in key order; writes set Date Modified (and Date Created and User Code on new
// rows). Record locks are taken by edit() and let go by post() or cancel().
class Table {
 public:
  Table(Connection& connection, const TableDefinition& definition,
        std::shared_ptr<RecordLock> tableLock);

  const TableDefinition& definition() const { return *definition_; }

  // Throws InputError for an unknown tag or field.
  void setOrder(std::string_view tagName);
  void setOrderByFields(const std::vector<std::string>& fieldNames);
  // The order of the rows as stored.
  void clearOrder();
  const std::string& orderName() const { return orderName_; }

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
  std::int64_t count();
  // Up to `limit` records in order, after `after` (a record this table read),
  // or from the first (or from `from`, a partial key, when given).
  std::vector<Record> page(std::size_t limit, const Record* after = nullptr,
                           std::optional<std::vector<Value>> from = std::nullopt);

  // Reads every record in order, a page at a time.
  template <typename Visit>
  void forEach(Visit visit, std::size_t pageSize = 1000) {
    std::vector<Record> batch = page(pageSize);
    while (!batch.empty()) {
      for (auto& record : batch) visit(record);
      if (batch.size() < pageSize) break;
      Record last = std::move(batch.back());
      batch = page(pageSize, &last);
    }
  }

  Record newRecord() const { return Record(*definition_); }
  // Inserts; the record then holds its row identity and autoincrement value.
  void append(Record& record);
  // Takes the record lock; throws RecordInUseError (with the owner) when
  // another window or workstation has the record.
  void edit(Record& record);
  // Writes the changed fields and lets the lock go. Throws StoreError when the
  // row is gone; the record keeps its lock so the caller may cancel.
  void post(Record& record);
  void cancel(Record& record);
  // Deletes the row; refused with RecordInUseError while another has it.
  void remove(Record& record);

 private:
  struct Order {
    std::vector<KeyPart> parts;
  };

  SqlFragment whereClause() const;
  std::string selectList() const;
  Record readRecord(ResultRows& rows) const;
  std::string lockKeyOf(const Record& record) const;
  void stampDates(Record& record, bool isNew);

  Connection* connection_;
  const TableDefinition* definition_;
  std::shared_ptr<RecordLock> tableLock_;
  std::string orderName_;
  Order order_;
  std::vector<Value> rangeStart_;
  std::vector<Value> rangeEnd_;
  std::string filterText_;
  std::vector<SqlFragment> filters_;
  std::vector<std::size_t> lockFields_;  // fields of the first unique tag
  std::string insertSql_;
  // The text of the last seek; its values change from call to call, the text
  // only when the order, range or filter does.
  std::string seekSql_;
  std::size_t seekParts_ = 0;
  std::vector<std::size_t> insertFields_;
};

}  // namespace vantrell::store
