#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "statements/statement_creation.hpp"
#include "store/names.hpp"

namespace vantrell::cli {
namespace {

struct CreateArguments {
  std::string type = "S";
  std::string fromChart, toChart, fromDate, toDate, minimum, chart;
  std::string billingCode, caseIndicator, location, provider;
  std::optional<std::string> minimumGiven;
};

Date dateArgument(const std::string& text, const char* name) {
  const auto date = Date::parse(text);
  if (!date) throw UsageError(fmt::format("{} is not a date: {}", name, text));
  return *date;
}

// The statement window's surroundings on the practice the command opened.
statements::Surroundings statementSurroundings(Context& context, practice::OpenPractice& open) {
  return {*open.connection,
          open.options,
          context.prompter(),
          context.settings(),
          open.security->clock(),
          open.security.get(),
          nullptr};
}

int createStatements(Context& context, const CreateArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  const bool rangeMode = arguments.chart.empty();
  const int permission =
      rangeMode ? statements::createFromStatementList : statements::createFromLedger;
  context.require(permission);
  const Date fromDate =
      arguments.fromDate.empty() ? Date{} : dateArgument(arguments.fromDate, "--from-date");
  const Date toDate =
      arguments.toDate.empty() ? Date{} : dateArgument(arguments.toDate, "--to-date");
  statements::CreationOutcome outcome;
  bool filled = false, badMinimum = false;
  statements::createStatements(
      statementSurroundings(context, open), arguments.chart, rangeMode, true, permission,
      [&](statements::StatementCreateDialog& dialog) {
        // A dialog the command line cannot correct ends the command.
        if (filled) return false;
        filled = true;
        dialog.chooseType(arguments.type == "R" ? 1 : 0);
        if (arguments.minimumGiven && !dialog.setMinimumTotal(*arguments.minimumGiven)) {
          context.prompter().error("The minimum statement total is not an amount: " +
                                   *arguments.minimumGiven);
          badMinimum = true;
          return false;
        }
        dialog.setChartRange(arguments.fromChart, arguments.toChart);
        dialog.setDateRange(fromDate, toDate);
        dialog.setBillingCode(arguments.billingCode);
        dialog.setCaseIndicator(arguments.caseIndicator);
        dialog.setLocation(arguments.location);
        dialog.setProvider(arguments.provider);
        return true;
      },
      &outcome);
  if (context.json()) {
    Json made = Json::array();
    for (const auto number : outcome.statements) made.push_back(number);
    printJson({{"statements", made}, {"aborted", outcome.aborted}});
  } else {
    for (const auto number : outcome.statements) std::cout << number << '\n';
  }
  // A range the dialog refused, or an amount it cannot take, made nothing.
  if (badMinimum || (filled && !outcome.ran)) throw Refused();
  return done;
}

}  // namespace

void addStatementCreationVerbs(CLI::App* statement, Action& chosen) {
  auto create = std::make_shared<CreateArguments>();
  CLI::App* verb = addVerb(statement, "create",
                           "statements for the guarantors of unassigned lines (range mode), or "
                           "for one chart with --chart; prints the statement numbers made");
  verb->add_option("--type", create->type, "S standard (the default) or R remainder")
      ->check(CLI::IsMember({"S", "R"}));
  verb->add_option("--from-chart", create->fromChart, "first chart number of the range");
  verb->add_option("--to-chart", create->toChart, "last chart number of the range");
  verb->add_option("--from-date", create->fromDate, "first date of service (mm/dd/yyyy or ISO)");
  verb->add_option("--to-date", create->toDate, "last date of service");
  verb->add_option("--minimum", create->minimumGiven,
                   "create statements only when the total is greater than this amount");
  verb->add_option("--billing-code", create->billingCode, "the cases' billing codes (a,b,...)");
  verb->add_option("--case-indicator", create->caseIndicator, "the cases' indicators (a,b,...)");
  verb->add_option("--location", create->location, "places of service (a,b,...)");
  verb->add_option("--provider", create->provider, "the attending provider");
  verb->add_option("--chart", create->chart, "one chart only (single-account mode)");
  onRun(verb, chosen, [create](Context& context) { return createStatements(context, *create); });
}

void addQuickBalanceCommand(CLI::App& /*app*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
