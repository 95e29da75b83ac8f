#include "patient_list_window.hpp"

#include <algorithm>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "accounts/case_window.hpp"
#include "accounts/patient_window.hpp"
#include "case_dialog.hpp"
#include "patient_dialog.hpp"
#include "record_form.hpp"
#include "search_keys.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

constexpr std::size_t pageSize = 200;

const std::vector<std::string>& patientColumns() {
  static const std::vector<std::string> columns = {
      "Chart Number",           "Last Name",     "First Name",
      "Middle Initial",         "Date of Birth", "Patient Type",
      "Social Security Number", "Patient ID #2"};
  return columns;
}

const std::vector<std::string>& caseColumns() {
  static const std::vector<std::string> columns = {"Case Number",  "Description",
                                                   "Guarantor",    "Insurance Carrier #1",
                                                   "Date Created", "Case Closed"};
  return columns;
}

// Dates as the person reads them; a logical as Yes or nothing.
QString shown(const store::Record& row, const std::string& field) {
  const store::Value& value = row.value(field);
  if (const auto* date = std::get_if<Date>(&value)) return qt(date->toMonthDayYear());
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? QObject::tr("Yes") : QString();
  return qt(store::valueToText(value));
}

void tidy(QTableView* view) {
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Rows are chosen whole: Tab goes on to the next list or button, not the next cell.
  view->setTabKeyNavigation(false);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->horizontalHeader()->setStretchLastSection(true);
  view->verticalHeader()->hide();
  view->setWordWrap(false);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
}

}  // namespace

PatientListModel::PatientListModel(accounts::PatientList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

void PatientListModel::search(accounts::PatientSearch by, const std::string& typed) {
  beginResetModel();
  list_.filter(by, typed);
  rows_ = list_.nextPage(pageSize);
  atEnd_ = rows_.size() < pageSize;
  endResetModel();
}

const store::Record* PatientListModel::recordAt(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)]
                                                          : nullptr;
}

std::optional<int> PatientListModel::rowOf(const std::string& chartNumber) {
  for (std::size_t at = 0;; ++at) {
    if (at == rows_.size()) {
      if (!canFetchMore({})) return std::nullopt;
      fetchMore({});
      if (at == rows_.size()) return std::nullopt;
    }
    if (rows_[at].text("Chart Number") == chartNumber) return static_cast<int>(at);
  }
}

int PatientListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PatientListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(patientColumns().size());
}

QVariant PatientListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  return shown(rows_[static_cast<std::size_t>(index.row())],
               patientColumns()[static_cast<std::size_t>(index.column())]);
}

QVariant PatientListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return qt(patientColumns()[static_cast<std::size_t>(section)]);
}

bool PatientListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_;
}

void PatientListModel::fetchMore(const QModelIndex&) {
  auto more = list_.nextPage(pageSize);
  atEnd_ = more.size() < pageSize;
  if (more.empty()) return;
  beginInsertRows({}, static_cast<int>(rows_.size()),
                  static_cast<int>(rows_.size() + more.size()) - 1);
  for (auto& row : more) rows_.push_back(std::move(row));
  endInsertRows();
}

