#include "store/table.hpp"

#include <fmt/format.h>

#include "store/connection.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::store {
namespace {

std::string rowTuple(const std::vector<std::string>& parts) {
  std::string out = "(";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += ", ";
    out += parts[i];
  }
  return out + ")";
}

}  // namespace

Table::Table(Connection& connection, const TableDefinition& definition,
             std::shared_ptr<RecordLock> tableLock)
    : connection_(&connection), definition_(&definition), tableLock_(std::move(tableLock)) {
  const Dialect& dialect = connection.dialect();
  // Records are locked by the key of the first unique tag when it is made of
  // plain fields (the same key on every workstation), else by row identity.
  for (const auto& tag : definition.tags()) {
    if (!tag.unique) continue;
    std::vector<std::size_t> fields;
    bool plain = true;
    for (const auto& part : tagKeyParts(definition, tag, dialect)) {
      if (part.field == nullptr) plain = false;
      else fields.push_back(static_cast<std::size_t>(part.field - definition.fields().data()));
    }
    if (plain) lockFields_ = std::move(fields);
    break;
  }
  std::vector<std::string> columns;
  std::vector<std::string> placeholders;
  for (std::size_t i = 0; i < definition.fields().size(); ++i) {
    if (definition.field(i).type == FieldType::AutoIncrement) continue;
    insertFields_.push_back(i);
    columns.push_back(Dialect::quoteIdentifier(definition.field(i).name));
    placeholders.push_back("?");
  }
  const auto autoField = definition.autoIncrementField();
  insertSql_ = "INSERT INTO " + Dialect::quoteIdentifier(definition.name()) + " " + rowTuple(columns) +
               " VALUES " + rowTuple(placeholders) +
               connection.driver().insertReturning(autoField ? definition.field(*autoField).name : "");
}

void Table::setOrder(std::string_view tagName) {
  const TagDefinition* tag = definition_->findTag(tagName);
  if (tag == nullptr)
    throw InputError(fmt::format("The table {} has no index tag named \"{}\".", definition_->name(), tagName));
  order_.parts = tagKeyParts(*definition_, *tag, connection_->dialect());
  orderName_ = tag->name;
  cancelRange();
}

void Table::setOrderByFields(const std::vector<std::string>& fieldNames) {
  order_.parts = keyPartsForFields(*definition_, fieldNames, connection_->dialect());
  orderName_.clear();
  cancelRange();
}

void Table::clearOrder() {
  order_.parts.clear();
  orderName_.clear();
  cancelRange();
}

void Table::setRange(std::vector<Value> start, std::vector<Value> end) {
  if (start.size() > order_.parts.size() || end.size() > order_.parts.size())
    throw InputError(fmt::format("The range has more values than the key of {} has parts.",
                                 orderName_.empty() ? definition_->name() : orderName_));
  for (std::size_t i = 0; i < start.size(); ++i)
    start[i] = keyValue(order_.parts[i], std::move(start[i]), connection_->dialect());
  for (std::size_t i = 0; i < end.size(); ++i)
    end[i] = keyValue(order_.parts[i], std::move(end[i]), connection_->dialect());
  rangeStart_ = std::move(start);
  rangeEnd_ = std::move(end);
  seekSql_.clear();
}

void Table::cancelRange() {
  seekSql_.clear();
  rangeStart_.clear();
  rangeEnd_.clear();
}

void Table::setFilter(std::string_view filter) {
  std::vector<SqlFragment> parsed;
  if (!trimRight(filter).empty()) parsed.push_back(filterToSql(*definition_, filter, connection_->dialect()));
  filters_ = std::move(parsed);
  filterText_ = std::string(filter);
  seekSql_.clear();
}

void Table::addFilter(std::string_view condition) {
  if (filters_.empty()) {
    setFilter(condition);
    return;
  }
  filters_.push_back(filterToSql(*definition_, condition, connection_->dialect()));
  filterText_ += " AND " + std::string(condition);
  seekSql_.clear();
}

void Table::clearFilter() {
  seekSql_.clear();
  filters_.clear();
  filterText_.clear();
}

