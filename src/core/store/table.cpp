#include "store/table.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "store/connection.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::store {
namespace {

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += ", ";
    out += parts[i];
  }
  return out;
}

std::string rowTuple(const std::vector<std::string>& parts) {
  return "(" + joined(parts) + ")";
}

bool isPlainFieldKey(const std::vector<KeyPart>& parts) {
  for (const auto& part : parts) {
    if (part.field == nullptr) return false;
  }
  return !parts.empty();
}

std::vector<std::size_t> fieldsOf(const TableDefinition& table, const std::vector<KeyPart>& parts) {
  std::vector<std::size_t> fields;
  for (const auto& part : parts)
    fields.push_back(static_cast<std::size_t>(part.field - table.fields().data()));
  return fields;
}

}  // namespace

Table::Table(Connection& connection, const TableDefinition& definition,
             std::shared_ptr<RecordLock> tableLock)
    : connection_(&connection), definition_(&definition), tableLock_(std::move(tableLock)) {
  const Dialect& dialect = connection.dialect();
  const TagDefinition* uniqueTag = nullptr;
  for (const auto& tag : definition.tags()) {
    if (tag.unique) {
      uniqueTag = &tag;
      break;
    }
  }
  std::vector<KeyPart> uniqueKey;
  if (uniqueTag != nullptr) uniqueKey = tagKeyParts(definition, *uniqueTag, dialect);
  if (const auto autoField = definition.autoIncrementField()) {
    identityKind_ = IdentityKind::AutoIncrement;
    identity_ = keyPartsForFields(definition, {definition.field(*autoField).name}, dialect);
  } else if (isPlainFieldKey(uniqueKey)) {
    identityKind_ = IdentityKind::UniqueKey;
    identity_ = uniqueKey;
  } else {
    identityKind_ = IdentityKind::RowId;
    KeyPart rowId;
    rowId.sql = std::string(dialect.rowIdentityColumn());
    identity_.push_back(rowId);
  }
  // A record's lock is named by values every workstation sees alike: the first
  // unique key, else the first tag's key, else (a one-row table) the table.
  if (isPlainFieldKey(uniqueKey)) {
    lockParts_ = uniqueKey;
  } else if (!definition.tags().empty()) {
    const auto firstKey = tagKeyParts(definition, definition.tags().front(), dialect);
    if (isPlainFieldKey(firstKey)) lockParts_ = firstKey;
  }
  lockFields_ = fieldsOf(definition, lockParts_);

  std::vector<std::string> columns;
  std::vector<std::string> placeholders;
  for (std::size_t i = 0; i < definition.fields().size(); ++i) {
    if (definition.field(i).type == FieldType::AutoIncrement) continue;
    insertFields_.push_back(i);
    columns.push_back(Dialect::quoteIdentifier(definition.field(i).name));
    placeholders.push_back("?");
  }
  plainInsertSql_ = "INSERT INTO " + Dialect::quoteIdentifier(definition.name()) + " " +
                    rowTuple(columns) + " VALUES " + rowTuple(placeholders);
  insertSql_ = plainInsertSql_ + returningIdentity();
  if (const auto autoField = definition.autoIncrementField()) {
    columns.push_back(Dialect::quoteIdentifier(definition.field(*autoField).name));
    placeholders.push_back("?");
    numberedInsertSql_ = "INSERT INTO " + Dialect::quoteIdentifier(definition.name()) + " " +
                         rowTuple(columns) + " VALUES " + rowTuple(placeholders);
  }
  if (const auto autoField = definition.autoIncrementField();
      autoField && identityKind_ != IdentityKind::AutoIncrement)
    insertSql_ += ", " + Dialect::quoteIdentifier(definition.field(*autoField).name);
}

std::string Table::returningIdentity() const {
  std::vector<std::string> parts;
  for (const auto& part : identity_) parts.push_back(part.sql);
  return " RETURNING " + joined(parts);
}

std::string Table::identityCondition() const {
  std::string condition;
  for (std::size_t i = 0; i < identity_.size(); ++i) {
    if (i > 0) condition += " AND ";
    condition += identity_[i].sql + " = " +
                 (identityKind_ == IdentityKind::RowId
                      ? std::string(connection_->dialect().rowIdentityParameter())
                      : std::string("?"));
  }
  return condition;
}

