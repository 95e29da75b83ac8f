#include "statement_windows.hpp"

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
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "pdf_preview_window.hpp"
#include "pdf_renderer.hpp"
#include "statements/statement_billing.hpp"
#include "statements/statement_form.hpp"
#include "statements/statement_rules.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

constexpr std::size_t pageSize = 100;

struct Column {
  const char* title;
  statements::StatementColumn sortsBy;
};
constexpr std::array<Column, 10> columns = {{
    {"Statement Number", statements::StatementColumn::Number},
    {"Chart Number", statements::StatementColumn::Chart},
    {"Type", statements::StatementColumn::Type},
    {"Status", statements::StatementColumn::Status},
    {"Media", statements::StatementColumn::Method},
    {"Batch", statements::StatementColumn::Batch},
    {"Date Created", statements::StatementColumn::Created},
    {"Last Billing Date", statements::StatementColumn::LastBilling},
    {"Initial Billing Date", statements::StatementColumn::InitialBilling},
    {"Submission Count", statements::StatementColumn::Submissions},
}};

QString cell(const statements::StatementRow& row, int column) {
  switch (column) {
    case 0:
      return QString::number(row.number);
    case 1:
      return qt(row.chartNumber);
    case 2:
      return qt(row.typeText());
    case 3:
      return qt(row.statusText());
    case 4:
      return qt(row.mediaText());
    case 5:
      return QString::number(row.batch);
    case 6:
      return qt(row.created.toMonthDayYear());
    case 7:
      return qt(row.lastBilling.toMonthDayYear());
    case 8:
      return qt(row.initialBilling.toMonthDayYear());
    default:
      return QString::number(row.submissionCount);
  }
}

void tidy(QAbstractItemView* view) {
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setTabKeyNavigation(false);  // Tab goes on to the buttons, not the next cell
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  if (auto* table = qobject_cast<QTableView*>(view)) {
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setWordWrap(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
  }
}

Date typedDate(const QLineEdit* edit) {
  const auto date = Date::parse(edit->text().trimmed().toStdString());
  return date ? *date : Date{};
}

// Every line table here starts with the chart, case, date and entry; numbers and amounts stand
// on the right, as in the other lists.
void setRow(QTableWidget* table, int row, const std::vector<QString>& texts,
            std::size_t rightAligned) {
  constexpr std::size_t caseColumn = 1, entryColumn = 3;
  for (std::size_t column = 0; column < texts.size(); ++column) {
    auto* item = new QTableWidgetItem(texts[column]);
    if (column >= rightAligned || column == caseColumn || column == entryColumn)
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, static_cast<int>(column), item);
  }
}

QTableWidget* lineTable(const QStringList& headers, const char* name) {
  auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(headers);
  tidy(table);
  table->horizontalHeader()->setStretchLastSection(true);
  table->verticalHeader()->hide();
  table->setMinimumSize(680, 220);
  return table;
}

int nextPdf = 0;

}  // namespace

StatementListModel::StatementListModel(statements::StatementList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

void StatementListModel::reload() {
  beginResetModel();
  list_.restart();
  rows_ = list_.nextPage(pageSize);
  atEnd_ = rows_.size() < pageSize;
  endResetModel();
}

std::int64_t StatementListModel::numberAt(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size())
             ? rows_[static_cast<std::size_t>(row)].number
             : 0;
}

std::optional<int> StatementListModel::rowOf(std::int64_t number) const {
  for (std::size_t at = 0; at < rows_.size(); ++at)
    if (rows_[at].number == number) return static_cast<int>(at);
  return std::nullopt;
}

int StatementListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StatementListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns.size());
}

QVariant StatementListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::TextAlignmentRole)
    return index.column() == 0 || index.column() == 5 || index.column() == 9
               ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
               : QVariant();
  if (role != Qt::DisplayRole) return {};
  return cell(rows_[static_cast<std::size_t>(index.row())], index.column());
}

QVariant StatementListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return tr(columns[static_cast<std::size_t>(section)].title);
}

bool StatementListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_;
}

void StatementListModel::fetchMore(const QModelIndex&) {
  auto more = list_.nextPage(pageSize);
  atEnd_ = more.size() < pageSize;
  if (more.empty()) return;
  beginInsertRows({}, static_cast<int>(rows_.size()),
                  static_cast<int>(rows_.size() + more.size()) - 1);
  for (auto& row : more) rows_.push_back(std::move(row));
  endInsertRows();
}

