#include "deposits/deposit_detail.hpp"

#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "transactions/balances.hpp"

namespace vantrell::deposits {
namespace {

std::string trimmed(std::string_view text) {
  return std::string(store::trimRight(text));
}

Money sumOf(const store::Value& value) {
  if (const auto* whole = std::get_if<std::int64_t>(&value))
    return Money::fromTenThousandths(*whole * 10000);
  if (const auto* real = std::get_if<double>(&value)) return Money::fromDouble(*real);
  if (const auto* money = std::get_if<Money>(&value)) return *money;
  return Money();
}

}  // namespace

std::vector<DepositDetailLine> depositDetail(store::Connection& practice,
                                             std::int64_t depositEntry) {
  for (const char* table : {"QVTRN", "QVPAX"}) store::ensureTable(practice, table);
  store::Table ledger = practice.openTable("QVTRN");
  ledger.setOrder("idxDepositID");
  ledger.setRange({store::Value{depositEntry}}, {store::Value{depositEntry}});
  ledger.setFilter("Transaction Type >= 'I' AND Transaction Type <= 'R'");
  std::vector<DepositDetailLine> lines;
  ledger.forEach([&](const store::Record& row) {
    DepositDetailLine line;
    line.entryNumber = row.integer("Entry Number");
    line.chartNumber = trimmed(row.text("Chart Number"));
    line.caseNumber = row.integer("Case Number");
    line.dateFrom = row.date("Date From");
    line.procedureCode = trimmed(row.text("Procedure Code"));
    line.transactionType = trimmed(row.text("Transaction Type"));
    line.whoPaid = trimmed(row.text("Who Paid"));
    line.amount = row.money("Amount");
    lines.push_back(std::move(line));
  });
  for (auto& line : lines) {
    const auto result = practice.executeSql(
        "SELECT SUM(\"Payment Amount\") FROM \"QVPAX\" WHERE \"Payment Reference\" = ?",
        {store::Value{line.entryNumber}});
    if (!result.rows.empty() && !result.rows.front().empty())
      line.applied = sumOf(result.rows.front().front()).roundedToCents();
  }
  return lines;
}

Money unappliedByLedger(store::Connection& practice, const store::Record& deposit) {
  const std::string takeBack = store::upperAscii(trimmed(deposit.text("Take Back Code")));
  Money unapplied = deposit.money("Payment Amount");
  store::Table ledger = practice.openTable("QVTRN");
  ledger.setOrder("idxDepositID");
  const std::int64_t depositId = deposit.integer("Entry Number");
  ledger.setRange({store::Value{depositId}}, {store::Value{depositId}});
  ledger.forEach([&](const store::Record& line) {
    const std::string type = trimmed(line.text("Transaction Type"));
    if ((type.size() == 1 && transactions::isPaymentClass(type[0])) ||
        (!takeBack.empty() && store::upperAscii(trimmed(line.text("Procedure Code"))) == takeBack))
      unapplied += line.money("Amount");
  });
  return unapplied;
}

}  // namespace vantrell::deposits