void Table::setOrder(std::string_view tagName) {
  const TagDefinition* tag = definition_->findTag(tagName);
  if (tag == nullptr)
    throw InputError(
        fmt::format("The table {} has no index tag named \"{}\".", definition_->name(), tagName));
  order_ = tagKeyParts(*definition_, *tag, connection_->dialect());
  orderName_ = tag->name;
  cancelRange();
}

void Table::setOrderByFields(const std::vector<std::string>& fieldNames) {
  order_ = keyPartsForFields(*definition_, fieldNames, connection_->dialect());
  orderName_.clear();
  cancelRange();
}

void Table::clearOrder() {
  order_.clear();
  orderName_.clear();
  cancelRange();
}

void Table::setRange(std::vector<Value> start, std::vector<Value> end) {
  if (start.size() > order_.size() || end.size() > order_.size())
    throw InputError(fmt::format("The range has more values than the key of {} has parts.",
                                 orderName_.empty() ? definition_->name() : orderName_));
  for (std::size_t i = 0; i < start.size(); ++i)
    start[i] = keyValue(order_[i], std::move(start[i]), connection_->dialect());
  for (std::size_t i = 0; i < end.size(); ++i)
    end[i] = keyValue(order_[i], std::move(end[i]), connection_->dialect());
  rangeStart_ = std::move(start);
  rangeEnd_ = std::move(end);
  forgetStatements();
}

void Table::cancelRange() {
  rangeStart_.clear();
  rangeEnd_.clear();
  forgetStatements();
}

void Table::setFilter(std::string_view filter) {
  std::vector<SqlFragment> parsed;
  if (!trimRight(filter).empty())
    parsed.push_back(filterToSql(*definition_, filter, connection_->dialect()));
  filters_ = std::move(parsed);
  filterText_ = std::string(filter);
  forgetStatements();
}

void Table::addFilter(std::string_view condition) {
  if (filters_.empty()) {
    setFilter(condition);
    return;
  }
  filters_.push_back(filterToSql(*definition_, condition, connection_->dialect()));
  filterText_ += " AND " + std::string(condition);
  forgetStatements();
}

void Table::clearFilter() {
  filters_.clear();
  filterText_.clear();
  forgetStatements();
}

std::size_t Table::equalRangeParts() const {
  std::size_t equal = 0;
  while (equal < rangeStart_.size() && equal < rangeEnd_.size() &&
         rangeStart_[equal] == rangeEnd_[equal])
    ++equal;
  return equal;
}

Table::Condition Table::whereClause() const {
  Condition where;
  std::vector<std::string> conditions;
  const auto bound = [&](const std::vector<Value>& values, std::size_t from, const char* op) {
    std::vector<std::string> keys;
    std::vector<std::string> marks;
    for (std::size_t i = from; i < values.size(); ++i) {
      keys.push_back(order_[i].sql);
      marks.push_back("?");
      where.parameters.push_back(values[i]);
    }
    conditions.push_back(rowTuple(keys) + op + rowTuple(marks));
  };
  // Leading parts where both ends agree are plain equalities (one chart's
  // lines): the engine plans them from its statistics of single values, as it
  // would a hand-written look-up, instead of guessing at a range.
  const std::size_t equal = equalRangeParts();
  for (std::size_t i = 0; i < equal; ++i) {
    conditions.push_back(order_[i].sql + " = ?");
    where.parameters.push_back(rangeStart_[i]);
  }
  if (rangeStart_.size() > equal) bound(rangeStart_, equal, " >= ");
  if (rangeEnd_.size() > equal) bound(rangeEnd_, equal, " <= ");
  for (const auto& filter : filters_) {
    conditions.push_back(filter.sql);
    where.parameters.insert(where.parameters.end(), filter.parameters.begin(),
                            filter.parameters.end());
  }
  for (std::size_t i = 0; i < conditions.size(); ++i)
    where.sql += (i == 0 ? " WHERE " : " AND ") + conditions[i];
  return where;
}

