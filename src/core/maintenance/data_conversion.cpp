#include "maintenance/data_conversion.hpp"

#include <algorithm>

#include "practice/options.hpp"
#include "store/dialect.hpp"
#include "store/names.hpp"
#include "store/table_creation.hpp"

namespace vantrell::maintenance {
namespace {

bool hasColumn(const std::vector<std::string>& columns, const std::string& name) {
  return std::any_of(columns.begin(), columns.end(), [&](const std::string& column) {
    return store::equalsIgnoringCase(column, name);
  });
}

}  // namespace

bool lacksCataloguedFields(store::Connection& practice, std::string_view tableName) {
  const auto& table = practice.catalogue().get(tableName);
  const auto columns = practice.driver().columnNames(table.name());
  return std::any_of(
      table.fields().begin(), table.fields().end(),
      [&](const store::FieldDefinition& field) { return !hasColumn(columns, field.name); });
}

ConversionReport convertPractice(store::Connection& practice) {
  ConversionReport report;
  store::Transaction transaction(practice);
  for (const auto name : practice.catalogue().creationOrder()) {
    if (store::SchemaCatalogue::belongsToRootDirectory(name)) continue;
    const auto& table = practice.catalogue().get(name);
    if (store::ensureTable(practice, name)) {
      report.tablesCreated.emplace_back(name);
      continue;
    }
    const auto columns = practice.driver().columnNames(table.name());
    for (const auto& field : table.fields()) {
      if (hasColumn(columns, field.name)) continue;
      if (field.type == store::FieldType::AutoIncrement) {
        report.problems.push_back(table.name() + "." + field.name +
                                  " cannot be added to a table that has rows");
        continue;
      }
      practice.driver().executeScript("ALTER TABLE " +
                                      store::Dialect::quoteIdentifier(table.name()) +
                                      " ADD COLUMN " + practice.dialect().columnDefinition(field));
      report.fieldsAdded.push_back(table.name() + "." + field.name);
    }
    practice.ensureIndexes(table);
  }
  practice.executeSql("UPDATE QVOPT SET \"Data Version Number\" = ?",
                      {store::Value{practice::currentDataVersion}});
  transaction.commit();
  return report;
}

}  // namespace vantrell::maintenance
