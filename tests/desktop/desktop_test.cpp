#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include <QTableView>
#include "app/application.hpp"
#include "desktop_fixture.hpp"
#include "main_window.hpp"
#include "message_box_prompter.hpp"
#include "modal_answers.hpp"
#include "options_dialog.hpp"
#include "practice_dialogs.hpp"
#include "reference/price_lookup.hpp"
#include "security/permission_list.hpp"
#include "security/user_accounts.hpp"
#include "ui/settings.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

TEST_F(DesktopTest, AFirstStartOnAnEmptyRootAsksForItAndOpensTheTutorial) {
  ModalAnswers answers;
  const std::string root = (home_ / "New Root").string();
  answers.then([&](QWidget& dialog) {
    auto* edit = dialog.findChild<QLineEdit*>("answer");
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(root));
    ModalAnswers::clickButton("OK")(dialog);
  });
  answers.then(ModalAnswers::clickButton("Yes"));
  bool started = false;
  app::StartupOptions startup;  // nothing set: the root data directory is asked for
  answers.run([&] { started = window_.start(startup); });
  ASSERT_TRUE(started);
  EXPECT_EQ(answers.seen(), std::vector<std::string>{app::Application::notARootDirectory});
  EXPECT_EQ(window_.windowTitle().toStdString(),
            "QelVantrell Advanced - Medical Group (Tutorial Data)");
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(root) / "Tutor"));
  EXPECT_EQ(window_.findChild<QPushButton*>("programDate")->text().toStdString(),
            "December 5, 2026");
}

TEST_F(DesktopTest, ANewPracticeMadeInItsWindowOpens) {
  ASSERT_TRUE(window_.start(options()));
  ModalAnswers answers;
  const std::string path = (home_ / "Clinic").string();
  answers.then([&](QWidget& dialog) {
    field(dialog, "name")->setText("");
    field(dialog, "path")->setText(QString::fromStdString(path));
  });
  // With no name: the system's message, and the window stays.
  answers.then(ModalAnswers::clickButton("OK"));
  answers.run([&] {
    QTimer::singleShot(100, [&] {
      auto* dialog = QApplication::activeModalWidget();
      dialog->findChild<QPushButton*>("create")->click();
      field(*dialog, "name")->setText("Clinic");
      dialog->findChild<QPushButton*>("create")->click();
    });
    window_.newPractice();
  });
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"A practice name must be entered before creating new data"});
  EXPECT_EQ(window_.windowTitle().toStdString(), "QelVantrell Advanced - Clinic");
  EXPECT_EQ(application_.practiceList().entries().back().path, path);
}

TEST_F(DesktopTest, WithEnterForNextFieldEnterOnTheLastFieldPressesTheWindowsButton) {
  ASSERT_TRUE(window_.start(options()));
  ModalAnswers settings;
  settings.then([](QWidget& dialog) {
    auto* box = dialog.findChild<QCheckBox*>("Use ENTER for next Field");
    ASSERT_NE(box, nullptr);
    box->setChecked(true);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
  });
  settings.run([&] { window_.programOptions(); });
  ASSERT_TRUE(application_.practice()->options.flag("Use ENTER for next Field"));

  const QString path = QString::fromStdString((home_ / "Clinic").string());
  QString afterName;
  ModalAnswers answers;
  answers.then([&](QWidget& dialog) {
    QLineEdit* name = field(dialog, "name");
    name->setFocus();
    QTest::keyClicks(name, "Clinic");
    QTest::keyClick(name, Qt::Key_Return);  // on to the path
    QWidget* now = QApplication::focusWidget();
    afterName = now != nullptr ? now->objectName() : QString();
    QTest::keyClicks(now, path);
    QTest::keyClick(now, Qt::Key_Return);  // the last field: the window's Create
  });
  answers.run([&] { window_.newPractice(); });
  EXPECT_EQ(afterName.toStdString(), "path");
  EXPECT_EQ(window_.windowTitle().toStdString(), "QelVantrell Advanced - Clinic");
  EXPECT_EQ(application_.practiceList().entries().back().path, path.toStdString());
}

TEST_F(DesktopTest, ARefusedOptionsSaveShowsTheSystemsMessageAndKeepsTheWindow) {
  ASSERT_TRUE(window_.start(options()));
  ModalAnswers answers;
  bool stillOpen = false;
  answers.then([&](QWidget& dialog) {
    field(dialog, "Pat Aging Column 1 End")->setText("30");
    field(dialog, "Pat Aging Column 2")->setText("30");
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
  });
  answers.then(ModalAnswers::clickButton("OK"));
  answers.then([&](QWidget& dialog) {
    stillOpen = dialog.objectName() == "ProgramOptions";
    dialog.close();
  });
  answers.run([&] { window_.programOptions(); });
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"Patient Aging Column 2 must be greater than 30"});
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(application_.practice()->options.number("Pat Aging Column 2"), 60);
}

