// The save of the transaction window: the checks of every changed line, then
// deletions, charges, payments, applications and the patient's totals written
// as one database transaction.
#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "reference/price_lookup.hpp"
#include "security/audit.hpp"
#include "store/errors.hpp"
#include "store/messages.hpp"
#include "store/names.hpp"
#include "transactions/ledger_posting.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::transactions {
namespace {

constexpr const char* notSavedUntil = "  Transactions will not be saved ";

bool isChargeType(char type) {
  return type >= 'A' && type <= 'H';
}

std::string modifiersOf(const store::Record& row) {
  std::array<std::string, 4> modifiers;
  for (std::size_t i = 0; i < 4; ++i) modifiers[i] = row.text(fmt::format("Modifier {}", i + 1));
  return reference::joinedModifiers(modifiers);
}

// An allowed amount's place: carrier, procedure and modifiers as its key compares them.
std::string allowedKey(const std::string& carrier, const std::string& procedure,
                       const std::string& modifiers) {
  return store::upperAscii(store::trimRight(carrier)) + '\x1f' +
         std::string(store::trimRight(procedure)) + '\x1f' +
         std::string(store::trimRight(modifiers));
}

std::optional<store::Record> findByCode(store::Connection& practice, const char* table,
                                        const std::string& code) {
  store::Table rows = practice.openTable(table);
  rows.setOrder("Primary");
  return rows.seek({store::Value{store::upperAscii(code)}});
}

// The superbill a document number names: superbill numbers are whole
// numbers that fit the superbill table; any other document is on none.
std::optional<store::Record> superbillOf(store::Connection& practice, const std::string& document) {
  if (document.empty() || document.size() > 10 ||
      document.find_first_not_of("0123456789") != std::string::npos ||
      !practice.tableExists("QVSTR"))
    return std::nullopt;
  const long long number = std::stoll(document);
  if (number > 2147483647LL) return std::nullopt;
  store::Table superbills = practice.openTable("QVSTR");
  superbills.setOrder("idxDocumentNumber");
  return superbills.seek({store::Value{static_cast<std::int64_t>(number)}});
}

}  // namespace

bool TransactionEntryWindow::validateProcedureCode(const TransactionLine& line, bool chargeSide) {
  ui::Prompter& prompter = context_.prompter;
  const std::string kind = std::string("P") + (chargeSide ? "rocedure" : "ayment");
  const std::string code = line.row.text("Procedure Code");
  const std::string correct = std::string("until this p") + "rocedure" + " code is corrected.";
  const std::string caption = kind + " Validation";
  if (code.empty()) {
    prompter.error(kind + " code cannot be left blank." + notSavedUntil + correct, caption);
    return false;
  }
  const auto procedure = procedureCode(code);
  if (!procedure) {
    prompter.error(kind + " code " + code + " is invalid." + notSavedUntil + correct, caption);
    return false;
  }
  if (procedure->logical("Inactive") &&
      !prompter.askYesNo(
          kind + " code " + code + " is inactive.  " + "Do you want to use it anyway?", caption))
    return false;
  if (line.row.isEmpty("Transaction Type")) {
    prompter.error(
        "Transaction type is blank.  Transactions will not be saved until this is corrected.  "
        "Please delete and "
        "recreate this transaction.",
        "Transaction Validation");
    return false;
  }
  if (context_.options.flag("Warn on Unapproved") && !procedure->logical("Approved") &&
      !prompter.askYesNo(kind + " code " + code + " is not a HIPAA approved code.  " +
                             "Do you want to use it anyway?",
                         caption))
    return false;
  return true;
}

