#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTableView>

#include "transactions/apply_dialog.hpp"

class QLabel;

namespace vantrell::desktop {

// The charges of the apply dialog, one row per charge. The complete mark and
// "this payment" are typed here; the balance and total paid follow from the
// dialog model.
class ApplyRowsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    Complete,
    DateFrom,
    Document,
    Procedure,
    Amount,
    Balance,
    TotalPaid,
    ThisPayment,
    ColumnCount
  };

  ApplyRowsModel(transactions::ApplyDialog& dialog, QObject* parent = nullptr);
  // Every row shown again (apply to oldest fills many).
  void refresh();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  // An amount was applied: the remainder moves.
  void applied();

 private:
  transactions::ApplyDialog& dialog_;
};

// The rows of the apply dialog: Enter and Tab take "this payment" and open it
// on the next charge, so a payment is spread from the keyboard.
class ApplyGrid : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;
  // Takes an amount still being typed, as leaving its cell does.
  void finishTyping();

 protected:
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
};

// The apply dialog over one payment or adjustment. It edits the dialog model it
// is given; the transaction window writes that back when the clerk chooses OK,
// and Cancel leaves the applications as they were.
class ApplyDialogWindow : public QDialog {
  Q_OBJECT

 public:
  ApplyDialogWindow(transactions::ApplyDialog& dialog, QWidget* parent);

 private:
  void showRemainder();

  transactions::ApplyDialog& dialog_;
  ApplyRowsModel* rows_;
  ApplyGrid* grid_;
  QLabel* remainder_;
};

}  // namespace vantrell::desktop
