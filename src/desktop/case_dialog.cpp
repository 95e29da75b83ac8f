#include "case_dialog.hpp"

#include <algorithm>

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "code_list_window.hpp"
#include "patient_list_window.hpp"
#include "record_form.hpp"
#include "store/names.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

// The list window each code field of a case is picked from.
const char* codeListOf(const std::string& field) {
  static const std::vector<std::pair<std::string, const char*>> lists = {
      {"Insurance Carrier #1", "carrier"},
      {"Insurance Carrier #2", "carrier"},
      {"Insurance Carrier #3", "carrier"},
      {"Assigned Provider", "provider"},
      {"Referring Provider", "refprovider"},
      {"Primary Care Provider", "refprovider"},
      {"Supervising Provider", "refprovider"},
      {"Diagnosis 1", "diagnosis"},
      {"Diagnosis 2", "diagnosis"},
      {"Diagnosis 3", "diagnosis"},
      {"Diagnosis 4", "diagnosis"},
      {"Employer", "address"},
      {"Attorney", "address"},
      {"Facility", "address"},
      {"Referral Source", "address"},
      {"Billing Code", "billcode"},
  };
  for (const auto& [name, noun] : lists) {
    if (name == field) return noun;
  }
  return nullptr;
}

bool isPatientField(const std::string& field) {
  return field == "Guarantor" || field == "Insured #1" || field == "Insured #2" ||
         field == "Insured #3";
}

// What a code or chart number refers to, as the clerk knows it: a carrier's or
// address's name, a diagnosis's description, a person's "Last, First".
std::string nameOf(store::Connection& practice, const char* table, const char* tag,
                   const std::string& code) {
  if (!practice.tableExists(table)) return {};
  store::Table rows = practice.openTable(table);
  rows.setOrder(tag);
  const auto found = rows.seek({store::Value{store::upperAscii(code)}});
  if (!found) return {};
  for (const char* name : {"Name", "Description"}) {
    if (found->table().hasField(name) && !found->isEmpty(name)) return found->text(name);
  }
  if (!found->table().hasField("Last Name")) return {};
  std::string person = found->text("Last Name");
  if (!found->isEmpty("First Name")) person += ", " + found->text("First Name");
  return person;
}

// A long page is laid out in two columns.
std::vector<std::vector<std::string>> columnsOf(std::vector<std::string> fields) {
  constexpr std::size_t oneColumn = 14;
  if (fields.size() <= oneColumn) return {fields};
  const auto half = static_cast<std::ptrdiff_t>((fields.size() + 1) / 2);
  return {{fields.begin(), fields.begin() + half}, {fields.begin() + half, fields.end()}};
}

}  // namespace

