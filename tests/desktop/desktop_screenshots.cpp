// desktop_screenshots DIR: starts the desktop on a fresh root data directory
// (the tutorial practice) and saves PNG pictures of the main window, the
// practice list, the new practice window, every page of the options window,
// the code windows, the patient list with every page of the patient and case
// windows, the transaction entry window with payments and estimates, and the
// apply dialog. With a PDF after DIR, also the print preview showing it.

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include <unistd.h>

#include "app/application.hpp"
#include "main_window.hpp"
#include "message_box_prompter.hpp"
#include "accounts/case_window.hpp"
#include "accounts/patient_window.hpp"
#include "apply_dialog_window.hpp"
#include "case_dialog.hpp"
#include "code_list_window.hpp"
#include "patient_dialog.hpp"
#include "patient_list_window.hpp"
#include "pdf_preview_window.hpp"
#include "options_dialog.hpp"
#include "practice_dialogs.hpp"
#include "transaction_entry_window.hpp"
#include "ui/launcher.hpp"
#include "ui/settings.hpp"

using namespace vantrell;

namespace {

void save(QWidget& widget, const std::filesystem::path& file) {
  widget.show();
  QApplication::processEvents();
  widget.grab().save(QString::fromStdString(file.string()));
  std::cout << file.string() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "Usage: desktop_screenshots DIR\n";
    return 2;
  }
  QApplication application(argc, argv);
  const std::filesystem::path out(argv[1]);
  std::filesystem::create_directories(out);
  const auto home = std::filesystem::temp_directory_path() / ("vantrell-screens-" + std::to_string(::getpid()));

  desktop::MessageBoxPrompter prompter;
  ui::MemorySettings settings;
  ui::ProcessLauncher launcher(ui::ProcessLauncher::runningProgramDirectory());
  ui::SystemClock clock;
  practice::Surroundings surroundings{prompter, settings, launcher, clock, practice::ProgramPlaces{home / "state"}, "MARY"};
  app::Application program(surroundings);
  desktop::MainWindow window(program, prompter, settings);
  app::StartupOptions options;
  options.rootDirectory = (home / "Data").string();
  options.createRootWithoutAsking = true;
  if (!window.start(options)) return 1;
  window.resize(1366, 740);
  save(window, out / "main-window.png");

