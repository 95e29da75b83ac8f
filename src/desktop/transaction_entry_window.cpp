#include "transaction_entry_window.hpp"

#include <QApplication>
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
#include <QMetaProperty>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <fmt/format.h>

#include "accounts/patient_list.hpp"
#include "apply_dialog_window.hpp"
#include "code_list_window.hpp"
#include "common/code_sets.hpp"
#include "patient_list_window.hpp"
#include "store/names.hpp"
#include "widget_helpers.hpp"
#include "record_form.hpp"

namespace vantrell::desktop {
namespace {

struct ChargeColumn {
  const char* title;
  const char* field;  // what an edit of the cell sets ("" for a column shown only)
};

// The from-date and to-date titles are those the date checks of the save name.
constexpr ChargeColumn chargeColumns[] = {
    {"Date From", "Date From"},
    {"Date To", "Date To"},
    {"Procedure", "Procedure Code"},
    {"Description", ""},
    {"Units", "Units"},
    {"Amount", "Unit Amount"},
    {"Total", "Amount"},
    {"Diag 1", "Diagnosis Code 1"},
    {"Diag 2", "Diagnosis Code 2"},
    {"Diag 3", "Diagnosis Code 3"},
    {"Diag 4", "Diagnosis Code 4"},
    {"Provider", "Attending Provider"},
    {"Modifiers", "Modifier"},
    {"Allowed", "Allowed Amount"},
    {"Remainder", ""},
};
static_assert(std::size(chargeColumns) == ChargeGridModel::ColumnCount);

// Who Paid is typed as its code (1, 2, 3, G, A); the payer's name is its tool tip.
constexpr ChargeColumn paymentColumns[] = {
    {"Date From", "Date From"},
    {"Procedure", "Procedure Code"},
    {"Who Paid", "Who Paid"},
    {"Description", "Description"},
    {"Check Number", "Check Number"},
    {"Amount", "Amount"},
    {"Unapplied", ""},
};
static_assert(std::size(paymentColumns) == PaymentGridModel::ColumnCount);

QString dollars(Money amount) {
  return QStringLiteral("$") + qt(amount.toString());
}

struct EstimateFigure {
  const char* caption;
  const char* name;
  Money (*value)(const transactions::Estimates&);
};

constexpr EstimateFigure estimateFigures[] = {
    {"Charges:", "estimatedCharges", [](const transactions::Estimates& e) { return e.charges; }},
    {"Adjustments:", "estimatedAdjustments",
     [](const transactions::Estimates& e) { return e.adjustments; }},
    {"Total:", "estimatedTotal", [](const transactions::Estimates& e) { return e.total(); }},
    {"Payments:", "estimatedPayments", [](const transactions::Estimates& e) { return e.payments; }},
    {"Balance:", "estimatedBalance", [](const transactions::Estimates& e) { return e.balance(); }},
    {"Deductible paid:", "deductiblePaid",
     [](const transactions::Estimates& e) { return e.deductiblePaid; }},
    {"Insurance 1 due:", "insurance1Due",
     [](const transactions::Estimates& e) { return e.insuranceDue[0]; }},
    {"Insurance 2 due:", "insurance2Due",
     [](const transactions::Estimates& e) { return e.insuranceDue[1]; }},
    {"Insurance 3 due:", "insurance3Due",
     [](const transactions::Estimates& e) { return e.insuranceDue[2]; }},
    {"Guarantor due:", "guarantorDue",
     [](const transactions::Estimates& e) { return e.guarantorDue; }},
    {"Estimated adjustment:", "estimatedAdjustment",
     [](const transactions::Estimates& e) { return e.estimatedAdjustment; }},
};

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
  // A value the line refuses marks the editor, so the grid keeps the clerk on that cell.
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    const QByteArray property = editor->metaObject()->userProperty().name();
    const bool taken = model->setData(index, editor->property(property.constData()), Qt::EditRole);
    editor->setProperty("refused", !taken);
  }
};

}  // namespace

LineGridModel::LineGridModel(transactions::TransactionEntryWindow& window, QObject* parent)
    : QAbstractTableModel(parent), window_(window) {}

