#include "accounts/case_window.hpp"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "accounts/account_deletion.hpp"
#include "common/money.hpp"
#include "practice/options.hpp"
#include "security/audit.hpp"
#include "security/permission_list.hpp"
#include "store/errors.hpp"
#include "store/field_defaults.hpp"
#include "store/messages.hpp"
#include "store/names.hpp"
#include "store/system_fields.hpp"
#include "store/table_creation.hpp"

namespace vantrell::accounts {
namespace {

// The case fields that take one of a fixed list of values, as the list spells them.
struct FieldChoices {
  const char* field;
  std::vector<const char*> choices;
};
const std::vector<FieldChoices>& caseFieldChoices() {
  static const std::vector<FieldChoices> lists = {
      {"Marital Status",
       {"Divorced", "Legally separated", "Married", "Single", "Unknown", "Widowed"}},
      {"Student Status", {"Non-student", "Full time", "Part time"}},
      {"Employment Status", {"Not employed", "Full time", "Part time", "Retired", "Unknown"}},
      {"Insured Relationship #1", {"Self", "Spouse", "Child", "Other"}},
      {"Insured Relationship #2", {"Self", "Spouse", "Child", "Other"}},
      {"Insured Relationship #3", {"Self", "Spouse", "Child", "Other"}},
      {"Related to Accident", {"No", "Yes", "Auto"}},
      {"Nature of Accident",
       {"Injured at home", "Injured at School", "Injured during Recreation",
        "Work Injury/Self Employed", "Work Injury/Non-collision", "Motorcycle Injury"}},
      {"Death Indicator",
       {"Moribund", "Very Sick", "Severely Disabled", "Disabled",
        "Requires considerable assistance", "Requires occasional assistance", "Cares for self",
        "Normal activity with effort", "Able to carry on normal activity", "Dead", "Normal"}},
      // "LMP" is the indicator a male patient's case is refused.
      {"Illness Indicator", {"Illness", "Injury", "LMP"}},
      {"Return to Work Indicator", {"Limited", "Normal", "Conditional"}},
  };
  return lists;
}

// Dates the case keeps as text.
constexpr std::array<const char*, 9> textDateFields = {
    "Date of Injury/Illness",   "Date Unable to Work From", "Date Unable to Work To",
    "Date Tot Disability From", "Date Tot Disability To",   "Date Part Disability From",
    "Date Part Disability To",  "Hospital Date From",       "Hospital Date To"};

// What is wrong with a case field's new value, or nothing. A list value typed
// in another letter case is first spelled as the list has it.
std::optional<std::string> caseFieldProblem(const std::string& field, store::Record& row) {
  const auto refusal = [&](const std::string& value, const char* why) {
    return "The value \"" + value + "\" is not valid for the field " + field + ": " + why + ".";
  };
  for (const auto& list : caseFieldChoices()) {
    if (field != list.field) continue;
    const std::string value = row.text(field);
    if (value.empty()) return std::nullopt;
    for (const char* choice : list.choices) {
      if (store::equalsIgnoringCase(value, choice)) {
        row.set(field, std::string(choice));
        return std::nullopt;
      }
    }
    return "The \"" + field + "\" field is not valid";
  }
  if (field.rfind("Percent Covered ", 0) == 0 && !row.isEmpty(field)) {
    const double percent = row.number(field);
    if (percent < 0 || percent > 100)
      return refusal(row.text(field), "a percentage lies between 0 and 100");
  }
  if ((field == "Copayment Amount" || field == "Annual Deductible") && !row.isEmpty(field) &&
      row.number(field) < 0)
    return refusal(row.text(field), "the amount cannot be negative");
  for (const char* dateField : textDateFields) {
    if (field != dateField || row.isEmpty(field)) continue;
    if (!Date::parse(row.text(field))) return refusal(row.text(field), "not a date");
  }
  return std::nullopt;
}

constexpr int newCaseItem = 43;
constexpr int editCaseItem = 44;
constexpr int copyCaseItem = 45;
constexpr int deleteCaseItem = 46;

// A code field of the case and the table its pick list offers.
struct CodeField {
  const char* field;
  const char* table;
  const char* kind;  // named in the refusal of a code that is not on file
};

constexpr CodeField codeFields[] = {
    {"Guarantor", "QVPAT", "patient or guarantor with chart number"},
    {"Insured #1", "QVPAT", "patient or guarantor with chart number"},
    {"Insured #2", "QVPAT", "patient or guarantor with chart number"},
    {"Insured #3", "QVPAT", "patient or guarantor with chart number"},
    {"Insurance Carrier #1", "QVINS", "insurance carrier"},
    {"Insurance Carrier #2", "QVINS", "insurance carrier"},
    {"Insurance Carrier #3", "QVINS", "insurance carrier"},
    {"Assigned Provider", "QVPHY", "provider"},
    {"Referring Provider", "QVRPH", "referring provider"},
    {"Primary Care Provider", "QVRPH", "referring provider"},
    {"Supervising Provider", "QVRPH", "referring provider"},
    {"Employer", "QVADD", "address"},
    {"Attorney", "QVADD", "address"},
    {"Facility", "QVADD", "address"},
    {"Referral Source", "QVADD", "address"},
    {"Diagnosis 1", "QVDIA", "diagnosis code"},
    {"Diagnosis 2", "QVDIA", "diagnosis code"},
    {"Diagnosis 3", "QVDIA", "diagnosis code"},
    {"Diagnosis 4", "QVDIA", "diagnosis code"},
    {"Billing Code", "QVBCO", "billing code"},
};

const CodeField* codeFieldOf(const std::string& field) {
  for (const auto& code : codeFields) {
    if (field == code.field) return &code;
  }
  return nullptr;
}

const char* const policyWords[] = {"One", "Two", "Three"};

// "This case's Policy One and Policy Three insurance carriers are inactive."
std::string inactiveCarriersWarning(const std::vector<int>& policies) {
  std::string names;
  for (std::size_t i = 0; i < policies.size(); ++i) {
    if (i > 0) names += i + 1 == policies.size() ? " and " : ", ";
    names += std::string("Policy ") + policyWords[policies[i] - 1];
  }
  return "This case's " + names + " insurance carrier" + (policies.size() > 1 ? "s are" : " is") +
         " inactive. Do you want to continue?";
}

}  // namespace

CaseWindow::CaseWindow(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock,
                       security::Security* security, security::LoginPrompt* overridePrompt)
    : practice_(practice),
      typing_(practice::readTypingRules(practice)),
      prompter_(prompter),
      clock_(clock),
      security_(security),
      overridePrompt_(overridePrompt),
      cases_((store::ensureTable(practice, "QVCAS"), practice.openTable("QVCAS"))) {
  cases_.setOrder("IdxCaseNumber");
}

CaseWindow::~CaseWindow() {
  release();
}

bool CaseWindow::allowed(int item) {
  return security_ == nullptr || security_->hasPermission(item, true, overridePrompt_);
}

void CaseWindow::release() {
  if (record_ && record_->isInEdit()) cases_.cancel(*record_);
}

bool CaseWindow::startNew(const std::string& chartNumber) {
  if (!allowed(newCaseItem)) return false;
  store::Table patients = practice_.openTable("QVPAT");
  patients.setOrder("Primary");
  const auto patient = patients.seek({store::Value{store::upperAscii(chartNumber)}});
  if (!patient) {
    prompter_.error("There is no patient with chart number " + chartNumber + ".");
    return false;
  }
  release();
  store::Record row = cases_.newRecord();
  const std::string chart = patient->text("Chart Number");
  row.set("Chart Number", chart);
  // Statements go to the patient until another guarantor is chosen.
  row.set("Guarantor", chart);
  row.set("Print Patient Statements", true);
  for (int policy = 1; policy <= 3; ++policy) {
    const std::string n = " #" + std::to_string(policy);
    row.set("Insured Relationship" + n, std::string("Self"));
    row.set("Accept Assignment" + n, false);
    constexpr std::pair<char, double> coverage[] = {{'A', 80}, {'B', 100}, {'C', 0},  {'D', 80},
                                                    {'E', 80}, {'F', 80},  {'G', 80}, {'H', 80}};
    for (const auto& [category, percent] : coverage)
      row.set(std::string("Percent Covered ") + category + n, percent);
  }
  row.set("Policy is Capitated", false);
  row.set("Policy #2 Crossover Claim", false);
  for (const char* flag :
       {"Related to Employment", "Same or Similar Symptoms", "Emergency", "EPSDT",
        "Family Planning", "Outside Lab Work", "Case Closed", "Cash Case"})
    row.set(flag, false);
  row.set("Billing Code", std::string("A"));
  row.set("Price Code", std::string("A"));
  row.set("Date Created", clock_.today());
  if (security_ != nullptr && !security_->userCode().empty())
    row.set("User Code", security_->userCode());
  store::FieldDefaults(practice_).apply(row);
  record_ = std::move(row);
  isNew_ = true;
  readOnly_ = false;
  rememberOpenedDiagnoses();
  return true;
}

bool CaseWindow::open(std::int64_t caseNumber) {
  if (!allowed(editCaseItem)) return false;
  release();
  auto row = cases_.seek({store::Value{caseNumber}});
  if (!row) {
    prompter_.error("There is no case " + std::to_string(caseNumber) + ".");
    return false;
  }
  readOnly_ = false;
  try {
    cases_.edit(*row);
  } catch (const store::RecordInUseError& inUse) {
    prompter_.warn(inUse.viewingOnlyMessage());
    readOnly_ = true;
  }
  record_ = std::move(row);
  isNew_ = false;
  rememberOpenedDiagnoses();
  return true;
}

bool CaseWindow::copyFrom(std::int64_t caseNumber) {
  if (!allowed(copyCaseItem)) return false;
  auto source = cases_.seek({store::Value{caseNumber}});
  if (!source) {
    prompter_.error("There is no case " + std::to_string(caseNumber) + ".");
    return false;
  }
  std::vector<int> inactive;
  store::Table carriers = practice_.openTable("QVINS");
  carriers.setOrder("Primary");
  for (int policy = 1; policy <= 3; ++policy) {
    const std::string code = source->text("Insurance Carrier #" + std::to_string(policy));
    if (code.empty()) continue;
    const auto carrier = carriers.seek({store::Value{store::upperAscii(code)}});
    if (carrier && carrier->logical("Inactive")) inactive.push_back(policy);
  }
  if (!inactive.empty() && !prompter_.askYesNo(inactiveCarriersWarning(inactive))) return false;
  release();
  store::Record copy = cases_.newRecord();
  const auto& fields = copy.table().fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].type == store::FieldType::AutoIncrement || fields[i].name == "Date Modified")
      continue;
    copy.setAt(i, source->value(i));
  }
  copy.set("Case Closed", false);
  copy.set("Date Created", clock_.today());
  copy.set("User Code", security_ != nullptr ? security_->userCode() : std::string());
  record_ = std::move(copy);
  isNew_ = true;
  readOnly_ = false;
  rememberOpenedDiagnoses();
  return true;
}