std::vector<std::int64_t> previewStatements(statements::Surroundings surroundings,
                                            const StatementPrinting& printing,
                                            const std::vector<std::int64_t>& numbers,
                                            QWidget* parent, bool excludeBilledPaid) {
  const std::vector<std::int64_t> ordered =
      statements::statementsInPrintOrder(surroundings.practice, numbers);
  if (ordered.empty()) {
    surroundings.prompter.warn("There are no statements to print.");
    return {};
  }
  const QString path = QDir(QDir::tempPath())
                           .filePath(QStringLiteral("vantrell-statements-%1-%2.pdf")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(++nextPdf));
  try {
    printing::Document document(printing::usLetter, "Statements");
    for (const auto& form : statements::readStatementForms(
             surroundings.practice, ordered, printing.programDate(), excludeBilledPaid))
      statements::layOutStatement(document, form);
    pdf::writePdf(document, path.toStdString());
  } catch (const pdf::PdfError& error) {
    surroundings.prompter.error(error.what());
    return {};
  }
  auto* preview = new PdfPreviewWindow(path, parent);
  preview->setAttribute(Qt::WA_DeleteOnClose);
  // The PDF is the preview's own: Save As keeps a copy where the person wants one.
  QObject::connect(preview, &QObject::destroyed, [path] { QFile::remove(path); });
  if (printing.showPreview)
    printing.showPreview(preview);
  else
    preview->show();
  return ordered;
}

