#include <iostream>

#include <fmt/format.h>

#include "context.hpp"
#include "output.hpp"
#include "security/permission_list.hpp"
#include "security/permissions_window.hpp"
#include "security/user_accounts.hpp"
#include "store/table.hpp"

namespace vantrell::cli {
namespace {

// Users are listed without their verifiers: nothing of a password leaves the program.
std::string userJson(const store::Record& user) {
  return fmt::format("{{\"Code\": {}, \"Name\": {}, \"Access Level\": {}, \"Expire Date\": {}, \"Inactive\": {}, "
                     "\"Question\": {}}}",
                     jsonString(user.text("Code")), jsonString(user.text("Name")),
                     jsonString(user.text("Access Level")), jsonString(user.text("Expire Date")),
                     user.logical("Inactive") ? "true" : "false", jsonString(user.text("Question")));
}

std::string readLine() {
  std::string line;
  std::getline(std::cin, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

int userCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  security::SecuritySetupWindow setup(*open.connection, context.prompter(), open.security->clock());
  if (line.verb == "list") {
    context.require(security::permission_item::viewSecurity);
    const auto users = setup.users();
    if (line.json) {
      std::cout << "[";
      for (std::size_t i = 0; i < users.size(); ++i) std::cout << (i > 0 ? ",\n " : "") << userJson(users[i]);
      std::cout << "]\n";
    } else {
      for (const auto& user : users)
        std::cout << fmt::format("{:<10} {:<20} level {}{}\n", user.text("Code"), user.text("Name"),
                                 user.text("Access Level"), user.logical("Inactive") ? " (inactive)" : "");
    }
    return done;
  }
  context.require(security::permission_item::editSecurity);
  if (line.arguments.size() != 1) throw UsageError("user " + line.verb + " needs the user's CODE.");
  const std::string& code = line.arguments[0];
  if (line.verb == "add" || line.verb == "edit") {
    const bool exists = security::UserAccounts(*open.connection, open.security->clock()).find(code).has_value();
    if (line.verb == "add" && exists) throw UsageError("There is already a user " + code + ".");
    if (line.verb == "edit" && !exists) throw UsageError("There is no user " + code + ".");
    if (!setup.saveUser(code, line.fields) || !setup.close()) throw Refused();
    return done;
  }
  if (line.verb == "delete") {
    if (!setup.deleteUser(code)) throw Refused();
    return done;
  }
  if (line.verb == "password") {
    // The new password comes on standard input (twice: password, confirmation),
    // never on the command line where other users could see it.
    const std::string password = readLine();
    std::string confirmation = readLine();
    if (confirmation.empty()) confirmation = password;
    if (!setup.setPassword(code, password, confirmation)) throw Refused();
    return done;
  }
  throw UsageError("Unknown command \"user " + line.verb + "\".");
}

int permissionCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  if (line.verb == "check") {
    // Whether the logged-in user may do the operation: what a guarded command would say.
    if (line.arguments.size() != 1) throw UsageError("permission check needs an ITEM number.");
    context.require(std::stoi(line.arguments[0]));
    std::cout << "allowed\n";
    return done;
  }
  context.require(security::permission_item::permissions);
  open.security->reloadPermissions();
  security::PermissionsWindow window(*open.connection);
  if (line.verb == "show") {
    for (const auto& row : window.rows()) {
      if (!line.arguments.empty() && std::to_string(row.integer("Item Number")) != line.arguments[0]) continue;
      std::string levels;
      for (int level = 1; level <= 5; ++level) levels += row.logical("Level " + std::to_string(level)) ? " Y" : " -";
      std::cout << fmt::format("{:>4} {:<35} {:<35}{}\n", row.integer("Item Number"), row.text("Window"),
                               row.text("Process"), levels);
    }
    return done;
  }
  if (line.verb == "set") {
    if (line.arguments.size() != 1 || line.fields.empty()) throw UsageError("permission set needs ITEM and LEVEL=BOOL.");
    const int item = std::stoi(line.arguments[0]);
    for (const auto& [levelText, value] : line.fields) {
      const std::string prefix = levelText.rfind("Level ", 0) == 0 ? levelText.substr(6) : levelText;
      store::Record* row = window.row(item);
      if (row == nullptr) throw UsageError("There is no permission item " + line.arguments[0] + ".");
      row->setFromText("Level " + prefix, value);
      window.post(*row);
    }
    return done;
  }
  throw UsageError("Unknown command \"permission " + line.verb + "\".");
}

int loginLogCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  context.require(security::permission_item::loginLogoutReport);
  if (line.verb != "show") throw UsageError("Unknown command \"login-log " + line.verb + "\".");
  store::Table log = open.connection->openTable("QVLIO");
  log.setOrderByFields({"Time"});
  log.forEach([&](const store::Record& row) {
    std::cout << fmt::format("{} {:<10} {:<4} {:<5} {}\n", row.timestamp("Time").toIso(), row.text("User"),
                             row.text("In Out"), row.logical("Successful") ? "yes" : "no", row.text("Note"));
  });
  return done;
}

}  // namespace vantrell::cli
