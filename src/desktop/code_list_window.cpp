#include "code_list_window.hpp"

#include <algorithm>

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/code_sets.hpp"
#include "progress_dialog.hpp"
#include "record_form.hpp"
#include "search_keys.hpp"
#include "security/permission_list.hpp"
#include "store/errors.hpp"
#include "store/expression.hpp"
#include "store/field_defaults.hpp"
#include "store/names.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

constexpr int pageSize = 200;

std::vector<std::string> listColumns(const store::TableDefinition& table, const char* key) {
  std::vector<std::string> columns = {key};
  for (const char* candidate : {"Description", "Name", "Last Name", "First Name", "Class Name",
                                "Rejection Message", "Type", "Amount A", "City"}) {
    if (columns.size() >= 4) break;
    if (table.hasField(candidate) && !store::equalsIgnoringCase(candidate, key))
      columns.emplace_back(candidate);
  }
  return columns;
}

// An order as the clerk knows it: the fields it sorts on ("Description,
// Code 1"), not the index's name.
QString orderName(const store::TagDefinition& tag) {
  QStringList parts;
  for (QString part : QString::fromStdString(tag.key).split(QRegularExpression("[;+]"))) {
    part = part.trimmed();
    // Functions around a field (UPPER, DTOS, STR) and quoted separators are not the clerk's.
    while (part.contains('(') && part.endsWith(')'))
      part = part.mid(part.indexOf('(') + 1).chopped(1).trimmed();
    if (part.contains(',')) part = part.left(part.indexOf(',')).trimmed();
    if (part.isEmpty() || part.startsWith('\'') || part.startsWith('"') || parts.contains(part))
      continue;
    parts << part;
  }
  return parts.isEmpty() ? QString::fromStdString(tag.name) : parts.join(", ");
}

QWidget* scrolled(QWidget* inner) {
  auto* area = new QScrollArea;
  area->setWidget(inner);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  return area;
}

}  // namespace

CodeListModel::CodeListModel(store::Connection& practice, const reference::CodeTable& table,
                             QObject* parent)
    : QAbstractTableModel(parent), table_(practice.openTable(table.table)) {
  columns_ = listColumns(table_.definition(), table.keyField);
  setOrder(table.keyTag);
}

void CodeListModel::setOrder(const std::string& tag) {
  table_.setOrder(tag);
  restart({});
}

void CodeListModel::search(const std::string& typed) {
  // The rows whose code or name holds the typed text; the store filters, so a
  // long table is never read whole.
  std::vector<std::string> searched;
  for (std::size_t column = 0; column < std::min<std::size_t>(2, columns_.size()); ++column) {
    const auto index = table_.definition().fieldIndex(columns_[column]);
    if (index && table_.definition().field(*index).type == store::FieldType::Character)
      searched.push_back(columns_[column]);
  }
  const std::string filter = store::containsAnyFilter(searched, typed);
  if (filter.empty())
    table_.clearFilter();
  else
    table_.setFilter(filter);
  restart({});
}

void CodeListModel::restart(std::vector<store::Value> from) {
  beginResetModel();
  rows_.clear();
  cursor_ = store::PageCursor(std::move(from));
  rows_ = table_.nextPage(cursor_, pageSize);
  endResetModel();
}

const store::Record* CodeListModel::recordAt(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)]
                                                          : nullptr;
}

int CodeListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CodeListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant CodeListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const auto& column = columns_[static_cast<std::size_t>(index.column())];
  if (role == Qt::TextAlignmentRole && column.rfind("Amount", 0) == 0)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  if (column.rfind("Amount", 0) == 0) {
    const store::Record& row = rows_[static_cast<std::size_t>(index.row())];
    return row.isEmpty(column) ? QString() : qt(row.money(column).toString());
  }
  return qt(rows_[static_cast<std::size_t>(index.row())].text(
      columns_[static_cast<std::size_t>(index.column())]));
}

QVariant CodeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return qt(columns_[static_cast<std::size_t>(section)]);
}

bool CodeListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !cursor_.atEnd();
}