  desktop::PracticeListDialog list(program, &window);
  save(list, out / "practice-list.png");
  list.hide();
  desktop::NewPracticeDialog newPractice(program, &window);
  save(newPractice, out / "new-practice.png");
  newPractice.hide();
  desktop::OptionsDialog optionsDialog(*program.practice()->connection, prompter, false, &window);
  auto* pages = optionsDialog.findChild<QTabWidget*>("optionPages");
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    save(optionsDialog, out / ("options-" + std::to_string(page + 1) + ".png"));
  }
  optionsDialog.hide();
  desktop::PracticeInformationDialog information(*program.practice()->connection, prompter, &window);
  save(information, out / "practice-information.png");
  information.hide();
  auto& practice = *program.practice();
  desktop::CodeListWindow codes(*practice.connection, *reference::findCodeTable("code"), prompter, clock,
                                practice.security.get(), &window);
  save(codes, out / "procedure-codes.png");
  codes.hide();
  reference::CodeWindow code(*practice.connection, *reference::findCodeTable("code"), prompter, clock,
                             practice.security.get());
  code.open("99213");
  desktop::CodeEditDialog editCode(code, *practice.connection, prompter, practice.security.get(), &window);
  save(editCode, out / "procedure-code.png");
  editCode.hide();
  reference::CodeWindow carrier(*practice.connection, *reference::findCodeTable("carrier"), prompter, clock,
                                practice.security.get());
  carrier.open("MC");
  desktop::CodeEditDialog editCarrier(carrier, *practice.connection, prompter, practice.security.get(), &window);
  editCarrier.findChild<QTabWidget*>("pages")->setCurrentIndex(3);
  save(editCarrier, out / "carrier-allowed-amounts.png");
  editCarrier.hide();

  // A few patients, one with a case, for the patient list and its windows.
  const std::vector<std::vector<std::pair<std::string, std::string>>> people = {
      {{"Last Name", "Smith"}, {"First Name", "John"}, {"Middle Initial", "Q"}, {"Date of Birth", "1961-04-12"},
       {"Social Security Number", "123-45-6789"}, {"Street 1", "12 Elm Street"}, {"City", "Springfield"},
       {"State", "IL"}, {"Zip Code", "62701"}, {"Phone 1", "(217)555-0134"}},
      {{"Last Name", "Garcia"}, {"First Name", "Maria"}, {"Date of Birth", "1985-09-30"}},
      {{"Last Name", "Brown"}, {"First Name", "Kevin"}, {"Patient Type", "Guarantor"}}};
  std::string firstChart;
  for (const auto& fields : people) {
    accounts::PatientWindow patient(*practice.connection, prompter, clock, practice.security.get(),
                                    practice.options.flag("Numeric"));
    if (!patient.startNew() || !patient.setFields(fields) || !patient.save()) return 1;
    if (firstChart.empty()) firstChart = patient.record().text("Chart Number");
  }
  {
    accounts::CaseWindow made(*practice.connection, prompter, clock, practice.security.get());
    if (!made.startNew(firstChart) ||
        !made.setFields({{"Description", "Lower back pain"}, {"Assigned Provider", "DJ"},
                         {"Insurance Carrier #1", "MC"}, {"Policy Number #1", "1EG4-TE5-MK72"},
                         {"Diagnosis 1", "I10"}}) ||
        !made.saveAndClose())
      return 1;
  }
  desktop::PatientListWindow patients(*practice.connection, practice.options, prompter, clock,
                                      practice.security.get(), &window);
  patients.findChild<QLineEdit*>("search")->setText("SMI");
  save(patients, out / "patient-list.png");
  patients.hide();
  accounts::PatientWindow patient(*practice.connection, prompter, clock, practice.security.get(),
                                  practice.options.flag("Numeric"));
  patient.open(firstChart);
  desktop::PatientDialog patientDialog(patient, *practice.connection, prompter, clock, practice.security.get(),
                                       &window);
  auto* patientPages = patientDialog.findChild<QTabWidget*>("pages");
  for (int page = 0; page < patientPages->count(); ++page) {
    patientPages->setCurrentIndex(page);
    save(patientDialog, out / ("patient-" + std::to_string(page + 1) + ".png"));
  }
  patientDialog.hide();
  patient.cancel();  // lets the patient go for the transaction window
  accounts::CaseWindow caseWindow(*practice.connection, prompter, clock, practice.security.get());
  caseWindow.open(1);
  desktop::CaseDialog caseDialog(caseWindow, *practice.connection, practice.options, prompter, clock,
                                 practice.security.get(), &window);
  auto* casePages = caseDialog.findChild<QTabWidget*>("pages");
  for (int page = 0; page < casePages->count(); ++page) {
    casePages->setCurrentIndex(page);
    save(caseDialog, out / ("case-" + std::to_string(page + 1) + ".png"));
  }
  caseDialog.hide();

  // The transaction window on that case: two charges saved, a third being typed.
  desktop::TransactionEntryWindow transactions(
      {*practice.connection, practice.options, prompter, clock, practice.security.get(),
       [&program] { return program.programDate().value(); }, transactions::Ledger::Transactions},
      &window);
  transactions.chooseChart(QString::fromStdString(firstChart));
  for (const char* procedure : {"99213", "85025"}) {
    const std::size_t line = transactions.model().newCharge();
    transactions.model().setChargeField(line, "Procedure Code", procedure);
    transactions.model().postCharge(line);
  }
  transactions.save();
  // A patient check spread over the charges in the apply dialog, and an insurance payment not
  // applied yet; the estimates of the case beside them.
  auto& entry = transactions.model();
  const std::size_t check = entry.newPayment();
  entry.setPaymentField(check, "Procedure Code", "CHECK");
  entry.setPaymentField(check, "Check Number", "2041");
  entry.setPaymentField(check, "Amount", "50");
  entry.postPayment(check);
  if (auto dialog = entry.applyDialog(check)) {
    dialog->setThisPayment(0, Money::fromCents(4000));
    desktop::ApplyDialogWindow apply(*dialog, &transactions);
    save(apply, out / "apply-dialog.png");
    apply.hide();
    entry.closeApplyDialog(check, *dialog);
  }
  const std::size_t insurance = entry.newPayment();
  entry.setPaymentField(insurance, "Procedure Code", "INSPAY");
  entry.setPaymentField(insurance, "Amount", "64");
  entry.postPayment(insurance);
  transactions.save();
  transactions.findChild<QCheckBox*>("showEstimates")->setChecked(true);
  save(transactions, out / "transaction-payments.png");
  transactions.newCharge();
  save(transactions, out / "transaction-entry.png");
  transactions.model().close();
  transactions.hide();

  if (argc > 2) {
    // The pages are drawn in the background: give them a moment before the picture.
    const auto settle = [] {
      for (int wait = 0; wait < 30; ++wait) {
        QApplication::processEvents();
        ::usleep(50000);
      }
    };
    desktop::PdfPreviewWindow preview(QString::fromLocal8Bit(argv[2]), &window);
    preview.show();
    settle();
    save(preview, out / "pdf-preview.png");
    preview.fitWidth();
    preview.nextPage();
    settle();
    save(preview, out / "pdf-preview-page-2.png");
  }

  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return 0;
}
