#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"

namespace vantrell::transactions {

// The paid field of a charge that an application fills, by the applied
// entry's type and payer: a payment's payer bucket, an adjustment's
// "Adjustment Amount", none for a deductible or a comment.
const char* bucketOf(char entryType, const std::string& whoPaid);
// The paid bucket a stored application row counts toward, by its Who Paid
// alone ("1", "2", "3", "A", "G", blank for adjustments; a deductible's "P"
// counts nowhere).
const char* bucketOfApplication(const std::string& whoPaid);
// The paid buckets of a charge in a fixed order: insurance 1 to 3, attorney,
// guarantor, adjustment; and the place of an application's Who Paid among
// them (none for a deductible's "P" or an unknown payer).
inline constexpr std::array<const char*, 6> paidBuckets = {
    "Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
    "Attorney Amount Paid",    "Guarantor Amount Paid",   "Adjustment Amount"};
std::optional<std::size_t> bucketIndexOfApplication(const std::string& whoPaid);
// Who Paid on the application rows of a deductible line: counted in no bucket.
inline constexpr const char* deductibleApplication = "P";

bool isPaymentClass(char type);     // "I" to "R"
bool isAdjustmentClass(char type);  // "S" to "Y"

// Sets a stored charge's paid buckets to the sums of its application rows and
// posts it when they differ. Returns whether it changed.
bool recalculateChargePaid(store::Connection& practice, store::Record& charge);
// Sets a stored payment's unapplied amount to its amount less its application
// rows (0 for a deductible) and posts it when it differs. Returns whether it
// changed.
bool recalculateUnapplied(store::Connection& practice, store::Record& payment);

// The sum of every entry of the chart with a type (all cases).
Money accountBalanceOf(store::Connection& practice, const std::string& chartNumber);
// Every chart's balance, read in one grouped pass over the ledger; a chart
// without entries is absent (its balance is 0).
std::map<std::string, Money> accountBalances(store::Connection& practice);
// Sets the patient's last payment and last patient payment (date and amount)
// from the chart's ledger, without posting.
void setLastPayments(store::Connection& practice, store::Record& patient);
// Recomputes the chart's balance and last payments onto its patient row and
// posts it when they differ (the caller holds or may take the row's lock).
// Returns whether anything changed.
bool updatePatientTotals(store::Connection& practice, store::Record& patient);
// A summed or stored number as money: doubles, integers and money alike, 0 for none.
Money moneyOf(const store::Value& value);

// What the estimate rules make of a case's entries.
struct Estimates {
  Money charges, adjustments, payments;
  Money insuranceDue[3];
  Money guarantorDue;
  Money estimatedAdjustment;
  Money deductiblePaid;
  Money total() const { return charges + adjustments; }
  Money balance() const { return total() + payments; }
};
// Over the entries of the chart and case (and document, when given) of the
// ledger table, in index order.
Estimates estimatesOf(store::Connection& practice, const store::Record& caseRecord,
                      const char* ledgerTable, const std::optional<std::string>& document,
                      Date today);
// The estimates as the windows show them: with "Force Document Number" on, of
// the typed document only, and none while no document is typed.
Estimates shownEstimates(store::Connection& practice, bool forceDocumentNumber,
                         const store::Record& caseRecord, const char* ledgerTable,
                         const std::string& typedDocument, Date today);

}  // namespace vantrell::transactions
