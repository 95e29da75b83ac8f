#include "claim_output_windows.hpp"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "claims/claim_printing.hpp"
#include "pdf_preview_window.hpp"
#include "pdf_renderer.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

int nextPdf = 0;

QString slotName(int slot) {
  return slot == 1   ? QObject::tr("Primary")
         : slot == 2 ? QObject::tr("Secondary")
                     : QObject::tr("Tertiary");
}

}  // namespace

ClaimPrintSendWindow::ClaimPrintSendWindow(claims::PrintSendDialog& model, bool rebill,
                                           QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName("ClaimPrintSend");
  setWindowTitle(rebill ? tr("Reprint Claims") : tr("Print/Send Claims"));
  auto* layout = new QVBoxLayout(this);

  auto* method = new QGroupBox(tr("Select claims with a billing method of:"));
  auto* methods = new QFormLayout(method);
  paperMethod_ = new QRadioButton(tr("&Paper"));
  paperMethod_->setObjectName("paper");
  electronicMethod_ = new QRadioButton(tr("&Electronic"));
  electronicMethod_->setObjectName("electronic");
  receiver_ = new QComboBox;
  receiver_->setObjectName("receiver");
  for (const auto& choice : model_.receivers())
    receiver_->addItem(qt(choice.code + "  " + choice.name), qt(choice.code));
  methods->addRow(paperMethod_);
  methods->addRow(electronicMethod_, receiver_);
  const bool paper = model_.choice.method == claims::PrintSendChoice::Method::Paper;
  (paper ? paperMethod_ : electronicMethod_)->setChecked(true);
  receiver_->setEnabled(!paper);
  layout->addWidget(method);
  method->setVisible(!rebill);

  auto* printing = new QGroupBox(tr("Paper claims"));
  auto* options = new QFormLayout(printing);
  form_ = new QComboBox;
  form_->setObjectName("form");
  form_->addItem(tr("Plain paper (the whole form drawn)"));
  form_->addItem(tr("Red form (the data only)"));
  slot_ = new QComboBox;
  slot_->setObjectName("slot");
  for (int slot = 1; slot <= 3; ++slot) slot_->addItem(slotName(slot));
  auto* formLabel = new QLabel(tr("Claim &form:"));
  formLabel->setBuddy(form_);
  auto* slotLabel = new QLabel(tr("&Bill carrier:"));
  slotLabel->setBuddy(slot_);
  options->addRow(formLabel, form_);
  options->addRow(slotLabel, slot_);
  layout->addWidget(printing);
  connect(electronicMethod_, &QRadioButton::toggled, this, [this, printing](bool electronic) {
    receiver_->setEnabled(electronic);
    printing->setEnabled(!electronic);
  });
  printing->setEnabled(paper);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  // Alt+O is OK: Enter may move between the fields.
  buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &ClaimPrintSendWindow::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  (rebill ? static_cast<QWidget*>(form_) : paperMethod_)->setFocus();
}

PaperChoice ClaimPrintSendWindow::paper() const {
  return {form_->currentIndex() == 1 ? claims::ClaimFormPaper::RedForm
                                     : claims::ClaimFormPaper::PlainPaper,
          slot_->currentIndex() + 1};
}

void ClaimPrintSendWindow::billDue(int slot) {
  setWindowTitle(tr("Bill Remaining Insurances"));
  slot_->setCurrentIndex(slot - 1);
  slot_->setEnabled(false);
}

void ClaimPrintSendWindow::accept() {
  model_.choice.method = paperMethod_->isChecked() ? claims::PrintSendChoice::Method::Paper
                                                   : claims::PrintSendChoice::Method::Electronic;
  model_.choice.receiver = receiver_->currentData().toString().toStdString();
  // A refused choice keeps the dialog open, with the model's message shown.
  if (model_.accept()) QDialog::accept();
}

