#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "statements/ledger_rows.hpp"
#include "statements/statement_creation.hpp"

namespace vantrell::statements {

// The quick balance (remainder balance) window: what a guarantor owes after
// insurance, over the charges of the cases the chart guarantees.
class QuickBalanceWindow {
 public:
  explicit QuickBalanceWindow(Surroundings surroundings);

  // False (with the system's message) for a chart that guarantees no case.
  bool chooseChart(const std::string& chartNumber);
  const std::string& chartNumber() const { return chart_; }
  const std::vector<LedgerRow>& lines() const { return lines_; }
  Money balance() const;

  // "Print": its permission, the warning (unless the person asked not to see
  // it again), then a new single-account statement when the chart has lines on
  // none and the user may create statements, else the chart's last statement
  // of the type last chosen. Returns the statement to print on paper, or none
  // (with "There are no ... statements to print.").
  std::optional<std::int64_t> print();

  static constexpr const char* notAGuarantor = "This is not a guarantor's account.";
  static constexpr const char* noCases = "There are no cases for this patient";
  static constexpr const char* printWarning =
      "Printing statements from the Quick Balance window does not affect statements in Statement "
      "Management or update the submission count.";
  static constexpr const char* settingsKey =
      "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Quick Balance";
  static constexpr int printPermission = 212;
  // The dialog the Print runs for a new statement (the command line and the
  // tests fill it; the desktop shows it). Without one the type is taken as it stands.
  std::function<bool(StatementCreateDialog&)> createDialog;

 private:
  Surroundings surroundings_;
  std::string chart_;
  std::vector<LedgerRow> lines_;
};

// The chart's most recent statement of the type ("S" or "R"), through IdxChartStmt.
std::optional<std::int64_t> lastStatementOf(store::Connection& practice,
                                            const std::string& chartNumber,
                                            const std::string& type);

}  // namespace vantrell::statements