void Table::setFields(const std::vector<std::string>& fieldNames) {
  std::vector<std::size_t> fields;
  if (!fieldNames.empty()) {
    std::vector<bool> wanted(definition_->fields().size(), false);
    for (const auto& name : fieldNames) {
      const auto index = definition_->fieldIndex(name);
      if (!index)
        throw InputError(
            fmt::format("The table {} has no field named \"{}\".", definition_->name(), name));
      wanted[*index] = true;
    }
    // A record must still find its row and name its lock.
    for (const auto index : lockFields_) wanted[index] = true;
    if (const auto autoField = definition_->autoIncrementField()) wanted[*autoField] = true;
    for (std::size_t i = 0; i < wanted.size(); ++i)
      if (wanted[i]) fields.push_back(i);
  }
  readFields_ = std::move(fields);
  forgetStatements();
}

// Identity first, then the order's key, then the fields read.
std::string Table::selectList(bool everyField) const {
  std::vector<std::string> columns;
  for (const auto& part : identity_) columns.push_back(part.sql);
  for (const auto& part : order_) columns.push_back(part.sql);
  if (everyField || readFields_.empty()) {
    for (const auto& field : definition_->fields())
      columns.push_back(Dialect::quoteIdentifier(field.name));
  } else {
    for (const auto index : readFields_)
      columns.push_back(Dialect::quoteIdentifier(definition_->field(index).name));
  }
  return joined(columns);
}

Record Table::readRecord(ResultRows& rows, bool everyField) const {
  Record record(*definition_);
  std::vector<Value> identity;
  identity.reserve(identity_.size());
  for (std::size_t i = 0; i < identity_.size(); ++i) identity.push_back(rows.rawColumn(i));
  record.setIdentity(std::move(identity));
  const std::size_t first = identity_.size() + order_.size();
  if (everyField || readFields_.empty()) {
    for (std::size_t i = 0; i < definition_->fields().size(); ++i)
      record.load(i, rows.column(first + i, definition_->field(i).type));
  } else {
    for (std::size_t i = 0; i < readFields_.size(); ++i)
      record.load(readFields_[i], rows.column(first + i, definition_->field(readFields_[i]).type));
  }
  return record;
}

std::optional<Record> Table::seek(std::vector<Value> key) {
  if (key.empty() || key.size() > order_.size())
    throw InputError(fmt::format("A seek on {} needs between 1 and {} key values.",
                                 orderName_.empty() ? definition_->name() : orderName_,
                                 order_.size()));
  Condition where = whereClause();
  if (seekParts_ != key.size() || seekSql_.empty()) {
    std::string sql = "SELECT " + selectList() + " FROM " +
                      Dialect::quoteIdentifier(definition_->name()) + where.sql;
    for (std::size_t i = 0; i < key.size(); ++i)
      sql += (where.sql.empty() && i == 0 ? " WHERE " : " AND ") + order_[i].sql + " = ?";
    std::vector<std::string> orderBy;
    for (const auto& part : order_) orderBy.push_back(part.sql);
    for (const auto& part : identity_) orderBy.push_back(part.sql);
    seekSql_ = sql + " ORDER BY " + joined(orderBy) + " LIMIT 1";
    seekParts_ = key.size();
  }
  for (std::size_t i = 0; i < key.size(); ++i)
    where.parameters.push_back(keyValue(order_[i], std::move(key[i]), connection_->dialect()));
  auto rows = connection_->driver().query(seekSql_, where.parameters);
  if (!rows->next()) return std::nullopt;
  return readRecord(*rows);
}

std::vector<Record> Table::seekMany(const std::vector<std::vector<Value>>& keys) {
  std::vector<Record> records;
  if (keys.empty()) return records;
  const std::size_t parts = keys.front().size();
  if (parts == 0 || parts > order_.size())
    throw InputError(fmt::format("A seek on {} needs between 1 and {} key values.",
                                 orderName_.empty() ? definition_->name() : orderName_,
                                 order_.size()));
  std::vector<std::string> keyColumns;
  std::vector<std::string> marks(parts, "?");
  for (std::size_t i = 0; i < parts; ++i) keyColumns.push_back(order_[i].sql);
  std::vector<std::string> orderBy;
  for (const auto& part : order_) orderBy.push_back(part.sql);
  for (const auto& part : identity_) orderBy.push_back(part.sql);
  // Both engines bound the number of values in one statement; a few hundred
  // keys a statement stay far below either bound.
  constexpr std::size_t keysPerRead = 200;
  for (std::size_t from = 0; from < keys.size(); from += keysPerRead) {
    const std::size_t to = std::min(keys.size(), from + keysPerRead);
    Condition where = whereClause();
    std::vector<std::string> tuples;
    for (std::size_t k = from; k < to; ++k) {
      if (keys[k].size() != parts)
        throw InputError("Every key of one read must have the same number of values.");
      tuples.push_back(rowTuple(marks));
      for (std::size_t i = 0; i < parts; ++i)
        where.parameters.push_back(keyValue(order_[i], keys[k][i], connection_->dialect()));
    }
    const std::string sql = "SELECT " + selectList() + " FROM " +
                            Dialect::quoteIdentifier(definition_->name()) + where.sql +
                            (where.sql.empty() ? " WHERE " : " AND ") + rowTuple(keyColumns) +
                            " IN (" + joined(tuples) + ") ORDER BY " + joined(orderBy);
    auto rows = connection_->driver().query(sql, where.parameters);
    while (rows->next()) records.push_back(readRecord(*rows));
  }
  return records;
}

