#include "collection_windows.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>

#include "collections/collection_options.hpp"
#include "collections/letter_document.hpp"
#include "collections/letter_run.hpp"
#include "collections/work_list_report.hpp"
#include "main_window.hpp"
#include "pdf_preview_window.hpp"
#include "pdf_renderer.hpp"
#include "progress_dialog.hpp"
#include "reports/report.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

constexpr std::size_t pageSize = 100;
int nextPdf = 0;

std::string plain(const QString& text) {
  return text.trimmed().toStdString();
}
QString trimmedText(const std::string& text) {
  return qt(std::string(store::trimRight(text)));
}

QCheckBox* namedCheck(const QString& text, const char* name, bool checked = false) {
  auto* box = new QCheckBox(text);
  box->setObjectName(name);
  box->setChecked(checked);
  return box;
}
bool isEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}
bool plainKey(const QKeyEvent* key) {
  return key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
}

// A typed date, or none with the person told; an empty box is an empty date.
std::optional<Date> typedDate(ui::Prompter& prompter, const QLineEdit* edit) {
  const std::string text = plain(edit->text());
  if (text.empty()) return Date();
  const auto date = Date::parse(text);
  if (!date) prompter.error("\"" + text + "\" is not a date.");
  return date;
}

const char* const statusCodes[] = {collections::item_status::open,
                                   collections::item_status::resolved,
                                   collections::item_status::deleted};

QString statusName(const std::string& code) {
  if (code == collections::item_status::open) return QObject::tr("Open");
  if (code == collections::item_status::resolved) return QObject::tr("Resolved");
  if (code == collections::item_status::deleted) return QObject::tr("Deleted");
  return qt(code);
}

const std::vector<const char*>& workListColumns() {
  static const std::vector<const char*> titles = {
      "Follow Up Date", "Item Number", "Status", "Responsible Type", "Responsible Party", "Patient",
      "User ID",        "Balance",     "Action"};
  return titles;
}

// Writes a document to a PDF of the preview's own and shows it; the file goes with the window.
void preview(const printing::Document& document, const char* name, ui::Prompter& prompter,
             QWidget* parent) {
  const QString path = QDir(QDir::tempPath())
                           .filePath(QStringLiteral("vantrell-%1-%2-%3.pdf")
                                         .arg(QString::fromLatin1(name))
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(++nextPdf));
  try {
    pdf::writePdf(document, path.toStdString());
  } catch (const pdf::PdfError& error) {
    prompter.error(error.what());
    return;
  }
  auto* window = new PdfPreviewWindow(path, parent);
  window->setObjectName(QString::fromLatin1(name) + "Preview");
  window->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(window, &QObject::destroyed, [path] { QFile::remove(path); });
  window->show();
}

void showAsWindow(QDialog* dialog) {
  dialog->setModal(false);
  dialog->setWindowFlag(Qt::Window);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

}  // namespace

// ---------------------------------------------------------------------------------------------

WorkListModel::WorkListModel(collections::WorkList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

void WorkListModel::reload() {
  beginResetModel();
  cursor_ = {};
  rows_ = list_.nextWorkingPage(cursor_, pageSize);
  atEnd_ = rows_.size() < pageSize;
  endResetModel();
}

const store::Record* WorkListModel::itemAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
  return &rows_[static_cast<std::size_t>(row)];
}

int WorkListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}
int WorkListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(workListColumns().size());
}

QVariant WorkListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const store::Record& row = rows_[static_cast<std::size_t>(index.row())];
  const std::string field = workListColumns()[static_cast<std::size_t>(index.column())];
  if (role == Qt::TextAlignmentRole && (field == "Balance" || field == "Item Number"))
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  if (field == "Item Number") return QVariant::fromValue(row.integer(field));
  if (field == "Follow Up Date") return qt(row.date(field).toMonthDayYear());
  if (field == "Status") return statusName(row.text(field));
  if (field == "Responsible Type") return row.text(field) == "I" ? tr("Insurance") : tr("Patient");
  if (field == "Balance") return qt(row.money(field).toGroupedString());
  if (field == "Action") {
    const std::string action = row.text(field);
    return trimmedText(action.substr(0, action.find('\n')));
  }
  return trimmedText(row.text(field));
}

QVariant WorkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  const std::string field = workListColumns()[static_cast<std::size_t>(section)];
  if (field == "Follow Up Date") return tr("Follow Up");
  if (field == "Item Number") return tr("Item");
  if (field == "Responsible Type") return tr("Type");
  if (field == "Responsible Party") return tr("Responsible");
  return qt(field);
}

bool WorkListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_;
}

void WorkListModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || atEnd_) return;
  auto page = list_.nextWorkingPage(cursor_, pageSize);
  atEnd_ = page.size() < pageSize;
  if (page.empty()) return;
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
  for (auto& row : page) rows_.push_back(std::move(row));
  endInsertRows();
}

// ---------------------------------------------------------------------------------------------

