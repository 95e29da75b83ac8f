#include "claims/claim_actions.hpp"

#include <set>

#include <fmt/format.h>

#include "claims/claim_list.hpp"
#include "claims/claim_slots.hpp"
#include "collections/work_list.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table_creation.hpp"
#include "transactions/working_set.hpp"

namespace vantrell::claims {
namespace {

bool isCharge(const std::string& type) {
  return type.size() == 1 && type[0] >= 'A' && type[0] <= 'H';
}

std::vector<int> slotsOf(int slot) {
  if (slot == 0) return {1, 2, 3};
  return {slot};
}

std::int64_t numberOrZero(const store::Value& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  if (const auto* real = std::get_if<double>(&value)) return static_cast<std::int64_t>(*real);
  return 0;
}

// The user a work-list item made by the program is assigned to: the first
// user, in code order, with the most privileged access level.
std::string firstSupervisor(store::Connection& practice) {
  if (!practice.tableExists("QVSEC")) return {};
  store::Table users = practice.openTable("QVSEC");
  users.setOrder("Primary");
  users.setFilter("Access Level = '1'");
  store::PageCursor cursor;
  const auto first = users.nextPage(cursor, 1);
  return first.empty() ? std::string() : first.front().text("Code");
}

}  // namespace

PatientLocks::PatientLocks(store::Connection& practice, ui::Prompter& prompter)
    : practice_(practice), prompter_(prompter) {}

PatientLocks::~PatientLocks() {
  releaseAll();
}

bool PatientLocks::hold(const std::string& chartNumber) {
  const std::string chart = store::upperAscii(chartNumber);
  for (const auto& held : held_) {
    if (held.text("Chart Number") == chart) return true;
  }
  if (!patients_) {
    store::ensureTable(practice_, "QVPAT");
    patients_.emplace(practice_.openTable("QVPAT"));
    patients_->setOrder("Primary");
  }
  auto patient = patients_->seek({store::Value{chart}});
  // A claim whose patient is gone has nobody to guard.
  if (!patient) return true;
  try {
    patients_->edit(*patient);
  } catch (const store::RecordInUseError& inUse) {
    if (inUse.owner() && inUse.owner()->isThisProcess())
      prompter_.error("You currently have patient with chart number " + chart + " open.");
    else
      prompter_.error("Patient with chart number " + chart +
                      " is in use by another user.  Please choose a different patient.");
    return false;
  }
  held_.push_back(std::move(*patient));
  return true;
}

void PatientLocks::releaseAll() {
  for (auto& patient : held_) {
    if (patient.isInEdit()) patients_->cancel(patient);
  }
  held_.clear();
}

Money claimInsuranceBalance(store::Connection& practice, bool estimate, std::int64_t claimNumber,
                            int slot) {
  store::Table ledger = practice.openTable(ledgerTableName(estimate));
  ledger.setOrder("Idxclaim");
  ledger.setRange({store::Value{claimNumber}}, {store::Value{claimNumber}});
  const std::string responsible = fmt::format("Insurance {} Responsible", slot);
  Money balance;
  ledger.forEach([&](const store::Record& charge) {
    if (isCharge(charge.text("Transaction Type")) && charge.logical(responsible))
      balance = balance + transactions::remainderOf(charge);
  });
  return balance;
}

Date challengeFollowUp(const ClaimSurroundings& context) {
  return context.programDate ? context.programDate() : context.practice.clock().today();
}

bool addChallengeItem(store::Connection& practice, bool estimate, const store::Record& claim,
                      int slot, Date followUp) {
  const std::string carrier = claim.text(claimSlotFields(slot).carrier);
  if (carrier.empty()) return false;
  collections::WorkListItem item;
  item.responsibleType = "I";
  item.responsibleParty = carrier;
  item.patient = claim.text("Chart Number");
  store::ensureTable(practice, "QVCAS");
  store::Table cases = practice.openTable("QVCAS");
  cases.setOrder("Primary");
  if (auto found =
          cases.seek({store::Value{item.patient}, store::Value{claim.integer("Case Number")}})) {
    const std::string policy = " #" + std::to_string(slot);
    item.groupNumber = found->text("Group Number" + policy);
    item.policyNumber = found->text("Policy Number" + policy);
    item.guarantor = found->text("Guarantor");
  }
  item.balance = claimInsuranceBalance(practice, estimate, claim.integer("Claim Number"), slot);
  item.assignedUser = firstSupervisor(practice);
  item.followUpDate = followUp;
  item.action = "Claim " + std::to_string(claim.integer("Claim Number")) +
                " set to Challenge: follow up with " + carrier + ".";
  collections::addWorkListItem(practice, item);
  return true;
}

std::int64_t nextBatchNumber(store::Connection& practice, bool estimate) {
  const std::string table = claimTableName(estimate);
  const auto result = practice.executeSql(
      "SELECT MAX(\"Batch Number 1\"), MAX(\"Batch Number 2\"), MAX(\"Batch Number 3\") FROM \"" +
      table + "\"");
  std::int64_t highest = 0;
  if (!result.rows.empty()) {
    for (const auto& value : result.rows.front()) highest = std::max(highest, numberOrZero(value));
  }
  return highest + 1;
}

std::vector<std::int64_t> claimsToDelete(const std::vector<std::int64_t>& marked,
                                         std::optional<std::int64_t> current) {
  if (!marked.empty()) return marked;
  if (current) return {*current};
  return {};
}

std::vector<std::int64_t> claimsToRebill(const std::vector<std::int64_t>& marked,
                                         std::optional<std::int64_t> current) {
  if (marked.size() >= 2) return marked;
  if (current) return {*current};
  return {};
}

std::vector<std::int64_t> claimsToChangeStatus(const std::vector<std::int64_t>& marked) {
  return marked;
}

ClaimActions::ClaimActions(ClaimSurroundings surroundings) : context_(std::move(surroundings)) {
  for (const char* table :
       {"QVPAT", "QVCAS", claimTableName(context_.estimate), ledgerTableName(context_.estimate)})
    store::ensureTable(context_.practice, table);
}

bool ClaimActions::allowed(int item) {
  return context_.security == nullptr || context_.security->hasPermission(item, false);
}

std::optional<store::Record> ClaimActions::findClaim(store::Table& claims, std::int64_t number) {
  auto claim = claims.seek({store::Value{number}});
  if (!claim) context_.prompter.error(fmt::format("Claim key {} not found", number));
  return claim;
}

bool ClaimActions::deleteClaims(const std::vector<std::int64_t>& claimNumbers) {
  if (claimNumbers.empty() || !allowed(claim_permission::remove)) return false;
  store::Table claims = context_.practice.openTable(claimTableName(context_.estimate));
  claims.setOrder("Primary");
  std::vector<store::Record> rows;
  std::set<std::int64_t> seen;
  for (const auto number : claimNumbers) {
    if (!seen.insert(number).second) continue;
    auto claim = findClaim(claims, number);
    if (!claim) return false;
    rows.push_back(std::move(*claim));
  }
  PatientLocks locks(context_.practice, context_.prompter);
  for (const auto& claim : rows) {
    if (!locks.hold(claim.text("Chart Number"))) return false;
  }
  const bool several = rows.size() > 1;
  const std::string question =
      several ? "Deleting these claims will release the transactions\nthat are bound to them. They "
                "can then be placed\non another claim.\n\nAre you sure you want to delete these "
                "claims?"
              : "Deleting this claim will release the transactions\nthat are bound to it. They can "
                "then be placed\non another claim.\n\nAre you sure you want to delete this claim?";
  if (!context_.prompter.askYesNo(question)) return false;
  ui::SilentProgress silent;
  ui::Progress& progress = several && context_.progress != nullptr
                               ? *context_.progress
                               : static_cast<ui::Progress&>(silent);
  progress.begin("Deleting Claims", static_cast<std::int64_t>(rows.size()));
  const std::string release = fmt::format(
      "UPDATE \"{}\" SET \"Claim Number\" = 0, \"Date Modified\" = ? WHERE \"Claim Number\" = ?",
      ledgerTableName(context_.estimate));
  std::int64_t done = 0;
  for (auto& claim : rows) {
    try {
      // A claim never goes without its charges being released, nor the reverse.
      store::Transaction transaction(context_.practice);
      context_.practice.executeSql(release, {store::Value{context_.practice.clock().now()},
                                             store::Value{claim.integer("Claim Number")}});
      claims.remove(claim);
      transaction.commit();
    } catch (const store::RecordInUseError& inUse) {
      context_.prompter.error(inUse.batchRefusalMessage());
      progress.end();
      return done > 0;
    }
    progress.advance(++done);
  }
  progress.end();
  return true;
}

std::int64_t ClaimActions::presetBatch(std::int64_t currentClaim) {
  store::Table claims = context_.practice.openTable(claimTableName(context_.estimate));
  claims.setOrder("Primary");
  const auto claim = claims.seek({store::Value{currentClaim}});
  return claim ? claim->integer("Batch Number 1") : 0;
}

void ClaimActions::changeSlots(store::Table& claims, store::Record& claim,
                               const StatusChange& change, const std::vector<int>& slots) {
  claims.edit(claim);
  std::vector<int> challenged;
  bool changed = false;
  for (const int n : slots) {
    const ClaimSlotFields fields = claimSlotFields(n);
    if (change.methodFrom && change.methodTo &&
        claim.text(fields.billingMethod) == *change.methodFrom) {
      claim.set(fields.billingMethod, *change.methodTo);
      changed = true;
    }
    if (change.fromStatus && change.toStatus &&
        (*change.fromStatus == anyStatus || claim.text(fields.status) == *change.fromStatus)) {
      claim.set(fields.status, *change.toStatus);
      changed = true;
      ++slotsChanged_;
      if (*change.toStatus == claim_status::challenge) challenged.push_back(n);
    }
  }
  if (!changed) {
    claims.cancel(claim);
    return;
  }
  claims.post(claim);
  for (const int n : challenged) {
    if (addChallengeItem(context_.practice, context_.estimate, claim, n,
                         challengeFollowUp(context_)))
      ++workListItems_;
  }
}

bool ClaimActions::changeStatus(const StatusChange& change,
                                const std::vector<std::int64_t>& selected) {
  slotsChanged_ = 0;
  workListItems_ = 0;
  if (!allowed(claim_permission::changeStatus)) return false;
  if (!change.fromStatus && !change.methodFrom) {
    context_.prompter.error(
        "The 'from' status/billing method was not selected.  No changes were made");
    return false;
  }
  if (!change.toStatus && !change.methodTo) {
    context_.prompter.error(
        "The 'to' status/billing method was not selected.  No changes were made");
    return false;
  }
  store::Table claims = context_.practice.openTable(claimTableName(context_.estimate));
  try {
    if (!change.batch) {
      claims.setOrder("Primary");
      for (const auto number : selected) {
        auto claim = claims.seek({store::Value{number}});
        if (claim) changeSlots(claims, *claim, change, slotsOf(change.slot));
      }
      return true;
    }
    // Each slot has its own batch: slot n moves on the claims whose batch n it is.
    for (const int n : slotsOf(change.slot)) {
      claims.setOrder(fmt::format("Idxbatch{}", n));
      claims.setRange({store::Value{*change.batch}}, {store::Value{*change.batch}});
      claims.forEach([&](store::Record& claim) { changeSlots(claims, claim, change, {n}); });
    }
  } catch (const store::RecordInUseError& inUse) {
    // The claims already visited keep their change.
    context_.prompter.error(inUse.batchRefusalMessage());
    return false;
  }
  return true;
}

bool ClaimActions::rebill(const std::vector<std::int64_t>& claimNumbers, int slot,
                          ClaimPrinting& printing) {
  if (claimNumbers.empty() || slot < 1 || slot > slotCount) return false;
  if (!allowed(claim_permission::rebill)) return false;
  const bool several = claimNumbers.size() > 1;
  if (several && !context_.prompter.askYesNo("If you continue, all claims selected will be\r"
                                             "assigned a new batch number and status.\r"
                                             "Do you want to continue?"))
    return false;
  store::Table claims = context_.practice.openTable(claimTableName(context_.estimate));
  claims.setOrder("Primary");
  std::vector<store::Record> rows;
  for (const auto number : claimNumbers) {
    auto claim = findClaim(claims, number);
    if (!claim) return false;
    rows.push_back(std::move(*claim));
  }
  const ClaimSlotFields fields = claimSlotFields(slot);
  struct Before {
    std::string status;
    std::int64_t batch = 0;
  };
  std::vector<Before> before;
  std::vector<std::int64_t> numbers;
  // Puts back the claims changed so far.
  auto restore = [&] {
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      auto& claim = rows[i];
      if (!several && before[i].status == claim_status::readyToSend) continue;
      claims.edit(claim);
      claim.set(fields.status, before[i].status);
      if (several) claim.set(fields.batch, before[i].batch);
      claims.post(claim);
    }
  };
  try {
    if (several) {
      for (const auto& claim : rows) {
        if (claim.text(fields.billingMethod) == billing_method::electronic) {
          context_.prompter.error(
              "One or more EDI claims have been selected.\rSelect only Paper claims and try "
              "again.");
          return false;
        }
      }
      const std::int64_t batch = nextBatchNumber(context_.practice, context_.estimate);
      for (auto& claim : rows) {
        claims.edit(claim);
        before.push_back({claim.text(fields.status), claim.integer(fields.batch)});
        claim.set(fields.batch, batch);
        claim.set(fields.status, std::string(claim_status::readyToSend));
        claims.post(claim);
        numbers.push_back(claim.integer("Claim Number"));
      }
    } else {
      auto& claim = rows.front();
      claims.edit(claim);
      before.push_back({claim.text(fields.status), claim.integer(fields.batch)});
      claim.set(fields.status, std::string(claim_status::readyToSend));
      claims.post(claim);
      numbers.push_back(claim.integer("Claim Number"));
    }
    if (printing.print(numbers, slot)) return true;
    // Printing did not complete: the claims go back to what they were.
    restore();
  } catch (const store::RecordInUseError& inUse) {
    context_.prompter.error(inUse.batchRefusalMessage());
    // A claim held elsewhere stops the run before printing: the claims
    // already changed go back, so the batch is not left half made.
    try {
      restore();
    } catch (const store::RecordInUseError&) {
      // Taken meanwhile by another desk: it stays Ready to Send in the new batch.
    }
  }
  return false;
}

}  // namespace vantrell::claims
