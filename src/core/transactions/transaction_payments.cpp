// The payment side of the transaction window: payment, adjustment and comment
// lines, applying them to the case's charges, and the balances shown beside.
#include <stdexcept>

#include <fmt/format.h>

#include "reference/price_lookup.hpp"
#include "store/errors.hpp"
#include "store/messages.hpp"
#include "store/names.hpp"
#include "transactions/ledger_posting.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::transactions {
namespace {

constexpr int deleteTransactionItem = 16;
constexpr int applyScreenItem = 34;

bool isPaymentSide(char type) {
  return type >= 'I' && type <= 'Z';
}

}  // namespace

std::size_t TransactionEntryWindow::newPayment() {
  if (!isLoaded()) throw std::logic_error("A payment needs a chart and case chosen first.");
  resetDatesWhenProgramDateMoved();
  store::Table ledger = ledgerTable();
  TransactionLine line(ledger.newRecord());
  store::Record& row = line.row;
  line.newEntryNumber = set_.nextPaymentNumber--;
  line.oldCheckNumber = newCheckNumberSentinel;
  line.isNewPayment = true;
  line.didEdit = true;
  const Date date = defaults_.paymentDate.isEmpty() ? programDate() : defaults_.paymentDate;
  row.set("Date From", date);
  row.set("Date To", date);
  row.set("Unapplied Amount", Money{});
  row.set("Chart Number", set_.chartNumber);
  row.set("Case Number", set_.caseNumber);
  for (int policy = 1; policy <= 3; ++policy)
    row.set(fmt::format("Accept Assignment {}", policy),
            caseRecord_->logical(fmt::format("Accept Assignment #{}", policy)));
  row.set("Date Created", context_.clock.today());
  row.set("Documentation Type", std::string("T"));
  for (const char* zero : {"CC Entry Number", "Deposit ID", "Claim Number"})
    row.set(zero, std::int64_t{0});
  row.set("Visit Number", 0.0);
  row.set("Visit Total in Series", 0.0);
  row.set("Visit Series ID", std::string());
  row.set("Amount", 0.0);
  row.set("Units", 1.0);
  row.set("Who Paid", std::string());
  if (context_.security != nullptr && !context_.security->userCode().empty())
    row.set("User Code", context_.security->userCode());
  row.set("Document Number", newLineDocumentNumber());
  if (context_.ledger == Ledger::Estimates) row.set("Posted", false);
  set_.payments.push_back(std::move(line));
  return set_.payments.size() - 1;
}

bool TransactionEntryWindow::paymentCodeExit(TransactionLine& line, const std::string& code) {
  const auto procedure = procedureCode(code);
  const std::string typeText = procedure ? procedure->text("Type") : "";
  if (!procedure || !(typeText.empty() || isPaymentSide(typeText[0]))) return false;
  store::Record& row = line.row;
  line.oldProcedureCode = row.text("Procedure Code");
  row.set("Procedure Code", procedure->text("Code 1"));
  const std::string type = typeText.empty() ? "I" : typeText;
  row.set("Transaction Type", type);
  row.set("Procedure Description", cutToCharacters(procedure->text("Description"), 40));
  if (row.isEmpty("Description"))
    row.set("Description", cutToCharacters(procedure->text("Description"), 30));
  row.set("Insurance Category", procedure->text("Insurance Category"));
  row.set("Attending Provider", caseRecord_->text("Assigned Provider"));
  row.set("Facility", defaults_.facility);
  const std::string place = procedure->text("Default Place Service 1");
  row.set("Place of Service",
          place.empty() ? context_.options.text("Default Location Code") : place);
  char letter = 'A';
  casePriceCodeInUse(letter);
  if (!line.isStored() && row.money("Amount") == Money{}) {
    row.set("Amount", lineAmount(line, reference::priceOf(*procedure, letter), true));
    row.set("Unapplied Amount", row.money("Amount"));
  }
  row.set("Who Paid", std::string());
  if (type[0] >= 'J' && type[0] <= 'O') row.set("Who Paid", std::string("G"));
  if (type == "I") row.set("Who Paid", std::string("1"));
  if (type == "P") {
    row.set("Amount", Money{});
    row.set("Unapplied Amount", Money{});
  }
  return true;
}