bool TransactionEntryWindow::validateProvider(const TransactionLine& line) {
  ui::Prompter& prompter = context_.prompter;
  const store::Record& row = line.row;
  if (row.isEmpty("Units")) {
    prompter.error(
        "Units cannot be left blank.  Transactions will not be saved until this is corrected.",
        "Units Validation");
    return false;
  }
  if (row.isEmpty("Amount")) {
    prompter.error(
        "Amount cannot be left blank.  Transactions will not be saved until this is corrected.",
        "Amount Validation");
    return false;
  }
  const std::string provider = row.text("Attending Provider");
  if (provider.empty()) {
    prompter.error(
        "Attending Provider cannot be left blank.  Transactions will not be saved until this is "
        "corrected.",
        "Attending Provider Validation");
    return false;
  }
  const auto& found = checkedCode("QVPHY", provider);
  if (!found) {
    prompter.error("Attending Provider " + provider + " is invalid." + notSavedUntil +
                       "until this is corrected.",
                   "Attending Provider Validation");
    return false;
  }
  if (found->logical("Inactive") &&
      !prompter.askYesNo(
          "Attending Provider " + provider + " is inactive.  Do you want to use it anyway?",
          "Attending Provider Validation"))
    return false;
  return true;
}

bool TransactionEntryWindow::validateDates(TransactionLine& line) {
  ui::Prompter& prompter = context_.prompter;
  store::Record& row = line.row;
  const Date today = context_.clock.today();
  const std::string caption = "Date of Service Validation";
  for (const char* title : {"Date From", "Date To"}) {
    const Date date = row.date(title);
    if (date.isEmpty()) {
      prompter.error(std::string(title) + " cannot be left blank." + notSavedUntil +
                         "until this is corrected.",
                     caption);
      return false;
    }
    if (today < date && !prompter.askYesNo(std::string(title) + " is a future date.  " +
                                               "Do you want to save this transaction?",
                                           caption))
      return false;
  }
  if (row.date("Date To") < row.date("Date From")) {
    prompter.error(std::string("Date To must occur after Date From.") + notSavedUntil +
                       "until this is corrected.",
                   caption);
    return false;
  }
  return true;
}

bool TransactionEntryWindow::validateDiagnoses(TransactionLine& line) {
  ui::Prompter& prompter = context_.prompter;
  store::Record& row = line.row;
  const std::string caption = "Diagnosis Validation";
  std::array<std::string, 4> codes;
  for (std::size_t i = 0; i < 4; ++i) codes[i] = row.text(fmt::format("Diagnosis Code {}", i + 1));
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = i + 1; j < 4; ++j) {
      if (!codes[i].empty() && store::equalsIgnoringCase(codes[i], codes[j])) {
        prompter.error(
            "You have two diagnosis set for the same diagnosis code.  Transactions will not be "
            "saved until this is "
            "corrected.",
            caption);
        return false;
      }
    }
  }
  // The pairs in the system's order: 1/2, 1/3, 2/3, 1/4, 2/4, 3/4.
  for (std::size_t later = 1; later < 4; ++later) {
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      if (!codes[later].empty() && codes[earlier].empty()) {
        prompter.error(fmt::format("Diagnosis {} must have a value before Diagnosis {}.",
                                   earlier + 1, later + 1) +
                           "  Transactions will not be saved until this is corrected.",
                       caption);
        return false;
      }
    }
  }
  if (codes[0].empty() &&
      !prompter.askYesNo(
          "No diagnosis code has been assigned to this transaction.  Any claim created without a "
          "diagnosis code will be rejected by the insurance company.  Do you want to save this "
          "transaction?",
          caption))
    return false;
  std::vector<std::string> unapproved;
  for (const auto& code : codes) {
    if (code.empty()) continue;
    const auto& found = checkedCode("QVDIA", code);
    if (found && found->logical("Inactive") &&
        !prompter.askYesNo(
            "Diagnosis code " + code + " is inactive.  " + "Do you want to use it anyway?",
            caption))
      return false;
    if (!found) {
      prompter.error("Diagnosis code " + code + " is invalid." + notSavedUntil +
                         "until this Diagnosis code is corrected.",
                     caption);
      return false;
    }
    if (!found->logical("Approved")) unapproved.push_back(code);
  }
  if (context_.options.flag("Warn on Unapproved") && !unapproved.empty()) {
    std::string question;
    if (unapproved.size() == 1) {
      question = "Diagnosis code " + unapproved[0] + " is not a HIPAA approved code.  " +
                 "Do you want to use it anyway?";
    } else {
      std::string joined;
      for (const auto& code : unapproved) joined += (joined.empty() ? "" : ", ") + code;
      question = "Diagnosis codes " + joined + " are not HIPAA approved codes.  " +
                 "Do you want to use them anyway?";
    }
    if (!prompter.askYesNo(question, caption)) return false;
  }
  if (line.isStored() && row.integer("Claim Number") != 0) {
    store::Table ledger = ledgerTable();
    ledger.setOrder("Idxentrynumber");
    const auto stored = ledger.seek({store::Value{line.entryNumber()}});
    bool changed = false;
    for (std::size_t i = 0; stored && i < 4; ++i)
      changed = changed || !store::equalsIgnoringCase(
                               stored->text(fmt::format("Diagnosis Code {}", i + 1)), codes[i]);
    if (changed) {
      if (!prompter.askYesNo(
              "The diagnosis has changed and the transaction will be removed from its current "
              "claim.  "
              "A new claim must be created for this transaction.  Do you want to save this "
              "transaction?",
              caption))
        return false;
      row.set("Claim Number", std::int64_t{0});
    }
  }
  return true;
}

