#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/connection.hpp"

namespace vantrell::accounts {

// A row elsewhere that still names the chart or case being deleted.
struct AccountReference {
  std::string field;             // "Guarantor"
  std::string tableDescription;  // "Case", "Claim Archive"
};

// The first row outside the patient's own cases, entries and claims (which the
// delete takes with it) that names the chart number: guarantors and insureds
// of other cases, deposits, plans, recalls, eligibility, images, archives.
std::optional<AccountReference> firstPatientReference(store::Connection& practice,
                                                      const std::string& chartNumber);
// As above for a case number: rows other than the case's own entries, claims
// and custom data.
std::optional<AccountReference> firstCaseReference(store::Connection& practice,
                                                   std::int64_t caseNumber);

// A case may go when its entries sum to zero and each of its claims has every
// slot either empty or "6" (Done).
bool caseIsSettled(store::Connection& practice, std::int64_t caseNumber);

// Deletes the case with its entries, their application rows (as charge and as
// payment), its claims and custom data, and writes the audit lines. Runs
// inside the caller's transaction.
void deleteCaseRows(store::Connection& practice, const std::string& chartNumber,
                    std::int64_t caseNumber, const DateTime& when);

}  // namespace vantrell::accounts
