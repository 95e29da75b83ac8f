#include "maintenance/file_maintenance.hpp"

#include "deposits/deposit_detail.hpp"
#include "store/engine_maintenance.hpp"
#include "store/table.hpp"

namespace vantrell::maintenance {
namespace {

// A check: the rows it counts, and the statement that repairs them, both over
// the same condition.
struct OrphanCheck {
  const char* check;
  std::vector<const char*> tables;  // all of them must exist for the check to run
  const char* count;
  const char* repairStatement;  // empty: no repair the program may make alone
  const char* repair;
};

const std::vector<OrphanCheck>& orphanChecks() {
  static const std::vector<OrphanCheck> checks = {
      {"Application rows whose payment is gone",
       {"QVPAX", "QVTRN"},
       "SELECT COUNT(*) FROM QVPAX WHERE NOT EXISTS (SELECT 1 FROM QVTRN WHERE "
       "QVTRN.\"Entry Number\" = QVPAX.\"Payment Reference\")",
       "DELETE FROM QVPAX WHERE NOT EXISTS (SELECT 1 FROM QVTRN WHERE "
       "QVTRN.\"Entry Number\" = QVPAX.\"Payment Reference\")",
       "removed"},
      {"Application rows whose charge is gone",
       {"QVPAX", "QVTRN"},
       "SELECT COUNT(*) FROM QVPAX WHERE NOT EXISTS (SELECT 1 FROM QVTRN WHERE "
       "QVTRN.\"Entry Number\" = QVPAX.\"Charge Reference\")",
       "DELETE FROM QVPAX WHERE NOT EXISTS (SELECT 1 FROM QVTRN WHERE "
       "QVTRN.\"Entry Number\" = QVPAX.\"Charge Reference\")",
       "removed"},
      {"Charges on a claim that does not exist",
       {"QVTRN", "QVCLA"},
       "SELECT COUNT(*) FROM QVTRN WHERE COALESCE(\"Claim Number\", 0) <> 0 AND NOT EXISTS "
       "(SELECT 1 FROM QVCLA WHERE QVCLA.\"Claim Number\" = QVTRN.\"Claim Number\")",
       "UPDATE QVTRN SET \"Claim Number\" = 0 WHERE COALESCE(\"Claim Number\", 0) <> 0 AND NOT "
       "EXISTS (SELECT 1 FROM QVCLA WHERE QVCLA.\"Claim Number\" = QVTRN.\"Claim Number\")",
       "claim number cleared (the charges can be billed again)"},
      {"Charges on a statement that does not exist",
       {"QVTRN", "QVSTA"},
       "SELECT COUNT(*) FROM QVTRN WHERE COALESCE(\"Statement Number\", 0) <> 0 AND NOT EXISTS "
       "(SELECT 1 FROM QVSTA WHERE QVSTA.\"Statement Number\" = QVTRN.\"Statement Number\")",
       "UPDATE QVTRN SET \"Statement Number\" = 0 WHERE COALESCE(\"Statement Number\", 0) <> 0 "
       "AND NOT EXISTS (SELECT 1 FROM QVSTA WHERE QVSTA.\"Statement Number\" = "
       "QVTRN.\"Statement Number\")",
       "statement number cleared"},
      {"Cases of a patient who does not exist",
       {"QVCAS", "QVPAT"},
       "SELECT COUNT(*) FROM QVCAS WHERE NOT EXISTS (SELECT 1 FROM QVPAT WHERE "
       "QVPAT.\"Chart Number\" = QVCAS.\"Chart Number\")",
       "",
       "not repaired: enter the patient again under the case's chart number"},
  };
  return checks;
}

std::int64_t countOf(store::Connection& practice, const char* sql) {
  const auto result = practice.executeSql(sql);
  if (result.rows.empty() || result.rows[0].empty()) return 0;
  const auto& value = result.rows[0][0];
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  if (const auto* real = std::get_if<double>(&value)) return static_cast<std::int64_t>(*real);
  return 0;
}

// A deposit left with the unapplied amount it had before a payment application
// that was stopped after its save could be spent a second time.
void checkDeposits(store::Connection& practice, MaintenanceReport& report) {
  store::Table deposits = practice.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  deposits.forEach([&](store::Record& deposit) {
    ++report.depositsRead;
    const Money unapplied = deposits::unappliedByLedger(practice, deposit);
    if (unapplied == deposit.money("Unapplied Amount")) return;
    ++report.depositsChanged;
    deposits.edit(deposit);
    deposit.set("Unapplied Amount", unapplied.toDouble());
    deposits.post(deposit);
  });
}

}  // namespace

bool MaintenanceReport::problemsFound() const {
  if (!integrityProblems.empty()) return true;
  for (const auto& finding : findings)
    if (finding.count > 0) return true;
  return totals.chargesChanged + totals.paymentsChanged + totals.patientsChanged + depositsChanged >
         0;
}

MaintenanceReport maintainPractice(store::Connection& practice, bool repair,
                                   ui::Progress& progress) {
  MaintenanceReport report;
  report.repaired = repair;
  report.integrityProblems = store::checkIntegrity(practice);
  {
    // Without a repair every write below is rolled back: the recalculation
    // then only counts what it would correct.
    store::Transaction transaction(practice);
    for (const auto& check : orphanChecks()) {
      bool present = true;
      for (const char* table : check.tables) present = present && practice.tableExists(table);
      if (!present) continue;
      MaintenanceFinding finding{check.check, countOf(practice, check.count), check.repair, false};
      if (finding.count > 0 && *check.repairStatement != '\0') {
        practice.executeSql(check.repairStatement);
        finding.repaired = repair;
      }
      report.findings.push_back(finding);
    }
    if (practice.tableExists("QVTRN") && practice.tableExists("QVPAX"))
      report.totals = transactions::recalculatePractice(practice, std::nullopt, progress);
    if (!report.totals.aborted && practice.tableExists("QVDEP") && practice.tableExists("QVTRN"))
      checkDeposits(practice, report);
    if (repair && !report.totals.aborted) transaction.commit();
  }
  if (repair && !report.totals.aborted) {
    store::rebuildIndexes(practice);
    store::compactAndAnalyze(practice);
  }
  return report;
}

}  // namespace vantrell::maintenance