TicklerDialog::TicklerDialog(const CollectionDesk& desk, std::optional<std::int64_t> item,
                             QWidget* parent)
    : QDialog(parent), desk_(desk), model_(desk.practice, desk.prompter, desk.clock) {
  setObjectName("Tickler");
  setAttribute(Qt::WA_DeleteOnClose);
  if (item) {
    opened_ = model_.open(*item);
  } else {
    model_.startNew();
    opened_ = true;
  }
  patient_ = namedEdit("patient", 120);
  type_ = namedCombo("responsibleType", {tr("Patient"), tr("Insurance")});
  party_ = namedCombo("responsibleParty", {});
  party_->setEditable(true);
  party_->lineEdit()->setObjectName("responsiblePartyText");
  action_ = new QPlainTextEdit;
  action_->setObjectName("action");
  action_->setTabChangesFocus(true);
  action_->setFixedHeight(70);
  assignTo_ = namedEdit("assignTo", 160);
  followUp_ = namedEdit("followUpDate", 120);
  status_ = namedCombo("status", {tr("Open"), tr("Resolved"), tr("Deleted")});
  notes_ = new QPlainTextEdit;
  notes_->setObjectName("officeNotes");
  notes_->setTabChangesFocus(true);
  notes_->setFixedHeight(90);
  balance_ = new QLabel;
  balance_->setObjectName("balance");

  auto* form = new QFormLayout;
  const auto row = [&](const QString& text, QWidget* input) {
    auto* label = new QLabel(text);
    label->setBuddy(input);
    form->addRow(label, input);
  };
  row(tr("&Patient:"), patient_);
  row(tr("Responsible &Type:"), type_);
  row(tr("Responsible Pa&rty:"), party_);
  row(tr("&Action:"), action_);
  row(tr("Ass&ign To:"), assignTo_);
  row(tr("&Follow Up Date:"), followUp_);
  row(tr("Stat&us:"), status_);
  row(tr("Office &Notes:"), notes_);
  form->addRow(new QLabel(tr("Balance / Policy / Group:")), balance_);

  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&OK"), "ok"), &QPushButton::clicked, this, [this] {
    if (save()) close();
  });
  connect(addButton(buttons, tr("&Save"), "save"), &QPushButton::clicked, this,
          &TicklerDialog::save);
  QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)})
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &TicklerDialog::save);
  connect(type_, &QComboBox::currentIndexChanged, this, &TicklerDialog::typeChanged);
  connect(patient_, &QLineEdit::editingFinished, this, &TicklerDialog::typeChanged);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  resize(520, 470);
  if (opened_) showItem();
  patient_->setFocus();
}

void TicklerDialog::showItem() {
  const store::Record& item = model_.record();
  setWindowTitle(model_.isNew() ? tr("Tickler: (new)")
                                : tr("Tickler: Item #%1 for %2")
                                      .arg(item.integer("Item Number"))
                                      .arg(trimmedText(item.text("Patient"))));
  patient_->setText(trimmedText(item.text("Patient")));
  type_->blockSignals(true);
  type_->setCurrentIndex(item.text("Responsible Type") == "I" ? 1 : 0);
  type_->blockSignals(false);
  typeChanged();
  party_->setEditText(trimmedText(item.text("Responsible Party")));
  action_->setPlainText(qt(item.text("Action")));
  assignTo_->setText(trimmedText(item.text("User ID")));
  followUp_->setText(qt(item.date("Follow Up Date").toMonthDayYear()));
  const std::string status = item.text("Status");
  for (int index = 0; index < 3; ++index)
    if (status == statusCodes[index]) status_->setCurrentIndex(index);
  notes_->setPlainText(qt(item.text("Office Notes")));
  balance_->setText(tr("%1   %2   %3")
                        .arg(qt(item.money("Balance").toGroupedString()))
                        .arg(trimmedText(item.text("Policy Number")))
                        .arg(trimmedText(item.text("Group Number"))));
}

// An insurance party is picked from the carriers of the patient's open cases;
// an account party is the patient's own chart unless another is typed.
void TicklerDialog::typeChanged() {
  const QString typed = party_->currentText();
  party_->clear();
  const std::string patient =
      plain(patient_->text()).empty()
          ? std::string()
          : collections::PaymentPlanWindow::upperCode(plain(patient_->text()));
  if (type_->currentIndex() == 1) {
    for (const auto& carrier : model_.carriersOfPatient(patient)) party_->addItem(qt(carrier));
  } else if (!patient.empty()) {
    party_->addItem(qt(patient));
  }
  if (!typed.isEmpty() && party_->findText(typed) >= 0) party_->setEditText(typed);
}

bool TicklerDialog::push() {
  const std::string status = statusCodes[std::max(0, status_->currentIndex())];
  return model_.setFields({{"Patient", plain(patient_->text())},
                           {"Responsible Type", type_->currentIndex() == 1 ? "I" : "P"},
                           {"Responsible Party", plain(party_->currentText())},
                           {"Action", action_->toPlainText().toStdString()},
                           {"User ID", plain(assignTo_->text())},
                           {"Follow Up Date", plain(followUp_->text())},
                           {"Status", status},
                           {"Office Notes", notes_->toPlainText().toStdString()}});
}