StatementManagementWindow::StatementManagementWindow(statements::Surroundings surroundings,
                                                     StatementPrinting printing, QWidget* parent)
    : QDialog(parent),
      surroundings_(surroundings),
      printing_(std::move(printing)),
      progress_(this),
      list_(surroundings) {
  setObjectName("StatementManagement");
  setWindowTitle(tr("Statement Management"));
  auto* layout = new QVBoxLayout(this);

  auto* filter = new QGroupBox(tr("List Only Statements That Match"));
  auto* grid = new QGridLayout(filter);
  const auto labelled = [&](const QString& text, QWidget* input, int row, int column,
                            const char* name) {
    input->setObjectName(name);
    auto* label = new QLabel(text);
    label->setBuddy(input);
    grid->addWidget(label, row, column * 2);
    grid->addWidget(input, row, column * 2 + 1);
  };
  chart_ = new QLineEdit;
  created_ = new QLineEdit;
  billed_ = new QLineEdit;
  batch_ = new QLineEdit;
  created_->setPlaceholderText("MM/DD/YYYY");
  billed_->setPlaceholderText("MM/DD/YYYY");
  method_ = new QComboBox;
  method_->addItems({tr("All"), tr("Paper"), tr("Electronic")});
  status_ = new QComboBox;
  status_->addItems(
      {tr("All"), tr("Hold"), tr("Ready to Send"), tr("Sent"), tr("Failed"), tr("Done")});
  excludeDone_ = new QCheckBox(tr("E&xclude Done"));
  excludeDone_->setObjectName("excludeDone");
  excludeDone_->setChecked(list_.filter().excludeDone);
  labelled(tr("C&hart Number:"), chart_, 0, 0, "chartFilter");
  labelled(tr("Statement Crea&ted:"), created_, 0, 1, "createdFilter");
  labelled(tr("Billin&g Date:"), billed_, 0, 2, "billedFilter");
  labelled(tr("&Batch:"), batch_, 1, 0, "batchFilter");
  labelled(tr("Billing &Method:"), method_, 1, 1, "methodFilter");
  labelled(tr("Stat&us:"), status_, 1, 2, "statusFilter");
  grid->addWidget(excludeDone_, 2, 1);
  auto* defaults = new QPushButton(tr("&Defaults"));
  defaults->setObjectName("defaults");
  defaults->setAutoDefault(false);
  grid->addWidget(defaults, 2, 5);
  layout->addWidget(filter);
  for (QLineEdit* edit : {chart_, created_, billed_, batch_})
    connect(edit, &QLineEdit::editingFinished, this, &StatementManagementWindow::applyFilter);
  for (QComboBox* box : {method_, status_})
    connect(box, &QComboBox::currentIndexChanged, this, &StatementManagementWindow::applyFilter);
  connect(excludeDone_, &QCheckBox::toggled, this, &StatementManagementWindow::applyFilter);
  connect(defaults, &QPushButton::clicked, this, &StatementManagementWindow::clearFilter);

  model_ = new StatementListModel(list_, this);
  view_ = new QTableView;
  view_->setObjectName("statements");
  view_->setModel(model_);
  tidy(view_);
  connect(model_, &QAbstractItemModel::modelReset, view_, &QTableView::resizeColumnsToContents);
  view_->setMinimumSize(1000, 300);
  view_->horizontalHeader()->setSectionsClickable(true);
  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    list_.sortBy(columns[static_cast<std::size_t>(section)].sortsBy);
    view_->horizontalHeader()->setSortIndicatorShown(true);
    view_->horizontalHeader()->setSortIndicator(
        section, list_.descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
    reload();
  });
  connect(view_, &QTableView::doubleClicked, this, &StatementManagementWindow::editStatement);
  // The list's keys: Enter edits, Ins creates, Del deletes.
  const auto key = [this](QKeySequence sequence, void (StatementManagementWindow::*action)()) {
    connect(new QShortcut(sequence, view_, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, action);
  };
  key(QKeySequence(Qt::Key_Return), &StatementManagementWindow::editStatement);
  key(QKeySequence(Qt::Key_Enter), &StatementManagementWindow::editStatement);
  key(QKeySequence(Qt::Key_Insert), &StatementManagementWindow::createStatements);
  key(QKeySequence(Qt::Key_Delete), &StatementManagementWindow::deleteStatements);
  // Print and reprint also answer Ctrl+P and Ctrl+R from anywhere in the window.
  for (const auto& [sequence, action] :
       {std::pair{QKeySequence(Qt::CTRL | Qt::Key_P), &StatementManagementWindow::printStatements},
        std::pair{QKeySequence(Qt::CTRL | Qt::Key_R),
                  &StatementManagementWindow::reprintStatement}})
    connect(new QShortcut(sequence, this, nullptr, nullptr, Qt::WindowShortcut),
            &QShortcut::activated, this, action);
  layout->addWidget(view_, 1);

  auto* buttons = new QDialogButtonBox;
  const auto command = [&](const QString& text, const char* name,
                           void (StatementManagementWindow::*action)()) {
    connect(addButton(buttons, text, name), &QPushButton::clicked, this, action);
  };
  command(tr("&Create Statements"), "create", &StatementManagementWindow::createStatements);
  command(tr("&Edit"), "edit", &StatementManagementWindow::editStatement);
  command(tr("De&lete"), "delete", &StatementManagementWindow::deleteStatements);
  command(tr("&Print/Send"), "print", &StatementManagementWindow::printStatements);
  command(tr("&Reprint"), "reprint", &StatementManagementWindow::reprintStatement);
  command(tr("Change &Status"), "changeStatus", &StatementManagementWindow::changeStatus);
  command(tr("&Note"), "note", &StatementManagementWindow::editNote);
  command(tr("&Quick Balance"), "quickBalance", &StatementManagementWindow::quickBalance);
  auto* close = buttons->addButton(tr("Cl&ose"), QDialogButtonBox::RejectRole);
  close->setObjectName("close");
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);

  reload();
  view_->setFocus();
}

void StatementManagementWindow::reload() {
  const auto current = currentNumber();
  model_->reload();
  if (current)
    selectNumber(*current);
  else if (model_->rowCount() > 0)
    view_->selectRow(0);
}

void StatementManagementWindow::selectNumber(std::int64_t number) {
  if (const auto row = model_->rowOf(number)) {
    view_->selectRow(*row);
    view_->scrollTo(model_->index(*row, 0));
  }
}

void StatementManagementWindow::applyFilter() {
  statements::StatementFilter filter;
  filter.chartNumber = chart_->text().trimmed().toUpper().toStdString();
  filter.created = typedDate(created_);
  filter.billed = typedDate(billed_);
  bool isNumber = false;
  const qlonglong batch = batch_->text().trimmed().toLongLong(&isNumber);
  if (isNumber) filter.batch = batch;
  static const std::array<const char*, 3> methods = {"", "P", "E"};
  filter.billingMethod = methods[static_cast<std::size_t>(std::max(0, method_->currentIndex()))];
  if (status_->currentIndex() > 0) filter.status = std::to_string(status_->currentIndex() - 1);
  filter.excludeDone = excludeDone_->isChecked();
  list_.setFilter(filter);
  model_->reload();
  if (model_->rowCount() > 0) view_->selectRow(0);
}