void CodeListModel::fetchMore(const QModelIndex&) {
  auto more = table_.nextPage(cursor_, pageSize);
  if (more.empty()) return;
  beginInsertRows({}, static_cast<int>(rows_.size()),
                  static_cast<int>(rows_.size() + more.size()) - 1);
  for (auto& row : more) rows_.push_back(std::move(row));
  endInsertRows();
}

CodeListWindow::CodeListWindow(store::Connection& practice, const reference::CodeTable& table,
                               ui::Prompter& prompter, const ui::Clock& clock,
                               security::Security* security, QWidget* parent)
    : QDialog(parent),
      practice_(practice),
      table_(table),
      prompter_(prompter),
      clock_(clock),
      security_(security) {
  const auto& definition = practice.catalogue().get(table.table);
  setObjectName(qt(std::string(table.table) + "List"));
  setWindowTitle(tr("%1 List").arg(qt(definition.description())));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* searchLabel = new QLabel(tr("&Search for:"));
  search_ = new QLineEdit;
  search_->setObjectName("search");
  // Enter here opens the code found, even where Enter otherwise moves to the next field.
  search_->setProperty("enterSubmits", true);
  searchLabel->setBuddy(search_);
  auto* orderLabel = new QLabel(tr("&Order by:"));
  order_ = new QComboBox;
  order_->setObjectName("order");
  orderLabel->setBuddy(order_);
  for (const auto& tag : definition.tags()) order_->addItem(orderName(tag), qt(tag.name));
  order_->setCurrentIndex(std::max(0, order_->findData(qt(table.keyTag))));
  top->addWidget(searchLabel);
  top->addWidget(search_, 1);
  top->addWidget(orderLabel);
  top->addWidget(order_);
  layout->addLayout(top);

  model_ = new CodeListModel(practice, table, this);
  view_ = new QTableView;
  view_->setObjectName("rows");
  view_->setModel(model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setTabKeyNavigation(false);  // Tab goes on to the buttons, not the next cell
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->verticalHeader()->hide();
  view_->setWordWrap(false);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
  view_->setMinimumSize(640, 360);
  layout->addWidget(view_);
  auto* buttons = buttons_ = new QDialogButtonBox;
  auto* add = buttons->addButton(tr("&New"), QDialogButtonBox::ActionRole);
  auto* edit = buttons->addButton(tr("&Edit"), QDialogButtonBox::ActionRole);
  auto* remove = buttons->addButton(tr("&Delete"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);

  // Nothing is chosen until the typed text matches, so Enter never takes a
  // code that merely sorts near it.
  connect(search_, &QLineEdit::textChanged, this, [this](const QString& typed) {
    model_->search(typed.trimmed().toStdString());
    if (!typed.trimmed().isEmpty() && model_->rowCount() > 0)
      view_->setCurrentIndex(model_->index(0, 0));
  });
  connect(order_, &QComboBox::currentIndexChanged, this, [this] {
    model_->setOrder(order_->currentData().toString().toStdString());
    model_->search(search_->text().trimmed().toStdString());
  });
  // Enter in the search box edits the code found.
  connect(search_, &QLineEdit::returnPressed, this, &CodeListWindow::chooseCurrent);
  connect(view_, &QTableView::activated, this, &CodeListWindow::chooseCurrent);
  connect(add, &QPushButton::clicked, this, [this] { editRecord(true); });
  connect(edit, &QPushButton::clicked, this, [this] { editRecord(false); });
  connect(remove, &QPushButton::clicked, this, &CodeListWindow::deleteRecord);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // Enter in the search box edits the code found; no button takes it as well.
  for (auto* button : buttons->buttons()) {
    if (auto* push = qobject_cast<QPushButton*>(button)) {
      push->setAutoDefault(false);
      push->setDefault(false);
    }
  }
  addSearchMoveKeys(*search_, *view_);
  view_->resizeColumnsToContents();
  view_->setColumnWidth(0, std::max(view_->columnWidth(0), 110));
  // A table empty when the window opens still shows the names of the codes made in it.
  if (model_->columnCount() > 2) view_->setColumnWidth(1, std::max(view_->columnWidth(1), 220));
  search_->setFocus();
}

void CodeListWindow::enablePicking(const std::string& current) {
  picking_ = true;
  auto* select = buttons_->addButton(tr("&Select"), QDialogButtonBox::ActionRole);
  select->setObjectName("select");
  select->setAutoDefault(false);
  connect(select, &QPushButton::clicked, this, &CodeListWindow::chooseCurrent);
  search_->setText(QString::fromStdString(current));
  search_->selectAll();
}

void CodeListWindow::chooseCurrent() {
  if (!picking_) {
    editRecord(false);
    return;
  }
  const store::Record* chosen = model_->recordAt(view_->currentIndex().row());
  if (chosen == nullptr) return;
  picked_ = chosen->text(table_.keyField);
  accept();
}

std::optional<std::string> pickCode(const std::string& noun, const std::string& current,
                                    store::Connection& practice, ui::Prompter& prompter,
                                    const ui::Clock& clock, security::Security* security,
                                    QWidget* parent) {
  const reference::CodeTable* table = reference::findCodeTable(noun);
  if (table == nullptr) return std::nullopt;
  if (security != nullptr && table->viewItem >= 0 &&
      !security->hasPermission(table->viewItem, true))
    return std::nullopt;
  CodeListWindow window(practice, *table, prompter, clock, security, parent);
  window.enablePicking(current);
  if (window.exec() != QDialog::Accepted) return std::nullopt;
  return window.pickedCode();
}

void CodeListWindow::editRecord(bool isNew) {
  reference::CodeWindow window(practice_, table_, prompter_, clock_, security_);
  if (isNew) {
    if (!window.startNew()) return;
  } else {
    const store::Record* chosen = model_->recordAt(view_->currentIndex().row());
    if (chosen == nullptr || !window.open(chosen->text(table_.keyField))) return;
  }
  CodeEditDialog dialog(window, practice_, prompter_, security_, this);
  if (dialog.exec() == QDialog::Accepted) model_->search(search_->text().trimmed().toStdString());
}

void CodeListWindow::deleteRecord() {
  const store::Record* chosen = model_->recordAt(view_->currentIndex().row());
  if (chosen == nullptr) return;
  reference::CodeWindow window(practice_, table_, prompter_, clock_, security_);
  if (window.remove(chosen->text(table_.keyField)))
    model_->search(search_->text().trimmed().toStdString());
}

CodeEditDialog::CodeEditDialog(reference::CodeWindow& window, store::Connection& practice,
                               ui::Prompter& prompter, security::Security* security,
                               QWidget* parent)
    : QDialog(parent),
      window_(window),
      practice_(practice),
      prompter_(prompter),
      security_(security) {
  const store::TableDefinition& definition = window.record().table();
  setObjectName(qt(definition.name() + "Edit"));
  setWindowTitle(window.isNew()
                     ? tr("New %1").arg(qt(definition.description()))
                     : tr("%1: %2").arg(qt(definition.description()),
                                        qt(window.record().text(definition.field(0).name))));
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget;
  pages_->setObjectName("pages");

  std::vector<std::pair<QString, std::vector<std::string>>> pages;
  if (definition.name() == "QVPRO") {
    std::vector<std::string> general = {"Code 1",
                                        "Code 2",
                                        "Code 3",
                                        "Type",
                                        "Description",
                                        "Type of Service",
                                        "Default Place Service 1",
                                        "Default Place Service 2",
                                        "Default Place Service 3",
                                        "Time To Do Procedure",
                                        "Insurance Category",
                                        "Patient Only Responsible",
                                        "Taxable",
                                        "Inactive",
                                        "Account Code",
                                        "Default Units",
                                        "Default Modifiers",
                                        "Default Modifier 1",
                                        "Default Modifier 2",
                                        "Default Modifier 3",
                                        "Default Modifier 4",
                                        "Approved",
                                        "Recall Code",
                                        "Valid Surfaces",
                                        "Revenue Code",
                                        "Purchased Service"};
    std::vector<std::string> amounts = {"Cost of Service/Product", "Medicare Allowed Amount"};
    for (char column = 'A'; column <= 'Z'; ++column)
      amounts.push_back(std::string("Amount ") + column);
    pages = {{tr("&General"), general},
             {tr("A&mounts"), amounts},
             {tr("&Insurance"), {"Don't Print on Insurance", "Only Print on Insurance"}},
             {tr("&Payment"), {"PrePayment"}},
             {tr("Ad&justment"), {"Adjustment Amount Negativ"}},
             {tr("&Tax"), {"Tax Rate"}}};
  } else if (definition.name() == "QVINS") {
    // A carrier's pages, each named for what it holds; a field not placed goes on the last.
    pages = {{tr("&Address"),
              {"Code", "Name", "Street 1", "Street 2", "City", "State", "Zip Code", "Phone",
               "Extension", "Fax", "Contact", "Practice ID Number", "Plan Name", "Inactive"}},
             {tr("&Options"),
              {"Type", "Insurance Class", "Procedure Code Set", "Diagnosis Code Set",
               "Signature on File", "Physician Signature on File", "Insured Signature on File",
               "Delay Secondary Billing", "Print PINs on Ins Form", "Indicator",
               "Default Payment Code", "Default Write Off Code", "Default Withhold Code",
               "Default Deductible Code", "Default Take Back Code"}},
             {tr("E&DI and Eligibility"),
              {"Default Billing Method", "EMC Receiver", "EMC Payor Number", "EMC Sub ID",
               "EMC Extra 1", "EMC Extra 2", "ETS Record Code", "EMC Max Transactions",
               "Carrier ID number", "Health Plan Identifier", "IOD"}}};
    for (const auto& field : definition.fields()) {
      if (field.type == store::FieldType::AutoIncrement || field.name == "Date Modified" ||
          field.name == "Date Created" || field.name == "User Code")
        continue;
      const bool placed = std::any_of(pages.begin(), pages.end(), [&field](const auto& page) {
        return std::find(page.second.begin(), page.second.end(), field.name) != page.second.end();
      });
      if (!placed) pages.back().second.push_back(field.name);
    }
  } else {
    std::vector<std::string> fields;
    for (const auto& field : definition.fields()) {
      if (field.type == store::FieldType::AutoIncrement || field.name == "Date Modified" ||
          field.name == "Date Created" || field.name == "User Code")
        continue;
      fields.push_back(field.name);
    }
    constexpr std::size_t perPage = 16;
    for (std::size_t start = 0; start < fields.size(); start += perPage) {
      const auto end = std::min(fields.size(), start + perPage);
      pages.push_back({tr("Page &%1").arg(pages.size() + 1),
                       {fields.begin() + static_cast<std::ptrdiff_t>(start),
                        fields.begin() + static_cast<std::ptrdiff_t>(end)}});
    }
  }
  // The types are chosen from their list, shown by name and stored as the system writes them.
  FieldEntries entries;
  if (definition.name() == "QVPRO") {
    entries["Type"].choices = {{tr("Procedure charge"), "A"},
                               {tr("Product charge"), "B"},
                               {tr("Inside lab charge"), "C"},
                               {tr("Outside lab charge"), "D"},
                               {tr("Billing charge"), "H"},
                               {tr("Tax"), "G"},
                               {tr("Comment"), "Z"},
                               {tr("Insurance payment"), "I"},
                               {tr("Cash copayment"), "J"},
                               {tr("Check copayment"), "K"},
                               {tr("Credit card copayment"), "L"},
                               {tr("Cash payment"), "M"},
                               {tr("Check payment"), "N"},
                               {tr("Credit card payment"), "O"},
                               {tr("Deductible"), "P"},
                               {tr("Adjustment"), "S"},
                               {tr("Insurance Adjustment"), "T"},
                               {tr("Insurance Withhold Adjustment"), "U"},
                               {tr("Insurance Take Back Adjustment"), "V"}};
  } else if (definition.name() == "QVINS") {
    entries["Type"].choices = {{QString(), ""}};
    for (const char* type : {"Medicare", "Medicaid", "Champus", "ChampsVA", "Group", "HMO", "PPO",
                             "Blue Cross/Shield", "FECA", "Worker's Comp", "Other"})
      entries["Type"].choices.push_back(
          {std::string(type) == "Champus" ? tr("Tricare/Champus") : tr(type), type});
    entries["Default Billing Method"].choices = {
        {QString(), ""}, {tr("Paper"), "Paper"}, {tr("Electronic"), "Electronic"}};
  }
  for (const auto& [title, fields] : pages) {
    auto* form = new RecordForm(window.record(), fields, entries);
    forms_.push_back(form);
    pages_->addTab(scrolled(form), title);
    // Cases, charges and allowed amounts refer to a saved code by its key: shown, never typed over.
    // Names, addresses and amounts take the practice's typing options as each field is left.
    for (auto* edit : form->findChildren<QLineEdit*>())
      connect(edit, &QLineEdit::editingFinished, this, &CodeEditDialog::applyTypingOptions);
    auto* key = qobject_cast<QLineEdit*>(form->fieldWidget(window.keyField()));
    if (key != nullptr && !window.isNew()) {
      key->setReadOnly(true);
      key->setEnabled(false);
    }
  }
  if (definition.name() == "QVPRO" && !window.isNew()) {
    // The code's allowed amounts with the carriers' names, while a box offers Abort.
    auto* allowed = new QTableWidget(0, 3);
    allowed->setObjectName("allowedAmounts");
    allowed->setHorizontalHeaderLabels({tr("Carrier"), tr("Modifiers"), tr("Allowed Amount")});
    allowed->setEditTriggers(QAbstractItemView::NoEditTriggers);
    allowed->horizontalHeader()->setStretchLastSection(true);
    if (practice.tableExists("QVALL")) {
      ProgressDialog progress(this);
      progress.begin("Calculating allowed amounts", 0);
      store::Table rows = practice.openTable("QVALL");
      store::Table carriers = practice.openTable("QVINS");
      carriers.setOrder("Primary");
      rows.setOrder("Primary");
      const std::string code = window.record().text("Code 1");
      std::int64_t done = 0;
      bool aborted = false;
      rows.forEach([&](const store::Record& row) {
        if (aborted || row.text("Procedure") != code || row.isEmpty("Modifiers")) return;
        const auto carrier = carriers.seek({store::Value{row.text("Insurance Code")}});
        const int at = allowed->rowCount();
        allowed->insertRow(at);
        allowed->setItem(
            at, 0,
            new QTableWidgetItem(qt(carrier ? carrier->text("Name") : row.text("Insurance Code"))));
        allowed->setItem(at, 1, new QTableWidgetItem(qt(row.text("Modifiers"))));
        allowed->setItem(at, 2, new QTableWidgetItem(qt(row.money("Amount").toString())));
        aborted = !progress.advance(++done);
      });
      progress.end();
    }
    pages_->addTab(allowed, tr("Allo&wed Amounts"));
  }
  if (definition.name() == "QVINS" || definition.name() == "QVPHY") addCarrierPages();
  layout->addWidget(pages_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  auto* saveDefaults = buttons->addButton(tr("Save as De&fault"), QDialogButtonBox::ActionRole);
  auto* removeDefaults = buttons->addButton(tr("Remove Defa&ults"), QDialogButtonBox::ActionRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CodeEditDialog::save);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  addSaveKeys(*this, buttons->button(QDialogButtonBox::Save));
  connect(saveDefaults, &QPushButton::clicked, this, [this] {
    if (security_ != nullptr &&
        !security_->hasPermission(security::permission_item::saveAsDefault, false))
      return;
    if (!commitForms(forms_, prompter_)) return;
    store::FieldDefaults(practice_).save(window_.record(), prompter_);
  });
  connect(removeDefaults, &QPushButton::clicked, this,
          [this] { store::FieldDefaults(practice_).remove(window_.record().table(), prompter_); });
  if (auto* type = findChild<QComboBox*>("Type"))
    connect(type, &QComboBox::currentIndexChanged, this, &CodeEditDialog::showPagesForType);
  showPagesForType();
  resize(620, 560);
}

void CodeEditDialog::addCarrierPages() {
  extras_ = std::make_unique<reference::CarrierExtras>(practice_, prompter_, security_);
  const auto page = [this](QTableWidget*& table, const QStringList& headers,
                           const std::vector<const char*>& inputs, const QString& title,
                           auto apply) {
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    table = new QTableWidget(0, static_cast<int>(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    auto* row = new QHBoxLayout;
    std::vector<QLineEdit*> edits;
    for (const char* input : inputs) {
      auto* edit = new QLineEdit;
      edit->setObjectName(input);
      edit->setPlaceholderText(input);
      row->addWidget(edit);
      edits.push_back(edit);
    }
    auto* change = new QPushButton(tr("&Add/Change"));
    row->addWidget(change);
    layout->addLayout(row);
    connect(change, &QPushButton::clicked, this, [this, edits, apply] {
      if (apply(edits)) reloadCarrierPages();
    });
    pages_->addTab(widget, title);
  };
  if (window_.record().table().name() == "QVPHY") {
    // A provider's numbers with each carrier.
    page(providerNumbers_, {tr("Insurance Code"), tr("Pin Number"), tr("Group ID")},
         {"Insurance Code", "Pin Number", "Group ID"}, tr("Provider &Numbers"),
         [this](const std::vector<QLineEdit*>& edits) {
           return extras_->setNumberOfProvider(
               window_.record(), edits[0]->text().trimmed().toStdString(),
               edits[1]->text().trimmed().toStdString(), edits[2]->text().trimmed().toStdString());
         });
    reloadCarrierPages();
    return;
  }
  page(allowedAmounts_, {tr("Procedure"), tr("Modifiers"), tr("Allowed Amount")},
       {"Procedure", "Modifiers", "Amount"}, tr("Allowed A&mounts"),
       [this](const std::vector<QLineEdit*>& edits) {
         const auto amount = Money::parse(edits[2]->text().toStdString());
         if (!amount) {
           prompter_.error("The amount \"" + edits[2]->text().toStdString() +
                           "\" is not an amount.");
           return false;
         }
         return extras_->setAllowedAmount(window_.record(),
                                          edits[0]->text().trimmed().toStdString(),
                                          edits[1]->text().trimmed().toStdString(), *amount);
       });
  page(providerNumbers_, {tr("Provider"), tr("Pin Number"), tr("Group ID")},
       {"Provider", "Pin Number", "Group ID"}, tr("Provider &Numbers"),
       [this](const std::vector<QLineEdit*>& edits) {
         return extras_->setProviderNumber(
             window_.record(), edits[0]->text().trimmed().toStdString(),
             edits[1]->text().trimmed().toStdString(), edits[2]->text().trimmed().toStdString());
       });
  reloadCarrierPages();
}

void CodeEditDialog::reloadCarrierPages() {
  if (!window_.record().isStored()) return;
  if (window_.record().table().name() == "QVPHY") {
    const auto numbers = extras_->numbersOfProvider(window_.record().text("Code"));
    providerNumbers_->setRowCount(static_cast<int>(numbers.size()));
    for (int row = 0; row < static_cast<int>(numbers.size()); ++row) {
      const auto& record = numbers[static_cast<std::size_t>(row)];
      providerNumbers_->setItem(row, 0, new QTableWidgetItem(qt(record.text("Insurance Code"))));
      providerNumbers_->setItem(row, 1, new QTableWidgetItem(qt(record.text("Pin Number"))));
      providerNumbers_->setItem(row, 2, new QTableWidgetItem(qt(record.text("Group ID"))));
    }
    return;
  }
  const std::string carrier = window_.record().text("Code");
  ProgressDialog progress(this);
  progress.begin(reference::CarrierExtras::loadingAllowedAmounts, 0);
  const auto allowed = extras_->allowedAmounts(carrier);
  allowedAmounts_->setRowCount(static_cast<int>(allowed.size()));
  for (int row = 0; row < static_cast<int>(allowed.size()); ++row) {
    const auto& record = allowed[static_cast<std::size_t>(row)];
    allowedAmounts_->setItem(row, 0, new QTableWidgetItem(qt(record.text("Procedure"))));
    allowedAmounts_->setItem(row, 1, new QTableWidgetItem(qt(record.text("Modifiers"))));
    allowedAmounts_->setItem(row, 2, new QTableWidgetItem(qt(record.money("Amount").toString())));
  }
  progress.end();
  const auto numbers = extras_->providerNumbers(carrier);
  providerNumbers_->setRowCount(static_cast<int>(numbers.size()));
  for (int row = 0; row < static_cast<int>(numbers.size()); ++row) {
    const auto& record = numbers[static_cast<std::size_t>(row)];
    providerNumbers_->setItem(row, 0, new QTableWidgetItem(qt(record.text("Provider Code"))));
    providerNumbers_->setItem(row, 1, new QTableWidgetItem(qt(record.text("Pin Number"))));
    providerNumbers_->setItem(row, 2, new QTableWidgetItem(qt(record.text("Group ID"))));
  }
}

void CodeEditDialog::showPagesForType() {
  if (window_.record().table().name() != "QVPRO") return;
  const auto* typeField = findChild<QComboBox*>("Type");
  const QString text =
      typeField != nullptr ? typeField->currentData().toString().trimmed().toUpper() : QString();
  const char type = text.isEmpty() ? 'A' : text.at(0).toLatin1();
  // The pages that fit the type: payments, adjustments (the negative box not
  // for a take-back), tax, and no amounts for a comment.
  pages_->setTabVisible(1, type != 'Z');
  pages_->setTabVisible(3, isPayment(type));
  pages_->setTabVisible(4, isAdjustment(type) && type != 'V');
  pages_->setTabVisible(5, type == 'G');
}

void CodeEditDialog::applyTypingOptions() {
  for (auto* form : forms_) {
    for (auto* edit : form->findChildren<QLineEdit*>()) {
      if (!edit->isModified()) continue;
      edit->setText(
          qt(window_.asTyped(edit->objectName().toStdString(), edit->text().toStdString())));
    }
  }
}

void CodeEditDialog::save() {
  applyTypingOptions();
  if (!commitForms(forms_, prompter_)) return;
  if (saveShowingFailures(prompter_, [this] { return window_.save(); })) accept();
}

MultiLinkDialog::MultiLinkDialog(const Date& programDate, QWidget* parent) : QDialog(parent) {
  setObjectName("MultiLink");
  setWindowTitle("MultiLink");
  auto* form = new QFormLayout(this);
  code_ = new QLineEdit;
  code_->setObjectName("code");
  code_->setMaxLength(10);
  date_ = new QDateEdit;
  date_->setObjectName("date");
  date_->setCalendarPopup(true);
  date_->setDisplayFormat("MM/dd/yyyy");
  if (!programDate.isEmpty()) {
    const auto day = programDate.value();
    date_->setDate(QDate(static_cast<int>(day.year()),
                         static_cast<int>(static_cast<unsigned>(day.month())),
                         static_cast<int>(static_cast<unsigned>(day.day()))));
  }
  auto* codeLabel = new QLabel("MultiLink Code:");
  codeLabel->setBuddy(code_);
  auto* dateLabel = new QLabel("Transaction Date:");
  dateLabel->setBuddy(date_);
  form->addRow(codeLabel, code_);
  form->addRow(dateLabel, date_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  auto* create = buttons->addButton("&Create Transactions", QDialogButtonBox::AcceptRole);
  create->setObjectName("create");
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::string MultiLinkDialog::code() const {
  return code_->text().trimmed().toStdString();
}

Date MultiLinkDialog::transactionDate() const {
  const QDate chosen = date_->date();
  return Date::fromYmd(chosen.year(), static_cast<unsigned>(chosen.month()),
                       static_cast<unsigned>(chosen.day()));
}

}  // namespace vantrell::desktop
