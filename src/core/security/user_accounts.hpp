#pragma once

#include <optional>
#include <string>
#include <vector>

#include "security/password_rules.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::security {

// The users (QVSEC) and their password history (QVPSW). Passwords and answers
// go in as typed and are stored only as verifiers.
class UserAccounts {
 public:
  UserAccounts(store::Connection& practice, const ui::Clock& clock);

  std::vector<store::Record> users();
  // By login name, ignoring letter case.
  std::optional<store::Record> find(const std::string& code);

  // Makes the password the user's active one: a new history row, the verifier
  // in the user's row (posted). No checks: the caller has made them.
  void keepPassword(store::Record& user, const std::string& password);
  // The checks of a new password in order, or no value when it may be used.
  std::optional<std::string> newPasswordRefusal(const std::string& code, const std::string& password,
                                                const std::string& confirmation, const PasswordRules& rules);
  // The user's active history row matches the password (letter case ignored),
  // and when it was set.
  bool isActivePassword(const std::string& code, const std::string& password);
  std::optional<Date> activePasswordDate(const std::string& code);

 private:
  std::vector<store::Record> history(const std::string& code);

  store::Connection& practice_;
  const ui::Clock& clock_;
};

// The security setup window: the user list and the edit of one user.
class SecuritySetupWindow {
 public:
  SecuritySetupWindow(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock);

  std::vector<store::Record> users() { return accounts_.users(); }
  // A new user, or changes to one: the fields of QVSEC as typed; "Password"
  // and "Answer" are taken in clear and kept as verifiers. Refusals show the
  // system's message and return false.
  bool saveUser(const std::string& code, const std::vector<std::pair<std::string, std::string>>& fields);
  bool deleteUser(const std::string& code);
  // A new password set by someone allowed to edit users: the rules, the reuse
  // period and the confirmation apply.
  bool setPassword(const std::string& code, const std::string& password, const std::string& confirmation);
  // The window closes only while some user has level 1.
  bool close();

  static constexpr const char* deleteQuestion = "Are you sure you want to delete this user?";
  static constexpr const char* levelOneRequired = "At least one user must have a level 1 access.";
  static constexpr const char* controlCharactersInName =
      "A login name cannot hold control characters.";

 private:
  // Whether the users keep someone at level 1 when one user's level becomes
  // newLevel (empty: the user is deleted).
  bool keepsLevelOne(const std::string& changedCode, const std::string& newLevel);

  store::Connection& practice_;
  ui::Prompter& prompter_;
  UserAccounts accounts_;
};

}  // namespace vantrell::security
