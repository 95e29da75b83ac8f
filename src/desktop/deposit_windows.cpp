#include "deposit_windows.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include "claim_output_windows.hpp"
#include "claims/claim_billing.hpp"
#include "common/code_sets.hpp"
#include "deposits/deposit_detail.hpp"
#include "main_window.hpp"
#include "statement_windows.hpp"
#include "store/names.hpp"
#include "widget_helpers.hpp"
#include "record_form.hpp"

namespace vantrell::desktop {
namespace {

std::string plain(const QString& text) {
  return text.trimmed().toStdString();
}
std::string trimmed(const std::string& text) {
  return std::string(store::trimRight(text));
}

constexpr std::size_t pageSize = 100;

void showMoney(QLabel* label, const QString& caption, Money amount) {
  label->setText(caption + qt(amount.toGroupedString()));
  // Spent past the deposit: the clerk sees it before saving.
  label->setStyleSheet(amount < Money{} ? "color: red; font-weight: bold;" : "font-weight: bold;");
}

bool isEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// Enter in a grid cell keeps what was typed and has the grid open the next cell.
class MovingOnDelegate : public QStyledItemDelegate {
 public:
  MovingOnDelegate(std::function<void()> moveOn, QObject* parent)
      : QStyledItemDelegate(parent), moveOn_(std::move(moveOn)) {}

 protected:
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // Enter is the grid's, even where Enter otherwise moves between fields.
    editor->setProperty("enterSubmits", true);
    return editor;
  }
  bool eventFilter(QObject* editor, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent*>(event))) {
      auto* widget = qobject_cast<QWidget*>(editor);
      emit commitData(widget);
      emit closeEditor(widget, QAbstractItemDelegate::NoHint);
      moveOn_();
      return true;
    }
    return QStyledItemDelegate::eventFilter(editor, event);
  }

 private:
  std::function<void()> moveOn_;
};

// Print Statement Now from the grid: the create dialog shown over the grid, the
// statement in the statements' preview, which stays when the grid closes.
class PreviewStatementPrinting final : public statements::StatementPrinting {
 public:
  PreviewStatementPrinting(const DepositDesk& desk, QWidget* owner, std::function<QWidget*()> over)
      : desk_(desk), owner_(owner), over_(std::move(over)) {}
  bool fill(statements::StatementCreateDialog& dialog) override {
    StatementCreateDialogView view(dialog, over_());
    return view.exec() == QDialog::Accepted;
  }
  bool print(std::int64_t statementNumber) override {
    const statements::Surroundings surroundings{desk_.surroundings.practice,
                                                desk_.options,
                                                desk_.surroundings.prompter,
                                                desk_.settings,
                                                desk_.clock,
                                                desk_.surroundings.security};
    return !previewStatements(surroundings, {desk_.surroundings.programDate, {}}, {statementNumber},
                              owner_)
                .empty();
  }

 private:
  const DepositDesk& desk_;
  QWidget* owner_;
  std::function<QWidget*()> over_;
};

// Bill Remaining Insurances Now from the grid: the paper options asked over the grid (the
// carrier fixed to the one now due), the forms in the claims' preview, which stays when the grid
// closes, and once the PDF is whole the claims printed marked billed for that carrier.
class PreviewDueClaimPrinting final : public claims::ClaimPrinting {
 public:
  PreviewDueClaimPrinting(const DepositDesk& desk, QWidget* owner, std::function<QWidget*()> over)
      : desk_(desk), owner_(owner), over_(std::move(over)) {}
  bool print(const std::vector<std::int64_t>& claimNumbers, int slot) override {
    store::Connection& practice = desk_.surroundings.practice;
    ui::Prompter& prompter = desk_.surroundings.prompter;
    claims::PrintSendDialog model(practice, prompter, desk_.surroundings.security);
    if (!model.mayOpen()) return false;
    ClaimPrintSendWindow dialog(model, true, over_());
    dialog.billDue(slot);
    if (dialog.exec() != QDialog::Accepted) return false;
    const Date today =
        desk_.surroundings.programDate ? desk_.surroundings.programDate() : desk_.clock.today();
    claims::ClaimFormOptions options;
    options.paper = dialog.paper().paper;
    options.signatureDate = today;
    ClaimOutput output;
    output.options = &desk_.options;
    const auto printed =
        previewClaimForms(practice, prompter, output, claimNumbers, slot, options, false, owner_);
    if (printed.empty()) return false;
    claims::ClaimBillingRun run;
    for (const std::int64_t number : printed) run.claims.push_back({number, slot});
    run.billingDate = today;
    const claims::ClaimBillingOutcome billed =
        claims::recordClaimsBilled(practice, desk_.options, prompter, run);
    if (!billed.updated.empty())
      prompter.inform(QObject::tr("%n claim(s) marked Sent; batch %1 for those that had no batch.",
                                  nullptr, static_cast<int>(billed.updated.size()))
                          .arg(billed.batch)
                          .toStdString());
    return true;
  }

 private:
  const DepositDesk& desk_;
  QWidget* owner_;
  std::function<QWidget*()> over_;
};

