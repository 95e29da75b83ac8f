#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "practice/options.hpp"
#include "security/user_accounts.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class IdleLogOffTest : public DesktopTest {
 protected:
  // ADMIN logs in (the name typed when the login does not show it already).
  static ModalAnswers::Answer logIn(const char* password) {
    return [password](QWidget& login) {
      if (field(login, "loginName")->text().isEmpty()) field(login, "loginName")->setText("admin");
      field(login, "password")->setText(password);
      login.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };
  }

  // The log-off timer let run at once instead of every 5 seconds, until `done`.
  void idleCheckUntil(const std::function<bool()>& done) {
    auto* timer = window_.findChild<QTimer*>("logOffTimer");
    ASSERT_NE(timer, nullptr);
    const int interval = timer->interval();
    timer->setInterval(1);
    EXPECT_TRUE(QTest::qWaitFor(done, 8000));
    timer->setInterval(interval);
  }
};

// Fifteen idle minutes on the clock (no real ones waited): the windows close,
// the login asks again for the same user with "Exit Program" for a way out;
// the user comes back to the main window alone, and the next time leaves.
TEST_F(IdleLogOffTest, AnIdleUserIsLoggedOffWithHisWindowsClosedAndComesBackOrLeaves) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  surroundings_.loginPrompt = &window_.loginPrompt();
  ASSERT_TRUE(window_.start(options()));
  {
    store::Connection& practice = *application_.practice()->connection;
    security::SecuritySetupWindow setup(practice, prompter_, clock_);
    ASSERT_TRUE(setup.saveUser("ADMIN", {{"Access Level", "1"}, {"Password", "Boss1234"}}));
    store::Table options = practice.openTable("QVOPT");
    store::Record row = *practice::readSingleRow(options);
    row.set("Auto Log Off", true);
    row.set("Log Off Min", std::int64_t{15});
    options.post(row);
  }
  ModalAnswers loggingIn;
  loggingIn.then(logIn("Boss1234"));
  loggingIn.then(logIn("Boss1234"));  // Log In As Another User, to the same user
  loggingIn.run([&] {
    ASSERT_EQ(application_.openPractice(application_.practice()->location.path),
              practice::OpenOutcome::Opened);
    window_.logInAsAnotherUser();
  });
  ASSERT_NE(application_.security(), nullptr);
  ASSERT_TRUE(application_.security()->loggedIn());
  ASSERT_TRUE(window_.findChild<QTimer*>("logOffTimer")->isActive());

  window_.patientList();
  QPointer<QWidget> list = shownWindow("PatientList");
  ASSERT_NE(list, nullptr);

  // 14 minutes: not yet, however often it is checked.
  clock_.set(*DateTime::parse("2026-12-05 09:14:00"));
  idleCheckUntil([] {
    QTest::qWait(100);
    return true;
  });
  EXPECT_TRUE(list != nullptr && list->isVisible()) << "logged off before the time";
  EXPECT_TRUE(application_.security()->loggedIn());

  clock_.set(*DateTime::parse("2026-12-05 09:16:00"));
  bool back = false;
  ModalAnswers idle;
  idle.then([&](QWidget& login) {
    EXPECT_EQ(login.objectName(), "Login");
    EXPECT_TRUE(list == nullptr || !list->isVisible()) << "the patient list stayed open";
    EXPECT_FALSE(application_.security()->loggedIn());
    EXPECT_EQ(field(login, "loginName")->text(), "ADMIN");
    auto* cancel = login.findChild<QPushButton*>("cancel");
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Exit Program");
    shoot(login, "idle-log-off-login.png");
    logIn("Boss1234")(login);
    back = true;
  });
  idle.run([&] { idleCheckUntil([&] { return back && application_.security()->loggedIn(); }); });
  EXPECT_EQ(list, nullptr) << "the patient list was hidden, not closed";
  EXPECT_EQ(application_.security()->userCode(), "ADMIN");
  EXPECT_TRUE(window_.findChild<QTimer*>("logOffTimer")->isActive());

  // Idle again, and "Exit Program": the program ends (past the backup reminder).
  clock_.set(*DateTime::parse("2026-12-05 10:00:00"));
  ModalAnswers leaving;
  leaving.then(ModalAnswers::clickButton("Exit Program"));
  leaving.then(ModalAnswers::clickButton("Yes"));           // unsaved data will be lost
  leaving.then(ModalAnswers::clickButton("Exit Program"));  // the backup reminder
  leaving.run([&] { idleCheckUntil([&] { return application_.practice() == nullptr; }); });
  EXPECT_EQ(application_.practice(), nullptr);
  EXPECT_FALSE(window_.isVisible());
}

}  // namespace
}  // namespace vantrell::desktop
