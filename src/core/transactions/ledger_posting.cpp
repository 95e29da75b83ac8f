#include "transactions/ledger_posting.hpp"

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
  store::Table ledger = practice_.openTable(ledgerTable_);
  ledger.setOrder("Idxentrynumber");
  for (const auto entry : chargesTouched_) {
    if (auto charge = ledger.seek({store::Value{entry}})) recalculateChargePaid(practice_, *charge);
  }
  for (const auto entry : paymentsTouched_) {
    if (auto payment = ledger.seek({store::Value{entry}}))
      recalculateUnapplied(practice_, *payment);
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