bool TicklerDialog::save() {
  if (!opened_ || !push() || !model_.save()) return false;
  showItem();
  if (saved_) saved_();
  return true;
}

// ---------------------------------------------------------------------------------------------

WorkListStatusDialog::WorkListStatusDialog(
    ui::Prompter& prompter, bool anySelected,
    std::function<bool(const collections::StatusChange&)> apply, QWidget* parent)
    : QDialog(parent), prompter_(prompter), apply_(std::move(apply)) {
  setObjectName("ChangeStatus");
  setWindowTitle(tr("Change Status/Follow Up Dates"));
  all_ = new QRadioButton(tr("&All Ticklers"));
  all_->setObjectName("allTicklers");
  auto* selected = new QRadioButton(tr("S&elected Tickler(s)"));
  selected->setObjectName("selectedTicklers");
  selected->setEnabled(anySelected);
  (anySelected ? selected : all_)->setChecked(true);
  auto* scope = new QHBoxLayout;
  scope->addWidget(all_);
  scope->addWidget(selected);
  scope->addStretch(1);
  // The empty first entry is "not chosen".
  statusFrom_ = namedCombo(
      "statusFrom", {QString(), tr("Open"), tr("Resolved"), tr("Deleted"), tr("Any status type")});
  statusTo_ = namedCombo("statusTo", {QString(), tr("Open"), tr("Resolved"), tr("Deleted")});
  followUp_ = namedEdit("followUpDate", 100);
  auto* form = new QFormLayout;
  const auto row = [&](const QString& text, QWidget* input) {
    auto* label = new QLabel(text);
    label->setBuddy(input);
    form->addRow(label, input);
  };
  row(tr("Status &From:"), statusFrom_);
  row(tr("Status &To:"), statusTo_);
  row(tr("New Follow &Up Date:"), followUp_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &WorkListStatusDialog::change);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(scope);
  layout->addLayout(form);
  layout->addWidget(buttons);
  statusFrom_->setFocus();
}

void WorkListStatusDialog::change() {
  collections::StatusChange change;
  change.scope = all_->isChecked() ? collections::StatusChange::Scope::All
                                   : collections::StatusChange::Scope::Selected;
  if (statusFrom_->currentIndex() == 4)
    change.from = "*";
  else if (statusFrom_->currentIndex() > 0)
    change.from = statusCodes[statusFrom_->currentIndex() - 1];
  if (statusTo_->currentIndex() > 0) change.to = statusCodes[statusTo_->currentIndex() - 1];
  const auto followUp = typedDate(prompter_, followUp_);
  if (!followUp) {
    followUp_->setFocus();
    return;
  }
  change.followUp = *followUp;
  // A refusal was shown; the dialog stays for what is missing.
  if (apply_(change)) accept();
}

// ---------------------------------------------------------------------------------------------