CaseDialog::CaseDialog(accounts::CaseWindow& window, store::Connection& practice,
                       const practice::Options& options, ui::Prompter& prompter,
                       const ui::Clock& clock, security::Security* security, QWidget* parent)
    : QDialog(parent), window_(window), prompter_(prompter) {
  setObjectName("CaseWindow");
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget;
  pages_->setObjectName("pages");
  pages_->setUsesScrollButtons(true);

  FieldEntries entries;
  for (const char* kept :
       {"Chart Number", "Case Number", "Date Created", "Date Modified", "User Code"})
    entries[kept].readOnly = true;
  entries["Employment Status"].choices = {{QString(), ""},
                                          {"Not employed", "Not employed"},
                                          {"Full time", "Full time"},
                                          {"Part time", "Part time"},
                                          {"Retired", "Retired"},
                                          {"Unknown", "Unknown"}};
  for (const auto& field : window.record().table().fields()) {
    if (const char* noun = codeListOf(field.name)) {
      entries[field.name].pick = [&practice, &prompter, &clock, security, this,
                                  noun](const std::string& current) {
        return pickCode(noun, current, practice, prompter, clock, security, this);
      };
      if (const reference::CodeTable* table = reference::findCodeTable(noun)) {
        entries[field.name].nameOf = [&practice, table](const std::string& code) {
          return nameOf(practice, table->table, table->keyTag, code);
        };
      }
    } else if (isPatientField(field.name)) {
      entries[field.name].pick = [&practice, &options, &prompter, &clock, security,
                                  this](const std::string& current) {
        return pickPatient(current, practice, options, prompter, clock, security, this);
      };
    }
    if (isPatientField(field.name) || field.name == "Chart Number") {
      entries[field.name].nameOf = [&practice](const std::string& chart) {
        return nameOf(practice, "QVPAT", "Primary", chart);
      };
    }
  }

  const auto record = [this]() -> const store::Record& { return window_.record(); };
  const auto exit = [this](const std::string& field, const std::string& text) {
    const bool accepted = window_.setField(field, text);
    setWindowTitle(qt(window_.caption()));
    return accepted;
  };
  for (int number = 1; number <= accounts::caseTabCount; ++number) {
    const auto tab = static_cast<accounts::CaseTab>(number);
    std::vector<RecordForm*> columns;
    for (const auto& fields : columnsOf(accounts::caseTabFields(tab))) {
      columns.push_back(new RecordForm(record, fields, exit, entries));
      forms_.push_back(columns.back());
    }
    // The notes and comment have a page to themselves and the room to go with it.
    if (tab == accounts::CaseTab::Comment) {
      for (auto* memo : columns.front()->findChildren<QPlainTextEdit*>()) {
        memo->setFixedHeight(150);
        memo->setMinimumWidth(640);
      }
    }
    const int page = pages_->addTab(formPage(columns), qt(accounts::caseTabTitle(tab)));
    // A hidden page is also disabled, or Ctrl+Tab would still turn to it.
    const bool shown = accounts::caseTabShown(options, tab);
    pages_->setTabVisible(page, shown);
    pages_->setTabEnabled(page, shown);
  }
  layout->addWidget(pages_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Apply |
                                       QDialogButtonBox::Cancel);
  writeButtons_ = {buttons->button(QDialogButtonBox::Apply)};
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (save(true)) accept();
  });
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
          [this] { save(false); });
  connect(buttons, &QDialogButtonBox::rejected, this, &CaseDialog::reject);
  addSaveKeys(*this, buttons->button(QDialogButtonBox::Save));
  showRecord();
  if (auto* description = findChild<QWidget*>("Description");
      description != nullptr && !window.isReadOnly())
    description->setFocus();
  stackColumnsWhereNarrow(*pages_);
  // Wide enough for every page's title where the screen allows.
  QSize wanted = sizeHint();
  if (const auto* titles = pages_->findChild<QTabBar*>())
    wanted.setWidth(std::max(wanted.width(), titles->sizeHint().width() + 40));
  fitOnScreen(*this, wanted);
}

// A window destroyed while shown takes its fields with it: the one with the focus must not run
// its exit on a window already gone.
CaseDialog::~CaseDialog() { holdExits(forms_, true); }

void CaseDialog::showRecord() {
  for (auto* form : forms_) {
    form->reload();
    form->setReadOnly(window_.isReadOnly());
  }
  for (auto* button : writeButtons_) button->setEnabled(!window_.isReadOnly());
  setWindowTitle(qt(window_.caption()));
}

bool CaseDialog::save(bool close) {
  if (!leaveForms(forms_)) return false;
  // Saving and closing gives the record up before the window hides.
  if (close) holdExits(forms_, true);
  const bool saved = saveShowingFailures(
      prompter_, [this, close] { return close ? window_.saveAndClose() : window_.save(); });
  if (!saved) {
    holdExits(forms_, false);
    goToRefusedField();
    return false;
  }
  if (!close) showRecord();
  return true;
}

void CaseDialog::goToRefusedField() {
  if (window_.focusField().empty() || !window_.isOpen()) return;
  // A page the practice hides is shown when a save needs a field on it.
  const int page = static_cast<int>(window_.focusTab()) - 1;
  pages_->setTabVisible(page, true);
  pages_->setTabEnabled(page, true);
  pages_->setCurrentIndex(page);
  // The check may have changed the record (a box it cleared).
  for (auto* form : forms_) form->reload();
  for (auto* form : forms_) {
    if (QWidget* widget = form->fieldWidget(window_.focusField())) {
      widget->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void CaseDialog::reject() {
  // Cancel gives the record up; what was typed is dropped, not checked.
  holdExits(forms_, true);
  window_.cancel();
  QDialog::reject();
}

}  // namespace vantrell::desktop