// A read-only grid of rows of text, in a window of its own that Escape closes.
QDialog* listWindow(QWidget* parent, const char* name, const QString& title,
                    const QStringList& columns, const std::vector<QStringList>& rows,
                    const QString& footing) {
  auto* window = new QDialog(parent);
  window->setObjectName(name);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(title);
  auto* table = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()));
  table->setObjectName("lines");
  table->setHorizontalHeaderLabels(columns);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  for (int row = 0; row < table->rowCount(); ++row)
    for (int column = 0; column < table->columnCount(); ++column)
      table->setItem(row, column,
                     new QTableWidgetItem(rows[static_cast<std::size_t>(row)].value(column)));
  table->resizeColumnsToContents();
  auto* total = new QLabel(footing);
  total->setObjectName("footing");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(table, 1);
  layout->addWidget(total);
  layout->addWidget(buttons);
  window->resize(std::max(520, table->horizontalHeader()->length() + 40), 320);
  window->setWindowFlag(Qt::Window);
  window->show();
  window->raise();
  window->activateWindow();
  table->setFocus();
  return window;
}

QString amountText(Money amount) {
  return amount == Money{} ? QString() : qt(amount.toString());
}

}  // namespace

// ---------------------------------------------------------------------------------------------

DepositListModel::DepositListModel(deposits::DepositList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

const std::vector<const char*>& DepositListModel::columns() {
  static const std::vector<const char*> titles = {
      "Entry Number",     "Deposit Date", "Payor Name",     "Description",  "Payment Amount",
      "Unapplied Amount", "Payor Type",   "Payment Method", "Chart Number", "Insurance Code"};
  return titles;
}

void DepositListModel::reload() {
  beginResetModel();
  list_.restart();
  rows_ = list_.nextPage(pageSize);
  atEnd_ = rows_.size() < pageSize;
  endResetModel();
}

std::optional<std::int64_t> DepositListModel::depositAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return std::nullopt;
  return rows_[static_cast<std::size_t>(row)].integer("Entry Number");
}

int DepositListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}
int DepositListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns().size());
}

QVariant DepositListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const store::Record& row = rows_[static_cast<std::size_t>(index.row())];
  const std::string field = columns()[static_cast<std::size_t>(index.column())];
  const bool amount = field == "Payment Amount" || field == "Unapplied Amount";
  if (role == Qt::TextAlignmentRole && (amount || field == "Entry Number"))
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::ForegroundRole && field == "Unapplied Amount" && row.money(field) < Money{})
    return QColor(Qt::red);
  if (role != Qt::DisplayRole) return {};
  if (field == "Entry Number") return QVariant::fromValue(row.integer(field));
  if (field == "Deposit Date") return qt(row.date(field).toMonthDayYear());
  if (amount) return qt(row.money(field).toGroupedString());
  return qt(trimmed(row.text(field)));
}

QVariant DepositListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return QString::fromLatin1(columns()[static_cast<std::size_t>(section)]);
}

bool DepositListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_;
}

void DepositListModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || atEnd_) return;
  auto page = list_.nextPage(pageSize);
  atEnd_ = page.size() < pageSize;
  if (page.empty()) return;
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
  for (auto& row : page) rows_.push_back(std::move(row));
  endInsertRows();
}

// ---------------------------------------------------------------------------------------------

DepositDialog::DepositDialog(std::unique_ptr<deposits::DepositWindow> model, QWidget* parent)
    : QDialog(parent), model_(std::move(model)) {
  setObjectName("Deposit");
  setAttribute(Qt::WA_DeleteOnClose);
  auto* form = new QFormLayout;
  date_ = namedEdit("depositDate");
  payorType_ = namedCombo("payorType", {"Patient", "Insurance", "Capitation", "Attorney"});
  method_ = namedCombo("paymentMethod", {"Check", "Cash", "Credit Card", "Electronic"});
  chart_ = namedEdit("chartNumber");
  carrier_ = namedEdit("insuranceCode");
  attorney_ = namedEdit("attorneyCode");
  payorName_ = namedEdit("payorName");
  description_ = namedEdit("description");
  check_ = namedEdit("checkNumber");
  amount_ = namedEdit("paymentAmount");
  unapplied_ = new QLabel;
  unapplied_->setObjectName("unapplied");
  form->addRow(tr("Deposit &Date:"), date_);
  form->addRow(tr("Payor &Type:"), payorType_);
  form->addRow(tr("Payment &Method:"), method_);
  form->addRow(tr("C&hart Number:"), chart_);
  form->addRow(tr("&Insurance Code:"), carrier_);
  form->addRow(tr("Attor&ney Code:"), attorney_);
  form->addRow(tr("Payor N&ame:"), payorName_);
  form->addRow(tr("Des&cription:"), description_);
  form->addRow(tr("Check N&umber:"), check_);
  form->addRow(tr("&Payment Amount:"), amount_);
  form->addRow(tr("Unapplied Amount:"), unapplied_);
  const std::vector<std::tuple<deposits::CodeBox, const char*, QString>> boxes = {
      {deposits::CodeBox::Payment, "paymentCode", tr("Payment &Code:")},
      {deposits::CodeBox::Adjustment, "adjustmentCode", tr("Ad&justment Code:")},
      {deposits::CodeBox::Withhold, "withholdCode", tr("&Withhold Code:")},
      {deposits::CodeBox::Deductible, "deductibleCode", tr("Dedu&ctible Code:")},
      {deposits::CodeBox::TakeBack, "takeBackCode", tr("Ta&ke Back Code:")}};
  for (const auto& [box, name, caption] : boxes) {
    auto* combo = namedCombo(name, {}, true);
    codeBoxes_.emplace_back(box, combo);
    form->addRow(caption, combo);
  }

  auto* buttons = new QDialogButtonBox;
  QPushButton* saveButton = addButton(buttons, tr("&Save"), "save");
  QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  cancel->setAutoDefault(false);
  connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
  connect(cancel, &QPushButton::clicked, this, &DepositDialog::reject);
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this] { save(); });
  }

  // The boxes offered depend on who pays and how.
  for (QComboBox* choice : {payorType_, method_}) {
    connect(choice, &QComboBox::currentTextChanged, this, [this, choice](const QString& text) {
      if (filling_) return;
      push(choice == payorType_ ? "Payor Type" : "Payment Method", text);
      showDeposit();
    });
  }
  connect(amount_, &QLineEdit::textEdited, this, [this] { paymentTyped(); });
  for (QLineEdit* payor : {chart_, carrier_}) {
    connect(payor, &QLineEdit::editingFinished, this, [this, payor] {
      if (filling_) return;
      push(payor == chart_ ? "Chart Number" : "Insurance Code", payor->text());
      payorName_->setText(qt(trimmed(model_->deposit().text("Payor Name"))));
    });
  }

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  showDeposit();
  date_->setFocus();
}