PatientListWindow::PatientListWindow(store::Connection& practice, const practice::Options& options,
                                     ui::Prompter& prompter, const ui::Clock& clock,
                                     security::Security* security, QWidget* parent)
    : QDialog(parent),
      practice_(practice),
      options_(options),
      prompter_(prompter),
      clock_(clock),
      security_(security),
      list_(practice, prompter, security) {
  setObjectName("PatientList");
  setWindowTitle(tr("Patient List"));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* searchLabel = new QLabel(tr("&Search for:"));
  search_ = new QLineEdit;
  search_->setObjectName("search");
  // Enter here edits the patient found, even where Enter otherwise moves to the next field.
  search_->setProperty("enterSubmits", true);
  searchLabel->setBuddy(search_);
  auto* byLabel = new QLabel(tr("Search &by:"));
  searchBy_ = new QComboBox;
  searchBy_->setObjectName("searchBy");
  searchBy_->addItem(tr("Chart Number"), static_cast<int>(accounts::PatientSearch::ChartNumber));
  searchBy_->addItem(tr("Name"), static_cast<int>(accounts::PatientSearch::Name));
  searchBy_->addItem(tr("SSN"), static_cast<int>(accounts::PatientSearch::SocialSecurityNumber));
  searchBy_->addItem(tr("Patient ID #2"), static_cast<int>(accounts::PatientSearch::PatientId2));
  byLabel->setBuddy(searchBy_);
  top->addWidget(searchLabel);
  top->addWidget(search_, 1);
  top->addWidget(byLabel);
  top->addWidget(searchBy_);
  layout->addLayout(top);

  model_ = new PatientListModel(list_, this);
  patients_ = new QTableView;
  patients_->setObjectName("patients");
  patients_->setModel(model_);
  tidy(patients_);
  patients_->setMinimumSize(560, 200);

  auto* casesPane = new QWidget;
  auto* casesLayout = new QVBoxLayout(casesPane);
  casesLayout->setContentsMargins(0, 0, 0, 0);
  casesCaption_ = new QLabel;
  casesCaption_->setObjectName("casesCaption");
  cases_ = new QTableWidget(0, static_cast<int>(caseColumns().size()));
  cases_->setObjectName("cases");
  QStringList headers;
  for (const auto& column : caseColumns()) headers << qt(column);
  cases_->setHorizontalHeaderLabels(headers);
  tidy(cases_);
  casesCaption_->setBuddy(cases_);
  casesLayout->addWidget(casesCaption_);
  casesLayout->addWidget(cases_);

  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(patients_);
  split->addWidget(casesPane);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  split->setChildrenCollapsible(false);
  layout->addWidget(split, 1);

  buttons_ = new QDialogButtonBox;
  const auto button = [this](const QString& text, const char* name,
                             void (PatientListWindow::*action)()) {
    auto* made = buttons_->addButton(text, QDialogButtonBox::ActionRole);
    made->setObjectName(name);
    made->setAutoDefault(false);
    connect(made, &QPushButton::clicked, this, action);
    return made;
  };
  button(tr("New &Patient"), "newPatient", &PatientListWindow::newPatient);
  button(tr("&Edit Patient"), "editPatient", &PatientListWindow::editPatient);
  button(tr("&Delete Patient"), "deletePatient", &PatientListWindow::deletePatient);
  caseButtons_ = {button(tr("&New Case"), "newCase", &PatientListWindow::newCase),
                  button(tr("Edit &Case"), "editCase", &PatientListWindow::editCase),
                  button(tr("C&opy Case"), "copyCase", &PatientListWindow::copyCase),
                  button(tr("De&lete Case"), "deleteCase", &PatientListWindow::deleteCase)};
  auto* close = buttons_->addButton(QDialogButtonBox::Close);
  close->setAutoDefault(false);
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  connect(search_, &QLineEdit::textChanged, this, &PatientListWindow::research);
  connect(searchBy_, &QComboBox::currentIndexChanged, this, &PatientListWindow::research);
  connect(patients_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &PatientListWindow::showCases);
  connect(search_, &QLineEdit::returnPressed, this, &PatientListWindow::chooseCurrent);
  connect(patients_, &QTableView::activated, this, &PatientListWindow::chooseCurrent);
  connect(cases_, &QTableWidget::activated, this, &PatientListWindow::editCase);
  addSearchMoveKeys(*search_, *patients_);
  // Ins and Del act on the list that has the focus: the patients (or the search box) or the cases.
  for (QWidget* target : {static_cast<QWidget*>(search_), static_cast<QWidget*>(patients_)}) {
    connect(
        new QShortcut(QKeySequence(Qt::Key_Insert), target, nullptr, nullptr, Qt::WidgetShortcut),
        &QShortcut::activated, this, &PatientListWindow::newPatient);
  }
  connect(
      new QShortcut(QKeySequence(Qt::Key_Delete), patients_, nullptr, nullptr, Qt::WidgetShortcut),
      &QShortcut::activated, this, &PatientListWindow::deletePatient);
  connect(new QShortcut(QKeySequence(Qt::Key_Insert), cases_, nullptr, nullptr, Qt::WidgetShortcut),
          &QShortcut::activated, this, &PatientListWindow::newCase);
  connect(new QShortcut(QKeySequence(Qt::Key_Delete), cases_, nullptr, nullptr, Qt::WidgetShortcut),
          &QShortcut::activated, this, &PatientListWindow::deleteCase);

  research();
  patients_->resizeColumnsToContents();
  patients_->setColumnWidth(0, std::max(patients_->columnWidth(0), 110));
  patients_->setColumnWidth(1, std::max(patients_->columnWidth(1), 140));
  patients_->setColumnWidth(2, std::max(patients_->columnWidth(2), 110));
  cases_->resizeColumnsToContents();
  cases_->setColumnWidth(1, 240);
  search_->setFocus();
  resize(1020, 620);
}

