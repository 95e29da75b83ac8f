#include "transaction_entry_window.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <fmt/format.h>

#include "accounts/patient_list.hpp"
#include "code_list_window.hpp"
#include "common/code_sets.hpp"
#include "patient_list_window.hpp"
#include "store/names.hpp"

namespace vantrell::desktop {
namespace {

QString qt(const std::string& text) {
  return QString::fromStdString(text);
}

struct ChargeColumn {
  const char* title;
  const char* field;  // what an edit of the cell sets ("" for a column shown only)
};

// The from-date and to-date titles are those the date checks of the save name.
constexpr ChargeColumn chargeColumns[] = {
    {"Date From", "Date From"},         {"Date To", "Date To"},
    {"Procedure", "Procedure Code"},    {"Units", "Units"},
    {"Amount", "Unit Amount"},          {"Total", "Amount"},
    {"Diag 1", "Diagnosis Code 1"},     {"Diag 2", "Diagnosis Code 2"},
    {"Diag 3", "Diagnosis Code 3"},     {"Diag 4", "Diagnosis Code 4"},
    {"Provider", "Attending Provider"}, {"Modifiers", "Modifier"},
    {"Allowed", "Allowed Amount"},      {"Remainder", ""},
};
static_assert(std::size(chargeColumns) == ChargeGridModel::ColumnCount);

bool isAmountColumn(int column) {
  return column == ChargeGridModel::Units || column == ChargeGridModel::UnitAmount ||
         column == ChargeGridModel::Total || column == ChargeGridModel::Allowed ||
         column == ChargeGridModel::Remainder;
}

QString payerName(const std::string& code) {
  const auto payer = payerFromCode(code.empty() ? ' ' : code[0]);
  if (!payer) return qt(code);
  switch (*payer) {
    case Payer::Insurance1:
      return QStringLiteral("Insurance 1");
    case Payer::Insurance2:
      return QStringLiteral("Insurance 2");
    case Payer::Insurance3:
      return QStringLiteral("Insurance 3");
    case Payer::Guarantor:
      return QStringLiteral("Guarantor");
    case Payer::Attorney:
      return QStringLiteral("Attorney");
    case Payer::None:
      return {};
  }
  return {};
}

// The cell editors keep Enter for themselves even where Enter otherwise moves
// to the next field: in the grid Enter takes the cell and opens the next one.
class CellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    editor->setProperty("enterSubmits", true);
    return editor;
  }
};

}  // namespace

ChargeGridModel::ChargeGridModel(transactions::TransactionEntryWindow& window, QObject* parent)
    : QAbstractTableModel(parent), window_(window) {}

const transactions::TransactionLine* ChargeGridModel::lineAt(int row) const {
  const auto& lines = window_.charges();
  return row >= 0 && row < static_cast<int>(lines.size()) ? &lines[static_cast<std::size_t>(row)]
                                                          : nullptr;
}

void ChargeGridModel::reload() {
  beginResetModel();
  shownRows_ = static_cast<int>(window_.charges().size());
  endResetModel();
}

void ChargeGridModel::sync() {
  const int now = static_cast<int>(window_.charges().size());
  if (now > shownRows_) {
    beginInsertRows({}, shownRows_, now - 1);
    shownRows_ = now;
    endInsertRows();
  } else if (now < shownRows_) {
    beginRemoveRows({}, now, shownRows_ - 1);
    shownRows_ = now;
    endRemoveRows();
  }
  if (now > 0) emit dataChanged(index(0, 0), index(now - 1, ColumnCount - 1));
}

void ChargeGridModel::removed(int row) {
  beginRemoveRows({}, row, row);
  --shownRows_;
  endRemoveRows();
  sync();
}

int ChargeGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int ChargeGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant ChargeGridModel::data(const QModelIndex& index, int role) const {
  const transactions::TransactionLine* line = index.isValid() ? lineAt(index.row()) : nullptr;
  if (line == nullptr) return {};
  const store::Record& row = line->row;
  const int column = index.column();
  if (role == Qt::TextAlignmentRole)
    return isAmountColumn(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
  if (role == Qt::ToolTipRole) {
    if (column == Procedure) return qt(row.text("Procedure Description"));
    if (column >= Diagnosis1 && column <= Diagnosis4)
      return qt(row.text(fmt::format("Diagnosis {} Description", column - Diagnosis1 + 1)));
    return {};
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  switch (column) {
    case DateFrom:
    case DateTo:
      return qt(row.date(chargeColumns[column].field).toMonthDayYear());
    case Units:
      return QString::number(row.number("Units"));
    case UnitAmount:
      return qt(window_.unitAmount(*line).toString());
    case Total:
      return qt(line->amount().toString());
    case Allowed:
      return row.isEmpty("Allowed Amount") ? QString() : qt(row.money("Allowed Amount").toString());
    case Remainder:
      return qt(transactions::remainderOf(row).toString());
    case Modifiers: {
      const QString joined = qt(transactions::joinedModifiersForDisplay(row));
      return role == Qt::EditRole ? joined.simplified() : joined;
    }
    default:
      return qt(row.text(chargeColumns[column].field));
  }
}

bool ChargeGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || lineAt(index.row()) == nullptr) return false;
  const QString typed = value.toString().trimmed();
  // Tabbing through a cell is not an edit of the line.
  if (typed == data(index, Qt::EditRole).toString().trimmed()) return true;
  const auto row = static_cast<std::size_t>(index.row());
  bool taken = true;
  if (index.column() == Modifiers) {
    // "25 59" sets Modifier 1 and 2 and clears the others.
    const QStringList modifiers = typed.split(' ', Qt::SkipEmptyParts);
    for (int modifier = 0; modifier < 4 && taken; ++modifier) {
      const std::string text =
          modifier < modifiers.size() ? modifiers[modifier].toUpper().toStdString() : "";
      taken = window_.setChargeField(row, fmt::format("Modifier {}", modifier + 1), text);
    }
  } else {
    taken = window_.setChargeField(row, chargeColumns[index.column()].field, typed.toStdString());
  }
  // A refused value leaves the line as it was, but the exits of those taken may have moved other
  // fields.
  emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
  if (edited_) edited_(index.row());
  return taken;
}

Qt::ItemFlags ChargeGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() != Remainder && !window_.isReadOnly()) flags |= Qt::ItemIsEditable;
  return flags;
}

QVariant ChargeGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= ColumnCount)
    return {};
  return QString::fromLatin1(chargeColumns[section].title);
}

PaymentListModel::PaymentListModel(const transactions::TransactionEntryWindow& window,
                                   QObject* parent)
    : QAbstractTableModel(parent), window_(window) {}

void PaymentListModel::reload() {
  beginResetModel();
  shownRows_ = static_cast<int>(window_.payments().size());
  endResetModel();
}

int PaymentListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int PaymentListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 5;
}

QVariant PaymentListModel::data(const QModelIndex& index, int role) const {
  const auto& lines = window_.payments();
  if (!index.isValid() || index.row() >= static_cast<int>(lines.size())) return {};
  if (role == Qt::TextAlignmentRole)
    return index.column() >= 3 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
  if (role != Qt::DisplayRole) return {};
  const store::Record& row = lines[static_cast<std::size_t>(index.row())].row;
  switch (index.column()) {
    case 0:
      return qt(row.date("Date From").toMonthDayYear());
    case 1:
      return qt(row.text("Procedure Code"));
    case 2:
      return payerName(row.text("Who Paid"));
    case 3:
      return qt(row.money("Amount").toString());
    case 4:
      return qt(row.money("Unapplied Amount").toString());
    default:
      return {};
  }
}

