#include "accounts/patient_window.hpp"

#include <algorithm>
#include <array>

#include "accounts/account_deletion.hpp"
#include "accounts/chart_number.hpp"
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

constexpr int newPatientItem = 40;
constexpr int editPatientItem = 41;
constexpr int deletePatientItem = 42;

// Fields whose entry controls offer a fixed list; anything else is refused as
// the control would refuse it.
bool acceptedChoice(const std::string& field, const store::Record& row) {
  const std::string value = row.text(field);
  if (value.empty()) return true;
  const auto oneOf = [&](std::initializer_list<const char*> choices) {
    for (const char* choice : choices) {
      if (value == choice) return true;
    }
    return false;
  };
  if (field == "Patient Type") return oneOf({"Patient", "Guarantor"});
  if (field == "Sex") return oneOf({"Female", "Male"});
  if (field == "Weight Units") return oneOf({"GR", "LB"});
  if (field == "Employment Status")
    return oneOf({"Not employed", "Full time", "Part time", "Retired", "Unknown"});
  if (field == "EntityType") return oneOf({"1", "2"});
  return true;
}

// A list value typed in any letter case is stored as the list spells it.
std::string spelledAsListed(const std::string& field, const std::string& text) {
  static const std::array<std::pair<const char*, std::array<const char*, 5>>, 4> lists = {{
      {"Patient Type", {"Patient", "Guarantor", "", "", ""}},
      {"Sex", {"Female", "Male", "", "", ""}},
      {"Weight Units", {"GR", "LB", "", "", ""}},
      {"Employment Status", {"Not employed", "Full time", "Part time", "Retired", "Unknown"}},
  }};
  for (const auto& [name, choices] : lists) {
    if (field != name) continue;
    for (const char* choice : choices) {
      if (*choice != '\0' && store::equalsIgnoringCase(text, choice)) return choice;
    }
  }
  return text;
}

}  // namespace

PatientWindow::PatientWindow(store::Connection& practice, ui::Prompter& prompter,
                             const ui::Clock& clock, security::Security* security,
                             bool numericChartNumbers, security::LoginPrompt* overridePrompt)
    : practice_(practice),
      typing_(practice::readTypingRules(practice)),
      prompter_(prompter),
      clock_(clock),
      security_(security),
      overridePrompt_(overridePrompt),
      numeric_(numericChartNumbers),
      patients_((store::ensureTable(practice, "QVPAT"), practice.openTable("QVPAT"))) {
  patients_.setOrder("Primary");
}

PatientWindow::~PatientWindow() {
  release();
}

bool PatientWindow::allowed(int item) {
  return security_ == nullptr || security_->hasPermission(item, true, overridePrompt_);
}

void PatientWindow::release() {
  if (record_ && record_->isInEdit()) patients_.cancel(*record_);
}

void PatientWindow::ensureDefaultBillingCode() {
  store::ensureTable(practice_, "QVBCO");
  store::Table codes = practice_.openTable("QVBCO");
  codes.setOrder("Primary");
  if (codes.seek({store::Value{std::string("A")}})) return;
  store::Record code = codes.newRecord();
  code.set("Code", std::string("A"));
  code.set("Description", std::string("Default Billing Code"));
  code.set("Date Created", clock_.today());
  try {
    codes.append(code);
  } catch (const store::DuplicateKeyError&) {
    // Another workstation made it a moment ago.
  }
}

bool PatientWindow::startNew() {
  if (!allowed(newPatientItem)) return false;
  release();
  ensureDefaultBillingCode();
  store::Record row = patients_.newRecord();
  row.set("Billing Code", std::string("A"));
  row.set("Patient Type", std::string("Patient"));
  row.set("Sex", std::string("Female"));
  row.set("Country", std::string("USA"));
  row.set("Date Created", clock_.today());
  row.set("Signature on File", false);
  if (security_ != nullptr && !security_->userCode().empty())
    row.set("User Code", security_->userCode());
  row.set("In Collections", false);
  store::FieldDefaults(practice_).apply(row);
  record_ = std::move(row);
  isNew_ = true;
  readOnly_ = false;
  return true;
}

bool PatientWindow::open(const std::string& chartNumber) {
  if (!allowed(editPatientItem)) return false;
  release();
  auto row = patients_.seek({store::Value{store::upperAscii(chartNumber)}});
  if (!row) {
    prompter_.error("There is no patient with chart number " + chartNumber + ".");
    return false;
  }
  readOnly_ = false;
  try {
    patients_.edit(*row);
  } catch (const store::RecordInUseError& inUse) {
    prompter_.warn(inUse.viewingOnlyMessage());
    readOnly_ = true;
  }
  record_ = std::move(row);
  isNew_ = false;
  return true;
}

