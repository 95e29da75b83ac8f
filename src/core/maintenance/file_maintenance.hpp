#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/connection.hpp"
#include "transactions/recalculation.hpp"
#include "ui/progress.hpp"

namespace vantrell::maintenance {

// One kind of damage the file maintenance program looks for: how many rows
// have it, and what its repair does (or why it has none).
struct MaintenanceFinding {
  std::string check;
  std::int64_t count = 0;
  std::string repair;
  bool repaired = false;
};

struct MaintenanceReport {
  std::vector<std::string> integrityProblems;  // the engine's own check
  std::vector<MaintenanceFinding> findings;    // rows that point at nothing
  // The stored totals that disagree with the application rows; with a repair
  // they are corrected, without one only counted.
  transactions::RecalculationReport totals;
  // Deposits whose stored unapplied amount is not what their ledger lines
  // leave of them (counted, and with a repair corrected, like the totals).
  std::int64_t depositsRead = 0, depositsChanged = 0;
  bool repaired = false;
  bool problemsFound() const;
};

// File maintenance of one practice, which the caller has to itself: the
// engine's integrity check, then the rows that point at a payment, charge,
// claim, statement or patient that is gone, then the stored totals against
// the application rows, then each deposit's unapplied amount against the
// payments posted from it. With `repair`, rows that point at nothing are removed
// or cleared first (so the totals are rebuilt from what is left), the totals
// are rebuilt, and the indexes and statistics renewed; without it nothing is
// written.
MaintenanceReport maintainPractice(store::Connection& practice, bool repair,
                                   ui::Progress& progress);

}  // namespace vantrell::maintenance
