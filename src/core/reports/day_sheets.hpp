#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "reports/report.hpp"
#include "store/connection.hpp"
#include "store/value.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"

namespace vantrell::security {
class Security;
}

// The day sheets and the practice analysis: the ledger of a period summed by
// patient, by procedure code, by provider, or by procedure code and modifiers.
namespace vantrell::reports {

enum class LedgerReportKind {
  PatientDaySheet,
  ProcedureDaySheet,
  PaymentDaySheet,
  PracticeAnalysis
};

// "Patient Day Sheet", "Practice Analysis", ...
std::string ledgerReportTitle(LedgerReportKind kind);

// The permission items of a report: running it, printing the practice totals,
// and running it over one's own entries. currentUser is -1 where there is none.
struct LedgerReportRights {
  int report;
  int withTotals;
  int currentUser;
};
LedgerReportRights ledgerReportRights(LedgerReportKind kind);

// The sums of transactions by the first letter of their type, as every summary
// and the analysis's calculated fields classify them. On the patient day sheet
// a take-back ("V") counts as a receipt and not as an adjustment.
class LedgerTotals {
 public:
  explicit LedgerTotals(bool patientDaySheet = false) : patientDaySheet_(patientDaySheet) {}
  void add(std::string_view transactionType, Money amount);

  Money procedureCharges, productCharges, insideLab, outsideLab, taxCharges, billingCharges;
  Money charges;
  Money insurancePayments, cashCopayments, checkCopayments, creditCardCopayments;
  Money cashPayments, checkPayments, creditCardPayments, deductibles;
  Money receipts;
  Money debitAdjustments, creditAdjustments;
  Money insuranceDebitAdjustments, insuranceCreditAdjustments, insuranceWithholds;
  Money adjustments;
  Money netEffect;              // every transaction's amount
  std::int64_t procedures = 0;  // transactions of type "A"

  // The summary lines, labelled as printed, ending with the net effect.
  std::vector<SummaryLine> summaryLines() const;

 private:
  bool patientDaySheet_;
};

// The analysis's per-transaction fields. Cost is units times the procedure's
// cost of service; revenue per minute is 0 for a procedure without a time.
Money analysisCost(double units, Money costOfService);
Money revenuePerMinute(Money netAmount, std::int64_t minutesToDo);
Money averageAmount(Money amount, double units);

// One question of the report question dialog: a field with a from-value and a
// to-value, compared as text or as dates. An empty value is no bound.
struct RangeQuestion {
  std::string table;  // "QVTRN" or "QVPAT"
  std::string field;
  bool date = false;
  std::string from;
  std::string to;
  bool fixed = false;  // a user code held to the user's own
};

struct ChoiceQuestion {
  std::string text;
  bool answer = false;
  bool offered = true;  // the practice totals need their right
};

// A range as the selection uses it; an empty value leaves that end open.
struct FieldRange {
  std::string table;
  std::string field;
  store::Value from;
  store::Value to;
};

// What the questions answered: the filter of the ledger (and of the patients),
// the choices, and the header lines that say so.
struct LedgerSelection {
  LedgerReportKind kind = LedgerReportKind::PatientDaySheet;
  std::vector<FieldRange> ranges;
  bool practiceTotals = false;
  bool blankFacility = false;
  std::vector<std::string> headerLines;
};

inline constexpr const char* practiceTotalsChoice =
    "&Show Accounts Receivable totals at the end of the report";
inline constexpr const char* blankFacilityChoice = "Show only records with a &blank facility";
inline constexpr const char* noReportData = "There is no data for this report.";

// The report question dialog of a day sheet or the analysis. Opening checks the
// user's rights: without security there is no user code question; a user who
// holds both the report's right and its own-entries right answers an open user
// code range; anyone else is held to his own code.
class LedgerReportDialog {
 public:
  // security may be null (no user list): every answer is open.
  LedgerReportDialog(LedgerReportKind kind, ui::Prompter& prompter, Date today,
                     security::Security* security);

  // False (with the system's refusal shown) when the user may not run it.
  bool open();
  const std::vector<RangeQuestion>& ranges() const { return ranges_; }
  const std::vector<ChoiceQuestion>& choices() const { return choices_; }
  // Answers a range by its field name. False when the report asks no such
  // question; a fixed user code keeps the user's own code whatever is given.
  bool setRange(std::string_view field, const std::string& from, const std::string& to);
  // Answers a choice by its text, with "YES" or "TRUE", "NO" or "FALSE" in any
  // case. False for an unknown choice or answer, or one not offered.
  bool setChoice(std::string_view text, std::string_view answer);
  // The selection, or no value after telling the person what is wrong.
  std::optional<LedgerSelection> confirm();

 private:
  LedgerReportKind kind_;
  ui::Prompter& prompter_;
  Date today_;
  security::Security* security_;
  std::vector<RangeQuestion> ranges_;
  std::vector<ChoiceQuestion> choices_;
};

// "TODAY" (in any case) is today's date in "m/d/yyyy" form; other texts are kept.
std::string questionDefault(std::string_view text, Date today);

// Computes the report over the ledger in one ordered read, with the patients,
// providers and procedure codes each read once. No value when the person
// aborted; a report with no row says so with "There is no data for this
// report." and is returned empty. practiceName heads every page.
std::optional<Report> ledgerReport(store::Connection& practice, const LedgerSelection& selection,
                                   ui::Prompter& prompter, Date today,
                                   ui::Progress* progress = nullptr);

// The refusal of a report date that cannot be read, in the words every
// report's questions use.
std::string invalidDateMessage(const std::string& typed);

}  // namespace vantrell::reports
