#include "security/login_window.hpp"

#include "security/password_rules.hpp"
#include "security/password_verifier.hpp"
#include "security/user_accounts.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::security {
namespace {

constexpr auto staleAfter = std::chrono::minutes{3};

bool expiredBefore(const store::Record& user, const Date& today) {
  const Date expires = user.date("Expire Date");
  return !expires.isEmpty() && expires < today;
}

// Minutes since a log row, as whole days since its date times 1440 plus the
// minutes between its time of day and now.
std::int64_t minutesSince(const store::Record& row, const DateTime& now) {
  const auto days = (now.date().days() - row.date("Date").days()).count();
  const DateTime time = row.timestamp("Time");
  const auto dayStart = std::chrono::floor<std::chrono::days>(now.value());
  const auto nowMinutes =
      std::chrono::duration_cast<std::chrono::minutes>(now.value() - dayStart).count();
  std::int64_t thenMinutes = 0;
  if (!time.isEmpty()) {
    const auto thenStart = std::chrono::floor<std::chrono::days>(time.value());
    thenMinutes =
        std::chrono::duration_cast<std::chrono::minutes>(time.value() - thenStart).count();
  }
  return days * 1440 + nowMinutes - thenMinutes;
}

}  // namespace

LoginWindow::LoginWindow(Security& security, LoginMode mode, std::string prefilledCode)
    : security_(security), mode_(mode), prefilledCode_(std::move(prefilledCode)) {}

LoginWindow::Outcome LoginWindow::refuse(const std::string& user, const std::string& message,
                                         const std::string& note, Outcome outcome,
                                         const std::string& caption) {
  if (!message.empty()) security_.prompter().error(message, caption);
  security_.logLogin(user, "In", note, false);
  return outcome;
}

LoginWindow::Outcome LoginWindow::submit(const std::string& name, const std::string& password) {
  store::Connection& practice = security_.practice();
  ui::Prompter& prompter = security_.prompter();
  const ui::Clock& clock = security_.clock();
  const bool exact = mode_ == LoginMode::Override;
  if (!security_.isOn()) {
    security_.restore({});
    return Outcome::LoggedIn;
  }
  UserAccounts accounts(practice, clock);
  std::optional<store::Record> matched;
  bool nameFound = false;
  std::string foundCode = name;  // failures are logged under the user's own code
  std::vector<store::Record> named;
  for (const auto& user : accounts.users()) {
    const std::string code = user.text("Code");
    if (exact ? code != name : store::upperAscii(code) != store::upperAscii(name)) continue;
    nameFound = true;
    foundCode = code;
    named.push_back(user);
  }
  // A disabled login gives the same answer to every password, so guessing
  // during the disable period learns nothing; the password is not even checked.
  if (nameFound && lockedOut(foundCode)) {
    focus_ = Field::Password;
    return refuse(foundCode, "This login account has been disabled.", "Too many failed attempts",
                  Outcome::StayOpen);
  }
  for (const auto& user : named) {
    if (exact ? matchesExactly(user.text("Password"), password)
              : matchesIgnoringCase(user.text("Password"), password)) {
      matched = user;
      foundCode = user.text("Code");
      break;
    }
  }
  if (!matched) {
    focus_ = nameFound ? Field::Password : Field::Name;
    return refuse(foundCode, nameFound ? "Invalid password" : "Invalid login name",
                  nameFound ? "Invalid password" : "Login Name not found", Outcome::StayOpen,
                  "Error");
  }
  const std::string code = matched->text("Code");
  const Date today = clock.today();

  // The previous user's presence goes now; should this login fail, that user
  // is logged in again, presence and all.
  struct PreviousUser {
    Security& security;
    std::string code;
    bool keep = true;
    ~PreviousUser() {
      if (!keep || code.empty() || security.userCode() != code || !security.loggedIn()) return;
      try {
        security.touchUser();
      } catch (const std::exception&) {
        // Stale after three minutes at worst.
      }
    }
  } previous{security_, mode_ == LoginMode::Override ? std::string() : security_.userCode()};
  if (!previous.code.empty()) security_.deletePresence(previous.code);

  // Expiry: a login past its last valid day is marked inactive.
  if (auto user = accounts.find(code);
      user && !user->logical("Inactive") && expiredBefore(*user, today)) {
    prompter.inform("This security login has expired.");
    security_.logLogin(code, "In", "This security login has expired.", false);
    store::Table users = practice.openTable("QVSEC");
    user->set("Inactive", true);
    users.post(*user);
    return Outcome::Closed;
  }

  const PasswordRules rules = PasswordRules::read(practice);
  if (auto breach = rules.breach(password))
    return refuse(code, *breach, "Did not meet Login/Logout requirements, try again",
                  Outcome::StayOpen);
  if (!accounts.isActivePassword(code, password))
    return refuse(code, "Error 55: This password is invalid.", "Password not active, try again",
                  Outcome::StayOpen);
  if (rules.renewalIntervalDays > 0) {
    const auto used = accounts.activePasswordDate(code);
    if (used && !used->isEmpty() &&
        used->days() + std::chrono::days{rules.renewalIntervalDays} < today.days()) {
      mayChangePasswordOf_ = code;
      return refuse(code, "Your password has expired, please create a new one.", "Password expired",
                    Outcome::ChangePassword);
    }
  }

  if (auto user = accounts.find(code);
      !user || user->logical("Inactive") || expiredBefore(*user, today)) {
    prompter.inform("This account is no longer active.");
    security_.logLogin(code, "In", "Security account is expired/inactive.", false);
    return Outcome::Closed;
  }

  const std::string levelText = matched->text("Access Level");
  const int level =
      levelText.size() == 1 && levelText[0] >= '1' && levelText[0] <= '5' ? levelText[0] - '0' : 5;
  if (mode_ == LoginMode::Override) {
    security_.logLogin(code, "In", "Override", true);
    security_.accessLevel_ = level;
    security_.awaitingLogin_ = false;
    security_.userCode_ = code;
    security_.reloadPermissions();
    security_.overrideGranted_ = true;
    return Outcome::LoggedIn;
  }

  // Presence: one login on one workstation. The check and the write run with
  // the table to themselves, so two workstations at once cannot both pass.
  store::Connection& root = security_.root();
  {
    store::ensureTable(root, "QVUSR");
    store::Transaction transaction(root);
    root.driver().lockTableUntilCommit("QVUSR");
    store::Table presence = root.openTable("QVUSR");
    presence.setOrder("Primary");
    auto row =
        presence.seek({store::Value{code}, store::Value{std::string(Security::programName)}});
    const DateTime now = clock.now();
    const bool touchedLately = row && !row->timestamp("Modified").isEmpty() &&
                               row->timestamp("Modified").value() + staleAfter >= now.value();
    // A fresh row keeps the login out unless it is marked Locked while this
    // program runs no automatic log-off.
    if (touchedLately && (!row->logical("Locked") || security_.logOffTimerRuns())) {
      transaction.commit();
      security_.logLogin(code, "In", "Already logged in, try again", false);
      if (prompter.askYesNo("This user is already logged-in on another machine. Try again?"))
        return Outcome::StayOpen;
      return Outcome::Closed;
    }
    if (row) {
      row->set("Modified", now);
      presence.post(*row);
    } else {
      store::Record fresh = presence.newRecord();
      fresh.set("User", code);
      fresh.set("Program", std::string(Security::programName));
      fresh.set("Modified", now);
      presence.append(fresh);
    }
    transaction.commit();
  }
  // A row without a proper level gets the least privileged one.
  previous.keep = false;
  security_.becomeUser(code, level);
  security_.logLogin(code, "In", "Success", true);
  return Outcome::LoggedIn;
}