WorkListWindow::WorkListWindow(CollectionDesk desk, QWidget* parent)
    : QDialog(parent), desk_(std::move(desk)), list_(desk_.practice, desk_.prompter, desk_.clock) {
  setObjectName("WorkList");
  const std::string user = desk_.practice.userCode();
  setWindowTitle(user.empty() ? tr("Work List") : tr("Work List: for User ID %1").arg(qt(user)));

  allTicklers_ = namedCheck(tr("Show All &Ticklers"), "allTicklers", user.empty());
  allTicklers_->setEnabled(!user.empty());
  status_ = namedCombo("statusFilter", {tr("Open"), tr("Resolved"), tr("Any status")});
  type_ = namedCombo("typeFilter", {tr("Patients and Insurance"), tr("Patient"), tr("Insurance")});
  deleted_ = namedCombo("deletedFilter",
                        {tr("Exclude Deleted"), tr("Show Deleted Only"), tr("Include Deleted")});
  createdFrom_ = namedEdit("createdFrom", 100);
  createdTo_ = namedEdit("createdTo", 100);
  resolvedFrom_ = namedEdit("resolvedFrom", 100);
  resolvedTo_ = namedEdit("resolvedTo", 100);
  patientFrom_ = namedEdit("patientFrom", 100);
  patientTo_ = namedEdit("patientTo", 100);
  party_ = namedEdit("responsiblePartyFilter", 100);
  auto* filterButton = new QPushButton(tr("F&ilter"));
  filterButton->setObjectName("filter");
  filterButton->setAutoDefault(false);
  connect(filterButton, &QPushButton::clicked, this, &WorkListWindow::applyFilter);
  auto* filters = new QGridLayout;
  filters->addWidget(allTicklers_, 0, 0);
  filters->addWidget(status_, 0, 1);
  filters->addWidget(type_, 0, 2);
  filters->addWidget(deleted_, 0, 3);
  const auto range = [&](const QString& text, QLineEdit* from, QLineEdit* to, int row, int column) {
    auto* label = new QLabel(text);
    label->setBuddy(from);
    filters->addWidget(label, row, column);
    auto* line = new QHBoxLayout;
    line->addWidget(from);
    if (to != nullptr) {
      line->addWidget(new QLabel(tr("to")));
      line->addWidget(to);
    }
    line->addStretch(1);
    filters->addLayout(line, row, column + 1);
  };
  range(tr("&Created from:"), createdFrom_, createdTo_, 1, 0);
  range(tr("Resol&ved from:"), resolvedFrom_, resolvedTo_, 1, 2);
  range(tr("Patient fro&m:"), patientFrom_, patientTo_, 2, 0);
  range(tr("Responsible part&y:"), party_, nullptr, 2, 2);
  filters->addWidget(filterButton, 2, 4, Qt::AlignRight);
  filters->setColumnStretch(4, 1);

  model_ = new WorkListModel(list_, this);
  items_ = new QTableView;
  items_->setObjectName("items");
  items_->setModel(model_);
  items_->setSelectionBehavior(QAbstractItemView::SelectRows);
  items_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  items_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  items_->verticalHeader()->hide();
  items_->setWordWrap(false);
  items_->horizontalHeader()->setStretchLastSection(true);
  items_->installEventFilter(this);

  followUpDays_ = new QSpinBox;
  followUpDays_->setObjectName("followUpDays");
  followUpDays_->setRange(1, 365);
  followUpDays_->setValue(7);
  followUpDays_->setSuffix(tr(" days"));
  auto* daysLabel = new QLabel(tr("F8 follows up in:"));
  daysLabel->setBuddy(followUpDays_);
  count_ = new QLabel;
  count_->setObjectName("count");
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(count_, 1);
  bottom->addWidget(daysLabel);
  bottom->addWidget(followUpDays_);

  auto* buttons = new QDialogButtonBox;
  const auto command = [&](const QString& text, const char* name, void (WorkListWindow::*slot)()) {
    connect(addButton(buttons, text, name), &QPushButton::clicked, this, slot);
  };
  command(tr("&New"), "new", &WorkListWindow::newItem);
  command(tr("&Edit"), "edit", &WorkListWindow::editItem);
  command(tr("Le&dger (F7)"), "ledger", &WorkListWindow::openLedger);
  command(tr("&Follow Up (F8)"), "followUp", &WorkListWindow::followUpNext);
  command(tr("&Resolve (F6)"), "resolve", &WorkListWindow::resolve);
  command(tr("De&lete"), "delete", &WorkListWindow::removeItems);
  command(tr("Change Stat&us"), "changeStatus", &WorkListWindow::changeStatus);
  command(tr("Reassi&gn"), "reassign", &WorkListWindow::reassign);
  command(tr("&Print Work List"), "print", &WorkListWindow::printList);
  command(tr("Tr&acer"), "tracer", &WorkListWindow::printTracer);
  command(tr("Letter&s"), "letters", &WorkListWindow::letterRun);
  QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
  closeButton->setAutoDefault(false);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
  const auto key = [&](Qt::Key pressed, void (WorkListWindow::*slot)()) {
    auto* shortcut = new QShortcut(QKeySequence(pressed), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, slot);
  };
  key(Qt::Key_F6, &WorkListWindow::resolve);
  key(Qt::Key_F7, &WorkListWindow::openLedger);
  key(Qt::Key_F8, &WorkListWindow::followUpNext);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(items_, 1);
  layout->addLayout(bottom);
  layout->addWidget(buttons);
  resize(1040, 480);
  applyFilter();
  items_->setFocus();
}

WorkListWindow::~WorkListWindow() {
  delete tickler_.data();
  delete letters_.data();
}

bool WorkListWindow::applyFilter() {
  collections::WorkListFilter filter;
  const std::string user = desk_.practice.userCode();
  if (!user.empty()) filter.users = {user};
  filter.showAllTicklers = allTicklers_->isChecked();
  const auto from = typedDate(desk_.prompter, createdFrom_);
  const auto to = typedDate(desk_.prompter, createdTo_);
  if (!from || !to) return false;
  filter.createdFrom = *from;
  filter.createdTo = *to;
  const auto resolvedFrom = typedDate(desk_.prompter, resolvedFrom_);
  const auto resolvedTo = typedDate(desk_.prompter, resolvedTo_);
  if (!resolvedFrom || !resolvedTo) return false;
  filter.resolvedFrom = *resolvedFrom;
  filter.resolvedTo = *resolvedTo;
  filter.patientFrom = plain(patientFrom_->text());
  filter.patientTo = plain(patientTo_->text());
  filter.responsibleParty = plain(party_->text());
  const int status = status_->currentIndex();
  if (status < 2) filter.status = statusCodes[status];
  if (type_->currentIndex() > 0) filter.responsibleType = type_->currentIndex() == 1 ? "P" : "I";
  filter.deleted = deleted_->currentIndex() == 0   ? collections::WorkListFilter::Deleted::Exclude
                   : deleted_->currentIndex() == 1 ? collections::WorkListFilter::Deleted::Only
                                                   : collections::WorkListFilter::Deleted::Include;
  // A status chosen as well as "deleted only" would show nothing: the deleted choice rules.
  if (filter.deleted != collections::WorkListFilter::Deleted::Exclude) filter.status.clear();
  if (!list_.setFilter(filter)) return false;
  refresh();
  return true;
}