void StatementManagementWindow::clearFilter() {
  list_.clearFilter();
  for (QLineEdit* edit : {chart_, created_, billed_, batch_}) edit->clear();
  for (QComboBox* box : {method_, status_}) {
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(0);
  }
  {
    const QSignalBlocker quiet(excludeDone_);
    excludeDone_->setChecked(list_.filter().excludeDone);
  }
  model_->reload();
  if (model_->rowCount() > 0) view_->selectRow(0);
}

std::vector<std::int64_t> StatementManagementWindow::selectedNumbers() const {
  std::vector<std::int64_t> numbers;
  for (const QModelIndex& index : view_->selectionModel()->selectedRows())
    numbers.push_back(model_->numberAt(index.row()));
  std::sort(numbers.begin(), numbers.end());
  if (numbers.empty())
    if (const auto current = currentNumber()) numbers.push_back(*current);
  return numbers;
}

std::optional<std::int64_t> StatementManagementWindow::currentNumber() const {
  const QModelIndex index = view_->currentIndex();
  if (!index.isValid()) return std::nullopt;
  const std::int64_t number = model_->numberAt(index.row());
  return number > 0 ? std::optional(number) : std::nullopt;
}

bool StatementManagementWindow::allowed(int permissionItem) {
  return surroundings_.security == nullptr ||
         surroundings_.security->hasPermission(permissionItem, true);
}

void StatementManagementWindow::createStatements() {
  statements::Surroundings watched = surroundings_;
  watched.progress = &progress_;
  statements::CreationOutcome outcome;
  statements::createStatements(
      watched, "", true, true, statements::createFromStatementList,
      [this](statements::StatementCreateDialog& dialog) {
        StatementCreateDialogView view(dialog, this);
        return view.exec() == QDialog::Accepted;
      },
      &outcome);
  model_->reload();
  if (!outcome.statements.empty())
    selectNumber(outcome.statements.front());
  else if (model_->rowCount() > 0)
    view_->selectRow(0);
  view_->setFocus();
}

void StatementManagementWindow::editStatement() {
  const auto number = currentNumber();
  if (!number || !allowed(statements::editStatements)) return;
  StatementEditDialog editor(surroundings_, *number, this);
  editor.exec();
  reload();
  view_->setFocus();
}

void StatementManagementWindow::deleteStatements() {
  const auto numbers = selectedNumbers();
  if (numbers.empty() || !allowed(statements::deleteStatementsItem)) return;
  if (list_.deleteStatements(numbers)) {
    model_->reload();
    if (model_->rowCount() > 0) view_->selectRow(0);
  }
  view_->setFocus();
}

void StatementManagementWindow::printStatements() {
  const auto numbers = selectedNumbers();
  if (numbers.empty() || !allowed(statements::printStatements)) return;
  statements::StatementPrintDialog choices(surroundings_);
  StatementPrintSendDialog dialog(choices, this);
  if (dialog.exec() != QDialog::Accepted) {
    view_->setFocus();
    return;
  }
  const Date printed = printing_.programDate();
  StatementPrinting printing = printing_;
  const auto shown = printing.showPreview;
  printing.showPreview = [this, shown](PdfPreviewWindow* preview) {
    lastPreview_ = preview;
    if (shown)
      shown(preview);
    else
      preview->show();
  };
  const auto done =
      previewStatements(surroundings_, printing, numbers, this, choices.excludeBilledPaid);
  // The run completed once its PDF is whole: only then are the statements billed.
  if (!done.empty()) statements::recordStatementsPrinted(surroundings_, {done, printed, false});
  reload();
}

void StatementManagementWindow::reprintStatement() {
  const auto number = currentNumber();
  if (!number || !allowed(statements::printStatements)) return;
  if (!statements::mayReprint(surroundings_, *number)) return;
  // A reprint bills nothing: the statement keeps its status, dates and count.
  StatementPrinting printing = printing_;
  const auto shown = printing.showPreview;
  printing.showPreview = [this, shown](PdfPreviewWindow* preview) {
    lastPreview_ = preview;
    if (shown)
      shown(preview);
    else
      preview->show();
  };
  previewStatements(surroundings_, printing, {*number}, this);
}

void StatementManagementWindow::changeStatus() {
  if (!allowed(statements::changeStatus)) return;
  StatementStatusDialog dialog(surroundings_, selectedNumbers(), this);
  if (dialog.exec() == QDialog::Accepted) reload();
  view_->setFocus();
}

