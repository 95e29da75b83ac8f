#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "pdf_preview_window.hpp"
#include "progress_dialog.hpp"
#include "statements/quick_balance.hpp"
#include "statements/statement_additions.hpp"
#include "statements/statement_billing.hpp"
#include "statements/statement_creation.hpp"
#include "statements/statement_edit.hpp"
#include "statements/statement_management.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTableView;
class QTableWidget;

namespace vantrell::desktop {

// The statements as the list's filter and sort order select them, read a page
// at a time as the list scrolls.
class StatementListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  StatementListModel(statements::StatementList& list, QObject* parent = nullptr);

  void reload();
  std::int64_t numberAt(int row) const;
  std::optional<int> rowOf(std::int64_t number) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  statements::StatementList& list_;
  std::vector<statements::StatementRow> rows_;
  bool atEnd_ = true;
};

// Where the statement windows print: the practice, the program date, and the
// preview the PDF is shown in.
struct StatementPrinting {
  std::function<Date()> programDate;
  // Called with each preview opened (the main window keeps it beside the others).
  std::function<void(PdfPreviewWindow*)> showPreview;
};

// Writes the statements (in print order) to a temporary PDF and opens it in
// the preview; the PDF goes when the preview closes. Returns the numbers
// printed (empty when nothing could be printed, the reason shown).
std::vector<std::int64_t> previewStatements(statements::Surroundings surroundings,
                                            const StatementPrinting& printing,
                                            const std::vector<std::int64_t>& numbers,
                                            QWidget* parent, bool excludeBilledPaid = false);

// Statement Management: the list with its filter and sort, and its commands
// (create, edit, delete, print/send, reprint, change status, note, quick balance).
class StatementManagementWindow : public QDialog {
  Q_OBJECT

 public:
  StatementManagementWindow(statements::Surroundings surroundings, StatementPrinting printing,
                            QWidget* parent);

  StatementListModel& model() { return *model_; }
  void reload();

  void createStatements();
  void editStatement();
  void deleteStatements();
  void printStatements();
  void reprintStatement();
  void changeStatus();
  void editNote();
  void quickBalance();
  // The preview the last print or reprint opened, if it is still open.
  PdfPreviewWindow* lastPreview() const { return lastPreview_; }

 private:
  void applyFilter();
  void clearFilter();
  std::vector<std::int64_t> selectedNumbers() const;
  std::optional<std::int64_t> currentNumber() const;
  bool allowed(int permissionItem);
  void selectNumber(std::int64_t number);

  statements::Surroundings surroundings_;
  StatementPrinting printing_;
  ProgressDialog progress_;
  statements::StatementList list_;
  StatementListModel* model_;
  QTableView* view_;
  QLineEdit* chart_;
  QLineEdit* created_;
  QLineEdit* billed_;
  QLineEdit* batch_;
  QComboBox* method_;
  QComboBox* status_;
  QCheckBox* excludeDone_;
  QPointer<PdfPreviewWindow> lastPreview_;
};

// The create dialog's inputs over the core's dialog model; Create checks them
// there and stays open with the failing field focused.
class StatementCreateDialogView : public QDialog {
  Q_OBJECT

 public:
  StatementCreateDialogView(statements::StatementCreateDialog& dialog, QWidget* parent);

 private:
  void takeInputs();

  statements::StatementCreateDialog& dialog_;
  QRadioButton* standard_;
  QRadioButton* remainder_;
  QLineEdit* fromChart_ = nullptr;
  QLineEdit* toChart_ = nullptr;
  QLineEdit* fromDate_ = nullptr;
  QLineEdit* toDate_ = nullptr;
  QLineEdit* minimum_ = nullptr;
};

// The statement editor: its lines with Remove and Split.
class StatementEditDialog : public QDialog {
  Q_OBJECT

 public:
  StatementEditDialog(statements::Surroundings surroundings, std::int64_t number, QWidget* parent);
  const statements::StatementEditWindow& model() const { return model_; }

  // Add opens the statement's guarantor's lines that may go on it.
  void addLines();
  void removeLines();
  void splitLines();

 private:
  void showLines();
  std::vector<std::size_t> chosen() const;

  statements::Surroundings surroundings_;
  statements::StatementEditWindow model_;
  QLabel* caption_;
  QTableWidget* lines_;
};

// "Change Statement Status/Billing Method".
class StatementStatusDialog : public QDialog {
  Q_OBJECT

 public:
  StatementStatusDialog(statements::Surroundings surroundings, std::vector<std::int64_t> selected,
                        QWidget* parent);
  std::int64_t changed() const { return changed_; }

 private:
  void change();

  statements::Surroundings surroundings_;
  std::vector<std::int64_t> selected_;
  QRadioButton* byBatch_;
  QLineEdit* batch_;
  QComboBox* statusFrom_;
  QComboBox* statusTo_;
  QComboBox* methodFrom_;
  QComboBox* methodTo_;
  std::int64_t changed_ = 0;
};

// "Print/Send Statements": paper or electronic with its type, and Exclude
// Billed Paid Entries; the model keeps the choices.
class StatementPrintSendDialog : public QDialog {
  Q_OBJECT

 public:
  StatementPrintSendDialog(statements::StatementPrintDialog& model, QWidget* parent);

 private:
  void accept() override;

  statements::StatementPrintDialog& model_;
  QRadioButton* paper_;
  QComboBox* electronicType_;
  QCheckBox* excludeBilledPaid_;
};

// The quick balance window: a guarantor's remainder balance and its Print.
class QuickBalanceDialog : public QDialog {
  Q_OBJECT

 public:
  QuickBalanceDialog(statements::Surroundings surroundings, StatementPrinting printing,
                     QWidget* parent);
  const statements::QuickBalanceWindow& model() const { return model_; }
  void chooseChart();
  void print();

 private:
  statements::Surroundings surroundings_;
  StatementPrinting printing_;
  statements::QuickBalanceWindow model_;
  QLineEdit* chart_;
  QTableWidget* lines_;
  QLabel* balance_;
};

}  // namespace vantrell::desktop