void WorkListWindow::refresh() {
  std::optional<std::int64_t> chosen;
  if (const store::Record* row = model_->itemAt(items_->currentIndex().row()))
    chosen = row->integer("Item Number");
  model_->reload();
  const std::int64_t total = list_.count();
  count_->setText(total == 1 ? tr("There is 1 item.") : tr("There are %1 items.").arg(total));
  int row = 0;
  for (int n = 0; chosen && n < model_->rowCount(); ++n)
    if (model_->itemAt(n)->integer("Item Number") == *chosen) row = n;
  if (model_->rowCount() > 0) items_->setCurrentIndex(model_->index(row, 0));
  items_->resizeColumnsToContents();
}

std::vector<std::int64_t> WorkListWindow::selectedItems() const {
  std::vector<std::int64_t> numbers;
  for (const QModelIndex& index : items_->selectionModel()->selectedRows())
    if (const store::Record* row = model_->itemAt(index.row()))
      numbers.push_back(row->integer("Item Number"));
  if (numbers.empty())
    if (const store::Record* row = model_->itemAt(items_->currentIndex().row()))
      numbers.push_back(row->integer("Item Number"));
  return numbers;
}

void WorkListWindow::showTickler(TicklerDialog* dialog) {
  if (!dialog->opened()) {
    delete dialog;
    return;
  }
  delete tickler_.data();
  tickler_ = dialog;
  tickler_->setSaved([this] { refresh(); });
  showAsWindow(tickler_);
}

void WorkListWindow::newItem() {
  showTickler(new TicklerDialog(desk_, std::nullopt, this));
}

void WorkListWindow::editItem() {
  const store::Record* row = model_->itemAt(items_->currentIndex().row());
  if (row == nullptr) return;
  showTickler(new TicklerDialog(desk_, row->integer("Item Number"), this));
}

void WorkListWindow::openLedger() {
  const store::Record* row = model_->itemAt(items_->currentIndex().row());
  if (row == nullptr || !desk_.openLedger) return;
  desk_.openLedger(std::string(store::trimRight(row->text("Patient"))));
}

void WorkListWindow::followUpNext() {
  const auto chosen = selectedItems();
  if (chosen.empty()) return;
  collections::StatusChange change;
  change.followUp = Date(std::chrono::year_month_day{desk_.clock.today().days() +
                                                     std::chrono::days(followUpDays_->value())});
  if (list_.changeStatus(change, chosen)) refresh();
}

void WorkListWindow::resolve() {
  const auto chosen = selectedItems();
  if (chosen.empty()) return;
  collections::StatusChange change;
  change.from = "*";
  change.to = collections::item_status::resolved;
  if (list_.changeStatus(change, chosen)) refresh();
}

void WorkListWindow::removeItems() {
  const auto chosen = selectedItems();
  if (!chosen.empty() && list_.remove(chosen)) refresh();
}

void WorkListWindow::changeStatus() {
  const auto chosen = selectedItems();
  WorkListStatusDialog dialog(
      desk_.prompter, !chosen.empty(),
      [&](const collections::StatusChange& change) { return list_.changeStatus(change, chosen); },
      this);
  if (dialog.exec() == QDialog::Accepted) refresh();
  items_->setFocus();
}