void StatementManagementWindow::editNote() {
  const auto number = currentNumber();
  if (!number || !allowed(statements::editStatements)) return;
  statements::StatementEditWindow statement(surroundings_, *number);
  statement.load();
  bool ok = false;
  const QString comment =
      QInputDialog::getText(this, tr("Statement Comment"), tr("&Comment:"), QLineEdit::Normal,
                            qt(statement.statement().text("Comment")), &ok);
  if (ok) list_.setComment(*number, comment.toStdString());
  view_->setFocus();
}

void StatementManagementWindow::quickBalance() {
  QuickBalanceDialog dialog(surroundings_, printing_, this);
  dialog.exec();
  reload();
}

StatementCreateDialogView::StatementCreateDialogView(statements::StatementCreateDialog& dialog,
                                                     QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  setObjectName("CreateStatements");
  setWindowTitle(tr("Create Statements"));
  auto* layout = new QVBoxLayout(this);
  if (!dialog.rangeMode()) layout->addWidget(new QLabel(qt(dialog.introText())));
  auto* type = new QGroupBox(tr("Statement Type"));
  auto* typeLayout = new QHBoxLayout(type);
  standard_ = new QRadioButton(tr("&Standard"));
  standard_->setObjectName("standard");
  remainder_ = new QRadioButton(tr("&Remainder"));
  remainder_->setObjectName("remainder");
  (dialog.typeChoice() == 1 ? remainder_ : standard_)->setChecked(true);
  typeLayout->addWidget(standard_);
  typeLayout->addWidget(remainder_);
  layout->addWidget(type);

  if (dialog.rangeMode()) {
    auto* form = new QGridLayout;
    const auto range = [&](const QString& text, QLineEdit*& from, QLineEdit*& to, int row,
                           const char* fromName, const char* toName) {
      from = new QLineEdit;
      to = new QLineEdit;
      from->setObjectName(fromName);
      to->setObjectName(toName);
      auto* label = new QLabel(text);
      label->setBuddy(from);
      form->addWidget(label, row, 0);
      form->addWidget(from, row, 1);
      form->addWidget(new QLabel(tr("to")), row, 2);
      form->addWidget(to, row, 3);
    };
    range(tr("C&hart Numbers:"), fromChart_, toChart_, 0, "fromChart", "toChart");
    range(tr("&Dates of Service:"), fromDate_, toDate_, 1, "fromDate", "toDate");
    const auto& inputs = dialog.inputs();
    fromChart_->setText(qt(inputs.fromChart));
    toChart_->setText(qt(inputs.toChart));
    fromDate_->setText(qt(inputs.fromDate.toMonthDayYear()));
    toDate_->setText(qt(inputs.toDate.toMonthDayYear()));
    for (QLineEdit* date : {fromDate_, toDate_}) date->setPlaceholderText("MM/DD/YYYY");
    minimum_ = new QLineEdit(qt(inputs.minimumTotal));
    minimum_->setObjectName("minimum");
    minimum_->setAlignment(Qt::AlignRight);
    auto* label = new QLabel(tr("Create statements if the remainder total is &greater than:"));
    label->setBuddy(minimum_);
    form->addWidget(label, 2, 0, 1, 3);
    form->addWidget(minimum_, 2, 3);
    layout->addLayout(form);
  }

  auto* buttons = new QDialogButtonBox;
  auto* create = buttons->addButton(tr("&Create"), QDialogButtonBox::AcceptRole);
  create->setObjectName("createButton");
  create->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel)->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &StatementCreateDialogView::takeInputs);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  // Shown again after a refused range: the "to" field that failed has the keyboard.
  QWidget* first = standard_->isChecked() ? static_cast<QWidget*>(standard_) : remainder_;
  if (dialog.focusField() == "To Date" && toDate_ != nullptr) first = toDate_;
  if (dialog.focusField() == "To Chart Number" && toChart_ != nullptr) first = toChart_;
  first->setFocus();
}

void StatementCreateDialogView::takeInputs() {
  dialog_.chooseType(remainder_->isChecked() ? 1 : 0);
  if (dialog_.rangeMode()) {
    if (!dialog_.setMinimumTotal(minimum_->text().trimmed().toStdString())) {
      minimum_->setFocus();
      minimum_->selectAll();
      return;
    }
    dialog_.setChartRange(fromChart_->text().trimmed().toUpper().toStdString(),
                          toChart_->text().trimmed().toUpper().toStdString());
    dialog_.setDateRange(typedDate(fromDate_), typedDate(toDate_));
  }
  accept();
}

