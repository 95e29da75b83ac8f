#include "claims/claim_billing.hpp"

#include <fmt/format.h>

#include "claims/claim_actions.hpp"
#include "claims/claim_list.hpp"
#include "claims/claim_slots.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::claims {
namespace {

// The carrier's name for the note, its code when it has no row.
std::string carrierName(store::Connection& practice, const std::string& code) {
  store::Table carriers = practice.openTable("QVINS");
  carriers.setOrder("Primary");
  const auto carrier = carriers.seek({store::Value{store::upperAscii(code)}});
  if (!carrier || carrier->text("Name").empty()) return code;
  return carrier->text("Name");
}

// A comment line in the claim's case ledger saying to whom the claim went.
void addBillingNote(store::Connection& practice, const practice::Options& options,
                    const store::Record& claim, int slot, Date day, bool estimate) {
  const std::string code(store::trimRight(options.text("Billing Note Code")));
  store::Table codes = practice.openTable("QVPRO");
  codes.setOrder("Primary");
  const auto procedure = codes.seek({store::Value{store::upperAscii(code)}});
  const std::string carrier = claim.text(claimSlotFields(slot).carrier);
  store::Table ledger = practice.openTable(ledgerTableName(estimate));
  store::Record note = ledger.newRecord();
  note.set("Chart Number", claim.text("Chart Number"));
  note.set("Case Number", claim.integer("Case Number"));
  note.set("Date From", day);
  note.set("Procedure Code", code);
  note.set("Transaction Type",
           procedure && !procedure->text("Type").empty() ? procedure->text("Type") : "Z");
  note.set("Description", ("Claim billed to " + carrierName(practice, carrier)).substr(0, 30));
  note.set("Attending Provider", claim.text("Provider"));
  ledger.append(note);
}

}  // namespace

ClaimBillingOutcome recordClaimsBilled(store::Connection& practice,
                                       const practice::Options& options, ui::Prompter& prompter,
                                       const ClaimBillingRun& run) {
  ClaimBillingOutcome outcome;
  if (run.claims.empty()) return outcome;
  outcome.batch = nextBatchNumber(practice, run.estimate);
  const bool notes = options.flag("Create Billing Notes") &&
                     !store::trimRight(options.text("Billing Note Code")).empty();
  store::Table claims = practice.openTable(claimTableName(run.estimate));
  claims.setOrder("Primary");
  for (const auto& billed : run.claims) {
    if (billed.slot < 1 || billed.slot > slotCount) continue;
    auto claim = claims.seek({store::Value{billed.claimNumber}});
    if (!claim) continue;
    try {
      claims.edit(*claim);
    } catch (const store::RecordInUseError&) {
      outcome.inUse.push_back(billed.claimNumber);
      continue;
    }
    const ClaimSlotFields fields = claimSlotFields(billed.slot);
    store::Transaction unit(practice);
    if (claim->date(fields.initialBillingDate).isEmpty())
      claim->set(fields.initialBillingDate, run.billingDate);
    claim->set(fields.billingDate, run.billingDate);
    if (claim->integer(fields.batch) == 0) claim->set(fields.batch, outcome.batch);
    claim->set(fields.status, std::string(claim_status::sent));
    claim->set(fields.submissionCount, claim->integer(fields.submissionCount) + 1);
    claims.post(*claim);
    practice.executeSql(
        fmt::format("UPDATE \"{}\" SET \"Billed to Insured {}\" = ?, \"Date Modified\" = ? WHERE "
                    "\"Claim Number\" = ?",
                    ledgerTableName(run.estimate), billed.slot),
        {store::Value{true}, store::Value{practice.clock().now()},
         store::Value{billed.claimNumber}});
    if (notes) {
      addBillingNote(practice, options, *claim, billed.slot, run.billingDate, run.estimate);
      ++outcome.billingNotes;
    }
    unit.commit();
    outcome.updated.push_back(billed.claimNumber);
  }
  if (!outcome.inUse.empty()) prompter.error(claimBilledStatusInUse);
  return outcome;
}

}  // namespace vantrell::claims