std::string PatientWindow::caption() const {
  if (!record_) return "Patient / Guarantor";
  return "Patient / Guarantor: " + record_->text("Last Name") + ", " + record_->text("First Name") +
         " " + record_->text("Middle Initial");
}

bool PatientWindow::setField(const std::string& field, const std::string& text) {
  if (readOnly_) {
    prompter_.error(store::messages::recordInUseViewing);
    return false;
  }
  const auto index = record_->table().fieldIndex(field);
  if (!index) {
    prompter_.error("The patient has no field \"" + field + "\".");
    return false;
  }
  const std::string stored = record_->table().field(*index).name;
  if (store::isSystemField(record_->table(), stored)) {
    prompter_.error(store::systemFieldRefusal(stored));
    return false;
  }
  const bool isChart = stored == "Chart Number";
  if (isChart && !isNew_) {
    prompter_.error("The chart number of a stored patient is not changed here.");
    return false;
  }
  // A chart number is typed at a keyboard; a control character from a pasted or
  // scripted value would pass unseen into every list, form and claim file.
  if (isChart && std::any_of(text.begin(), text.end(),
                             [](unsigned char c) { return c < 0x20 || c == 0x7F; })) {
    prompter_.error("The \"Chart Number\" field is not valid");
    return false;
  }
  // What the practice's options make of names, SSNs and amounts as typed.
  std::string typed = text;
  if (typing_.capitalizeWords && isNameOrAddressField(stored)) typed = capitalizeWords(typed);
  if (typing_.formatSsn && stored == "Social Security Number")
    typed = formatSocialSecurityNumber(typed);
  if (typing_.placeDecimalPoint && isAmountField(stored)) typed = placeDecimalPoint(typed);
  store::Record changed = *record_;
  try {
    // The entry field forces chart numbers into upper case.
    changed.setFromText(stored,
                        isChart ? store::upperAscii(typed) : spelledAsListed(stored, typed));
  } catch (const store::InputError& error) {
    // An amount is refused with the value and the field; other fields with the system's text.
    prompter_.error(isAmountField(stored) ? std::string(error.what())
                                          : "The \"" + stored + "\" field is not valid");
    return false;
  }
  if (!acceptedChoice(stored, changed)) {
    prompter_.error("The \"" + stored + "\" field is not valid");
    return false;
  }
  record_ = std::move(changed);
  if (isChart) return leaveChartNumber();
  if (stored == "Social Security Number") leaveSocialSecurityNumber();
  if (stored == "SOF Date") leaveSignatureDate();
  return true;
}

bool PatientWindow::setFields(const std::vector<std::pair<std::string, std::string>>& fields) {
  for (const auto& [field, text] : fields) {
    if (!setField(field, text)) return false;
    if (switchedTo_) return false;  // the new row was given up for another patient
  }
  return true;
}

bool PatientWindow::leaveChartNumber() {
  const std::string chart = record_->text("Chart Number");
  if (chart.empty() || !chartNumberExists(practice_, chart)) return true;
  prompter_.error("Chart number " + chart +
                  " already exists.\nEnter a unique number or leave it blank\n" +
                  "to automatically generate it.");
  return false;
}

void PatientWindow::leaveSocialSecurityNumber() {
  const std::string ssn = record_->text("Social Security Number");
  if (ssn.empty()) return;
  store::Table others = practice_.openTable("QVPAT");
  others.setOrder("SSN");
  others.setRange({store::Value{store::upperAscii(ssn)}}, {store::Value{store::upperAscii(ssn)}});
  std::optional<store::Record> other;
  const std::string own = record_->text("Chart Number");
  store::PageCursor cursor;
  for (auto& row : others.nextPage(cursor, 2)) {
    if (isNew_ || !store::equalsIgnoringCase(row.text("Chart Number"), own)) {
      other = row;
      break;
    }
  }
  if (!other) return;
  const std::string question = "An existing patient was found with the SSN you entered.\n\n" +
                               other->text("Last Name") + ", " + other->text("First Name") + "\n" +
                               other->text("Chart Number") +
                               "\n\nDo you want to switch to this chart number?";
  if (!prompter_.askYesNo(question)) return;
  if (!isNew_) return;  // a stored patient is not given up for another
  if (security_ != nullptr && !security_->hasPermission(editPatientItem, true, overridePrompt_))
    return;
  const std::string target = other->text("Chart Number");
  if (open(target)) switchedTo_ = target;
}

void PatientWindow::leaveSignatureDate() {
  const Date signed_ = record_->date("SOF Date");
  if (!signed_.isEmpty() && clock_.today() < signed_)
    prompter_.warn("The Signature Date you have entered is in the future.");
}

