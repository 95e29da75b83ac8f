#pragma once

#include <QDialog>

#include "app/application.hpp"

class QLineEdit;
class QListWidget;

namespace vantrell::desktop {

// The practice list: names with a hint of where their data is; OK opens the
// chosen practice, Remove takes a name off the list, Tutorial installs and
// opens the tutorial practice, New opens the new practice window.
class PracticeListDialog : public QDialog {
  Q_OBJECT

 public:
  PracticeListDialog(app::Application& application, QWidget* parent = nullptr);

 private:
  void reload();
  void openChosen();
  void removeChosen();
  void tutorial();
  void newPractice();
  void finishWith(practice::OpenOutcome outcome);

  app::Application& application_;
  QListWidget* list_;
  std::vector<practice::PracticeEntry> entries_;
};

// The new practice window: a name and a directory.
class NewPracticeDialog : public QDialog {
  Q_OBJECT

 public:
  NewPracticeDialog(app::Application& application, QWidget* parent = nullptr);
  practice::OpenOutcome outcome() const { return outcome_; }

 private:
  void create();

  app::Application& application_;
  QLineEdit* name_;
  QLineEdit* path_;
  practice::OpenOutcome outcome_ = practice::OpenOutcome::NotOpened;
};

}  // namespace vantrell::desktop
