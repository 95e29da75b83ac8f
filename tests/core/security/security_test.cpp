#include <gtest/gtest.h>

#include <sys/wait.h>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "security/audit.hpp"
#include "security/database_accounts.hpp"
#include "security/login_window.hpp"
#include "security/password_rules.hpp"
#include "security/password_verifier.hpp"
#include "security/permissions_window.hpp"
#include "security/security.hpp"
#include "security/user_accounts.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::security {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;

// Logs in with the name and password it was given, once.
class TypedLogin final : public LoginPrompt {
 public:
  TypedLogin(std::string name, std::string password)
      : name_(std::move(name)), password_(std::move(password)) {}
  bool run(LoginWindow& window) override {
    last = window.submit(name_, password_);
    return last == LoginWindow::Outcome::LoggedIn;
  }
  LoginWindow::Outcome last = LoginWindow::Outcome::Closed;

 private:
  std::string name_;
  std::string password_;
};

class SecurityOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    clock_ = std::make_unique<ui::FixedClock>(*DateTime::parse("2026-12-05 10:00:00"));
    practice_ = space_->connect("WS1", clock_.get());
    store::createMissingTables(*practice_, nullptr);
    rootSpace_ = std::make_unique<vantrell::testing::PracticeSpace>(engine());
    root_ = rootSpace_->connect("WS1", clock_.get());
    store::ensureTable(*root_, "QVUSR");
  }

  void addUser(const std::string& code, const std::string& level, const std::string& password,
               std::vector<std::pair<std::string, std::string>> more = {}) {
    ScriptedPrompter quiet{};
    SecuritySetupWindow setup(*practice_, quiet, *clock_);
    more.emplace_back("Name", "User " + code);
    more.emplace_back("Access Level", level);
    more.emplace_back("Password", password);
    ASSERT_TRUE(setup.saveUser(code, more))
        << (quiet.transcript().empty() ? "" : quiet.transcript().back());
  }

  std::unique_ptr<Security> session(ScriptedPrompter& prompter) {
    return std::make_unique<Security>(*practice_, *root_, prompter, *clock_);
  }

  std::unique_ptr<ui::FixedClock> clock_;
  std::unique_ptr<store::Connection> practice_;
  std::unique_ptr<vantrell::testing::PracticeSpace> rootSpace_;
  std::unique_ptr<store::Connection> root_;
};

TEST_P(SecurityOnEngine, WithoutUsersEverythingIsAllowedAndNobodyLogsIn) {
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  TypedLogin never("x", "y");
  EXPECT_FALSE(security->isOn());
  EXPECT_TRUE(security->logInAtOpen(&never));
  for (int item : {0, 9, 42, 140, 248, 255})
    EXPECT_TRUE(security->hasPermission(item, false)) << item;
  EXPECT_TRUE(prompter.transcript().empty());
}

TEST_P(SecurityOnEngine, LevelsDecideAndAnOverrideAllowsOneOperationExactlyAsTyped) {
  addUser("ADMIN", "1", "Boss1234");
  addUser("JOE", "3", "Secret77");
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  TypedLogin joe("joe", "SECRET77");  // a normal login ignores letter case
  ASSERT_TRUE(security->logInAtOpen(&joe));
  EXPECT_EQ(security->userCode(), "JOE");
  EXPECT_EQ(security->accessLevel(), 3);
  EXPECT_TRUE(security->hasPermission(permission_item::editPatient, false));
  EXPECT_FALSE(security->hasPermission(permission_item::deletePatient, false));
  EXPECT_EQ(prompter.transcript().back(),
            "error: ACCESS DENIED\nSecurity level is insufficient for this operation.");

  // An override typed in the other letter case fails; typed exactly, it allows once.
  prompter.scriptChoice(0);
  TypedLogin wrongCase("ADMIN", "boss1234");
  EXPECT_FALSE(security->hasPermission(permission_item::deletePatient, true, &wrongCase));
  EXPECT_EQ(wrongCase.last, LoginWindow::Outcome::StayOpen);
  prompter.scriptChoice(0);
  TypedLogin admin("ADMIN", "Boss1234");
  EXPECT_TRUE(security->hasPermission(permission_item::deletePatient, true, &admin));
  EXPECT_EQ(security->userCode(), "JOE");
  EXPECT_FALSE(security->hasPermission(permission_item::deletePatient, false));

  // The permission list is in QVPER with its defaults.
  PermissionsWindow permissions(*practice_);
  ASSERT_NE(permissions.row(42), nullptr);
  EXPECT_TRUE(permissions.row(42)->logical("Level 2"));
  EXPECT_FALSE(permissions.row(42)->logical("Level 3"));
  // Level 1 never loses the permissions themselves.
  permissions.setLevel(permission_item::permissions, 1, false);
  PermissionsWindow reread(*practice_);
  EXPECT_TRUE(reread.row(permission_item::permissions)->logical("Level 1"));
  permissions.setLevel(permission_item::editPatient, 3, false);
  security->reloadPermissions();
  EXPECT_FALSE(security->hasPermission(permission_item::editPatient, false));
}

