#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "accounts/patient_list.hpp"
#include "practice/options.hpp"
#include "ui/clock.hpp"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

namespace vantrell::accounts {
class CaseWindow;
}

namespace vantrell::desktop {

// The patients in the order searched by, read a page at a time as the list scrolls.
class PatientListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  PatientListModel(accounts::PatientList& list, QObject* parent = nullptr);

  void search(accounts::PatientSearch by, const std::string& typed);
  const store::Record* recordAt(int row) const;
  // The row of a chart number among those read so far, reading on until it is found or the list
  // ends.
  std::optional<int> rowOf(const std::string& chartNumber);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  accounts::PatientList& list_;
  std::vector<store::Record> rows_;
  bool atEnd_ = true;
};

// The patient list: search as you type by chart number, name, SSN or patient
// ID #2; the cases of the patient chosen; new, edit and delete of patients and
// cases, and the copy of a case. Enter edits, Ins makes a new one, Del deletes,
// each for the list that has the focus.
class PatientListWindow : public QDialog {
  Q_OBJECT

 public:
  PatientListWindow(store::Connection& practice, const practice::Options& options,
                    ui::Prompter& prompter, const ui::Clock& clock, security::Security* security,
                    QWidget* parent);

  // Makes the window a pick list of patients and guarantors (for a case's
  // guarantor or insured): Enter or Select takes the chosen chart number.
  void enablePicking(const std::string& current);
  // Where a supervisor logs in to allow one refused operation of the windows opened from here.
  void setOverridePrompt(security::LoginPrompt* prompt) { overridePrompt_ = prompt; }
  const std::string& pickedChartNumber() const { return picked_; }
  // Where the chosen patient's transactions are opened (Transactions, Ctrl+T);
  // without it the window has no such command.
  void setOpenTransactions(std::function<void(const std::string& chartNumber)> open);

  void newPatient();
  void editPatient();
  void deletePatient();
  void newCase();
  void editCase();
  void copyCase();
  void deleteCase();

 private:
  void research();
  void showCases();
  void showPatient(const std::string& chartNumber);
  std::string currentChart() const;
  std::optional<std::int64_t> currentCase() const;
  void runCaseWindow(const std::function<bool(accounts::CaseWindow&)>& start);
  void chooseCurrent();

  store::Connection& practice_;
  const practice::Options& options_;
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  security::Security* security_;
  security::LoginPrompt* overridePrompt_ = nullptr;
  std::function<void(const std::string&)> openTransactions_;
  accounts::PatientList list_;
  PatientListModel* model_;
  QTableView* patients_;
  QLineEdit* search_;
  QComboBox* searchBy_;
  QLabel* casesCaption_;
  QTableWidget* cases_;
  QDialogButtonBox* buttons_;
  std::vector<QPushButton*> caseButtons_;
  bool picking_ = false;
  std::string picked_;
};

// The chart number chosen in the patient list, nothing when it was closed.
std::optional<std::string> pickPatient(const std::string& current, store::Connection& practice,
                                       const practice::Options& options, ui::Prompter& prompter,
                                       const ui::Clock& clock, security::Security* security,
                                       QWidget* parent);

}  // namespace vantrell::desktop