void WorkListWindow::reassign() {
  QDialog dialog(this);
  dialog.setObjectName("Reassign");
  dialog.setWindowTitle(tr("Reassign Ticklers"));
  auto* target = namedEdit("targetUser", 160);
  auto* chartFrom = namedEdit("chartFrom", 100);
  auto* chartTo = namedEdit("chartTo", 100);
  auto* balance = namedEdit("balanceAbove", 100);
  auto* patients = namedCheck(tr("&Patient"), "patients");
  auto* insurance = namedCheck(tr("&Insurance"), "insurance");
  auto* fromUser = namedEdit("fromUser", 160);
  auto* match = new QGroupBox(tr("Reassign Ticklers that match"));
  auto* form = new QFormLayout(match);
  auto* charts = new QHBoxLayout;
  charts->addWidget(chartFrom);
  charts->addWidget(new QLabel(tr("to")));
  charts->addWidget(chartTo);
  form->addRow(tr("C&hart Number from:"), charts);
  form->addRow(tr("Reassign items whose &balance is greater than:"), balance);
  auto* types = new QHBoxLayout;
  types->addWidget(patients);
  types->addWidget(insurance);
  form->addRow(tr("Responsible types:"), types);
  form->addRow(tr("Items of &user:"), fromUser);
  auto* top = new QFormLayout;
  top->addRow(tr("Assign &to:"), target);
  auto* buttons = new QDialogButtonBox;
  auto* ok = addButton(buttons, tr("&OK"), "ok");
  QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  connect(ok, &QPushButton::clicked, &dialog, [&] {
    collections::ReassignCriteria criteria;
    criteria.chartFrom = plain(chartFrom->text());
    criteria.chartTo = plain(chartTo->text());
    if (!plain(balance->text()).empty()) {
      const auto amount = Money::parse(plain(balance->text()));
      if (!amount) {
        desk_.prompter.error("\"" + plain(balance->text()) + "\" is not an amount.");
        return;
      }
      criteria.balanceAbove = *amount;
    }
    criteria.patients = patients->isChecked();
    criteria.insurance = insurance->isChecked();
    criteria.currentUser = plain(fromUser->text());
    if (list_.reassign(criteria, plain(target->text()))) dialog.accept();
  });
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(top);
  layout->addWidget(match);
  layout->addWidget(buttons);
  target->setFocus();
  if (dialog.exec() == QDialog::Accepted) refresh();
}

void WorkListWindow::printList() {
  const auto report =
      collections::workListReport(desk_.practice, list_.filter(), desk_.clock.today(), false);
  preview(reports::reportDocument(collections::workListPrintout(
              report, collections::readLetterhead(desk_.practice).name, desk_.clock.today())),
          "WorkListReport", desk_.prompter, this);
}

// The letters sent to the party the list is filtered on, or to every party.
void WorkListWindow::printTracer() {
  const auto lines = collections::collectionTracer(desk_.practice, list_.filter().responsibleParty);
  preview(reports::reportDocument(collections::tracerPrintout(
              lines, collections::readLetterhead(desk_.practice).name, desk_.clock.today())),
          "TracerReport", desk_.prompter, this);
}

void WorkListWindow::letterRun() {
  delete letters_.data();
  letters_ = new LetterRunDialog(desk_, this);
  letters_->setAttribute(Qt::WA_DeleteOnClose);
  connect(letters_, &QDialog::finished, this, &WorkListWindow::refresh);
  showAsWindow(letters_);
}

bool WorkListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == items_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (plainKey(key)) {
      if (key->key() == Qt::Key_Insert) return newItem(), true;
      if (isEnter(key)) return editItem(), true;
      if (key->key() == Qt::Key_Delete) return removeItems(), true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

PaymentPlanDialog::PaymentPlanDialog(const CollectionDesk& desk, const std::string& code,
                                     QWidget* parent)
    : QDialog(parent), model_(desk.practice, desk.prompter, desk.clock, desk.security) {
  setObjectName("PaymentPlan");
  setWindowTitle(tr("Patient Payment Plan"));
  opened_ = code.empty() ? model_.startNew() : model_.open(code);
  code_ = namedEdit("code", 60);
  description_ = namedEdit("description", 220);
  firstDue_ = namedEdit("firstPaymentDue", 50);
  dueEvery_ = namedEdit("dueEvery", 50);
  amountDue_ = namedEdit("amountDue", 100);
  amountDue_->setAlignment(Qt::AlignRight);
  auto* form = new QFormLayout;
  const auto row = [&](const QString& text, QWidget* input, const QString& after = {}) {
    auto* label = new QLabel(text);
    label->setBuddy(input);
    if (after.isEmpty()) return form->addRow(label, input);
    auto* line = new QHBoxLayout;
    line->addWidget(input);
    line->addWidget(new QLabel(after));
    line->addStretch(1);
    form->addRow(label, line);
  };
  row(tr("&Code:"), code_);
  row(tr("&Description:"), description_);
  row(tr("&First Payment Due:"), firstDue_, tr("day of the month"));
  row(tr("Due &Every:"), dueEvery_, tr("days"));
  row(tr("&Amount Due:"), amountDue_);
  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&OK"), "ok"), &QPushButton::clicked, this, [this] {
    if (save()) close();
  });
  connect(addButton(buttons, tr("&Save"), "save"), &QPushButton::clicked, this,
          &PaymentPlanDialog::save);
  QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  if (!opened_) return;
  const store::Record& plan = model_.record();
  code_->setText(trimmedText(plan.text("Code")));
  code_->setReadOnly(!code.empty());
  description_->setText(trimmedText(plan.text("Description")));
  if (!plan.isEmpty("First Payment Due"))
    firstDue_->setText(QString::number(plan.integer("First Payment Due")));
  if (!plan.isEmpty("Cycle Days")) dueEvery_->setText(QString::number(plan.integer("Cycle Days")));
  if (!plan.isEmpty("Amount Due")) amountDue_->setText(qt(plan.money("Amount Due").toString()));
  (code.empty() ? code_ : description_)->setFocus();
}

