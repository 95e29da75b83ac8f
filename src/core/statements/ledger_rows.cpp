#include "statements/ledger_rows.hpp"

#include <algorithm>

#include "store/names.hpp"
#include "store/value.hpp"

namespace vantrell::statements {
namespace {

Money amountOf(store::ResultRows& rows, std::size_t column) {
  const auto value = rows.column(column, store::FieldType::Double);
  if (const auto* number = std::get_if<double>(&value)) return Money::fromDouble(*number);
  return Money{};
}

Date dateOf(store::ResultRows& rows, std::size_t column) {
  const auto value = rows.column(column, store::FieldType::Date);
  if (const auto* date = std::get_if<Date>(&value)) return *date;
  return Date{};
}

bool flagOf(store::ResultRows& rows, std::size_t column) {
  const auto value = rows.column(column, store::FieldType::Logical);
  const auto* flag = std::get_if<bool>(&value);
  return flag != nullptr && *flag;
}

std::string textOf(store::ResultRows& rows, std::size_t column) {
  return std::string(
      store::trimRight(store::valueToText(rows.column(column, store::FieldType::Character))));
}

std::int64_t integerOf(store::ResultRows& rows, std::size_t column) {
  const auto value = rows.column(column, store::FieldType::Integer);
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  return 0;
}

}  // namespace

const char* const ledgerRowColumns =
    "t.\"Entry Number\", c.\"Guarantor\", t.\"Chart Number\", t.\"Case Number\", "
    "t.\"Transaction Type\", t.\"Amount\", t.\"Guarantor Amount Paid\", "
    "t.\"Insurance 1 Amount Paid\", t.\"Insurance 2 Amount Paid\", t.\"Insurance 3 Amount Paid\", "
    "t.\"Attorney Amount Paid\", t.\"Adjustment Amount\", t.\"Date From\", "
    "t.\"Date of First Statement\", t.\"Date of Last Statement\", t.\"Guarantor Responsible\", "
    "t.\"Guarantor Paid\", t.\"Insurance 1 Paid\", t.\"Insurance 2 Paid\", t.\"Insurance 3 Paid\", "
    "t.\"Accept Assignment 1\", t.\"Accept Assignment 2\", t.\"Accept Assignment 3\"";

LedgerRow readLedgerRow(store::ResultRows& rows) {
  LedgerRow row;
  row.entryNumber = integerOf(rows, 0);
  row.guarantor = textOf(rows, 1);
  row.chartNumber = textOf(rows, 2);
  row.caseNumber = integerOf(rows, 3);
  row.type = textOf(rows, 4);
  row.amounts.amount = amountOf(rows, 5);
  row.amounts.guarantorPaid = amountOf(rows, 6);
  for (int policy = 0; policy < 3; ++policy)
    row.amounts.insurancePaid[policy] = amountOf(rows, 7 + static_cast<std::size_t>(policy));
  row.amounts.attorneyPaid = amountOf(rows, 10);
  row.amounts.adjustment = amountOf(rows, 11);
  row.dateFrom = dateOf(rows, 12);
  row.firstStatement = dateOf(rows, 13);
  row.lastStatement = dateOf(rows, 14);
  row.flags.guarantorResponsible = flagOf(rows, 15);
  row.flags.guarantorPaid = flagOf(rows, 16);
  for (int policy = 0; policy < 3; ++policy) {
    row.flags.insurancePaid[policy] = flagOf(rows, 17 + static_cast<std::size_t>(policy));
    row.flags.acceptAssignment[policy] = flagOf(rows, 20 + static_cast<std::size_t>(policy));
  }
  return row;
}

std::int64_t stampUnstampedLines(store::Connection& practice,
                                 const std::vector<std::int64_t>& entries,
                                 std::int64_t statementNumber, const DateTime& now) {
  constexpr std::size_t chunk = 512;
  std::int64_t stamped = 0;
  for (std::size_t start = 0; start < entries.size(); start += chunk) {
    const std::size_t count = std::min(chunk, entries.size() - start);
    std::size_t slots = 1;
    while (slots < count) slots *= 2;
    std::string sql =
        "UPDATE \"QVTRN\" SET \"Statement Number\" = ?, \"Date Modified\" = ? WHERE "
        "COALESCE(\"Statement Number\", 0) = 0 AND \"Entry Number\" IN (?";
    for (std::size_t i = 1; i < slots; ++i) sql += ", ?";
    sql += ")";
    std::vector<store::Value> parameters = {store::Value{statementNumber}, store::Value{now}};
    for (std::size_t i = 0; i < slots; ++i)
      parameters.emplace_back(entries[start + std::min(i, count - 1)]);
    stamped += practice.driver().execute(sql, parameters);
  }
  return stamped;
}

void stampStatementNumber(store::Connection& practice, const std::vector<std::int64_t>& entries,
                          std::int64_t statementNumber, const DateTime& now) {
  // The key lists come in a few sizes (powers of two, the last key repeated),
  // so the engine prepares a handful of statements rather than one per count.
  constexpr std::size_t chunk = 512;
  for (std::size_t start = 0; start < entries.size(); start += chunk) {
    const std::size_t count = std::min(chunk, entries.size() - start);
    std::size_t slots = 1;
    while (slots < count) slots *= 2;
    std::string sql =
        "UPDATE \"QVTRN\" SET \"Statement Number\" = ?, \"Date Modified\" = ? WHERE \"Entry "
        "Number\" IN (?";
    for (std::size_t i = 1; i < slots; ++i) sql += ", ?";
    sql += ")";
    std::vector<store::Value> parameters = {store::Value{statementNumber}, store::Value{now}};
    for (std::size_t i = 0; i < slots; ++i)
      parameters.emplace_back(entries[start + std::min(i, count - 1)]);
    practice.driver().executeDeferred(sql, parameters, "Transaction records of the statement");
  }
}

void releaseStatement(store::Connection& practice, std::int64_t statementNumber,
                      const DateTime& now) {
  practice.driver().execute(
      "UPDATE \"QVTRN\" SET \"Statement Number\" = 0, \"Date Modified\" = ? WHERE "
      "COALESCE(\"Statement Number\", 0) = ?",
      {store::Value{now}, store::Value{statementNumber}});
}

}  // namespace vantrell::statements
