#include "claim_windows.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "claims/claim_printing.hpp"
#include "claims/claim_slots.hpp"
#include "progress_dialog.hpp"
#include "store/names.hpp"
#include "widget_helpers.hpp"

// This file declares no slots; the keyword would hide the claim row's member.
#undef slots

namespace vantrell::desktop {
namespace {

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string plain(const QLineEdit* edit) {
  return edit->text().trimmed().toStdString();
}

constexpr std::size_t pageSize = 100;
// Claim Number and Chart Number, then six columns per slot, then Provider and Date Created.
constexpr int slotColumns = 6;
constexpr int firstSlotColumn = 2;

// The status codes as the combos list them, after a leading blank (or "All").
void addStatuses(QComboBox* combo) {
  for (char code = '0'; code <= '7'; ++code) {
    const std::string text(1, code);
    combo->addItem(qt(claims::claimStatusLabel(text)), qt(text));
  }
}

std::optional<std::string> chosenCode(const QComboBox* combo) {
  const QString code = combo->currentData().toString();
  if (code.isEmpty()) return std::nullopt;
  return code.toStdString();
}

// A date typed as MM/DD/YYYY (or ISO); an empty field is no date. False for text that is no date.
bool readDate(const QLineEdit* edit, Date& into) {
  const auto parsed = Date::parse(plain(edit));
  if (!parsed) return false;
  into = *parsed;
  return true;
}

void tidy(QTableView* view) {
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setTabKeyNavigation(false);  // Tab goes on to the buttons, not the next cell
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->verticalHeader()->hide();
  view->setWordWrap(false);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

ClaimListModel::ClaimListModel(claims::ClaimList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  reload();
}

const std::vector<std::string>& ClaimListModel::columns() {
  static const std::vector<std::string> titles = [] {
    std::vector<std::string> made = {"Claim Number", "Chart Number"};
    for (int n = 1; n <= claims::slotCount; ++n) {
      const std::string suffix = " " + std::to_string(n);
      for (const char* title :
           {"Carrier", "Status", "Medium", "Batch", "Billing Date", "EDI Receiver"})
        made.push_back(title + suffix);
    }
    made.emplace_back("Provider");
    made.emplace_back("Date Created");
    return made;
  }();
  return titles;
}

void ClaimListModel::reload() {
  beginResetModel();
  list_.restart();
  rows_ = list_.nextPage(pageSize);
  atEnd_ = rows_.size() < pageSize;
  endResetModel();
}

std::optional<std::int64_t> ClaimListModel::claimAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return std::nullopt;
  return rows_[static_cast<std::size_t>(row)].claimNumber;
}

int ClaimListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ClaimListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns().size());
}

QVariant ClaimListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int column = index.column();
  const bool number =
      column == 0 || (column >= firstSlotColumn && column < firstSlotColumn + 3 * slotColumns &&
                      (column - firstSlotColumn) % slotColumns == 3);
  if (role == Qt::TextAlignmentRole)
    return number ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
  if (role != Qt::DisplayRole) return {};
  const claims::ClaimListRow& row = rows_[static_cast<std::size_t>(index.row())];
  if (column == 0) return QString::number(row.claimNumber);
  if (column == 1) return qt(row.chartNumber);
  const int afterSlots = firstSlotColumn + claims::slotCount * slotColumns;
  if (column == afterSlots) return qt(row.provider);
  if (column == afterSlots + 1) return qt(row.dateCreated.toMonthDayYear());
  const auto& slot = row.slots[static_cast<std::size_t>((column - firstSlotColumn) / slotColumns)];
  switch ((column - firstSlotColumn) % slotColumns) {
    case 0:
      return qt(slot.carrier);
    case 1:
      return qt(slot.status);
    case 2:
      return qt(slot.medium);
    case 3:
      // A slot never sent shows no batch.
      return slot.batch == 0 ? QString() : QString::number(slot.batch);
    case 4:
      return qt(slot.billingDate.toMonthDayYear());
    default:
      return qt(slot.receiver);
  }
}

QVariant ClaimListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return qt(columns()[static_cast<std::size_t>(section)]);
}

bool ClaimListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_;
}

void ClaimListModel::fetchMore(const QModelIndex&) {
  auto more = list_.nextPage(pageSize);
  atEnd_ = more.size() < pageSize;
  if (more.empty()) return;
  beginInsertRows({}, static_cast<int>(rows_.size()),
                  static_cast<int>(rows_.size() + more.size()) - 1);
  for (auto& row : more) rows_.push_back(std::move(row));
  endInsertRows();
}

// ---------------------------------------------------------------------------------------------