TEST_P(SecurityOnEngine, ALoginNameIsKeptAsTypedAndFoundInEitherCase) {
  addUser("ADMIN", "1", "Boss1234");
  addUser("mary", "3", "Pass1234");
  const auto codes = [&] {
    std::vector<std::string> stored;
    for (const auto& row :
         practice_->executeSql("SELECT \"Code\" FROM QVSEC ORDER BY \"Code\"").rows)
      stored.push_back(store::valueToText(row.at(0)));
    return stored;
  };
  EXPECT_EQ(codes(), (std::vector<std::string>{"ADMIN", "mary"}));

  // The same name in capitals is the same user: its level changes, no second user appears.
  {
    ScriptedPrompter quiet{};
    SecuritySetupWindow setup(*practice_, quiet, *clock_);
    ASSERT_TRUE(setup.saveUser("MARY", {{"Access Level", "2"}}));
  }
  EXPECT_EQ(codes(), (std::vector<std::string>{"ADMIN", "mary"}));

  // A normal login finds her in any case and works as the user as stored.
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  TypedLogin loud("MARY", "PASS1234");
  ASSERT_TRUE(security->logInAtOpen(&loud));
  EXPECT_EQ(security->userCode(), "mary");
  EXPECT_EQ(security->accessLevel(), 2);
}

