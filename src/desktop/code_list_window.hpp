#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <memory>
#include <optional>

#include "reference/carrier_extras.hpp"
#include "reference/code_window.hpp"
#include "store/table.hpp"

class QComboBox;
class QDateEdit;
class QDialogButtonBox;
class QLineEdit;
class QTabWidget;
class QTableWidget;
class QTableView;

namespace vantrell::desktop {

class RecordForm;

// The rows of a code table in the chosen order, read from the store a page at
// a time as the list scrolls; a search starts the list at the typed text.
class CodeListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  CodeListModel(store::Connection& practice, const reference::CodeTable& table,
                QObject* parent = nullptr);

  void setOrder(const std::string& tag);
  void search(const std::string& typed);
  const store::Record* recordAt(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  void restart(std::vector<store::Value> from);

  store::Table table_;
  std::vector<std::string> columns_;
  std::vector<store::Record> rows_;
  store::PageCursor cursor_;
};

// The list window of a code table: search as you type on the code or the
// name, the orders of the table's tags, New, Edit, Delete.
class CodeListWindow : public QDialog {
  Q_OBJECT

 public:
  CodeListWindow(store::Connection& practice, const reference::CodeTable& table,
                 ui::Prompter& prompter, const ui::Clock& clock, security::Security* security,
                 QWidget* parent);

  // Makes the window a pick list starting at the current code: Enter or
  // Select takes the chosen code, and codes may still be made or changed.
  void enablePicking(const std::string& current);
  const std::string& pickedCode() const { return picked_; }

 private:
  void editRecord(bool isNew);
  void chooseCurrent();
  void deleteRecord();

  store::Connection& practice_;
  const reference::CodeTable& table_;
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  security::Security* security_;
  CodeListModel* model_;
  QTableView* view_;
  QLineEdit* search_;
  QComboBox* order_;
  QDialogButtonBox* buttons_;
  bool picking_ = false;
  std::string picked_;
};

// The code chosen in the list window of a code table ("carrier", "provider",
// ... as reference::findCodeTable names them), after the table's view
// permission; nothing when the window was closed.
std::optional<std::string> pickCode(const std::string& noun, const std::string& current,
                                    store::Connection& practice, ui::Prompter& prompter,
                                    const ui::Clock& clock, security::Security* security,
                                    QWidget* parent);

// The edit window of one code: every field of the table on pages, the
// checks of the code window on Save, and the saved field defaults.
class CodeEditDialog : public QDialog {
  Q_OBJECT

 public:
  CodeEditDialog(reference::CodeWindow& window, store::Connection& practice, ui::Prompter& prompter,
                 security::Security* security, QWidget* parent);

 private:
  void save();
  // Typed names, addresses and amounts as the practice's options make them.
  void applyTypingOptions();
  void showPagesForType();
  // The carrier's allowed amounts and provider numbers, each a list with a line to add or change
  // one.
  void addCarrierPages();
  void reloadCarrierPages();

  reference::CodeWindow& window_;
  store::Connection& practice_;
  ui::Prompter& prompter_;
  security::Security* security_;
  std::vector<RecordForm*> forms_;
  QTabWidget* pages_;
  std::unique_ptr<reference::CarrierExtras> extras_;
  QTableWidget* allowedAmounts_ = nullptr;
  QTableWidget* providerNumbers_ = nullptr;
};

// The multilink selection: a multilink code and a transaction date for the
// transaction entry window to post.
class MultiLinkDialog : public QDialog {
  Q_OBJECT

 public:
  MultiLinkDialog(const Date& programDate, QWidget* parent);
  std::string code() const;
  Date transactionDate() const;

 private:
  QLineEdit* code_;
  QDateEdit* date_;
};

}  // namespace vantrell::desktop
