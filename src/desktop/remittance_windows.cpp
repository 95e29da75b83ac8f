#include "remittance_windows.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "main_window.hpp"
#include "progress_dialog.hpp"
#include "remittance/remittance_queue.hpp"
#include "store/names.hpp"
#include "widget_helpers.hpp"
#include "window_placement.hpp"

namespace vantrell::desktop {
namespace {

std::string trimmed(const std::string& text) {
  return std::string(store::trimRight(text));
}

// The folder the last 835 came from, per workstation user.
constexpr const char* lastFolderKey = "Software\\Vantrell\\Radavad Adedarirar 10\\Remittance";

QTableWidget* namedTable(const char* name, const QStringList& columns) {
  auto* table = new QTableWidget(0, static_cast<int>(columns.size()));
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(columns);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setWordWrap(false);
  return table;
}

// One row of texts; the columns named in `amounts` right-aligned, as money is.
void addRow(QTableWidget* table, const QStringList& texts, const std::vector<int>& amounts = {}) {
  const int row = table->rowCount();
  table->insertRow(row);
  for (int column = 0; column < texts.size(); ++column) {
    auto* item = new QTableWidgetItem(texts[column]);
    item->setToolTip(texts[column]);
    if (std::find(amounts.begin(), amounts.end(), column) != amounts.end())
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
  }
}

QString number(std::int64_t value) {
  return value == 0 ? QString() : QString::number(value);
}

// Each column as wide as its texts, but the last, which takes the room left.
void fitColumns(QTableWidget* table) {
  for (int column = 0; column + 1 < table->columnCount(); ++column)
    table->resizeColumnToContents(column);
}

bool isEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

void showWindow(QDialog* window) {
  window->setModal(false);
  window->setWindowFlag(Qt::Window);
  window->show();
  window->raise();
  window->activateWindow();
}

remittance::ImportSurroundings importSurroundings(const DepositDesk& desk, ui::Progress* progress) {
  return {desk.surroundings.practice, desk.options, desk.clock,
          deposits::depositUserCode(desk.surroundings), progress};
}

}  // namespace

// ---------------------------------------------------------------------------------------------

RemittanceImportDialog* RemittanceImportDialog::open(DepositDesk desk, const std::string& path,
                                                     QWidget* parent) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    desk.surroundings.prompter.error(fmt::format("The file {} cannot be read.", path));
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  remittance::ImportChoices choices;
  choices.dryRun = true;
  choices.fileName = path;
  auto plan = remittance::importRemittance(importSurroundings(desk, nullptr), text.str(), choices);
  if (!plan.refusal.empty()) {
    desk.surroundings.prompter.error(plan.refusal);
    return nullptr;
  }
  return new RemittanceImportDialog(std::move(desk), path, text.str(), std::move(plan), parent);
}

