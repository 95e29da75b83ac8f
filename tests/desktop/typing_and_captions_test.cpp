#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "desktop_fixture.hpp"
#include "modal_answers.hpp"
#include "security/user_accounts.hpp"
#include "store/table.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class TypingAndCaptionsTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }  // the tutorial practice

  store::Connection& practice() { return *application_.practice()->connection; }

  std::string stored(const std::string& sql) {
    const auto result = practice().executeSql(sql);
    if (result.rows.empty()) return "(no row)";
    return store::valueToText(result.rows.at(0).at(0));
  }
  std::int64_t count(const std::string& sql) {
    return std::get<std::int64_t>(practice().executeSql(sql).rows.at(0).at(0));
  }
  void setOption(const char* option, bool on) {
    practice().executeSql(std::string("UPDATE QVOPT SET \"") + option + "\" = ?",
                          {store::Value{on}});
  }
};

void typeInto(QWidget& window, const char* name, const char* text) {
  QLineEdit* edit = field(window, name);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// The list windows stay open beside the main window; the windows they open are modal.
QWidget* shownList(const char* objectName) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == objectName && window->isVisible()) {
      EXPECT_TRUE(QTest::qWaitForWindowActive(window)) << objectName;
      return window;
    }
  }
  ADD_FAILURE() << "the list " << objectName << " did not come up";
  return nullptr;
}

void clickSave(QWidget& window) {
  window.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
}

TEST_F(TypingAndCaptionsTest, ASavedCarriersCodeCannotBeTypedOverSoItsCasesKeepIt) {
  const std::int64_t casesBefore =
      count("SELECT COUNT(*) FROM QVCAS WHERE \"Insurance Carrier #1\" = 'RIG'");
  ModalAnswers answers;
  bool keyEditable = true;
  answers.then([&](QWidget& edit) {
    QLineEdit* code = field(edit, "Code");
    keyEditable = code->isEnabled() && !code->isReadOnly();
    code->setFocus();
    QTest::keyClick(code, Qt::Key_End);
    QTest::keyClicks(code, "X");
    clickSave(edit);
  });
  window_.codeList("carrier");
  QWidget* list = shownList("QVINSList");
  ASSERT_NE(list, nullptr);
  answers.run([&] {
    QTest::keyClicks(field(*list, "search"), "RIG");
    QTest::keyClick(field(*list, "search"), Qt::Key_Return);  // Enter edits the found carrier
  });
  list->close();
  EXPECT_TRUE(answers.seen().empty()) << answers.seen().front();
  EXPECT_FALSE(keyEditable);
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVINS WHERE \"Code\" = 'RIGX'"), 0);
  EXPECT_EQ(stored("SELECT \"Name\" FROM QVINS WHERE \"Code\" = 'RIG'"),
            "Ridgeholt Insurance Group");
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVCAS WHERE \"Insurance Carrier #1\" = 'RIG'"),
            casesBefore);
}

TEST_F(TypingAndCaptionsTest, AWrongLoginNameIsAnErrorBoxTitledError) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  surroundings_.loginPrompt = &window_.loginPrompt();
  {
    security::SecuritySetupWindow setup(practice(), prompter_, clock_);
    ASSERT_TRUE(setup.saveUser("ADMIN", {{"Access Level", "1"}, {"Password", "Boss1234"}}));
  }
  ModalAnswers answers;
  QString title;
  answers.then([&](QWidget& dialog) {
    QTest::keyClicks(field(dialog, "loginName"), "nobody");
    QTest::keyClicks(field(dialog, "password"), "secret99");
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  answers.then([&](QWidget& box) {
    title = box.windowTitle();
    ModalAnswers::clickButton("OK")(box);
  });
  answers.then([&](QWidget& dialog) {
    field(dialog, "loginName")->setText("admin");
    field(dialog, "password")->setText("Boss1234");
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  answers.run([&] { application_.openPractice(application_.practice()->location.path); });
  EXPECT_EQ(answers.seen(), std::vector<std::string>{"Invalid login name"});
  EXPECT_EQ(title.toStdString(), "Error");
}

TEST_F(TypingAndCaptionsTest, TheTypingOptionsShapeWhatTheClerkTypes) {
  setOption("Auto Format SSN", true);  // capitalisation is on by default
  setOption("Auto. Place Decimal Point", true);
  ModalAnswers answers;
  answers.then([&](QWidget& patient) {
    typeInto(patient, "Chart Number", "oneal01");
    typeInto(patient, "Last Name", "o'neal");
    typeInto(patient, "First Name", "al");
    typeInto(patient, "Street 1", "12 mcdonald st");
    typeInto(patient, "Social Security Number", "987654321");
    clickSave(patient);
  });
  QAction* entry = nullptr;
  for (auto* action : window_.menuBar()->findChildren<QAction*>()) {
    if (action->text() == "&Patients/Guarantors and Cases") entry = action;
  }
  ASSERT_NE(entry, nullptr);
  entry->trigger();
  QWidget* patients = shownList("PatientList");
  ASSERT_NE(patients, nullptr);
  answers.run([&] { patients->findChild<QAbstractButton*>("newPatient")->click(); });
  patients->close();
  EXPECT_TRUE(answers.seen().empty()) << answers.seen().front();
  const std::string where = " FROM QVPAT WHERE \"Chart Number\" = 'ONEAL01'";
  EXPECT_EQ(stored("SELECT \"Last Name\"" + where), "O'Neal");
  EXPECT_EQ(stored("SELECT \"First Name\"" + where), "Al");
  EXPECT_EQ(stored("SELECT \"Street 1\"" + where), "12 McDonald St");
  EXPECT_EQ(stored("SELECT \"Social Security Number\"" + where), "987-65-4321");

  // A price typed without a point is in cents.
  ModalAnswers prices;
  prices.then([&](QWidget& edit) {
    typeInto(edit, "Amount A", "2750");
    clickSave(edit);
  });
  window_.codeList("code");
  QWidget* codes = shownList("QVPROList");
  ASSERT_NE(codes, nullptr);
  prices.run([&] {
    QTest::keyClicks(field(*codes, "search"), "85");
    QTest::keyClick(field(*codes, "search"), Qt::Key_Return);
  });
  codes->close();
  EXPECT_EQ(
      std::get<double>(practice()
                           .executeSql("SELECT \"Amount A\" FROM QVPRO WHERE \"Code 1\" = '85025'")
                           .rows.at(0)
                           .at(0)),
      27.50);

  // The data version is shown but cannot be typed over.
  ModalAnswers optionsWindow;
  QString version;
  bool versionEditable = true;
  optionsWindow.then([&](QWidget& dialog) {
    QLineEdit* edit = field(dialog, "Data Version Number");
    versionEditable = edit->isEnabled() && !edit->isReadOnly();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, "7");
    version = edit->text();
    dialog.close();
  });
  optionsWindow.run([&] { window_.programOptions(); });
  EXPECT_FALSE(versionEditable);
  EXPECT_EQ(version.toStdString(), "19");
}

}  // namespace
}  // namespace vantrell::desktop
