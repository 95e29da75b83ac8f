#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <map>

#include "desktop_fixture.hpp"
#include "modal_answers.hpp"
#include "security/user_accounts.hpp"
#include "security_dialogs.hpp"
#include "store/table_creation.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class SecurityWindowsTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }
  store::Connection& practice() { return *application_.practice()->connection; }

  // Level 5 of each permission row as stored, by window and process.
  std::map<std::string, bool> levelFiveStored() {
    std::map<std::string, bool> levels;
    store::Table table = practice().openTable("QVPER");
    table.forEach([&](const store::Record& row) {
      levels[row.text("Window") + "/" + row.text("Process")] = row.logical("Level 5");
    });
    return levels;
  }
  std::map<std::string, std::string> usersStored() {
    std::map<std::string, std::string> users;
    store::Table table = practice().openTable("QVSEC");
    table.forEach([&](const store::Record& row) {
      users[row.text("Code")] = row.text("Name") + " at level " + row.text("Access Level");
    });
    return users;
  }
};

bool hasTheKeyboard(QWidget& window) {
  window.activateWindow();
  return QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; });
}
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
}

TEST_F(SecurityWindowsTest, F9AndCtrlSSaveThePermissions) {
  {
    // Two permission items, as a practice with security set up keeps them.
    store::ensureTable(practice(), "QVPER");
    store::Table table = practice().openTable("QVPER");
    for (const auto& [item, process] :
         {std::pair{1, "Edit Patient"}, std::pair{2, "Delete Patient"}}) {
      store::Record row = table.newRecord();
      row.set("Item Number", std::int64_t{item});
      row.set("Window", std::string("Patient"));
      row.set("Process", std::string(process));
      for (int level = 1; level <= 5; ++level)
        row.set("Level " + std::to_string(level), level <= 3);
      table.append(row);
    }
  }
  for (const auto& key : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)}) {
    PermissionsDialog dialog(practice(), &window_);
    const auto before = levelFiveStored();
    ASSERT_FALSE(before.empty());
    dialog.show();
    ASSERT_TRUE(hasTheKeyboard(dialog));
    auto* grid = dialog.findChild<QTableWidget*>("grid");
    grid->setFocus();
    // From the first row's first cell, Right to Level 5 (the last column) and Space ticks it.
    press(Qt::Key_Home, Qt::ControlModifier);
    for (int column = 0; column < grid->columnCount() - 1; ++column) press(Qt::Key_Right);
    ASSERT_EQ(grid->currentColumn(), grid->columnCount() - 1);
    const std::string first =
        grid->item(0, 0)->text().toStdString() + "/" + grid->item(0, 1)->text().toStdString();
    press(Qt::Key_Space);
    QTest::keySequence(QApplication::focusWidget(), key);
    EXPECT_FALSE(dialog.isVisible()) << key.toString().toStdString() << " did not save";
    auto expected = before;
    expected[first] = !before.at(first);
    EXPECT_EQ(levelFiveStored(), expected) << key.toString().toStdString();
  }
}

TEST_F(SecurityWindowsTest, F9AndCtrlSSaveAUserInTheSecuritySetup) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  {
    // The level 1 user every practice with security keeps.
    security::SecuritySetupWindow admin(practice(), prompter_, clock_);
    ASSERT_TRUE(admin.saveUser("ADMIN", {{"Access Level", "1"}, {"Password", "Boss1234"}}));
  }
  SecuritySetupDialog setup(practice(), prompter_, clock_, &window_);
  setup.show();
  ASSERT_TRUE(hasTheKeyboard(setup));
  int made = 0;
  for (const auto& key : {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_S)}) {
    ModalAnswers answers;
    const QString login = made == 0 ? "clerk" : "nurse";
    answers.then([&](QWidget& user) {
      ASSERT_TRUE(hasTheKeyboard(user));
      // The login name has the keyboard; Tab on to the name.
      QTest::keyClicks(QApplication::focusWidget(), login);
      press(Qt::Key_Tab);
      QTest::keyClicks(QApplication::focusWidget(), "Day Clerk");
      // Past the access level (5 for a new user) to the password.
      press(Qt::Key_Tab);
      press(Qt::Key_Tab);
      QTest::keyClicks(QApplication::focusWidget(), "Clerk777");
      QTest::keySequence(QApplication::focusWidget(), key);
      if (user.isVisible()) {
        ADD_FAILURE() << key.toString().toStdString() << " did not save the user";
        user.close();
      }
    });
    answers.run([&] { ModalAnswers::clickButton("New...")(setup); });
    ++made;
    ASSERT_TRUE(hasTheKeyboard(setup));
  }
  const auto users = usersStored();
  EXPECT_EQ(users.count("clerk"), 1u);
  EXPECT_EQ(users.count("nurse"), 1u);
  if (users.count("nurse") != 0) {
    EXPECT_EQ(users.at("nurse"), "Day Clerk at level 5");
  }
  setup.close();
}