ClaimFilterDialog::ClaimFilterDialog(claims::ClaimList& list, ui::Prompter& prompter,
                                     QWidget* parent)
    : QDialog(parent), list_(list), prompter_(prompter) {
  setObjectName("ClaimFilter");
  setWindowTitle(tr("List Only Claims That Match"));
  auto* form = new QFormLayout;
  named_ = new QComboBox;
  named_->setObjectName("namedFilters");
  named_->setMinimumContentsLength(16);
  named_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  auto* saveNamed = new QPushButton(tr("Save &As..."));
  saveNamed->setObjectName("saveFilter");
  saveNamed->setAutoDefault(false);
  auto* deleteNamed = new QPushButton(tr("Dele&te"));
  deleteNamed->setObjectName("deleteFilter");
  deleteNamed->setAutoDefault(false);
  auto* namedRow = new QHBoxLayout;
  namedRow->addWidget(named_, 1);
  namedRow->addWidget(saveNamed);
  namedRow->addWidget(deleteNamed);
  chart_ = namedEdit("chartNumber", 120);
  created_ = namedEdit("dateCreated", 120);
  slot_ = namedCombo("slot", {tr("All"), tr("Primary"), tr("Secondary"), tr("Tertiary")});
  carrier_ = namedEdit("carrier", 120);
  receiver_ = namedEdit("receiver", 120);
  method_ = new QComboBox;
  method_->setObjectName("billingMethod");
  method_->addItem(tr("All"), QString());
  method_->addItem(tr("Paper"), qt(claims::billing_method::paper));
  method_->addItem(tr("Electronic"), qt(claims::billing_method::electronic));
  status_ = new QComboBox;
  status_->setObjectName("status");
  status_->addItem(tr("All"), QString());
  addStatuses(status_);
  billingDate_ = namedEdit("billingDate", 120);
  batch_ = namedEdit("batch", 120);
  excludeDone_ = new QCheckBox(tr("E&xclude Done"));
  excludeDone_->setObjectName("excludeDone");
  show(list_.filterDialogPreset());
  listNamedFilters(QString());

  form->addRow(tr("Sa&ved Filter:"), namedRow);
  form->addRow(tr("C&hart Number:"), chart_);
  form->addRow(tr("Date C&reated:"), created_);
  form->addRow(tr("Carrier S&lot:"), slot_);
  form->addRow(tr("&Insurance Carrier:"), carrier_);
  form->addRow(tr("&EDI Receiver:"), receiver_);
  form->addRow(tr("Billing &Method:"), method_);
  form->addRow(tr("Claim &Status:"), status_);
  form->addRow(tr("&Billing Date:"), billingDate_);
  form->addRow(tr("Batch N&umber:"), batch_);
  form->addRow(QString(), excludeDone_);
  // Choosing a saved filter fills the fields with it, to use or change.
  connect(named_, &QComboBox::activated, this, &ClaimFilterDialog::useNamedFilter);
  connect(saveNamed, &QPushButton::clicked, this, &ClaimFilterDialog::saveNamedFilter);
  connect(deleteNamed, &QPushButton::clicked, this, &ClaimFilterDialog::deleteNamedFilter);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  // Enter may move between the fields; Alt+O confirms from any of them.
  buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &ClaimFilterDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  chart_->setFocus();
}

void ClaimFilterDialog::show(const claims::ClaimFilter& preset) {
  chart_->setText(qt(preset.chartNumber));
  created_->setText(qt(preset.dateCreated.toMonthDayYear()));
  slot_->setCurrentIndex(preset.slot);
  carrier_->setText(qt(preset.carrier));
  receiver_->setText(qt(preset.receiver));
  method_->setCurrentIndex(std::max(0, method_->findData(qt(preset.billingMethod))));
  status_->setCurrentIndex(std::max(0, status_->findData(qt(preset.status))));
  billingDate_->setText(qt(preset.billingDate.toMonthDayYear()));
  batch_->setText(preset.batch ? QString::number(*preset.batch) : QString());
  excludeDone_->setChecked(preset.excludeDone);
}

void ClaimFilterDialog::listNamedFilters(const QString& current) {
  named_->clear();
  named_->addItem(QString());
  for (const std::string& name : list_.namedFilters()) named_->addItem(qt(name));
  named_->setCurrentIndex(std::max(0, named_->findText(current)));
}

void ClaimFilterDialog::useNamedFilter() {
  const std::string name = named_->currentText().toStdString();
  if (name.empty()) return;
  if (const auto saved = list_.namedFilter(name)) show(*saved);
}

void ClaimFilterDialog::saveNamedFilter() {
  const auto typed = filter();
  if (!typed) return;
  bool ok = false;
  const QString name = QInputDialog::getText(this, tr("Save Filter"), tr("Filter &name:"),
                                             QLineEdit::Normal, named_->currentText(), &ok)
                           .trimmed();
  if (!ok || name.isEmpty()) return;
  if (list_.saveNamedFilter(name.toStdString(), *typed)) listNamedFilters(name);
}

void ClaimFilterDialog::deleteNamedFilter() {
  const std::string name = named_->currentText().toStdString();
  if (name.empty()) return;
  if (!prompter_.askYesNo("Delete the saved filter \"" + name + "\"?", "Saved Filters")) return;
  list_.deleteNamedFilter(name);
  listNamedFilters(QString());
}

std::optional<claims::ClaimFilter> ClaimFilterDialog::filter() const {
  claims::ClaimFilter made;
  made.chartNumber = plain(chart_);
  if (!readDate(created_, made.dateCreated) || !readDate(billingDate_, made.billingDate)) {
    prompter_.error("Enter dates as MM/DD/YYYY.");
    return std::nullopt;
  }
  made.slot = slot_->currentIndex();
  made.carrier = plain(carrier_);
  made.receiver = plain(receiver_);
  made.billingMethod = method_->currentData().toString().toStdString();
  made.status = status_->currentData().toString().toStdString();
  if (!plain(batch_).empty()) {
    bool read = false;
    const qlonglong batch = batch_->text().trimmed().toLongLong(&read);
    if (!read) {
      prompter_.error("The batch number is a whole number.");
      return std::nullopt;
    }
    made.batch = batch;
  }
  made.excludeDone = excludeDone_->isChecked();
  return made;
}