const transactions::TransactionLine* LineGridModel::lineAt(int row) const {
  const auto& all = lines();
  return row >= 0 && row < static_cast<int>(all.size()) ? &all[static_cast<std::size_t>(row)]
                                                        : nullptr;
}

QVariant LineGridModel::rowHeader(int row, int role) const {
  const transactions::TransactionLine* line = lineAt(row);
  if (line == nullptr) return {};
  const bool unsaved = !line->isStored() || line->didEdit;
  if (role == Qt::DisplayRole) return unsaved ? QStringLiteral("*") : QString();
  if (role == Qt::ToolTipRole && unsaved) return QStringLiteral("Not saved yet");
  return {};
}

void LineGridModel::reload() {
  beginResetModel();
  shownRows_ = static_cast<int>(lines().size());
  endResetModel();
}

void LineGridModel::sync() {
  const int now = static_cast<int>(lines().size());
  if (now > shownRows_) {
    beginInsertRows({}, shownRows_, now - 1);
    shownRows_ = now;
    endInsertRows();
  } else if (now < shownRows_) {
    beginRemoveRows({}, now, shownRows_ - 1);
    shownRows_ = now;
    endRemoveRows();
  }
  if (now > 0) emit dataChanged(index(0, 0), index(now - 1, columnCount() - 1));
}

void LineGridModel::removed(int row) {
  beginRemoveRows({}, row, row);
  --shownRows_;
  endRemoveRows();
  sync();
}

int LineGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

void LineGridModel::lineEdited(int row) {
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
  if (edited_) edited_(row);
}

ChargeGridModel::ChargeGridModel(transactions::TransactionEntryWindow& window, QObject* parent)
    : LineGridModel(window, parent) {}

const std::vector<transactions::TransactionLine>& ChargeGridModel::lines() const {
  return window_.charges();
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
    case ProcedureDescription:
      return qt(row.text("Procedure Description"));
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
  lineEdited(index.row());
  return taken;
}

Qt::ItemFlags ChargeGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // The procedure's description is the system's, shown greyed and passed over by Tab and Enter.
  if (index.column() == ProcedureDescription) return Qt::ItemIsSelectable;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() != Remainder && !window_.isReadOnly()) flags |= Qt::ItemIsEditable;
  return flags;
}

QVariant ChargeGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) return rowHeader(section, role);
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= ColumnCount)
    return {};
  return QString::fromLatin1(chargeColumns[section].title);
}

PaymentGridModel::PaymentGridModel(transactions::TransactionEntryWindow& window, QObject* parent)
    : LineGridModel(window, parent) {}

const std::vector<transactions::TransactionLine>& PaymentGridModel::lines() const {
  return window_.payments();
}

int PaymentGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant PaymentGridModel::data(const QModelIndex& index, int role) const {
  const transactions::TransactionLine* line = index.isValid() ? lineAt(index.row()) : nullptr;
  if (line == nullptr) return {};
  const store::Record& row = line->row;
  const int column = index.column();
  if (role == Qt::TextAlignmentRole) {
    if (column == Amount || column == Unapplied) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return column == WhoPaid ? QVariant(Qt::AlignCenter) : QVariant();
  }
  if (role == Qt::ToolTipRole) {
    if (column == Procedure) return qt(row.text("Procedure Description"));
    if (column == WhoPaid) return payerName(row.text("Who Paid"));
    return {};
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  switch (column) {
    case DateFrom:
      return qt(row.date("Date From").toMonthDayYear());
    case Amount:
      return qt(line->amount().toString());
    case Unapplied:
      return qt(row.money("Unapplied Amount").toString());
    default:
      return qt(row.text(paymentColumns[column].field));
  }
}

bool PaymentGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || lineAt(index.row()) == nullptr) return false;
  const QString typed = value.toString().trimmed();
  if (typed == data(index, Qt::EditRole).toString().trimmed()) return true;
  const bool taken =
      window_.setPaymentField(static_cast<std::size_t>(index.row()),
                              paymentColumns[index.column()].field, typed.toStdString());
  lineEdited(index.row());
  return taken;
}

Qt::ItemFlags PaymentGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() != Unapplied && !window_.isReadOnly()) flags |= Qt::ItemIsEditable;
  return flags;
}

