#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "deposits/deposit_list.hpp"
#include "deposits/deposit_window.hpp"
#include "deposits/payment_application.hpp"
#include "practice/options.hpp"
#include "ui/clock.hpp"
#include "ui/settings.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTableWidget;
class QTableWidgetItem;

namespace vantrell::desktop {

// What the deposit windows need beyond the deposit model's surroundings: the
// payment application window posts with the practice's options and clock.
struct DepositDesk {
  deposits::DepositSurroundings surroundings;
  const practice::Options& options;
  const ui::Clock& clock;
  ui::Settings& settings;
};

// The deposits of the list's date, read a page at a time as the list scrolls.
class DepositListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  DepositListModel(deposits::DepositList& list, QObject* parent = nullptr);

  void reload();
  std::optional<std::int64_t> depositAt(int row) const;
  static const std::vector<const char*>& columns();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  deposits::DepositList& list_;
  std::vector<store::Record> rows_;
  bool atEnd_ = true;
};

// One deposit: the payor, the payment, the code boxes offered for the payor
// and method, the unapplied amount moving with the payment. F9 or Ctrl+S saves
// through the model, which names the box that gets the focus when it refuses.
class DepositDialog : public QDialog {
  Q_OBJECT

 public:
  DepositDialog(std::unique_ptr<deposits::DepositWindow> model, QWidget* parent);
  ~DepositDialog() override;

  bool save();
  deposits::DepositWindow& model() { return *model_; }
  // Called after each save, so that the list can be refreshed.
  void setSaved(std::function<void()> saved) { saved_ = std::move(saved); }

 protected:
  void reject() override;

 private:
  void showDeposit();
  void fillCodeBoxes();
  bool push(const char* field, const QString& text);
  bool pushAll();
  void paymentTyped();
  QWidget* boxOf(const std::string& field) const;

  std::unique_ptr<deposits::DepositWindow> model_;
  std::function<void()> saved_;
  QLineEdit* date_;
  QComboBox* payorType_;
  QComboBox* method_;
  QLineEdit* chart_;
  QLineEdit* carrier_;
  QLineEdit* attorney_;
  QLineEdit* payorName_;
  QLineEdit* description_;
  QLineEdit* check_;
  QLineEdit* amount_;
  QLabel* unapplied_;
  std::vector<std::pair<deposits::CodeBox, QComboBox*>> codeBoxes_;
  bool filling_ = false;
};

// The payment application window as a grid: a patient's charges with one column per typed
// amount, Enter moving on column by column and row by row, the unapplied amount always in
// sight (red below zero). Closing with unsaved entries asks the abandon question; closing
// writes the deposit's final unapplied amount.
class PaymentApplicationDialog : public QDialog {
  Q_OBJECT

 public:
  PaymentApplicationDialog(std::unique_ptr<deposits::PaymentApplicationWindow> model,
                           QWidget* parent);
  ~PaymentApplicationDialog() override;

  bool choosePatient();
  void applyToOldest();
  bool save();
  // Read-only lists: the entries typed and not saved yet, and the lines written from the deposit.
  void listOnly();
  void viewSoFar();
  // The current charge's note: its kind and text, in a small window of its own.
  void editDocumentation();
  deposits::PaymentApplicationWindow& model() { return *model_; }
  void setClosed(std::function<void()> closed) { closed_ = std::move(closed); }

  // The grid's columns, from the first typed one.
  enum Column {
    Date,
    Procedure,
    Amount,
    Remainder,
    Payor,
    Payment,
    Deductible,
    Withhold,
    Allowed,
    Adjustment,
    TakeBack,
    Complete,
    Rejection,
    Documentation,  // shown only: the Documentation command edits it
    ColumnCount
  };

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showRows();
  void showRow(int row);
  void showUnapplied();
  void typed(QTableWidgetItem* item);
  void moveOn();
  void fillCodeBoxes();
  void codeChosen(deposits::CodeBox box, const QString& code);
  void choicesChanged();
  // The abandon question while entries are unsaved; then writes the deposit's unapplied amount.
  bool finish();

  std::unique_ptr<deposits::PaymentApplicationWindow> model_;
  std::function<void()> closed_;
  QLineEdit* chart_;
  QCheckBox* unpaidOnly_;
  QCheckBox* remainderOnly_;
  QTableWidget* charges_;
  QLabel* unapplied_;
  QLabel* patient_;
  std::vector<std::pair<deposits::CodeBox, QComboBox*>> codeBoxes_;
  QCheckBox* billRemaining_;
  QCheckBox* printStatements_;
  QCheckBox* alertClaims_;
  QCheckBox* alertStatements_;
  bool filling_ = false;
  bool finished_ = false;
};

// Enter Deposits/Payments: the deposits of one date (optionally only those with something
// left to apply) in a chosen order, with New (Ins), Edit (Enter), Apply and Delete (Del).
class DepositListWindow : public QDialog {
  Q_OBJECT

 public:
  DepositListWindow(DepositDesk desk, QWidget* parent);
  ~DepositListWindow() override;

  void newDeposit();
  void editDeposit();
  void applyDeposit();
  void deleteDeposit();
  // The payment lines made from the deposit, each with the part its application rows applied.
  void showDetail();
  void refresh();

  DepositDialog* depositDialog() const { return deposit_; }
  PaymentApplicationDialog* applicationDialog() const { return application_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::optional<std::int64_t> currentDeposit() const;
  void showDialog(QDialog* dialog);

  DepositDesk desk_;
  deposits::DepositList list_;
  DepositListModel* model_;
  QLineEdit* date_;
  QCheckBox* unappliedOnly_;
  QComboBox* order_;
  QTableView* deposits_;
  QLabel* count_;
  QPointer<DepositDialog> deposit_;
  QPointer<PaymentApplicationDialog> application_;
  // Print Statement Now: the create dialog over the grid, the statement in the preview.
  std::unique_ptr<statements::StatementPrinting> statementPrinting_;
  std::unique_ptr<claims::ClaimPrinting> claimPrinting_;
};

}  // namespace vantrell::desktop