std::vector<std::int64_t> previewClaimForms(store::Connection& practice, ui::Prompter& prompter,
                                            const ClaimOutput& output,
                                            const std::vector<std::int64_t>& claims, int slot,
                                            const claims::ClaimFormOptions& options, bool estimate,
                                            QWidget* parent) {
  const QString path = QDir(QDir::tempPath())
                           .filePath(QStringLiteral("vantrell-claims-%1-%2.pdf")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(++nextPdf));
  claims::ClaimFormRun run;
  try {
    run = claims::claimFormRun(practice, claims, slot, options, estimate);
    if (run.printed.empty()) {
      prompter.warn("There are no claims to print.");
      return {};
    }
    pdf::writePdf(run.document, path.toStdString());
  } catch (const pdf::PdfError& error) {
    prompter.error(error.what());
    return {};
  }
  auto* preview = new PdfPreviewWindow(path, parent);
  preview->setAttribute(Qt::WA_DeleteOnClose);
  preview->setWindowTitle(
      QObject::tr("Claims: %n form(s)", nullptr, static_cast<int>(run.document.pageCount())));
  // The PDF is the preview's own: Save As keeps a copy where the person wants one.
  QObject::connect(preview, &QObject::destroyed, [path] { QFile::remove(path); });
  if (output.showPreview)
    output.showPreview(preview);
  else
    preview->show();
  return run.printed;
}

RefusedClaimsWindow::RefusedClaimsWindow(const std::vector<claims::RefusedClaim>& refused,
                                         std::function<void(std::int64_t)> openClaim,
                                         QWidget* parent)
    : QDialog(parent), openClaim_(std::move(openClaim)) {
  setObjectName("RefusedClaims");
  setWindowTitle(tr("Claims Not Sent"));
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(
      tr("%n claim(s) did not pass the checks and stay Ready to Send. Put right what each line "
         "says where it says, then print or send them again.",
         nullptr, static_cast<int>(refused.size())));
  heading->setWordWrap(true);
  layout->addWidget(heading);

  problems_ = new QTableWidget;
  problems_->setObjectName("problems");
  problems_->setColumnCount(5);
  problems_->setHorizontalHeaderLabels(
      {tr("Claim"), tr("Patient"), tr("Carrier"), tr("What is wrong"), tr("Where to fix it")});
  problems_->setSelectionBehavior(QAbstractItemView::SelectRows);
  problems_->setSelectionMode(QAbstractItemView::SingleSelection);
  problems_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  problems_->setWordWrap(true);
  problems_->verticalHeader()->hide();
  int row = 0;
  for (const auto& claim : refused) {
    // A claim with no problem named still gets its line, so it can be opened.
    const std::size_t lines = std::max<std::size_t>(claim.problems.size(), 1);
    for (std::size_t at = 0; at < lines; ++at) {
      problems_->insertRow(row);
      const auto cell = [&](int column, const QString& text) {
        auto* item = new QTableWidgetItem(text);
        item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(claim.claimNumber));
        problems_->setItem(row, column, item);
      };
      // The claim's own columns only on its first line, so the claims stand apart.
      cell(0, at == 0 ? QString::number(claim.claimNumber) : QString());
      cell(1, at == 0 ? qt(claim.patient) : QString());
      cell(2, at == 0 ? slotName(claim.slot) : QString());
      cell(3, at < claim.problems.size() ? qt(claim.problems[at].what) : QString());
      cell(4, at < claim.problems.size() ? qt(claim.problems[at].where) : QString());
      ++row;
    }
  }
  problems_->resizeColumnsToContents();
  problems_->horizontalHeader()->setStretchLastSection(true);
  problems_->setColumnWidth(3, std::min(problems_->columnWidth(3), 420));
  problems_->resizeRowsToContents();
  problems_->installEventFilter(this);
  connect(problems_, &QTableWidget::cellDoubleClicked, this,
          &RefusedClaimsWindow::openCurrentClaim);
  layout->addWidget(problems_, 1);

  auto* buttons = new QDialogButtonBox;
  connect(addButton(buttons, tr("&Edit Claim"), "editClaim"), &QPushButton::clicked, this,
          &RefusedClaimsWindow::openCurrentClaim);
  auto* close = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(980, 360);
  if (problems_->rowCount() > 0) problems_->setCurrentCell(0, 0);
  problems_->setFocus();
}

bool RefusedClaimsWindow::eventFilter(QObject* watched, QEvent* event) {
  // Enter opens the claim of the current line rather than closing the window.
  if (watched == problems_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      openCurrentClaim();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void RefusedClaimsWindow::openCurrentClaim() {
  const QTableWidgetItem* item = problems_->item(problems_->currentRow(), 0);
  if (item == nullptr || !openClaim_) return;
  openClaim_(item->data(Qt::UserRole).toLongLong());
}

}  // namespace vantrell::desktop