void ClaimFilterDialog::accept() {
  if (filter()) QDialog::accept();
}

// ---------------------------------------------------------------------------------------------

CreateClaimsDialog::CreateClaimsDialog(claims::ClaimCriteriaDialog& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName("CreateClaims");
  setWindowTitle(tr("Create Claims"));
  const claims::ClaimCriteria& preset = model_.criteria();
  auto* grid = new QGridLayout;
  const auto range = [&](int row, const QString& title, QLineEdit* from, QLineEdit* to) {
    auto* label = new QLabel(title);
    label->setBuddy(from);
    grid->addWidget(label, row, 0);
    grid->addWidget(from, row, 1);
    grid->addWidget(new QLabel(tr("to")), row, 2);
    grid->addWidget(to, row, 3);
  };
  fromDate_ = namedEdit("fromDate", 110);
  toDate_ = namedEdit("toDate", 110);
  fromChart_ = namedEdit("fromChart", 110);
  toChart_ = namedEdit("toChart", 110);
  range(0, tr("Transaction &Dates:"), fromDate_, toDate_);
  range(1, tr("C&hart Numbers:"), fromChart_, toChart_);
  const auto line = [&](int row, const QString& title, QLineEdit* edit) {
    auto* label = new QLabel(title);
    label->setBuddy(edit);
    edit->setMaxLength(100);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1, 1, 3);
  };
  primary_ = namedEdit("primaryInsurance");
  billingCodes_ = namedEdit("billingCodes");
  indicators_ = namedEdit("caseIndicators");
  location_ = namedEdit("location");
  provider_ = namedEdit("provider");
  minimum_ = namedEdit("minimum", 110);
  minimum_->setMaxLength(10);
  line(2, tr("&Primary Insurance:"), primary_);
  line(3, tr("&Billing Codes:"), billingCodes_);
  line(4, tr("Case &Indicator:"), indicators_);
  line(5, tr("&Location:"), location_);
  line(6, tr("Pro&vider:"), provider_);
  connect(provider_, &QLineEdit::textEdited, this, [this](const QString& text) {
    // The field holds what the model keeps: upper case.
    const int at = provider_->cursorPosition();
    model_.setProvider(text.toStdString());
    provider_->setText(qt(model_.criteria().provider));
    provider_->setCursorPosition(at);
  });
  assigned_ = new QRadioButton(tr("A&ssigned"));
  assigned_->setObjectName("assigned");
  attending_ = new QRadioButton(tr("A&ttending"));
  attending_->setObjectName("attending");
  (preset.providerMode == claims::ProviderMode::Attending ? attending_ : assigned_)
      ->setChecked(true);
  connect(attending_, &QRadioButton::toggled, this, [this](bool on) {
    model_.setProviderMode(on ? claims::ProviderMode::Attending : claims::ProviderMode::Assigned);
  });
  auto* mode = new QHBoxLayout;
  mode->addWidget(assigned_);
  mode->addWidget(attending_);
  mode->addStretch();
  grid->addLayout(mode, 7, 1, 1, 3);
  line(8, tr("&Minimum Claim Total:"), minimum_);
  minimum_->setAlignment(Qt::AlignRight);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &CreateClaimsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
  fromDate_->setFocus();
}

bool CreateClaimsDialog::readFields() {
  claims::ClaimCriteria& criteria = model_.criteria();
  const auto date = [&](QLineEdit* edit, Date& into) {
    if (readDate(edit, into)) return true;
    QApplication::beep();
    edit->setFocus();
    edit->selectAll();
    return false;
  };
  if (!date(fromDate_, criteria.fromDate) || !date(toDate_, criteria.toDate)) return false;
  criteria.fromChart = store::upperAscii(plain(fromChart_));
  criteria.toChart = store::upperAscii(plain(toChart_));
  criteria.primaryInsurance = plain(primary_);
  criteria.billingCodes = plain(billingCodes_);
  criteria.caseIndicators = plain(indicators_);
  criteria.location = plain(location_);
  model_.setProvider(plain(provider_));
  criteria.minimum = Money{};
  if (!plain(minimum_).empty()) {
    const auto amount = Money::parse(plain(minimum_));
    if (!amount) {
      QApplication::beep();
      minimum_->setFocus();
      minimum_->selectAll();
      return false;
    }
    criteria.minimum = *amount;
  }
  return true;
}

void CreateClaimsDialog::accept() {
  if (!readFields()) return;
  switch (model_.confirm()) {
    case claims::ClaimCriteriaDialog::Field::None:
      QDialog::accept();
      return;
    case claims::ClaimCriteriaDialog::Field::ToDate:
      toDate_->setFocus();
      return;
    case claims::ClaimCriteriaDialog::Field::ToChart:
      toChart_->setFocus();
      return;
    case claims::ClaimCriteriaDialog::Field::PrimaryInsurance:
      primary_->setFocus();
      return;
  }
}

// ---------------------------------------------------------------------------------------------