std::int64_t Table::count() {
  const Condition where = whereClause();
  auto rows = connection_->driver().query(
      "SELECT COUNT(*) FROM " + Dialect::quoteIdentifier(definition_->name()) + where.sql,
      where.parameters);
  rows->next();
  return std::get<std::int64_t>(rows->column(0, FieldType::Integer));
}

std::vector<Record> Table::nextPage(PageCursor& cursor, std::size_t limit) {
  if (cursor.atEnd_ || limit == 0) return {};
  const Dialect& dialect = connection_->dialect();
  std::vector<std::string> keys;
  std::vector<std::string> marks;
  for (const auto& part : order_) {
    keys.push_back(part.sql);
    marks.push_back("?");
  }
  for (const auto& part : identity_) {
    keys.push_back(part.sql);
    marks.push_back(
        identityKind_ == IdentityKind::RowId ? std::string(dialect.rowIdentityParameter()) : "?");
  }

  const bool descending = cursor.direction_ == PageCursor::Direction::Descending;
  Condition where = whereClause();
  std::vector<std::string> extra;
  if (!cursor.last_.empty()) {
    // Continue after the key of the last row handed out, as the engine computed it.
    extra.push_back(rowTuple(keys) + (descending ? " < " : " > ") + rowTuple(marks));
    where.parameters.insert(where.parameters.end(), cursor.last_.begin(), cursor.last_.end());
  } else if (!cursor.from_.empty()) {
    if (cursor.from_.size() > order_.size())
      throw InputError("The starting key has more values than the key has parts.");
    std::vector<std::string> parts;
    std::vector<std::string> fromMarks;
    for (std::size_t i = 0; i < cursor.from_.size(); ++i) {
      parts.push_back(order_[i].sql);
      fromMarks.push_back("?");
      where.parameters.push_back(keyValue(order_[i], cursor.from_[i], dialect));
    }
    extra.push_back(rowTuple(parts) + (descending ? " <= " : " >= ") + rowTuple(fromMarks));
  }
  std::string sql = "SELECT " + selectList() + " FROM " +
                    Dialect::quoteIdentifier(definition_->name()) + where.sql;
  for (std::size_t i = 0; i < extra.size(); ++i)
    sql += (where.sql.empty() && i == 0 ? " WHERE " : " AND ") + extra[i];
  // Key parts the range holds to one value order nothing; left out, the
  // embedded engine walks the tag's index in order instead of sorting the rows.
  std::vector<std::string> ordered(
      keys.begin() + static_cast<std::ptrdiff_t>(equalRangeParts()), keys.end());
  if (descending)
    for (std::string& key : ordered) key += " DESC";
  sql += " ORDER BY " + joined(ordered) + " LIMIT ?";
  where.parameters.emplace_back(static_cast<std::int64_t>(limit));

  auto rows = connection_->driver().query(sql, where.parameters);
  std::vector<Record> records;
  std::vector<Value> lastKey;
  while (rows->next()) {
    records.push_back(readRecord(*rows));
    if (records.size() == limit) {
      // The walk's position: order key then identity, in the tuple's order.
      for (std::size_t i = 0; i < order_.size(); ++i)
        lastKey.push_back(rows->rawColumn(identity_.size() + i));
      for (std::size_t i = 0; i < identity_.size(); ++i) lastKey.push_back(rows->rawColumn(i));
    }
  }
  if (records.size() < limit)
    cursor.atEnd_ = true;
  else
    cursor.last_ = std::move(lastKey);
  return records;
}

