#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "practice/options.hpp"
#include "reports/report.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"

namespace vantrell::reports {

enum class AgingKind {
  Patient,         // open charges, unapplied payments netted against the oldest columns
  AppliedPatient,  // open charges only
  Primary,         // what the insurance in that position still owes
  Secondary,
  Tertiary,
  Remainder,           // open remainder charges, a line per patient
  RemainderDetail,     // the same, a line per charge under patient and case
  GuarantorRemainder,  // open remainder amounts per guarantor of the case
};

// A from/to answer of the report questions; an empty end is open.
struct TextRange {
  std::string from;
  std::string to;
  bool given() const { return !from.empty() || !to.empty(); }
};

struct DateRange {
  Date from;
  Date to;
  bool given() const { return !from.isEmpty() || !to.isEmpty(); }
};

// The answers to an aging report's questions. Each report reads the ones it asks.
struct AgingQuestions {
  TextRange chart;             // patients
  DateRange agingDate;         // charges (patient aging); initial billing date (insurance)
  TextRange provider;          // Attending Provider of the transactions
  TextRange billingCode;       // patients
  TextRange patientIndicator;  // patients
  DateRange serviceDate;       // remainder reports: the charges' Date From
  TextRange carrier;           // insurance: the carrier in the report's position
  bool blankFacility = false;  // insurance: only charges without a facility
  bool detail = false;         // insurance: a line per charge under its claim
  bool addToWorkList = false;  // patient and insurance aging
};

// The practice's aging boundaries in days: start of the current column, its
// end, and the ends of the past-due columns (the fourth for insurance only).
struct AgingBoundaries {
  std::int64_t start = 0;
  std::int64_t end = 30;
  std::int64_t column2 = 60;
  std::int64_t column3 = 90;
  std::int64_t column4 = 120;
};

struct AgingSettings {
  AgingBoundaries patient;
  AgingBoundaries insurance;
  bool ageByStatementDate = false;  // patient aging
  bool ageByDateFrom = false;       // remainder reports
  bool enforceAcceptAssignment = false;
  static AgingSettings read(const practice::Options& options);
};

// An account printed on an aging report, as the work list takes it.
struct AgedAccount {
  std::string chart;
  std::string carrier;  // insurance aging: the carrier that owes
  std::int64_t caseNumber = 0;
  Money balance;
};

// The aging report window: its questions, the run under a progress meter with
// Abort, the no-data message, and on closing the offer to put every printed
// account on the collection work list. It reads the ledger in a few grouped
// queries and writes nothing to it.
class AgingWindow {
 public:
  AgingWindow(store::Connection& practice, AgingSettings settings, ui::Prompter& prompter,
              const ui::Clock& clock, AgingKind kind);

  AgingKind kind() const { return kind_; }
  AgingQuestions& questions() { return questions_; }
  // "Patient Aging", "Primary Insurance Aging Summary", ...
  std::string title() const;

  // Computes the report. No value when there is nothing to print (after the
  // no-data message) or when the person pressed Abort (nothing is shown then).
  std::optional<Report> run(ui::Progress* progress = nullptr);
  bool aborted() const { return aborted_; }
  // Whether the last run was refused because a range of the questions starts
  // after it ends (the message says which).
  bool refused() const { return refused_; }
  // The accounts of the last report, in printed order.
  const std::vector<AgedAccount>& printedAccounts() const { return printed_; }

  // Closing the report: with "Add To Work List" answered yes and something
  // printed, asks whether to add every printed account and adds one open item
  // for each on Yes. Returns the number of items added.
  std::int64_t close();

 private:
  Report patientAging(ui::Progress& progress);
  Report insuranceAging(ui::Progress& progress, int position);
  Report remainderAging(ui::Progress& progress);
  Report guarantorRemainderTotals(ui::Progress& progress);
  Header header(std::string title, Date reportDate) const;

  store::Connection& practice_;
  AgingSettings settings_;
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  AgingKind kind_;
  AgingQuestions questions_;
  std::vector<AgedAccount> printed_;
  bool aborted_ = false;
  bool refused_ = false;
};

// The message of an aging report with nothing to print.
std::string noAgingDataText(AgingKind kind);
// The question asked on closing a report whose accounts may go on the work list.
inline constexpr const char* addToWorkListQuestion =
    "Do you want to add all the records in this report to your worklist?";

}  // namespace vantrell::reports