void PatientListWindow::setOpenTransactions(std::function<void(const std::string&)> open) {
  const bool first = !openTransactions_;
  openTransactions_ = std::move(open);
  if (!first || !openTransactions_) return;
  auto* transactions =
      buttons_->addButton(tr("&Transactions (Ctrl+T)"), QDialogButtonBox::ActionRole);
  transactions->setObjectName("openTransactions");
  transactions->setAutoDefault(false);
  transactions->setToolTip(tr("The chosen patient's transactions (Ctrl+T)"));
  const auto openTransactions = [this] {
    const std::string chart = currentChart();
    if (!chart.empty()) openTransactions_(chart);
  };
  connect(transactions, &QPushButton::clicked, this, openTransactions);
  connect(
      new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this, nullptr, nullptr, Qt::WindowShortcut),
      &QShortcut::activated, this, openTransactions);
}

void PatientListWindow::enablePicking(const std::string& current) {
  picking_ = true;
  setWindowTitle(tr("Choose a Patient or Guarantor"));
  auto* select = buttons_->addButton(tr("&Select"), QDialogButtonBox::ActionRole);
  select->setObjectName("select");
  select->setAutoDefault(false);
  connect(select, &QPushButton::clicked, this, &PatientListWindow::chooseCurrent);
  // Cases are not worked on from a pick list.
  for (auto* caseButton : caseButtons_) caseButton->hide();
  search_->setText(qt(current));
  search_->selectAll();
}

void PatientListWindow::chooseCurrent() {
  if (!picking_) {
    editPatient();
    return;
  }
  const std::string chart = currentChart();
  if (chart.empty()) return;
  picked_ = chart;
  accept();
}

void PatientListWindow::research() {
  const auto by = static_cast<accounts::PatientSearch>(searchBy_->currentData().toInt());
  model_->search(by, search_->text().toStdString());
  // Nothing is chosen until the typed text matches: Enter never takes a
  // patient who merely sorts near it.
  if (!search_->text().trimmed().isEmpty() && model_->rowCount() > 0)
    patients_->setCurrentIndex(model_->index(0, 0));
  else
    patients_->setCurrentIndex({});
  showCases();
}

void PatientListWindow::showPatient(const std::string& chartNumber) {
  research();
  if (const auto row = model_->rowOf(chartNumber)) {
    patients_->setCurrentIndex(model_->index(*row, 0));
    patients_->scrollTo(patients_->currentIndex());
  }
  showCases();
}

std::string PatientListWindow::currentChart() const {
  const store::Record* chosen = model_->recordAt(patients_->currentIndex().row());
  return chosen != nullptr ? chosen->text("Chart Number") : std::string();
}

std::optional<std::int64_t> PatientListWindow::currentCase() const {
  const int row = cases_->currentRow();
  if (row < 0 || cases_->item(row, 0) == nullptr) return std::nullopt;
  return cases_->item(row, 0)->data(Qt::UserRole).toLongLong();
}

