#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/money.hpp"
#include "practice/options.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/progress.hpp"

// Importing an 835: read, matched, then posted through the payment
// application window, one deposit per transaction; what cannot be posted
// with certainty goes to the remittance queue.
namespace vantrell::remittance {

// What patient responsibility (PR-1 deductible, PR-2 coinsurance, PR-3
// copay) becomes: a deductible line of the carrier, or nothing, the charge's
// remainder simply being the patient's.
enum class PatientShare { LeftToPatient, Deductible };

// The practice's choice, the options' "Patient Share As Deductible".
PatientShare patientShareOption(const practice::Options& options);

struct ImportChoices {
  std::optional<PatientShare> patientShare;  // none: the practice's option
  bool dryRun = false;                       // match and plan only; nothing is written
  std::string fileName;                      // kept with the import
};

// One thing the import leaves to a clerk.
struct QueueEntry {
  std::string kind;  // Unmatched, Denial, Reversal, Correction, Take Back, Overapplied, ...
  std::string reason;
  std::string adjustments;
  std::int64_t claimNumber = 0;
  std::string payerClaimId;
  std::string chartNumber;
  std::int64_t chargeEntry = 0;
  std::string procedure;
  Date dateFrom;
  Money charge, paid;
};

// One transaction's import.
struct AdviceSummary {
  std::int64_t remittanceNumber = 0;  // 0 on a dry run
  bool finishing = false;             // an earlier import of it stopped part way
  std::int64_t depositId = 0;
  std::string carrier;
  std::string payerName, payerId, traceNumber;
  Money payment;
  int claims = 0, lines = 0, linesPosted = 0, linesQueued = 0;
  Money amountPosted;
  // Abort came before its last patient was saved: linesPosted and
  // amountPosted are what is posted so far, linesLeft what is not yet.
  bool stopped = false;
  int linesLeft = 0;
  std::vector<QueueEntry> queued;
  std::vector<std::string> messages;  // what the payment application window said
};

struct ImportResult {
  std::string refusal;  // empty when imported (or planned, on a dry run)
  std::vector<AdviceSummary> advices;
  bool stopped = false;  // Abort was pressed before the last patient was saved
};

// What the person is told when Abort stopped the posting: what was posted,
// what was not, and that importing the same file again posts the rest.
std::string stoppedText(const ImportResult& result);

struct ImportSurroundings {
  store::Connection& practice;
  const practice::Options& options;
  const ui::Clock& clock;
  std::string userCode;
  // Told of each patient saved. Abort stops the posting between two patients
  // (each patient's save is whole); importing the file again finishes it.
  ui::Progress* progress = nullptr;
};

// Refuses the whole file, writing nothing, when it cannot be read or does not
// balance, when a transaction was imported before and that import finished
// (naming it), when
// the payer ID names no carrier or several, or when the carrier's posting
// codes are missing or inactive. An earlier import that stopped (a crash, a
// kill) before its last patient was saved is finished instead: the patients
// with nothing from its deposit yet are posted, as it would have posted them.
ImportResult importRemittance(const ImportSurroundings& surroundings, std::string_view text,
                              const ImportChoices& choices);

}  // namespace vantrell::remittance
