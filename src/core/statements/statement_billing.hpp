#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "statements/statement_creation.hpp"

namespace vantrell::statements {

// What a completed print or send run hands back.
struct PrintedStatements {
  std::vector<std::int64_t> numbers;  // the statements whose printing completed
  Date printDate;
  bool electronic = false;
};

// The "Print/Send Statements" dialog: paper or electronic, the electronic
// statement type, and "Exclude Billed Paid Entries"; the choices are kept per
// workstation. Electronic statements have no sending program in this system:
// accepting that method says so and prints nothing.
class StatementPrintDialog {
 public:
  enum class Method { Paper, Electronic };
  struct ElectronicType {
    const char* code;
    const char* label;
  };
  static constexpr ElectronicType electronicTypes[] = {{"S", "Patient Statement"},
                                                       {"A", "Patient Statement (30 60 90)"},
                                                       {"R", "Remainder Statement (All Payments)"}};

  explicit StatementPrintDialog(Surroundings surroundings);

  Method method = Method::Paper;
  std::size_t electronicType = 0;  // position in electronicTypes
  bool excludeBilledPaid = false;

  // Saves the choices; true when a paper run is to print.
  bool accept();

  static constexpr const char* settingsKey =
      "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Statement Print";
  static constexpr const char* noElectronicSending =
      "Electronic statements are not sent from this program. Print the statements on paper.";

 private:
  Surroundings surroundings_;
};

// What the billed-status update did.
struct BillingOutcome {
  std::int64_t batch = 0;  // the run's batch: the highest Batch Number plus 1
  std::vector<std::int64_t> updated;
  std::vector<std::int64_t> inUse;  // left unchanged: another workstation had them
  std::int64_t billingNotes = 0;
};

// Records that statements were printed (or sent): each line's first, second
// and last statement dates, the statement's billing dates, batch, status
// (Sent unless Done), submission count, billing method and next cycle date,
// then a billing note in the ledger of each case billed when the options ask
// for them. A statement another workstation holds is left unchanged and the
// in-use message is shown once.
BillingOutcome recordStatementsPrinted(Surroundings surroundings, const PrintedStatements& printed);

inline constexpr const char* billedStatusInUse =
    "The current record is in use.  The statement(s) have been processed,\rbut the billed status "
    "cannot be updated at this time.  Print or\rexport these statements.  This will ensure "
    "correct status.";
inline constexpr const char* billingNotesProgress =
    "Please wait while the Statement Billing Notes are created";

// Reprint: a statement never billed is refused with the system's message.
// Returns the status to put back after the reprint (none when it is left as
// the reprint made it, that is when it was Ready to Send).
bool mayReprint(Surroundings surroundings, std::int64_t statementNumber);
std::optional<std::string> statusToRestoreAfterReprint(const std::string& statusBefore);
inline constexpr const char* notBilledYet =
    "This statement has not been previously billed. Select Print/Send to bill this statement.";

}  // namespace vantrell::statements
