#include "options_dialog.hpp"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "record_form.hpp"
#include "store/errors.hpp"

namespace vantrell::desktop {
namespace {

struct Page {
  const char* title;
  std::vector<std::string> fields;
};

std::vector<std::string> numbered(const std::string& prefix, int from, int to,
                                  const std::string& suffix = "") {
  std::vector<std::string> names;
  for (int i = from; i <= to; ++i) names.push_back(prefix + std::to_string(i) + suffix);
  return names;
}

// Where a clerk looks for each option. Every field of the options row is on
// one page; Date Modified is the engine's.
std::vector<Page> optionPages() {
  std::vector<Page> pages = {
      {"&General", {"Remind to Backup on Close", "Backup Program",     "Backup Command Line",
                    "Use ENTER for next Field",  "Use Sound",          "Do Word Capitalization",
                    "Auto. Place Decimal Point", "Use Zip Code",       "Numeric",
                    "Auto Format SSN",           "Show Hints",         "Show Shortcuts",
                    "Use Classic Icons",         "Show Cue Cards",     "Show Patient List Window",
                    "Show Transaction Window",   "Show Reminder List", "Show Open Practice List",
                    "Print Title Page",          "Data Version Number"}},
      {"&Transactions",
       {"Multiply Units Times Amt.",
        "Default Location Code",
        "Default Cash Payment Code",
        "Default Check Paymnt Code",
        "Credit Card Payment Code",
        "Patient Write Off Code",
        "Force Payment Application",
        "Mark Complete",
        "Calculate Disallowed Amt",
        "Calculate Allowed Amount",
        "Use To Date",
        "Use Diagnosis",
        "Warn on Unapproved",
        "Use Old Style Transaction Entry",
        "Force Document Number",
        "Use Serialized Superbills",
        "Sales Tax Rate",
        "Default Tax Code",
        "Auto Calculate Tax",
        "Default Walkout Receipt"}},
      {"&Billing",
       {"Remind Bill Ins. Charges", "Days Past Entry Date", "Remind when to Follow up",
        "Days Past Billing Date", "Create Billing Notes", "Billing Note Code",
        "Mark Completed Claims Done", "Patient Share As Deductible", "Enforce Accept Assignment",
        "Eligibility Receiver", "Create Statement Billing Notes", "Statement Bill Note",
        "Use Cycle Billing", "Cycle Billing Days", "Quick Receipt Format", "Quick Statement Format",
        "Quick Face Sheet", "ePrescribing Enabled", "Courierlink Machine Name"}},
      {"&Aging",
       {"Pat Aging Column 1 Start", "Pat Aging Column 1 End", "Pat Aging Column 2",
        "Pat Aging Column 3", "Pat Age By Date From", "Pat Age By Statement Date",
        "Ins Aging Column 1 Start", "Ins Aging Column 1 End", "Ins Aging Column 2",
        "Ins Aging Column 3", "Ins Aging Column 4"}},
      {"Se&curity", {"Auto Log Off", "Log Off Min", "Audit Tables"}},
  };
  Page screens{"Sc&reens", numbered("Show Case Tab ", 1, 12)};
  for (const auto& name : numbered("Show Patient Tab ", 1, 2)) screens.fields.push_back(name);
  for (const char* name :
       {"Last Case Screen", "Last Patient Screen", "Case Default", "Use Color-coding",
        "Partially Applied Payment Color", "No Payment Color", "Partially Paid Color",
        "Overpaid Charge Color", "Unapplied Payment Color", "Overapplied Payment Color"})
    screens.fields.emplace_back(name);
  pages.push_back(std::move(screens));
  Page flags{"Patient &Flags", {"Use Patient Flags"}};
  for (int flag = 1; flag <= 14; ++flag) {
    flags.fields.push_back("Flag " + std::to_string(flag) + " Description");
    flags.fields.push_back("Flag " + std::to_string(flag) + " Color");
  }
  pages.push_back(std::move(flags));
  return pages;
}

QWidget* scrolled(QWidget* form) {
  auto* area = new QScrollArea;
  area->setWidget(form);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  return area;
}

QDialogButtonBox* saveAndCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  addSaveKeys(*dialog, buttons->button(QDialogButtonBox::Save));
  return buttons;
}

}  // namespace

