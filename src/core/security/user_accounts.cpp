#include "security/user_accounts.hpp"

#include "security/password_verifier.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

#include <algorithm>

namespace vantrell::security {

UserAccounts::UserAccounts(store::Connection& practice, const ui::Clock& clock) : practice_(practice), clock_(clock) {
  store::ensureTable(practice_, "QVSEC");
  store::ensureTable(practice_, "QVPSW");
}

std::vector<store::Record> UserAccounts::users() {
  std::vector<store::Record> rows;
  store::Table table = practice_.openTable("QVSEC");
  table.setOrder("Primary");
  table.forEach([&](const store::Record& row) { rows.push_back(row); });
  return rows;
}

std::optional<store::Record> UserAccounts::find(const std::string& code) {
  store::Table table = practice_.openTable("QVSEC");
  table.setOrder("Primary");
  return table.seek({store::Value{code}});
}

std::vector<store::Record> UserAccounts::history(const std::string& code) {
  // The User tag is on the code as written: look it up as the user row has it.
  std::vector<store::Record> rows;
  store::Table table = practice_.openTable("QVPSW");
  table.setOrder("User");
  table.setRange({store::Value{code}}, {store::Value{code}});
  table.forEach([&](const store::Record& row) { rows.push_back(row); });
  return rows;
}

void UserAccounts::keepPassword(store::Record& user, const std::string& password) {
  const std::string code = user.text("Code");
  const std::string verifier = makePasswordVerifier(password);
  store::Transaction transaction(practice_);
  store::Table passwords = practice_.openTable("QVPSW");
  for (auto& row : history(code)) {
    if (!row.logical("Active")) continue;
    row.set("Active", false);
    passwords.post(row);
  }
  store::Record entry = passwords.newRecord();
  entry.set("User", code);
  entry.set("Password", verifier);
  entry.set("Date Used", clock_.today());
  entry.set("Active", true);
  passwords.append(entry);
  user.set("Password", verifier);
  store::Table users = practice_.openTable("QVSEC");
  if (user.isStored()) users.post(user);
  else users.append(user);
  transaction.commit();
}

std::optional<std::string> UserAccounts::newPasswordRefusal(const std::string& code, const std::string& password,
                                                            const std::string& confirmation,
                                                            const PasswordRules& rules) {
  if (auto breach = rules.breach(password)) return breach;
  // History by the code as stored, oldest first: a password counts as used
  // from its Date Used until the next one took over (the active one until today).
  const auto user = find(code);
  std::vector<store::Record> rows = history(user ? user->text("Code") : code);
  std::sort(rows.begin(), rows.end(), [](const store::Record& a, const store::Record& b) {
    return a.date("Date Used") < b.date("Date Used");
  });
  const Date today = clock_.today();
  const auto since = today.days() - std::chrono::days{rules.reusePeriodDays};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const bool active = rows[i].logical("Active");
    const Date until = active || i + 1 == rows.size() ? today : rows[i + 1].date("Date Used");
    const bool withinPeriod = rules.reusePeriodDays > 0 && !until.isEmpty() && until.days() >= since;
    // The current password is never new, whatever the reuse period.
    if ((active || withinPeriod) && matchesIgnoringCase(rows[i].text("Password"), password))
      return std::string("This password is not authorized to be used.  Please try another");
  }
  if (password != confirmation) return std::string("The confirmation password is not the same as the password.");
  return std::nullopt;
}

bool UserAccounts::isActivePassword(const std::string& code, const std::string& password) {
  for (const auto& row : history(code)) {
    if (row.logical("Active") && matchesIgnoringCase(row.text("Password"), password)) return true;
  }
  return false;
}

std::optional<Date> UserAccounts::activePasswordDate(const std::string& code) {
  for (const auto& row : history(code)) {
    if (row.logical("Active")) return row.date("Date Used");
  }
  return std::nullopt;
}

SecuritySetupWindow::SecuritySetupWindow(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock)
    : practice_(practice), prompter_(prompter), accounts_(practice, clock) {}

bool SecuritySetupWindow::saveUser(const std::string& code,
                                   const std::vector<std::pair<std::string, std::string>>& fields) {
  auto existing = accounts_.find(code);
  // Such a name could never be typed back at the login, and it would reach the
  // login log only escaped.
  if (!existing && std::any_of(code.begin(), code.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20u || byte == 0x7Fu;
      })) {
    prompter_.error(controlCharactersInName);
    return false;
  }
  store::Record user = existing ? *existing : practice_.openTable("QVSEC").newRecord();
  std::optional<std::string> password;
  try {
    if (!existing) user.set("Code", code);
    for (const auto& [field, value] : fields) {
      if (store::equalsIgnoringCase(field, "Password")) password = value;
      else if (store::equalsIgnoringCase(field, "Answer")) user.set("Answer", makeAnswerVerifier(code, value));
      else user.setFromText(field, value);
    }
  } catch (const store::InputError& error) {
    prompter_.error(error.what());
    return false;
  }
  const std::string level = user.text("Access Level");
  if (level.size() != 1 || level[0] < '1' || level[0] > '5') {
    prompter_.error("The access level must be 1 to 5.");
    return false;
  }
  if (!existing && !password) {
    prompter_.error("A new user needs a password.");
    return false;
  }
  if (!keepsLevelOne(user.text("Code"), level)) {
    prompter_.error(levelOneRequired);
    return false;
  }
  if (password) {
    if (auto refusal = accounts_.newPasswordRefusal(code, *password, *password, PasswordRules::read(practice_))) {
      prompter_.error(*refusal);
      return false;
    }
    accounts_.keepPassword(user, *password);
    return true;
  }
  store::Table users = practice_.openTable("QVSEC");
  users.post(user);
  return true;
}

bool SecuritySetupWindow::keepsLevelOne(const std::string& changedCode, const std::string& newLevel) {
  // The user list as it will be after the change must keep a level-1 user.
  bool others = false;
  for (const auto& user : accounts_.users()) {
    if (store::equalsIgnoringCase(user.text("Code"), changedCode)) continue;
    others = true;
    if (user.text("Access Level") == "1") return true;
  }
  if (newLevel == "1") return true;
  return !others && newLevel.empty();  // the last user going: security is off again
}

bool SecuritySetupWindow::setPassword(const std::string& code, const std::string& password,
                                      const std::string& confirmation) {
  auto user = accounts_.find(code);
  if (!user) {
    prompter_.error("This user doesn't exist");
    return false;
  }
  if (auto refusal = accounts_.newPasswordRefusal(code, password, confirmation, PasswordRules::read(practice_))) {
    prompter_.error(*refusal);
    return false;
  }
  accounts_.keepPassword(*user, password);
  prompter_.inform("Your password was successfully changed.");
  return true;
}

bool SecuritySetupWindow::deleteUser(const std::string& code) {
  auto user = accounts_.find(code);
  if (!user) return false;
  if (!keepsLevelOne(user->text("Code"), "")) {
    prompter_.error(levelOneRequired);
    return false;
  }
  if (!prompter_.askYesNo(deleteQuestion)) return false;
  store::Table users = practice_.openTable("QVSEC");
  users.remove(*user);
  return true;
}

bool SecuritySetupWindow::close() {
  for (const auto& user : accounts_.users()) {
    if (user.text("Access Level") == "1") return true;
  }
  if (accounts_.users().empty()) return true;  // no users: security stays off
  prompter_.error(levelOneRequired);
  return false;
}

}  // namespace vantrell::security