bool PaymentPlanDialog::save() {
  std::vector<std::pair<std::string, std::string>> fields = {
      {"Description", plain(description_->text())},
      {"First Payment Due", plain(firstDue_->text())},
      {"Cycle Days", plain(dueEvery_->text())},
      {"Amount Due", plain(amountDue_->text())}};
  if (!code_->isReadOnly()) fields.insert(fields.begin(), {"Code", plain(code_->text())});
  if (!model_.setFields(fields) || !model_.save()) return false;
  code_->setReadOnly(true);
  return true;
}

PaymentPlanListWindow::PaymentPlanListWindow(CollectionDesk desk, QWidget* parent)
    : QDialog(parent), desk_(std::move(desk)) {
  setObjectName("PaymentPlanList");
  setWindowTitle(tr("Patient Payment Plan List"));
  plans_ = new QTableWidget(0, 5);
  plans_->setObjectName("plans");
  plans_->setHorizontalHeaderLabels(
      {tr("Code"), tr("Description"), tr("First Payment Due"), tr("Due Every"), tr("Amount Due")});
  plans_->setSelectionBehavior(QAbstractItemView::SelectRows);
  plans_->setSelectionMode(QAbstractItemView::SingleSelection);
  plans_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  plans_->verticalHeader()->hide();
  plans_->horizontalHeader()->setStretchLastSection(true);
  plans_->installEventFilter(this);
  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&New"), "new"), &QPushButton::clicked, this,
          [this] { editPlan(true); });
  connect(addButton(buttons, tr("&Edit"), "edit"), &QPushButton::clicked, this,
          [this] { editPlan(false); });
  connect(addButton(buttons, tr("De&lete"), "delete"), &QPushButton::clicked, this,
          &PaymentPlanListWindow::deletePlan);
  QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
  closeButton->setAutoDefault(false);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(plans_, 1);
  layout->addWidget(buttons);
  resize(620, 320);
  refresh();
  plans_->setFocus();
}

void PaymentPlanListWindow::refresh() {
  const int current = std::max(0, plans_->currentRow());
  plans_->setRowCount(0);
  store::Table plans = desk_.practice.openTable("QVPPL");
  plans.setOrder("IdxCode");
  plans.forEach([&](const store::Record& plan) {
    const int row = plans_->rowCount();
    plans_->insertRow(row);
    const QStringList cells = {trimmedText(plan.text("Code")),
                               trimmedText(plan.text("Description")),
                               QString::number(plan.integer("First Payment Due")),
                               QString::number(plan.integer("Cycle Days")),
                               qt(plan.money("Amount Due").toGroupedString())};
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      plans_->setItem(row, column, item);
    }
  });
  plans_->resizeColumnsToContents();
  // Room for a plan's whole name (20 characters) before any plan is made.
  plans_->setColumnWidth(1, std::max(plans_->columnWidth(1), 200));
  if (plans_->rowCount() > 0) plans_->selectRow(std::min(current, plans_->rowCount() - 1));
}

void PaymentPlanListWindow::editPlan(bool isNew) {
  std::string code;
  if (!isNew) {
    if (plans_->currentRow() < 0) return;
    code = plain(plans_->item(plans_->currentRow(), 0)->text());
  }
  auto* dialog = new PaymentPlanDialog(desk_, code, this);
  if (!dialog->opened()) {
    delete dialog;
    return;
  }
  delete plan_.data();
  plan_ = dialog;
  plan_->setAttribute(Qt::WA_DeleteOnClose);
  connect(plan_, &QDialog::finished, this, &PaymentPlanListWindow::refresh);
  showAsWindow(plan_);
}

void PaymentPlanListWindow::deletePlan() {
  if (plans_->currentRow() < 0) return;
  collections::PaymentPlanWindow model(desk_.practice, desk_.prompter, desk_.clock, desk_.security);
  if (model.remove(plain(plans_->item(plans_->currentRow(), 0)->text()))) refresh();
}