SqlFragment Table::whereClause() const {
  SqlFragment where;
  std::vector<std::string> conditions;
  const auto bound = [&](const std::vector<Value>& values, const char* op) {
    std::vector<std::string> keys;
    std::vector<std::string> marks;
    for (std::size_t i = 0; i < values.size(); ++i) {
      keys.push_back(order_.parts[i].sql);
      marks.push_back("?");
      where.parameters.push_back(values[i]);
    }
    conditions.push_back(rowTuple(keys) + op + rowTuple(marks));
  };
  if (!rangeStart_.empty()) bound(rangeStart_, " >= ");
  if (!rangeEnd_.empty()) bound(rangeEnd_, " <= ");
  for (const auto& filter : filters_) {
    conditions.push_back(filter.sql);
    where.parameters.insert(where.parameters.end(), filter.parameters.begin(), filter.parameters.end());
  }
  for (std::size_t i = 0; i < conditions.size(); ++i) where.sql += (i == 0 ? " WHERE " : " AND ") + conditions[i];
  return where;
}

std::string Table::selectList() const {
  std::string list(connection_->dialect().rowIdentityColumn());
  if (connection_->dialect().engineName() == "PostgreSQL") list += "::text";
  for (const auto& field : definition_->fields()) list += ", " + Dialect::quoteIdentifier(field.name);
  return list;
}

Record Table::readRecord(ResultRows& rows) const {
  Record record(*definition_);
  record.setRowIdentity(rows.rawColumn(0));
  for (std::size_t i = 0; i < definition_->fields().size(); ++i)
    record.load(i, rows.column(i + 1, definition_->field(i).type));
  return record;
}

std::optional<Record> Table::seek(std::vector<Value> key) {
  if (key.empty() || key.size() > order_.parts.size())
    throw InputError(fmt::format("A seek on {} needs between 1 and {} key values.",
                                 orderName_.empty() ? definition_->name() : orderName_,
                                 order_.parts.size()));
  SqlFragment where = whereClause();
  if (seekParts_ != key.size() || seekSql_.empty()) {
    std::string sql = "SELECT " + selectList() + " FROM " + Dialect::quoteIdentifier(definition_->name()) + where.sql;
    for (std::size_t i = 0; i < key.size(); ++i)
      sql += (where.sql.empty() && i == 0 ? " WHERE " : " AND ") + order_.parts[i].sql + " = ?";
    std::vector<std::string> orderBy;
    for (const auto& part : order_.parts) orderBy.push_back(part.sql);
    orderBy.emplace_back(connection_->dialect().rowIdentityColumn());
    seekSql_ = sql + " ORDER BY " + rowTuple(orderBy).substr(1, rowTuple(orderBy).size() - 2) + " LIMIT 1";
    seekParts_ = key.size();
  }
  for (std::size_t i = 0; i < key.size(); ++i)
    where.parameters.push_back(keyValue(order_.parts[i], std::move(key[i]), connection_->dialect()));
  auto rows = connection_->driver().query(seekSql_, where.parameters);
  if (!rows->next()) return std::nullopt;
  return readRecord(*rows);
}

std::int64_t Table::count() {
  const SqlFragment where = whereClause();
  auto rows = connection_->driver().query(
      "SELECT COUNT(*) FROM " + Dialect::quoteIdentifier(definition_->name()) + where.sql, where.parameters);
  rows->next();
  return std::get<std::int64_t>(rows->column(0, FieldType::Integer));
}

std::vector<Record> Table::page(std::size_t limit, const Record* after,
                                std::optional<std::vector<Value>> from) {
  const Dialect& dialect = connection_->dialect();
  const std::string tableName = Dialect::quoteIdentifier(definition_->name());
  std::vector<std::string> keys;
  for (const auto& part : order_.parts) keys.push_back(part.sql);
  keys.emplace_back(dialect.rowIdentityColumn());

  SqlFragment where = whereClause();
  std::vector<std::string> extra;
  if (from) {
    if (from->size() > order_.parts.size())
      throw InputError("The starting key has more values than the key has parts.");
    std::vector<std::string> parts;
    std::vector<std::string> marks;
    for (std::size_t i = 0; i < from->size(); ++i) {
      parts.push_back(order_.parts[i].sql);
      marks.push_back("?");
      where.parameters.push_back(keyValue(order_.parts[i], std::move((*from)[i]), dialect));
    }
    if (!parts.empty()) extra.push_back(rowTuple(parts) + " >= " + rowTuple(marks));
  }
  if (after != nullptr) {
    if (!after->isStored()) throw InputError("Paging needs a record read from the table.");
    // The key of the last row read, as the engine computes it, marks where the
    // next page starts.
    auto last = connection_->driver().query(
        "SELECT " + rowTuple(keys).substr(1, rowTuple(keys).size() - 2) + " FROM " + tableName +
            " WHERE " + std::string(dialect.rowIdentityColumn()) + " = " +
            std::string(dialect.rowIdentityParameter()),
        {after->rowIdentity()});
    if (!last->next()) return {};
    std::vector<std::string> marks;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      where.parameters.push_back(last->rawColumn(i));
      marks.push_back(i + 1 == keys.size() ? std::string(dialect.rowIdentityParameter()) : "?");
    }
    extra.push_back(rowTuple(keys) + " > " + rowTuple(marks));
  }
  std::string sql = "SELECT " + selectList() + " FROM " + tableName + where.sql;
  for (std::size_t i = 0; i < extra.size(); ++i)
    sql += (where.sql.empty() && i == 0 ? " WHERE " : " AND ") + extra[i];
  sql += " ORDER BY " + rowTuple(keys).substr(1, rowTuple(keys).size() - 2) + " LIMIT ?";
  where.parameters.emplace_back(static_cast<std::int64_t>(limit));
  auto rows = connection_->driver().query(sql, where.parameters);
  std::vector<Record> records;
  while (rows->next()) records.push_back(readRecord(*rows));
  return records;
}