ClaimStatusDialog::ClaimStatusDialog(std::int64_t presetBatch, QWidget* parent) : QDialog(parent) {
  setObjectName("ChangeStatus");
  setWindowTitle(tr("Change Claim Status/Billing Method"));
  selected_ = new QRadioButton(tr("S&elected Claim(s)"));
  selected_->setObjectName("selectedClaims");
  selected_->setChecked(true);
  batchScope_ = new QRadioButton(tr("&Batch :"));
  batchScope_->setObjectName("batchScope");
  batch_ = namedEdit("batch", 90);
  batch_->setText(QString::number(presetBatch));
  auto* scope = new QHBoxLayout;
  scope->addWidget(selected_);
  scope->addWidget(batchScope_);
  scope->addWidget(batch_);
  scope->addStretch();

  statusFrom_ = new QComboBox;
  statusFrom_->setObjectName("statusFrom");
  statusFrom_->addItem(QString(), QString());
  addStatuses(statusFrom_);
  statusFrom_->addItem(tr("Any status type"), qt(claims::anyStatus));
  statusTo_ = new QComboBox;
  statusTo_->setObjectName("statusTo");
  statusTo_->addItem(QString(), QString());
  addStatuses(statusTo_);
  slot_ = namedCombo("slot", {tr("All"), tr("Primary"), tr("Secondary"), tr("Tertiary")});
  const auto methods = [](const char* name) {
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    combo->addItem(QString(), QString());
    combo->addItem(tr("Paper"), qt(claims::billing_method::paper));
    combo->addItem(tr("Electronic"), qt(claims::billing_method::electronic));
    return combo;
  };
  methodFrom_ = methods("methodFrom");
  methodTo_ = methods("methodTo");

  auto* form = new QFormLayout;
  form->addRow(tr("Status &From:"), statusFrom_);
  form->addRow(tr("Status &To:"), statusTo_);
  form->addRow(tr("For C&arrier:"), slot_);
  form->addRow(tr("Billing &Method From:"), methodFrom_);
  form->addRow(tr("Billin&g Method To:"), methodTo_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(scope);
  layout->addLayout(form);
  layout->addWidget(buttons);
  statusFrom_->setFocus();
}

claims::StatusChange ClaimStatusDialog::change() const {
  claims::StatusChange made;
  // An empty batch field is batch 0.
  if (batchScope_->isChecked()) made.batch = batch_->text().trimmed().toLongLong();
  made.fromStatus = chosenCode(statusFrom_);
  made.toStatus = chosenCode(statusTo_);
  made.slot = slot_->currentIndex();
  made.methodFrom = chosenCode(methodFrom_);
  made.methodTo = chosenCode(methodTo_);
  return made;
}

// ---------------------------------------------------------------------------------------------

namespace {

// Ctrl+T in a note puts the date and the user's code at the cursor.
class StampingNote : public QPlainTextEdit {
 public:
  StampingNote(std::function<std::string()> stamp) : stamp_(std::move(stamp)) {
    setTabChangesFocus(true);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_T && event->modifiers() == Qt::ControlModifier) {
      insertPlainText(qt(stamp_()));
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  }

 private:
  std::function<std::string()> stamp_;
};

const std::vector<std::string>& chargeColumns() {
  static const std::vector<std::string> columns = {"Entry Number",     "Date From",
                                                   "Procedure Code",   "Amount",
                                                   "Diagnosis Code 1", "Diagnosis Code 2"};
  return columns;
}

void fillCharges(QTableWidget* table, const std::vector<store::Record>& rows) {
  table->clearContents();
  table->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t at = 0; at < rows.size(); ++at) {
    const store::Record& row = rows[at];
    const auto put = [&](int column, const QString& text, bool right = false) {
      auto* item = new QTableWidgetItem(text);
      if (right) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table->setItem(static_cast<int>(at), column, item);
    };
    put(0, QString::number(row.integer("Entry Number")), true);
    put(1, qt(row.date("Date From").toMonthDayYear()));
    put(2, qt(row.text("Procedure Code")));
    put(3, qt(row.money("Amount").toString()), true);
    put(4, qt(row.text("Diagnosis Code 1")));
    put(5, qt(row.text("Diagnosis Code 2")));
  }
  table->resizeColumnsToContents();
}

QTableWidget* chargeTable(const char* name) {
  auto* table = new QTableWidget(0, static_cast<int>(chargeColumns().size()));
  table->setObjectName(name);
  QStringList headers;
  for (const auto& column : chargeColumns()) headers << qt(column);
  table->setHorizontalHeaderLabels(headers);
  tidy(table);
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

std::vector<std::int64_t> markedIn(const QTableWidget* table) {
  std::vector<std::int64_t> entries;
  for (const QModelIndex& row : table->selectionModel()->selectedRows())
    entries.push_back(table->item(row.row(), 0)->text().toLongLong());
  return entries;
}

}  // namespace

ClaimEditorWindow::ClaimEditorWindow(claims::ClaimEditor& editor, ui::Prompter& prompter,
                                     std::function<std::string()> stamp, QWidget* parent)
    : QDialog(parent), editor_(editor), prompter_(prompter), stamp_(std::move(stamp)) {
  setObjectName("ClaimEditor");
  setWindowTitle(qt(editor_.title()));
  const store::Record& claim = editor_.claim();

  auto* slotGrid = new QGridLayout;
  slotGrid->addWidget(new QLabel(tr("Carrier")), 0, 1);
  slotGrid->addWidget(new QLabel(tr("Status")), 0, 2);
  slotGrid->addWidget(new QLabel(tr("Billing Method")), 0, 3);
  for (int n = 1; n <= claims::slotCount; ++n) {
    const claims::ClaimSlotFields fields = claims::claimSlotFields(n);
    auto* title = new QLabel(tr("Carrier &%1:").arg(n));
    auto* carrier = namedEdit(("carrier" + std::to_string(n)).c_str(), 90);
    carrier->setText(qt(claim.text(fields.carrier)));
    title->setBuddy(carrier);
    auto* status = new QComboBox;
    status->setObjectName(qt("status" + std::to_string(n)));
    addStatuses(status);
    status->setCurrentIndex(std::max(0, status->findData(qt(claim.text(fields.status)))));
    auto* method = new QComboBox;
    method->setObjectName(qt("method" + std::to_string(n)));
    method->addItem(tr("Paper"), qt(claims::billing_method::paper));
    method->addItem(tr("EDI"), qt(claims::billing_method::electronic));
    method->setCurrentIndex(
        claim.text(fields.billingMethod) == claims::billing_method::electronic ? 1 : 0);
    slotGrid->addWidget(title, n, 0);
    slotGrid->addWidget(carrier, n, 1);
    slotGrid->addWidget(status, n, 2);
    slotGrid->addWidget(method, n, 3);
    carriers_.push_back(carrier);
    statuses_.push_back(status);
    methods_.push_back(method);
    // An inactive carrier is refused as it is left, and the one before comes back.
    connect(carrier, &QLineEdit::editingFinished, this, [this, carrier, fields] {
      if (carrier->text().toStdString() == editor_.claim().text(fields.carrier)) return;
      if (!editor_.setField(fields.carrier, carrier->text().toStdString()))
        carrier->setText(qt(editor_.claim().text(fields.carrier)));
    });
  }
  auto* providerLabel = new QLabel(tr("P&rovider:"));
  provider_ = namedEdit("provider", 90);
  provider_->setText(qt(claim.text("Provider")));
  providerLabel->setBuddy(provider_);
  slotGrid->addWidget(providerLabel, claims::slotCount + 1, 0);
  slotGrid->addWidget(provider_, claims::slotCount + 1, 1);
  slotGrid->setColumnStretch(4, 1);

  auto* commentLabel = new QLabel(tr("Co&mment (Ctrl+T stamps the date):"));
  comment_ = new StampingNote(stamp_);
  comment_->setObjectName("comment");
  comment_->setPlainText(qt(claim.text("Comment")));
  comment_->setMaximumHeight(80);
  commentLabel->setBuddy(comment_);

  auto* chargesLabel = new QLabel(tr("C&harges (Ctrl or Shift marks):"));
  charges_ = chargeTable("charges");
  charges_->setMinimumSize(560, 150);
  chargesLabel->setBuddy(charges_);

  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&Add"), "add"), &QPushButton::clicked, this,
          &ClaimEditorWindow::addCharges);
  connect(addButton(buttons, tr("Remo&ve"), "remove"), &QPushButton::clicked, this,
          &ClaimEditorWindow::removeCharges);
  connect(addButton(buttons, tr("S&plit"), "split"), &QPushButton::clicked, this,
          &ClaimEditorWindow::splitCharges);
  auto* saveButton = buttons->addButton(QDialogButtonBox::Save);
  saveButton->setObjectName("save");
  saveButton->setAutoDefault(false);
  connect(saveButton, &QPushButton::clicked, this, [this] {
    if (save()) accept();
  });
  auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  cancel->setObjectName("cancel");
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  for (const auto& keys : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, saveButton, &QPushButton::click);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(slotGrid);
  layout->addWidget(commentLabel);
  layout->addWidget(comment_);
  layout->addWidget(chargesLabel);
  layout->addWidget(charges_, 1);
  layout->addWidget(buttons);
  showCharges();
  resize(680, 520);
  carriers_.front()->setFocus();
}