QVariant PaymentGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) return rowHeader(section, role);
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= ColumnCount)
    return {};
  return QString::fromLatin1(paymentColumns[section].title);
}

void LineGrid::finishTyping() {
  if (state() != QAbstractItemView::EditingState) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void LineGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (editor != nullptr && editor->property("refused").toBool()) {
    // A refused value (a code that does not exist) is typed again in the same cell.
    const QPersistentModelIndex cell = currentIndex();
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    QTimer::singleShot(0, this, [this, cell] {
      if (!cell.isValid()) return;
      setFocus();
      setCurrentIndex(cell);
      edit(cell);
    });
    return;
  }
  // Enter in a cell goes on to the next cell, as Tab does.
  const bool enter = hint == QAbstractItemDelegate::SubmitModelCache;
  if (enter && !moveCursor(MoveNext, Qt::NoModifier).isValid()) {
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    pastLastCell();
    return;
  }
  QTableView::closeEditor(editor, enter ? QAbstractItemDelegate::EditNextItem : hint);
}

void LineGrid::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      state() != EditingState && currentIndex().isValid()) {
    const QModelIndex next = moveCursor(MoveNext, Qt::NoModifier);
    if (next.isValid()) {
      setCurrentIndex(next);
      if (next.flags() & Qt::ItemIsEditable) edit(next);
    } else {
      pastLastCell();
    }
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

QModelIndex LineGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const QModelIndex from = currentIndex();
  const QModelIndex to = QTableView::moveCursor(action, modifiers);
  // Tab and Enter go along one line: past either end they stop instead of
  // wrapping into a line the clerk did not choose.
  if ((action == MoveNext || action == MovePrevious) && from.isValid() && to.isValid() &&
      to.row() != from.row())
    return {};
  return to;
}

void LineGrid::pastLastCell() {
  const int row = currentIndex().row();
  if (!pastLastCell_ || row < 0) return;
  // From the next turn of the event loop, once the cell's editor is gone.
  QTimer::singleShot(0, this, [this, row] {
    if (currentIndex().row() == row) pastLastCell_(row);
  });
}