void CaseWindow::rememberOpenedDiagnoses() {
  for (std::size_t i = 0; i < 4; ++i)
    openedDiagnoses_[i] = record_->text("Diagnosis " + std::to_string(i + 1));
}

std::string CaseWindow::caption() const {
  if (!record_) return "Case";
  return "Case: " + (isNew_ ? std::string("(new)") : std::to_string(caseNumber())) + " " +
         record_->text("Description");
}

bool CaseWindow::codeExists(const char* table, const char* tag, const std::string& code) {
  if (!practice_.tableExists(table)) return false;
  store::Table codes = practice_.openTable(table);
  codes.setOrder(tag);
  return codes.seek({store::Value{store::upperAscii(code)}}).has_value();
}

bool CaseWindow::setField(const std::string& field, const std::string& text) {
  if (readOnly_) {
    prompter_.error(store::messages::recordInUseViewing);
    return false;
  }
  const auto index = record_->table().fieldIndex(field);
  if (!index) {
    prompter_.error("The case has no field \"" + field + "\".");
    return false;
  }
  const std::string name = record_->table().field(*index).name;
  if (store::isSystemField(record_->table(), name)) {
    prompter_.error(store::systemFieldRefusal(name));
    return false;
  }
  if (name == "Case Number" || name == "Chart Number") {
    prompter_.error("The " + name + " of a case is not changed here.");
    return false;
  }
  const std::string previous = record_->text(name);
  store::Record changed = *record_;
  try {
    const auto* code = codeFieldOf(name);
    // With the practice's option, an amount typed without a point is in cents.
    const std::string typed =
        typing_.placeDecimalPoint && isAmountField(name) ? placeDecimalPoint(text) : text;
    changed.setFromText(name,
                        code != nullptr || name == "Price Code" ? store::upperAscii(typed) : typed);
  } catch (const store::InputError& error) {
    // An amount is refused with the value and the field; other fields with the system's text.
    prompter_.error(isAmountField(name) ? std::string(error.what())
                                        : "The \"" + name + "\" field is not valid");
    return false;
  }
  if (const auto problem = caseFieldProblem(name, changed)) {
    prompter_.error(*problem);
    return false;
  }
  record_ = std::move(changed);
  return leaveField(name, previous);
}

