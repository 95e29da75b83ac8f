#include "store/field_defaults.hpp"

#include "store/errors.hpp"
#include "store/expression.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::store {
namespace {

void collectFields(const Expression& node, std::vector<std::size_t>& fields) {
  if (node.kind == Expression::Kind::Field) fields.push_back(node.fieldIndex);
  for (const auto& child : node.children) collectFields(*child, fields);
}

}  // namespace

bool FieldDefaults::mayCarryDefault(const TableDefinition& table, std::size_t fieldIndex) {
  const FieldDefinition& field = table.field(fieldIndex);
  if (field.type == FieldType::AutoIncrement || field.type == FieldType::Date ||
      field.type == FieldType::Timestamp)
    return false;
  for (const char* never : {"Patient Reference Balance", "Last Payment Amount", "Social Security Number"}) {
    if (equalsIgnoringCase(field.name, never)) return false;
  }
  if (equalsIgnoringCase(table.name(), "QVPAT") && equalsIgnoringCase(field.name, "Patient ID #2"))
    return false;
  if (equalsIgnoringCase(table.name(), "QVPHY") &&
      (equalsIgnoringCase(field.name, "License Number") || equalsIgnoringCase(field.name, "SSN or Fed Tax ID")))
    return false;
  if (!table.tags().empty()) {
    std::vector<std::size_t> keyFields;
    for (const auto& part : parseKey(table, table.tags().front().key)) collectFields(*part, keyFields);
    for (const auto index : keyFields) {
      if (index == fieldIndex) return false;
    }
  }
  return true;
}

bool FieldDefaults::save(const Record& record, ui::Prompter& prompter) {
  if (!prompter.askYesNo(confirmSave)) return false;
  ensureTable(connection_, "QVDEF");
  const TableDefinition& table = record.table();
  Transaction transaction(connection_);
  Table defaults = connection_.openTable("QVDEF");
  defaults.setOrder("Primary");
  for (std::size_t i = 0; i < table.fields().size(); ++i) {
    if (!mayCarryDefault(table, i)) continue;
    const std::string& fieldName = table.field(i).name;
    auto existing = defaults.seek({Value{table.name()}, Value{fieldName}});
    const Value& value = record.value(i);
    if (isEmptyValue(value)) {
      if (existing) defaults.remove(*existing);
      continue;
    }
    const std::string text = valueToText(value);
    if (text.size() > 70) continue;  // a default longer than the saved column cannot be kept
    if (existing) {
      defaults.edit(*existing);
      existing->set("Default", text);
      defaults.post(*existing);
    } else {
      Record row = defaults.newRecord();
      row.set("Table", table.name());
      row.set("Field", fieldName);
      row.set("Default", text);
      defaults.append(row);
    }
  }
  transaction.commit();
  return true;
}

void FieldDefaults::apply(Record& record) {
  if (!connection_.tableExists("QVDEF")) return;
  const TableDefinition& table = record.table();
  Table defaults = connection_.openTable("QVDEF");
  defaults.setOrder("Primary");
  defaults.setRange({Value{table.name()}}, {Value{table.name()}});
  defaults.forEach([&](const Record& row) {
    const auto index = table.fieldIndex(row.text("Field"));
    if (!index) return;
    try {
      record.setFromText(table.field(*index).name, row.text("Default"));
    } catch (const InputError&) {
      // A default that no longer fits the field (its type changed) is skipped.
    }
  });
}

void FieldDefaults::remove(const TableDefinition& table, ui::Prompter& prompter) {
  if (connection_.tableExists("QVDEF")) {
    Transaction transaction(connection_);
    Table defaults = connection_.openTable("QVDEF");
    defaults.setOrder("Primary");
    defaults.setRange({Value{table.name()}}, {Value{table.name()}});
    std::vector<Record> rows;
    defaults.forEach([&](const Record& row) { rows.push_back(row); });
    for (auto& row : rows) defaults.remove(row);
    transaction.commit();
  }
  prompter.inform(removed);
}

}  // namespace vantrell::store