bool TransactionEntryWindow::validateSuperbill(const TransactionLine& line) {
  if (!context_.options.flag("Use Serialized Superbills")) return true;
  const std::string document = line.row.text("Document Number");
  const auto superbill = superbillOf(context_.practice, document);
  if (superbill && !superbill->isEmpty("Chart Number") &&
      !store::equalsIgnoringCase(superbill->text("Chart Number"), line.row.text("Chart Number"))) {
    context_.prompter.error(
        "The chart number selected does not match the chart number on the current superbill # " +
            document + "  Transactions will not be saved until this is corrected.",
        "Superbill Validation");
    return false;
  }
  return true;
}

const std::optional<store::Record>& TransactionEntryWindow::checkedCode(const char* table,
                                                                        const std::string& code) {
  const std::string key = std::string(table) + '\x1f' + store::upperAscii(code);
  if (const auto known = checkedCodes_.find(key); known != checkedCodes_.end())
    return known->second;
  return checkedCodes_.emplace(key, findByCode(context_.practice, table, code)).first->second;
}

bool TransactionEntryWindow::validateLine(TransactionLine& line, bool chargeSide) {
  if (!validateProcedureCode(line, chargeSide)) return false;
  const char type = line.type();
  if (chargeSide) {
    if (!validateProvider(line)) return false;
  } else if (type < 'S' && store::trimRight(line.row.text("Who Paid")).empty()) {
    context_.prompter.error(
        "Who Paid cannot be left blank.  Transactions will not be saved until this is corrected.",
        "Who Paid Validation");
    return false;
  }
  if (!validateDates(line)) return false;
  if (chargeSide && type != 'G' && type != 'H' && !validateDiagnoses(line)) return false;
  return !chargeSide || validateSuperbill(line);
}

bool TransactionEntryWindow::save(bool forced) {
  if (!isLoaded()) return false;
  if (readOnly_) {
    context_.prompter.error(store::messages::recordInUseViewing);
    return false;
  }
  if (!forced && !set_.hasUnsavedLines() && !set_.hasDeletedLines()) {
    context_.prompter.inform("No transactions have been changed/saved.");
    return false;
  }
  {
    store::Table cases = context_.practice.openTable("QVCAS");
    cases.setOrder("Primary");
    if (!cases.seek({store::Value{set_.chartNumber}, store::Value{set_.caseNumber}})) {
      context_.prompter.error(
          "This Patient/Case combination does not exist.  Transactions cannot be saved.");
      return false;
    }
  }
  failedLine_.reset();
  checkedCodes_.clear();
  for (auto* lines : {&set_.charges, &set_.payments}) {
    const bool chargeSide = lines == &set_.charges;
    for (std::size_t index = 0; index < lines->size(); ++index) {
      auto& line = (*lines)[index];
      if ((forced || line.didEdit || !line.isStored()) && !validateLine(line, chargeSide)) {
        failedLine_ = FailedLine{chargeSide, index};
        return false;
      }
    }
  }
  // The save works on a copy: should the engine fail part way, the database
  // rolls back and the window still holds every line as the person left it.
  WorkingSet staged = set_;
  const bool forcedAll = forced;
  const store::Record caseAsLoaded = *caseRecord_;
  try {
    if (forcedAll) {
      for (auto& line : staged.charges) line.didEdit = true;
      for (auto& line : staged.payments) line.didEdit = true;
    }
    writeSet(staged);
  } catch (const store::RecordInUseError& inUse) {
    caseRecord_ = caseAsLoaded;
    context_.prompter.error(inUse.batchRefusalMessage());
    return false;
  } catch (const store::StoreError& failure) {
    caseRecord_ = caseAsLoaded;
    context_.prompter.error(std::string("The transactions were not saved: ") + failure.what());
    return false;
  }
  // Reload the case as stored, keeping the window's defaults.
  const std::string chart = set_.chartNumber;
  const auto number = set_.caseNumber;
  const Money taxable = taxableTotal_;
  clearSet();
  set_.chartNumber = chart;
  set_.caseNumber = number;
  taxableTotal_ = taxable;
  store::Table cases = context_.practice.openTable("QVCAS");
  cases.setOrder("Primary");
  caseRecord_ = cases.seek({store::Value{chart}, store::Value{number}});
  loadLines();
  return true;
}