QVariant PaymentListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  static const char* const titles[] = {"Date", "Code", "Who Paid", "Amount", "Unapplied"};
  return section >= 0 && section < 5 ? QString::fromLatin1(titles[section]) : QVariant();
}

void ChargeGrid::finishTyping() {
  if (state() != QAbstractItemView::EditingState) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void ChargeGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  // Enter in a cell goes on to the next cell, as Tab does.
  QTableView::closeEditor(editor, hint == QAbstractItemDelegate::SubmitModelCache
                                      ? QAbstractItemDelegate::EditNextItem
                                      : hint);
}

void ChargeGrid::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      state() != EditingState && currentIndex().isValid()) {
    const QModelIndex next = moveCursor(MoveNext, Qt::NoModifier);
    if (next.isValid()) {
      setCurrentIndex(next);
      if (next.flags() & Qt::ItemIsEditable) edit(next);
    }
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

TransactionEntryWindow::TransactionEntryWindow(
    const transactions::TransactionEntryWindow::Surroundings& surroundings, QWidget* parent)
    : QDialog(parent), context_(surroundings), window_(surroundings) {
  setObjectName("TransactionEntry");
  setWindowTitle(tr("Transaction Entry"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(buildHeader());

  auto* chargesTitle = new QLabel(tr("&Charges:"));
  layout->addWidget(chargesTitle);
  charges_ = new ChargeGridModel(window_, this);
  chargeGrid_ = new ChargeGrid;
  chargeGrid_->setObjectName("charges");
  chargeGrid_->setModel(charges_);
  chargeGrid_->setItemDelegate(new CellDelegate(chargeGrid_));
  chargeGrid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  chargeGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
  chargeGrid_->setEditTriggers(
      QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
      QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
  chargeGrid_->setWordWrap(false);
  chargeGrid_->verticalHeader()->setDefaultSectionSize(chargeGrid_->fontMetrics().height() + 8);
  chargeGrid_->horizontalHeader()->setStretchLastSection(false);
  chargeGrid_->setMinimumHeight(220);
  for (int column = 0; column < ChargeGridModel::ColumnCount; ++column) {
    const bool wide = column == ChargeGridModel::DateFrom || column == ChargeGridModel::DateTo ||
                      column == ChargeGridModel::Procedure || column == ChargeGridModel::Modifiers;
    chargeGrid_->setColumnWidth(column, wide ? 92 : (column == ChargeGridModel::Units ? 52 : 72));
  }
  chargesTitle->setBuddy(chargeGrid_);
  layout->addWidget(chargeGrid_, 3);
  charges_->onLineEdited([this](int row) { lineInEdit_ = row; });
  connect(chargeGrid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (lineInEdit_ && (!current.isValid() || current.row() != *lineInEdit_))
              leaveLineInEdit();
          });

  auto* lower = new QHBoxLayout;
  auto* paymentsBox = new QVBoxLayout;
  auto* paymentsTitle = new QLabel(tr("&Payments, Adjustments and Comments:"));
  payments_ = new PaymentListModel(window_, this);
  paymentGrid_ = new QTableView;
  paymentGrid_->setObjectName("payments");
  paymentGrid_->setModel(payments_);
  paymentGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  paymentGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  paymentGrid_->setWordWrap(false);
  paymentGrid_->verticalHeader()->hide();
  paymentGrid_->verticalHeader()->setDefaultSectionSize(paymentGrid_->fontMetrics().height() + 8);
  paymentGrid_->horizontalHeader()->setStretchLastSection(true);
  paymentsTitle->setBuddy(paymentGrid_);
  paymentsBox->addWidget(paymentsTitle);
  paymentsBox->addWidget(paymentGrid_);
  lower->addLayout(paymentsBox, 3);
  lower->addWidget(buildEstimates(), 2);
  layout->addLayout(lower, 2);

  auto* buttons = new QDialogButtonBox;
  const auto button = [&](const QString& text, const char* name,
                          void (TransactionEntryWindow::*command)()) {
    auto* push = buttons->addButton(text, QDialogButtonBox::ActionRole);
    push->setObjectName(name);
    push->setAutoDefault(false);
    connect(push, &QPushButton::clicked, this, command);
  };
  button(tr("&New Charge (Ins)"), "newCharge", &TransactionEntryWindow::newCharge);
  button(tr("&Delete Charge (Del)"), "deleteCharge", &TransactionEntryWindow::deleteCharge);
  button(tr("&MultiLink (Ctrl+M)"), "multilink", &TransactionEntryWindow::multilink);
  button(tr("&Tax (Ctrl+T)"), "tax", &TransactionEntryWindow::addTax);
  button(tr("&Save Transactions (F9)"), "save", &TransactionEntryWindow::save);
  auto* close = buttons->addButton(QDialogButtonBox::Close);
  close->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  // The keys of the window work from any field, a cell being typed in included.
  const auto shortcut = [this](QKeySequence keys, QWidget* on, Qt::ShortcutContext context,
                               void (TransactionEntryWindow::*command)()) {
    connect(new QShortcut(keys, on, nullptr, nullptr, context), &QShortcut::activated, this,
            command);
  };
  for (QKeySequence keys : {QKeySequence(Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_N)})
    shortcut(keys, this, Qt::WindowShortcut, &TransactionEntryWindow::newCharge);
  for (QKeySequence keys : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)})
    shortcut(keys, this, Qt::WindowShortcut, &TransactionEntryWindow::save);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this, Qt::WindowShortcut,
           &TransactionEntryWindow::multilink);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this, Qt::WindowShortcut,
           &TransactionEntryWindow::addTax);
  // Del in a cell being typed in deletes a character; on the grid it deletes the charge.
  shortcut(QKeySequence(Qt::Key_Delete), chargeGrid_, Qt::WidgetShortcut,
           &TransactionEntryWindow::deleteCharge);

  resize(1180, 640);
  chart_->setFocus();
  showState();
}

