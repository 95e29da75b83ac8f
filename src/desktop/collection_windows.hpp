#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collections/payment_plan.hpp"
#include "collections/tickler_window.hpp"
#include "collections/work_list.hpp"
#include "security/security.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;
class QTableView;
class QTableWidget;

namespace vantrell::desktop {

// What the collection windows work with: the practice, the person, the
// session's user (whose items the work list shows first) and the way to a
// patient's ledger.
struct CollectionDesk {
  store::Connection& practice;
  ui::Prompter& prompter;
  const ui::Clock& clock;
  security::Security* security;
  std::function<void(const std::string& chartNumber)> openLedger;
};

// The work list's items as the collector works them, read a page at a time.
class WorkListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  WorkListModel(collections::WorkList& list, QObject* parent = nullptr);

  void reload();
  const store::Record* itemAt(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  collections::WorkList& list_;
  collections::WorkList::WorkingCursor cursor_;
  std::vector<store::Record> rows_;
  bool atEnd_ = true;
};

// The tickler window on one item: patient, who owes, action, assignee,
// follow-up date, status and office notes. F9 or Ctrl+S saves, OK saves and
// closes, Escape leaves without saving.
class TicklerDialog : public QDialog {
  Q_OBJECT

 public:
  // A new item when `item` is none.
  TicklerDialog(const CollectionDesk& desk, std::optional<std::int64_t> item, QWidget* parent);
  bool opened() const { return opened_; }
  bool save();
  void setSaved(std::function<void()> saved) { saved_ = std::move(saved); }

 private:
  void showItem();
  void typeChanged();
  bool push();

  CollectionDesk desk_;
  collections::TicklerWindow model_;
  std::function<void()> saved_;
  bool opened_ = false;
  QLineEdit* patient_;
  QComboBox* type_;
  QComboBox* party_;
  QPlainTextEdit* action_;
  QLineEdit* assignTo_;
  QLineEdit* followUp_;
  QComboBox* status_;
  QPlainTextEdit* notes_;
  QLabel* balance_;
};

// "Change Status/Follow Up Dates": all the listed or the selected items, a status
// from and to, and/or a new follow-up date. OK hands the choice to `apply`; a
// refusal keeps the dialog open for the missing half.
class WorkListStatusDialog : public QDialog {
  Q_OBJECT

 public:
  WorkListStatusDialog(ui::Prompter& prompter, bool anySelected,
                       std::function<bool(const collections::StatusChange&)> apply,
                       QWidget* parent);

 private:
  void change();

  ui::Prompter& prompter_;
  std::function<bool(const collections::StatusChange&)> apply_;
  QRadioButton* all_;
  QComboBox* statusFrom_;
  QComboBox* statusTo_;
  QLineEdit* followUp_;
};

// "Collection List": the work list a collector works all day. Ins new item,
// Enter opens it, F7 its patient's ledger, F8 the next follow-up (today and
// the days chosen), F6 resolves, Del deletes; filter, status change, reassign,
// the list's and the tracer's printouts and the collection letters from its
// buttons.
class LetterRunDialog;

class WorkListWindow : public QDialog {
  Q_OBJECT

 public:
  WorkListWindow(CollectionDesk desk, QWidget* parent);
  ~WorkListWindow() override;

  void refresh();
  bool applyFilter();
  void newItem();
  void editItem();
  void openLedger();
  void followUpNext();
  void resolve();
  void removeItems();
  void changeStatus();
  void reassign();
  void printList();
  void printTracer();
  void letterRun();
  TicklerDialog* ticklerDialog() const { return tickler_; }
  LetterRunDialog* letterRunDialog() const { return letters_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<std::int64_t> selectedItems() const;
  void showTickler(TicklerDialog* dialog);

  CollectionDesk desk_;
  collections::WorkList list_;
  WorkListModel* model_;
  QTableView* items_;
  QCheckBox* allTicklers_;
  QComboBox* status_;
  QComboBox* type_;
  QComboBox* deleted_;
  QLineEdit* createdFrom_;
  QLineEdit* createdTo_;
  QLineEdit* resolvedFrom_;
  QLineEdit* resolvedTo_;
  QLineEdit* patientFrom_;
  QLineEdit* patientTo_;
  QLineEdit* party_;
  QSpinBox* followUpDays_;
  QLabel* count_;
  QPointer<TicklerDialog> tickler_;
  QPointer<LetterRunDialog> letters_;
};

// The "Patient Payment Plan" window: code, description, first due day, cycle
// and amount through the plan model, with "&OK", "&Save" and "Cancel".
class PaymentPlanDialog : public QDialog {
  Q_OBJECT

 public:
  // A new plan when `code` is empty.
  PaymentPlanDialog(const CollectionDesk& desk, const std::string& code, QWidget* parent);
  bool opened() const { return opened_; }
  bool save();

 private:
  collections::PaymentPlanWindow model_;
  bool opened_ = false;
  QLineEdit* code_;
  QLineEdit* description_;
  QLineEdit* firstDue_;
  QLineEdit* dueEvery_;
  QLineEdit* amountDue_;
};

// The payment plans under Lists: Ins new, Enter edit, Del delete (refused
// while a patient uses the plan).
class PaymentPlanListWindow : public QDialog {
  Q_OBJECT

 public:
  PaymentPlanListWindow(CollectionDesk desk, QWidget* parent);

  void refresh();
  void editPlan(bool isNew);
  void deletePlan();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CollectionDesk desk_;
  QTableWidget* plans_;
  QPointer<PaymentPlanDialog> plan_;
};

// The collection letter run: its questions, the plan check under a meter with
// Abort, the letters' preview and, when they are to be printed, the tracer.
class LetterRunDialog : public QDialog {
  Q_OBJECT

 public:
  LetterRunDialog(CollectionDesk desk, QWidget* parent);
  // The run with the answers given; false when it printed nothing.
  bool run();

 private:
  CollectionDesk desk_;
  QLineEdit* partyFrom_;
  QLineEdit* partyTo_;
  QLineEdit* patientFrom_;
  QLineEdit* patientTo_;
  QLineEdit* followUpFrom_;
  QLineEdit* followUpTo_;
  QLineEdit* createdFrom_;
  QLineEdit* createdTo_;
  QLineEdit* balanceFrom_;
  QLineEdit* balanceTo_;
  QComboBox* status_;
  QCheckBox* excludePlan_;
  QCheckBox* generate_;
  QCheckBox* tracer_;
};

}  // namespace vantrell::desktop
