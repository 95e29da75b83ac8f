#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "security/permission_list.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::security {

enum class LoginMode { Normal, Override, LogOff };

// A typed login name as the login log keeps it: at most the field's ten
// characters, with control characters (and bytes that are not UTF-8) written
// as \xHH, so the log never carries a terminal's escape codes.
std::string loggedLoginName(std::string_view typed);

class LoginWindow;

// Shows the login dialog and drives the window model until the dialog closes;
// true when a user is logged in then. The desktop shows a dialog; the command
// line logs in with the name and password it was given.
class LoginPrompt {
 public:
  virtual ~LoginPrompt() = default;
  virtual bool run(LoginWindow& window) = 0;
  // The last login ended without one because the person asked for another
  // practice: opening goes to the practice list instead of ending the program.
  virtual bool choseAnotherPractice() const { return false; }
};

// Asked before an idle user is logged off. The appointment book is not part of
// this program, so the one the program has always says yes.
class LogOffConsent {
 public:
  virtual ~LogOffConsent() = default;
  virtual bool mayLogOff() = 0;
};

class AlwaysConsent final : public LogOffConsent {
 public:
  bool mayLogOff() override { return true; }
};

// The login state of an open practice: who is logged in, at which level, and
// what that level may do. With no users, security is off: level 0, all allowed.
class Security {
 public:
  Security(store::Connection& practice, store::Connection& root, ui::Prompter& prompter, const ui::Clock& clock);

  // Whether the practice has a user list at all.
  bool isOn();
  bool loggedIn() const { return accessLevel_ > 0 && !awaitingLogin_; }
  int accessLevel() const { return accessLevel_; }
  const std::string& userCode() const { return userCode_; }

  // Opening a practice: no user list means security off; otherwise the login
  // dialog. False when nobody logged in (the program then ends).
  bool logInAtOpen(LoginPrompt* prompt);

  // The user who was logged in before the practice was let go for a moment
  // (a backup, file maintenance) carries on: presence and login log as at a login.
  void resumeAs(const std::string& code, int level);

  // Fills the permission array for the current level, first writing the
  // permission list into QVPER when it lacks entries.
  void reloadPermissions();
  // The guard of every guarded command. A refusal shows the system's message;
  // with allowOverride, the person may have a more privileged user log in once.
  bool hasPermission(int item, bool allowOverride, LoginPrompt* prompt = nullptr);
  // Whether the user's level allows the operation, asking and showing nothing
  // (what a report offers depends on it).
  bool holds(int item) const;
  // The timer's sign of life for this user's row in the users-in-program table.
  void touchUser();
  void logLogin(const std::string& user, const std::string& inOut, const std::string& note, bool successful);
  // Closing the program: the presence row goes, and an "Out" row is logged.
  void logOut();
  // The idle check of automatic log-off. True when the user was logged off and
  // logged in again (or no log-off was due); false when the person chose
  // "Exit Program".
  bool idleCheck(const DateTime& lastActivity, std::int64_t logOffMinutes, LogOffConsent& consent, LoginPrompt& prompt);

  // Whether the program's automatic log-off timer runs now; the desktop keeps
  // this true while its timer is started. A presence row marked Locked lets
  // the same login in only while it is false.
  void setLogOffTimerRuns(bool runs) { logOffTimerRuns_ = runs; }
  bool logOffTimerRuns() const { return logOffTimerRuns_; }

  store::Connection& practice() { return practice_; }
  store::Connection& root() { return root_; }
  ui::Prompter& prompter() { return prompter_; }
  const ui::Clock& clock() const { return clock_; }

  static constexpr const char* accessDenied = "ACCESS DENIED\nSecurity level is insufficient for this operation.";
  static constexpr const char* programName = "Vantrell";

 private:
  friend class LoginWindow;

  struct State {
    std::string userCode;
    int accessLevel = 0;
    bool awaitingLogin = false;
  };
  State state() const { return {userCode_, accessLevel_, awaitingLogin_}; }
  void restore(const State& state);
  void becomeUser(const std::string& code, int level);
  void deletePresence(const std::string& user);
  // Users exist but nobody is logged in (after an automatic log-off): every
  // guarded operation is refused until someone logs in.
  void awaitLogin();

  store::Connection& practice_;
  store::Connection& root_;
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  std::string userCode_;
  int accessLevel_ = 0;
  std::array<bool, permissionSlots> permissions_{};
  bool overrideGranted_ = false;
  bool awaitingLogin_ = false;
  bool logOffTimerRuns_ = false;
};

}  // namespace vantrell::security