void Table::stampDates(Record& record, bool isNew) {
  const DateTime now = connection_->clock().now();
  const auto stamp = [&](std::string_view name) {
    const auto index = definition_->fieldIndex(name);
    if (!index) return;
    const auto type = definition_->field(*index).type;
    if (type == FieldType::Timestamp) record.setAt(*index, now);
    else if (type == FieldType::Date) record.setAt(*index, now.date());
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

void Table::append(Record& record) {
  if (&record.table() != definition_) throw InputError("The record belongs to another table.");
  stampDates(record, true);
  std::vector<Value> values;
  values.reserve(insertFields_.size());
  for (const auto index : insertFields_) values.push_back(record.value(index));
  const InsertResult inserted = connection_->driver().insert(insertSql_, values);
  record.setRowIdentity(inserted.rowIdentity);
  if (const auto autoField = definition_->autoIncrementField())
    record.load(*autoField, inserted.autoIncrement);
  record.clearModifications();
}

std::string Table::lockKeyOf(const Record& record) const {
  if (lockFields_.empty()) return "#" + valueToText(record.rowIdentity());
  std::string key;
  for (const auto index : lockFields_) {
    if (!key.empty()) key.push_back('\x1f');
    key += upperAscii(valueToText(record.value(index)));
  }
  return key;
}

void Table::edit(Record& record) {
  if (record.isInEdit()) return;
  if (!record.isStored()) throw InputError("Only a stored record can be put into edit.");
  record.attachLock(connection_->driver().locks().lock(definition_->name(), lockKeyOf(record)));
}

void Table::post(Record& record) {
  if (!record.isStored()) throw InputError("Only a stored record can be posted; append a new one.");
  stampDates(record, false);
  std::string sql = "UPDATE " + Dialect::quoteIdentifier(definition_->name()) + " SET ";
  std::vector<Value> values;
  for (std::size_t i = 0; i < definition_->fields().size(); ++i) {
    if (!record.isModified(i) || definition_->field(i).type == FieldType::AutoIncrement) continue;
    if (!values.empty()) sql += ", ";
    sql += Dialect::quoteIdentifier(definition_->field(i).name) + " = ?";
    values.push_back(record.value(i));
  }
  if (values.empty()) {
    record.releaseLock();
    return;
  }
  const Dialect& dialect = connection_->dialect();
  sql += " WHERE " + std::string(dialect.rowIdentityColumn()) + " = " +
         std::string(dialect.rowIdentityParameter());
  values.push_back(record.rowIdentity());
  const std::string returning = connection_->driver().updateReturning();
  bool found = false;
  if (returning.empty()) {
    found = connection_->driver().execute(sql, values) > 0;
  } else {
    auto rows = connection_->driver().query(sql + returning, values);
    if (rows->next()) {
      found = true;
      record.setRowIdentity(rows->rawColumn(0));
    }
  }
  if (!found)
    throw StoreError(fmt::format("The record of {} was deleted at another workstation.",
                                 definition_->description()));
  record.clearModifications();
  record.releaseLock();
}

void Table::cancel(Record& record) { record.releaseLock(); }

void Table::remove(Record& record) {
  if (!record.isStored()) return;
  const bool hadLock = record.isInEdit();
  if (!hadLock) edit(record);
  const Dialect& dialect = connection_->dialect();
  connection_->driver().execute("DELETE FROM " + Dialect::quoteIdentifier(definition_->name()) +
                                    " WHERE " + std::string(dialect.rowIdentityColumn()) + " = " +
                                    std::string(dialect.rowIdentityParameter()),
                                {record.rowIdentity()});
  record.releaseLock();
  record.setRowIdentity(std::monostate{});
}

}  // namespace vantrell::store
