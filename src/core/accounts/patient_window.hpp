#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/typing.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::accounts {

// The patient / guarantor window: a new row with its defaults or a stored one
// (read-only while another workstation has it), the exits of its fields, the
// save that makes the chart number, and the delete with its checks.
class PatientWindow {
 public:
  // numericChartNumbers: the practice's "Numeric" option.
  // overridePrompt: where a supervisor logs in to allow one refused operation.
  PatientWindow(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock,
                security::Security* security, bool numericChartNumbers,
                security::LoginPrompt* overridePrompt = nullptr);
  ~PatientWindow();
  PatientWindow(const PatientWindow&) = delete;
  PatientWindow& operator=(const PatientWindow&) = delete;

  // A new row: billing code "A" made sure of, the defaults, the saved defaults.
  bool startNew();
  // A stored row, taken into edit; opened read-only (with the system's
  // message) when another window or workstation has it.
  bool open(const std::string& chartNumber);
  bool isOpen() const { return record_.has_value(); }
  bool isNew() const { return isNew_; }
  bool isReadOnly() const { return readOnly_; }
  const store::Record& record() const { return *record_; }
  // "Patient / Guarantor: SMITH, JOHN Q"
  std::string caption() const;

  // Sets one field as typed and runs its exit: the chart number's uniqueness,
  // the SSN look-up, the signature date. False when the value was refused (the
  // field keeps its old value) or the exit sent the person back to the field.
  bool setField(const std::string& field, const std::string& text);
  // Fields in turn; stops at the first refusal.
  bool setFields(const std::vector<std::pair<std::string, std::string>>& fields);
  // The chart number the SSN look-up switched to, once: the new row was
  // abandoned and that patient is now open.
  std::optional<std::string> takeSwitchedChart() {
    return std::exchange(switchedTo_, std::nullopt);
  }

  // Makes the chart number of a new row left blank, then writes the row. False
  // with the message when it cannot.
  bool save();
  // Lets the record go unchanged.
  void cancel();

  // The saved field defaults of the patient table.
  bool saveFieldDefaults();
  void removeFieldDefaults();

  // The delete from the patient list: references, balances, the question, then
  // the patient with every case, entry, application row and claim.
  bool remove(const std::string& chartNumber);

 private:
  bool allowed(int item);
  bool leaveChartNumber();
  void leaveSocialSecurityNumber();
  void leaveSignatureDate();
  void ensureDefaultBillingCode();
  void release();

  store::Connection& practice_;
  TypingRules typing_;  // the practice's options for names, SSNs and amounts
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  security::Security* security_;
  security::LoginPrompt* overridePrompt_;
  bool numeric_;
  store::Table patients_;
  std::optional<store::Record> record_;
  bool isNew_ = false;
  bool readOnly_ = false;
  std::optional<std::string> switchedTo_;
};

}  // namespace vantrell::accounts
