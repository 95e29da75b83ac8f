#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <map>

#include "accounts/case_tabs.hpp"
#include "accounts/case_window.hpp"
#include "accounts/patient_window.hpp"
#include "case_dialog.hpp"
#include "code_list_window.hpp"
#include "desktop_fixture.hpp"
#include "modal_answers.hpp"
#include "options_dialog.hpp"
#include "patient_dialog.hpp"
#include "reference/code_window.hpp"
#include "reference/price_lookup.hpp"
#include "security/user_accounts.hpp"
#include "security_dialogs.hpp"
#include "transaction_entry_window.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class SmallThingsTest : public DesktopTest {
 protected:
  store::Connection& practice() { return *application_.practice()->connection; }
};

TEST_F(SmallThingsTest, FormsShowAmountsWithCentsOnTheRightAndDatesMonthFirst) {
  ASSERT_TRUE(window_.start(options()));  // the tutorial practice: 99213 at 80.00 in Amount A
  auto& open = *application_.practice();
  accounts::PatientWindow patient(practice(), prompter_, clock_, open.security.get(), false);
  ASSERT_TRUE(patient.startNew());
  ASSERT_TRUE(patient.setFields({{"Chart Number", "DOEJA000"},
                                 {"Last Name", "Doe"},
                                 {"First Name", "Jane"},
                                 {"Date of Birth", "1987-08-28"}}));
  ASSERT_TRUE(patient.save());
  {
    PatientDialog dialog(patient, practice(), prompter_, clock_, open.security.get(), &window_);
    EXPECT_EQ(field(dialog, "Date of Birth")->text(), "08/28/1987");
  }
  patient.cancel();

  reference::CodeWindow code(practice(), *reference::findCodeTable("code"), prompter_, clock_,
                             open.security.get());
  ASSERT_TRUE(code.open("99213"));
  {
    CodeEditDialog dialog(code, practice(), prompter_, open.security.get(), &window_);
    QLineEdit* amount = field(dialog, "Amount A");
    EXPECT_EQ(amount->text(), "80.00");
    EXPECT_TRUE(amount->alignment() & Qt::AlignRight);
  }

  accounts::CaseWindow model(practice(), prompter_, clock_, open.security.get());
  ASSERT_TRUE(model.startNew("DOEJA000"));
  CaseDialog dialog(model, practice(), open.options, prompter_, clock_, open.security.get(),
                    &window_);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.findChild<QTabWidget*>("pages")->setCurrentIndex(
      static_cast<int>(accounts::CaseTab::Account) - 1);
  QLineEdit* copay = field(dialog, "Copayment Amount");
  copay->setFocus();
  QTest::keyClicks(copay, "45.4");
  QTest::keyClick(copay, Qt::Key_Tab);
  EXPECT_EQ(copay->text(), "45.40");
  EXPECT_TRUE(copay->alignment() & Qt::AlignRight);
  model.cancel();
}

TEST_F(SmallThingsTest, EscOnTheLoginAsksBeforeLeavingAndNoKeepsTheLoginOpen) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  surroundings_.loginPrompt = &window_.loginPrompt();
  ASSERT_TRUE(window_.start(options()));
  {
    security::SecuritySetupWindow setup(practice(), prompter_, clock_);
    ASSERT_TRUE(setup.saveUser("ADMIN", {{"Access Level", "1"}, {"Password", "Boss1234"}}));
  }
  ModalAnswers answers;
  answers.then([&](QWidget& login) { QTest::keyClick(field(login, "password"), Qt::Key_Escape); });
  answers.then(ModalAnswers::clickButton("No"));
  answers.then([&](QWidget& login) {
    field(login, "loginName")->setText("admin");
    field(login, "password")->setText("Boss1234");
    login.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  practice::OpenOutcome outcome = practice::OpenOutcome::NotOpened;
  answers.run([&] { outcome = application_.openPractice(application_.practice()->location.path); });
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"Any unsaved data will be lost if you continue.            "
                                     "Do you want to continue?"});
  EXPECT_EQ(outcome, practice::OpenOutcome::Opened);
}

// The letter after the single '&' of a text, in lower case; none without one.
QChar accessKey(const QString& text) {
  for (int at = 0; at + 1 < text.size(); ++at) {
    if (text[at] == '&' && text[at + 1] != '&') return text[at + 1].toLower();
    if (text[at] == '&') ++at;
  }
  return {};
}

// The texts that share an access key with an earlier one.
QStringList clashes(const QStringList& texts) {
  std::map<QChar, QString> first;
  QStringList clashing;
  for (const auto& text : texts) {
    const QChar key = accessKey(text);
    if (key.isNull()) continue;
    if (const auto [at, added] = first.emplace(key, text); !added)
      clashing << at->second + " / " + text;
  }
  return clashing;
}

