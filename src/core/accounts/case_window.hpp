#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "accounts/case_tabs.hpp"
#include "common/typing.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::accounts {

// The case window: a new case with its defaults, a stored case (read-only while
// another workstation has it) or a copy; the exits of its fields; the save
// checks in their order, each sending the person to the page of its field; and
// the delete with its checks.
class CaseWindow {
 public:
  // overridePrompt: where a supervisor logs in to allow one refused operation.
  CaseWindow(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock,
             security::Security* security, security::LoginPrompt* overridePrompt = nullptr);
  ~CaseWindow();
  CaseWindow(const CaseWindow&) = delete;
  CaseWindow& operator=(const CaseWindow&) = delete;

  // A new case of the patient with the defaults and then the saved defaults.
  bool startNew(const std::string& chartNumber);
  bool open(std::int64_t caseNumber);
  // A new case holding every field of the stored one, open and dated today,
  // after the question about its inactive carriers.
  bool copyFrom(std::int64_t caseNumber);

  bool isOpen() const { return record_.has_value(); }
  bool isNew() const { return isNew_; }
  bool isReadOnly() const { return readOnly_; }
  bool hasChanges() const { return record_ && record_->hasModifications(); }
  const store::Record& record() const { return *record_; }
  std::int64_t caseNumber() const { return record_ ? record_->integer("Case Number") : 0; }
  std::string caption() const;

  // Sets a field as typed and runs its exit. False when refused: the field
  // keeps (or, for a repeated diagnosis, loses) its value.
  bool setField(const std::string& field, const std::string& text);
  bool setFields(const std::vector<std::pair<std::string, std::string>>& fields);

  // The checks of a save in order, then the write (new cases get their number).
  bool save();
  // As save, and the assigned provider a case must have before it is left.
  // The saved case stays readable afterwards, no longer in edit.
  bool saveAndClose();
  // Where the last refused save sent the person.
  CaseTab focusTab() const { return focusTab_; }
  const std::string& focusField() const { return focusField_; }

  // Before another case of the patient is shown: asks about pending changes;
  // true when the window may move on (saved, or the changes given up).
  bool mayLeaveCase();
  // Gives the case up unsaved; images attached before the case had a number go.
  void cancel();

  // The saved field defaults of the case table (permission "Save as Default").
  bool saveFieldDefaults();
  void removeFieldDefaults();

  // The delete from the patient list.
  bool remove(std::int64_t caseNumber);

 private:
  bool allowed(int item);
  bool refuse(const std::string& message, const std::string& field);
  bool runSaveChecks();
  bool write();
  bool leaveField(const std::string& field, const std::string& previous);
  bool codeExists(const char* table, const char* tag, const std::string& code);
  std::string patientSex();
  void rememberOpenedDiagnoses();
  void release();

  store::Connection& practice_;
  TypingRules typing_;  // the practice's options for amounts typed
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  security::Security* security_;
  security::LoginPrompt* overridePrompt_;
  store::Table cases_;
  std::optional<store::Record> record_;
  std::array<std::string, 4> openedDiagnoses_;
  bool isNew_ = false;
  bool readOnly_ = false;
  CaseTab focusTab_ = CaseTab::Personal;
  std::string focusField_;
};

}  // namespace vantrell::accounts
