#include "store/group_totals.hpp"

#include <cmath>

#include "store/connection.hpp"
#include "store/dialect.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/sql_expression.hpp"

namespace vantrell::store {

std::vector<GroupTotals> groupTotals(Connection& practice, std::string_view tableName,
                                     const std::vector<std::string>& groupFields,
                                     const std::vector<std::string>& moneyFields,
                                     std::string_view filter) {
  const TableDefinition* table = practice.catalogue().find(tableName);
  if (table == nullptr)
    throw InputError("The catalogue has no table named \"" + std::string(tableName) + "\".");
  const Dialect& dialect = practice.dialect();
  const auto groups = keyPartsForFields(*table, groupFields, dialect);
  const auto summed = keyPartsForFields(*table, moneyFields, dialect);

  std::string keys;
  for (std::size_t i = 0; i < groups.size(); ++i) keys += (i == 0 ? "" : ", ") + groups[i].sql;
  std::string columns = keys;
  // Each amount rounded to whole ten-thousandths before it is added: the sum of
  // whole numbers is exact in either engine's arithmetic.
  for (const auto& part : summed)
    columns += (columns.empty() ? "" : ", ") + ("SUM(ROUND(" + part.sql + " * 10000))");
  if (columns.empty()) throw InputError("A grouped read needs a field to group by or to total.");
  std::string sql = "SELECT " + columns;
  sql += " FROM " + Dialect::quoteIdentifier(table->name());
  std::vector<Value> parameters;
  if (!trimRight(filter).empty()) {
    SqlFragment condition = filterToSql(*table, filter, dialect);
    sql += " WHERE " + condition.sql;
    parameters = std::move(condition.parameters);
  }
  if (!groups.empty()) sql += " GROUP BY " + keys + " ORDER BY " + keys;

  std::vector<GroupTotals> result;
  auto rows = practice.driver().query(sql, parameters);
  while (rows->next()) {
    GroupTotals totals;
    totals.group.reserve(groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i)
      totals.group.push_back(rows->column(i, groups[i].type));
    totals.totals.reserve(summed.size());
    for (std::size_t i = 0; i < summed.size(); ++i) {
      const Value sum = rows->column(groups.size() + i, FieldType::Double);
      const double* units = std::get_if<double>(&sum);
      totals.totals.push_back(
          Money::fromTenThousandths(units != nullptr ? std::llround(*units) : 0));
    }
    result.push_back(std::move(totals));
  }
  return result;
}

}  // namespace vantrell::store