void TransactionEntryWindow::writeSet(WorkingSet& staged) {
  notices_.clear();
  visitDates_.clear();
  caseChanged_ = false;
  store::Transaction transaction(context_.practice);
  const bool ledgerOfRecord = context_.ledger == Ledger::Transactions;
  Money balance = patient_ ? patient_->money("Patient Reference Balance") : Money{};
  store::Table ledger = ledgerTable();
  ledger.setOrder("Idxentrynumber");
  std::set<std::int64_t> chargesTouched;
  std::set<std::int64_t> paymentsTouched;
  std::int64_t written = 0;
  if (context_.progress != nullptr)
    context_.progress->begin(
        "Saving transactions",
        static_cast<std::int64_t>(staged.charges.size() + staged.payments.size()));

  for (auto* deleted : {&staged.deletedCharges, &staged.deletedPayments}) {
    for (auto& line : *deleted) {
      auto stored = ledger.seek({store::Value{line.entryNumber()}});
      if (!stored) continue;
      balance -= stored->money("Amount");
      ledger.remove(*stored);
      if (ledgerOfRecord && deleted == &staged.deletedPayments && stored->integer("Deposit ID") > 0)
        adjustDeposit(stored->integer("Deposit ID"), -stored->money("Amount"), true);
      if (ledgerOfRecord) {
        // Applications of the gone entry that the working list does not hold
        // leave totals elsewhere to recompute.
        auto rows = context_.practice.driver().query(
            "SELECT \"Payment Reference\", \"Charge Reference\" FROM \"QVPAX\" WHERE "
            "COALESCE(\"Charge Reference\", 0) = ? OR "
            "COALESCE(\"Payment Reference\", 0) = ?",
            {store::Value{line.entryNumber()}, store::Value{line.entryNumber()}});
        while (rows->next()) {
          const auto payment = std::get<std::int64_t>(rows->column(0, store::FieldType::Integer));
          const auto charge = std::get<std::int64_t>(rows->column(1, store::FieldType::Integer));
          if (charge == line.entryNumber())
            paymentsTouched.insert(payment);
          else
            chargesTouched.insert(charge);
        }
        context_.practice.executeSql(
            "DELETE FROM \"QVPAX\" WHERE COALESCE(\"Charge Reference\", 0) = ? OR "
            "COALESCE(\"Payment Reference\", 0) = ?",
            {store::Value{line.entryNumber()}, store::Value{line.entryNumber()}});
      }
      security::writeAuditEntry(context_.practice, "Deleted transaction", staged.chartNumber,
                                "Entry: " + std::to_string(line.entryNumber()) +
                                    " Procedure: " + stored->text("Procedure Code") +
                                    " Amount: " + stored->money("Amount").toString(),
                                context_.clock.now());
    }
  }
  if (ledgerOfRecord) carryCheckNumbers(staged);
  // The new lines are one batch of appends: the server takes them without an
  // answer for each.
  std::size_t newLines = 0;
  for (const auto* lines : {&staged.charges, &staged.payments})
    newLines += static_cast<std::size_t>(
        std::count_if(lines->begin(), lines->end(),
                      [](const TransactionLine& line) { return !line.isStored(); }));
  ledger.expectAppends(newLines);
  readAllowedRows(staged);
  for (auto* lines : {&staged.charges, &staged.payments}) {
    const bool chargeSide = lines == &staged.charges;
    for (auto& line : *lines) {
      if (!line.didEdit && line.isStored()) continue;
      const char type = line.type();
      if (ledgerOfRecord && !chargeSide && !line.isStored() && type >= 'I' && type <= 'O' &&
          line.row.integer("Deposit ID") == 0) {
        createDeposit(line);
        for (auto& application : staged.applications) {
          if (application.paymentReference == line.newEntryNumber)
            application.depositId = line.row.integer("Deposit ID");
        }
      }
      writeLine(ledger, staged, line, chargeSide, balance);
      if (context_.progress != nullptr) context_.progress->advance(++written);
    }
  }
  if (ledgerOfRecord) {
    LedgerPosting posting(context_.practice, table_);
    for (const auto& application : staged.applications) posting.writeApplication(application);
    for (const auto entry : chargesTouched) posting.touchCharge(entry);
    for (const auto entry : paymentsTouched) posting.touchPayment(entry);
    for (const auto& line : staged.payments) posting.touchPayment(line.entryNumber());
    posting.rebuildTouchedTotals();
    if (patient_) posting.postPatientTotals(*patients_, *patient_, balance);
  }
  if (caseChanged_) {
    store::Table cases = context_.practice.openTable("QVCAS");
    cases.post(*caseRecord_);
  }
  transaction.commit();
  if (context_.progress != nullptr) context_.progress->end();
  set_ = std::move(staged);
  for (const auto& notice : std::exchange(notices_, {})) context_.prompter.inform(notice);
}