void Table::stampDates(Record& record, bool isNew) {
  const DateTime now = connection_->clock().now();
  const auto stamp = [&](std::string_view name) {
    const auto index = definition_->fieldIndex(name);
    if (!index) return;
    const auto type = definition_->field(*index).type;
    if (type == FieldType::Timestamp)
      record.setAt(*index, now);
    else if (type == FieldType::Date)
      record.setAt(*index, now.date());
  };
  stamp("Date Modified");
  if (!isNew) return;
  if (const auto created = definition_->fieldIndex("Date Created");
      created && isEmptyValue(record.value(*created)))
    stamp("Date Created");
  if (const auto user = definition_->fieldIndex("User Code");
      user && isEmptyValue(record.value(*user)) && !connection_->userCode().empty()) {
    const auto& field = definition_->field(*user);
    record.setAt(*user, connection_->userCode().substr(0, static_cast<std::size_t>(field.width)));
  }
}

void Table::expectAppends(std::size_t count) {
  expectedAppends_ = count;
  appendsInSave_ = 0;
  reservedNumbers_.clear();
  const auto autoField = definition_->autoIncrementField();
  if (!autoField || identityKind_ != IdentityKind::AutoIncrement) return;
  reservedNumbers_ = connection_->driver().reserveAutoIncrement(
      definition_->name(), definition_->field(*autoField).name, count);
  std::reverse(reservedNumbers_.begin(), reservedNumbers_.end());
}

void Table::append(Record& record) {
  if (&record.table() != definition_) throw InputError("The record belongs to another table.");
  if (expectedAppends_ == 0) {
    appendOne(record);
    return;
  }
  --expectedAppends_;
  const std::size_t place = ++appendsInSave_;
  const auto row = [&] {
    return fmt::format("{} record {} of the save", definition_->description(), place);
  };
  if (!reservedNumbers_.empty()) {
    stampDates(record, true);
    const std::int64_t number = reservedNumbers_.back();
    reservedNumbers_.pop_back();
    std::vector<Value> values;
    values.reserve(insertFields_.size() + 1);
    for (const auto index : insertFields_) values.push_back(record.value(index));
    values.emplace_back(number);
    connection_->driver().executeDeferred(numberedInsertSql_, values, row());
    record.load(*definition_->autoIncrementField(), number);
    record.setIdentity({Value{number}});
    record.clearModifications();
    return;
  }
  try {
    appendOne(record);
  } catch (const ConnectionError&) {
    throw;
  } catch (const StoreError& refusal) {
    throw StoreError("The " + row() + " was refused: " + refusal.what());
  }
}

void Table::appendOne(Record& record) {
  stampDates(record, true);
  std::vector<Value> values;
  values.reserve(insertFields_.size());
  for (const auto index : insertFields_) values.push_back(record.value(index));
  Driver& driver = connection_->driver();
  if (identityKind_ != IdentityKind::UniqueKey && driver.lastInsertRowId()) {
    // The row id is the identity (and the autoincrement value, which is its alias).
    driver.execute(plainInsertSql_, values);
    const std::int64_t rowId = *driver.lastInsertRowId();
    if (const auto autoField = definition_->autoIncrementField()) record.load(*autoField, rowId);
    record.setIdentity({Value{rowId}});
    record.clearModifications();
    return;
  }
  auto rows = driver.query(insertSql_, values);
  if (!rows->next())
    throw StoreError("The engine did not report the new row of " + definition_->name());
  std::vector<Value> identity;
  for (std::size_t i = 0; i < identity_.size(); ++i) identity.push_back(rows->rawColumn(i));
  if (const auto autoField = definition_->autoIncrementField()) {
    const std::size_t column = identityKind_ == IdentityKind::AutoIncrement ? 0 : identity_.size();
    record.load(*autoField, rows->column(column, FieldType::AutoIncrement));
  }
  record.setIdentity(std::move(identity));
  record.clearModifications();
}

std::string Table::lockKeyOf(const Record& record) const {
  std::string key = "k";
  for (const auto index : lockFields_) {
    key.push_back('\x1f');
    key += upperAscii(valueToText(record.value(index)));
  }
  return key;
}

std::vector<std::string> Table::lockKeyFields() const {
  std::vector<std::string> names;
  for (const auto index : lockFields_) names.push_back(definition_->field(index).name);
  return names;
}