TEST_F(DesktopTest, AFutureProgramDateIsWarnedAboutAndTaken) {
  ASSERT_TRUE(window_.start(options()));
  ModalAnswers answers;
  answers.then([&](QWidget& dialog) {
    dialog.findChild<QCalendarWidget*>("calendar")->setSelectedDate(QDate(2026, 12, 24));
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  answers.then(ModalAnswers::clickButton("OK"));
  answers.run([&] { window_.setProgramDate(); });
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"The date you have selected is a future date"});
  EXPECT_EQ(window_.findChild<QPushButton*>("programDate")->text().toStdString(),
            "December 24, 2026");
}

TEST_F(DesktopTest, AUserLogsInAndALevelThreeUserIsRefusedDeletingPatients) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  surroundings_.loginPrompt = &window_.loginPrompt();
  ASSERT_TRUE(window_.start(options()));
  {
    ui::MemorySettings ignored;
    security::SecuritySetupWindow setup(*application_.practice()->connection, prompter_, clock_);
    ASSERT_TRUE(setup.saveUser("ADMIN", {{"Access Level", "1"}, {"Password", "Boss1234"}}));
    ASSERT_TRUE(setup.saveUser("JOE", {{"Access Level", "3"}, {"Password", "Clerk777"}}));
  }
  // Opening the practice again asks for the login.
  ModalAnswers answers;
  answers.then([&](QWidget& dialog) {
    field(dialog, "loginName")->setText("joe");
    field(dialog, "password")->setText("wrong");
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  answers.then(ModalAnswers::clickButton("OK"));  // "Invalid password"
  answers.then([&](QWidget& dialog) {
    field(dialog, "password")->setText("CLERK777");
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  practice::OpenOutcome outcome = practice::OpenOutcome::NotOpened;
  answers.run([&] { outcome = application_.openPractice(application_.practice()->location.path); });
  ASSERT_EQ(outcome, practice::OpenOutcome::Opened)
      << (answers.seen().empty() ? "" : answers.seen().front());
  EXPECT_EQ(answers.seen(), std::vector<std::string>{"Invalid password"})
      << (answers.seen().empty() ? "" : answers.seen().front());
  EXPECT_EQ(application_.security()->userCode(), "JOE");

  EXPECT_TRUE(application_.hasPermission(security::permission_item::editPatient));
  ModalAnswers denied;
  denied.then(ModalAnswers::clickButton("OK"));
  bool allowed = true;
  denied.run(
      [&] { allowed = application_.hasPermission(security::permission_item::deletePatient); });
  EXPECT_FALSE(allowed);
  EXPECT_EQ(denied.seen(),
            std::vector<std::string>{
                "ACCESS DENIED\nSecurity level is insufficient for this operation."});
}

TEST_F(DesktopTest, CodeListsSearchAsYouTypeAndSaveThroughTheCodeWindow) {
  ASSERT_TRUE(window_.start(options()));  // the tutorial practice, with a few codes
  ModalAnswers answers;
  std::string firstFound;
  answers.then([&](QWidget& edit) {
    field(edit, "Description")->setText("Blood count with differential");
    field(edit, "Amount A")->setText("27.5");
    edit.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
  });
  // The list stays open beside the main window; the code window it opens is modal.
  window_.codeList("code");
  QWidget* list = nullptr;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == "QVPROList" && window->isVisible()) list = window;
  }
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  answers.run([&] {
    QTest::keyClicks(field(*list, "search"), "85");
    auto* rows = list->findChild<QTableView*>("rows");
    firstFound =
        rows->model()->index(rows->currentIndex().row(), 0).data().toString().toStdString();
    QTest::keyClick(field(*list, "search"), Qt::Key_Return);  // Enter edits the found code
  });
  list->close();
  EXPECT_EQ(firstFound, "85025");
  const auto code = reference::findProcedureCode(*application_.practice()->connection, "85025");
  ASSERT_TRUE(code);
  EXPECT_EQ(code->text("Description"), "Blood count with differential");
  EXPECT_EQ(code->money("Amount A"), *Money::parse("27.50"));
}

}  // namespace
}  // namespace vantrell::desktop

int main(int argc, char** argv) {
  // Without a display the tests run on the offscreen platform.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  // A modal window nothing answers fails its test within seconds instead of
  // blocking the run until the test timeout.
  const vantrell::testing::ModalWatchdog watchdog;
  return RUN_ALL_TESTS();
}
