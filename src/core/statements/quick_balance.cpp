#include "statements/quick_balance.hpp"

#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::statements {

QuickBalanceWindow::QuickBalanceWindow(Surroundings surroundings) : surroundings_(surroundings) {}

bool QuickBalanceWindow::chooseChart(const std::string& chartNumber) {
  auto& practice = surroundings_.practice;
  const std::string chart = store::upperAscii(chartNumber);
  lines_.clear();
  chart_.clear();
  store::Table cases = practice.openTable("QVCAS");
  cases.setOrder("Idxguarantor");
  if (!cases.seek({store::Value{chart}})) {
    cases.setOrder("Primary");
    const bool hasCases = cases.seek({store::Value{chart}}).has_value();
    surroundings_.prompter.error(hasCases ? notAGuarantor : noCases);
    return false;
  }
  chart_ = chart;
  const bool enforce = surroundings_.options.flag("Enforce Accept Assignment");
  auto rows = practice.driver().query(
      std::string("SELECT ") + ledgerRowColumns +
          " FROM \"QVTRN\" t JOIN \"QVCAS\" c ON c.\"Case Number\" = t.\"Case Number\" WHERE "
          "c.\"Guarantor\" = ? AND t.\"Transaction Type\" <= 'H' ORDER BY t.\"Chart Number\", "
          "t.\"Case Number\", t.\"Date From\", t.\"Entry Number\"",
      {store::Value{chart}});
  while (rows->next()) {
    LedgerRow row = readLedgerRow(*rows);
    if (meetsRemainderCondition(row.flags, enforce)) lines_.push_back(std::move(row));
  }
  return true;
}

Money QuickBalanceWindow::balance() const {
  Money total;
  for (const auto& line : lines_) total += line.open();
  return total;
}

std::optional<std::int64_t> lastStatementOf(store::Connection& practice,
                                            const std::string& chartNumber,
                                            const std::string& type) {
  auto rows = practice.driver().query(
      "SELECT MAX(\"Statement Number\") FROM \"QVSTA\" WHERE UPPER(\"Chart Number\") = ? AND "
      "\"Statement Type\" = ?",
      {store::Value{store::upperAscii(chartNumber)}, store::Value{type}});
  if (!rows->next()) return std::nullopt;
  const auto value = rows->column(0, store::FieldType::Integer);
  const auto* number = std::get_if<std::int64_t>(&value);
  if (number == nullptr || *number == 0) return std::nullopt;
  return *number;
}

std::optional<std::int64_t> QuickBalanceWindow::print() {
  auto& practice = surroundings_.practice;
  auto& prompter = surroundings_.prompter;
  if (surroundings_.security != nullptr &&
      !surroundings_.security->hasPermission(printPermission, true))
    return std::nullopt;
  auto& settings = surroundings_.settings;
  if (settings.read(settingsKey, "Hide Print Warning").value_or("0") != "1") {
    const int choice =
        prompter.choose("Quick Balance", printWarning, {"&OK", "&Do not show this message again"});
    if (choice == 1) settings.write(settingsKey, "Hide Print Warning", "1");
  }
  auto unassigned = practice.driver().query(
      "SELECT 1 FROM \"QVTRN\" WHERE \"Chart Number\" = ? AND COALESCE(\"Statement Number\", 0) "
      "= 0 AND \"Transaction Type\" <= 'H' LIMIT 1",
      {store::Value{chart_}});
  const bool hasUnassigned = unassigned->next();
  unassigned.reset();
  const bool mayCreate = surroundings_.security == nullptr || !surroundings_.security->isOn() ||
                         surroundings_.security->hasPermission(createFromLedger, false);
  if (hasUnassigned && mayCreate) {
    const int made = createStatements(
        surroundings_, chart_, false, true, createFromLedger,
        createDialog ? createDialog : [](StatementCreateDialog&) { return true; });
    if (made >= 1) return made;
  }
  const auto type = settings.read(createSettingsKey, "Statement Type").value_or("0");
  const std::string code = type == "1" ? "R" : "S";
  if (auto last = lastStatementOf(practice, chart_, code)) return last;
  prompter.error("There are no " + typeText(code) + " statements to print.");
  return std::nullopt;
}

}  // namespace vantrell::statements
