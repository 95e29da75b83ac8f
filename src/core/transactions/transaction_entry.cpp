#include "transactions/transaction_entry.hpp"

#include <stdexcept>

#include <fmt/format.h>

#include "reference/price_lookup.hpp"
#include "store/errors.hpp"
#include "store/messages.hpp"
#include "store/names.hpp"
#include "store/system_fields.hpp"
#include "store/table_creation.hpp"
#include "transactions/responsibility.hpp"

namespace vantrell::transactions {
namespace {

constexpr int addEditTransactionItem = 14;
constexpr int deleteTransactionItem = 16;
constexpr int useMultiLinkItem = 23;

bool isChargeType(char type) {
  return type >= 'A' && type <= 'H';
}

Money times(Money amount, double factor) {
  return Money::fromDouble(amount.toDouble() * factor);
}

}  // namespace

TransactionEntryWindow::TransactionEntryWindow(Surroundings surroundings)
    : context_(std::move(surroundings)), table_(transactions::ledgerTable(context_.ledger)) {
  for (const char* table :
       {"QVPAT", "QVCAS", "QVPRO", "QVPAX", "QVDIA", "QVPHY", "QVINS", "QVALL", "QVMUL"})
    store::ensureTable(context_.practice, table);
  store::ensureTable(context_.practice, table_);
}

TransactionEntryWindow::~TransactionEntryWindow() {
  releasePatient();
}

bool TransactionEntryWindow::allowed(int item, bool allowOverride) {
  return context_.security == nullptr ||
         context_.security->hasPermission(item, allowOverride, context_.overridePrompt);
}

Date TransactionEntryWindow::programDate() const {
  return context_.programDate ? context_.programDate() : context_.clock.today();
}

store::Table TransactionEntryWindow::ledgerTable() {
  return context_.practice.openTable(table_);
}

void TransactionEntryWindow::releasePatient() {
  if (patient_ && patient_->isInEdit()) patients_->cancel(*patient_);
  patient_.reset();
}

void TransactionEntryWindow::clearSet() {
  set_ = WorkingSet{};
  // Codes are read afresh for each case: another desk may have changed them.
  procedureCodes_.clear();
  diagnosisDescriptions_.clear();
  caseRecord_.reset();
  taxableTotal_ = Money{};
  taxCounted_.clear();
  amountsAtEntry_.clear();
  superbillWarned_ = false;
}

void TransactionEntryWindow::close() {
  clearSet();
  releasePatient();
  readOnly_ = false;
}

bool TransactionEntryWindow::chooseChart(const std::string& chartNumber) {
  if (!mayLeave()) return false;
  if (!allowed(addEditTransactionItem)) return false;
  if (!patients_) {
    patients_.emplace(context_.practice.openTable("QVPAT"));
    patients_->setOrder("Primary");
  }
  const std::string chart = store::upperAscii(chartNumber);
  auto patient = patients_->seek({store::Value{chart}});
  if (!patient) {
    // A mistyped chart leaves the patient on screen as it was.
    context_.prompter.error("This Patient/Case combination does not exist.");
    return false;
  }
  close();
  try {
    // The patient's row is the lock of its ledger while the window works on it.
    patients_->edit(*patient);
  } catch (const store::RecordInUseError& inUse) {
    // Another window of this program, told by workstation and process: the same
    // user in another program is another holder.
    if (inUse.owner() && inUse.owner()->isThisProcess())
      context_.prompter.error("You currently have patient with chart number " + chart + " open.");
    else
      context_.prompter.error("Patient with chart number " + chart +
                              " is in use by another user.  Please choose a different patient.");
    return false;
  }
  patient_ = std::move(patient);
  set_.chartNumber = patient_->text("Chart Number");
  return true;
}

bool TransactionEntryWindow::chooseCase(std::int64_t caseNumber) {
  if (set_.chartNumber.empty()) {
    context_.prompter.error("This Patient/Case combination does not exist.");
    return false;
  }
  // The case on screen chosen again keeps its lines, saved or not.
  if (isLoaded() && caseNumber == set_.caseNumber) return true;
  if (isLoaded() && !mayLeave()) return false;
  store::Table cases = context_.practice.openTable("QVCAS");
  cases.setOrder("Primary");
  auto found = cases.seek({store::Value{set_.chartNumber}, store::Value{caseNumber}});
  if (!found) {
    context_.prompter.error("This Patient/Case combination does not exist.");
    return false;
  }
  const std::string chart = set_.chartNumber;
  clearSet();
  set_.chartNumber = chart;
  set_.caseNumber = caseNumber;
  caseRecord_ = std::move(found);
  const store::Record& row = *caseRecord_;
  for (std::size_t i = 0; i < 4; ++i)
    defaults_.diagnoses[i] = row.text(fmt::format("Diagnosis {}", i + 1));
  defaults_.provider = row.text("Assigned Provider");
  defaults_.facility = row.text("Facility");
  defaults_.visitSeriesId = row.isEmpty("Visit Series ID") ? "A" : row.text("Visit Series ID");
  defaults_.visitSeriesCounter = row.number("Visit Series Counter");
  defaults_.visitSeriesTotal =
      row.number("Authorized No of Visits") == 0.0 ? 100 : row.number("Authorized No of Visits");
  copayReminder_ = true;
  if (context_.options.flag("Force Document Number") &&
      context_.options.flag("Use Serialized Superbills") && typedDocument_.empty()) {
    context_.prompter.error("You must enter a superbill number");
  }
  loadLines();
  if (const std::string warnings = caseWarnings(); !warnings.empty())
    context_.prompter.warn(warnings);
  return true;
}

bool TransactionEntryWindow::chooseDocument(const std::string& documentNumber) {
  if (documentNumber == typedDocument_) return true;
  if (!mayLeave()) return false;
  typedDocument_ = documentNumber;
  if (isLoaded() && context_.options.flag("Force Document Number")) {
    const auto number = set_.caseNumber;
    const std::string chart = set_.chartNumber;
    clearSet();
    set_.chartNumber = chart;
    set_.caseNumber = number;
    store::Table cases = context_.practice.openTable("QVCAS");
    cases.setOrder("Primary");
    caseRecord_ = cases.seek({store::Value{chart}, store::Value{number}});
    loadLines();
  }
  return true;
}

void TransactionEntryWindow::loadLines() {
  store::Table ledger = ledgerTable();
  ledger.setOrder("idxChartCaseDoc");
  std::vector<store::Value> key = {store::Value{set_.chartNumber}, store::Value{set_.caseNumber}};
  if (context_.options.flag("Force Document Number")) key.emplace_back(typedDocument_);
  ledger.setRange(key, key);
  ledger.forEach([&](const store::Record& row) {
    TransactionLine line(row);
    line.oldClaimNumber = row.integer("Claim Number");
    line.oldProcedureCode = row.text("Procedure Code");
    line.oldAmount = row.money("Amount");
    line.oldCheckNumber = row.text("Check Number");
    const char type = line.type();
    if (isChargeType(type))
      set_.charges.push_back(std::move(line));
    else if (type >= 'I' && type <= 'Z')
      set_.payments.push_back(std::move(line));
  });
}

std::string TransactionEntryWindow::caseWarnings() const {
  if (!caseRecord_) return "";
  const store::Record& row = *caseRecord_;
  std::string message;
  const auto add = [&](const std::string& part) { message += part + "\r\r"; };
  if (row.logical("Case Closed")) message += "This case has been closed.\r\r";
  const bool cash = row.logical("Cash Case");
  if (row.isEmpty("Insurance Carrier #1") && !cash)
    add(std::string("This case has no primary insurance carrier.\r") +
        "If a carrier is to be assigned to this case,\r" +
        "do it before creating transactions for it.");
  store::Table carriers = context_.practice.openTable("QVINS");
  carriers.setOrder("Primary");
  for (int policy = 1; policy <= 3; ++policy) {
    const std::string code = row.text(fmt::format("Insurance Carrier #{}", policy));
    if (code.empty()) continue;
    const auto carrier = carriers.seek({store::Value{store::upperAscii(code)}});
    if (carrier && carrier->logical("Inactive"))
      add("The primary insurance carrier for this case (" + code + ") is inactive.");
  }
  const Date today = programDate();
  const Date policyEnd = row.date("Policy #1 End Date");
  if (!row.isEmpty("Insurance Carrier #1") && !cash && !policyEnd.isEmpty() && policyEnd < today)
    add(std::string("Transactions entered for today's date will be beyond the ") + "\r" +
        "insurance policy expiration date.");
  const Date authorized = row.date("Treatment Auth Through");
  if (!authorized.isEmpty() && authorized < today)
    add("The authorized treatment through date for this case is " + authorized.toMonthDayYear());
  if (row.number("Authorized No of Visits") - 1 == row.number("Visit Series Counter"))
    add("This will be the last visit for this series.");
  return message;
}

void TransactionEntryWindow::resetDatesWhenProgramDateMoved() {
  const Date today = programDate();
  if (defaults_.programDate == today) return;
  defaults_.programDate = today;
  defaults_.dateFrom = defaults_.dateTo = defaults_.paymentDate = today;
}

std::string TransactionEntryWindow::newLineDocumentNumber() {
  if (context_.options.flag("Force Document Number")) return typedDocument_;
  if (generatedDocument_.empty()) {
    const Date date = programDate();
    const auto day = date.value();
    std::string document =
        fmt::format("{:02d}{:02d}{:02d}0000", static_cast<int>(day.year()) % 100,
                    static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    document.resize(std::min<std::size_t>(document.size(), 10));
    for (char& c : document) {
      if (c == ' ') c = '0';
    }
    generatedDocument_ = document;
  }
  return generatedDocument_;
}

std::optional<store::Record> TransactionEntryWindow::procedureCode(const std::string& code) const {
  if (code.empty()) return std::nullopt;
  const std::string key = store::upperAscii(code);
  if (const auto known = procedureCodes_.find(key); known != procedureCodes_.end())
    return known->second;
  auto found = reference::findProcedureCode(context_.practice, code);
  procedureCodes_.emplace(key, found);
  return found;
}

std::string TransactionEntryWindow::diagnosisDescription(const std::string& code) const {
  if (code.empty()) return "";
  const std::string key = store::upperAscii(code);
  if (const auto known = diagnosisDescriptions_.find(key); known != diagnosisDescriptions_.end())
    return known->second;
  store::Table diagnoses = context_.practice.openTable("QVDIA");
  diagnoses.setOrder("Primary");
  const auto found = diagnoses.seek({store::Value{key}});
  return diagnosisDescriptions_
      .emplace(key, found ? cutToCharacters(found->text("Description"), 40) : "")
      .first->second;
}

std::size_t TransactionEntryWindow::newCharge() {
  if (!isLoaded()) throw std::logic_error("A charge needs a chart and case chosen first.");
  resetDatesWhenProgramDateMoved();
  store::Table ledger = ledgerTable();
  TransactionLine line(ledger.newRecord());
  store::Record& row = line.row;
  line.newEntryNumber = set_.nextChargeNumber--;
  line.didEdit = true;
  row.set("Chart Number", set_.chartNumber);
  row.set("Case Number", set_.caseNumber);
  row.set("Date From", defaults_.dateFrom.isEmpty() ? programDate() : defaults_.dateFrom);
  row.set("Date To", defaults_.dateTo.isEmpty() ? programDate() : defaults_.dateTo);
  row.set("Units", 1.0);
  row.set("Minutes", 0.0);
  for (const char* zero : {"Claim Number", "CC Entry Number", "Deposit ID"})
    row.set(zero, std::int64_t{0});
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string& code = defaults_.diagnoses[i];
    row.set(fmt::format("Diagnosis Code {}", i + 1), code);
    row.set(fmt::format("Diagnosis {} Description", i + 1), diagnosisDescription(code));
    row.set(fmt::format("Diagnosis {}", i + 1), !code.empty());
  }
  row.set("Attending Provider", defaults_.provider);
  for (const char* bucket :
       {"Guarantor Amount Paid", "Insurance 1 Amount Paid", "Insurance 2 Amount Paid",
        "Insurance 3 Amount Paid", "Attorney Amount Paid", "Adjustment Amount"})
    row.set(bucket, 0.0);
  row.set("Documentation Type", std::string("T"));
  row.set("Price Indicator", std::string("A"));
  row.set("Date Created", context_.clock.today());
  row.set("Claim Item Rejected", false);
  for (int policy = 1; policy <= 3; ++policy) {
    row.set(fmt::format("Accept Assignment {}", policy),
            caseRecord_->logical(fmt::format("Accept Assignment #{}", policy)));
    row.set(fmt::format("Billed to Insured {}", policy), false);
    row.set(fmt::format("Insurance {} Paid", policy), false);
  }
  row.set("Guarantor Paid", false);
  row.set("Who Paid", std::string(" "));
  row.set("Visit Number", defaults_.visitSeriesCounter);
  row.set("Visit Total in Series", defaults_.visitSeriesTotal);
  row.set("Visit Series ID", defaults_.visitSeriesId);
  row.set("Transaction Type", std::string());
  if (context_.security != nullptr && !context_.security->userCode().empty())
    row.set("User Code", context_.security->userCode());
  row.set("Document Number", newLineDocumentNumber());
  if (context_.ledger == Ledger::Estimates) row.set("Posted", false);
  set_.charges.push_back(std::move(line));
  return set_.charges.size() - 1;
}

bool TransactionEntryWindow::casePriceCodeInUse(char& letter) {
  store::Record& row = *caseRecord_;
  if (row.isEmpty("Price Code")) {
    // A case without a price column is priced from column A from now on.
    store::Table cases = context_.practice.openTable("QVCAS");
    letter = reference::casePriceCode(row);
    try {
      cases.post(row);
    } catch (const store::RecordInUseError&) {
      // The case window has it open; the line is priced from A all the same.
    }
    return true;
  }
  letter = row.text("Price Code")[0];
  return true;
}

Money TransactionEntryWindow::lineAmount(const TransactionLine& line, Money price,
                                         bool paymentSide) const {
  const std::string typeText = line.row.text("Transaction Type");
  const char type = typeText.empty() ? 'A' : typeText[0];
  const double multiplier = isChargeType(type) && context_.options.flag("Multiply Units Times Amt.")
                                ? line.row.number("Units")
                                : 1.0;
  Money amount = times(price, multiplier);
  if (paymentSide && amount > Money{}) {
    const auto code = procedureCode(line.row.text("Procedure Code"));
    if ((code && code->logical("Adjustment Amount Negativ")) || (type >= 'I' && type <= 'R'))
      amount = -amount.abs();
  }
  return amount.roundedToCents();
}

bool TransactionEntryWindow::procedureCodeExit(TransactionLine& line, const std::string& code) {
  const auto procedure = procedureCode(code);
  const std::string type = procedure ? procedure->text("Type") : "";
  if (!procedure || !(type.empty() || isChargeType(type[0]))) return false;
  store::Record& row = line.row;
  line.oldProcedureCode = row.text("Procedure Code");
  row.set("Procedure Code", procedure->text("Code 1"));
  row.set("Transaction Type", type.empty() ? std::string("A") : type);
  const std::string units = procedure->text("Default Units");
  if (!units.empty() && units != "0") row.setFromText("Units", units);
  row.set("Procedure Description", cutToCharacters(procedure->text("Description"), 40));
  row.set("Insurance Category", procedure->text("Insurance Category"));
  row.set("Type of Service", procedure->text("Type of Service"));
  for (int modifier = 4; modifier >= 1; --modifier) {
    const std::string field = fmt::format("Modifier {}", modifier);
    if (row.isEmpty(field))
      row.set(field, procedure->text(fmt::format("Default Modifier {}", modifier)));
  }
  const std::string place = procedure->text("Default Place Service 1");
  row.set("Place of Service",
          place.empty() ? context_.options.text("Default Location Code") : place);
  char letter = 'A';
  casePriceCodeInUse(letter);
  row.set("Price Indicator", std::string(1, letter));
  row.set("Amount", lineAmount(line, reference::priceOf(*procedure, letter), false));
  row.set("Facility", defaults_.facility);
  if (caseRecord_->logical("Cash Case")) {
    row.set("Allowed Amount", row.money("Amount"));
  } else {
    std::array<std::string, 4> modifiers;
    for (std::size_t i = 0; i < 4; ++i) modifiers[i] = row.text(fmt::format("Modifier {}", i + 1));
    if (const auto allowed = reference::allowedAmount(
            context_.practice, caseRecord_->text("Insurance Carrier #1"),
            row.text("Procedure Code"), reference::joinedModifiers(modifiers)))
      row.set("Allowed Amount", *allowed);
  }
  return true;
}

void TransactionEntryWindow::unitsExit(TransactionLine& line, double oldUnits) {
  store::Record& row = line.row;
  const double units = row.number("Units");
  if (units == oldUnits) return;
  if (context_.options.flag("Multiply Units Times Amt.") && oldUnits != 0.0) {
    const Money perUnit = Money::fromDouble(row.money("Amount").toDouble() / oldUnits);
    const Money allowedPerUnit =
        Money::fromDouble(row.money("Allowed Amount").toDouble() / oldUnits);
    if (units == 0.0) {
      row.set("Amount", perUnit.roundedToCents());
      row.set("Allowed Amount", allowedPerUnit.roundedToCents());
    } else {
      row.set("Amount", times(perUnit, units).roundedToCents());
      row.set("Allowed Amount", times(allowedPerUnit, units).roundedToCents());
    }
  } else if (oldUnits == 0.0) {
    // The allowed amount has no per-unit value to scale from here; it stays.
    row.set("Amount", times(row.money("Amount"), units).roundedToCents());
  }
}

Money TransactionEntryWindow::unitAmount(const TransactionLine& line) const {
  return unitAmountOf(line.row, context_.options.flag("Multiply Units Times Amt."));
}

std::optional<std::string> TransactionEntryWindow::editableFieldName(
    const store::Record& row, const std::string& field, std::initializer_list<const char*> fixed) {
  const auto fieldIndex = row.table().fieldIndex(field);
  if (!fieldIndex) {
    context_.prompter.error("A transaction has no field \"" + field + "\".");
    return std::nullopt;
  }
  const std::string name = row.table().field(*fieldIndex).name;
  if (store::isSystemField(row.table(), name)) {
    context_.prompter.error(store::systemFieldRefusal(name));
    return std::nullopt;
  }
  for (const char* kept : fixed) {
    if (name == kept) {
      context_.prompter.error(std::string("The ") + kept +
                              " of a transaction is not changed here.");
      return std::nullopt;
    }
  }
  return name;
}

bool TransactionEntryWindow::setChargeField(std::size_t index, const std::string& field,
                                            const std::string& asTyped) {
  if (readOnly_ || index >= set_.charges.size()) return false;
  TransactionLine& line = set_.charges[index];
  store::Record& row = line.row;
  // "Unit Amount" is a field of the window, not of the ledger.
  const auto editable =
      store::equalsIgnoringCase(field, "Unit Amount")
          ? std::optional<std::string>("Unit Amount")
          : editableFieldName(row, field,
                              {"Entry Number", "Chart Number", "Case Number", "Transaction Type"});
  if (!editable) return false;
  const std::string& name = *editable;
  // An amount typed without a point is in cents when the practice says so.
  const std::string text = context_.options.flag("Auto. Place Decimal Point") && isAmountField(name)
                               ? placeDecimalPoint(asTyped)
                               : asTyped;
  if (name == "Amount" || name == "Units" || name == "Unit Amount") {
    const auto reference = line.reference();
    bool remembered = false;
    for (const auto& entry : amountsAtEntry_) remembered = remembered || entry.first == reference;
    if (!remembered) amountsAtEntry_.emplace_back(reference, row.money("Amount"));
  }
  try {
    if (name == "Procedure Code") {
      const std::string code = store::upperAscii(std::string(store::trimRight(text)));
      if (code.empty()) {
        // Cleared: the line waits for a code, and the save asks for one.
        row.set("Procedure Code", std::string());
        line.didEdit = true;
        return true;
      }
      if (!procedureCodeExit(line, code)) {
        context_.prompter.error("Procedure " + code + " does not exist as a charge.");
        return false;
      }
    } else if (name == "Units") {
      const double oldUnits = row.number("Units");
      store::Record changed = row;
      changed.setFromText("Units", text);
      row = std::move(changed);
      unitsExit(line, oldUnits);
    } else if (name == "Unit Amount") {
      // A price per unit may be finer than a cent; the line's amount is rounded.
      const auto typed = Money::parse(text);
      if (!typed)
        throw store::InputError("The value \"" + text +
                                "\" is not valid for the field Unit Amount: not an amount.");
      const double units = row.number("Units");
      const bool multiply = context_.options.flag("Multiply Units Times Amt.") && units != 0.0;
      row.set("Amount", (multiply ? times(*typed, units) : *typed).roundedToCents());
    } else {
      store::Record changed = row;
      changed.setFromText(name, text);
      if (name.rfind("Diagnosis Code ", 0) == 0) {
        const std::string code = store::upperAscii(changed.text(name));
        changed.set(name, code);
        changed.set(name.substr(0, 10) + name.substr(15) + " Description",
                    diagnosisDescription(code));
      }
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

bool TransactionEntryWindow::hasApplicationFrom(const TransactionLine& line, int policy) {
  const std::string payer = std::to_string(policy);
  // A deductible's rows carry "P" to stay out of the buckets; they count for
  // the payer of their deductible line, so its complete mark survives the save.
  const auto fromPayer = [&](const ApplicationRow& application) {
    if (application.whoPaid == payer) return true;
    if (application.whoPaid != deductibleApplication) return false;
    const TransactionLine* payment = set_.paymentByReference(application.paymentReference);
    return payment != nullptr && store::trimRight(payment->row.text("Who Paid")) == payer;
  };
  for (const auto& application : set_.applications) {
    if (application.chargeReference == line.reference() && !application.deleted &&
        fromPayer(application))
      return true;
  }
  if (!line.isStored() || context_.ledger == Ledger::Estimates) return false;
  // A stored row the working list also holds is superseded by it.
  auto rows = context_.practice.driver().query(
      "SELECT p.\"Payment Reference\" FROM \"QVPAX\" p LEFT JOIN \"QVTRN\" t ON t.\"Entry "
      "Number\" = p.\"Payment Reference\" WHERE COALESCE(p.\"Charge Reference\", 0) = ? AND "
      "(p.\"Who Paid\" = ? OR (p.\"Who Paid\" = ? AND t.\"Who Paid\" = ?))",
      {store::Value{line.entryNumber()}, store::Value{payer},
       store::Value{std::string(deductibleApplication)}, store::Value{payer}});
  while (rows->next()) {
    const auto payment = std::get<std::int64_t>(rows->column(0, store::FieldType::Integer));
    if (set_.application(payment, line.entryNumber()) == nullptr) return true;
  }
  return false;
}

void TransactionEntryWindow::setResponsibilityOf(store::Record& row, const TransactionLine& line) {
  const auto procedure = procedureCode(row.text("Procedure Code"));
  setResponsibility(
      row, ResponsibilityInputs{*caseRecord_, procedure ? &*procedure : nullptr,
                                [&](int policy) { return hasApplicationFrom(line, policy); }});
}

bool TransactionEntryWindow::postCharge(std::size_t index) {
  if (readOnly_ || index >= set_.charges.size()) return false;
  TransactionLine& line = set_.charges[index];
  store::Record& row = line.row;
  if (row.date("Date To") < row.date("Date From")) row.set("Date To", row.date("Date From"));
  for (std::size_t i = 0; i < 4; ++i)
    defaults_.diagnoses[i] = row.text(fmt::format("Diagnosis Code {}", i + 1));
  if (!row.isEmpty("Procedure Code")) setResponsibilityOf(row, line);

  if (context_.options.flag("Use Serialized Superbills") && !typedDocument_.empty() &&
      !superbillWarned_) {
    bool known = false;
    const std::string& document = typedDocument_;
    if (context_.practice.tableExists("QVSTR") && document.size() <= 10 &&
        document.find_first_not_of("0123456789") == std::string::npos &&
        std::stoll(document) <= 2147483647LL) {
      store::Table superbills = context_.practice.openTable("QVSTR");
      superbills.setOrder("idxDocumentNumber");
      known = superbills.seek({store::Value{static_cast<std::int64_t>(std::stoll(document))}})
                  .has_value();
    }
    if (!known) {
      context_.prompter.warn(
          "The superbill number entered does not exist.\rThese transactions will not be assigned "
          "to a superbill.");
      superbillWarned_ = true;
    }
  }
  if (copayReminder_ && caseRecord_->money("Copayment Amount") != Money{}) {
    context_.prompter.inform("This Case requires a $" +
                             caseRecord_->money("Copayment Amount").toGroupedString() +
                             " copay for each visit.");
    copayReminder_ = false;
  }
  defaults_.provider = row.text("Attending Provider");
  defaults_.dateFrom = row.date("Date From");
  defaults_.dateTo = row.date("Date To");

  const char type = line.type();
  Money atEntry = row.money("Amount");
  for (auto it = amountsAtEntry_.begin(); it != amountsAtEntry_.end(); ++it) {
    if (it->first == line.reference()) {
      atEntry = it->second;
      amountsAtEntry_.erase(it);
      break;
    }
  }
  if (isChargeType(type) && type != 'G') {
    const auto procedure = procedureCode(row.text("Procedure Code"));
    if (procedure && procedure->logical("Taxable")) {
      const bool firstPosting = !line.isStored() && taxCounted_.insert(line.reference()).second;
      if (firstPosting) {
        // A new taxable line counts once, when it is first posted.
        if (context_.options.flag("Auto Calculate Tax") &&
            !context_.options.text("Default Tax Code").empty()) {
          addTax(row.money("Amount"));
          return true;
        }
        taxableTotal_ += row.money("Amount");
      } else if (row.money("Amount") != atEntry) {
        context_.prompter.warn(
            "The amount for this taxable procedure has been changed.\rUpdate the tax transaction "
            "amount if one "
            "exists.");
        taxableTotal_ += row.money("Amount") - atEntry;
      }
    }
  }
  return true;
}

bool TransactionEntryWindow::addTax(std::optional<Money> taxableAmount) {
  if (readOnly_ || !isLoaded()) return false;
  const Money taxable = taxableAmount.value_or(taxableTotal_);
  if (taxable <= Money{}) return false;
  const std::string taxCode = context_.options.text("Default Tax Code");
  if (taxCode.empty()) {
    context_.prompter.error("The default tax code has not been selected.");
    return false;
  }
  const auto procedure = procedureCode(taxCode);
  const std::size_t index = newCharge();
  TransactionLine& line = set_.charges[index];
  if (!procedure || !procedureCodeExit(line, taxCode)) {
    set_.charges.pop_back();
    ++set_.nextChargeNumber;
    context_.prompter.error("Procedure " + taxCode + " does not exist as a charge.");
    return false;
  }
  line.row.set("Description", cutToCharacters(procedure->text("Description"), 30));
  line.row.set(
      "Amount",
      times(taxable.roundedToCents(), procedure->number("Tax Rate") / 100.0).roundedToCents());
  line.row.set("Transaction Type", std::string("G"));
  if (!taxableAmount) taxableTotal_ = Money{};
  return true;
}

bool TransactionEntryWindow::multilink(const std::string& multilinkCode, Date date) {
  if (readOnly_ || !isLoaded() || !allowed(useMultiLinkItem)) return false;
  store::Table links = context_.practice.openTable("QVMUL");
  links.setOrder("Primary");
  const auto found = links.seek({store::Value{store::upperAscii(multilinkCode)}});
  if (!found) {
    context_.prompter.error("MultiLink code " + multilinkCode + " does not exist.");
    return false;
  }
  for (int link = 1; link <= 8; ++link) {
    const std::string code = found->text(fmt::format("Link Code {}", link));
    if (code.empty()) continue;
    const std::size_t index = newCharge();
    TransactionLine& line = set_.charges[index];
    line.row.set("Date From", date);
    line.row.set("Date To", date);
    if (!procedureCodeExit(line, store::upperAscii(code))) {
      context_.prompter.error("Procedure " + code + " does not exist as a charge.\n" +
                              "No transaction will be created.");
      set_.charges.pop_back();
      ++set_.nextChargeNumber;
      continue;
    }
    postCharge(index);
  }
  return true;
}

bool TransactionEntryWindow::storedRowIsFree(const TransactionLine& line) {
  if (!line.isStored()) return true;
  // Only a lock proves that no one else is working on the row right now.
  store::Table ledger = ledgerTable();
  ledger.setOrder("Idxentrynumber");
  auto stored = ledger.seek({store::Value{line.entryNumber()}});
  if (!stored) return true;
  try {
    ledger.edit(*stored);
    ledger.cancel(*stored);
  } catch (const store::RecordInUseError&) {
    context_.prompter.error(store::messages::recordInUseBatch);
    return false;
  }
  return true;
}

bool TransactionEntryWindow::deleteCharge(std::size_t index) {
  if (readOnly_ || index >= set_.charges.size() || !allowed(deleteTransactionItem)) return false;
  if (!context_.prompter.askYesNo("Are you sure you want to delete this charge?")) return false;
  TransactionLine& line = set_.charges[index];
  if (!storedRowIsFree(line)) return false;
  // The stored applications of payments on this screen come into the working list.
  gatherStoredApplications(line, false);
  for (auto& application : set_.applications) {
    if (application.chargeReference != line.reference() || application.deleted) continue;
    application.deleted = true;
    if (TransactionLine* payment = set_.paymentByReference(application.paymentReference)) {
      payment->row.set("Unapplied Amount",
                       payment->row.money("Unapplied Amount") + application.paymentAmount);
      payment->didEdit = true;
    }
  }
  const auto procedure = procedureCode(line.row.text("Procedure Code"));
  if (procedure && procedure->logical("Taxable"))
    context_.prompter.warn(
        "The amount for this taxable procedure has been changed.\rUpdate the tax transaction "
        "amount if one exists.");
  if (line.isStored()) set_.deletedCharges.push_back(std::move(line));
  set_.charges.erase(set_.charges.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

bool TransactionEntryWindow::mayLeave() {
  if (!isLoaded() || readOnly_) return true;
  std::string question;
  if (set_.hasUnsavedLines())
    question = "There are transactions that are not saved.  Save now?";
  else if (set_.hasDeletedLines())
    question = "There are transactions that have been deleted.  Save now?";
  if (question.empty()) return true;
  if (!context_.prompter.askYesNo(question)) return true;
  return save();
}

}  // namespace vantrell::transactions
