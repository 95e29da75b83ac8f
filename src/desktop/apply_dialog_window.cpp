#include "apply_dialog_window.hpp"
#include "widget_helpers.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace vantrell::desktop {
namespace {

const char* const columnTitles[] = {"Complete", "Date From", "Document",   "Procedure",
                                    "Amount",   "Balance",   "Total Paid", "This Payment"};
static_assert(std::size(columnTitles) == ApplyRowsModel::ColumnCount);

bool isAmountColumn(int column) {
  return column >= ApplyRowsModel::Amount;
}

// The amount cell keeps Enter for itself where Enter otherwise moves to the next field.
class AmountDelegate : public QStyledItemDelegate {
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

ApplyRowsModel::ApplyRowsModel(transactions::ApplyDialog& dialog, QObject* parent)
    : QAbstractTableModel(parent), dialog_(dialog) {}

void ApplyRowsModel::refresh() {
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

int ApplyRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(dialog_.rows().size());
}

int ApplyRowsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant ApplyRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const transactions::ApplyRow& row = dialog_.rows()[static_cast<std::size_t>(index.row())];
  const int column = index.column();
  if (role == Qt::TextAlignmentRole)
    return isAmountColumn(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
  if (role == Qt::CheckStateRole && column == Complete)
    return row.complete ? Qt::Checked : Qt::Unchecked;
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  switch (column) {
    case DateFrom:
      return qt(row.dateFrom.toMonthDayYear());
    case Document:
      return qt(row.documentNumber);
    case Procedure:
      return qt(row.procedureCode);
    case Amount:
      return qt(row.amount.toString());
    case Balance:
      return qt(row.balance.toString());
    case TotalPaid:
      return qt(row.totalPaid.toString());
    case ThisPayment:
      return qt(row.thisPayment.toString());
    default:
      return {};
  }
}

bool ApplyRowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= rowCount()) return false;
  const auto row = static_cast<std::size_t>(index.row());
  if (index.column() == Complete && role == Qt::CheckStateRole) {
    dialog_.setComplete(row, value.toInt() == Qt::Checked);
    emit dataChanged(index, index);
    return true;
  }
  if (index.column() != ThisPayment || role != Qt::EditRole) return false;
  const QString typed = value.toString().trimmed();
  const std::optional<Money> amount =
      typed.isEmpty() ? std::optional<Money>(Money{}) : Money::parse(typed.toStdString());
  if (!amount) return false;
  if (*amount == dialog_.rows()[row].thisPayment) return true;
  // The sign, the balance, the total paid and the complete mark all follow the amount typed.
  dialog_.setThisPayment(row, *amount);
  emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
  emit applied();
  return true;
}

Qt::ItemFlags ApplyRowsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == Complete) flags |= Qt::ItemIsUserCheckable;
  if (index.column() == ThisPayment) flags |= Qt::ItemIsEditable;
  return flags;
}

QVariant ApplyRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= ColumnCount)
    return {};
  return QString::fromLatin1(columnTitles[section]);
}

void ApplyGrid::finishTyping() {
  if (state() != QAbstractItemView::EditingState) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void ApplyGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  const int row = currentIndex().row();
  const bool onward = hint == QAbstractItemDelegate::SubmitModelCache ||
                      hint == QAbstractItemDelegate::EditNextItem;
  const bool back = hint == QAbstractItemDelegate::EditPreviousItem;
  QTableView::closeEditor(editor, onward || back ? QAbstractItemDelegate::NoHint : hint);
  if (!onward && !back) return;
  const int next = row + (back ? -1 : 1);
  if (next < 0 || next >= model()->rowCount()) return;
  const QModelIndex amount = model()->index(next, ApplyRowsModel::ThisPayment);
  setCurrentIndex(amount);
  edit(amount);
}

ApplyDialogWindow::ApplyDialogWindow(transactions::ApplyDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  setObjectName("ApplyDialog");
  setWindowTitle(qt(dialog.title()));
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  auto* caption = new QLabel(qt(dialog.caption()));
  caption->setObjectName("caption");
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  top->addWidget(caption);
  top->addStretch(1);
  remainder_ = new QLabel;
  remainder_->setObjectName("remainder");
  remainder_->setFont(bold);
  remainder_->setVisible(dialog.remainderShown());
  top->addWidget(remainder_);
  layout->addLayout(top);

  auto* count = new QLabel(qt(dialog.countText()));
  count->setObjectName("count");
  layout->addWidget(count);

  rows_ = new ApplyRowsModel(dialog, this);
  grid_ = new ApplyGrid;
  grid_->setObjectName("rows");
  grid_->setModel(rows_);
  grid_->setItemDelegate(new AmountDelegate(grid_));
  grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
  grid_->setWordWrap(false);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
  const int widths[] = {70, 88, 96, 88, 80, 80, 80, 96};
  for (int column = 0; column < ApplyRowsModel::ColumnCount; ++column)
    grid_->setColumnWidth(column, widths[column]);
  grid_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(grid_, 1);
  connect(rows_, &ApplyRowsModel::applied, this, &ApplyDialogWindow::showRemainder);

  auto* bottom = new QHBoxLayout;
  if (dialog.autoCompleteShown()) {
    auto* autoComplete = new QCheckBox(tr("Auto &complete charges as amounts are applied"));
    autoComplete->setObjectName("autoComplete");
    autoComplete->setChecked(dialog.autoComplete());
    connect(autoComplete, &QCheckBox::toggled, this,
            [this](bool on) { dialog_.setAutoComplete(on); });
    bottom->addWidget(autoComplete);
  }
  if (dialog.applyToOldestShown()) {
    auto* oldest = new QPushButton(tr("Apply to &Oldest"));
    oldest->setObjectName("applyToOldest");
    oldest->setAutoDefault(false);
    oldest->setToolTip(tr("Apply what is left to the oldest charges first"));
    connect(oldest, &QPushButton::clicked, this, [this] {
      dialog_.applyToOldest();
      rows_->refresh();
      showRemainder();
    });
    bottom->addWidget(oldest);
  }
  bottom->addStretch(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    grid_->finishTyping();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  bottom->addWidget(buttons);
  layout->addLayout(bottom);

  showRemainder();
  resize(760, 380);
  grid_->setFocus();
  if (rows_->rowCount() > 0) grid_->setCurrentIndex(rows_->index(0, ApplyRowsModel::ThisPayment));
}

void ApplyDialogWindow::showRemainder() {
  remainder_->setText(tr("Unapplied: $%1").arg(qt(dialog_.remainder().toString())));
}

}  // namespace vantrell::desktop