TEST_F(SmallThingsTest, NoTwoEntriesOfTheFileMenuOrOfTheOptionsWindowShareAnAccessKey) {
  ASSERT_TRUE(window_.start(options()));
  QStringList file;
  for (auto* menu : window_.menuBar()->findChildren<QMenu*>()) {
    if (menu->title() != "&File") continue;
    for (auto* action : menu->actions())
      if (action->isVisible() && !action->isSeparator()) file << action->text();
  }
  ASSERT_FALSE(file.isEmpty());
  EXPECT_EQ(clashes(file), QStringList{});

  OptionsDialog dialog(practice(), prompter_, false, &window_);
  QStringList options;
  auto* pages = dialog.findChild<QTabWidget*>("optionPages");
  for (int page = 0; page < pages->count(); ++page) options << pages->tabText(page);
  for (auto* button : dialog.findChildren<QAbstractButton*>())
    if (qobject_cast<QPushButton*>(button) != nullptr) options << button->text();
  EXPECT_EQ(clashes(options), QStringList{});
}

TEST_F(SmallThingsTest, ACarriersPagesAreNamedForWhatTheyHoldAndTypesAreChosenFromTheirLists) {
  ASSERT_TRUE(window_.start(options()));  // the tutorial practice: carrier MC is Medicare
  auto& open = *application_.practice();
  reference::CodeWindow carrier(practice(), *reference::findCodeTable("carrier"), prompter_, clock_,
                                open.security.get());
  ASSERT_TRUE(carrier.open("MC"));
  {
    CodeEditDialog dialog(carrier, practice(), prompter_, open.security.get(), &window_);
    auto* pages = dialog.findChild<QTabWidget*>("pages");
    QStringList titles;
    for (int page = 0; page < pages->count(); ++page) titles << pages->tabText(page);
    for (const auto& title : titles) EXPECT_FALSE(title.contains("Page")) << title.toStdString();
    EXPECT_EQ(clashes(titles), QStringList{});
    auto* type = dialog.findChild<QComboBox*>("Type");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->currentText(), "Medicare");
    EXPECT_NE(type->findText("Tricare/Champus"), -1);
  }
  reference::CodeWindow code(practice(), *reference::findCodeTable("code"), prompter_, clock_,
                             open.security.get());
  ASSERT_TRUE(code.open("99213"));
  CodeEditDialog dialog(code, practice(), prompter_, open.security.get(), &window_);
  dialog.show();
  auto* type = dialog.findChild<QComboBox*>("Type");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->currentText(), "Procedure charge");
  // The type chosen by name is stored as its letter.
  type->setCurrentIndex(type->findText("Product charge"));
  dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
  const auto saved = reference::findProcedureCode(practice(), "99213");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->text("Type"), "B");
}

TEST_F(SmallThingsTest, EveryLevelColumnOfThePermissionsIsInSight) {
  ASSERT_TRUE(window_.start(options()));
  PermissionsDialog dialog(practice(), &window_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto* grid = dialog.findChild<QTableWidget*>("grid");
  const int last = grid->columnCount() - 1;
  EXPECT_EQ(grid->horizontalHeaderItem(last)->text(), "Level 5");
  EXPECT_LE(grid->columnViewportPosition(last) + grid->columnWidth(last),
            grid->viewport()->width());
}

TEST_F(SmallThingsTest, ARefusedProcedureCodeIsTypedAgainInItsOwnCell) {
  ASSERT_TRUE(window_.start(options()));
  auto& open = *application_.practice();
  accounts::PatientWindow patient(practice(), prompter_, clock_, open.security.get(), false);
  ASSERT_TRUE(patient.startNew());
  ASSERT_TRUE(patient.setFields(
      {{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"First Name", "Jane"}}));
  ASSERT_TRUE(patient.save());
  patient.cancel();  // the transaction window takes the chart only when no other window holds it
  ASSERT_NO_FATAL_FAILURE(addInsuredCase("DOEJA000", "Check-up"));
  TransactionEntryWindow entry(
      {practice(), open.options, prompter_, clock_, open.security.get(),
       [this] { return application_.programDate().value(); }, transactions::Ledger::Transactions},
      &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  auto* chart = field(entry, "chart");
  chart->setFocus();
  QTest::keyClicks(chart, "doeja000");
  {
    ModalAnswers none;  // a question here fails the test instead of waiting for a person
    none.setPatience(std::chrono::seconds(3));
    none.run([&] { QTest::keyClick(chart, Qt::Key_Return); });
  }
  ASSERT_TRUE(entry.model().isLoaded());

  auto* charges = entry.findChild<QTableView*>("charges");
  charges->setFocus();
  QTest::keyClick(charges, Qt::Key_Insert);
  QApplication::processEvents();
  ASSERT_NE(QApplication::focusWidget(), nullptr) << "Ins opened no procedure cell";
  QTest::keyClicks(QApplication::focusWidget(), "ZZZ99");
  ModalAnswers answers;
  answers.then(ModalAnswers::clickButton("OK"));
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  answers.run([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); });
  QApplication::processEvents();
  EXPECT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(charges->currentIndex().column(), int{ChargeGridModel::Procedure});
  // The cell is open again for the code, and what is typed now goes into it.
  entry.activateWindow();  // the message box gives the window back
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  ASSERT_NE(QApplication::focusWidget(), nullptr) << "no cell is open after the refusal";
  QTest::keyClicks(QApplication::focusWidget(), "99213");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(charges->model()->index(0, ChargeGridModel::Procedure).data().toString(), "99213");
  entry.model().close();
}

}  // namespace
}  // namespace vantrell::desktop
