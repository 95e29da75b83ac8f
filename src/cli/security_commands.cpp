#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "security/permission_list.hpp"
#include "security/permissions_window.hpp"
#include "security/user_accounts.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::cli {
namespace {

// Users are listed without their verifiers: nothing of a password leaves the program.
Json userJson(const store::Record& user) {
  return {{"Code", user.text("Code")},
          {"Name", user.text("Name")},
          {"Access Level", user.text("Access Level")},
          {"Expire Date", user.text("Expire Date")},
          {"Inactive", user.logical("Inactive")},
          {"Question", user.text("Question")}};
}

security::SecuritySetupWindow setupWindow(Context& context, practice::OpenPractice& open) {
  return security::SecuritySetupWindow(*open.connection, context.prompter(),
                                       open.security->clock());
}

int listUsers(Context& context) {
  practice::OpenPractice& open = context.openPractice();
  auto setup = setupWindow(context, open);
  context.require(security::permission_item::viewSecurity);
  const auto users = setup.users();
  if (context.json()) {
    Json list = Json::array();
    for (const auto& user : users) list.push_back(userJson(user));
    printJson(list);
  } else {
    for (const auto& user : users)
      std::cout << fmt::format("{:<10} {:<20} level {}{}\n", user.text("Code"), user.text("Name"),
                               user.text("Access Level"),
                               user.logical("Inactive") ? " (inactive)" : "");
  }
  return done;
}

void printUser(Context& context, practice::OpenPractice& open, const std::string& code) {
  if (!context.json()) return;
  const auto user = security::UserAccounts(*open.connection, open.security->clock()).find(code);
  printJson(user ? userJson(*user) : Json{{"Code", code}});
}

int saveUser(Context& context, const std::string& code, Fields fields, bool adding) {
  practice::OpenPractice& open = context.openPractice();
  auto setup = setupWindow(context, open);
  context.require(security::permission_item::editSecurity);
  const bool exists =
      security::UserAccounts(*open.connection, open.security->clock()).find(code).has_value();
  if (adding && exists) throw UsageError("There is already a user " + code + ".");
  if (!adding && !exists) throw UsageError("There is no user " + code + ".");
  // "Password=-" reads the password from standard input (after the login's,
  // when that comes from there too), so it never shows in the process list.
  for (auto& [field, value] : fields) {
    if (value == "-" && store::equalsIgnoringCase(field, "Password"))
      value = readStandardInputLine();
  }
  if (!setup.saveUser(code, fields) || !setup.close()) throw Refused();
  printUser(context, open, code);
  return done;
}

int deleteUser(Context& context, const std::string& code) {
  practice::OpenPractice& open = context.openPractice();
  auto setup = setupWindow(context, open);
  context.require(security::permission_item::editSecurity);
  if (!setup.deleteUser(code)) throw Refused();
  if (context.json()) printJson({{"deleted", code}});
  return done;
}

// The new password comes on standard input (twice: password, confirmation),
// never on the command line where other users could see it.
int changePassword(Context& context, const std::string& code) {
  practice::OpenPractice& open = context.openPractice();
  auto setup = setupWindow(context, open);
  context.require(security::permission_item::editSecurity);
  const std::string password = readStandardInputLine();
  std::string confirmation = readStandardInputLine();
  if (confirmation.empty()) confirmation = password;
  if (!setup.setPassword(code, password, confirmation)) throw Refused();
  printUser(context, open, code);
  return done;
}

Json permissionJson(const store::Record& row) {
  Json levels = Json::object();
  for (int level = 1; level <= 5; ++level) {
    const std::string name = "Level " + std::to_string(level);
    levels[name] = row.logical(name);
  }
  return {{"Item Number", row.integer("Item Number")},
          {"Window", row.text("Window")},
          {"Process", row.text("Process")},
          {"Levels", levels}};
}

// Whether the logged-in user may do the operation: what a guarded command would say.
int checkPermission(Context& context, std::int64_t item) {
  context.openPractice();
  context.require(static_cast<int>(item));
  if (context.json())
    printJson({{"item", item}, {"allowed", true}});
  else
    std::cout << "allowed\n";
  return done;
}

int showPermissions(Context& context, std::optional<std::int64_t> item) {
  practice::OpenPractice& open = context.openPractice();
  context.require(security::permission_item::permissions);
  open.security->reloadPermissions();
  security::PermissionsWindow window(*open.connection);
  Json list = Json::array();
  for (const auto& row : window.rows()) {
    if (item && row.integer("Item Number") != *item) continue;
    if (context.json()) {
      list.push_back(permissionJson(row));
      continue;
    }
    std::string levels;
    for (int level = 1; level <= 5; ++level)
      levels += row.logical("Level " + std::to_string(level)) ? " Y" : " -";
    std::cout << fmt::format("{:>4} {:<35} {:<35}{}\n", row.integer("Item Number"),
                             row.text("Window"), row.text("Process"), levels);
  }
  if (context.json()) printJson(list);
  return done;
}

int setPermission(Context& context, std::int64_t item, const Fields& levels) {
  practice::OpenPractice& open = context.openPractice();
  context.require(security::permission_item::permissions);
  open.security->reloadPermissions();
  security::PermissionsWindow window(*open.connection);
  store::Record* row = window.row(static_cast<int>(item));
  if (row == nullptr) throw UsageError(fmt::format("There is no permission item {}.", item));
  for (const auto& [levelText, value] : levels) {
    const std::string level = levelText.rfind("Level ", 0) == 0 ? levelText.substr(6) : levelText;
    row->setFromText("Level " + level, value);
    window.post(*row);
  }
  if (context.json()) printJson(permissionJson(*window.row(static_cast<int>(item))));
  return done;
}

int showLoginLog(Context& context) {
  practice::OpenPractice& open = context.openPractice();
  context.require(security::permission_item::loginLogoutReport);
  store::Table log = open.connection->openTable("QVLIO");
  log.setOrderByFields({"Time"});
  if (context.json()) {
    JsonArrayWriter rows;
    log.forEach([&](const store::Record& row) { rows.add(recordJson(row)); });
    rows.finish();
    return done;
  }
  log.forEach([&](const store::Record& row) {
    std::cout << fmt::format("{} {:<10} {:<4} {:<5} {}\n", row.timestamp("Time").toIso(),
                             row.text("User"), row.text("In Out"),
                             row.logical("Successful") ? "yes" : "no", row.text("Note"));
  });
  return done;
}

struct UserArguments {
  std::string code;
  Fields fields;
};

}  // namespace