bool TransactionEntryWindow::setPaymentField(std::size_t index, const std::string& field,
                                             const std::string& asTyped) {
  if (readOnly_ || index >= set_.payments.size()) return false;
  TransactionLine& line = set_.payments[index];
  store::Record& row = line.row;
  const auto editable = editableFieldName(row, field,
                                          {"Entry Number", "Chart Number", "Case Number",
                                           "Transaction Type", "Unapplied Amount", "Deposit ID"});
  if (!editable) return false;
  const std::string& name = *editable;
  // An amount typed without a point is in cents when the practice says so.
  const std::string text = context_.options.flag("Auto. Place Decimal Point") && isAmountField(name)
                               ? placeDecimalPoint(asTyped)
                               : asTyped;
  // What the line was when this edit began: a payer or type change is asked about when it is left.
  bool started = false;
  for (const auto& edit : paymentEdits_) started = started || edit.reference == line.reference();
  if (!started)
    paymentEdits_.push_back({line.reference(), row.text("Procedure Code"),
                             row.text("Transaction Type"), row.text("Who Paid")});
  const Money amountAtEntry = row.money("Amount");
  try {
    if (name == "Procedure Code") {
      const std::string code = store::upperAscii(text);
      if (!paymentCodeExit(line, code)) {
        context_.prompter.error("Procedure " + code +
                                " does not exist as a payment or adjustment.");
        return false;
      }
    } else if (name == "Who Paid") {
      std::string who = store::upperAscii(std::string(store::trimRight(text)));
      if (!(who.empty() || who == "1" || who == "2" || who == "3" || who == "G" || who == "A"))
        throw store::InputError(who);
      row.set("Who Paid", who);
    } else if (name == "Amount") {
      store::Record changed = row;
      changed.setFromText("Amount", text);
      row = std::move(changed);
      const char type = line.type();
      const auto procedure = procedureCode(row.text("Procedure Code"));
      Money amount = row.money("Amount");
      if (type == '\0' || isPaymentClass(type) ||
          (procedure && procedure->logical("Adjustment Amount Negativ")))
        amount = -amount.abs();
      if (type == 'V') amount = amount.abs();  // a take-back puts money back on the charges
      if (type == 'P') amount = Money{};
      row.set("Amount", amount);
      if (!row.isEmpty("Procedure Code") && amount != amountAtEntry) {
        line.oldAmount = amountAtEntry;
        row.set("Unapplied Amount", row.money("Unapplied Amount") + amount - amountAtEntry);
      }
    } else {
      store::Record changed = row;
      changed.setFromText(name, text);
      // A payment happens on one day: its to-date follows its from-date.
      if (name == "Date From") changed.set("Date To", changed.date("Date From"));
      row = std::move(changed);
    }
  } catch (const store::InputError& error) {
    // An amount is refused with the value and the field; other fields with the system's text.
    context_.prompter.error(isAmountField(name) ? std::string(error.what())
                                                : "The \"" + name + "\" field is not valid");
    return false;
  }
  line.didEdit = true;
  return true;
}

void TransactionEntryWindow::gatherStoredApplications(const TransactionLine& line, bool ofPayment) {
  if (!line.isStored() || context_.ledger == Ledger::Estimates) return;
  auto rows = context_.practice.driver().query(
      std::string("SELECT \"Payment Reference\", \"Charge Reference\", \"Payment Amount\", \"Who "
                  "Paid\", \"Deposit "
                  "ID\" FROM \"QVPAX\" WHERE COALESCE(\"") +
          (ofPayment ? "Payment Reference" : "Charge Reference") + "\", 0) = ?",
      {store::Value{line.entryNumber()}});
  while (rows->next()) {
    ApplicationRow copy;
    copy.paymentReference = std::get<std::int64_t>(rows->column(0, store::FieldType::Integer));
    copy.chargeReference = std::get<std::int64_t>(rows->column(1, store::FieldType::Integer));
    // Only applications between lines of this screen come into the working list.
    if (set_.paymentByReference(copy.paymentReference) == nullptr ||
        set_.chargeByReference(copy.chargeReference) == nullptr ||
        set_.application(copy.paymentReference, copy.chargeReference) != nullptr)
      continue;
    copy.paymentAmount = moneyOf(rows->column(2, store::FieldType::Double));
    copy.whoPaid = std::string(
        store::trimRight(store::valueToText(rows->column(3, store::FieldType::Character))));
    const auto deposit = rows->column(4, store::FieldType::Integer);
    if (const auto* number = std::get_if<std::int64_t>(&deposit)) copy.depositId = *number;
    set_.applications.push_back(copy);
  }
}

