#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/value.hpp"

namespace vantrell::store {

class RecordLock;

// A checked handle on a field of one table: resolving the name once keeps a
// misspelt field from reaching a customer's ledger (it throws at construction).
class FieldRef {
 public:
  FieldRef(const TableDefinition& table, std::string_view fieldName);
  std::size_t index() const { return index_; }

 private:
  std::size_t index_;
};

// One row of a catalogued table. Values are kept in the field's own type (see
// coerceToField); setting a value that does not fit throws InputError and leaves
// the record as it was.
class Record {
 public:
  explicit Record(const TableDefinition& table);

  const TableDefinition& table() const { return *table_; }

  const Value& value(std::size_t index) const { return values_.at(index); }
  const Value& value(std::string_view fieldName) const;
  const Value& value(FieldRef field) const { return values_[field.index()]; }

  void set(std::string_view fieldName, Value value);
  void set(FieldRef field, Value value);
  void setAt(std::size_t index, Value value);
  // Reads the text as a clerk types it (see parseFieldText).
  void setFromText(std::string_view fieldName, std::string_view text);

  bool isEmpty(std::string_view fieldName) const;
  std::string text(std::string_view fieldName) const;  // character, memo or any value as text
  std::int64_t integer(std::string_view fieldName) const;  // 0 when empty
  double number(std::string_view fieldName) const;         // 0 when empty
  Money money(std::string_view fieldName) const;           // any numeric field, 4 decimals
  bool logical(std::string_view fieldName) const;          // false when empty
  Date date(std::string_view fieldName) const;
  DateTime timestamp(std::string_view fieldName) const;

  // Fields changed since the record was read or last posted.
  bool isModified(std::size_t index) const { return modified_.at(index); }
  bool hasModifications() const;
  void clearModifications();

  // Whether the row is stored yet, and how its table finds it again.
  bool isStored() const { return !identity_.empty(); }
  const std::vector<Value>& identity() const { return identity_; }
  void setIdentity(std::vector<Value> identity) { identity_ = std::move(identity); }

  // While the record is in edit it holds the record lock; posting or cancelling
  // lets it go.
  bool isInEdit() const { return lock_ != nullptr; }
  void attachLock(std::shared_ptr<RecordLock> lock) { lock_ = std::move(lock); }
  void releaseLock() { lock_.reset(); }

  // Overwrites a value as read from storage, without marking it changed.
  void load(std::size_t index, Value value);

 private:
  std::size_t indexOf(std::string_view fieldName) const;

  const TableDefinition* table_;
  std::vector<Value> values_;
  std::vector<bool> modified_;
  std::vector<Value> identity_;
  std::shared_ptr<RecordLock> lock_;
};

}  // namespace vantrell::store
