#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "common/money.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "transactions/working_set.hpp"

namespace vantrell::transactions {

// The paid flag of a charge a payer's payment settles ("Insurance 1 Paid" ...
// "Guarantor Paid"); none for an adjustment's blank payer or a deductible's "P".
const char* paidFlagOf(const std::string& whoPaid);
// "Guarantor Paid" as the charge's amounts make it: a guarantor who is not
// responsible has nothing to pay, one who is has paid when nothing remains.
bool guarantorPaidOf(const store::Record& charge);
// Who Paid on the application row of a line of that type for that payor: the
// payor for a payment, "P" for a deductible (it fills no bucket), blank for an
// adjustment (it fills "Adjustment Amount").
std::string applicationWhoPaid(char type, const std::string& payor);

// The posting rules of payments and adjustments, written once for every
// window that posts them: the ledger line, its application rows, the charges'
// paid buckets and flags, the deposit the line draws on, and the totals and
// patient balance that follow. The caller holds the database transaction;
// everything here writes inside it.
class LedgerPosting {
 public:
  explicit LedgerPosting(store::Connection& practice, std::string ledgerTable = "QVTRN");

  // Appends a new payment or adjustment line (its Amount to the cent) and
  // returns its Entry Number; its payments count for the rebuild.
  std::int64_t appendLine(store::Table& ledger, store::Record& line);
  // Creates or updates the application row keyed by payment and charge, or
  // removes it when deleted; a row naming an unsaved line is skipped. Both
  // ends are rebuilt afterwards.
  void writeApplication(const ApplicationRow& application);
  void touchCharge(std::int64_t entry) {
    if (entry > 0) chargesTouched_.insert(entry);
  }
  void touchPayment(std::int64_t entry) {
    if (entry > 0) paymentsTouched_.insert(entry);
  }
  // Every charge's paid buckets and every payment's unapplied amount the save
  // touched, from the stored application rows, so the ledger agrees with its
  // applications after every save.
  void rebuildTouchedTotals();
  // Moves a deposit's Unapplied Amount by the difference a line's amount made;
  // the deposit as stored afterwards, none when it is gone.
  std::optional<store::Record> moveDepositUnapplied(std::int64_t depositId, Money difference);
  // The patient's balance as the save leaves it, with the last payments read
  // from the ledger, posted (the caller holds the patient's row in edit, and
  // keeps it unless told otherwise).
  void postPatientTotals(store::Table& patients, store::Record& patient, Money balance,
                         bool keepLock = true);

 private:
  store::Connection& practice_;
  std::string ledgerTable_;
  std::optional<store::Table> applications_;
  std::set<std::int64_t> chargesTouched_;
  std::set<std::int64_t> paymentsTouched_;
};

}  // namespace vantrell::transactions