void TransactionEntryWindow::moveBucket(TransactionLine& charge, const char* bucket, Money amount) {
  if (bucket == nullptr) return;
  charge.row.set(bucket, charge.row.money(bucket) + amount);
  charge.didEdit = true;
}

void TransactionEntryWindow::refile(TransactionLine& line, char oldType,
                                    const std::string& oldWhoPaid) {
  gatherStoredApplications(line, true);
  const char newType = line.type();
  const std::string newWho = line.row.text("Who Paid");
  for (auto& application : set_.applications) {
    if (application.paymentReference != line.reference() || application.deleted) continue;
    TransactionLine* charge = set_.chargeByReference(application.chargeReference);
    if (charge == nullptr) continue;
    const Money amount = application.paymentAmount;
    const bool wasAdjustment = isAdjustmentClass(oldType);
    const bool wasPayment = isPaymentClass(oldType);
    const bool isAdjustment = isAdjustmentClass(newType);
    const bool isPayment = isPaymentClass(newType);
    if (wasAdjustment && isPayment) {
      moveBucket(*charge, "Adjustment Amount", -amount);
      moveBucket(*charge, bucketOf(newType, newWho), amount);
    } else if (wasAdjustment && !isAdjustment) {
      moveBucket(*charge, "Adjustment Amount", -amount);
      application.deleted = true;
    } else if (wasPayment && isAdjustment) {
      moveBucket(*charge, "Adjustment Amount", amount);
      moveBucket(*charge, bucketOf(oldType, application.whoPaid), -amount);
    } else if (wasPayment && !isPayment) {
      moveBucket(*charge, bucketOf(oldType, application.whoPaid), -amount);
      application.deleted = true;
    } else if (oldWhoPaid != newWho) {
      moveBucket(*charge, bucketOf(oldType, oldWhoPaid), -amount);
      moveBucket(*charge, bucketOf(newType, newWho), amount);
    }
    if (!application.deleted) application.whoPaid = newType == 'P' ? deductibleApplication : newWho;
  }
}

bool TransactionEntryWindow::postPayment(std::size_t index) {
  if (readOnly_ || index >= set_.payments.size()) return false;
  TransactionLine& line = set_.payments[index];
  defaults_.paymentDate = line.row.date("Date From");
  const auto started =
      std::find_if(paymentEdits_.begin(), paymentEdits_.end(),
                   [&](const EditStart& edit) { return edit.reference == line.reference(); });
  if (started == paymentEdits_.end()) return true;
  const EditStart before = *started;
  paymentEdits_.erase(started);
  if (line.type() == '\0' || before.type.empty()) return true;
  const bool typeChanged = before.type != line.row.text("Transaction Type");
  const bool payerChanged = before.whoPaid != line.row.text("Who Paid");
  if (!typeChanged && !payerChanged) return true;
  if (!context_.prompter.askYesNo(
          "Changing the payment type or the who paid will affect any charges that this "
          "payment is applied to.\rDo you want to continue?")) {
    if (typeChanged) {
      line.row.set("Procedure Code", before.procedureCode);
      const auto procedure = procedureCode(before.procedureCode);
      const std::string type = procedure ? procedure->text("Type") : "";
      line.row.set("Transaction Type", type.empty() ? std::string("I") : type);
    }
    if (payerChanged) line.row.set("Who Paid", before.whoPaid);
    return false;
  }
  refile(line, before.type[0], before.whoPaid);
  return true;
}

