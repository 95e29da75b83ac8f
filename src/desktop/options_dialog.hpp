#pragma once

#include <QDialog>
#include <memory>

#include "practice/options.hpp"
#include "practice/practice_information.hpp"
#include "practice/program_date.hpp"
#include "ui/prompter.hpp"

class QTabWidget;

namespace vantrell::desktop {

class RecordForm;

// The program options window: every field of the options row, in tabs the way
// a clerk looks for them. Save runs the window model's checks.
class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(store::Connection& connection, ui::Prompter& prompter, bool securityIsSetUp, QWidget* parent = nullptr);
  // After a save: the options the practice now has.
  practice::Options options() const { return window_.options(); }

 private:
  void save();

  ui::Prompter& prompter_;
  practice::OptionsWindow window_;
  std::vector<RecordForm*> forms_;
};

// The practice information window: the practice and billing service pages.
class PracticeInformationDialog : public QDialog {
  Q_OBJECT

 public:
  PracticeInformationDialog(store::Connection& connection, ui::Prompter& prompter, QWidget* parent = nullptr);

 private:
  void save();

  ui::Prompter& prompter_;
  practice::PracticeInformationWindow window_;
  QTabWidget* pages_;
  RecordForm* practiceForm_;
  RecordForm* billingForm_;
};

// The program date: a calendar with the current program date.
class ProgramDateDialog : public QDialog {
  Q_OBJECT

 public:
  ProgramDateDialog(practice::ProgramDate& programDate, ui::Prompter& prompter, QWidget* parent = nullptr);

 private:
  practice::ProgramDate& programDate_;
  ui::Prompter& prompter_;
};

}  // namespace vantrell::desktop