bool PaymentPlanListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plans_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (plainKey(key)) {
      if (key->key() == Qt::Key_Insert) return editPlan(true), true;
      if (isEnter(key)) return editPlan(false), true;
      if (key->key() == Qt::Key_Delete) return deletePlan(), true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

LetterRunDialog::LetterRunDialog(CollectionDesk desk, QWidget* parent)
    : QDialog(parent), desk_(std::move(desk)) {
  setObjectName("CollectionLetters");
  setWindowTitle(tr("Collection Letters"));
  partyFrom_ = namedEdit("partyFrom", 110);
  partyTo_ = namedEdit("partyTo", 110);
  patientFrom_ = namedEdit("patientFrom", 110);
  patientTo_ = namedEdit("patientTo", 110);
  followUpFrom_ = namedEdit("followUpFrom", 110);
  followUpTo_ = namedEdit("followUpTo", 110);
  createdFrom_ = namedEdit("createdFrom", 110);
  createdTo_ = namedEdit("createdTo", 110);
  balanceFrom_ = namedEdit("balanceFrom", 110);
  balanceTo_ = namedEdit("balanceTo", 110);
  balanceFrom_->setText("0.01");
  balanceTo_->setText("99999.00");
  balanceFrom_->setAlignment(Qt::AlignRight);
  balanceTo_->setAlignment(Qt::AlignRight);
  status_ = namedCombo("status", {tr("Open"), tr("Resolved")});
  excludePlan_ = namedCheck(tr("&Exclude items that follow Payment Plan"), "excludePlan", true);
  generate_ = namedCheck(tr("&Generate Collection Letters"), "generateLetters", true);
  tracer_ = namedCheck(tr("Add To Collection &Tracer"), "addToTracer", true);
  auto* grid = new QGridLayout;
  int line = 0;
  const auto range = [&](const QString& text, QLineEdit* from, QLineEdit* to) {
    auto* label = new QLabel(text);
    label->setBuddy(from);
    grid->addWidget(label, line, 0);
    grid->addWidget(from, line, 1);
    grid->addWidget(new QLabel(tr("to")), line, 2);
    grid->addWidget(to, line, 3);
    ++line;
  };
  range(tr("&Responsible Party:"), partyFrom_, partyTo_);
  range(tr("&Patient:"), patientFrom_, patientTo_);
  range(tr("&Follow Up Date:"), followUpFrom_, followUpTo_);
  range(tr("Date &Created:"), createdFrom_, createdTo_);
  range(tr("&Balance:"), balanceFrom_, balanceTo_);
  auto* statusLabel = new QLabel(tr("&Status:"));
  statusLabel->setBuddy(status_);
  grid->addWidget(statusLabel, line, 0);
  grid->addWidget(status_, line++, 1);
  grid->addWidget(excludePlan_, line++, 0, 1, 4);
  grid->addWidget(generate_, line++, 0, 1, 4);
  grid->addWidget(tracer_, line++, 0, 1, 4);
  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&OK"), "ok"), &QPushButton::clicked, this, [this] {
    if (run()) close();
  });
  QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
  partyFrom_->setFocus();
}

bool LetterRunDialog::run() {
  collections::LetterRunCriteria criteria;
  criteria.partyFrom = plain(partyFrom_->text());
  criteria.partyTo = plain(partyTo_->text());
  criteria.patientFrom = plain(patientFrom_->text());
  criteria.patientTo = plain(patientTo_->text());
  for (auto [edit, date] : {std::pair{followUpFrom_, &criteria.followUpFrom},
                            std::pair{followUpTo_, &criteria.followUpTo},
                            std::pair{createdFrom_, &criteria.createdFrom},
                            std::pair{createdTo_, &criteria.createdTo}}) {
    const auto typed = typedDate(desk_.prompter, edit);
    if (!typed) return false;
    *date = *typed;
  }
  for (auto [edit, amount] : {std::pair{balanceFrom_, &criteria.balanceFrom},
                              std::pair{balanceTo_, &criteria.balanceTo}}) {
    const auto typed = Money::parse(plain(edit->text()));
    if (!typed) {
      desk_.prompter.error("\"" + plain(edit->text()) + "\" is not an amount.");
      return false;
    }
    *amount = *typed;
  }
  criteria.status = statusCodes[status_->currentIndex() == 1 ? 1 : 0];
  criteria.excludeFollowingPlan = excludePlan_->isChecked();
  criteria.generateLetters = generate_->isChecked();
  criteria.addToTracer = tracer_->isChecked();
  ProgressDialog progress(this);
  auto result = collections::runCollectionLetters(desk_.practice, desk_.prompter, desk_.clock,
                                                  criteria, &progress);
  if (!result) return false;
  if (criteria.generateLetters)
    preview(collections::collectionLetterDocument(
                result->letters, result->reasons, collections::readLetterhead(desk_.practice),
                collections::readCollectionOptions(desk_.practice).letterText, desk_.clock.today()),
            "CollectionLetters", desk_.prompter, parentWidget());
  if (!desk_.prompter.askYesNo("Do you want to print collection letters?")) return true;
  collections::recordCollectionLetters(desk_.practice, desk_.clock, criteria, *result);
  return true;
}

// ---------------------------------------------------------------------------------------------

void MainWindow::collectionList() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  CollectionDesk desk{*open->connection, prompter_, application_.clock(), open->security.get(),
                      [this](const std::string& chart) { transactionsOf(chart); }};
  showWorkWindow(new WorkListWindow(std::move(desk), this));
}

void MainWindow::paymentPlanList() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  const auto& table = collections::paymentPlanTable();
  if (table.viewItem >= 0 && !allowed(table.viewItem)) return;
  CollectionDesk desk{*open->connection, prompter_, application_.clock(), open->security.get(), {}};
  showWorkWindow(new PaymentPlanListWindow(std::move(desk), this));
}

}  // namespace vantrell::desktop