TransactionEntryWindow::~TransactionEntryWindow() = default;

QWidget* TransactionEntryWindow::buildHeader() {
  auto* header = new QWidget;
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(0, 0, 0, 0);
  auto* chartLabel = new QLabel(tr("C&hart:"));
  chart_ = new QLineEdit;
  chart_->setObjectName("chart");
  chart_->setMaxLength(8);
  chart_->setMaximumWidth(110);
  chartLabel->setBuddy(chart_);
  auto* pick = new QPushButton(QStringLiteral("..."));
  pick->setObjectName("pickChart");
  pick->setAutoDefault(false);
  pick->setMaximumWidth(32);
  pick->setToolTip(tr("Choose the patient from the patient list"));
  patientName_ = new QLabel;
  patientName_->setObjectName("patientName");
  patientName_->setMinimumWidth(180);
  auto* caseLabel = new QLabel(tr("C&ase:"));
  case_ = new QComboBox;
  case_->setObjectName("case");
  case_->setMinimumWidth(260);
  caseLabel->setBuddy(case_);
  const practice::Options& options = context_.options;
  const bool superbill =
      options.flag("Force Document Number") && options.flag("Use Serialized Superbills");
  auto* documentLabel =
      new QLabel(superbill ? QStringLiteral("S&uperbill:") : QStringLiteral("&Document:"));
  document_ = new QLineEdit;
  document_->setObjectName("document");
  document_->setMaxLength(10);
  document_->setMaximumWidth(120);
  if (superbill)
    document_->setToolTip(QStringLiteral("Enter the superbill number here.  Press F6 to search."));
  documentLabel->setBuddy(document_);
  row->addWidget(chartLabel);
  row->addWidget(chart_);
  row->addWidget(pick);
  row->addWidget(patientName_);
  row->addSpacing(12);
  row->addWidget(caseLabel);
  row->addWidget(case_);
  row->addSpacing(12);
  row->addWidget(documentLabel);
  row->addWidget(document_);
  row->addStretch(1);

  connect(chart_, &QLineEdit::editingFinished, this, [this] {
    if (!showing_) chooseChart(chart_->text());
  });
  connect(pick, &QPushButton::clicked, this, &TransactionEntryWindow::pickChart);
  connect(case_, &QComboBox::activated, this, [this] {
    if (!showing_) chooseCase();
  });
  connect(document_, &QLineEdit::editingFinished, this, [this] {
    if (!showing_) chooseDocument();
  });
  return header;
}