void PatientListWindow::showCases() {
  cases_->setRowCount(0);
  const store::Record* patient = model_->recordAt(patients_->currentIndex().row());
  if (patient == nullptr) {
    casesCaption_->setText(QString());
    return;
  }
  casesCaption_->setText(qt(accounts::PatientList::casesCaption(*patient)));
  const auto found = list_.casesOf(patient->text("Chart Number"));
  cases_->setRowCount(static_cast<int>(found.size()));
  for (int row = 0; row < static_cast<int>(found.size()); ++row) {
    const store::Record& record = found[static_cast<std::size_t>(row)];
    for (int column = 0; column < static_cast<int>(caseColumns().size()); ++column) {
      auto* item =
          new QTableWidgetItem(shown(record, caseColumns()[static_cast<std::size_t>(column)]));
      if (column == 0)
        item->setData(Qt::UserRole, QVariant::fromValue(record.integer("Case Number")));
      cases_->setItem(row, column, item);
    }
  }
  if (!found.empty()) cases_->setCurrentCell(0, 0);
}

void PatientListWindow::newPatient() {
  accounts::PatientWindow window(practice_, prompter_, clock_, security_, options_.flag("Numeric"),
                                 overridePrompt_);
  if (!window.startNew()) return;
  PatientDialog dialog(window, practice_, prompter_, clock_, security_, this);
  if (dialog.exec() == QDialog::Accepted) showPatient(dialog.chartNumber());
}

void PatientListWindow::editPatient() {
  const std::string chart = currentChart();
  if (chart.empty()) return;
  accounts::PatientWindow window(practice_, prompter_, clock_, security_, options_.flag("Numeric"),
                                 overridePrompt_);
  if (!window.open(chart)) return;
  PatientDialog dialog(window, practice_, prompter_, clock_, security_, this);
  if (dialog.exec() == QDialog::Accepted) showPatient(dialog.chartNumber());
}

void PatientListWindow::deletePatient() {
  const std::string chart = currentChart();
  if (chart.empty()) return;
  accounts::PatientWindow window(practice_, prompter_, clock_, security_, options_.flag("Numeric"),
                                 overridePrompt_);
  const int row = patients_->currentIndex().row();
  if (!saveShowingFailures(prompter_, [&] { return window.remove(chart); })) return;
  research();
  if (model_->rowCount() > 0)
    patients_->setCurrentIndex(model_->index(std::min(row, model_->rowCount() - 1), 0));
}

void PatientListWindow::runCaseWindow(const std::function<bool(accounts::CaseWindow&)>& start) {
  const std::string chart = currentChart();
  if (chart.empty()) return;
  accounts::CaseWindow window(practice_, prompter_, clock_, security_, overridePrompt_);
  if (!saveShowingFailures(prompter_, [&] { return start(window); })) return;
  list_.caseWindowOpened();
  CaseDialog dialog(window, practice_, options_, prompter_, clock_, security_, this);
  dialog.exec();
  list_.caseWindowClosed();
  showCases();
}

void PatientListWindow::newCase() {
  const std::string chart = currentChart();
  runCaseWindow([&chart](accounts::CaseWindow& window) { return window.startNew(chart); });
}

void PatientListWindow::editCase() {
  const auto number = currentCase();
  if (!number) return;
  runCaseWindow([number](accounts::CaseWindow& window) { return window.open(*number); });
}

void PatientListWindow::copyCase() {
  const auto number = currentCase();
  if (!number || !list_.mayOpenAnotherCaseWindow()) return;
  runCaseWindow([number](accounts::CaseWindow& window) { return window.copyFrom(*number); });
}

void PatientListWindow::deleteCase() {
  const auto number = currentCase();
  if (!number) return;
  accounts::CaseWindow window(practice_, prompter_, clock_, security_, overridePrompt_);
  if (saveShowingFailures(prompter_, [&] { return window.remove(*number); })) showCases();
}

std::optional<std::string> pickPatient(const std::string& current, store::Connection& practice,
                                       const practice::Options& options, ui::Prompter& prompter,
                                       const ui::Clock& clock, security::Security* security,
                                       QWidget* parent) {
  PatientListWindow window(practice, options, prompter, clock, security, parent);
  window.enablePicking(current);
  if (window.exec() != QDialog::Accepted) return std::nullopt;
  return window.pickedChartNumber();
}

}  // namespace vantrell::desktop
