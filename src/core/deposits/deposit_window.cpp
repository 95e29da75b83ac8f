#include "deposits/deposit_window.hpp"

#include <cctype>
#include <initializer_list>

#include <fmt/format.h>

#include "security/audit.hpp"
#include "store/errors.hpp"
#include "store/messages.hpp"
#include "store/names.hpp"
#include "store/table_creation.hpp"

namespace vantrell::deposits {
namespace {

std::string trimmed(std::string_view text) {
  return std::string(store::trimRight(text));
}

bool paidByInsurance(const std::string& payorType) {
  const std::string type = store::upperAscii(trimmed(payorType));
  return type == "INSURANCE" || type == "CAPITATION";
}

bool paidByAttorney(const std::string& payorType) {
  return store::upperAscii(trimmed(payorType)) == "ATTORNEY";
}

std::string typedCode(const std::string& text) {
  return store::upperAscii(trimmed(text));
}

// The option that names a new deposit's payment code for the method.
const char* defaultPaymentCodeOption(const std::string& method) {
  if (method == "Cash") return "Default Cash Payment Code";
  if (method == "Credit Card") return "Credit Card Payment Code";
  if (method == "Check") return "Default Check Paymnt Code";
  return nullptr;
}

// The choices of a drop-down box: typed in any case, stored as offered.
std::optional<std::string> offeredChoice(const std::string& text,
                                         std::initializer_list<const char*> choices) {
  const std::string typed = typedCode(text);
  for (const char* choice : choices) {
    if (store::upperAscii(choice) == typed) return std::string(choice);
  }
  return std::nullopt;
}

bool allowed(const DepositSurroundings& context, int item) {
  return context.security == nullptr || context.security->hasPermission(item, false);
}

void prepareTables(store::Connection& practice) {
  for (const char* table : {"QVDEP", "QVPRO", "QVPAT", "QVTRN", "QVPAX", "QVOPT"})
    store::ensureTable(practice, table);
}

}  // namespace

std::string offeredCodeTypes(CodeBox box, const std::string& payorType,
                             const std::string& paymentMethod) {
  const bool insurance = paidByInsurance(payorType);
  switch (box) {
    case CodeBox::Payment:
      if (insurance) return "I";
      if (paymentMethod == "Check") return "KNQ";
      if (paymentMethod == "Cash") return "JMQ";
      if (paymentMethod == "Credit Card") return "LOQ";
      // An electronic transfer from a patient may be booked as any patient payment.
      return "JKLMNOQ";
    case CodeBox::Adjustment:
      return insurance ? "T" : "S";
    case CodeBox::TakeBack:
      return "V";
    case CodeBox::Withhold:
    case CodeBox::Deductible:
      break;
  }
  return "IJKLMNOPQRSTUVWXY";
}

std::string depositUserCode(const DepositSurroundings& surroundings) {
  if (surroundings.security != nullptr && !surroundings.security->userCode().empty())
    return surroundings.security->userCode();
  return surroundings.practice.userCode();
}

std::optional<store::Record> findDeposit(store::Connection& practice, std::int64_t entryNumber) {
  store::ensureTable(practice, "QVDEP");
  store::Table deposits = practice.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  return deposits.seek({store::Value{entryNumber}});
}

DepositWindow::DepositWindow(DepositSurroundings surroundings)
    : context_(std::move(surroundings)),
      deposits_(context_.practice.openTable("QVDEP")),
      deposit_(deposits_.newRecord()) {
  deposits_.setOrder("IdxEntryNumber");
}

DepositWindow::~DepositWindow() {
  close();
}

std::unique_ptr<DepositWindow> DepositWindow::openNew(DepositSurroundings surroundings) {
  prepareTables(surroundings.practice);
  if (!allowed(surroundings, deposit_permission::create)) return nullptr;
  std::unique_ptr<DepositWindow> window(new DepositWindow(std::move(surroundings)));
  store::Record& deposit = window->deposit_;
  deposit.set("Deposit Date", window->context_.programDate());
  deposit.set("Payor Type", std::string("Patient"));
  deposit.set("Payment Method", std::string("Check"));
  deposit.set("Payment Amount", 0.0);
  deposit.set("Unapplied Amount", 0.0);
  deposit.set("CC Entry Number", std::int64_t{-1});
  deposit.set("Payment Code", window->optionText(defaultPaymentCodeOption("Check")));
  deposit.set("Adjustment Code", window->optionText("Patient Write Off Code"));
  return window;
}

std::unique_ptr<DepositWindow> DepositWindow::openExisting(DepositSurroundings surroundings,
                                                           std::int64_t entryNumber) {
  prepareTables(surroundings.practice);
  if (!allowed(surroundings, deposit_permission::edit)) return nullptr;
  std::unique_ptr<DepositWindow> window(new DepositWindow(std::move(surroundings)));
  auto found = window->deposits_.seek({store::Value{entryNumber}});
  if (!found) {
    window->context_.prompter.error(fmt::format("Deposit {} not found", entryNumber));
    return nullptr;
  }
  try {
    window->deposits_.edit(*found);
  } catch (const store::RecordInUseError& inUse) {
    window->context_.prompter.error(inUse.batchRefusalMessage());
    return nullptr;
  }
  window->stored_ = *found;
  window->deposit_ = std::move(*found);
  return window;
}

std::string DepositWindow::optionText(const std::string& field) {
  store::Table options = context_.practice.openTable("QVOPT");
  store::PageCursor cursor;
  const auto rows = options.nextPage(cursor, 1);
  return rows.empty() ? std::string() : trimmed(rows.front().text(field));
}

std::string DepositWindow::title() const {
  if (isNew()) return "Deposit: (new)";
  return "Deposit: " + std::to_string(deposit_.integer("Entry Number"));
}

void DepositWindow::setPaymentAmount(Money amount) {
  // What was applied already stays applied: the unapplied part moves by the
  // difference, never back to the whole amount.
  const Money before = deposit_.money("Payment Amount");
  const Money unapplied = deposit_.money("Unapplied Amount") + (amount - before);
  deposit_.set("Payment Amount", amount.toDouble());
  deposit_.set("Unapplied Amount", unapplied.toDouble());
}

bool DepositWindow::setField(const std::string& field, const std::string& text) {
  const auto index = deposit_.table().fieldIndex(field);
  if (!index) {
    context_.prompter.error(fmt::format("The deposit has no field \"{}\".", field));
    return false;
  }
  const std::string name = deposit_.table().field(*index).name;
  if (name == "Entry Number" || name == "Date Modified" || name == "Date Created" ||
      name == "User Code" || name == "Unapplied Amount") {
    context_.prompter.error(fmt::format("\"{}\" is kept by the program.", name));
    return false;
  }
  try {
    if (name == "Payment Amount") {
      store::Record scratch = deposits_.newRecord();
      scratch.setFromText(name, text);
      setPaymentAmount(scratch.money(name));
      return true;
    }
    const std::string methodBefore = trimmed(deposit_.text("Payment Method"));
    if (name == "Payment Method" || name == "Payor Type") {
      // A method or payor type the code rules do not know would let any code through.
      const auto choice =
          name == "Payment Method"
              ? offeredChoice(text, {"Check", "Cash", "Credit Card", "Electronic"})
              : offeredChoice(text, {"Patient", "Insurance", "Capitation", "Attorney"});
      if (!choice) {
        context_.prompter.error(
            name == "Payment Method"
                ? "The payment method is one of Check, Cash, Credit Card or Electronic."
                : "The payor type is one of Patient, Insurance, Capitation or Attorney.");
        return false;
      }
      deposit_.set(name, *choice);
    } else if (name == "Deposit Code") {
      const std::string code = typedCode(text);
      if (!code.empty() &&
          (code.size() != 1 || !std::isalnum(static_cast<unsigned char>(code[0])))) {
        context_.prompter.error("The deposit code is one letter or digit.");
        return false;
      }
      deposit_.set(name, code);
    } else {
      deposit_.setFromText(name, text);
    }
    if ((name == "Chart Number" || name == "Insurance Code") &&
        trimmed(deposit_.text("Payor Name")).empty())
      fillPayorName(name);
    if (name == "Payment Method" && isNew()) {
      const char* before = defaultPaymentCodeOption(methodBefore);
      const char* after = defaultPaymentCodeOption(trimmed(deposit_.text(name)));
      const std::string code = typedCode(deposit_.text("Payment Code"));
      if (after != nullptr &&
          (code.empty() || (before != nullptr && code == typedCode(optionText(before)))))
        deposit_.set("Payment Code", optionText(after));
    }
  } catch (const store::InputError& error) {
    context_.prompter.error(error.what());
    return false;
  }
  return true;
}

void DepositWindow::fillPayorName(const std::string& payorField) {
  const std::string code = typedCode(deposit_.text(payorField));
  if (code.empty()) return;
  std::string name;
  if (payorField == "Chart Number") {
    store::Table patients = context_.practice.openTable("QVPAT");
    patients.setOrder("Primary");
    if (const auto patient = patients.seek({store::Value{code}})) {
      name = trimmed(patient->text("First Name"));
      const std::string last = trimmed(patient->text("Last Name"));
      name += name.empty() || last.empty() ? last : " " + last;
    }
  } else {
    store::ensureTable(context_.practice, "QVINS");
    store::Table carriers = context_.practice.openTable("QVINS");
    carriers.setOrder("Primary");
    if (const auto carrier = carriers.seek({store::Value{code}}))
      name = trimmed(carrier->text("Name"));
  }
  name = trimmed(name.size() > 30 ? name.substr(0, 30) : name);
  if (!name.empty()) deposit_.set("Payor Name", name);
}

std::vector<store::Record> offeredCodes(store::Connection& practice, CodeBox box,
                                        const std::string& payorType,
                                        const std::string& paymentMethod) {
  const std::string types = offeredCodeTypes(box, payorType, trimmed(paymentMethod));
  store::Table codes = practice.openTable("QVPRO");
  codes.setOrder("Primary");
  std::vector<store::Record> offered;
  codes.forEach([&](const store::Record& code) {
    const std::string type = typedCode(code.text("Type"));
    if (type.size() == 1 && types.find(type[0]) != std::string::npos) offered.push_back(code);
  });
  return offered;
}

std::vector<store::Record> DepositWindow::codeChoices(CodeBox box) {
  return offeredCodes(context_.practice, box, deposit_.text("Payor Type"),
                      deposit_.text("Payment Method"));
}

bool DepositWindow::checkPaymentCode() {
  const std::string code = typedCode(deposit_.text("Payment Code"));
  // A deposit may be put down before its codes are chosen; payment
  // application then starts from empty boxes.
  if (code.empty()) return true;
  store::Table codes = context_.practice.openTable("QVPRO");
  codes.setOrder("Primary");
  const auto found = codes.seek({store::Value{code}});
  const std::string type = found ? typedCode(found->text("Type")) : std::string();
  const std::string offered = offeredCodeTypes(CodeBox::Payment, deposit_.text("Payor Type"),
                                               trimmed(deposit_.text("Payment Method")));
  if (type.size() == 1 && offered.find(type[0]) != std::string::npos) return true;
  focus_ = "Payment Code";
  context_.prompter.error("The Payment code type does not match the Payment Method.");
  return false;
}

bool DepositWindow::checkPayor() {
  const std::string payorType = deposit_.text("Payor Type");
  const char* field = "Chart Number";
  const char* message = "You must fill in the payor chart number";
  if (paidByInsurance(payorType)) {
    field = "Insurance Code";
    message = "You must fill in the insurance code";
  } else if (paidByAttorney(payorType)) {
    field = "Attorney Code";
    message = "You must fill in the attorney code";
  }
  if (!trimmed(deposit_.text(field)).empty()) return true;
  focus_ = field;
  context_.prompter.error(message);
  return false;
}

void DepositWindow::updateLastPatientPayment() {
  const std::string chart = typedCode(deposit_.text("Chart Number"));
  store::Table patients = context_.practice.openTable("QVPAT");
  patients.setOrder("Primary");
  auto patient = patients.seek({store::Value{chart}});
  if (!patient) return;
  patient->set("Last Patient Payment Date", deposit_.date("Deposit Date"));
  patient->set("Last Patient Payment Amount", deposit_.money("Payment Amount").toDouble());
  try {
    patients.post(*patient);
  } catch (const store::RecordInUseError&) {
    // The patient's ledger is open on another desk, which holds the row; the
    // deposit is saved all the same, and that desk's save or a recalculation
    // brings the last payment up to date from the ledger.
  }
}

void DepositWindow::writeEditAudit(const store::Record& before) {
  const std::string entry = std::to_string(deposit_.integer("Entry Number"));
  const DateTime now = context_.practice.clock().now();
  // One entry per changed amount: the audit comment holds 80 characters, and
  // both changes in one line would lose the second.
  for (const char* field : {"Payment Amount", "Unapplied Amount"}) {
    const Money old = before.money(field);
    const Money changed = deposit_.money(field);
    if (old == changed) continue;
    security::writeAuditEntry(context_.practice, "Edit Deposit",
                              typedCode(deposit_.text("Chart Number")),
                              fmt::format("Entry: {}  {} {} was changed to {}", entry, field,
                                          old.toString(), changed.toString()),
                              now);
  }
}

void DepositWindow::updateCheckNumbers(const std::string& checkNumber) {
  store::Table ledger = context_.practice.openTable("QVTRN");
  ledger.setOrder("idxDepositID");
  const std::int64_t entry = deposit_.integer("Entry Number");
  ledger.setRange({store::Value{entry}}, {store::Value{entry}});
  ledger.setFilter("Transaction Type >= 'I' AND Transaction Type <= 'R'");
  std::vector<store::Record> payments;
  ledger.forEach([&](const store::Record& row) { payments.push_back(row); });
  // All or none: a payment held on another desk keeps every payment's number
  // as it was, so the deposit's lines never disagree among themselves.
  std::vector<store::Record*> held;
  try {
    for (auto& payment : payments) {
      ledger.edit(payment);
      held.push_back(&payment);
    }
  } catch (const store::RecordInUseError&) {
    for (auto* payment : held) ledger.cancel(*payment);
    context_.prompter.error("Transaction locked.  Check number not updated.");
    return;
  }
  for (auto& payment : payments) {
    payment.set("Check Number", checkNumber);
    ledger.post(payment);
  }
}

bool DepositWindow::save() {
  focus_.clear();
  if (!checkPaymentCode() || !checkPayor()) return false;
  const bool wasNew = isNew();
  // Should any write fail, the database rolls back and the window still holds
  // the deposit as the person left it.
  const store::Record asTyped = deposit_;
  try {
    store::Transaction transaction(context_.practice);
    if (wasNew) deposit_.set("User Code", depositUserCode(context_));
    if (!paidByInsurance(deposit_.text("Payor Type")) &&
        !paidByAttorney(deposit_.text("Payor Type")))
      updateLastPatientPayment();
    if (wasNew) {
      deposits_.append(deposit_);
      // The window stays on the deposit, now held as any stored one is.
      deposits_.edit(deposit_);
    } else {
      deposits_.post(deposit_, true);
      writeEditAudit(*stored_);
      const std::string checkNumber = trimmed(deposit_.text("Check Number"));
      if (checkNumber != trimmed(stored_->text("Check Number"))) updateCheckNumbers(checkNumber);
    }
    transaction.commit();
  } catch (const store::RecordInUseError& inUse) {
    deposit_ = asTyped;
    context_.prompter.error(inUse.batchRefusalMessage());
    return false;
  }
  stored_ = deposit_;
  return true;
}

void DepositWindow::close() {
  if (deposit_.isInEdit()) deposits_.cancel(deposit_);
}

DepositForApplying::DepositForApplying(DepositSurroundings surroundings, store::Table deposits,
                                       store::Record deposit)
    : context_(std::move(surroundings)),
      deposits_(std::move(deposits)),
      deposit_(std::move(deposit)) {}

DepositForApplying::~DepositForApplying() {
  if (deposit_.isInEdit()) deposits_.cancel(deposit_);
}

std::unique_ptr<DepositForApplying> DepositForApplying::hold(DepositSurroundings surroundings,
                                                             std::int64_t entryNumber) {
  prepareTables(surroundings.practice);
  if (!allowed(surroundings, deposit_permission::apply)) return nullptr;
  store::Table deposits = surroundings.practice.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  auto deposit = deposits.seek({store::Value{entryNumber}});
  if (!deposit) {
    surroundings.prompter.error(fmt::format("Deposit {} not found", entryNumber));
    return nullptr;
  }
  try {
    deposits.edit(*deposit);
  } catch (const store::RecordInUseError&) {
    surroundings.prompter.error(store::messages::recordInUseBatch);
    return nullptr;
  }
  return std::unique_ptr<DepositForApplying>(
      new DepositForApplying(std::move(surroundings), std::move(deposits), std::move(*deposit)));
}

void DepositForApplying::close(Money finalUnapplied) {
  if (!deposit_.isInEdit()) return;
  if (deposit_.money("Unapplied Amount") == finalUnapplied) {
    deposits_.cancel(deposit_);
    return;
  }
  deposit_.set("Unapplied Amount", finalUnapplied.toDouble());
  deposits_.post(deposit_);
}

bool deleteDeposit(DepositSurroundings surroundings, std::int64_t entryNumber) {
  prepareTables(surroundings.practice);
  if (!allowed(surroundings, deposit_permission::remove)) return false;
  store::Table deposits = surroundings.practice.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  auto deposit = deposits.seek({store::Value{entryNumber}});
  if (!deposit) {
    surroundings.prompter.error(fmt::format("Deposit {} not found", entryNumber));
    return false;
  }
  if (!surroundings.prompter.askYesNo(
          "Are you sure you want to delete this record?\n\nNote: Deleting this deposit item will "
          "not\nremove any related applied payments."))
    return false;
  try {
    deposits.remove(*deposit);
  } catch (const store::RecordInUseError& inUse) {
    surroundings.prompter.error(inUse.batchRefusalMessage());
    return false;
  }
  security::writeAuditEntry(surroundings.practice, "Deleted deposit",
                            typedCode(deposit->text("Chart Number")),
                            fmt::format("Entry: {} Payment Code: {} Amount: {}", entryNumber,
                                        trimmed(deposit->text("Payment Code")),
                                        deposit->money("Payment Amount").toString()),
                            surroundings.practice.clock().now());
  return true;
}

}  // namespace vantrell::deposits
