#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTableView>
#include <functional>
#include <optional>
#include <vector>

#include "transactions/transaction_entry.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrell::desktop {

// One list of the transaction window (the charges, or the payments below
// them), one row per line. The window model's list may be ahead of what the
// view was told; reload and sync catch the view up.
class LineGridModel : public QAbstractTableModel {
 public:
  // Shows the lines afresh (another case, or the case read back after a save).
  void reload();
  // Shows lines appended or dropped at the end, and the new values of all.
  void sync();
  // The line at this row left the list.
  void removed(int row);
  // Told of every line an edit touched, so that it is posted when left.
  void onLineEdited(std::function<void(int row)> edited) { edited_ = std::move(edited); }

  int rowCount(const QModelIndex& parent = {}) const override;

 protected:
  // The row header: a mark on a line not saved yet (new, or changed since loaded).
  QVariant rowHeader(int row, int role) const;
  LineGridModel(transactions::TransactionEntryWindow& window, QObject* parent);
  virtual const std::vector<transactions::TransactionLine>& lines() const = 0;
  const transactions::TransactionLine* lineAt(int row) const;
  // Every field of the row may have moved with an exit; the view shows it again.
  void lineEdited(int row);

  transactions::TransactionEntryWindow& window_;

 private:
  std::function<void(int)> edited_;
  int shownRows_ = 0;
};

// The charge lines, each column bound to the field (or calculated value) it
// shows. An edit goes through the window model's field exit, which may change
// other fields of the line.
class ChargeGridModel : public LineGridModel {
  Q_OBJECT

 public:
  enum Column {
    DateFrom,
    DateTo,
    Procedure,
    ProcedureDescription,
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

  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 protected:
  const std::vector<transactions::TransactionLine>& lines() const override;
};

// The payments, adjustments and comments of the case. The code's exit sets the
// type, payer and price; the amount's exit gives it its sign and moves the
// unapplied amount, which is shown only.
class PaymentGridModel : public LineGridModel {
  Q_OBJECT

 public:
  enum Column {
    DateFrom,
    Procedure,
    WhoPaid,
    Description,
    CheckNumber,
    Amount,
    Unapplied,
    ColumnCount
  };

  PaymentGridModel(transactions::TransactionEntryWindow& window, QObject* parent = nullptr);

  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 protected:
  const std::vector<transactions::TransactionLine>& lines() const override;
};

// A grid of lines typed from the keyboard: Tab and Enter go from cell to cell
// and open the next cell for typing, so a visit is posted from the keys alone.
class LineGrid : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;
  // Takes what is being typed in a cell into the line, as leaving the cell does.
  void finishTyping();
  // Enter past the last cell of a line: the window says what follows (a new
  // line, or nothing); the cursor never goes on into another line.
  void onPastLastCell(std::function<void(int row)> past) { pastLastCell_ = std::move(past); }

 protected:
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

 private:
  void pastLastCell();

  std::function<void(int)> pastLastCell_;
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
  // Ins makes a line in the list that has the focus.
  void newLine();
  void newPayment();
  void deletePayment();
  // The apply dialog of the current payment line; OK writes it back.
  void applyPayment();
  // Moves the keyboard between the charges and the payments.
  void switchList();
  // The account total from the whole ledger of the chart (after the unsaved-lines question).
  void recomputeAccountBalance();

  // Closing asks about unsaved lines first; the window stays when the save fails.
  void done(int result) override;

 private:
  QWidget* buildHeader();
  QWidget* buildPayments();
  QWidget* buildEstimates();
  LineGrid* makeGrid(LineGridModel* model, const char* name);
  // F2 or F4 on a procedure or diagnosis cell: the code picked from its list
  // goes into the cell; elsewhere F2 edits the cell.
  void pickIntoCell(LineGrid* grid, bool editOtherwise);
  void finishTyping();
  // Posts the line being worked on when the clerk moves off it.
  void leaveLineInEdit();
  // A field of this line was edited: the line worked on before it is left first.
  void editing(bool payment, int row);
  void showState();
  // The account total and, when asked for, the estimates of the case as stored.
  void showTotals();
  int currentRow() const;
  int currentPaymentRow() const;
  // The keys Ins and Del act on the payments when they have the focus, else on the charges.
  bool paymentsActive() const;
  // Shows which list the keys act on: its frame, its title, and the keys on the buttons.
  void showActiveList();

  transactions::TransactionEntryWindow::Surroundings context_;
  transactions::TransactionEntryWindow window_;
  QLineEdit* chart_;
  QLabel* patientName_;
  QComboBox* case_;
  QLineEdit* document_;
  QPushButton* accountTotal_;
  ChargeGridModel* charges_;
  LineGrid* chargeGrid_;
  PaymentGridModel* payments_;
  LineGrid* paymentGrid_;
  QCheckBox* showEstimates_;
  std::vector<QLabel*> estimateValues_;
  struct LineInEdit {
    bool payment;
    int row;
  };
  std::optional<LineInEdit> lineInEdit_;
  bool showing_ = false;  // the view itself is changing the fields; no command follows
};

}  // namespace vantrell::desktop
