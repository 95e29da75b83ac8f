#include "command_tree.hpp"

#include <charconv>
#include <iostream>

#include <fmt/format.h>

namespace vantrell::cli {
namespace {

constexpr const char* footer = R"(
FIELD=VALUE pairs name fields by their display names ("Last Name=Li"); logicals are
true/false, T/F, yes/no or 1/0, dates yyyy-mm-dd or mm/dd/yyyy, money a decimal.
"CS" as the very first argument is the same as --server.
The global options (--root, --practice, --server, --user, --password, --yes, --json)
may stand anywhere on the line; vantrell-cli --help lists them. Every command takes
--help, and --json to print its result as JSON.
Exit codes: 0 done, 1 refused by a rule of the system, 2 usage error, 3 engine or file failure.)";

void setOptional(CLI::App& app, const std::string& name, std::optional<std::string>& target,
                 const char* typeName, const std::string& description) {
  app.add_option_function<std::string>(
         name, [&target](const std::string& value) { target = value; }, description)
      ->type_name(typeName);
}

}  // namespace

std::int64_t parseWholeNumber(const std::string& text, const std::string& argument,
                              std::int64_t minimum, std::int64_t maximum) {
  std::int64_t number = 0;
  const char* end = text.data() + text.size();
  const bool digitsOnly =
      !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (!digitsOnly || error == std::errc::invalid_argument || stop != end)
    throw UsageError(fmt::format("\"{}\" is not a whole number for {}.", text, argument));
  if (error == std::errc::result_out_of_range || number < minimum || number > maximum) {
    if (maximum == std::numeric_limits<std::int64_t>::max())
      throw UsageError(fmt::format("\"{}\" is out of range for {}: it must be {} or more.", text,
                                   argument, minimum));
    throw UsageError(fmt::format("\"{}\" is out of range for {}: it must be from {} to {}.", text,
                                 argument, minimum, maximum));
  }
  return number;
}

std::string readStandardInputLine() {
  std::string line;
  std::getline(std::cin, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void onRun(CLI::App* verb, Action& chosen, Action action) {
  verb->callback([&chosen, action = std::move(action)] { chosen = action; });
}

CLI::Option* addWholeNumber(CLI::App* app, const std::string& name, std::int64_t& target,
                            const std::string& description, std::int64_t minimum,
                            std::int64_t maximum) {
  return app
      ->add_option_function<std::string>(
          name,
          [&target, name, minimum, maximum](const std::string& text) {
            target = parseWholeNumber(text, name, minimum, maximum);
          },
          description)
      ->type_name("N");
}

CLI::Option* addFields(CLI::App* verb, Fields& fields, const std::string& description) {
  return verb
      ->add_option_function<std::vector<std::string>>(
          "FIELD=VALUE",
          [&fields](const std::vector<std::string>& pairs) {
            for (const auto& pair : pairs) {
              const auto equals = pair.find('=');
              if (equals == std::string::npos || equals == 0)
                throw UsageError(fmt::format("\"{}\" is not a FIELD=VALUE pair.", pair));
              fields.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
            }
          },
          description)
      ->type_name("");
}

CLI::App* addVerb(CLI::App* noun, const std::string& name, const std::string& description) {
  return noun->add_subcommand(name, description);
}

CommandTree::CommandTree(GlobalOptions& globals)
    : app("Patient accounting from the command line: NOUN VERB [ARGS] [FIELD=VALUE ...]",
          "vantrell-cli") {
  app.footer(footer);
  // Global options may stand after the noun and the verb too.
  app.fallthrough();
  app.get_formatter()->column_width(34);
  setOptional(app, "--root", globals.root, "DIR",
              "root data directory (practice list, users in the program)");
  setOptional(app, "--practice", globals.practice, "PATH",
              "practice directory; with --server, database/practice on the server");
  app.add_flag("--server", globals.server,
               "use the database server (VANTRELL_SERVER holds its connection string)");
  setOptional(app, "--user", globals.user, "CODE", "log in to a practice with users as CODE");
  setOptional(app, "--password", globals.password, "PW",
              "the user's password; \"-\" reads it from standard input");
  app.add_flag("--yes", globals.yes, "answer Yes to the system's questions");
  app.add_flag("--json", globals.json, "print results as JSON");
  app.add_flag("--reset-practice", globals.resetPractice,
               "forget the practice opened last (as F8 held at start-up)");
  app.add_flag("--reset-root", globals.resetRoot,
               "forget it and the root data directory too (as F7)");
  for (auto* option : app.get_options()) option->group("Global options");

  addSchemaCommands(app, chosen);
  addPracticeCommands(app, chosen);
  addSecurityCommands(app, chosen);
  addReferenceCommands(app, chosen);
  addAccountsCommands(app, chosen);
  addTransactionCommands(app, chosen);
  addClaimCommands(app, chosen);
  addStatementCommands(app, chosen);
  addDepositCommands(app, chosen);
  addReportCommands(app, chosen);
  addCollectionCommands(app, chosen);
  addMaintenanceCommands(app, chosen);
  addRemittanceCommands(app, chosen);
  addQuickBalanceCommand(app, chosen);
  addCompletionCommand(app, chosen);
}

}  // namespace vantrell::cli