RemittanceImportDialog::RemittanceImportDialog(DepositDesk desk, std::string path, std::string text,
                                               remittance::ImportResult plan, QWidget* parent)
    : QDialog(parent), desk_(std::move(desk)), path_(std::move(path)), text_(std::move(text)) {
  setObjectName("RemittanceImport");
  setWindowTitle(tr("Import Remittance (835): %1").arg(QFileInfo(qt(path_)).fileName()));
  advices_ =
      namedTable("advices", {tr("Payer"), tr("Payer ID"), tr("Trace Number"), tr("Carrier"),
                             tr("Payment"), tr("Claims"), tr("Lines"), tr("To Post"),
                             tr("Amount Posted"), tr("To Queue"), tr("Remittance"), tr("Deposit")});
  queued_ = namedTable("queued", {tr("Kind"), tr("Claim"), tr("Chart"), tr("Entry"),
                                  tr("Procedure"), tr("Date"), tr("Paid"), tr("Reason")});
  queued_->horizontalHeader()->setStretchLastSection(true);
  share_ = new QLabel;
  share_->setObjectName("patientShare");
  outcome_ = new QLabel;
  outcome_->setObjectName("outcome");
  outcome_->setWordWrap(true);
  auto* file = new QLabel(tr("File: %1").arg(qt(path_)));
  file->setObjectName("fileName");

  auto* buttons = new QDialogButtonBox;
  post_ = addButton(buttons, tr("&Post"), "post");
  queue_ = addButton(buttons, tr("Open &Queue"), "openQueue");
  queue_->setEnabled(false);
  QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
  closeButton->setAutoDefault(false);
  connect(post_, &QPushButton::clicked, this, [this] { post(); });
  connect(queue_, &QPushButton::clicked, this, [this] {
    if (openQueue_) openQueue_();
  });
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
  connect(new QShortcut(QKeySequence(Qt::Key_F9), this), &QShortcut::activated, this,
          [this] { post(); });

  auto* queueCaption = new QLabel(tr("Left to a clerk (the e&xception queue):"));
  queueCaption->setBuddy(queued_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(file);
  layout->addWidget(advices_);
  layout->addWidget(share_);
  layout->addWidget(queueCaption);
  layout->addWidget(queued_, 1);
  layout->addWidget(outcome_);
  layout->addWidget(buttons);
  showResult(plan);
  resize(1100, 520);
  WindowPlacement::restore(*this, desk_.settings);
  advices_->setFocus();
}

void RemittanceImportDialog::showResult(const remittance::ImportResult& result) {
  advices_->setRowCount(0);
  queued_->setRowCount(0);
  int lines = 0, toPost = 0, toQueue = 0;
  Money amount;
  for (const auto& advice : result.advices) {
    addRow(advices_,
           {qt(advice.payerName), qt(advice.payerId), qt(advice.traceNumber), qt(advice.carrier),
            qt(advice.payment.toGroupedString()), QString::number(advice.claims),
            QString::number(advice.lines), QString::number(advice.linesPosted),
            qt(advice.amountPosted.toGroupedString()), QString::number(advice.linesQueued),
            number(advice.remittanceNumber), number(advice.depositId)},
           {4, 5, 6, 7, 8, 9, 10, 11});
    lines += advice.lines;
    toPost += advice.linesPosted;
    toQueue += advice.linesQueued;
    amount += advice.amountPosted;
    for (const auto& entry : advice.queued)
      addRow(
          queued_,
          {qt(entry.kind), number(entry.claimNumber), qt(entry.chartNumber),
           number(entry.chargeEntry), qt(entry.procedure),
           entry.dateFrom.isEmpty() ? QString() : qt(entry.dateFrom.toMonthDayYear()),
           entry.paid == Money{} ? QString() : qt(entry.paid.toGroupedString()), qt(entry.reason)},
          {1, 3, 6});
  }
  advices_->resizeColumnsToContents();
  fitColumns(queued_);
  // As tall as its few transactions: the queue below gets the room.
  advices_->setFixedHeight(advices_->horizontalHeader()->sizeHint().height() +
                           advices_->verticalHeader()->length() + 2 * advices_->frameWidth() + 24);
  if (advices_->rowCount() > 0) advices_->setCurrentCell(0, 0);
  share_->setText(
      remittance::patientShareOption(desk_.options) == remittance::PatientShare::Deductible
          ? tr("Patient responsibility is posted as the carrier's deductible lines (Program "
               "Options, Billing).")
          : tr("Patient responsibility is left to the patient (Program Options, Billing)."));
  const QString counts = tr("%1 of %2 lines, %3, %4 to the queue.")
                             .arg(toPost)
                             .arg(lines)
                             .arg(qt(amount.toGroupedString()))
                             .arg(toQueue);
  if (result.stopped) {
    outcome_->setText(qt(remittance::stoppedText(result)) + " " +
                      tr("Post (F9) posts the rest now."));
    return;
  }
  if (!posted_) {
    outcome_->setText(tr("Nothing is posted yet. Post (F9) posts %1").arg(counts));
    return;
  }
  QStringList finished;
  for (const auto& advice : result.advices)
    if (advice.finishing)
      finished << tr("remittance %1, whose import had stopped part way, is finished")
                      .arg(advice.remittanceNumber);
  outcome_->setText(tr("Posted: %1").arg(counts) +
                    (finished.isEmpty() ? QString() : " " + finished.join("; ") + "."));
}

bool RemittanceImportDialog::post() {
  if (posted_) return false;
  ProgressDialog progress(this);
  remittance::ImportChoices choices;
  choices.fileName = path_;
  // The posting saves a patient at a time, and Abort stops it between two;
  // posting the file again (here, or importing it again) posts the rest.
  const auto result =
      remittance::importRemittance(importSurroundings(desk_, &progress), text_, choices);
  if (!result.refusal.empty()) {
    desk_.surroundings.prompter.error(result.refusal);
    return false;
  }
  if (result.stopped) {
    setWindowTitle(tr("Remittance Partly Posted: %1").arg(QFileInfo(qt(path_)).fileName()));
    showResult(result);
    queue_->setEnabled(true);
    post_->setFocus();
    desk_.surroundings.prompter.inform(remittance::stoppedText(result));
    return false;
  }
  posted_ = true;
  setWindowTitle(tr("Remittance Posted: %1").arg(QFileInfo(qt(path_)).fileName()));
  showResult(result);
  post_->setEnabled(false);
  queue_->setEnabled(true);
  queue_->setFocus();
  return true;
}

void RemittanceImportDialog::done(int result) {
  WindowPlacement::save(*this, desk_.settings);
  QDialog::done(result);
}

// ---------------------------------------------------------------------------------------------

RemittanceQueueWindow::RemittanceQueueWindow(DepositDesk desk, std::int64_t remittanceNumber,
                                             QWidget* parent)
    : QDialog(parent), desk_(std::move(desk)), remittance_(remittanceNumber) {
  setObjectName("RemittanceQueue");
  setWindowTitle(remittance_ > 0 ? tr("Remittance Queue: Remittance %1").arg(remittance_)
                                 : tr("Remittance Queue"));
  resolvedToo_ = new QCheckBox(tr("Show &Resolved Too"));
  resolvedToo_->setObjectName("resolvedToo");
  resolvedToo_->setChecked(remittance_ > 0);
  items_ = namedTable(
      "items", {tr("Item"), tr("Remittance"), tr("Kind"), tr("Status"), tr("Chart"), tr("Claim"),
                tr("Entry"), tr("Procedure"), tr("Date"), tr("Paid"), tr("Reason"), tr("Note")});
  items_->horizontalHeader()->setStretchLastSection(true);
  items_->installEventFilter(this);
  count_ = new QLabel;
  count_->setObjectName("count");

  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&Post by Hand"), "postByHand"), &QPushButton::clicked, this,
          &RemittanceQueueWindow::postByHand);
  connect(addButton(buttons, tr("&Dismiss..."), "dismiss"), &QPushButton::clicked, this,
          &RemittanceQueueWindow::dismiss);
  QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
  closeButton->setAutoDefault(false);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
  connect(resolvedToo_, &QCheckBox::toggled, this, &RemittanceQueueWindow::refresh);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(resolvedToo_);
  layout->addWidget(items_, 1);
  layout->addWidget(count_);
  layout->addWidget(buttons);
  resize(1100, 420);
  WindowPlacement::restore(*this, desk_.settings);
  refresh();
  items_->setFocus();
}