TEST_F(SecurityWindowsTest, EachAccessKeyOfTheUserWindowGoesToOneFieldOnly) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  SecuritySetupDialog setup(practice(), prompter_, clock_, &window_);
  setup.show();
  ASSERT_TRUE(hasTheKeyboard(setup));
  ModalAnswers answers;
  std::vector<std::string> reached;
  answers.then([&](QWidget& user) {
    // Pressed twice, a key that two labels share would move on to the second field.
    for (const Qt::Key key : {Qt::Key_N, Qt::Key_N, Qt::Key_W, Qt::Key_Q, Qt::Key_N}) {
      vantrell::testing::pressAccessKey(user, key);
      reached.push_back(QApplication::focusWidget() != nullptr
                            ? QApplication::focusWidget()->objectName().toStdString()
                            : "(none)");
    }
    user.close();
  });
  answers.run([&] { ModalAnswers::clickButton("New...")(setup); });
  EXPECT_EQ(reached, (std::vector<std::string>{"Name", "Name", "Answer", "Question", "Name"}));
  setup.close();
}

TEST_F(SecurityWindowsTest, TheLoginOffersAnotherPracticeAndGoesToThePracticeList) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  surroundings_.loginPrompt = &window_.loginPrompt();
  {
    security::SecuritySetupWindow setup(practice(), prompter_, clock_);
    ASSERT_TRUE(setup.saveUser("ADMIN", {{"Access Level", "1"}, {"Password", "Boss1234"}}));
  }
  const std::string path = application_.practice()->location.path;
  // Opening the practice asks for the login; its button for another practice ends the login
  // without one, and the program stays instead of quitting.
  ModalAnswers answers;
  QStringList buttons;
  answers.then([&](QWidget& login) {
    for (auto* button : login.findChildren<QPushButton*>()) buttons << button->text();
    EXPECT_TRUE(buttons.contains("Ot&her Practice...")) << buttons.join(", ").toStdString();
    ModalAnswers::clickButton("Other Practice...")(login);
  });
  practice::OpenOutcome outcome = practice::OpenOutcome::Opened;
  answers.run([&] { outcome = application_.openPractice(path); });
  EXPECT_EQ(outcome, practice::OpenOutcome::NotOpened);
  EXPECT_EQ(application_.practice(), nullptr);

  // From the practice list, the same choice leaves the list up to choose from.
  ModalAnswers fromList;
  bool listCameBack = false;
  fromList.then([&](QWidget& list) {
    EXPECT_EQ(list.objectName(), "PracticeList");
    ASSERT_TRUE(hasTheKeyboard(list));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // the practice chosen
  });
  fromList.then(ModalAnswers::clickButton("Other Practice..."));
  fromList.then([&](QWidget& list) {
    listCameBack = list.objectName() == "PracticeList" && list.isVisible();
    list.close();
  });
  fromList.run([&] { window_.openPractice(); });
  EXPECT_TRUE(listCameBack);
  EXPECT_EQ(application_.practice(), nullptr);
}

}  // namespace
}  // namespace vantrell::desktop