OptionsDialog::OptionsDialog(store::Connection& connection, ui::Prompter& prompter,
                             bool securityIsSetUp, QWidget* parent)
    : QDialog(parent), prompter_(prompter), window_(connection, prompter, securityIsSetUp) {
  setObjectName("ProgramOptions");
  setWindowTitle(tr("Program Options"));
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget;
  tabs->setObjectName("optionPages");
  for (const auto& page : optionPages()) {
    auto* form = new RecordForm(window_.fields(), page.fields);
    forms_.push_back(form);
    tabs->addTab(scrolled(form), tr(page.title));
    // The data layout's version belongs to the conversion: shown, never typed.
    if (auto* version = qobject_cast<QLineEdit*>(form->fieldWidget("Data Version Number"))) {
      version->setReadOnly(true);
      version->setEnabled(false);
    }
  }
  layout->addWidget(tabs);
  auto* buttons = saveAndCancel(this);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::save);
  layout->addWidget(buttons);
  resize(720, 560);
}

void OptionsDialog::save() {
  if (!commitForms(forms_, prompter_)) return;
  if (saveShowingFailures(prompter_, [this] { return window_.save(); })) accept();
}

PracticeInformationDialog::PracticeInformationDialog(store::Connection& connection,
                                                     ui::Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter), window_(connection, prompter) {
  setObjectName("PracticeInformation");
  setWindowTitle(tr("Practice Information"));
  const std::vector<std::string> fields = {
      "Practice Name",  "Street 1", "Street 2",  "City",      "State",
      "Zip Code",       "Phone",    "Extension", "Fax",       "Practice Type",
      "Federal Tax ID", "Extra 1",  "Extra 2",   "EntityType"};
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget;
  practiceForm_ = new RecordForm(window_.practice(), fields);
  billingForm_ = new RecordForm(window_.billingService(), fields);
  pages_->addTab(practiceForm_, tr("&Practice"));
  pages_->addTab(billingForm_, tr("&Billing Service"));
  layout->addWidget(pages_);
  auto* buttons = saveAndCancel(this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PracticeInformationDialog::save);
  layout->addWidget(buttons);
}

void PracticeInformationDialog::save() {
  if (!commitForms({practiceForm_, billingForm_}, prompter_)) return;
  using Page = practice::PracticeInformationWindow::Page;
  const Page showing = pages_->currentIndex() == 1 ? Page::BillingService : Page::Practice;
  if (saveShowingFailures(prompter_, [&] { return window_.save(showing); })) accept();
}

ProgramDateDialog::ProgramDateDialog(practice::ProgramDate& programDate, ui::Prompter& prompter,
                                     QWidget* parent)
    : QDialog(parent), programDate_(programDate), prompter_(prompter) {
  setObjectName("ProgramDate");
  setWindowTitle(tr("Set Program Date"));
  auto* layout = new QVBoxLayout(this);
  auto* calendar = new QCalendarWidget;
  calendar->setObjectName("calendar");
  const auto current = programDate.value().value();
  calendar->setSelectedDate(QDate(static_cast<int>(current.year()),
                                  static_cast<int>(static_cast<unsigned>(current.month())),
                                  static_cast<int>(static_cast<unsigned>(current.day()))));
  layout->addWidget(calendar);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  const auto take = [this, calendar] {
    const QDate chosen = calendar->selectedDate();
    programDate_.set(Date::fromYmd(chosen.year(), static_cast<unsigned>(chosen.month()),
                                   static_cast<unsigned>(chosen.day())),
                     prompter_);
    accept();
  };
  connect(buttons, &QDialogButtonBox::accepted, this, take);
  connect(calendar, &QCalendarWidget::activated, this, take);
}

}  // namespace vantrell::desktop