void TransactionEntryWindow::carryCheckNumbers(WorkingSet& staged) {
  store::Table deposits = context_.practice.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  for (auto& line : staged.payments) {
    const auto deposit = line.row.integer("Deposit ID");
    if (deposit <= 0 || line.oldCheckNumber == newCheckNumberSentinel ||
        line.row.text("Check Number") == line.oldCheckNumber)
      continue;
    if (auto row = deposits.seek({store::Value{deposit}})) {
      row->set("Check Number", line.row.text("Check Number"));
      deposits.post(*row);
    }
    line.oldCheckNumber = line.row.text("Check Number");
  }
}

void TransactionEntryWindow::createDeposit(TransactionLine& line) {
  store::Table deposits = context_.practice.openTable("QVDEP");
  store::Record deposit = deposits.newRecord();
  const store::Record& row = line.row;
  const char type = line.type();
  deposit.set("Deposit Date", row.date("Date From"));
  deposit.set("Description",
              row.isEmpty("Description") ? row.text("Document Number") : row.text("Description"));
  std::string payor =
      patient_ ? patient_->text("First Name") + " " + patient_->text("Last Name") : std::string();
  if (type == 'I') {
    const std::string who(store::trimRight(row.text("Who Paid")));
    const std::string carrier = who == "1" || who == "2" || who == "3"
                                    ? caseRecord_->text("Insurance Carrier #" + who)
                                    : std::string();
    if (!carrier.empty()) {
      store::Table carriers = context_.practice.openTable("QVINS");
      carriers.setOrder("Primary");
      const auto found = carriers.seek({store::Value{store::upperAscii(carrier)}});
      payor = found ? found->text("Name") : carrier;
      deposit.set("Insurance Code", carrier);
    }
    deposit.set("Payor Type", std::string("Insurance"));
  }
  deposit.set("Payor Name", payor.substr(0, 30));
  deposit.set("Payment Method", std::string(type == 'I' || type == 'K' || type == 'N' ? "Check"
                                            : type == 'J' || type == 'M'              ? "Cash"
                                                                         : "Credit Card"));
  deposit.set("Copay", type == 'J' || type == 'K' || type == 'L');
  deposit.set("Chart Number", row.text("Chart Number"));
  deposit.set("Deposit Code", std::string("T"));
  deposit.set("Check Number", row.text("Check Number"));
  // The deposit holds what the line will hold: its amount to the cent.
  deposit.set("Payment Amount", -row.money("Amount").roundedToCents());
  deposit.set("Unapplied Amount", Money{});
  deposit.set("CC Entry Number", row.integer("CC Entry Number"));
  deposit.set("Payment Code", row.text("Procedure Code"));
  deposit.set("Date Created", context_.clock.today());
  deposits.append(deposit);
  line.row.set("Deposit ID", deposit.integer("Entry Number"));
}