RemittanceQueueWindow::~RemittanceQueueWindow() {
  // The application window works on this window's practice.
  delete application_.data();
}

void RemittanceQueueWindow::refresh() {
  const std::int64_t chosen = currentItem();
  items_->setRowCount(0);
  int open = 0;
  for (const store::Record& row : remittance::queueItems(desk_.surroundings.practice, remittance_,
                                                         !resolvedToo_->isChecked())) {
    const bool isOpen = trimmed(row.text("Status")) == "O";
    open += isOpen ? 1 : 0;
    const Money paid = row.money("Paid Amount");
    std::string note = row.text("Note");
    if (!note.empty() && !trimmed(row.text("Resolved By")).empty())
      note = trimmed(row.text("Resolved By")) + ": " + note;
    addRow(
        items_,
        {QString::number(row.integer("Item Number")),
         QString::number(row.integer("Remittance Number")), qt(trimmed(row.text("Kind"))),
         isOpen ? tr("Open") : tr("Resolved"), qt(trimmed(row.text("Chart Number"))),
         number(row.integer("Claim Number")), number(row.integer("Charge Entry")),
         qt(trimmed(row.text("Procedure Code"))),
         row.date("Date From").isEmpty() ? QString() : qt(row.date("Date From").toMonthDayYear()),
         paid == Money{} ? QString() : qt(paid.toGroupedString()), qt(row.text("Reason")),
         qt(note)},
        {0, 1, 5, 6, 9});
    // The adjustments of the line, each in words, where the pointer rests on the reason.
    if (!row.text("Adjustments").empty())
      items_->item(items_->rowCount() - 1, 10)
          ->setToolTip(qt(row.text("Reason") + "\n" + row.text("Adjustments")));
  }
  fitColumns(items_);
  // A long reason would push the note out of sight; the whole text is its tip.
  if (items_->columnWidth(10) > 420) items_->setColumnWidth(10, 420);
  count_->setText(open == 1 ? tr("1 item is open.") : tr("%1 items are open.").arg(open));
  int row = 0;
  for (int n = 0; n < items_->rowCount(); ++n)
    if (items_->item(n, 0)->text().toLongLong() == chosen) row = n;
  if (items_->rowCount() > 0) items_->setCurrentCell(row, 0);
}