void ClaimEditorWindow::showCharges() {
  fillCharges(charges_, editor_.charges());
  if (charges_->rowCount() > 0) charges_->setCurrentCell(0, 0);
}

std::vector<std::int64_t> ClaimEditorWindow::markedEntries() const {
  return markedIn(charges_);
}

void ClaimEditorWindow::addCharges() {
  const auto candidates = editor_.addCandidates();
  if (!candidates) return;
  QDialog picker(this);
  picker.setObjectName("AddCharges");
  picker.setWindowTitle(tr("Add Transactions to Claim"));
  auto* table = chargeTable("candidates");
  fillCharges(table, *candidates);
  table->setMinimumSize(520, 160);
  if (table->rowCount() > 0) table->selectRow(0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, &picker, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &picker, &QDialog::reject);
  auto* layout = new QVBoxLayout(&picker);
  layout->addWidget(table);
  layout->addWidget(buttons);
  table->setFocus();
  if (picker.exec() != QDialog::Accepted) return;
  if (editor_.addCharges(markedIn(table))) {
    showCharges();
    if (changed_) changed_();
  }
}

void ClaimEditorWindow::removeCharges() {
  if (editor_.removeCharges(markedEntries())) {
    showCharges();
    if (changed_) changed_();
  }
}

void ClaimEditorWindow::splitCharges() {
  const int cursorRow = charges_->currentRow();
  const std::int64_t cursorEntry =
      cursorRow >= 0 ? charges_->item(cursorRow, 0)->text().toLongLong() : 0;
  if (const auto made = editor_.splitCharges(markedEntries(), cursorEntry)) {
    // The new claim shows in the list.
    showCharges();
    if (changed_) changed_();
  }
}