bool LoginWindow::lockedOut(const std::string& code) {
  store::Connection& practice = security_.practice();
  const PasswordRules rules = PasswordRules::read(practice);
  if (rules.maxAttempts <= 0 || rules.disablePeriodMinutes <= 0 || !practice.tableExists("QVLIO"))
    return false;
  // The newest log rows of the user, at most Max Attempts of them.
  store::Table log = practice.openTable("QVLIO");
  log.setOrder("User");
  const std::string logged = loggedLoginName(code);
  log.setRange({store::Value{logged}}, {store::Value{logged}});
  std::vector<store::Record> rows;
  log.forEach([&](const store::Record& row) { rows.push_back(row); });
  std::int64_t failures = 0;
  for (auto row = rows.rbegin(); row != rows.rend() && failures < rules.maxAttempts; ++row) {
    if (row == rows.rbegin() &&
        minutesSince(*row, security_.clock().now()) > rules.disablePeriodMinutes)
      return false;
    if (row->logical("Successful")) return false;
    ++failures;
  }
  return failures >= rules.maxAttempts;
}

LoginWindow::Outcome LoginWindow::cancel() {
  if (security_.prompter().choose(exitConfirmationTitle, exitConfirmation, {"&Yes", "&No"}) != 0)
    return Outcome::StayOpen;
  if (mode_ == LoginMode::LogOff || !security_.loggedIn()) return Outcome::ExitProgram;
  return Outcome::Closed;
}

std::optional<std::string> LoginWindow::forgottenPassword(const std::string& name) {
  UserAccounts accounts(security_.practice(), security_.clock());
  const auto user = accounts.find(name);
  if (!user) {
    security_.prompter().error("This user doesn't exist");
    return std::nullopt;
  }
  if (user->isEmpty("Question")) {
    security_.prompter().error("There is not a security question set up for this user");
    return std::nullopt;
  }
  return user->text("Question");
}

LoginWindow::Outcome LoginWindow::answerQuestion(const std::string& name,
                                                 const std::string& answer) {
  UserAccounts accounts(security_.practice(), security_.clock());
  const auto user = accounts.find(name);
  const std::string code = user ? user->text("Code") : name;
  // Guessing answers counts against the lock-out as guessing passwords does.
  if (user && lockedOut(code))
    return refuse(code, "This login account has been disabled.", "Too many failed attempts",
                  Outcome::StayOpen);
  if (!user || !answerMatches(user->text("Answer"), code, answer))
    return refuse(code, "Your answer is incorrect.  Please try again.",
                  "Security Question not answered correctly.", Outcome::StayOpen);
  mayChangePasswordOf_ = code;
  return Outcome::ChangePassword;
}

LoginWindow::Outcome LoginWindow::changePassword(const std::string& name,
                                                 const std::string& password,
                                                 const std::string& confirmation) {
  UserAccounts accounts(security_.practice(), security_.clock());
  auto user = accounts.find(name);
  if (!user) {
    security_.prompter().error("This user doesn't exist");
    return Outcome::StayOpen;
  }
  const std::string code = user->text("Code");
  if (mayChangePasswordOf_.empty() || !store::equalsIgnoringCase(mayChangePasswordOf_, code)) {
    security_.prompter().error("Answer the security question of " + code +
                               " before changing the password.");
    return Outcome::StayOpen;
  }
  if (auto refusal = accounts.newPasswordRefusal(code, password, confirmation,
                                                 PasswordRules::read(security_.practice()))) {
    security_.prompter().error(*refusal);
    return Outcome::ChangePassword;
  }
  accounts.keepPassword(*user, password);
  mayChangePasswordOf_.clear();
  security_.prompter().inform("Your password was successfully changed.");
  return Outcome::StayOpen;
}

}  // namespace vantrell::security