StatementEditDialog::StatementEditDialog(statements::Surroundings surroundings, std::int64_t number,
                                         QWidget* parent)
    : QDialog(parent), surroundings_(surroundings), model_(surroundings, number) {
  setObjectName("StatementEdit");
  model_.load();
  setWindowTitle(tr("Statement %1 %2").arg(number).arg(qt(model_.titleSuffix())));
  auto* layout = new QVBoxLayout(this);
  caption_ = new QLabel;
  caption_->setObjectName("guarantor");
  layout->addWidget(caption_);
  lines_ = lineTable({tr("Chart Number"), tr("Case Number"), tr("Date From"), tr("Entry Number"),
                      tr("Procedure Code"), tr("Amount")},
                     "lines");
  caption_->setBuddy(lines_);
  layout->addWidget(lines_, 1);
  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&Add"), "add"), &QPushButton::clicked, this,
          &StatementEditDialog::addLines);
  connect(addButton(buttons, tr("&Remove"), "remove"), &QPushButton::clicked, this,
          &StatementEditDialog::removeLines);
  connect(addButton(buttons, tr("&Split"), "split"), &QPushButton::clicked, this,
          &StatementEditDialog::splitLines);
  auto* close = buttons->addButton(tr("&Close"), QDialogButtonBox::RejectRole);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  showLines();
  lines_->setFocus();
}

void StatementEditDialog::showLines() {
  const store::Record& statement = model_.statement();
  caption_->setText(
      tr("&Guarantor: %1    Status: %2%3")
          .arg(qt(statement.text("Chart Number")))
          .arg(qt(statements::statusText(statement.text("Status"))))
          .arg(model_.previouslyBilled() ? tr("    (previously billed)") : QString()));
  const auto& lines = model_.transactions();
  lines_->clearContents();
  lines_->setRowCount(static_cast<int>(lines.size()));
  for (std::size_t row = 0; row < lines.size(); ++row) {
    const store::Record& line = lines[row];
    const auto* date = std::get_if<Date>(&line.value("Date From"));
    setRow(lines_, static_cast<int>(row),
           {qt(line.text("Chart Number")), QString::number(line.integer("Case Number")),
            date != nullptr ? qt(date->toMonthDayYear()) : QString(),
            QString::number(line.integer("Entry Number")), qt(line.text("Procedure Code")),
            qt(line.money("Amount").toGroupedString())},
           5);
  }
  lines_->resizeColumnsToContents();
  if (!lines.empty()) lines_->setCurrentCell(0, 0);
}

