#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTableView>
#include <functional>
#include <optional>

#include "transactions/transaction_entry.hpp"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrell::desktop {

// The charge lines of the transaction window, one row per line, each column
// bound to the field (or calculated value) it shows. An edit goes through the
// window model's field exit, which may change other fields of the line.
class ChargeGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    DateFrom,
    DateTo,
    Procedure,
    Units,
    UnitAmount,
    Total,
    Diagnosis1,
    Diagnosis2,
    Diagnosis3,
    Diagnosis4,
    Provider,
    Modifiers,
    Allowed,
    Remainder,
    ColumnCount
  };

  ChargeGridModel(transactions::TransactionEntryWindow& window, QObject* parent = nullptr);

  // Shows the lines afresh (another case, or the case read back after a save).
  void reload();
  // Shows lines appended or dropped at the end, and the new values of all.
  void sync();
  // The line at this row left the list.
  void removed(int row);
  // Told of every line an edit touched, so that it is posted when left.
  void onLineEdited(std::function<void(int row)> edited) { edited_ = std::move(edited); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const transactions::TransactionLine* lineAt(int row) const;

  transactions::TransactionEntryWindow& window_;
  std::function<void(int)> edited_;
  int shownRows_ = 0;  // what the view was told; the window model's list may be ahead of it
};

// The payments, adjustments and comments of the case, shown only for now.
class PaymentListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  PaymentListModel(const transactions::TransactionEntryWindow& window, QObject* parent = nullptr);
  void reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const transactions::TransactionEntryWindow& window_;
  int shownRows_ = 0;
};

// The charges grid: Tab and Enter go from cell to cell and open the next
// cell for typing, so a visit is posted from the keyboard alone.
class ChargeGrid : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;
  // Takes what is being typed in a cell into the line, as leaving the cell does.
  void finishTyping();

 protected:
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// The transaction entry window: the chart and case worked on, the document
// (or superbill) number, the charges, the payments below them, and the
// estimates. Every command goes to the window model; the view shows its lines.
class TransactionEntryWindow : public QDialog {
  Q_OBJECT

 public:
  TransactionEntryWindow(const transactions::TransactionEntryWindow::Surroundings& surroundings,
                         QWidget* parent);
  ~TransactionEntryWindow() override;

  transactions::TransactionEntryWindow& model() { return window_; }

  void chooseChart(const QString& chartNumber);
  void pickChart();
  void chooseCase();
  void chooseDocument();
  void newCharge();
  void deleteCharge();
  void save();
  void multilink();
  void addTax();

  // Closing asks about unsaved lines first; the window stays when the save fails.
  void done(int result) override;

 private:
  QWidget* buildHeader();
  QWidget* buildEstimates();
  // Posts the line being worked on when the clerk moves off it.
  void leaveLineInEdit();
  void afterListChanged(std::optional<int> focusRow);
  void showCases();
  void showState();
  int currentRow() const;

  transactions::TransactionEntryWindow::Surroundings context_;
  transactions::TransactionEntryWindow window_;
  QLineEdit* chart_;
  QLabel* patientName_;
  QComboBox* case_;
  QLineEdit* document_;
  ChargeGridModel* charges_;
  ChargeGrid* chargeGrid_;
  PaymentListModel* payments_;
  QTableView* paymentGrid_;
  std::optional<int> lineInEdit_;
  bool showing_ = false;  // the view itself is changing the fields; no command follows
};

}  // namespace vantrell::desktop