TEST_P(SecurityOnEngine, GivingUpTheLoginAsksUnderItsCaptionAndNoKeepsItOpen) {
  addUser("MARY", "1", "Pass1234");
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  LoginWindow window(*security, LoginMode::Normal);
  prompter.scriptChoice(1);  // No
  EXPECT_EQ(window.cancel(), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(prompter.captions().back(), "Exit Confirmation");
  EXPECT_EQ(prompter.transcript().back(),
            "choose: Exit Confirmation\nAny unsaved data will be lost if you continue.            "
            "Do you want to continue? [&Yes] [&No]");
  prompter.scriptChoice(0);  // Yes, with nobody logged in: the program ends
  EXPECT_EQ(window.cancel(), LoginWindow::Outcome::ExitProgram);
}

TEST_P(SecurityOnEngine, WrongNamesAndPasswordsAreLoggedAndTooManyLockTheLoginOut) {
  addUser("MARY", "1", "Pass1234");
  practice_->executeSql(
      "INSERT INTO QVLPM (\"Max Attempts\", \"Disable Period\", \"Min Characters\", \"Max "
      "Characters\") "
      "VALUES (3, 15, 0, 0)");
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  LoginWindow window(*security, LoginMode::Normal);
  EXPECT_EQ(window.submit("NOBODY' OR '1'='1", "x"), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(prompter.transcript().back(), "error: Invalid login name");
  EXPECT_EQ(prompter.captions().back(), "Error");
  EXPECT_EQ(window.focus(), LoginWindow::Field::Name);
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(window.submit("mary", "wrong" + std::string(300, 'x')),
              LoginWindow::Outcome::StayOpen);
    EXPECT_EQ(prompter.transcript().back(), "error: Invalid password");
  }
  EXPECT_EQ(window.focus(), LoginWindow::Field::Password);
  EXPECT_EQ(window.submit("mary", "Pass1234"), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(prompter.transcript().back(), "error: This login account has been disabled.");
  // Fifteen minutes without a new attempt open it again.
  clock_->set(*DateTime::parse("2026-12-05 10:16:00"));
  EXPECT_EQ(window.submit("mary", "Pass1234"), LoginWindow::Outcome::LoggedIn);

  auto log = practice_->executeSql(
      "SELECT \"User\", \"Note\", \"Successful\" FROM QVLIO ORDER BY \"Time\"");
  ASSERT_EQ(log.rows.size(), 6u);
  EXPECT_EQ(store::valueToText(log.rows[0][1]), "Login Name not found");
  EXPECT_EQ(store::valueToText(log.rows[1][1]), "Invalid password");
  EXPECT_EQ(store::valueToText(log.rows[4][1]), "Too many failed attempts");
  EXPECT_EQ(store::valueToText(log.rows[5][1]), "Success");
  // Nothing of a password reaches the log or the user row.
  auto everything = practice_->executeSql("SELECT \"Password\" FROM QVSEC");
  EXPECT_EQ(store::valueToText(everything.rows[0][0]).find("Pass1234"), std::string::npos);
}

// Once disabled, a login answers a wrong password and the right one alike, so
// guessing on during the disable period learns nothing.
TEST_P(SecurityOnEngine, ADisabledLoginAnswersEveryPasswordAlike) {
  addUser("MARY", "1", "Pass1234");
  practice_->executeSql(
      "INSERT INTO QVLPM (\"Max Attempts\", \"Disable Period\", \"Min Characters\", \"Max "
      "Characters\") "
      "VALUES (3, 15, 0, 0)");
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  LoginWindow window(*security, LoginMode::Normal);
  for (int attempt = 0; attempt < 3; ++attempt)
    EXPECT_EQ(window.submit("mary", "guess"), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(prompter.transcript().back(), "error: Invalid password");
  struct Attempt {
    const char* password;
    std::string answer;
    LoginWindow::Field focus;
  };
  std::vector<Attempt> attempts;
  for (const char* password : {"guess", "Pass1234", "pass1234", "another"}) {
    EXPECT_EQ(window.submit("MARY", password), LoginWindow::Outcome::StayOpen) << password;
    attempts.push_back({password, prompter.transcript().back(), window.focus()});
  }
  for (const auto& attempt : attempts) {
    EXPECT_EQ(attempt.answer, "error: This login account has been disabled.") << attempt.password;
    EXPECT_EQ(attempt.focus, LoginWindow::Field::Password) << attempt.password;
  }
  auto log = practice_->executeSql("SELECT \"Note\" FROM QVLIO");
  std::map<std::string, int> notes;
  for (const auto& row : log.rows) ++notes[store::valueToText(row[0])];
  EXPECT_EQ(notes,
            (std::map<std::string, int>{{"Invalid password", 3}, {"Too many failed attempts", 4}}));
  EXPECT_FALSE(security->loggedIn());
}

// A presence row marked Locked lets the same login in while this program runs
// no automatic log-off, and keeps it out while it does; an unmarked fresh row
// always keeps it out.
TEST_P(SecurityOnEngine, ALockedPresenceRowLetsTheLoginInOnlyWithoutAutomaticLogOff) {
  addUser("TODAY", "1", "Pass1234");
  {
    ScriptedPrompter first{};
    auto elsewhere = session(first);
    LoginWindow window(*elsewhere, LoginMode::Normal);
    ASSERT_EQ(window.submit("TODAY", "Pass1234"), LoginWindow::Outcome::LoggedIn);
  }
  clock_->set(*DateTime::parse("2026-12-05 10:01:00"));  // the row is one minute old
  const auto markLocked = [&](bool locked) {
    root_->executeSql(std::string("UPDATE QVUSR SET \"Locked\" = ") + (locked ? "TRUE" : "FALSE"));
  };
  markLocked(true);
  ScriptedPrompter prompter{false, false};
  auto security = session(prompter);
  LoginWindow window(*security, LoginMode::Normal);
  security->setLogOffTimerRuns(true);
  EXPECT_EQ(window.submit("TODAY", "Pass1234"), LoginWindow::Outcome::Closed);
  EXPECT_EQ(prompter.transcript().back(),
            "ask: This user is already logged-in on another machine. Try again?");
  security->setLogOffTimerRuns(false);
  markLocked(false);
  EXPECT_EQ(window.submit("TODAY", "Pass1234"), LoginWindow::Outcome::Closed);
  EXPECT_EQ(prompter.transcript().back(),
            "ask: This user is already logged-in on another machine. Try again?");
  markLocked(true);
  EXPECT_EQ(window.submit("TODAY", "Pass1234"), LoginWindow::Outcome::LoggedIn);
  EXPECT_EQ(security->userCode(), "TODAY");
  EXPECT_TRUE(security->loggedIn());
}

// A login name with control characters reaches the login log escaped, never
// raw, so neither a terminal nor a report acts on it; setup refuses such names.
TEST_P(SecurityOnEngine, ControlCharactersOfATypedNameAreLoggedEscaped) {
  addUser("MARY", "1", "Pass1234");
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  LoginWindow window(*security, LoginMode::Normal);
  struct Row {
    std::string typed;
    std::string logged;
  };
  const std::vector<Row> rows = {
      {"\x1b[2J\x1b]0;X\x07", "\\x1B[2J"},  // the next escape does not fit whole in ten characters
      {"A\tB", "A\\x09B"},
      {"Pe\xc3\xb1"
       "a",
       "Pe\xc3\xb1"
       "a"},                         // letters beyond ASCII are no control characters
      {"P\xc2\x9b", "P\\xC2\\x9B"},  // a C1 control, two bytes in UTF-8
      {"ok\xff\x7f", "ok\\xFF\\x7F"},
      {"NobodyAtAllHere", "NobodyAtAl"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(window.submit(row.typed, "x"), LoginWindow::Outcome::StayOpen);
    EXPECT_EQ(prompter.transcript().back(), "error: Invalid login name");
  }
  // Every attempt has the same time of day here: compare the names as a set.
  auto log = practice_->executeSql("SELECT \"User\" FROM QVLIO");
  std::vector<std::string> logged;
  for (const auto& row : log.rows) logged.push_back(store::valueToText(row[0]));
  std::vector<std::string> expected;
  for (const auto& row : rows) expected.push_back(row.logged);
  std::sort(logged.begin(), logged.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(logged, expected);
  for (const auto& name : logged) {
    for (const char c : name)
      EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20u && c != 0x7F) << name;
  }
  ScriptedPrompter setupPrompter{};
  SecuritySetupWindow setup(*practice_, setupPrompter, *clock_);
  ASSERT_FALSE(setup.saveUser("EVE\x1b[8m", {{"Access Level", "1"}, {"Password", "Pass1234"}}));
  EXPECT_EQ(setupPrompter.transcript().back(),
            "error: A login name cannot hold control characters.");
  EXPECT_FALSE(UserAccounts(*practice_, *clock_).find("EVE\x1b[8m").has_value());
}

TEST_P(SecurityOnEngine, ExpiryPresenceAndTheRulesOfPasswords) {
  addUser("TODAY", "1", "Pass1234", {{"Expire Date", "2026-12-05"}});
  addUser("PAST", "2", "Pass1234", {{"Expire Date", "2026-12-04"}});
  ScriptedPrompter prompter{false};
  auto security = session(prompter);
  LoginWindow window(*security, LoginMode::Normal);
  EXPECT_EQ(window.submit("TODAY", "Pass1234"), LoginWindow::Outcome::LoggedIn);
  {
    ScriptedPrompter another{};
    auto expired = session(another);
    LoginWindow late(*expired, LoginMode::Normal);
    EXPECT_EQ(late.submit("PAST", "Pass1234"), LoginWindow::Outcome::Closed);
    EXPECT_EQ(another.transcript().back(), "inform: This security login has expired.");
    EXPECT_TRUE(UserAccounts(*practice_, *clock_).find("PAST")->logical("Inactive"));
  }

  // A presence row touched 2 minutes ago blocks the same login elsewhere; 4 minutes ago does not.
  ScriptedPrompter elsewhere{false};
  auto second = session(elsewhere);
  LoginWindow other(*second, LoginMode::Normal);
  clock_->set(*DateTime::parse("2026-12-05 10:02:00"));
  EXPECT_EQ(other.submit("today", "pass1234"), LoginWindow::Outcome::Closed);
  EXPECT_EQ(elsewhere.transcript().back(),
            "ask: This user is already logged-in on another machine. Try again?");
  clock_->set(*DateTime::parse("2026-12-05 10:04:00"));
  EXPECT_EQ(other.submit("today", "pass1234"), LoginWindow::Outcome::LoggedIn);

  // New passwords: the rules, the reuse period, the confirmation.
  practice_->executeSql(
      "INSERT INTO QVLPM (\"Min Characters\", \"Max Characters\", \"Alphanumeric\", \"Reuse "
      "Period\") VALUES (6, 12, TRUE, 30)");
  ScriptedPrompter panel{};
  auto third = session(panel);
  LoginWindow change(*third, LoginMode::Normal);
  SecuritySetupWindow setup(*practice_, panel, *clock_);
  struct Row {
    const char* password;
    const char* confirmation;
    const char* message;
  };
  for (const Row& row : {Row{"ab1", "ab1",
                             "Your password does not meet the minimum character requirement of 6.  "
                             "Please create a new one."},
                         Row{"abcdefghijk12", "abcdefghijk12",
                             "Your password exceeds the maximum character requirement of 12.  "
                             "Please create a new one."},
                         Row{"abcdefgh", "abcdefgh",
                             "This password needs to contain both alpha and numeric characters."},
                         Row{"PASS1234", "PASS1234",
                             "This password is not authorized to be used.  Please try another"},
                         Row{"Fresh123", "Fresh124",
                             "The confirmation password is not the same as the password."}}) {
    EXPECT_FALSE(setup.setPassword("today", row.password, row.confirmation));
    EXPECT_EQ(panel.transcript().back(), std::string("error: ") + row.message);
  }
  // The login dialog's panel is only for the user who earned it.
  EXPECT_EQ(change.changePassword("TODAY", "Fresh123", "Fresh123"), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(panel.transcript().back(),
            "error: Answer the security question of TODAY before changing the password.");
  EXPECT_TRUE(setup.setPassword("TODAY", "Fresh123", "Fresh123"));
  EXPECT_EQ(panel.transcript().back(), "inform: Your password was successfully changed.");
  clock_->set(*DateTime::parse("2026-12-05 10:10:00"));
  EXPECT_EQ(change.submit("TODAY", "Pass1234"),
            LoginWindow::Outcome::StayOpen);  // the old one is gone
  EXPECT_EQ(change.submit("TODAY", "fresh123"), LoginWindow::Outcome::LoggedIn);

  // Idle time: the user is logged off; nothing is allowed until someone logs in.
  TypedLogin nobody("TODAY", "wrong");
  AlwaysConsent consent;
  clock_->set(*DateTime::parse("2026-12-05 11:00:00"));
  EXPECT_FALSE(third->idleCheck(*DateTime::parse("2026-12-05 10:30:00"), 15, consent, nobody));
  EXPECT_FALSE(third->loggedIn());
  EXPECT_FALSE(third->hasPermission(permission_item::editPatient, false));
  TypedLogin back("today", "FRESH123");
  EXPECT_TRUE(third->idleCheck(*DateTime::parse("2026-12-05 10:30:00"), 15, consent, back) ||
              third->loggedIn());
}

TEST_P(SecurityOnEngine, AForgottenPasswordIsChangedAfterTheRightAnswer) {
  addUser("ANN", "1", "Pass1234", {{"Question", "First pet?"}, {"Answer", "Rex"}});
  addUser("BOB", "4", "Pass1234");
  ScriptedPrompter prompter{};
  auto security = session(prompter);
  LoginWindow window(*security, LoginMode::Normal);
  EXPECT_EQ(window.forgottenPassword("NOBODY"), std::nullopt);
  EXPECT_EQ(prompter.transcript().back(), "error: This user doesn't exist");
  EXPECT_EQ(window.forgottenPassword("bob"), std::nullopt);
  EXPECT_EQ(prompter.transcript().back(),
            "error: There is not a security question set up for this user");
  EXPECT_EQ(window.forgottenPassword("ann"), "First pet?");
  EXPECT_EQ(window.answerQuestion("ann", "Fido"), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(prompter.transcript().back(), "error: Your answer is incorrect.  Please try again.");
  EXPECT_EQ(window.changePassword("ann", "Another1", "Another1"), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(prompter.transcript().back(),
            "error: Answer the security question of ANN before changing the password.");
  EXPECT_EQ(window.answerQuestion("ann", "  rex "), LoginWindow::Outcome::ChangePassword);
  EXPECT_EQ(window.changePassword("BOB", "Hacked12", "Hacked12"),
            LoginWindow::Outcome::StayOpen);  // not BOB's panel
  EXPECT_EQ(window.changePassword("ANN", "Another1", "Another1"), LoginWindow::Outcome::StayOpen);
  EXPECT_EQ(prompter.transcript().back(), "inform: Your password was successfully changed.");
  EXPECT_EQ(window.submit("ann", "another1"), LoginWindow::Outcome::LoggedIn);
  auto answer = practice_->executeSql("SELECT \"Answer\" FROM QVSEC WHERE \"Code\" = 'ANN'");
  EXPECT_EQ(store::valueToText(answer.rows[0][0]).size(), 25u);
  EXPECT_EQ(store::valueToText(answer.rows[0][0]).find("Rex"), std::string::npos);
}

TEST_P(SecurityOnEngine, TwoWorkstationsLoggingInAsOneUserAtOnceLetExactlyOneIn) {
  addUser("SAM", "1", "Pass1234");
  int wins = 0;
  for (int round = 0; round < 2; ++round) {
    root_->executeSql("DELETE FROM QVUSR");
    std::vector<pid_t> children;
    for (int workstation = 0; workstation < 2; ++workstation) {
      const pid_t child = ::fork();
      if (child == 0) {
        auto practice = space_->connect("WS" + std::to_string(workstation), clock_.get());
        auto root = rootSpace_->connect("WS" + std::to_string(workstation), clock_.get());
        ScriptedPrompter no{false};
        Security security(*practice, *root, no, *clock_);
        try {
          LoginWindow window(security, LoginMode::Normal);
          ::_exit(window.submit("SAM", "Pass1234") == LoginWindow::Outcome::LoggedIn ? 0 : 1);
        } catch (const std::exception& error) {
          std::fprintf(stderr, "workstation %d: %s\n", workstation, error.what());
          ::_exit(2);
        }
      }
      children.push_back(child);
    }
    int roundWins = 0;
    for (const pid_t child : children) {
      int status = 0;
      ::waitpid(child, &status, 0);
      roundWins += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    EXPECT_EQ(roundWins, 1) << "round " << round;
    wins += roundWins;
  }
  EXPECT_EQ(wins, 2);
}

TEST_P(SecurityOnEngine, SetupRulesManagementChecksAuditAndEnciphering) {
  ScriptedPrompter prompter{false, true};
  SecuritySetupWindow setup(*practice_, prompter, *clock_);
  // The first user must have level 1, and the last level-1 user cannot go.
  EXPECT_FALSE(setup.saveUser("CLERK", {{"Access Level", "4"}, {"Password", "Pass1234"}}));
  EXPECT_EQ(prompter.transcript().back(), "error: At least one user must have a level 1 access.");
  EXPECT_TRUE(practice_->openTable("QVSEC").count() == 0);
  ASSERT_TRUE(setup.saveUser("BOSS", {{"Access Level", "1"}, {"Password", "Pass1234"}}));
  ASSERT_TRUE(setup.saveUser("CLERK", {{"Access Level", "4"}, {"Password", "Pass1234"}}));
  EXPECT_FALSE(setup.saveUser("BOSS", {{"Access Level", "2"}}));
  EXPECT_FALSE(setup.deleteUser("BOSS"));
  EXPECT_EQ(prompter.transcript().back(), "error: At least one user must have a level 1 access.");
  EXPECT_TRUE(setup.close());
  EXPECT_FALSE(setup.deleteUser("CLERK"));  // No
  EXPECT_TRUE(setup.deleteUser("CLERK"));   // Yes
  EXPECT_EQ(prompter.transcript().back(), "ask: Are you sure you want to delete this user?");

  ScriptedPrompter management{};
  LoginPasswordManagementWindow rules(*practice_, management);
  rules.fields().set("Max Characters", std::int64_t{80});
  EXPECT_FALSE(rules.close());
  EXPECT_EQ(management.transcript().back(), "error: This value cannot exceed 75.");
  rules.fields().set("Max Characters", std::int64_t{0});
  rules.fields().set("Min Characters", std::int64_t{1});
  rules.fields().set("Alphanumeric", true);
  EXPECT_FALSE(rules.close());
  EXPECT_EQ(management.transcript()[1],
            "inform: The Maximum Characters field must have a value greater than 0.  The default "
            "value will be added.");
  EXPECT_EQ(management.transcript().back(),
            "error: You must set the minimum number of characters greater than 1 to enforce the "
            "alphanumeric property.");
  rules.fields().set("Min Characters", std::int64_t{6});
  EXPECT_TRUE(rules.close());
  EXPECT_EQ(PasswordRules::read(*practice_).maxCharacters, 20);

  writeAuditEntry(*practice_, "Deleted Procedure", "", "Procedure code: 99213", clock_->now());
  auto audit = practice_->executeSql("SELECT \"Comment\" FROM QVAUD");
  EXPECT_EQ(store::valueToText(audit.rows[0][0]), "Deleted Procedure: Procedure code: 99213");

  const auto keyFile = std::filesystem::temp_directory_path() /
                       ("vantrell-key-" + std::to_string(::getpid()) +
                        space_->location().path.substr(space_->location().path.size() - 3));
  std::filesystem::remove(keyFile);
  DatabaseAccounts accounts(*practice_, keyFile);
  const std::string secret = accounts.createAccount("reporting", 40);
  EXPECT_EQ(secret.size(), 40u);
  EXPECT_EQ(accounts.password("reporting"), secret);
  auto stored = practice_->executeSql("SELECT \"Password\" FROM qvpwd");
  EXPECT_EQ(store::valueToText(stored.rows[0][0]).find(secret), std::string::npos);
  // Another key opens nothing.
  std::filesystem::remove(keyFile);
  EXPECT_EQ(DatabaseAccounts(*practice_, keyFile).password("reporting"), std::nullopt);
  std::filesystem::remove(keyFile);
}

VANTRELL_ON_BOTH_ENGINES(SecurityOnEngine);

TEST(PasswordVerifier, FitsItsFieldsAndKnowsCaseFromExact) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  const std::string verifier = makePasswordVerifier("MixedCase9");
  EXPECT_EQ(verifier.size(), 68u);
  EXPECT_NE(verifier, makePasswordVerifier("MixedCase9"));  // a new salt each time
  EXPECT_TRUE(matchesIgnoringCase(verifier, "mixedcase9"));
  EXPECT_FALSE(matchesExactly(verifier, "mixedcase9"));
  EXPECT_TRUE(matchesExactly(verifier, "MixedCase9"));
  EXPECT_FALSE(matchesIgnoringCase(verifier, "MixedCase8"));
  EXPECT_FALSE(matchesIgnoringCase("MixedCase9", "MixedCase9"));  // a clear password never verifies
  EXPECT_FALSE(matchesIgnoringCase("", ""));
  const std::string answer = makeAnswerVerifier("ANN", "Rex");
  EXPECT_EQ(answer.size(), 25u);
  EXPECT_TRUE(answerMatches(answer, "ann", " REX"));
  EXPECT_FALSE(answerMatches(answer, "BOB", "Rex"));  // salted with the user
}

// Only a test build lets the environment lower the cost of password hashing;
// the verifier's second character records the cost it was made with.
TEST(PasswordVerifier, OnlyATestBuildListensToTheTestCost) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  const std::string verifier = makePasswordVerifier("MixedCase9");
#ifdef VANTRELL_TEST_PASSWORD_COST
  EXPECT_EQ(verifier.substr(0, 2), "vt");
#else
  EXPECT_EQ(verifier.substr(0, 2), "vi");
#endif
  ::unsetenv("VANTRELL_PASSWORD_COST");
  EXPECT_EQ(makePasswordVerifier("MixedCase9").substr(0, 2), "vi");
}

}  // namespace
}  // namespace vantrell::security