bool CaseWindow::leaveField(const std::string& field, const std::string& previous) {
  const std::string value = record_->text(field);
  const auto restore = [&] { record_->set(field, previous); };
  if (const auto* code = codeFieldOf(field); code != nullptr && !value.empty()) {
    if (!codeExists(code->table, "Primary", value)) {
      prompter_.error(std::string("There is no ") + code->kind + " " + value + ".");
      restore();
      return false;
    }
    if (std::string(code->table) == "QVINS") {
      store::Table carriers = practice_.openTable("QVINS");
      carriers.setOrder("Primary");
      if (carriers.seek({store::Value{value}})->logical("Inactive")) {
        prompter_.error("This insurance carrier is inactive.  Please select a different one.");
        restore();
        return false;
      }
    }
    if (std::string(code->table) == "QVDIA") {
      for (int other = 1; other <= 4; ++other) {
        const std::string otherField = "Diagnosis " + std::to_string(other);
        if (otherField != field && store::equalsIgnoringCase(record_->text(otherField), value)) {
          prompter_.error("You have two diagnosis set for the same diagnosis code.");
          record_->set(field, std::string());
          return false;
        }
      }
    }
  }
  if (field == "Price Code" && !value.empty() && (value[0] < 'A' || value[0] > 'Z')) {
    prompter_.error("The \"Price Code\" field is not valid");
    restore();
    return false;
  }
  if (field == "Accept Assignment #1" && value != previous)
    prompter_.inform(
        "Changing the accept assignment will only affect new transactions.\rCurrent transactions "
        "must be saved "
        "again in order for these changes to be applied.");
  return true;
}