void addSecurityCommands(CLI::App& app, Action& chosen) {
  constexpr std::int64_t lastItem = security::permissionSlots - 1;
  CLI::App* user = app.add_subcommand("user", "the practice's users");
  onRun(addVerb(user, "list", "the users with their levels"), chosen, listUsers);
  for (const bool adding : {true, false}) {
    auto arguments = std::make_shared<UserArguments>();
    CLI::App* verb =
        addVerb(user, adding ? "add" : "edit",
                adding ? "a new user; the first one turns security on" : "change a user");
    verb->add_option("CODE", arguments->code, "the user's code")->required();
    addFields(
        verb, arguments->fields,
        "fields of the user: \"Password=-\" reads the password from standard input (one line); "
        "a password is stored only as a verifier");
    onRun(verb, chosen, [arguments, adding](Context& context) {
      return saveUser(context, arguments->code, arguments->fields, adding);
    });
  }
  auto deleted = std::make_shared<std::string>();
  CLI::App* remove = addVerb(user, "delete", "delete a user");
  remove->add_option("CODE", *deleted, "the user's code")->required();
  onRun(remove, chosen, [deleted](Context& context) { return deleteUser(context, *deleted); });
  auto passwordOf = std::make_shared<std::string>();
  CLI::App* password = addVerb(
      user, "password", "a new password, read from standard input (password, then confirmation)");
  password->add_option("CODE", *passwordOf, "the user's code")->required();
  onRun(password, chosen,
        [passwordOf](Context& context) { return changePassword(context, *passwordOf); });

  CLI::App* permission = app.add_subcommand("permission", "the permissions of the access levels");
  auto shown = std::make_shared<std::optional<std::int64_t>>();
  CLI::App* show = addVerb(permission, "show", "the permission list, or one item of it");
  show->add_option_function<std::string>(
      "ITEM",
      [shown](const std::string& text) { *shown = parseWholeNumber(text, "ITEM", 0, lastItem); },
      "item number");
  onRun(show, chosen, [shown](Context& context) { return showPermissions(context, *shown); });
  auto setItem = std::make_shared<std::pair<std::int64_t, Fields>>();
  CLI::App* set =
      addVerb(permission, "set", "allow or refuse an item to levels: \"Level N=BOOL\"...");
  addWholeNumber(set, "ITEM", setItem->first, "item number", 0, lastItem)->required();
  addFields(set, setItem->second, "\"Level 3=true\" (or \"3=true\")")->required();
  onRun(set, chosen, [setItem](Context& context) {
    return setPermission(context, setItem->first, setItem->second);
  });
  auto checked = std::make_shared<std::int64_t>(0);
  CLI::App* check = addVerb(permission, "check", "whether the logged-in user may do the operation");
  addWholeNumber(check, "ITEM", *checked, "item number", 0, lastItem)->required();
  onRun(check, chosen, [checked](Context& context) { return checkPermission(context, *checked); });

  CLI::App* loginLog = app.add_subcommand("login-log", "the login and logout log");
  onRun(addVerb(loginLog, "show", "every login and logout, oldest first"), chosen, showLoginLog);
}

}  // namespace vantrell::cli