bool TransactionEntryWindow::deletePayment(std::size_t index) {
  if (readOnly_ || index >= set_.payments.size() || !allowed(deleteTransactionItem)) return false;
  TransactionLine& line = set_.payments[index];
  const char type = line.type();
  if (!context_.prompter.askYesNo(type == 'Z' ? "Are you sure you want to delete this comment?"
                                              : "Are you sure you want to delete this payment?"))
    return false;
  if (!storedRowIsFree(line)) return false;
  gatherStoredApplications(line, true);
  for (auto& application : set_.applications) {
    if (application.paymentReference != line.reference() || application.deleted) continue;
    application.deleted = true;
    TransactionLine* charge = set_.chargeByReference(application.chargeReference);
    if (charge == nullptr || type == 'P') continue;
    if (isAdjustmentClass(type)) {
      moveBucket(*charge, "Adjustment Amount", -application.paymentAmount);
    } else {
      moveBucket(*charge, bucketOf(type, application.whoPaid), -application.paymentAmount);
      if (const char* paid = paidFlagOf(application.whoPaid)) charge->row.set(paid, false);
    }
    charge->row.set("Guarantor Paid", remainderOf(charge->row) == Money{});
  }
  if (line.isStored()) set_.deletedPayments.push_back(std::move(line));
  set_.payments.erase(set_.payments.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

std::optional<ApplyDialog> TransactionEntryWindow::applyDialog(std::size_t paymentIndex) {
  if (paymentIndex >= set_.payments.size() ||
      set_.payments[paymentIndex].row.isEmpty("Procedure Code") ||
      set_.payments[paymentIndex].type() == 'Z') {
    context_.prompter.error("There is no valid payment selected");
    return std::nullopt;
  }
  if (set_.charges.empty()) {
    context_.prompter.error(
        "There are no charge transactions in the selected range to apply this payment to");
    return std::nullopt;
  }
  if (!allowed(applyScreenItem)) return std::nullopt;
  TransactionLine& line = set_.payments[paymentIndex];
  gatherStoredApplications(line, true);
  ApplyDialog::Entry entry;
  entry.reference = line.reference();
  entry.type = line.type();
  entry.whoPaid = line.row.text("Who Paid");
  entry.amount = line.amount();
  const auto procedure = procedureCode(line.row.text("Procedure Code"));
  entry.adjustmentNegative = procedure && procedure->logical("Adjustment Amount Negativ");
  if (entry.whoPaid == "1" || entry.whoPaid == "2" || entry.whoPaid == "3") {
    store::Table carriers = context_.practice.openTable("QVINS");
    carriers.setOrder("Primary");
    const std::string code = caseRecord_->text("Insurance Carrier #" + entry.whoPaid);
    const auto carrier =
        code.empty() ? std::nullopt : carriers.seek({store::Value{store::upperAscii(code)}});
    entry.payerName = carrier ? carrier->text("Name") : code;
  } else if (patient_) {
    entry.payerName = patient_->text("First Name") + " " + patient_->text("Last Name");
  }
  std::vector<ApplyRow> rows;
  const char* paid = isPaymentClass(entry.type) ? paidFlagOf(entry.whoPaid) : nullptr;
  const char* bucket =
      isAdjustmentClass(entry.type) ? "Adjustment Amount" : bucketOf(entry.type, entry.whoPaid);
  for (const auto& charge : set_.charges) {
    ApplyRow row;
    row.chargeReference = charge.reference();
    row.entryNumber = charge.isStored() ? charge.entryNumber() : 0;
    row.complete = paid != nullptr && charge.row.logical(paid);
    row.completeAtOpening = row.complete;
    row.dateFrom = charge.row.date("Date From");
    row.documentNumber = charge.row.text("Document Number");
    row.procedureCode = charge.row.text("Procedure Code");
    row.amount = charge.amount();
    row.balance = remainderOf(charge.row);
    row.totalPaid = bucket != nullptr ? charge.row.money(bucket) : Money{};
    if (const auto* application = set_.application(entry.reference, charge.reference());
        application != nullptr && !application->deleted)
      row.thisPayment = application->paymentAmount;
    rows.push_back(row);
  }
  return ApplyDialog(std::move(entry), std::move(rows), context_.prompter);
}

void TransactionEntryWindow::closeApplyDialog(std::size_t paymentIndex, const ApplyDialog& dialog) {
  if (readOnly_ || paymentIndex >= set_.payments.size()) return;
  TransactionLine& line = set_.payments[paymentIndex];
  const ApplyDialog::Entry& entry = dialog.entry();
  const bool deductible = dialog.deductibleMode();
  for (const auto& row : dialog.rows()) {
    ApplicationRow* application = set_.application(entry.reference, row.chargeReference);
    // A charge that was already marked paid and got nothing from this entry
    // is not tied to it; a mark set here, with or without money, is.
    const bool markedHere = row.complete && !row.completeAtOpening;
    if (row.thisPayment != Money{} || markedHere || (application != nullptr && row.complete)) {
      if (application == nullptr) {
        set_.applications.push_back(ApplicationRow{row.chargeReference, entry.reference, Money{},
                                                   "", line.row.integer("Deposit ID"), false});
        application = &set_.applications.back();
      }
      application->paymentAmount = row.thisPayment;
      application->whoPaid = deductible ? deductibleApplication
                             : isAdjustmentClass(entry.type)
                                 ? std::string()
                                 : std::string(store::trimRight(entry.whoPaid));
      application->deleted = false;
    } else if (application != nullptr) {
      application->deleted = true;
      application->paymentAmount = Money{};
    }
    TransactionLine* charge = set_.chargeByReference(row.chargeReference);
    if (charge == nullptr) continue;
    store::Record& record = charge->row;
    if (!dialog.paymentMode()) {
      if (!deductible && record.money("Adjustment Amount") != row.totalPaid)
        record.set("Adjustment Amount", row.totalPaid);
      if (row.complete) {
        for (const char* flag : {"Insurance 1 Paid", "Insurance 2 Paid", "Insurance 3 Paid",
                                 "Attorney Paid", "Guarantor Paid"})
          record.set(flag, true);
      }
    } else if (const std::string who(store::trimRight(entry.whoPaid));
               who == "1" || who == "2" || who == "3" || who == "A") {
      if (!deductible) record.set(bucketOf(entry.type, who), row.totalPaid);
      record.set(paidFlagOf(who), row.complete);
    } else if (who == "G" && !deductible) {
      record.set("Guarantor Amount Paid", row.totalPaid);
    }
    if (!deductible) {
      record.set("Guarantor Paid", guarantorPaidOf(record));
    }
    charge->didEdit = true;
  }
  Money applied;
  for (const auto& application : set_.applications) {
    if (application.paymentReference == entry.reference && !application.deleted)
      applied += application.paymentAmount;
  }
  line.row.set("Unapplied Amount", deductible ? Money{} : line.amount() - applied);
  line.didEdit = true;
}

bool TransactionEntryWindow::recalculateUnapplied(std::size_t paymentIndex) {
  if (readOnly_ || paymentIndex >= set_.payments.size()) return false;
  TransactionLine& line = set_.payments[paymentIndex];
  const char type = line.type();
  Money applied;
  if (type >= 'I' && type <= 'O') {
    if (line.isStored() && context_.ledger == Ledger::Transactions) {
      auto rows = context_.practice.driver().query(
          "SELECT \"Charge Reference\", \"Payment Amount\" FROM \"QVPAX\" WHERE "
          "COALESCE(\"Payment Reference\", 0) = ?",
          {store::Value{line.entryNumber()}});
      while (rows->next()) {
        const auto charge = std::get<std::int64_t>(rows->column(0, store::FieldType::Integer));
        if (set_.application(line.reference(), charge) == nullptr)
          applied += moneyOf(rows->column(1));
      }
    }
    for (const auto& application : set_.applications) {
      if (application.paymentReference == line.reference() && !application.deleted)
        applied += application.paymentAmount;
    }
  }
  line.row.set("Unapplied Amount", line.amount() - applied);
  line.didEdit = true;
  return true;
}

bool TransactionEntryWindow::paymentsAreApplied() {
  for (const auto& line : set_.payments) {
    if (line.row.money("Unapplied Amount") == Money{}) continue;
    const auto procedure = procedureCode(line.row.text("Procedure Code"));
    if (procedure && procedure->logical("PrePayment")) continue;
    if (context_.options.flag("Force Payment Application")) {
      context_.prompter.error(
          "There are payments that must be completely applied before continuing.");
      return false;
    }
    return !context_.prompter.askYesNo(
        "There are payments that are not completely applied.  Apply now?");
  }
  return true;
}

Money TransactionEntryWindow::accountBalance() const {
  return patient_ ? patient_->money("Patient Reference Balance") : Money{};
}

bool TransactionEntryWindow::recomputeAccountBalance() {
  if (!patient_ || readOnly_) return false;
  if (set_.hasUnsavedLines() || set_.hasDeletedLines()) {
    if (!mayLeave() || set_.hasUnsavedLines() || set_.hasDeletedLines()) return false;
  }
  patient_->set("Patient Reference Balance", accountBalanceOf(context_.practice, set_.chartNumber));
  patients_->post(*patient_, true);
  return true;
}

Estimates TransactionEntryWindow::estimates() {
  if (!caseRecord_) return {};
  return shownEstimates(context_.practice, context_.options.flag("Force Document Number"),
                        *caseRecord_, table_.c_str(), typedDocument_, programDate());
}

}  // namespace vantrell::transactions