bool PatientWindow::save() {
  if (!record_) return false;
  if (readOnly_) {
    prompter_.error(store::messages::recordInUseViewing);
    return false;
  }
  if (!allowed(isNew_ ? newPatientItem : editPatientItem)) return false;
  store::Record& row = *record_;
  if (isNew_) {
    const bool typed = !row.isEmpty("Chart Number");
    if (typed && !leaveChartNumber()) return false;
    // A number made here that another workstation takes between the look-up
    // and the save is made again: the clerk typed no number to be refused.
    constexpr int attempts = 20;
    for (int attempt = 1;; ++attempt) {
      if (!typed) {
        std::optional<std::string> made;
        if (numeric_)
          made = nextNumericChartNumber(practice_);
        else
          made = nameChartNumber(practice_, row.text("Last Name"), row.text("First Name"));
        if (!made) {
          prompter_.error("No chart number could be made from the name " + row.text("Last Name") +
                          ", " + row.text("First Name") + ". Enter a chart number.");
          return false;
        }
        row.set("Chart Number", *made);
      }
      try {
        patients_.append(row);
        break;
      } catch (const store::DuplicateKeyError&) {
        if (!typed && attempt < attempts) continue;
        const std::string chart = row.text("Chart Number");
        row.set("Chart Number", std::string());
        prompter_.error("Chart number " + chart +
                        " already exists.\nEnter a unique number or leave it blank\n" +
                        "to automatically generate it.");
        return false;
      }
    }
    isNew_ = false;
    // The saved patient stays open for editing, under its lock.
    patients_.edit(row);
    return true;
  }
  patients_.post(row, true);
  return true;
}

void PatientWindow::cancel() {
  release();
  record_.reset();
  isNew_ = false;
  readOnly_ = false;
}

bool PatientWindow::saveFieldDefaults() {
  if (!record_ || !allowed(security::permission_item::saveAsDefault)) return false;
  return store::FieldDefaults(practice_).save(*record_, prompter_);
}

void PatientWindow::removeFieldDefaults() {
  store::FieldDefaults(practice_).remove(patients_.definition(), prompter_);
}

bool PatientWindow::remove(const std::string& chartNumber) {
  if (!allowed(deletePatientItem)) return false;
  auto row = patients_.seek({store::Value{store::upperAscii(chartNumber)}});
  if (!row) {
    prompter_.error("There is no patient with chart number " + chartNumber + ".");
    return false;
  }
  const std::string chart = row->text("Chart Number");
  if (const auto reference = firstPatientReference(practice_, chart)) {
    prompter_.error("This patient record is currently being used in the " + reference->field +
                    " field of the " + reference->tableDescription +
                    " table and cannot be deleted.");
    return false;
  }
  std::vector<std::int64_t> cases;
  {
    auto rows = practice_.driver().query(
        "SELECT \"Case Number\" FROM \"QVCAS\" WHERE UPPER(\"Chart Number\") = ? ORDER BY \"Case "
        "Number\"",
        {store::Value{chart}});
    while (rows->next())
      cases.push_back(std::get<std::int64_t>(rows->column(0, store::FieldType::Integer)));
  }
  for (const auto number : cases) {
    if (!caseIsSettled(practice_, number)) {
      prompter_.error(
          "This patient has Cases and Transactions that\nhave a non-zero balance or Claims that "
          "are not\n\"Done\".  It "
          "cannot be deleted.");
      return false;
    }
  }
  if (!prompter_.askYesNo("All Cases, Transactions and Claims for this patient\nwill also be "
                          "deleted.\nAre you sure "
                          "you want to delete this patient?"))
    return false;
  const DateTime now = clock_.now();
  try {
    // The patient's row is the lock of its ledger: no one may be posting to it.
    patients_.edit(*row);
    store::Transaction transaction(practice_);
    for (const auto number : cases) deleteCaseRows(practice_, chart, number, now);
    if (practice_.tableExists("QVCPD")) {
      if (practice_
              .executeSql("DELETE FROM \"QVCPD\" WHERE UPPER(\"Chart Number\") = ?",
                          {store::Value{chart}})
              .rowsChanged > 0)
        security::writeAuditLine(practice_, chart, "Deleted patient Custom Data", now);
    }
    patients_.remove(*row);
    const Date born = row->date("Date of Birth");
    security::writeAuditLine(practice_, chart,
                             "Deleted patient " + row->text("Last Name") + ", " +
                                 row->text("First Name") + " Birthdate: " + born.toMonthDayYear(),
                             now);
    transaction.commit();
  } catch (const store::RecordInUseError& inUse) {
    if (row->isInEdit()) patients_.cancel(*row);
    prompter_.error(inUse.batchRefusalMessage());
    return false;
  }
  if (record_ && store::equalsIgnoringCase(record_->text("Chart Number"), chart)) cancel();
  return true;
}

}  // namespace vantrell::accounts