std::int64_t RemittanceQueueWindow::currentItem() const {
  const int row = items_->currentRow();
  if (row < 0 || items_->item(row, 0) == nullptr) return 0;
  return items_->item(row, 0)->text().toLongLong();
}

void RemittanceQueueWindow::resolve(std::int64_t item, const std::string& question,
                                    const std::string& note) {
  auto& prompter = desk_.surroundings.prompter;
  const auto answer = prompter.askText(question, note);
  if (!answer) return;
  const std::string refusal = remittance::resolveQueueItem(
      desk_.surroundings.practice, item, *answer, deposits::depositUserCode(desk_.surroundings),
      desk_.clock.today());
  if (!refusal.empty()) prompter.error(refusal);
  refresh();
}

void RemittanceQueueWindow::postByHand() {
  const std::int64_t item = currentItem();
  if (item == 0) return;
  if (application_ != nullptr) return showWindow(application_);
  const int row = items_->currentRow();
  if (items_->item(row, 3)->text() != tr("Open")) return;
  const auto remittance = remittance::findRemittance(desk_.surroundings.practice,
                                                     items_->item(row, 1)->text().toLongLong());
  if (!remittance) return;
  auto model = deposits::PaymentApplicationWindow::openHeld(
      {desk_.surroundings.practice, desk_.options, desk_.surroundings.prompter, desk_.clock,
       deposits::depositUserCode(desk_.surroundings), &desk_.settings, desk_.surroundings.security},
      remittance->integer("Deposit ID"));
  if (!model) return;
  application_ = new PaymentApplicationDialog(std::move(model), this);
  application_->setClosed([this, item] {
    resolve(item,
            fmt::format("Queue item {}: the note that resolves it (Cancel leaves it open).", item),
            "Posted by hand");
  });
  showWindow(application_);
  // The item's patient, as the clerk would type the chart number.
  const QString chart = items_->item(row, 4)->text();
  if (auto* edit = application_->findChild<QLineEdit*>("chart");
      edit != nullptr && !chart.isEmpty()) {
    edit->setText(chart);
    application_->choosePatient();
  }
}

void RemittanceQueueWindow::dismiss() {
  const std::int64_t item = currentItem();
  if (item == 0) return;
  resolve(item, fmt::format("Why is queue item {} dismissed?", item), "");
}

bool RemittanceQueueWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == items_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (isEnter(key)) return postByHand(), true;
      if (key->key() == Qt::Key_Delete) return dismiss(), true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void RemittanceQueueWindow::done(int result) {
  // The application window asks about unsaved entries first and may keep the queue open.
  if (application_ != nullptr && application_->isVisible() && !application_->close()) return;
  WindowPlacement::save(*this, desk_.settings);
  QDialog::done(result);
}

// ---------------------------------------------------------------------------------------------

