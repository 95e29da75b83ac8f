#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "practice/options.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"
#include "ui/settings.hpp"

namespace vantrell::statements {

// What a statement run works with.
struct Surroundings {
  store::Connection& practice;
  const practice::Options& options;
  ui::Prompter& prompter;
  ui::Settings& settings;
  const ui::Clock& clock;
  security::Security* security = nullptr;  // none: everything allowed
  ui::Progress* progress = nullptr;        // none: nobody watches, nothing aborts
};

// The permission items that guard creation, by where it starts.
inline constexpr int createFromStatementList = 218;
inline constexpr int createFromLedger = 224;

// The inputs of the create dialog. Empty texts and dates are not used.
struct CreationInputs {
  char type = 'S';  // 'S' standard, 'R' remainder
  std::string fromChart, toChart;
  Date fromDate, toDate;
  // Each may list several codes separated by commas; a line matches any of them.
  std::string billingCode, caseIndicator, location;
  std::string provider;
  std::string minimumTotal;  // "Create statements if the remainder total is greater than:"
};

// What a run made.
struct CreationOutcome {
  std::int64_t created = 0;
  std::int64_t lastStatement = 0;  // 0 when none was made
  bool aborted = false;
  bool ran = false;                      // the dialog was confirmed and the run started
  bool declined = false;                 // the first-time warning was answered No
  std::vector<std::int64_t> statements;  // every statement made, in order
};

// The create dialog: its type and ranges with their checks and settings, and
// the run it starts. In single-account mode only the type is shown.
class StatementCreateDialog {
 public:
  StatementCreateDialog(Surroundings surroundings, std::string chartNumber, bool rangeMode,
                        bool showMessages);

  bool rangeMode() const { return rangeMode_; }
  // "This will add a Statement entry for CHART." (single-account mode).
  std::string introText() const;

  const CreationInputs& inputs() const { return inputs_; }
  // 0 standard, 1 remainder; written to the settings at once.
  int typeChoice() const { return inputs_.type == 'R' ? 1 : 0; }
  void chooseType(int choice);
  // Refused (false) when the text does not fit the amount field: more than 10
  // characters, or anything but digits, "." and "-".
  bool setMinimumTotal(const std::string& text);
  void setChartRange(std::string from, std::string to);
  void setDateRange(Date from, Date to);
  void setBillingCode(std::string codes) { inputs_.billingCode = std::move(codes); }
  void setCaseIndicator(std::string codes) { inputs_.caseIndicator = std::move(codes); }
  void setLocation(std::string codes) { inputs_.location = std::move(codes); }
  void setProvider(std::string code) { inputs_.provider = std::move(code); }

  // "Create": the zero-total question on a first run, the setting, the range
  // checks. False keeps the dialog open with focusField() on the "to" field
  // that failed.
  bool confirm();
  const std::string& focusField() const { return focus_; }

  // The run after a confirmed dialog: the first-time warning, the three
  // passes with their progress, the result message.
  CreationOutcome run();
  // What CreateStatements returns for the outcome: the last statement made,
  // else 0 with messages shown, else -1 (standard) or -2 (remainder).
  int resultCode(const CreationOutcome& outcome) const;

  static constexpr const char* zeroTotalQuestion =
      "Do you only want to create statements that have a statement total greater than zero?";
  static constexpr const char* badDateRange =
      "A date entered is not correct.  Enter a valid date\nand make sure that the TO date is on "
      "or after the FROM date.";
  static constexpr const char* badChartRange =
      "The TO Chart Number is not correct.  Enter a number that\nis \"alphabetically greater\" "
      "than the FROM Chart Number.";
  static constexpr const char* firstTimeWarning =
      "This is the first time you have created statements in Statement Management.\rIt may take "
      "several minutes.  Do you want to continue?";

 private:
  Surroundings surroundings_;
  std::string chart_;
  bool rangeMode_;
  bool showMessages_;
  CreationInputs inputs_;
  std::string focus_;
};

// CreateStatements: the permission, the dialog (filled by `fill`, which
// returns false for Cancel), its confirmation (`fill` is asked again while it
// stays open) and the run. Returns as resultCode does; 0 without permission.
int createStatements(Surroundings surroundings, const std::string& chartNumber, bool rangeMode,
                     bool showMessages, int permissionItem,
                     const std::function<bool(StatementCreateDialog&)>& fill,
                     CreationOutcome* outcome = nullptr);

// Where a window that makes a single-account statement shows the create
// dialog and prints the statement: the command line writes a PDF, the desktop
// shows the dialog and the statement in the preview.
class StatementPrinting {
 public:
  virtual ~StatementPrinting() = default;
  // The create dialog; false is Cancel. Unless shown, the type stays as it stands.
  virtual bool fill(StatementCreateDialog&) { return true; }
  virtual bool print(std::int64_t statementNumber) = 0;
};

// "Print Statement Now" after a payment is applied: the chart's lines on no
// statement yet go on a new one (single-account mode, no messages), its type
// first set to that of the chart's latest statement; when none is made, the
// person may print the chart's latest statement instead. Returns the
// statement to print, or none.
std::optional<std::int64_t> statementAfterPayment(Surroundings surroundings,
                                                  const std::string& chartNumber,
                                                  StatementPrinting& printing);

// The candidates of a run as the wait box counts them (unassigned, not above
// "H", the case prints statements, and the range or chart), before any pass.
std::int64_t countNewCandidates(store::Connection& practice, const std::string& chartNumber,
                                bool rangeMode, const CreationInputs& inputs);

}  // namespace vantrell::statements
