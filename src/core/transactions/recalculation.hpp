#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/connection.hpp"
#include "ui/progress.hpp"

namespace vantrell::transactions {

// What a recalculation changed.
struct RecalculationReport {
  std::int64_t chargesRead = 0, chargesChanged = 0;
  std::int64_t paymentsRead = 0, paymentsChanged = 0;
  std::int64_t patientsRead = 0, patientsChanged = 0;
  bool aborted = false;
};

// Rebuilds every stored total from the application rows: each charge's paid
// buckets and each payment's unapplied amount (the ledger in one ordered pass,
// a page at a time, two aggregate queries per page), then each patient's
// balance and last payments (a page of patients at a time, one sum and one
// ordered walk of their payments). Only rows whose totals were wrong are
// written, one page per database transaction: an abort leaves every page done
// or untouched, and a later run finishes the rest. An empty total counts as 0.
// A patient's last payment of his own that is one of his deposits, no older
// than his ledger's last, is right: saving the deposit put it there.
RecalculationReport recalculatePractice(store::Connection& practice,
                                        const std::optional<std::string>& chartNumber,
                                        ui::Progress& progress);

}  // namespace vantrell::transactions