TransactionEntryWindow::TransactionEntryWindow(
    const transactions::TransactionEntryWindow::Surroundings& surroundings, QWidget* parent)
    : QDialog(parent), context_(surroundings), window_(surroundings) {
  setObjectName("TransactionEntry");
  setWindowTitle(tr("Transaction Entry"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(buildHeader());

  auto* chargesTitle = new QLabel(tr("&Charges:"));
  chargesTitle->setObjectName("chargesTitle");
  layout->addWidget(chargesTitle);
  charges_ = new ChargeGridModel(window_, this);
  chargeGrid_ = makeGrid(charges_, "charges");
  chargeGrid_->setMinimumHeight(220);
  for (int column = 0; column < ChargeGridModel::ColumnCount; ++column) {
    const bool wide = column == ChargeGridModel::DateFrom || column == ChargeGridModel::DateTo ||
                      column == ChargeGridModel::Procedure || column == ChargeGridModel::Modifiers;
    chargeGrid_->setColumnWidth(column, wide ? 92 : (column == ChargeGridModel::Units ? 52 : 72));
  }
  chargeGrid_->setColumnWidth(ChargeGridModel::ProcedureDescription, 200);
  chargesTitle->setBuddy(chargeGrid_);
  layout->addWidget(chargeGrid_, 3);
  charges_->onLineEdited([this](int row) { editing(false, row); });
  // Enter past a new charge's last cell starts the next charge; a saved line stops there.
  chargeGrid_->onPastLastCell([this](int row) {
    if (row < static_cast<int>(window_.charges().size()) &&
        !window_.charges()[static_cast<std::size_t>(row)].isStored())
      newCharge();
  });

  auto* lower = new QHBoxLayout;
  lower->addWidget(buildPayments(), 3);
  lower->addWidget(buildEstimates(), 2);
  layout->addLayout(lower, 2);

  // Either grid's current line left for another line (of either grid) is posted.
  for (auto* grid : {chargeGrid_, paymentGrid_}) {
    const bool payment = grid == paymentGrid_;
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, payment](const QModelIndex& current) {
              if (lineInEdit_ && (!current.isValid() || lineInEdit_->payment != payment ||
                                  current.row() != lineInEdit_->row))
                leaveLineInEdit();
            });
  }
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    // A message box over the window leaves the list as it was.
    if (now != nullptr && now->window() == this) showActiveList();
  });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (!lineInEdit_ || now == nullptr) return;
    LineGrid* other = lineInEdit_->payment ? chargeGrid_ : paymentGrid_;
    if (now == other || other->isAncestorOf(now)) leaveLineInEdit();
  });

  auto* buttons = new QDialogButtonBox;
  const auto button = [&](const QString& text, const char* name, const QString& tip,
                          void (TransactionEntryWindow::*command)()) {
    auto* push = buttons->addButton(text, QDialogButtonBox::ActionRole);
    push->setObjectName(name);
    push->setAutoDefault(false);
    push->setToolTip(tip);
    connect(push, &QPushButton::clicked, this, command);
  };
  button(tr("&New Charge (Ins)"), "newCharge", tr("A new charge (Ins or Ctrl+N)"),
         &TransactionEntryWindow::newCharge);
  button(tr("&Delete Charge (Del)"), "deleteCharge", tr("Delete the current charge (Del)"),
         &TransactionEntryWindow::deleteCharge);
  button(tr("&MultiLink (Ctrl+M)"), "multilink", tr("Charges of a multilink code (Ctrl+M)"),
         &TransactionEntryWindow::multilink);
  button(tr("&Tax (Ctrl+T)"), "tax", tr("A tax line for the taxable charges (Ctrl+T)"),
         &TransactionEntryWindow::addTax);
  button(tr("&Save Transactions (F9)"), "save", tr("Save the transactions (F9 or Ctrl+S)"),
         &TransactionEntryWindow::save);
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
  shortcut(QKeySequence(Qt::Key_Insert), this, Qt::WindowShortcut,
           &TransactionEntryWindow::newLine);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this, Qt::WindowShortcut,
           &TransactionEntryWindow::newCharge);
  for (QKeySequence keys :
       {QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence(Qt::SHIFT | Qt::Key_Insert)})
    shortcut(keys, this, Qt::WindowShortcut, &TransactionEntryWindow::newPayment);
  for (QKeySequence keys : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)})
    shortcut(keys, this, Qt::WindowShortcut, &TransactionEntryWindow::save);
  for (QKeySequence keys : {QKeySequence(Qt::Key_F7), QKeySequence(Qt::CTRL | Qt::Key_A)})
    shortcut(keys, this, Qt::WindowShortcut, &TransactionEntryWindow::applyPayment);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this, Qt::WindowShortcut,
           &TransactionEntryWindow::switchList);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this, Qt::WindowShortcut,
           &TransactionEntryWindow::multilink);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this, Qt::WindowShortcut,
           &TransactionEntryWindow::addTax);
  for (LineGrid* grid : {chargeGrid_, paymentGrid_}) {
    for (const auto key : {Qt::Key_F2, Qt::Key_F4}) {
      connect(
          new QShortcut(QKeySequence(key), grid, nullptr, nullptr, Qt::WidgetWithChildrenShortcut),
          &QShortcut::activated, this,
          [this, grid, key] { pickIntoCell(grid, key == Qt::Key_F2); });
    }
  }
  // Del in a cell being typed in deletes a character; on a grid it deletes the line.
  shortcut(QKeySequence(Qt::Key_Delete), chargeGrid_, Qt::WidgetShortcut,
           &TransactionEntryWindow::deleteCharge);
  shortcut(QKeySequence(Qt::Key_Delete), paymentGrid_, Qt::WidgetShortcut,
           &TransactionEntryWindow::deletePayment);

  // The list the keys act on is framed; the other shows no current cell.
  for (auto* grid : {chargeGrid_, paymentGrid_})
    grid->setStyleSheet(
        QStringLiteral("QTableView[active=\"true\"] { border: 2px solid palette(highlight); }"
                       "QTableView[active=\"false\"] { selection-background-color: palette(base);"
                       " selection-color: palette(text); }"));

  fitOnScreen(*this, QSize(1180, 640));  // no wider than a small screen
  chart_->setFocus();
  showState();
  showActiveList();
}

TransactionEntryWindow::~TransactionEntryWindow() = default;

