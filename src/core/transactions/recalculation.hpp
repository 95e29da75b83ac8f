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
// buckets, each payment's unapplied amount, and each patient's balance and
// last payments; of one chart, or of the whole practice. Reads the ledger in
// one ordered pass a page at a time (two aggregate queries per page), writes
// only the rows whose totals were wrong, one page per database transaction,
// so an abort leaves every page either done or untouched.
RecalculationReport recalculatePractice(store::Connection& practice,
                                        const std::optional<std::string>& chartNumber,
                                        ui::Progress& progress);

}  // namespace vantrell::transactions