bool CaseWindow::setFields(const std::vector<std::pair<std::string, std::string>>& fields) {
  for (const auto& [field, text] : fields) {
    if (!setField(field, text)) return false;
  }
  return true;
}

bool CaseWindow::refuse(const std::string& message, const std::string& field) {
  prompter_.error(message);
  focusField_ = field;
  focusTab_ = caseTabOf(field);
  return false;
}

std::string CaseWindow::patientSex() {
  store::Table patients = practice_.openTable("QVPAT");
  patients.setOrder("Primary");
  const auto patient =
      patients.seek({store::Value{store::upperAscii(record_->text("Chart Number"))}});
  return patient ? patient->text("Sex") : std::string();
}

bool CaseWindow::runSaveChecks() {
  focusField_.clear();
  focusTab_ = CaseTab::Personal;
  store::Record& row = *record_;
  if (row.isEmpty("Description"))
    return refuse("A description has not been entered for this case.", "Description");
  if (row.logical("Cash Case") && !row.logical("Print Patient Statements")) {
    if (!prompter_.askYesNo("Turning off patient statements for cash cases, renders the case "
                            "unbillable.\rDo you want to continue?")) {
      focusField_ = "Print Patient Statements";
      focusTab_ = caseTabOf(focusField_);
      return false;
    }
  }
  const bool male = patientSex() == "Male";
  if (male && row.logical("Pregnancy Indicator") &&
      !prompter_.askYesNo(
          "This patient is a male.  Do you wish to leave the pregnancy checkbox as checked?"))
    row.set("Pregnancy Indicator", false);
  if (male && store::equalsIgnoringCase(row.text("Illness Indicator"), "LMP")) {
    prompter_.error("Male patients cannot have LMP as an illness indicator.");
    row.set("Illness Indicator", std::string());
  }
  for (int policy = 1; policy <= 3; ++policy) {
    const std::string prefix = "Policy #" + std::to_string(policy);
    const Date start = row.date(prefix + " Start Date");
    const Date end = row.date(prefix + " End Date");
    if (!start.isEmpty() && !end.isEmpty() && end < start) {
      const std::string n = std::to_string(policy);
      return refuse("The Policy " + n + " end date is before the Policy " + n + " start date.",
                    prefix + " End Date");
    }
  }
  return true;
}

