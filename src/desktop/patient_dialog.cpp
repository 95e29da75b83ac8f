#include "patient_dialog.hpp"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "code_list_window.hpp"
#include "record_form.hpp"
#include "security/permission_list.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

struct Page {
  const char* title;
  std::vector<std::vector<std::string>> columns;
};

// Every patient field once: the person and how to reach them, then the
// account and employment, then what the ledger and the payment plan keep.
const std::vector<Page>& pages() {
  static const std::vector<Page> layout = {
      {"&Name, Address",
       {{"Chart Number", "Last Name", "First Name", "Middle Initial", "Street 1", "Street 2",
         "City", "State", "Zip Code", "Country", "EMail"},
        {"Phone 1", "Phone 2", "Phone 3", "Phone 4", "Phone 5", "Date of Birth", "Sex",
         "Social Security Number", "EntityType", "Contact Name", "Contact Phone 1",
         "Contact Phone 2"}}},
      {"&Other Information",
       {{"Patient Type", "Patient ID #2", "Assigned Provider", "Billing Code", "Patient Indicator",
         "Unique Health ID", "Signature on File", "SOF Date", "Weight", "Weight Units", "Flag",
         "Inactive"},
        {"Employment Status", "Employer", "Employee Location", "Employee Retirement Date",
         "Work Phone", "Work Extension", "In Collections", "Date Created", "Date Modified",
         "User Code"}}},
      {"&Payment Plan",
       {{"Payment Plan", "Followed Plan", "Date of Last Payment", "Last Payment Amount",
         "Last Patient Payment Date", "Last Patient Payment Amount", "Patient Reference Balance"}}},
  };
  return layout;
}

std::vector<FieldChoice> choices(std::initializer_list<const char*> values, bool blank) {
  std::vector<FieldChoice> list;
  if (blank) list.push_back({QString(), ""});
  for (const char* value : values) list.push_back({QString::fromUtf8(value), value});
  return list;
}

}  // namespace

PatientDialog::PatientDialog(accounts::PatientWindow& window, store::Connection& practice,
                             ui::Prompter& prompter, const ui::Clock& clock,
                             security::Security* security, QWidget* parent)
    : QDialog(parent), window_(window), prompter_(prompter), security_(security) {
  setObjectName("PatientWindow");
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget;
  pages_->setObjectName("pages");

  FieldEntries entries;
  entries["Chart Number"].upperCase = true;
  entries["Patient Type"].choices = choices({"Patient", "Guarantor"}, false);
  entries["Sex"].choices = choices({"Female", "Male"}, false);
  entries["Employment Status"].choices =
      choices({"Not employed", "Full time", "Part time", "Retired", "Unknown"}, true);
  entries["Weight Units"].choices = choices({"GR", "LB"}, true);
  entries["EntityType"].choices = {
      {QString(), ""}, {tr("1 Person"), "1"}, {tr("2 Non-person"), "2"}};
  const auto picker = [&practice, &prompter, &clock, security, this](const char* noun) {
    return [&practice, &prompter, &clock, security, this, noun](const std::string& current) {
      return pickCode(noun, current, practice, prompter, clock, security, this);
    };
  };
  entries["Assigned Provider"].pick = picker("provider");
  entries["Employer"].pick = picker("address");
  entries["Billing Code"].pick = picker("billcode");
  // What the ledger and the program keep is shown, not typed.
  for (const char* kept :
       {"Date of Last Payment", "Last Payment Amount", "Patient Reference Balance",
        "Last Patient Payment Date", "Last Patient Payment Amount", "Date Created", "Date Modified",
        "User Code"})
    entries[kept].readOnly = true;
  // A stored patient keeps its chart number.
  entries["Chart Number"].readOnly = !window.isNew();

  const auto record = [this]() -> const store::Record& { return window_.record(); };
  const auto exit = [this](const std::string& field, const std::string& text) {
    return leaveField(field, text);
  };
  for (const auto& page : pages()) {
    std::vector<RecordForm*> columns;
    for (const auto& fields : page.columns) {
      columns.push_back(new RecordForm(record, fields, exit, entries));
      forms_.push_back(columns.back());
    }
    pages_->addTab(formPage(columns), tr(page.title));
  }
  layout->addWidget(pages_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  auto* saveDefaults = buttons->addButton(tr("Set De&fault"), QDialogButtonBox::ActionRole);
  auto* removeDefaults = buttons->addButton(tr("Remove Defa&ults"), QDialogButtonBox::ActionRole);
  writeButtons_ = {buttons->button(QDialogButtonBox::Save), saveDefaults};
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &PatientDialog::save);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  addSaveKeys(*this, buttons->button(QDialogButtonBox::Save));
  connect(saveDefaults, &QPushButton::clicked, this, [this] {
    // The window checks "Save as Default" itself.
    if (leaveForms(forms_)) window_.saveFieldDefaults();
  });
  connect(removeDefaults, &QPushButton::clicked, this, [this] { window_.removeFieldDefaults(); });
  showRecord();
  stackColumnsWhereNarrow(*pages_);
  fitOnScreen(*this, sizeHint());
  if (auto* first = forms_.front()->fieldWidget(window.isNew() ? "Chart Number" : "Last Name"))
    first->setFocus();
}

// A window destroyed while shown takes its fields with it: the one with the focus must not run
// its exit on a window already gone.
PatientDialog::~PatientDialog() { holdExits(forms_, true); }

std::string PatientDialog::chartNumber() const {
  return window_.isOpen() ? window_.record().text("Chart Number") : std::string();
}

bool PatientDialog::leaveField(const std::string& field, const std::string& text) {
  const bool accepted = window_.setField(field, text);
  if (window_.takeSwitchedChart()) {
    // The new row was given up for the patient with the same SSN, now shown instead.
    showRecord();
    return false;
  }
  setWindowTitle(qt(window_.caption()));
  return accepted;
}

void PatientDialog::showRecord() {
  for (auto* form : forms_) {
    form->reload();
    form->setReadOnly(window_.isReadOnly());
  }
  if (auto* chart = findChild<QWidget*>("Chart Number")) {
    if (auto* edit = qobject_cast<QLineEdit*>(chart))
      edit->setReadOnly(window_.isReadOnly() || !window_.isNew());
  }
  for (auto* button : writeButtons_) button->setEnabled(!window_.isReadOnly());
  setWindowTitle(qt(window_.caption()));
}

void PatientDialog::reject() {
  // What was typed is dropped, not checked, as the window closes.
  holdExits(forms_, true);
  QDialog::reject();
}

void PatientDialog::save() {
  if (!leaveForms(forms_)) return;
  if (saveShowingFailures(prompter_, [this] { return window_.save(); })) accept();
}

}  // namespace vantrell::desktop