void TransactionEntryWindow::adjustDeposit(std::int64_t depositId, Money difference, bool deleted) {
  if (difference == Money{}) return;
  const auto deposit =
      LedgerPosting(context_.practice, table_).moveDepositUnapplied(depositId, difference);
  if (!deposit) {
    notices_.push_back(
        "Any item in the Deposit List associated with this payment\rwill not have its unapplied "
        "amount "
        "adjusted.\r\rTo make this change, go to the Deposit List and update \rthe unapplied "
        "amount by $" +
        difference.toGroupedString());
    return;
  }
  const Money unapplied = deposit->money("Unapplied Amount");
  notices_.push_back(
      "The deposit (" + deposit->date("Deposit Date").toMonthDayYear() + "\r" +
      "for the amount of $" + deposit->money("Payment Amount").toGroupedString() +
      (deleted ? ") associated with the deleted payment" : ") associated with this payment") +
      "\r" + "has had its unapplied amount adjusted by $" + difference.toGroupedString() + "." +
      "\r" + "The new unapplied amount is: $" + unapplied.toGroupedString());
}

// One read for every charge of the save instead of one seek per line.
void TransactionEntryWindow::readAllowedRows(const WorkingSet& staged) {
  allowedRows_.clear();
  const std::string carrier = store::upperAscii(caseRecord_->text("Insurance Carrier #1"));
  std::vector<std::vector<store::Value>> keys;
  std::set<std::string> asked;
  for (const auto& line : staged.charges) {
    if ((!line.didEdit && line.isStored()) || !isChargeType(line.type())) continue;
    const std::string procedure = store::upperAscii(line.row.text("Procedure Code"));
    const std::string modifiers = modifiersOf(line.row);
    if (!asked.insert(allowedKey(carrier, procedure, modifiers)).second) continue;
    keys.push_back({store::Value{carrier}, store::Value{procedure}, store::Value{modifiers}});
  }
  if (keys.empty()) return;
  store::Table allowed = context_.practice.openTable("QVALL");
  allowed.setOrder("Primary");
  for (auto& row : allowed.seekMany(keys)) {
    std::string key =
        allowedKey(row.text("Insurance Code"), row.text("Procedure"), row.text("Modifiers"));
    allowedRows_.emplace(std::move(key), std::move(row));  // the first in key order wins
  }
}