QWidget* TransactionEntryWindow::buildEstimates() {
  auto* box = new QGroupBox(tr("Estimates"));
  box->setObjectName("estimates");
  auto* grid = new QGridLayout(box);
  auto* show = new QCheckBox(tr("Show Estimates"));
  show->setObjectName("showEstimates");
  show->setEnabled(false);
  grid->addWidget(show, 0, 0, 1, 4);
  const char* const captions[] = {
      "Charges:",       "Adjustments:",         "Total:",           "Payments:",
      "Balance:",       "Insurance 1 due:",     "Insurance 2 due:", "Insurance 3 due:",
      "Guarantor due:", "Estimated adjustment:"};
  constexpr int perColumn = 5;
  for (int i = 0; i < static_cast<int>(std::size(captions)); ++i) {
    auto* value = new QLabel(QStringLiteral("$0.00"));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(70);
    const int column = (i / perColumn) * 2;
    grid->addWidget(new QLabel(QString::fromLatin1(captions[i])), 1 + i % perColumn, column);
    grid->addWidget(value, 1 + i % perColumn, column + 1);
  }
  grid->setRowStretch(1 + perColumn, 1);
  return box;
}

int TransactionEntryWindow::currentRow() const {
  const QModelIndex current = chargeGrid_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TransactionEntryWindow::leaveLineInEdit() {
  if (!lineInEdit_) return;
  const int row = *lineInEdit_;
  lineInEdit_.reset();
  if (row >= static_cast<int>(window_.charges().size())) return;
  window_.postCharge(static_cast<std::size_t>(row));
  // Posting may bring a tax line and moves the taxable total; every line is shown again.
  charges_->sync();
}

void TransactionEntryWindow::chooseChart(const QString& chartNumber) {
  const std::string typed = chartNumber.trimmed().toStdString();
  if (store::equalsIgnoringCase(typed, window_.chartNumber())) return;
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  if (typed.empty()) {
    showState();
    return;
  }
  if (window_.chooseChart(typed)) {
    showState();
    // The latest case is the one usually posted to; the list offers the others.
    if (case_->count() > 0) {
      case_->setCurrentIndex(case_->count() - 1);
      chooseCase();
    }
    return;
  }
  showState();
}

void TransactionEntryWindow::pickChart() {
  const auto picked = pickPatient(window_.chartNumber(), context_.practice, context_.options,
                                  context_.prompter, context_.clock, context_.security, this);
  if (!picked) return;
  chooseChart(qt(*picked));
}

void TransactionEntryWindow::chooseCase() {
  const QVariant chosen = case_->currentData();
  if (!chosen.isValid()) return;
  const std::int64_t number = chosen.toLongLong();
  if (window_.isLoaded() && number == window_.caseNumber()) return;
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  window_.chooseCase(number);
  showState();
  chargeGrid_->setFocus();
}

void TransactionEntryWindow::chooseDocument() {
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  window_.chooseDocument(document_->text().trimmed().toStdString());
  charges_->reload();
  payments_->reload();
}

void TransactionEntryWindow::showState() {
  showing_ = true;
  chart_->setText(qt(window_.chartNumber()));
  patientName_->clear();
  {
    const QSignalBlocker quiet(case_);
    case_->clear();
    if (!window_.chartNumber().empty()) {
      accounts::PatientList patients(context_.practice, context_.prompter, context_.security);
      for (const auto& row : patients.casesOf(window_.chartNumber())) {
        const std::int64_t number = row.integer("Case Number");
        case_->addItem(QStringLiteral("%1 - %2").arg(number).arg(qt(row.text("Description"))),
                       QVariant::fromValue<qlonglong>(number));
        if (window_.isLoaded() && number == window_.caseNumber())
          case_->setCurrentIndex(case_->count() - 1);
      }
      store::Table table = context_.practice.openTable("QVPAT");
      table.setOrder("Primary");
      if (const auto patient = table.seek({store::Value{window_.chartNumber()}}))
        patientName_->setText(qt(patient->text("Last Name") + ", " + patient->text("First Name")));
      if (!window_.isLoaded()) case_->setCurrentIndex(-1);
    }
  }
  lineInEdit_.reset();
  charges_->reload();
  payments_->reload();
  showing_ = false;
}

void TransactionEntryWindow::newCharge() {
  if (!window_.isLoaded() || window_.isReadOnly()) return;
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  const int row = static_cast<int>(window_.newCharge());
  charges_->sync();
  // A new line is in edit from the start, and starts on its procedure code.
  lineInEdit_ = row;
  const QModelIndex procedure = charges_->index(row, ChargeGridModel::Procedure);
  chargeGrid_->setFocus();
  chargeGrid_->setCurrentIndex(procedure);
  chargeGrid_->scrollTo(procedure);
  chargeGrid_->edit(procedure);
}

void TransactionEntryWindow::deleteCharge() {
  chargeGrid_->finishTyping();
  const int row = currentRow();
  if (row < 0 || row >= static_cast<int>(window_.charges().size())) return;
  if (lineInEdit_ == row)
    lineInEdit_.reset();  // a line on its way out is not posted
  else
    leaveLineInEdit();
  const std::size_t before = window_.charges().size();
  if (!window_.deleteCharge(static_cast<std::size_t>(row))) return;
  if (window_.charges().size() < before) charges_->removed(row);
  payments_->reload();
  if (charges_->rowCount() > 0)
    chargeGrid_->setCurrentIndex(
        charges_->index(std::min(row, charges_->rowCount() - 1), ChargeGridModel::Procedure));
}

void TransactionEntryWindow::save() {
  if (!window_.isLoaded()) return;
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  const int row = currentRow();
  window_.save();
  // The save reads the case back; the lines keep their places.
  charges_->reload();
  payments_->reload();
  if (charges_->rowCount() > 0)
    chargeGrid_->setCurrentIndex(charges_->index(std::clamp(row, 0, charges_->rowCount() - 1), 0));
}

void TransactionEntryWindow::multilink() {
  if (!window_.isLoaded() || window_.isReadOnly()) return;
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  const Date today = context_.programDate ? context_.programDate() : context_.clock.today();
  MultiLinkDialog dialog(today, this);
  if (dialog.exec() != QDialog::Accepted) return;
  window_.multilink(dialog.code(), dialog.transactionDate());
  charges_->sync();
  if (charges_->rowCount() > 0)
    chargeGrid_->setCurrentIndex(
        charges_->index(charges_->rowCount() - 1, ChargeGridModel::Procedure));
}

void TransactionEntryWindow::addTax() {
  if (!window_.isLoaded() || window_.isReadOnly()) return;
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  if (!window_.addTax()) return;
  charges_->sync();
  chargeGrid_->setCurrentIndex(charges_->index(charges_->rowCount() - 1, ChargeGridModel::Total));
}

void TransactionEntryWindow::done(int result) {
  chargeGrid_->finishTyping();
  leaveLineInEdit();
  if (!window_.mayLeave()) return;
  window_.close();
  QDialog::done(result);
}

}  // namespace vantrell::desktop