DepositDialog::~DepositDialog() = default;

void DepositDialog::showDeposit() {
  filling_ = true;
  const store::Record& deposit = model_->deposit();
  setWindowTitle(qt(model_->title()));
  date_->setText(qt(deposit.date("Deposit Date").toMonthDayYear()));
  payorType_->setCurrentText(qt(trimmed(deposit.text("Payor Type"))));
  method_->setCurrentText(qt(trimmed(deposit.text("Payment Method"))));
  chart_->setText(qt(trimmed(deposit.text("Chart Number"))));
  carrier_->setText(qt(trimmed(deposit.text("Insurance Code"))));
  attorney_->setText(qt(trimmed(deposit.text("Attorney Code"))));
  payorName_->setText(qt(trimmed(deposit.text("Payor Name"))));
  description_->setText(qt(trimmed(deposit.text("Description"))));
  check_->setText(qt(trimmed(deposit.text("Check Number"))));
  if (!amount_->hasFocus()) amount_->setText(qt(deposit.money("Payment Amount").toString()));
  showMoney(unapplied_, QString(), deposit.money("Unapplied Amount"));
  fillCodeBoxes();
  filling_ = false;
}

void DepositDialog::fillCodeBoxes() {
  static const std::map<deposits::CodeBox, const char*> fields = {
      {deposits::CodeBox::Payment, "Payment Code"},
      {deposits::CodeBox::Adjustment, "Adjustment Code"},
      {deposits::CodeBox::Withhold, "Withhold Code"},
      {deposits::CodeBox::Deductible, "Deductible Code"},
      {deposits::CodeBox::TakeBack, "Take Back Code"}};
  for (auto& [box, combo] : codeBoxes_) {
    combo->clear();
    combo->addItem(QString());
    for (const store::Record& code : model_->codeChoices(box)) {
      combo->addItem(qt(trimmed(code.text("Code 1"))));
      combo->setItemData(combo->count() - 1, qt(trimmed(code.text("Description"))),
                         Qt::ToolTipRole);
    }
    combo->setCurrentText(qt(trimmed(model_->deposit().text(fields.at(box)))));
  }
}

bool DepositDialog::push(const char* field, const QString& text) {
  return model_->setField(field, plain(text));
}

void DepositDialog::paymentTyped() {
  const auto amount = Money::parse(plain(amount_->text()));
  if (!amount) return;
  model_->setPaymentAmount(*amount);
  showMoney(unapplied_, QString(), model_->deposit().money("Unapplied Amount"));
}

bool DepositDialog::pushAll() {
  const std::vector<std::pair<const char*, QLineEdit*>> edits = {
      {"Deposit Date", date_},      {"Chart Number", chart_},   {"Insurance Code", carrier_},
      {"Attorney Code", attorney_}, {"Payor Name", payorName_}, {"Description", description_},
      {"Check Number", check_},     {"Payment Amount", amount_}};
  const char* codeFields[] = {"Payment Code", "Adjustment Code", "Withhold Code", "Deductible Code",
                              "Take Back Code"};
  for (const auto& [field, edit] : edits) {
    if (!push(field, edit->text())) {
      edit->setFocus();
      return false;
    }
  }
  for (std::size_t box = 0; box < codeBoxes_.size(); ++box) {
    if (!push(codeFields[box], codeBoxes_[box].second->currentText())) {
      codeBoxes_[box].second->setFocus();
      return false;
    }
  }
  return true;
}

QWidget* DepositDialog::boxOf(const std::string& field) const {
  if (field == "Payment Code") return codeBoxes_.front().second;
  if (field == "Chart Number") return chart_;
  if (field == "Insurance Code") return carrier_;
  if (field == "Attorney Code") return attorney_;
  return nullptr;
}

bool DepositDialog::save() {
  if (!pushAll()) return false;
  if (!model_->save()) {
    if (QWidget* box = boxOf(model_->focus())) box->setFocus();
    return false;
  }
  showDeposit();
  if (saved_) saved_();
  return true;
}

void DepositDialog::reject() {
  model_->close();
  QDialog::reject();
}

// ---------------------------------------------------------------------------------------------