LineGrid* TransactionEntryWindow::makeGrid(LineGridModel* model, const char* name) {
  auto* grid = new LineGrid;
  grid->setObjectName(name);
  grid->setModel(model);
  grid->setItemDelegate(new CellDelegate(grid));
  grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
  grid->setWordWrap(false);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
  grid->horizontalHeader()->setStretchLastSection(false);
  return grid;
}

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
  // The patient's balance over all cases; a click adds it up again from the ledger.
  accountTotal_ = new QPushButton;
  accountTotal_->setObjectName("accountTotal");
  accountTotal_->setFlat(true);
  accountTotal_->setAutoDefault(false);
  accountTotal_->setToolTip(
      tr("Account total of the patient, all cases.  Click to add it up "
         "again from the ledger."));
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
  row->addWidget(accountTotal_);

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
  connect(accountTotal_, &QPushButton::clicked, this,
          &TransactionEntryWindow::recomputeAccountBalance);
  return header;
}

QWidget* TransactionEntryWindow::buildPayments() {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  auto* title = new QLabel(tr("&Payments, Adjustments and Comments:"));
  title->setObjectName("paymentsTitle");
  payments_ = new PaymentGridModel(window_, this);
  paymentGrid_ = makeGrid(payments_, "payments");
  const int widths[] = {84, 80, 64, 0, 96, 76, 76};
  for (int at = 0; at < PaymentGridModel::ColumnCount; ++at) {
    if (widths[at] > 0) paymentGrid_->setColumnWidth(at, widths[at]);
  }
  paymentGrid_->horizontalHeader()->setSectionResizeMode(PaymentGridModel::Description,
                                                         QHeaderView::Stretch);
  title->setBuddy(paymentGrid_);
  payments_->onLineEdited([this](int row) { editing(true, row); });
  paymentGrid_->onPastLastCell([this](int row) {
    if (row < static_cast<int>(window_.payments().size()) &&
        !window_.payments()[static_cast<std::size_t>(row)].isStored())
      newPayment();
  });

  auto* commands = new QHBoxLayout;
  const auto button = [&](const QString& text, const char* name, const QString& tip,
                          void (TransactionEntryWindow::*command)()) {
    auto* push = new QPushButton(text);
    push->setObjectName(name);
    push->setAutoDefault(false);
    push->setToolTip(tip);
    connect(push, &QPushButton::clicked, this, command);
    commands->addWidget(push);
  };
  button(tr("New Pa&yment"), "newPayment",
         tr("A new payment, adjustment or comment (Ctrl+P or Shift+Ins; Ins in this list)"),
         &TransactionEntryWindow::newPayment);
  button(tr("Delete Payme&nt"), "deletePayment",
         tr("Delete the current payment (Del in this list)"),
         &TransactionEntryWindow::deletePayment);
  button(tr("App&ly"), "apply", tr("Apply the current payment to the charges (F7 or Ctrl+A)"),
         &TransactionEntryWindow::applyPayment);
  commands->addStretch(1);
  auto* active = new QLabel;
  active->setObjectName("activeList");
  commands->addWidget(active);
  auto* hint = new QLabel(tr("Ctrl+Tab: charges / payments"));
  hint->setEnabled(false);
  commands->addWidget(hint);

  column->addWidget(title);
  column->addWidget(paymentGrid_, 1);
  column->addLayout(commands);
  return box;
}

QWidget* TransactionEntryWindow::buildEstimates() {
  auto* box = new QGroupBox(tr("Estimates"));
  box->setObjectName("estimates");
  auto* grid = new QGridLayout(box);
  showEstimates_ = new QCheckBox(QStringLiteral("Show Estimates"));
  showEstimates_->setObjectName("showEstimates");
  grid->addWidget(showEstimates_, 0, 0, 1, 4);
  constexpr int perColumn = 6;
  for (int i = 0; i < static_cast<int>(std::size(estimateFigures)); ++i) {
    auto* value = new QLabel;
    value->setObjectName(QString::fromLatin1(estimateFigures[i].name));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(70);
    const int column = (i / perColumn) * 2;
    grid->addWidget(new QLabel(QString::fromLatin1(estimateFigures[i].caption)), 1 + i % perColumn,
                    column);
    grid->addWidget(value, 1 + i % perColumn, column + 1);
    estimateValues_.push_back(value);
  }
  grid->setColumnMinimumWidth(2, 100);
  grid->setRowStretch(1 + perColumn, 1);
  connect(showEstimates_, &QCheckBox::toggled, this, &TransactionEntryWindow::showTotals);
  return box;
}