void TransactionEntryWindow::writeLine(store::Table& ledger, WorkingSet& staged,
                                       TransactionLine& line, bool chargeSide, Money& balance) {
  std::optional<store::Record> stored;
  if (line.isStored()) stored = ledger.seek({store::Value{line.entryNumber()}});
  store::Record target = stored ? *stored : ledger.newRecord();
  if (stored) {
    balance -= stored->money("Amount");
    // A claim made meanwhile at another desk keeps its charge.
    if (stored->integer("Claim Number") != line.oldClaimNumber)
      line.row.set("Claim Number", stored->integer("Claim Number"));
  }
  line.row.set("Amount", line.row.money("Amount").roundedToCents());
  const auto& fields = target.table().fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].type == store::FieldType::AutoIncrement || fields[i].name == "Date Modified")
      continue;
    if (!stored || !(line.row.value(i) == target.value(i))) target.setAt(i, line.row.value(i));
  }
  const char type = line.type();
  if (chargeSide) {
    setResponsibilityOf(target, line);
    target.set("Facility", caseRecord_->text("Facility"));
    if (!stored && context_.options.flag("Use Serialized Superbills")) {
      if (auto superbill = superbillOf(context_.practice, target.text("Document Number"))) {
        const std::string status = superbill->text("Status");
        if (status.empty() || store::equalsIgnoringCase(status, "PRINTED")) {
          if (superbill->isEmpty("Chart Number"))
            superbill->set("Chart Number", staged.chartNumber);
          superbill->set("Status", std::string("BILLED"));
          store::Table superbills = context_.practice.openTable("QVSTR");
          superbills.post(*superbill);
        }
      }
    }
    if (isChargeType(type)) {
      // An allowed amount the clerk corrected is remembered, never created.
      const auto row = allowedRows_.find(
          allowedKey(caseRecord_->text("Insurance Carrier #1"),
                     store::upperAscii(target.text("Procedure Code")), modifiersOf(target)));
      if (row != allowedRows_.end() &&
          row->second.money("Amount") != target.money("Allowed Amount")) {
        row->second.set("Amount", target.money("Allowed Amount"));
        store::Table allowed = context_.practice.openTable("QVALL");
        allowed.post(row->second);
      }
    }
    if (!stored && (type == 'A' || type == 'C')) {
      // A new date of service is the next visit of the case's series.
      const Date day = target.date("Date From");
      bool known = visitDates_.count(day) != 0;
      if (!known) {
        auto sameDay =
            context_.practice.driver().query("SELECT 1 FROM \"" + table_ +
                                                 "\" WHERE COALESCE(\"Case Number\", 0) = ? AND "
                                                 "\"Date From\" = ? AND \"Transaction Type\" IN "
                                                 "('A', 'C') LIMIT 1",
                                             {store::Value{staged.caseNumber}, store::Value{day}});
        known = sameDay->next();
        visitDates_.insert(day);
      }
      if (!known) {
        store::Record& caseRow = *caseRecord_;
        if (!caseChanged_) {
          // The counter is read afresh under the case's lock: a case held at
          // another desk refuses the whole save rather than lose a visit.
          caseRow.clearModifications();
          store::Table cases = context_.practice.openTable("QVCAS");
          cases.edit(caseRow);
        }
        const double counter = caseRow.number("Visit Series Counter") + 1;
        const double total = caseRow.number("Authorized No of Visits") == 0.0
                                 ? 100
                                 : caseRow.number("Authorized No of Visits");
        caseRow.set("Visit Series Counter", counter);
        target.set("Visit Number", counter);
        target.set("Visit Total in Series", total);
        target.set("Visit Series ID", caseRow.isEmpty("Visit Series ID")
                                          ? std::string("A")
                                          : caseRow.text("Visit Series ID"));
        caseChanged_ = true;
        if (counter >= total) notices_.push_back("This is the last visit in this series.");
      }
    }
    if (stored && target.integer("Claim Number") != 0 &&
        (line.oldProcedureCode != target.text("Procedure Code") ||
         line.oldAmount != target.money("Amount"))) {
      security::writeAuditEntry(context_.practice, "Edit Transaction", staged.chartNumber,
                                "Entry: " + std::to_string(line.entryNumber()) + " Procedure " +
                                    line.oldProcedureCode + " was changed to " +
                                    target.text("Procedure Code") + "  Amount " +
                                    line.oldAmount.toGroupedString() + " was changed to " +
                                    target.money("Amount").toGroupedString(),
                                context_.clock.now());
    }
  }
  if (!chargeSide && stored && context_.ledger == Ledger::Transactions &&
      target.integer("Deposit ID") > 0 && stored->money("Amount") != target.money("Amount"))
    adjustDeposit(target.integer("Deposit ID"), target.money("Amount") - stored->money("Amount"),
                  false);
  if (stored) {
    ledger.post(target);
  } else {
    if (chargeSide)
      ledger.append(target);
    else
      LedgerPosting(context_.practice, table_).appendLine(ledger, target);
    const std::int64_t entry = target.integer("Entry Number");
    for (auto& application : staged.applications) {
      if (chargeSide && application.chargeReference == line.newEntryNumber)
        application.chargeReference = entry;
      if (!chargeSide && application.paymentReference == line.newEntryNumber)
        application.paymentReference = entry;
    }
  }
  balance += target.money("Amount");
  line.row = target;
  line.oldAmount = target.money("Amount");
  line.oldProcedureCode = target.text("Procedure Code");
  line.oldClaimNumber = target.integer("Claim Number");
  line.didEdit = false;
}

}  // namespace vantrell::transactions
