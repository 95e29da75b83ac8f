#pragma once

#include <QDialog>
#include <vector>

#include "accounts/patient_window.hpp"

class QPushButton;
class QTabWidget;

namespace vantrell::desktop {

class RecordForm;

// The patient / guarantor window: every patient field on its page, each field
// left going through the window model's exit (chart number, SSN look-up,
// signature date), Save, Cancel and the saved field defaults.
class PatientDialog : public QDialog {
  Q_OBJECT

 public:
  PatientDialog(accounts::PatientWindow& window, store::Connection& practice,
                ui::Prompter& prompter, const ui::Clock& clock, security::Security* security,
                QWidget* parent);
  ~PatientDialog() override;

  // The chart number the window shows (a new patient's once saved).
  std::string chartNumber() const;

  void reject() override;

 private:
  bool leaveField(const std::string& field, const std::string& text);
  void showRecord();
  void save();

  accounts::PatientWindow& window_;
  ui::Prompter& prompter_;
  security::Security* security_;
  std::vector<RecordForm*> forms_;
  QTabWidget* pages_;
  std::vector<QPushButton*> writeButtons_;
};

}  // namespace vantrell::desktop