bool ClaimEditorWindow::save() {
  for (int n = 1; n <= claims::slotCount; ++n) {
    const claims::ClaimSlotFields fields = claims::claimSlotFields(n);
    const auto at = static_cast<std::size_t>(n - 1);
    if (carriers_[at]->text().toStdString() != editor_.claim().text(fields.carrier) &&
        !editor_.setField(fields.carrier, carriers_[at]->text().toStdString())) {
      carriers_[at]->setFocus();
      return false;
    }
    if (!editor_.setField(fields.status, statuses_[at]->currentData().toString().toStdString()) ||
        !editor_.setField(fields.billingMethod,
                          methods_[at]->currentData().toString().toStdString()))
      return false;
  }
  if (!editor_.setField("Provider", provider_->text().trimmed().toUpper().toStdString()) ||
      !editor_.setField("Comment", comment_->toPlainText().toStdString()))
    return false;
  if (!editor_.save()) return false;
  if (changed_) changed_();
  return true;
}

// ---------------------------------------------------------------------------------------------

ClaimManagementWindow::ClaimManagementWindow(claims::ClaimSurroundings surroundings,
                                             ui::Settings& settings, QWidget* parent)
    : QDialog(parent),
      context_(surroundings),
      settings_(settings),
      list_(surroundings.practice, surroundings.prompter, settings, surroundings.estimate),
      editors_(surroundings) {
  setObjectName("ClaimManagement");
  setWindowTitle(qt(list_.title()));
  model_ = new ClaimListModel(list_, this);
  claims_ = new QTableView;
  claims_->setObjectName("claims");
  claims_->setModel(model_);
  tidy(claims_);
  claims_->setMinimumSize(900, 300);
  claims_->horizontalHeader()->setSectionsClickable(true);
  // A click on a title orders the list by that column, from the store.
  connect(claims_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    if (list_.sortBy(ClaimListModel::columns()[static_cast<std::size_t>(section)])) refresh();
  });
  connect(claims_, &QTableView::doubleClicked, this, &ClaimManagementWindow::editClaim);
  claims_->installEventFilter(this);
  count_ = new QLabel;
  count_->setObjectName("count");

  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&Edit"), "edit"), &QPushButton::clicked, this,
          &ClaimManagementWindow::editClaim);
  connect(addButton(buttons, tr("Create &Claims"), "createClaims"), &QPushButton::clicked, this,
          &ClaimManagementWindow::createClaims);
  connect(addButton(buttons, tr("&Delete"), "delete"), &QPushButton::clicked, this,
          &ClaimManagementWindow::deleteClaims);
  connect(addButton(buttons, tr("Change &Status"), "changeStatus"), &QPushButton::clicked, this,
          &ClaimManagementWindow::changeStatus);
  connect(addButton(buttons, tr("&Note"), "note"), &QPushButton::clicked, this,
          &ClaimManagementWindow::claimNote);
  connect(addButton(buttons, tr("&Filter"), "filter"), &QPushButton::clicked, this,
          &ClaimManagementWindow::chooseFilter);
  connect(addButton(buttons, tr("&Print/Send"), "printSend"), &QPushButton::clicked, this,
          &ClaimManagementWindow::printSend);
  connect(addButton(buttons, tr("&Rebill"), "rebill"), &QPushButton::clicked, this,
          &ClaimManagementWindow::rebillClaims);
  connect(addButton(buttons, tr("Chec&k"), "check"), &QPushButton::clicked, this,
          &ClaimManagementWindow::checkClaims);
  // Esc closes too; the button has no access key, so that Alt+C is Create Claims alone.
  auto* close = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(new QShortcut(QKeySequence(Qt::Key_Delete), claims_), &QShortcut::activated, this,
          &ClaimManagementWindow::deleteClaims);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(claims_, 1);
  layout->addWidget(count_);
  layout->addWidget(buttons);
  resize(1040, 460);
  refresh();
  claims_->setFocus();
}