int TransactionEntryWindow::currentRow() const {
  const QModelIndex current = chargeGrid_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

int TransactionEntryWindow::currentPaymentRow() const {
  const QModelIndex current = paymentGrid_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TransactionEntryWindow::finishTyping() {
  chargeGrid_->finishTyping();
  paymentGrid_->finishTyping();
}

void TransactionEntryWindow::editing(bool payment, int row) {
  if (lineInEdit_ && (lineInEdit_->payment != payment || lineInEdit_->row != row))
    leaveLineInEdit();
  lineInEdit_ = LineInEdit{payment, row};
}

void TransactionEntryWindow::leaveLineInEdit() {
  if (!lineInEdit_) return;
  const LineInEdit line = *lineInEdit_;
  lineInEdit_.reset();
  const auto row = static_cast<std::size_t>(line.row);
  if (line.payment) {
    if (row >= window_.payments().size()) return;
    // A payer or type change declined comes back; one accepted moves the charges' buckets.
    window_.postPayment(row);
  } else {
    if (row >= window_.charges().size()) return;
    // Posting may bring a tax line and moves the taxable total.
    window_.postCharge(row);
  }
  charges_->sync();
  payments_->sync();
}

void TransactionEntryWindow::chooseChart(const QString& chartNumber) {
  const std::string typed = chartNumber.trimmed().toStdString();
  if (store::equalsIgnoringCase(typed, window_.chartNumber())) return;
  finishTyping();
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
  finishTyping();
  leaveLineInEdit();
  window_.chooseCase(number);
  showState();
  chargeGrid_->setFocus();
}

void TransactionEntryWindow::chooseDocument() {
  finishTyping();
  leaveLineInEdit();
  window_.chooseDocument(document_->text().trimmed().toStdString());
  charges_->reload();
  payments_->reload();
  showTotals();
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
  showTotals();
  showing_ = false;
}

void TransactionEntryWindow::showTotals() {
  const bool chosen = !window_.chartNumber().empty();
  accountTotal_->setEnabled(chosen && !window_.isReadOnly());
  accountTotal_->setText(
      tr("Account Total: %1").arg(chosen ? dollars(window_.accountBalance()) : QString()));
  showEstimates_->setEnabled(window_.isLoaded());
  const bool shown = window_.isLoaded() && showEstimates_->isChecked();
  const transactions::Estimates figures = shown ? window_.estimates() : transactions::Estimates{};
  for (std::size_t i = 0; i < estimateValues_.size(); ++i)
    estimateValues_[i]->setText(shown ? dollars(estimateFigures[i].value(figures)) : QString());
}

bool TransactionEntryWindow::paymentsActive() const {
  return paymentGrid_->hasFocus() || paymentGrid_->isAncestorOf(QApplication::focusWidget());
}

void TransactionEntryWindow::showActiveList() {
  const bool payments = paymentsActive();
  for (auto* grid : {chargeGrid_, paymentGrid_}) {
    const bool active = (grid == paymentGrid_) == payments;
    if (grid->property("active").isValid() && grid->property("active").toBool() == active) continue;
    grid->setProperty("active", active);
    grid->style()->unpolish(grid);
    grid->style()->polish(grid);
  }
  for (const char* name : {"chargesTitle", "paymentsTitle"}) {
    if (auto* title = findChild<QLabel*>(name)) {
      QFont font = title->font();
      font.setBold((name[0] == 'p') == payments);
      title->setFont(font);
    }
  }
  if (auto* active = findChild<QLabel*>("activeList"))
    active->setText(payments ? tr("<b>Ins, Del: Payments</b>") : tr("<b>Ins, Del: Charges</b>"));
  // The buttons name the keys that reach them from where the keyboard is.
  const auto label = [this](const char* name, const QString& text) {
    if (auto* button = findChild<QPushButton*>(name)) button->setText(text);
  };
  label("newCharge", payments ? tr("&New Charge (Ctrl+N)") : tr("&New Charge (Ins)"));
  label("deleteCharge", payments ? tr("&Delete Charge") : tr("&Delete Charge (Del)"));
  label("newPayment", payments ? tr("New Pa&yment (Ins)") : tr("New Pa&yment (Ctrl+P)"));
  label("deletePayment", payments ? tr("Delete Payme&nt (Del)") : tr("Delete Payme&nt"));
}

void TransactionEntryWindow::newLine() {
  if (paymentsActive())
    newPayment();
  else
    newCharge();
}

void TransactionEntryWindow::newCharge() {
  if (!window_.isLoaded() || window_.isReadOnly()) return;
  finishTyping();
  leaveLineInEdit();
  const int row = static_cast<int>(window_.newCharge());
  charges_->sync();
  // A new line is in edit from the start, and starts on its procedure code.
  lineInEdit_ = LineInEdit{false, row};
  const QModelIndex procedure = charges_->index(row, ChargeGridModel::Procedure);
  chargeGrid_->setFocus();
  chargeGrid_->setCurrentIndex(procedure);
  chargeGrid_->scrollTo(procedure);
  chargeGrid_->edit(procedure);
}

void TransactionEntryWindow::newPayment() {
  if (!window_.isLoaded() || window_.isReadOnly()) return;
  finishTyping();
  leaveLineInEdit();
  const int row = static_cast<int>(window_.newPayment());
  payments_->sync();
  // As with charges, the new line starts on its code, whose exit sets the type and payer.
  lineInEdit_ = LineInEdit{true, row};
  const QModelIndex procedure = payments_->index(row, PaymentGridModel::Procedure);
  paymentGrid_->setFocus();
  paymentGrid_->setCurrentIndex(procedure);
  paymentGrid_->scrollTo(procedure);
  paymentGrid_->edit(procedure);
}

void TransactionEntryWindow::deleteCharge() {
  finishTyping();
  const int row = currentRow();
  if (row < 0 || row >= static_cast<int>(window_.charges().size())) return;
  if (lineInEdit_ && !lineInEdit_->payment && lineInEdit_->row == row)
    lineInEdit_.reset();  // a line on its way out is not posted
  else
    leaveLineInEdit();
  const std::size_t before = window_.charges().size();
  if (!window_.deleteCharge(static_cast<std::size_t>(row))) return;
  if (window_.charges().size() < before) charges_->removed(row);
  // The payments applied to it are unapplied again.
  payments_->sync();
  if (charges_->rowCount() > 0)
    chargeGrid_->setCurrentIndex(
        charges_->index(std::min(row, charges_->rowCount() - 1), ChargeGridModel::Procedure));
}

void TransactionEntryWindow::deletePayment() {
  finishTyping();
  const int row = currentPaymentRow();
  if (row < 0 || row >= static_cast<int>(window_.payments().size())) return;
  if (lineInEdit_ && lineInEdit_->payment && lineInEdit_->row == row)
    lineInEdit_.reset();
  else
    leaveLineInEdit();
  const std::size_t before = window_.payments().size();
  if (!window_.deletePayment(static_cast<std::size_t>(row))) return;
  if (window_.payments().size() < before) payments_->removed(row);
  // Its applications are undone on the charges.
  charges_->sync();
  if (payments_->rowCount() > 0)
    paymentGrid_->setCurrentIndex(
        payments_->index(std::min(row, payments_->rowCount() - 1), PaymentGridModel::Procedure));
}

void TransactionEntryWindow::applyPayment() {
  if (!window_.isLoaded()) return;
  finishTyping();
  leaveLineInEdit();
  // No current line is no valid payment: the window model says so.
  const int current = currentPaymentRow();
  const std::size_t row =
      current >= 0 ? static_cast<std::size_t>(current) : window_.payments().size();
  std::optional<transactions::ApplyDialog> dialog = window_.applyDialog(row);
  if (!dialog) return;
  ApplyDialogWindow apply(*dialog, this);
  if (apply.exec() != QDialog::Accepted) return;
  window_.closeApplyDialog(row, *dialog);
  charges_->sync();
  payments_->sync();
  paymentGrid_->setFocus();
}

void TransactionEntryWindow::switchList() {
  finishTyping();
  const bool toPayments =
      !(paymentGrid_->hasFocus() || paymentGrid_->isAncestorOf(QApplication::focusWidget()));
  LineGrid* grid = toPayments ? paymentGrid_ : chargeGrid_;
  grid->setFocus();
  if (!grid->currentIndex().isValid() && grid->model()->rowCount() > 0)
    grid->setCurrentIndex(grid->model()->index(0, 1));
}

void TransactionEntryWindow::recomputeAccountBalance() {
  if (window_.chartNumber().empty()) return;
  finishTyping();
  leaveLineInEdit();
  window_.recomputeAccountBalance();
  // The unsaved-lines question may have saved the case, which reads it back.
  charges_->reload();
  payments_->reload();
  showTotals();
}

void TransactionEntryWindow::save() {
  if (!window_.isLoaded()) return;
  finishTyping();
  leaveLineInEdit();
  const int row = currentRow();
  const int paymentRow = currentPaymentRow();
  const bool saved = window_.save();
  // The save reads the case back; the lines keep their places.
  charges_->reload();
  payments_->reload();
  if (!saved && window_.failedLine()) {
    // The grid goes to the line whose check stopped the save.
    const auto& failed = *window_.failedLine();
    LineGrid* grid = failed.charge ? chargeGrid_ : paymentGrid_;
    LineGridModel* model = failed.charge ? static_cast<LineGridModel*>(charges_) : payments_;
    grid->setFocus();
    grid->setCurrentIndex(model->index(static_cast<int>(failed.index), 0));
    showTotals();
    return;
  }
  if (charges_->rowCount() > 0)
    chargeGrid_->setCurrentIndex(charges_->index(std::clamp(row, 0, charges_->rowCount() - 1), 0));
  if (payments_->rowCount() > 0 && paymentRow >= 0)
    paymentGrid_->setCurrentIndex(
        payments_->index(std::min(paymentRow, payments_->rowCount() - 1), 0));
  showTotals();
}

void TransactionEntryWindow::multilink() {
  if (!window_.isLoaded() || window_.isReadOnly()) return;
  finishTyping();
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
  finishTyping();
  leaveLineInEdit();
  if (!window_.addTax()) return;
  charges_->sync();
  chargeGrid_->setCurrentIndex(charges_->index(charges_->rowCount() - 1, ChargeGridModel::Total));
}

void TransactionEntryWindow::done(int result) {
  finishTyping();
  leaveLineInEdit();
  // A payment left unapplied keeps the window open when the practice forces application or
  // the clerk chooses to apply it now.
  if (!window_.paymentsAreApplied()) return;
  if (!window_.mayLeave()) return;
  window_.close();
  QDialog::done(result);
}

void TransactionEntryWindow::pickIntoCell(LineGrid* grid, bool editOtherwise) {
  const QModelIndex cell = grid->currentIndex();
  if (!cell.isValid()) return;
  const bool payment = grid == paymentGrid_;
  const int column = cell.column();
  const char* list = nullptr;
  if (column == (payment ? int{PaymentGridModel::Procedure} : int{ChargeGridModel::Procedure}))
    list = "code";
  else if (!payment && column >= ChargeGridModel::Diagnosis1 &&
           column <= ChargeGridModel::Diagnosis4)
    list = "diagnosis";
  if (list == nullptr || !(cell.flags() & Qt::ItemIsEditable)) {
    if (editOtherwise && grid->indexWidget(cell) == nullptr) grid->edit(cell);
    return;
  }
  // What is typed so far starts the list; the cell itself changes only with a code picked.
  QString typed = cell.data(Qt::EditRole).toString();
  if (auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(cell))) {
    typed = editor->text();
    editor->setText(cell.data(Qt::EditRole).toString());
    grid->finishTyping();
  }
  const auto picked = pickCode(list, typed.trimmed().toStdString(), context_.practice,
                               context_.prompter, context_.clock, context_.security, this);
  grid->setFocus();
  if (!picked) return;
  grid->setCurrentIndex(cell);
  grid->model()->setData(cell, qt(*picked), Qt::EditRole);
}

}  // namespace vantrell::desktop