RemittanceListWindow::RemittanceListWindow(DepositDesk desk, QWidget* parent)
    : QDialog(parent), desk_(std::move(desk)) {
  setObjectName("RemittanceList");
  setWindowTitle(tr("Electronic Remittances"));
  remittances_ = namedTable(
      "remittances", {tr("Number"), tr("Imported"), tr("Carrier"), tr("Payer"), tr("Trace Number"),
                      tr("Payment"), tr("Deposit"), tr("Claims"), tr("Lines"), tr("Posted"),
                      tr("Queued"), tr("Amount Posted"), tr("State")});
  remittances_->horizontalHeader()->setStretchLastSection(true);
  remittances_->installEventFilter(this);
  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&Queue Items"), "queueItems"), &QPushButton::clicked, this,
          &RemittanceListWindow::showItems);
  QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
  closeButton->setAutoDefault(false);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(remittances_, 1);
  layout->addWidget(buttons);
  resize(1100, 360);
  WindowPlacement::restore(*this, desk_.settings);
  refresh();
  remittances_->setFocus();
}

void RemittanceListWindow::refresh() {
  remittances_->setRowCount(0);
  for (const store::Record& row : remittance::listRemittances(desk_.surroundings.practice))
    addRow(remittances_,
           {QString::number(row.integer("Remittance Number")),
            qt(row.date("Date Created").toMonthDayYear()), qt(trimmed(row.text("Insurance Code"))),
            qt(trimmed(row.text("Payer Name"))), qt(trimmed(row.text("Trace Number"))),
            qt(row.money("Payment Amount").toGroupedString()),
            QString::number(row.integer("Deposit ID")), QString::number(row.integer("Claims")),
            QString::number(row.integer("Lines")), QString::number(row.integer("Lines Posted")),
            QString::number(row.integer("Lines Queued")),
            qt(row.money("Amount Posted").toGroupedString()),
            remittance::unfinishedImport(row) ? tr("Unfinished: import the file again to finish it")
                                              : tr("Imported")},
           {0, 5, 6, 7, 8, 9, 10, 11});
  fitColumns(remittances_);
  if (remittances_->rowCount() > 0) remittances_->setCurrentCell(remittances_->rowCount() - 1, 0);
}

void RemittanceListWindow::showItems() {
  const int row = remittances_->currentRow();
  if (row < 0) return;
  showWindow(
      new RemittanceQueueWindow(desk_, remittances_->item(row, 0)->text().toLongLong(), this));
}

bool RemittanceListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == remittances_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (isEnter(key) &&
        (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier))
      return showItems(), true;
  }
  return QDialog::eventFilter(watched, event);
}

void RemittanceListWindow::done(int result) {
  WindowPlacement::save(*this, desk_.settings);
  QDialog::done(result);
}

// ---------------------------------------------------------------------------------------------

namespace {

DepositDesk remittanceDesk(practice::OpenPractice& open, MessageBoxPrompter& prompter,
                           app::Application& application, ui::Settings& settings) {
  return {{*open.connection, prompter, open.security.get(),
           [&application] { return application.programDate().value(); }},
          open.options,
          application.clock(),
          settings};
}

}  // namespace

void MainWindow::importRemittance() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  const std::string userKey = "Last Folder";
  QFileDialog chooser(this, tr("Import Remittance (835)"),
                      qt(settings_.read(lastFolderKey, userKey).value_or("")),
                      tr("Remittance files (*.835 *.era *.txt *.edi);;All files (*)"));
  chooser.setObjectName("remittanceFile");
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return;
  const QString path = chooser.selectedFiles().front();
  settings_.write(lastFolderKey, userKey, QFileInfo(path).absolutePath().toStdString());
  auto* dialog = RemittanceImportDialog::open(
      remittanceDesk(*open, prompter_, application_, settings_), path.toStdString(), this);
  if (dialog == nullptr) return;
  dialog->setOpenQueue([this] { remittanceQueue(); });
  showWorkWindow(dialog);
}

void MainWindow::remittanceList() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  showWorkWindow(
      new RemittanceListWindow(remittanceDesk(*open, prompter_, application_, settings_), this));
}

void MainWindow::remittanceQueue() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  showWorkWindow(new RemittanceQueueWindow(
      remittanceDesk(*open, prompter_, application_, settings_), 0, this));
}

}  // namespace vantrell::desktop
