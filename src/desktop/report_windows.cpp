#include "report_windows.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QToolBar>
#include <QVBoxLayout>

#include "collections/work_list.hpp"
#include "main_window.hpp"
#include "pdf_renderer.hpp"
#include "progress_dialog.hpp"
#include "widget_helpers.hpp"
#include "record_form.hpp"

namespace vantrell::desktop {
namespace {

// The letters already taken as access keys in these texts ("&Report:" takes r).
QString accessKeysOf(const QStringList& texts) {
  QString used;
  for (const QString& text : texts) {
    const auto at = text.indexOf('&');
    if (at >= 0 && at + 1 < text.size()) used += text[at + 1].toLower();
  }
  return used;
}

// A question's label with an access key no other control of the window has: the first free
// initial of its words, else its first free letter.
QString withAccessKey(const QString& text, QString& used) {
  const auto freeAt = [&](qsizetype at) {
    return text[at].isLetter() && !used.contains(text[at].toLower());
  };
  qsizetype chosen = -1;
  for (qsizetype at = 0; at < text.size() && chosen < 0; ++at)
    if ((at == 0 || text[at - 1] == ' ') && freeAt(at)) chosen = at;
  for (qsizetype at = 0; at < text.size() && chosen < 0; ++at)
    if (freeAt(at)) chosen = at;
  if (chosen < 0) return text;
  used += text[chosen].toLower();
  return text.left(chosen) + '&' + text.mid(chosen);
}

int nextPdf = 0;

// Insurance Aging Reports in the permission list; the other aging reports go by Aging Reports.
constexpr int agingReportsRight = 154;
constexpr int insuranceAgingRight = 214;

QString plain(const QLineEdit* edit) {
  return edit->text().trimmed();
}

QLineEdit* codeField(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  edit->setMaxLength(8);
  return edit;
}

QLineEdit* dateField(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  edit->setPlaceholderText("MM/DD/YYYY");
  return edit;
}

// A from field and a to field on one line of the form.
QWidget* rangeRow(QLineEdit* from, QLineEdit* to) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(from);
  layout->addWidget(new QLabel(QObject::tr("to")));
  layout->addWidget(to);
  return row;
}

// "m/d/yyyy", as the report questions show dates.
QString questionDate(Date day) {
  return qt(reports::questionDefault("TODAY", day));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

ReportPreviewWindow::ReportPreviewWindow(const QString& pdfPath, reports::Report report,
                                         QWidget* parent)
    : PdfPreviewWindow(pdfPath, parent), report_(std::move(report)) {
  setObjectName("ReportPreview");
  setWindowTitle("Print Preview - " + qt(report_.header.title));
  if (auto* tools = findChild<QToolBar*>()) {
    // Beside Save As, before Close.
    QAction* close = tools->actions().isEmpty() ? nullptr : tools->actions().constLast();
    auto* csv = new QAction(tr("&Export CSV..."), this);
    csv->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    csv->setShortcutContext(Qt::WindowShortcut);
    connect(csv, &QAction::triggered, this, &ReportPreviewWindow::chooseCsvFile);
    tools->insertAction(close, csv);
  }
  // Wide enough for the whole tool bar and a landscape page, where the screen allows.
  fitOnScreen(*this, QSize(1020, 860));
}

bool ReportPreviewWindow::exportCsv(const QString& target) {
  const std::string csv = reports::reportCsv(report_);
  QSaveFile file(target);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
      !file.commit()) {
    QMessageBox::warning(this, windowTitle(),
                         "The file " + target + " could not be written: " + file.errorString());
    return false;
  }
  return true;
}

void ReportPreviewWindow::chooseCsvFile() {
  const QString target = QFileDialog::getSaveFileName(
      this, tr("Export CSV"), qt(report_.header.title) + ".csv", "CSV files (*.csv)");
  if (!target.isEmpty()) exportCsv(target);
}

void ReportPreviewWindow::closeEvent(QCloseEvent* event) {
  // Once only: the report's own closing question is asked as the window goes.
  if (auto onClose = std::exchange(onClose_, nullptr)) onClose();
  PdfPreviewWindow::closeEvent(event);
}

ReportPreviewWindow* previewReport(reports::Report report, ui::Prompter& prompter,
                                   QWidget* parent) {
  const QString path = QDir(QDir::tempPath())
                           .filePath(QStringLiteral("vantrell-report-%1-%2.pdf")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(++nextPdf));
  try {
    pdf::writePdf(reports::reportDocument(report), path.toStdString());
  } catch (const pdf::PdfError& error) {
    prompter.error(error.what());
    return nullptr;
  }
  auto* preview = new ReportPreviewWindow(path, std::move(report), parent);
  preview->setAttribute(Qt::WA_DeleteOnClose);
  // The PDF is the preview's own: Save As keeps a copy where the person wants one.
  QObject::connect(preview, &QObject::destroyed, [path] { QFile::remove(path); });
  preview->show();
  preview->raise();
  preview->activateWindow();
  return preview;
}

// ---------------------------------------------------------------------------------------------

AgingQuestionsDialog::AgingQuestionsDialog(ui::Prompter& prompter, Date programDate,
                                           std::function<bool(int)> allowed, QWidget* parent)
    : QDialog(parent), prompter_(prompter), allowed_(std::move(allowed)) {
  setObjectName("AgingQuestions");
  setWindowTitle(tr("Aging Reports"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);

  kind_ = new QComboBox;
  kind_->setObjectName("kind");
  using reports::AgingKind;
  for (const auto& [text, kind] : std::initializer_list<std::pair<const char*, AgingKind>>{
           {"Patient Aging", AgingKind::Patient},
           {"Applied Patient Aging", AgingKind::AppliedPatient},
           {"Primary Insurance Aging", AgingKind::Primary},
           {"Secondary Insurance Aging", AgingKind::Secondary},
           {"Tertiary Insurance Aging", AgingKind::Tertiary},
           {"Patient Remainder Aging", AgingKind::Remainder},
           {"Guarantor Remainder Totals", AgingKind::GuarantorRemainder}})
    kind_->addItem(tr(text), static_cast<int>(kind));
  form->addRow(tr("&Report:"), kind_);

  chartFrom_ = codeField("chartFrom");
  chartTo_ = codeField("chartTo");
  form->addRow(tr("&Chart Number:"), rangeRow(chartFrom_, chartTo_));
  dateFrom_ = dateField("dateFrom");
  dateTo_ = dateField("dateTo");
  dateTo_->setText(questionDate(programDate));
  dateLabel_ = new QLabel;
  dateLabel_->setBuddy(dateFrom_);
  form->addRow(dateLabel_, rangeRow(dateFrom_, dateTo_));
  serviceFrom_ = dateField("serviceFrom");
  serviceTo_ = dateField("serviceTo");
  auto* service = rangeRow(serviceFrom_, serviceTo_);
  form->addRow(tr("Date of &Service:"), service);

  providerFrom_ = codeField("providerFrom");
  providerTo_ = codeField("providerTo");
  auto* provider = rangeRow(providerFrom_, providerTo_);
  form->addRow(tr("Attending &Provider:"), provider);
  billingFrom_ = codeField("billingFrom");
  billingTo_ = codeField("billingTo");
  auto* billing = rangeRow(billingFrom_, billingTo_);
  form->addRow(tr("Billin&g Code:"), billing);
  indicator_ = codeField("indicator");
  form->addRow(tr("Patient &Indicator:"), indicator_);
  carrierFrom_ = codeField("carrierFrom");
  carrierTo_ = codeField("carrierTo");
  auto* carrier = rangeRow(carrierFrom_, carrierTo_);
  form->addRow(tr("Insurance C&arrier:"), carrier);

  blankFacility_ = new QCheckBox(qt(reports::blankFacilityChoice));
  blankFacility_->setObjectName("blankFacility");
  detail_ = new QCheckBox(tr("De&tail (a line per charge)"));
  detail_->setObjectName("detail");
  addToWorkList_ = new QCheckBox(tr("Add To &Work List"));
  addToWorkList_->setObjectName("addToWorkList");
  layout->addWidget(blankFacility_);
  layout->addWidget(detail_);
  layout->addWidget(addToWorkList_);

  // The questions each report reads; the others are greyed. Every report reads
  // the provider, billing code and indicator ranges.
  insuranceOnly_ = {carrier, form->labelForField(carrier), blankFacility_};
  remainderOnly_ = {service, form->labelForField(service)};

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  // Enter in any field runs the report, as the other question dialogs do.
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(kind_, &QComboBox::currentIndexChanged, this, &AgingQuestionsDialog::kindChanged);
  kindChanged();
  kind_->setFocus();
}

reports::AgingKind AgingQuestionsDialog::kind() const {
  const auto kind = static_cast<reports::AgingKind>(kind_->currentData().toInt());
  if (kind == reports::AgingKind::Remainder && detail_->isChecked())
    return reports::AgingKind::RemainderDetail;
  return kind;
}

void AgingQuestionsDialog::kindChanged() {
  using reports::AgingKind;
  const auto kind = static_cast<AgingKind>(kind_->currentData().toInt());
  const bool patient = kind == AgingKind::Patient || kind == AgingKind::AppliedPatient;
  const bool insurance =
      kind == AgingKind::Primary || kind == AgingKind::Secondary || kind == AgingKind::Tertiary;
  const bool remainder = kind == AgingKind::Remainder || kind == AgingKind::GuarantorRemainder;
  for (QWidget* widget : insuranceOnly_) widget->setEnabled(insurance);
  for (QWidget* widget : remainderOnly_) widget->setEnabled(remainder);
  detail_->setEnabled(insurance || kind == AgingKind::Remainder);
  addToWorkList_->setEnabled(patient || insurance);
  // The remainder reports age to today: they take no aging dates.
  dateFrom_->setEnabled(!remainder);
  dateTo_->setEnabled(!remainder);
  dateLabel_->setEnabled(!remainder);
  dateLabel_->setText(insurance ? tr("Initial Billing &Date:") : tr("Aging &Date:"));
}

bool AgingQuestionsDialog::read() {
  using reports::AgingKind;
  const auto kind = static_cast<AgingKind>(kind_->currentData().toInt());
  const bool insurance =
      kind == AgingKind::Primary || kind == AgingKind::Secondary || kind == AgingKind::Tertiary;
  reports::AgingQuestions asked;
  const auto text = [](const QLineEdit* edit) {
    return edit->isEnabled() ? plain(edit).toStdString() : std::string();
  };
  asked.chart = {text(chartFrom_), text(chartTo_)};
  asked.provider = {text(providerFrom_), text(providerTo_)};
  asked.billingCode = {text(billingFrom_), text(billingTo_)};
  asked.patientIndicator = {text(indicator_), text(indicator_)};
  asked.carrier = {text(carrierFrom_), text(carrierTo_)};
  for (const auto& [edit, into] :
       {std::pair{dateFrom_, &asked.agingDate.from}, std::pair{dateTo_, &asked.agingDate.to},
        std::pair{serviceFrom_, &asked.serviceDate.from},
        std::pair{serviceTo_, &asked.serviceDate.to}}) {
    const std::string typed = text(edit);
    const auto day = Date::parse(typed);
    if (!day) {
      prompter_.error(reports::invalidDateMessage(typed));
      edit->setFocus();
      edit->selectAll();
      return false;
    }
    *into = *day;
  }
  if (const auto refusal =
          collections::dateRangeRefusal(asked.agingDate.from, asked.agingDate.to)) {
    prompter_.error(*refusal);
    dateTo_->setFocus();
    dateTo_->selectAll();
    return false;
  }
  asked.blankFacility = blankFacility_->isEnabled() && blankFacility_->isChecked();
  asked.detail = detail_->isEnabled() && detail_->isChecked();
  asked.addToWorkList = addToWorkList_->isEnabled() && addToWorkList_->isChecked();
  if (insurance && !allowed_(insuranceAgingRight)) return false;
  questions_ = asked;
  return true;
}

void AgingQuestionsDialog::accept() {
  if (read()) QDialog::accept();
}

// ---------------------------------------------------------------------------------------------

LedgerQuestionsDialog::LedgerQuestionsDialog(std::vector<reports::LedgerReportKind> kinds,
                                             ui::Prompter& prompter, Date today,
                                             security::Security* security, QWidget* parent)
    : QDialog(parent),
      kinds_(std::move(kinds)),
      prompter_(prompter),
      today_(today),
      security_(security),
      questions_(new QWidget) {
  setObjectName("LedgerQuestions");
  setWindowTitle(kinds_.size() > 1 ? tr("Day Sheets")
                                   : qt(reports::ledgerReportTitle(kinds_.front())));
  auto* layout = new QVBoxLayout(this);
  if (kinds_.size() > 1) {
    auto* top = new QFormLayout;
    kind_ = new QComboBox;
    kind_->setObjectName("kind");
    for (const auto kind : kinds_) kind_->addItem(qt(reports::ledgerReportTitle(kind)));
    top->addRow(tr("&Report:"), kind_);
    layout->addLayout(top);
  }
  layout->addWidget(questions_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  if (kind_ != nullptr)
    connect(kind_, &QComboBox::currentIndexChanged, this, &LedgerQuestionsDialog::kindChanged);
  kindChanged();
  if (kind_ != nullptr) kind_->setFocus();
}

void LedgerQuestionsDialog::kindChanged() {
  const auto kind =
      kinds_.at(kind_ != nullptr ? static_cast<std::size_t>(kind_->currentIndex()) : 0);
  ranges_.clear();
  choices_.clear();
  delete questions_->layout();
  for (QWidget* old : questions_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) delete old;
  core_ = std::make_unique<reports::LedgerReportDialog>(kind, prompter_, today_, security_);
  // Without the report's right the refusal is shown and nothing can be asked.
  if (!core_->open()) core_.reset();
  ok_->setEnabled(core_ != nullptr);
  auto* grid = new QGridLayout(questions_);
  grid->setContentsMargins(0, 0, 0, 0);
  if (core_ == nullptr) return;
  grid->addWidget(new QLabel(tr("From")), 0, 1);
  grid->addWidget(new QLabel(tr("To")), 0, 2);
  // Each range is reached by Alt and a letter, as the choices and the report box are.
  QStringList taken{ok_->text(), tr("Cancel")};
  if (kind_ != nullptr) taken << tr("&Report:");
  for (const reports::ChoiceQuestion& choice : core_->choices()) taken << qt(choice.text);
  QString usedKeys = accessKeysOf(taken);
  int row = 1;
  for (const reports::RangeQuestion& question : core_->ranges()) {
    auto* from = new QLineEdit(qt(question.from));
    auto* to = new QLineEdit(qt(question.to));
    from->setObjectName(qt("from:" + question.field));
    to->setObjectName(qt("to:" + question.field));
    if (question.date) {
      from->setPlaceholderText("MM/DD/YYYY");
      to->setPlaceholderText("MM/DD/YYYY");
    }
    // A user held to his own code sees it and cannot change it.
    from->setReadOnly(question.fixed);
    to->setReadOnly(question.fixed);
    auto* label = new QLabel(withAccessKey(qt(question.field + ":"), usedKeys));
    label->setBuddy(from);
    grid->addWidget(label, row, 0);
    grid->addWidget(from, row, 1);
    grid->addWidget(to, row, 2);
    ranges_.emplace_back(from, to);
    ++row;
  }
  for (const reports::ChoiceQuestion& choice : core_->choices()) {
    auto* box = new QCheckBox(qt(choice.text));
    box->setObjectName(qt("choice" + std::to_string(choices_.size())));
    box->setEnabled(choice.offered);
    box->setChecked(choice.answer);
    grid->addWidget(box, row++, 0, 1, 3);
    choices_.push_back(box);
  }
  if (kind_ != nullptr)
    setTabOrder(kind_, ranges_.empty() ? static_cast<QWidget*>(ok_) : ranges_.front().first);
  adjustSize();
}

void LedgerQuestionsDialog::accept() {
  if (core_ == nullptr) return;
  for (std::size_t index = 0; index < ranges_.size(); ++index)
    core_->setRange(core_->ranges()[index].field, plain(ranges_[index].first).toStdString(),
                    plain(ranges_[index].second).toStdString());
  for (std::size_t index = 0; index < choices_.size(); ++index)
    if (choices_[index]->isEnabled())
      core_->setChoice(core_->choices()[index].text, choices_[index]->isChecked() ? "YES" : "NO");
  auto selection = core_->confirm();
  if (!selection) return;
  selection_ = std::move(*selection);
  QDialog::accept();
}

// ---------------------------------------------------------------------------------------------
// The Reports menu.

void MainWindow::agingReports() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr || !allowed(agingReportsRight)) return;
  AgingQuestionsDialog questions(
      prompter_, application_.programDate().value(), [this](int item) { return allowed(item); },
      this);
  if (questions.exec() != QDialog::Accepted) return;
  auto window = std::make_shared<reports::AgingWindow>(
      *open->connection, reports::AgingSettings::read(open->options), prompter_,
      application_.clock(), questions.kind());
  window->questions() = questions.questions();
  std::optional<reports::Report> report;
  {
    ProgressDialog progress(this);
    report = window->run(&progress);
  }
  // Aborted, or nothing to print (the core has said so): no preview.
  if (!report) return;
  if (auto* preview = previewReport(std::move(*report), prompter_, this))
    preview->setOnClose([window] { window->close(); });
}

void MainWindow::ledgerReports(std::vector<reports::LedgerReportKind> kinds) {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  const Date today = application_.programDate().value();
  const bool single = kinds.size() == 1;
  LedgerQuestionsDialog questions(std::move(kinds), prompter_, today, open->security.get(), this);
  // A single report the user may not run has been refused already.
  if ((single && !questions.usable()) || questions.exec() != QDialog::Accepted) return;
  std::optional<reports::Report> report;
  {
    ProgressDialog progress(this);
    report = reports::ledgerReport(*open->connection, questions.selection(), prompter_, today,
                                   &progress);
  }
  if (!report || report->empty()) return;
  previewReport(std::move(*report), prompter_, this);
}

void MainWindow::daySheets() {
  using reports::LedgerReportKind;
  ledgerReports({LedgerReportKind::PatientDaySheet, LedgerReportKind::ProcedureDaySheet,
                 LedgerReportKind::PaymentDaySheet});
}

void MainWindow::practiceAnalysis() {
  ledgerReports({reports::LedgerReportKind::PracticeAnalysis});
}

}  // namespace vantrell::desktop