std::shared_ptr<RecordLock> Table::lockRow(const std::vector<Value>& keyValues) {
  if (keyValues.size() != lockFields_.size())
    throw InputError("A record lock of " + definition_->name() + " needs every field of its key.");
  std::string key = "k";
  for (const auto& value : keyValues) {
    key.push_back('\x1f');
    key += upperAscii(valueToText(value));
  }
  return connection_->driver().locks().lock(definition_->name(), key);
}

std::optional<Record> Table::readByIdentity(const Record& record) {
  auto rows = connection_->driver().query("SELECT " + selectList(true) + " FROM " +
                                              Dialect::quoteIdentifier(definition_->name()) +
                                              " WHERE " + identityCondition(),
                                          record.identity());
  if (!rows->next()) return std::nullopt;
  return readRecord(*rows, true);
}

std::optional<Record> Table::readByLockKey(const Record& record) {
  std::string sql =
      "SELECT " + selectList(true) + " FROM " + Dialect::quoteIdentifier(definition_->name());
  std::vector<Value> values;
  for (std::size_t i = 0; i < lockParts_.size(); ++i) {
    sql += (i == 0 ? " WHERE " : " AND ") + lockParts_[i].sql + " = ?";
    values.push_back(keyValue(lockParts_[i], record.value(lockFields_[i]), connection_->dialect()));
  }
  auto rows = connection_->driver().query(sql + " LIMIT 2", values);
  if (!rows->next()) return std::nullopt;
  Record found = readRecord(*rows, true);
  if (rows->next()) return std::nullopt;  // not one row: nothing to go by
  return found;
}

void Table::edit(Record& record) {
  if (record.isInEdit()) return;
  if (!record.isStored()) throw InputError("Only a stored record can be put into edit.");
  record.attachLock(connection_->driver().locks().lock(definition_->name(), lockKeyOf(record)));
  // Read the row again under the lock: another workstation may have posted it
  // since this window read it.
  auto fresh = readByIdentity(record);
  if (identityKind_ == IdentityKind::RowId && (!fresh || lockKeyOf(*fresh) != lockKeyOf(record))) {
    fresh = readByLockKey(record);
    if (fresh) record.setIdentity(fresh->identity());
  }
  if (!fresh) {
    record.releaseLock();
    throw StoreError(
        fmt::format("The {} record was changed or deleted at another workstation.  Open it again.",
                    definition_->description()));
  }
  for (std::size_t i = 0; i < definition_->fields().size(); ++i) {
    if (!record.isModified(i)) record.load(i, fresh->value(i));
  }
}

void Table::post(Record& record, bool keepLock) {
  if (!record.isStored()) throw InputError("Only a stored record can be posted; append a new one.");
  edit(record);
  stampDates(record, false);
  std::string sql = "UPDATE " + Dialect::quoteIdentifier(definition_->name()) + " SET ";
  std::vector<Value> values;
  for (std::size_t i = 0; i < definition_->fields().size(); ++i) {
    if (!record.isModified(i) || definition_->field(i).type == FieldType::AutoIncrement) continue;
    if (!values.empty()) sql += ", ";
    sql += Dialect::quoteIdentifier(definition_->field(i).name) + " = ?";
    values.push_back(record.value(i));
  }
  if (!values.empty()) {
    sql += " WHERE " + identityCondition() + returningIdentity();
    values.insert(values.end(), record.identity().begin(), record.identity().end());
    auto rows = connection_->driver().query(sql, values);
    if (!rows->next())
      throw StoreError(fmt::format("The {} record was deleted at another workstation.",
                                   definition_->description()));
    std::vector<Value> identity;
    for (std::size_t i = 0; i < identity_.size(); ++i) identity.push_back(rows->rawColumn(i));
    record.setIdentity(std::move(identity));
    record.clearModifications();
  }
  if (!keepLock) record.releaseLock();
}

void Table::cancel(Record& record) {
  record.releaseLock();
}

void Table::remove(Record& record) {
  if (!record.isStored()) return;
  edit(record);
  connection_->driver().execute("DELETE FROM " + Dialect::quoteIdentifier(definition_->name()) +
                                    " WHERE " + identityCondition(),
                                record.identity());
  record.releaseLock();
  record.setIdentity({});
}

}  // namespace vantrell::store
