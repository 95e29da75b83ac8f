#include "transactions/ledger_posting.hpp"

#include <array>
#include <map>
#include <vector>

#include "store/names.hpp"
#include "transactions/balances.hpp"

namespace vantrell::transactions {

const char* paidFlagOf(const std::string& whoPaid) {
  const std::string who(store::trimRight(whoPaid));
  if (who == "1") return "Insurance 1 Paid";
  if (who == "2") return "Insurance 2 Paid";
  if (who == "3") return "Insurance 3 Paid";
  if (who == "A") return "Attorney Paid";
  if (who == "G") return "Guarantor Paid";
  return nullptr;
}

bool guarantorPaidOf(const store::Record& charge) {
  return charge.logical("Guarantor Responsible") ? remainderOf(charge) == Money{} : true;
}

std::string applicationWhoPaid(char type, const std::string& payor) {
  if (type == 'P') return deductibleApplication;
  if (isAdjustmentClass(type)) return {};
  return std::string(store::trimRight(payor));
}

LedgerPosting::LedgerPosting(store::Connection& practice, std::string ledgerTable)
    : practice_(practice), ledgerTable_(std::move(ledgerTable)) {}

std::int64_t LedgerPosting::appendLine(store::Table& ledger, store::Record& line) {
  line.set("Amount", line.money("Amount").roundedToCents());
  ledger.append(line);
  const std::int64_t entry = line.integer("Entry Number");
  touchPayment(entry);
  return entry;
}

void LedgerPosting::writeApplication(const ApplicationRow& application) {
  if (application.paymentReference <= 0 || application.chargeReference <= 0)
    return;  // a line never stored
  if (!applications_) {
    applications_.emplace(practice_.openTable("QVPAX"));
    applications_->setOrder("Primary");
  }
  store::Table& applications = *applications_;
  auto stored = applications.seek(
      {store::Value{application.paymentReference}, store::Value{application.chargeReference}});
  if (application.deleted) {
    if (stored) applications.remove(*stored);
  } else {
    store::Record row = stored ? *stored : applications.newRecord();
    row.set("Payment Reference", application.paymentReference);
    row.set("Charge Reference", application.chargeReference);
    row.set("Who Paid", application.whoPaid);
    row.set("Payment Amount", application.paymentAmount);
    row.set("Deposit ID", application.depositId);
    if (stored)
      applications.post(row);
    else
      applications.append(row);
  }
  touchCharge(application.chargeReference);
  touchPayment(application.paymentReference);
}

void LedgerPosting::rebuildTouchedTotals() {
  // Three reads of many keys (the touched lines, the charges' applications,
  // the payments' applications) rather than three round trips a line; the
  // sums are kept exactly, row by row, as the practice recalculation's.
  const auto keysOf = [](const std::set<std::int64_t>& entries) {
    std::vector<std::vector<store::Value>> keys;
    for (const auto entry : entries) keys.push_back({store::Value{entry}});
    return keys;
  };
  std::set<std::int64_t> touched = chargesTouched_;
  touched.insert(paymentsTouched_.begin(), paymentsTouched_.end());
  store::Table ledger = practice_.openTable(ledgerTable_);
  ledger.setOrder("Idxentrynumber");
  std::map<std::int64_t, store::Record> lines;
  for (auto& line : ledger.seekMany(keysOf(touched)))
    lines.emplace(line.integer("Entry Number"), std::move(line));

  store::Table applications = practice_.openTable("QVPAX");
  applications.setFields({"Payment Reference", "Charge Reference", "Who Paid", "Payment Amount"});
  std::map<std::int64_t, std::array<Money, paidBuckets.size()>> charged;
  if (!chargesTouched_.empty()) {
    applications.setOrder("Idxchargereference");
    for (const auto& row : applications.seekMany(keysOf(chargesTouched_)))
      if (const auto bucket = bucketIndexOfApplication(row.text("Who Paid")))
        charged[row.integer("Charge Reference")][*bucket] += row.money("Payment Amount");
  }
  std::map<std::int64_t, Money> applied;
  if (!paymentsTouched_.empty()) {
    applications.setOrder("Idxpaymentreference");
    for (const auto& row : applications.seekMany(keysOf(paymentsTouched_)))
      applied[row.integer("Payment Reference")] += row.money("Payment Amount");
  }

  for (const auto entry : chargesTouched_) {
    auto line = lines.find(entry);
    if (line == lines.end()) continue;
    store::Record& charge = line->second;
    const auto totals = charged[entry];
    bool changed = false;
    for (std::size_t i = 0; i < paidBuckets.size(); ++i) {
      const char* field = paidBuckets[i];
      if (charge.money(field) == totals[i]) continue;
      charge.set(field, totals[i]);
      changed = true;
    }
    if (changed) ledger.post(charge);
  }
  for (const auto entry : paymentsTouched_) {
    auto line = lines.find(entry);
    if (line == lines.end()) continue;
    store::Record& payment = line->second;
    const std::string type = payment.text("Transaction Type");
    if (type.empty()) continue;
    // A deductible line applies nothing and leaves nothing unapplied.
    const Money unapplied = type == "P" ? Money{} : payment.money("Amount") - applied[entry];
    if (payment.money("Unapplied Amount") == unapplied) continue;
    payment.set("Unapplied Amount", unapplied);
    ledger.post(payment);
  }
  chargesTouched_.clear();
  paymentsTouched_.clear();
}

std::optional<store::Record> LedgerPosting::moveDepositUnapplied(std::int64_t depositId,
                                                                 Money difference) {
  store::Table deposits = practice_.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  auto deposit = deposits.seek({store::Value{depositId}});
  if (!deposit) return std::nullopt;
  deposit->set("Unapplied Amount", deposit->money("Unapplied Amount") + difference);
  deposits.post(*deposit);
  return deposit;
}

void LedgerPosting::postPatientTotals(store::Table& patients, store::Record& patient, Money balance,
                                      bool keepLock) {
  patient.set("Patient Reference Balance", balance);
  setLastPayments(practice_, patient);
  patients.post(patient, keepLock);
}

}  // namespace vantrell::transactions
