#pragma once

#include <QDialog>
#include <vector>

#include "accounts/case_window.hpp"
#include "practice/options.hpp"

class QPushButton;
class QTabWidget;

namespace vantrell::desktop {

class RecordForm;

// The case window: a page per case tab the practice shows, each field left
// going through the window model's exit, code fields picked from their lists;
// Save checks and closes, Apply checks and stays, and a refused save goes to
// the page and field it names.
class CaseDialog : public QDialog {
  Q_OBJECT

 public:
  CaseDialog(accounts::CaseWindow& window, store::Connection& practice,
             const practice::Options& options, ui::Prompter& prompter, const ui::Clock& clock,
             security::Security* security, QWidget* parent);
  ~CaseDialog() override;

  void reject() override;

 private:
  bool save(bool close);
  void goToRefusedField();
  void showRecord();

  accounts::CaseWindow& window_;
  ui::Prompter& prompter_;
  std::vector<RecordForm*> forms_;
  QTabWidget* pages_;
  std::vector<QPushButton*> writeButtons_;
};

}  // namespace vantrell::desktop