std::vector<std::size_t> StatementEditDialog::chosen() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : lines_->selectionModel()->selectedRows())
    rows.push_back(static_cast<std::size_t>(index.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void StatementEditDialog::addLines() {
  statements::AddTransactionsWindow adding(surroundings_,
                                           model_.statement().integer("Statement Number"));
  if (!adding.open()) return;
  QDialog dialog(this);
  dialog.setObjectName("AddTransactions");
  dialog.setWindowTitle(tr("Add Transactions to Statement"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* candidates =
      lineTable({tr("Chart Number"), tr("Case Number"), tr("Date From"), tr("Entry Number"),
                 tr("Procedure Code"), tr("Description"), tr("Open")},
                "candidates");
  const auto& rows = adding.candidates();
  candidates->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const auto& candidate = rows[row];
    setRow(candidates, static_cast<int>(row),
           {qt(candidate.row.chartNumber), QString::number(candidate.row.caseNumber),
            qt(candidate.row.dateFrom.toMonthDayYear()), QString::number(candidate.row.entryNumber),
            qt(candidate.procedureCode), qt(candidate.description),
            qt(candidate.row.open().toGroupedString())},
           6);
  }
  candidates->resizeColumnsToContents();
  if (!rows.empty()) candidates->setCurrentCell(0, 0);
  layout->addWidget(candidates, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  auto* add = buttons->addButton(tr("&Add"), QDialogButtonBox::AcceptRole);
  add->setObjectName("addChosen");
  add->setDefault(true);
  // Add keeps the dialog open when nothing is chosen or the question is answered No.
  connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    std::vector<std::size_t> chosen;
    for (const QModelIndex& index : candidates->selectionModel()->selectedRows())
      chosen.push_back(static_cast<std::size_t>(index.row()));
    std::sort(chosen.begin(), chosen.end());
    if (adding.add(chosen)) dialog.accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  // Enter on the list adds what is chosen there.
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter})
    connect(new QShortcut(QKeySequence(key), candidates, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, add, &QPushButton::click);
  candidates->setFocus();
  if (dialog.exec() == QDialog::Accepted) {
    model_.load();
    showLines();
  }
}

void StatementEditDialog::removeLines() {
  if (model_.remove(chosen())) {
    model_.load();
    showLines();
  }
}

void StatementEditDialog::splitLines() {
  if (model_.split(chosen())) {
    model_.load();
    showLines();
  }
}

StatementPrintSendDialog::StatementPrintSendDialog(statements::StatementPrintDialog& model,
                                                   QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName("PrintSend");
  setWindowTitle(tr("Print/Send Statements"));
  auto* layout = new QVBoxLayout(this);
  auto* method = new QGroupBox(tr("Statement method"));
  auto* methods = new QGridLayout(method);
  paper_ = new QRadioButton(tr("&Paper"));
  paper_->setObjectName("paper");
  auto* electronic = new QRadioButton(tr("&Electronic"));
  electronic->setObjectName("electronic");
  electronicType_ = new QComboBox;
  electronicType_->setObjectName("electronicType");
  for (const auto& type : statements::StatementPrintDialog::electronicTypes)
    electronicType_->addItem(tr(type.label));
  electronicType_->setCurrentIndex(static_cast<int>(model_.electronicType));
  const bool isPaper = model_.method == statements::StatementPrintDialog::Method::Paper;
  (isPaper ? paper_ : electronic)->setChecked(true);
  electronicType_->setEnabled(!isPaper);
  connect(electronic, &QRadioButton::toggled, electronicType_, &QWidget::setEnabled);
  methods->addWidget(paper_, 0, 0);
  methods->addWidget(electronic, 1, 0);
  methods->addWidget(electronicType_, 1, 1);
  layout->addWidget(method);
  excludeBilledPaid_ = new QCheckBox(tr("E&xclude Billed Paid Entries"));
  excludeBilledPaid_->setObjectName("excludeBilledPaid");
  excludeBilledPaid_->setChecked(model_.excludeBilledPaid);
  layout->addWidget(excludeBilledPaid_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &StatementPrintSendDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  paper_->setFocus();
}

void StatementPrintSendDialog::accept() {
  model_.method = paper_->isChecked() ? statements::StatementPrintDialog::Method::Paper
                                      : statements::StatementPrintDialog::Method::Electronic;
  model_.electronicType = static_cast<std::size_t>(electronicType_->currentIndex());
  model_.excludeBilledPaid = excludeBilledPaid_->isChecked();
  if (model_.accept())
    QDialog::accept();
  else
    QDialog::reject();
}

StatementStatusDialog::StatementStatusDialog(statements::Surroundings surroundings,
                                             std::vector<std::int64_t> selected, QWidget* parent)
    : QDialog(parent), surroundings_(surroundings), selected_(std::move(selected)) {
  setObjectName("ChangeStatus");
  setWindowTitle(tr("Change Statement Status/Billing Method"));
  auto* layout = new QVBoxLayout(this);
  auto* scope = new QGridLayout;
  byBatch_ = new QRadioButton(tr("&Batch :"));
  byBatch_->setObjectName("byBatch");
  auto* bySelection = new QRadioButton(tr("S&elected Statement(s)"));
  bySelection->setObjectName("bySelection");
  batch_ = new QLineEdit;
  batch_->setObjectName("batch");
  scope->addWidget(byBatch_, 0, 0);
  scope->addWidget(batch_, 0, 1);
  scope->addWidget(bySelection, 1, 0);
  (selected_.empty() ? byBatch_ : bySelection)->setChecked(true);
  bySelection->setEnabled(!selected_.empty());
  layout->addLayout(scope);

  const QStringList statuses = {tr("Hold"), tr("Ready to send"), tr("Sent"), tr("Failed"),
                                tr("Done")};
  const auto choice = [](const QStringList& items, const char* name) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItem(QString());
    box->addItems(items);
    return box;
  };
  statusFrom_ = choice(statuses + QStringList{tr("Any Status Type")}, "statusFrom");
  statusTo_ = choice(statuses, "statusTo");
  methodFrom_ = choice({tr("Paper"), tr("Electronic")}, "methodFrom");
  methodTo_ = choice({tr("Paper"), tr("Electronic")}, "methodTo");
  auto* form = new QFormLayout;
  form->addRow(tr("Status &From:"), statusFrom_);
  form->addRow(tr("Status &To:"), statusTo_);
  form->addRow(tr("Billing &Method From:"), methodFrom_);
  form->addRow(tr("Billing Method T&o:"), methodTo_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &StatementStatusDialog::change);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  (byBatch_->isChecked() ? static_cast<QWidget*>(batch_) : statusFrom_)->setFocus();
}

void StatementStatusDialog::change() {
  statements::StatusChange change;
  if (byBatch_->isChecked()) {
    bool isNumber = false;
    const qlonglong batch = batch_->text().trimmed().toLongLong(&isNumber);
    if (!isNumber) {
      surroundings_.prompter.warn("Enter the batch whose statements are to change.");
      batch_->setFocus();
      return;
    }
    change.batch = batch;
  } else {
    change.selected = selected_;
  }
  // The empty first entry is "not chosen"; the codes are the positions after it.
  const auto position = [](const QComboBox* box) {
    return box->currentIndex() > 0 ? std::optional<int>(box->currentIndex() - 1) : std::nullopt;
  };
  change.statusFrom = position(statusFrom_);
  change.statusTo = position(statusTo_);
  change.methodFrom = position(methodFrom_);
  change.methodTo = position(methodTo_);
  const auto changed = statements::changeStatementStatus(surroundings_, change);
  if (!changed) return;  // the message was shown; the dialog stays for the other half of the pair
  changed_ = *changed;
  accept();
}

QuickBalanceDialog::QuickBalanceDialog(statements::Surroundings surroundings,
                                       StatementPrinting printing, QWidget* parent)
    : QDialog(parent),
      surroundings_(surroundings),
      printing_(std::move(printing)),
      model_(surroundings) {
  setObjectName("QuickBalance");
  setWindowTitle(tr("Quick Balance"));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  chart_ = new QLineEdit;
  chart_->setObjectName("chart");
  // Enter here looks the guarantor up, even where Enter otherwise moves to the next field.
  chart_->setProperty("enterSubmits", true);
  auto* label = new QLabel(tr("&Chart Number:"));
  label->setBuddy(chart_);
  top->addWidget(label);
  top->addWidget(chart_, 1);
  layout->addLayout(top);
  lines_ = lineTable(
      {tr("Chart Number"), tr("Case Number"), tr("Date From"), tr("Entry Number"), tr("Open")},
      "lines");
  layout->addWidget(lines_, 1);
  balance_ = new QLabel;
  balance_->setObjectName("balance");
  balance_->setAlignment(Qt::AlignRight);
  layout->addWidget(balance_);
  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&Print"), "print"), &QPushButton::clicked, this,
          &QuickBalanceDialog::print);
  auto* close = buttons->addButton(tr("C&lose"), QDialogButtonBox::RejectRole);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(chart_, &QLineEdit::returnPressed, this, &QuickBalanceDialog::chooseChart);
  model_.createDialog = [this](statements::StatementCreateDialog& dialog) {
    StatementCreateDialogView view(dialog, this);
    return view.exec() == QDialog::Accepted;
  };
  chart_->setFocus();
}

void QuickBalanceDialog::chooseChart() {
  lines_->setRowCount(0);
  balance_->clear();
  if (!model_.chooseChart(chart_->text().trimmed().toUpper().toStdString())) {
    chart_->selectAll();
    return;
  }
  const auto& lines = model_.lines();
  lines_->setRowCount(static_cast<int>(lines.size()));
  for (std::size_t row = 0; row < lines.size(); ++row) {
    const auto& line = lines[row];
    setRow(
        lines_, static_cast<int>(row),
        {qt(line.chartNumber), QString::number(line.caseNumber), qt(line.dateFrom.toMonthDayYear()),
         QString::number(line.entryNumber), qt(line.open().toGroupedString())},
        4);
  }
  lines_->resizeColumnsToContents();
  balance_->setText(tr("Remainder balance: %1").arg(qt(model_.balance().toGroupedString())));
}

void QuickBalanceDialog::print() {
  if (model_.chartNumber().empty()) chooseChart();
  if (model_.chartNumber().empty()) return;
  // Printed here, a statement is not billed: Statement Management is left as it was.
  if (const auto number = model_.print())
    // The preview outlives this window: it belongs to the window that opened this one.
    previewStatements(surroundings_, printing_, {*number}, parentWidget());
}

}  // namespace vantrell::desktop