PaymentApplicationDialog::PaymentApplicationDialog(
    std::unique_ptr<deposits::PaymentApplicationWindow> model, QWidget* parent)
    : QDialog(parent), model_(std::move(model)) {
  setObjectName("PaymentApplication");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(tr("Apply Payment/Adjustments to Charges"));
  const store::Record& deposit = model_->deposit();

  auto* heading = new QLabel(qt(trimmed(deposit.text("Payor Name")) + "   " +
                                deposit.date("Deposit Date").toMonthDayYear() + "   $" +
                                deposit.money("Payment Amount").toGroupedString()));
  heading->setObjectName("depositHeading");
  unapplied_ = new QLabel;
  unapplied_->setObjectName("unapplied");
  chart_ = namedEdit("chart");
  chart_->setProperty("enterSubmits", true);  // Enter lists the patient's charges
  patient_ = new QLabel;
  patient_->setObjectName("patient");
  auto* chartLabel = new QLabel(tr("&For:"));
  chartLabel->setBuddy(chart_);
  unpaidOnly_ = new QCheckBox(tr("Show &Unpaid Only"));
  unpaidOnly_->setObjectName("unpaidOnly");
  remainderOnly_ = new QCheckBox(tr("Show &Remainder Only"));
  remainderOnly_->setObjectName("remainderOnly");
  auto* top = new QHBoxLayout;
  top->addWidget(chartLabel);
  top->addWidget(chart_);
  top->addWidget(patient_, 1);
  top->addWidget(unpaidOnly_);
  top->addWidget(remainderOnly_);
  auto* money = new QHBoxLayout;
  money->addWidget(heading, 1);
  money->addWidget(new QLabel(tr("Unapplied:")));
  money->addWidget(unapplied_);

  charges_ = new QTableWidget(0, ColumnCount);
  charges_->setObjectName("charges");
  charges_->setHorizontalHeaderLabels({tr("Date"), tr("Procedure"), tr("Charge"), tr("Remainder"),
                                       tr("Payor"), tr("Payment"), tr("Deductible"), tr("Withhold"),
                                       tr("Allowed"), tr("Adjustment"), tr("Take Back"),
                                       tr("Complete"), tr("Rejection"), tr("Documentation")});
  charges_->verticalHeader()->hide();
  charges_->setSelectionMode(QAbstractItemView::SingleSelection);
  charges_->setSelectionBehavior(QAbstractItemView::SelectItems);
  charges_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed);
  charges_->setItemDelegate(new MovingOnDelegate([this] { moveOn(); }, charges_));
  charges_->installEventFilter(this);
  charges_->setMinimumWidth(900);

  // The codes the save posts with, offered for the deposit's payor as the deposit window does.
  auto* codes = new QHBoxLayout;
  for (const auto& [box, name, caption] :
       std::vector<std::tuple<deposits::CodeBox, const char*, QString>>{
           {deposits::CodeBox::Payment, "paymentCode", tr("Pa&yment Code:")},
           {deposits::CodeBox::Deductible, "deductibleCode", tr("&Deductible Code:")},
           {deposits::CodeBox::Adjustment, "adjustmentCode", tr("Ad&justment Code:")},
           {deposits::CodeBox::Withhold, "withholdCode", tr("&Withhold Code:")},
           {deposits::CodeBox::TakeBack, "takeBackCode", tr("Ta&ke Back Code:")}}) {
    QComboBox* combo = namedCombo(name, {}, true);
    auto* label = new QLabel(caption);
    label->setBuddy(combo);
    codes->addWidget(label);
    codes->addWidget(combo, 1);
    codeBoxes_.emplace_back(box, combo);
  }
  fillCodeBoxes();
  for (const auto& [box, combo] : codeBoxes_)
    connect(combo, &QComboBox::currentTextChanged, this,
            [this, box = box](const QString& code) { codeChosen(box, code); });

  // Remembered per workstation user.
  const deposits::ApplicationChoices& remembered = model_->choices();
  const auto choice = [this](const QString& caption, const char* name, bool on) {
    auto* check = new QCheckBox(caption);
    check->setObjectName(name);
    check->setChecked(on);
    connect(check, &QCheckBox::toggled, this, [this] { choicesChanged(); });
    return check;
  };
  billRemaining_ = choice(tr("Bill Remaining &Insurances Now"), "billRemaining",
                          remembered.billRemainingInsurances);
  printStatements_ =
      choice(tr("&Print Statement Now"), "printStatements", remembered.printStatements);
  alertClaims_ =
      choice(tr("Alert When &Claims Are Done"), "alertClaimsDone", remembered.alertClaimsDone);
  alertStatements_ = choice(tr("Alert When S&tatements Are Done"), "alertStatementsDone",
                            remembered.alertStatementsDone);
  auto* checks = new QHBoxLayout;
  for (QCheckBox* check : {billRemaining_, printStatements_, alertClaims_, alertStatements_})
    checks->addWidget(check);
  checks->addStretch(1);

  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("List O&nly"), "listOnly"), &QPushButton::clicked, this,
          [this] { listOnly(); });
  connect(addButton(buttons, tr("&View So Far"), "viewSoFar"), &QPushButton::clicked, this,
          [this] { viewSoFar(); });
  connect(addButton(buttons, tr("Docu&mentation"), "documentation"), &QPushButton::clicked, this,
          [this] { editDocumentation(); });
  QPushButton* oldest = addButton(buttons, tr("Apply To &Oldest"), "applyToOldest");
  QPushButton* saveButton = addButton(buttons, tr("&Save Payments/Adjustments"), "save");
  QPushButton* closeButton = addButton(buttons, tr("C&lose"), "close");
  connect(oldest, &QPushButton::clicked, this, [this] { applyToOldest(); });
  connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
  connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
  auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F9), this);
  connect(shortcut, &QShortcut::activated, this, [this] { save(); });

  connect(chart_, &QLineEdit::returnPressed, this, [this] {
    if (choosePatient()) charges_->setFocus();
  });
  connect(unpaidOnly_, &QCheckBox::toggled, this, [this](bool on) {
    model_->setShowUnpaidOnly(on);
    showRows();
  });
  connect(remainderOnly_, &QCheckBox::toggled, this, [this](bool on) {
    model_->setShowRemainderOnly(on);
    showRows();
  });
  connect(charges_, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { typed(item); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(money);
  layout->addLayout(top);
  layout->addLayout(codes);
  layout->addWidget(charges_, 1);
  layout->addLayout(checks);
  layout->addWidget(buttons);
  fitOnScreen(*this, QSize(1100, 520));  // no wider than a small screen
  showUnapplied();
  chart_->setFocus();
}

PaymentApplicationDialog::~PaymentApplicationDialog() {
  if (!finished_) model_->close();
}

bool PaymentApplicationDialog::choosePatient() {
  const std::string chart = plain(chart_->text());
  if (!model_->choosePatient(chart)) {
    chart_->setText(qt(model_->chartNumber()));
    chart_->selectAll();
    return false;
  }
  chart_->setText(qt(model_->chartNumber()));
  showRows();
  charges_->setCurrentCell(0, Payment);
  return true;
}

void PaymentApplicationDialog::showRows() {
  filling_ = true;
  charges_->setRowCount(static_cast<int>(model_->rows().size()));
  for (int row = 0; row < charges_->rowCount(); ++row) {
    for (int column = 0; column < ColumnCount; ++column) {
      auto* item = new QTableWidgetItem;
      if (column < Payment || column == Documentation)
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      // Amounts on the right; the date and the procedure code read as in the other lists.
      if ((column >= Amount && column <= Remainder) || (column >= Payment && column < Complete))
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      charges_->setItem(row, column, item);
    }
  }
  filling_ = false;
  for (int row = 0; row < charges_->rowCount(); ++row) showRow(row);
  charges_->resizeColumnsToContents();
  showUnapplied();
}

void PaymentApplicationDialog::showRow(int row) {
  const auto& view = model_->rows()[static_cast<std::size_t>(row)];
  const deposits::ApplicationEntry& entry = view.entry;
  const auto amount = [](Money value) {
    return value == Money{} ? QString() : qt(value.toString());
  };
  const std::size_t index = static_cast<std::size_t>(row);
  filling_ = true;
  charges_->item(row, Date)->setText(qt(view.charge.date("Date From").toMonthDayYear()));
  charges_->item(row, Procedure)->setText(qt(trimmed(view.charge.text("Procedure Code"))));
  charges_->item(row, Amount)->setText(qt(view.charge.money("Amount").toString()));
  charges_->item(row, Remainder)->setText(qt(model_->shownRemainder(index).toString()));
  const std::string position = model_->payorPosition(index);
  charges_->item(row, Payor)->setText(qt(position.empty() ? view.payor : position));
  // Typed amounts show as the clerk typed them, whatever sign the ledger keeps.
  charges_->item(row, Payment)->setText(amount(entry.payment.abs()));
  charges_->item(row, Deductible)->setText(amount(entry.deductible.abs()));
  charges_->item(row, Withhold)->setText(amount(entry.withhold.abs()));
  charges_->item(row, Allowed)->setText(amount(entry.allowed));
  charges_->item(row, Adjustment)->setText(amount(entry.adjustment.abs()));
  charges_->item(row, TakeBack)->setText(amount(entry.takeBack.abs()));
  charges_->item(row, Complete)->setText(entry.complete ? tr("Yes") : QString());
  charges_->item(row, Rejection)->setText(qt(entry.rejection));
  const deposits::ChargeDocumentation note = model_->documentation(index);
  charges_->item(row, Documentation)
      ->setText(note.text.empty() ? QString() : qt(note.type + ": " + note.text));
  filling_ = false;
}

void PaymentApplicationDialog::showUnapplied() {
  showMoney(unapplied_, "$", model_->unapplied());
}

void PaymentApplicationDialog::typed(QTableWidgetItem* item) {
  if (filling_) return;
  const int row = item->row();
  const std::size_t index = static_cast<std::size_t>(row);
  const std::string text = plain(item->text());
  const int column = item->column();
  if (column == Complete) {
    const std::string mark = store::upperAscii(text);
    model_->setComplete(index, !mark.empty() && mark[0] != 'N');
  } else if (column == Rejection) {
    model_->setRejection(index, store::upperAscii(text));
  } else if (column >= Payment && column < Complete) {
    const auto typedAmount = text.empty() ? std::optional<Money>(Money{}) : Money::parse(text);
    if (typedAmount) {
      switch (column) {
        case Payment:
          model_->setPayment(index, *typedAmount);
          break;
        case Deductible:
          model_->setDeductible(index, *typedAmount);
          break;
        case Withhold:
          model_->setWithhold(index, *typedAmount);
          break;
        case Allowed:
          model_->setAllowed(index, *typedAmount);
          break;
        case Adjustment:
          model_->setAdjustment(index, *typedAmount);
          break;
        case TakeBack:
          model_->setTakeBack(index, *typedAmount);
          break;
        default:
          break;
      }
    }
  }
  // A typed payment may tick Complete or work out the disallowed part; what is not an
  // amount goes back to what the entry holds.
  showRow(row);
  showUnapplied();
}

void PaymentApplicationDialog::applyToOldest() {
  model_->applyToOldest();
  for (int row = 0; row < charges_->rowCount(); ++row) showRow(row);
  showUnapplied();
}

bool PaymentApplicationDialog::save() {
  // F9 while a cell is open keeps what is typed in it: the cell gives it up with the focus.
  if (QWidget* focused = focusWidget(); focused != nullptr && charges_->isAncestorOf(focused))
    charges_->setFocus();
  if (!model_->save()) return false;
  showRows();
  return true;
}

void PaymentApplicationDialog::fillCodeBoxes() {
  const deposits::ApplicationCodes& chosen = model_->codes();
  const std::map<deposits::CodeBox, std::string> current = {
      {deposits::CodeBox::Payment, chosen.payment},
      {deposits::CodeBox::Deductible, chosen.deductible},
      {deposits::CodeBox::Adjustment, chosen.adjustment},
      {deposits::CodeBox::Withhold, chosen.withhold},
      {deposits::CodeBox::TakeBack, chosen.takeBack}};
  for (auto& [box, combo] : codeBoxes_) {
    combo->clear();
    combo->addItem(QString());
    for (const store::Record& code : model_->codeChoices(box)) {
      combo->addItem(qt(trimmed(code.text("Code 1"))));
      combo->setItemData(combo->count() - 1, qt(trimmed(code.text("Description"))),
                         Qt::ToolTipRole);
    }
    combo->setCurrentText(qt(trimmed(current.at(box))));
  }
}

void PaymentApplicationDialog::codeChosen(deposits::CodeBox box, const QString& code) {
  // A code typed in any case is looked up by its upper-case key at the save.
  const std::string text = store::upperAscii(plain(code));
  deposits::ApplicationCodes& codes = model_->codes();
  switch (box) {
    case deposits::CodeBox::Payment:
      codes.payment = text;
      break;
    case deposits::CodeBox::Deductible:
      codes.deductible = text;
      break;
    case deposits::CodeBox::Adjustment:
      codes.adjustment = text;
      break;
    case deposits::CodeBox::Withhold:
      codes.withhold = text;
      break;
    case deposits::CodeBox::TakeBack:
      codes.takeBack = text;
      break;
  }
}

void PaymentApplicationDialog::choicesChanged() {
  model_->setChoices({billRemaining_->isChecked(), printStatements_->isChecked(),
                      alertClaims_->isChecked(), alertStatements_->isChecked()});
}

void PaymentApplicationDialog::listOnly() {
  std::vector<QStringList> rows;
  Money payments;
  for (const deposits::ApplicationRowView* row : model_->entriesSoFar()) {
    const deposits::ApplicationEntry& entry = row->entry;
    payments += entry.payment;
    rows.push_back({qt(row->charge.date("Date From").toMonthDayYear()),
                    qt(trimmed(row->charge.text("Procedure Code"))),
                    qt(row->charge.money("Amount").toString()), amountText(entry.payment.abs()),
                    amountText(entry.deductible.abs()), amountText(entry.withhold.abs()),
                    amountText(entry.allowed), amountText(entry.adjustment.abs()),
                    amountText(entry.takeBack.abs()), entry.complete ? tr("Yes") : QString(),
                    qt(entry.rejection)});
  }
  listWindow(
      this, "ListOnly", tr("List Only: ") + qt(model_->chartNumber()),
      {tr("Date"), tr("Procedure"), tr("Charge"), tr("Payment"), tr("Deductible"), tr("Withhold"),
       tr("Allowed"), tr("Adjustment"), tr("Take Back"), tr("Complete"), tr("Rejection")},
      rows, tr("Payments not saved yet: %1").arg(qt(payments.abs().toGroupedString())));
}

void PaymentApplicationDialog::viewSoFar() {
  std::vector<QStringList> rows;
  for (const store::Record& line : model_->postedSoFar())
    rows.push_back(
        {QString::number(line.integer("Entry Number")), qt(trimmed(line.text("Chart Number"))),
         qt(line.date("Date From").toMonthDayYear()), qt(trimmed(line.text("Procedure Code"))),
         qt(trimmed(line.text("Transaction Type"))), qt(trimmed(line.text("Who Paid"))),
         qt(line.money("Amount").toString())});
  listWindow(
      this, "ViewSoFar", tr("View So Far"),
      {tr("Entry"), tr("Chart"), tr("Date"), tr("Code"), tr("Type"), tr("Who Paid"), tr("Amount")},
      rows, tr("Unapplied: %1").arg(qt(model_->unapplied().toGroupedString())));
}

void PaymentApplicationDialog::moveOn() {
  // Column by column along the charge, then the next charge's payment.
  int row = charges_->currentRow();
  int column = charges_->currentColumn() + 1;
  if (column > Rejection) {
    if (row + 1 >= charges_->rowCount()) return;
    ++row;
    column = Payment;
  }
  charges_->setCurrentCell(row, column);
  charges_->editItem(charges_->item(row, column));
}

bool PaymentApplicationDialog::eventFilter(QObject* watched, QEvent* event) {
  // Keys reach the grid itself only while no cell is open.
  if (watched == charges_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Enter on a cell opens it for typing; Enter in it moves on (see the delegate).
    if (isEnter(key) && charges_->currentItem() != nullptr &&
        (charges_->currentItem()->flags() & Qt::ItemIsEditable)) {
      charges_->editItem(charges_->currentItem());
      return true;
    }
    if (isEnter(key) && charges_->currentColumn() == Documentation) {
      editDocumentation();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void PaymentApplicationDialog::editDocumentation() {
  const int row = charges_->currentRow();
  if (row < 0) return;
  const std::size_t index = static_cast<std::size_t>(row);
  const deposits::ChargeDocumentation note = model_->documentation(index);
  QDialog editor(this);
  editor.setObjectName("ChargeDocumentation");
  editor.setWindowTitle(tr("Documentation"));
  auto* kind = namedCombo("documentationType", {}, false);
  for (const CodeMeaning& meaning : documentationTypes()) {
    const QString code{QLatin1Char(meaning.code)};
    kind->addItem(code + " - " + qt(std::string(meaning.meaning)), code);
    // A charge without a kind is a transaction note, as a new entry is.
    if (std::string(1, meaning.code) == (note.type.empty() ? "T" : note.type))
      kind->setCurrentIndex(kind->count() - 1);
  }
  auto* text = namedEdit("documentationText");
  text->setMaxLength(static_cast<int>(deposits::PaymentApplicationWindow::documentationLength));
  text->setText(qt(note.text));
  text->setMinimumWidth(480);
  text->setProperty("enterSubmits", true);  // Enter keeps the note
  auto* form = new QFormLayout;
  auto* kindLabel = new QLabel(tr("&Type:"));
  kindLabel->setBuddy(kind);
  auto* textLabel = new QLabel(tr("&Note:"));
  textLabel->setBuddy(text);
  form->addRow(kindLabel, kind);
  form->addRow(textLabel, text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, &editor, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &editor, &QDialog::reject);
  auto* layout = new QVBoxLayout(&editor);
  layout->addLayout(form);
  layout->addWidget(buttons);
  text->setFocus();
  if (editor.exec() != QDialog::Accepted) return;
  model_->setDocumentation(index, {plain(kind->currentData().toString()), plain(text->text())});
  showRow(row);
  charges_->resizeColumnToContents(Documentation);
}

bool PaymentApplicationDialog::finish() {
  if (finished_) return true;
  if (!model_->mayLeave()) return false;
  model_->close();
  finished_ = true;
  if (closed_) closed_();
  return true;
}

void PaymentApplicationDialog::closeEvent(QCloseEvent* event) {
  if (!finish()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void PaymentApplicationDialog::reject() {
  // Escape asks as the close box does.
  if (finish()) QDialog::reject();
}

// ---------------------------------------------------------------------------------------------

DepositListWindow::DepositListWindow(DepositDesk desk, QWidget* parent)
    : QDialog(parent),
      desk_(std::move(desk)),
      list_(desk_.surroundings.practice, desk_.surroundings.prompter) {
  setObjectName("DepositList");
  setWindowTitle(tr("Deposit List"));
  date_ = namedEdit("depositDate");
  date_->setText(qt(desk_.surroundings.programDate().toMonthDayYear()));
  unappliedOnly_ = new QCheckBox(tr("Show &Unapplied Only"));
  unappliedOnly_->setObjectName("unappliedOnly");
  order_ = new QComboBox;
  order_->setObjectName("sortOrder");
  for (const std::string& name : deposits::depositSortOrders()) order_->addItem(qt(name));
  auto* dateLabel = new QLabel(tr("Deposit &Date:"));
  dateLabel->setBuddy(date_);
  auto* orderLabel = new QLabel(tr("S&ort By:"));
  orderLabel->setBuddy(order_);
  auto* top = new QHBoxLayout;
  top->addWidget(dateLabel);
  top->addWidget(date_);
  top->addWidget(unappliedOnly_);
  top->addStretch(1);
  top->addWidget(orderLabel);
  top->addWidget(order_);

  model_ = new DepositListModel(list_, this);
  deposits_ = new QTableView;
  deposits_->setObjectName("deposits");
  deposits_->setModel(model_);
  deposits_->setSelectionBehavior(QAbstractItemView::SelectRows);
  deposits_->setTabKeyNavigation(false);  // Tab goes on to the buttons, not the next cell
  deposits_->setSelectionMode(QAbstractItemView::SingleSelection);
  deposits_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  deposits_->verticalHeader()->hide();
  deposits_->setWordWrap(false);
  deposits_->installEventFilter(this);
  count_ = new QLabel;
  count_->setObjectName("count");

  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&New"), "new"), &QPushButton::clicked, this,
          &DepositListWindow::newDeposit);
  connect(addButton(buttons, tr("&Edit"), "edit"), &QPushButton::clicked, this,
          &DepositListWindow::editDeposit);
  connect(addButton(buttons, tr("&Apply"), "apply"), &QPushButton::clicked, this,
          &DepositListWindow::applyDeposit);
  connect(addButton(buttons, tr("De&lete"), "delete"), &QPushButton::clicked, this,
          &DepositListWindow::deleteDeposit);
  connect(addButton(buttons, tr("De&tail"), "detail"), &QPushButton::clicked, this,
          &DepositListWindow::showDetail);
  QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
  closeButton->setAutoDefault(false);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

  connect(date_, &QLineEdit::editingFinished, this, &DepositListWindow::refresh);
  connect(unappliedOnly_, &QCheckBox::toggled, this, &DepositListWindow::refresh);
  connect(order_, &QComboBox::currentTextChanged, this, [this](const QString& name) {
    list_.sortBy(name.toStdString());
    refresh();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(deposits_, 1);
  layout->addWidget(count_);
  layout->addWidget(buttons);
  resize(980, 420);
  refresh();
  deposits_->setFocus();
}

DepositListWindow::~DepositListWindow() {
  // The open deposit and application windows work on this list's practice.
  delete application_.data();
  delete deposit_.data();
}

void DepositListWindow::refresh() {
  const auto chosen = currentDeposit();
  const auto date = Date::parse(plain(date_->text()));
  if (!date) {
    desk_.surroundings.prompter.error("\"" + plain(date_->text()) + "\" is not a date.");
    date_->setText(qt(list_.depositDate().toMonthDayYear()));
    return;
  }
  list_.show(*date, unappliedOnly_->isChecked());
  model_->reload();
  const std::int64_t total = list_.depositCount();
  count_->setText(total == 1 ? tr("There is 1 deposit.") : tr("There are %1 deposits.").arg(total));
  int row = 0;
  for (int n = 0; chosen && n < model_->rowCount(); ++n)
    if (model_->depositAt(n) == chosen) row = n;
  if (model_->rowCount() > 0) deposits_->setCurrentIndex(model_->index(row, 0));
  deposits_->resizeColumnsToContents();
}

std::optional<std::int64_t> DepositListWindow::currentDeposit() const {
  return model_->depositAt(deposits_->currentIndex().row());
}

void DepositListWindow::showDialog(QDialog* dialog) {
  dialog->setModal(false);
  dialog->setWindowFlag(Qt::Window);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void DepositListWindow::newDeposit() {
  if (deposit_ != nullptr) return showDialog(deposit_);
  auto model = deposits::DepositWindow::openNew(desk_.surroundings);
  if (!model) return;
  deposit_ = new DepositDialog(std::move(model), this);
  deposit_->setSaved([this] { refresh(); });
  showDialog(deposit_);
}

void DepositListWindow::editDeposit() {
  const auto entry = currentDeposit();
  if (!entry) return;
  if (deposit_ != nullptr) deposit_->close();
  auto model = deposits::DepositWindow::openExisting(desk_.surroundings, *entry);
  if (!model) return;
  deposit_ = new DepositDialog(std::move(model), this);
  deposit_->setSaved([this] { refresh(); });
  showDialog(deposit_);
}

void DepositListWindow::applyDeposit() {
  const auto entry = currentDeposit();
  if (!entry) return;
  if (application_ != nullptr) return showDialog(application_);
  if (!statementPrinting_)
    statementPrinting_ = std::make_unique<PreviewStatementPrinting>(desk_, this, [this] {
      return application_ != nullptr ? static_cast<QWidget*>(application_) : this;
    });
  if (!claimPrinting_)
    claimPrinting_ = std::make_unique<PreviewDueClaimPrinting>(desk_, this, [this] {
      return application_ != nullptr ? static_cast<QWidget*>(application_) : this;
    });
  auto model = deposits::PaymentApplicationWindow::openHeld(
      {desk_.surroundings.practice, desk_.options, desk_.surroundings.prompter, desk_.clock,
       deposits::depositUserCode(desk_.surroundings), &desk_.settings, desk_.surroundings.security,
       claimPrinting_.get(), statementPrinting_.get()},
      *entry);
  if (!model) return;
  application_ = new PaymentApplicationDialog(std::move(model), this);
  application_->setClosed([this] { refresh(); });
  showDialog(application_);
}

void DepositListWindow::deleteDeposit() {
  const auto entry = currentDeposit();
  if (!entry) return;
  if (deposits::deleteDeposit(desk_.surroundings, *entry)) refresh();
}

void DepositListWindow::closeEvent(QCloseEvent* event) {
  // The application window asks about unsaved entries first and may keep the list open.
  if (application_ != nullptr && application_->isVisible() && !application_->close()) {
    event->ignore();
    return;
  }
  if (deposit_ != nullptr) deposit_->close();
  QDialog::closeEvent(event);
}

bool DepositListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == deposits_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (key->key() == Qt::Key_Insert) return newDeposit(), true;
      if (isEnter(key)) return editDeposit(), true;
      if (key->key() == Qt::Key_Delete) return deleteDeposit(), true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

void DepositListWindow::showDetail() {
  const auto entry = currentDeposit();
  if (!entry) return;
  std::vector<QStringList> rows;
  Money applied;
  for (const deposits::DepositDetailLine& line :
       deposits::depositDetail(desk_.surroundings.practice, *entry)) {
    applied += line.applied;
    rows.push_back({QString::number(line.entryNumber), qt(line.chartNumber),
                    QString::number(line.caseNumber), qt(line.dateFrom.toMonthDayYear()),
                    qt(line.procedureCode), qt(line.transactionType), qt(line.whoPaid),
                    qt(line.amount.toString()), qt(line.applied.toString())});
  }
  listWindow(this, "DepositDetail", tr("Deposit Detail: %1").arg(*entry),
             {tr("Entry"), tr("Chart"), tr("Case"), tr("Date"), tr("Code"), tr("Type"),
              tr("Who Paid"), tr("Amount"), tr("Applied")},
             rows, tr("Applied: %1").arg(qt(applied.toGroupedString())));
}

// ---------------------------------------------------------------------------------------------

void MainWindow::depositList() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  DepositDesk desk{{*open->connection, prompter_, open->security.get(),
                    [this] { return application_.programDate().value(); }},
                   open->options,
                   application_.clock(),
                   settings_};
  showWorkWindow(new DepositListWindow(std::move(desk), this));
}

}  // namespace vantrell::desktop