bool CaseWindow::write() {
  store::Record& row = *record_;
  const DateTime now = clock_.now();
  store::Transaction transaction(practice_);
  if (isNew_) {
    cases_.append(row);
  } else {
    cases_.post(row, true);
    // The default diagnoses of a stored case leave a trail when they change.
    const std::string number = std::to_string(row.integer("Case Number"));
    for (std::size_t i = 0; i < 4; ++i) {
      const std::string now_ = row.text("Diagnosis " + std::to_string(i + 1));
      if (now_ == openedDiagnoses_[i]) continue;
      security::writeAuditLine(practice_, row.text("Chart Number"),
                               "Edit Case: Case: " + number + " Diagnosis " +
                                   std::to_string(i + 1) + ": " + openedDiagnoses_[i] +
                                   " was changed to: " + now_,
                               now);
    }
  }
  transaction.commit();
  if (isNew_) {
    isNew_ = false;
    // The saved case stays open for editing, under its lock.
    cases_.edit(row);
  }
  rememberOpenedDiagnoses();
  return true;
}

bool CaseWindow::save() {
  if (!record_) return false;
  if (readOnly_) {
    prompter_.error(store::messages::recordInUseViewing);
    return false;
  }
  if (!allowed(isNew_ ? newCaseItem : editCaseItem)) return false;
  if (!runSaveChecks()) return false;
  return write();
}

bool CaseWindow::saveAndClose() {
  if (!record_) return false;
  if (readOnly_) {
    cancel();
    return true;
  }
  if (!allowed(isNew_ ? newCaseItem : editCaseItem)) return false;
  if (!runSaveChecks()) return false;
  if (record_->isEmpty("Assigned Provider"))
    return refuse("An assigned provider has not been selected for this case.", "Assigned Provider");
  if (!write()) return false;
  // The window goes; what was saved stays readable (its new number).
  release();
  readOnly_ = true;
  return true;
}

bool CaseWindow::mayLeaveCase() {
  if (!record_ || readOnly_ || !hasChanges()) return true;
  if (prompter_.askYesNo("The case information has changed. Do you want to save your changes?"))
    return save();
  cancel();
  return true;
}

void CaseWindow::cancel() {
  if (record_ && practice_.tableExists("QVOBJ")) {
    practice_.executeSql(
        "DELETE FROM \"QVOBJ\" WHERE UPPER(\"Chart Number\") = ? AND \"Case Number\" = 0",
        {store::Value{store::upperAscii(record_->text("Chart Number"))}});
  }
  release();
  record_.reset();
  isNew_ = false;
  readOnly_ = false;
}

bool CaseWindow::saveFieldDefaults() {
  if (!record_ || !allowed(security::permission_item::saveAsDefault)) return false;
  return store::FieldDefaults(practice_).save(*record_, prompter_);
}

void CaseWindow::removeFieldDefaults() {
  store::FieldDefaults(practice_).remove(cases_.definition(), prompter_);
}

bool CaseWindow::remove(std::int64_t caseNumber) {
  if (!allowed(deleteCaseItem)) return false;
  auto row = cases_.seek({store::Value{caseNumber}});
  if (!row) {
    prompter_.error("There is no case " + std::to_string(caseNumber) + ".");
    return false;
  }
  if (const auto reference = firstCaseReference(practice_, caseNumber)) {
    prompter_.error("This case record is currently being used in the " + reference->field +
                    " field of the " + reference->tableDescription +
                    " table and cannot be deleted.");
    return false;
  }
  if (!caseIsSettled(practice_, caseNumber)) {
    prompter_.error(
        "Case " + std::to_string(caseNumber) +
        " has a non-zero balance or claims that are not \"Done\".  It cannot be deleted.");
    return false;
  }
  if (!prompter_.askYesNo(
          "All Transactions and Claims for this case\nwill also be deleted.\nAll data that "
          "references it will be affected.\nAre you sure you want to delete this case?"))
    return false;
  const std::string chart = row->text("Chart Number");
  store::Table patients = practice_.openTable("QVPAT");
  patients.setOrder("Primary");
  auto patient = patients.seek({store::Value{store::upperAscii(chart)}});
  try {
    // The patient's row is the lock of its ledger, the case's row of the case.
    if (patient) patients.edit(*patient);
    cases_.edit(*row);
    store::Transaction transaction(practice_);
    deleteCaseRows(practice_, chart, caseNumber, clock_.now());
    transaction.commit();
  } catch (const store::RecordInUseError& inUse) {
    prompter_.error(inUse.batchRefusalMessage());
    if (row->isInEdit()) cases_.cancel(*row);
    if (patient && patient->isInEdit()) patients.cancel(*patient);
    return false;
  }
  row->releaseLock();
  if (patient && patient->isInEdit()) patients.cancel(*patient);
  if (record_ && record_->integer("Case Number") == caseNumber) {
    record_->releaseLock();
    record_.reset();
  }
  return true;
}

}  // namespace vantrell::accounts