bool ClaimManagementWindow::eventFilter(QObject* watched, QEvent* event) {
  // Enter edits the claim at the cursor, and goes no further: the window's own Enter would
  // press a default button, and the claim windows are its children.
  if (watched == claims_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      editClaim();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

ClaimManagementWindow::~ClaimManagementWindow() {
  for (auto& [number, window] : editorWindows_) delete window.data();
}

void ClaimManagementWindow::closeEvent(QCloseEvent* event) {
  // The claim windows close with their list; each one closed leaves the map.
  std::vector<QPointer<ClaimEditorWindow>> open;
  for (auto& [number, window] : editorWindows_) open.push_back(window);
  for (auto& window : open) {
    if (window != nullptr) window->close();
  }
  QDialog::closeEvent(event);
}

void ClaimManagementWindow::refresh() {
  const auto current = currentClaim();
  model_->reload();
  count_->setText(tr("%n claim(s)", nullptr, static_cast<int>(list_.claimCount())));
  int row = 0;
  if (current) {
    for (int at = 0; at < model_->rowCount(); ++at) {
      if (model_->claimAt(at) == current) row = at;
    }
  }
  if (model_->rowCount() > 0) claims_->setCurrentIndex(model_->index(row, 0));
  // Sized to the titles and the page read, never to the whole table.
  claims_->resizeColumnsToContents();
}

std::optional<std::int64_t> ClaimManagementWindow::currentClaim() const {
  return model_->claimAt(claims_->currentIndex().row());
}

std::vector<std::int64_t> ClaimManagementWindow::markedClaims() const {
  std::vector<std::int64_t> marked;
  for (const QModelIndex& row : claims_->selectionModel()->selectedRows()) {
    if (const auto number = model_->claimAt(row.row())) marked.push_back(*number);
  }
  std::sort(marked.begin(), marked.end());
  return marked;
}

std::string ClaimManagementWindow::noteStamp() const {
  const Date today =
      context_.programDate ? context_.programDate() : context_.practice.clock().now().date();
  return claims::noteStamp(today, claims::currentUserCode(context_));
}

void ClaimManagementWindow::editClaim() {
  if (const auto number = currentClaim()) openClaim(*number);
}

void ClaimManagementWindow::openClaim(std::int64_t claimNumber) {
  const std::optional<std::int64_t> number = claimNumber;
  claims::ClaimEditor* editor = editors_.edit(*number);
  if (editor == nullptr) return;
  if (editors_.broughtForward()) {
    if (QPointer<ClaimEditorWindow>& open = editorWindows_[*number]; open != nullptr) {
      open->raise();
      open->activateWindow();
      return;
    }
  }
  auto* window = new ClaimEditorWindow(
      *editor, context_.prompter, [this] { return noteStamp(); }, this);
  window->setModal(false);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setChanged([this] { refresh(); });
  connect(window, &QDialog::finished, this, [this, claimNumber] {
    // Lets the claim and its patient go.
    editorWindows_.erase(claimNumber);
    editors_.close(claimNumber);
  });
  editorWindows_[claimNumber] = window;
  window->show();
  window->raise();
  window->activateWindow();
}

void ClaimManagementWindow::createClaims() {
  claims::ClaimCriteriaDialog criteria(settings_, context_.prompter);
  CreateClaimsDialog dialog(criteria, this);
  if (dialog.exec() != QDialog::Accepted) return;
  ProgressDialog progress(this);
  claims::ClaimCreationContext run{context_.practice, context_.prompter, context_.security,
                                   &progress, context_.estimate};
  const claims::ClaimCreationResult result = claims::createClaims(run, criteria.criteria());
  if (result.permitted) refresh();
}

void ClaimManagementWindow::deleteClaims() {
  const auto chosen = claims::claimsToDelete(markedClaims(), currentClaim());
  if (chosen.empty()) return;
  // A claim open in its window holds its patient: the lock refuses it with the system's words.
  ProgressDialog progress(this);
  claims::ClaimSurroundings surroundings = context_;
  surroundings.progress = &progress;
  claims::ClaimActions actions(surroundings);
  if (actions.deleteClaims(chosen)) refresh();
}

void ClaimManagementWindow::changeStatus() {
  claims::ClaimActions actions(context_);
  const auto current = currentClaim();
  ClaimStatusDialog dialog(current ? actions.presetBatch(*current) : 0, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const auto selected = claims::claimsToChangeStatus(markedClaims());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool changed = actions.changeStatus(dialog.change(), selected);
  QApplication::restoreOverrideCursor();
  if (changed) refresh();
}

void ClaimManagementWindow::claimNote() {
  const auto number = currentClaim();
  if (!number) return;
  auto note = claims::ClaimNote::open(context_, *number);
  if (!note) return;
  QDialog dialog(this);
  dialog.setObjectName("ClaimNote");
  dialog.setWindowTitle(tr("Claim Note: %1").arg(*number));
  auto* text = new StampingNote([this] { return noteStamp(); });
  text->setObjectName("note");
  text->setPlainText(qt(note->text));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  layout->addWidget(buttons);
  text->setFocus();
  if (dialog.exec() == QDialog::Accepted) {
    note->text = text->toPlainText().toStdString();
    note->save();
  } else {
    note->close();
  }
}

void ClaimManagementWindow::chooseFilter() {
  ClaimFilterDialog dialog(list_, context_.prompter, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (const auto filter = dialog.filter()) {
    list_.applyFilter(*filter);
    refresh();
  }
}

// Rebill's printing: the forms go to the preview for real, and printing has completed once
// the PDF is whole; the claims printed are then marked billed.
class PreviewClaimPrinting final : public claims::ClaimPrinting {
 public:
  explicit PreviewClaimPrinting(std::function<bool(const std::vector<std::int64_t>&, int)> print)
      : print_(std::move(print)) {}
  bool print(const std::vector<std::int64_t>& claimNumbers, int slot) override {
    return print_(claimNumbers, slot);
  }

 private:
  std::function<bool(const std::vector<std::int64_t>&, int)> print_;
};

std::vector<std::int64_t> ClaimManagementWindow::printForms(const std::vector<std::int64_t>& claims,
                                                            const PaperChoice& paper) {
  claims::ClaimFormOptions options;
  options.paper = paper.paper;
  options.signatureDate =
      context_.programDate ? context_.programDate() : context_.practice.clock().now().date();
  return previewClaimForms(context_.practice, context_.prompter, output_, claims, paper.slot,
                           options, context_.estimate, this);
}

void ClaimManagementWindow::billPrinted(const std::vector<std::int64_t>& claims, int slot) {
  if (claims.empty() || output_.options == nullptr) return;
  claims::ClaimBillingRun run;
  for (const std::int64_t number : claims) run.claims.push_back({number, slot});
  run.billingDate =
      context_.programDate ? context_.programDate() : context_.practice.clock().now().date();
  run.estimate = context_.estimate;
  const claims::ClaimBillingOutcome billed =
      claims::recordClaimsBilled(context_.practice, *output_.options, context_.prompter, run);
  if (!billed.updated.empty())
    context_.prompter.inform(tr("%n claim(s) marked Sent; batch %1 for those that had no batch.",
                                nullptr, static_cast<int>(billed.updated.size()))
                                 .arg(billed.batch)
                                 .toStdString());
}

void ClaimManagementWindow::printSend() {
  claims::PrintSendDialog model(context_.practice, context_.prompter, context_.security);
  if (!model.mayOpen()) return;
  ClaimPrintSendWindow dialog(model, false, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (model.choice.method == claims::PrintSendChoice::Method::Paper) {
    const PaperChoice paper = dialog.paper();
    const auto ready =
        claims::paperClaimsReadyToPrint(context_.practice, paper.slot, context_.estimate);
    if (ready.empty()) {
      context_.prompter.warn("There are no claims to print.");
      return;
    }
    // The run completed once its PDF is whole: only then are the claims billed.
    billPrinted(printForms(ready, paper), paper.slot);
    refresh();
    return;
  }
  if (output_.options == nullptr || output_.runner == nullptr) return;
  const claims::ElectronicSending sending{
      context_.practice,
      *output_.options,
      context_.prompter,
      settings_,
      *output_.runner,
      output_.programFolder,
      output_.location,
      context_.programDate ? context_.programDate() : context_.practice.clock().now().date(),
      context_.estimate};
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const claims::ElectronicOutcome outcome =
      claims::sendElectronicClaims(sending, model.choice.receiver);
  QApplication::restoreOverrideCursor();
  if (!outcome.started) return;
  refresh();
  const auto& billed = outcome.billing;
  if (!billed.updated.empty()) {
    context_.prompter.inform(
        tr("%n claim(s) sent and marked Sent; batch %1 for those that had no batch.", nullptr,
           static_cast<int>(billed.updated.size()))
            .arg(billed.batch)
            .toStdString());
  } else if (outcome.report.refused.empty()) {
    // Nothing went and nothing was refused: the program's own words say why.
    std::string said;
    for (const auto& line : outcome.report.lines) said += (said.empty() ? "" : "\n") + line;
    if (said.empty()) said = tr("No claims were sent.").toStdString();
    if (outcome.exitCode == 0)
      context_.prompter.inform(said);
    else
      context_.prompter.error(said);
  }
  if (!outcome.report.refused.empty()) showRefused(outcome.report.refused);
}

void ClaimManagementWindow::rebillClaims() {
  const auto chosen = claims::claimsToRebill(markedClaims(), currentClaim());
  if (chosen.empty()) return;
  if (context_.security != nullptr &&
      !context_.security->hasPermission(claims::claim_permission::rebill, false))
    return;
  claims::PrintSendDialog model(context_.practice, context_.prompter, context_.security);
  ClaimPrintSendWindow dialog(model, true, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const PaperChoice paper = dialog.paper();
  PreviewClaimPrinting printing([this, &paper](const std::vector<std::int64_t>& claims, int slot) {
    const auto printed = printForms(claims, {paper.paper, slot});
    billPrinted(printed, slot);
    return !printed.empty();
  });
  claims::ClaimActions actions(context_);
  actions.rebill(chosen, paper.slot, printing);
  refresh();
}

void ClaimManagementWindow::checkClaims() {
  auto chosen = markedClaims();
  if (chosen.empty()) {
    if (const auto current = currentClaim()) chosen.push_back(*current);
  }
  if (chosen.empty()) return;
  // Each claim is checked for the carrier it waits on.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const auto refused = claims::refusedWaitingClaims(context_.practice, chosen, context_.estimate);
  QApplication::restoreOverrideCursor();
  if (refused.empty()) {
    context_.prompter.inform(tr("%n claim(s) checked: nothing keeps them from leaving.", nullptr,
                                static_cast<int>(chosen.size()))
                                 .toStdString());
    return;
  }
  showRefused(refused);
}

void ClaimManagementWindow::showRefused(const std::vector<claims::RefusedClaim>& refused) {
  // One list at a time: the newest run's replaces the last.
  if (refused_ != nullptr) refused_->close();
  auto* window = new RefusedClaimsWindow(
      refused, [this](std::int64_t number) { openClaim(number); }, this);
  window->setModal(false);
  window->setAttribute(Qt::WA_DeleteOnClose);
  refused_ = window;
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace vantrell::desktop
