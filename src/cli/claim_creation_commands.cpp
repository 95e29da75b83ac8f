#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "claims/claim_creation.hpp"
#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"

namespace vantrell::cli {
namespace {

// The dialog's fields as the command line takes them.
struct CreateArguments {
  std::string fromDate, toDate;
  std::string fromChart, toChart;
  std::string primary, billingCodes, indicators, location, provider;
  bool attending = false;
  std::string minimum;
  bool estimate = false;
};

Date dateArgument(const std::string& text, const char* option) {
  if (text.empty()) return {};
  const auto date = Date::parse(text);
  if (!date || date->isEmpty())
    throw UsageError(fmt::format("\"{}\" is not a date for {}.", text, option));
  return *date;
}

int createClaimsCommand(Context& context, const CreateArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  // The command line names the Provider mode each time; nothing is remembered.
  ui::MemorySettings settings;
  claims::ClaimCriteriaDialog dialog(settings, context.prompter());
  claims::ClaimCriteria& criteria = dialog.criteria();
  criteria.fromDate = dateArgument(arguments.fromDate, "--from-date");
  criteria.toDate = dateArgument(arguments.toDate, "--to-date");
  criteria.fromChart = arguments.fromChart;
  criteria.toChart = arguments.toChart;
  criteria.primaryInsurance = arguments.primary;
  criteria.billingCodes = arguments.billingCodes;
  criteria.caseIndicators = arguments.indicators;
  criteria.location = arguments.location;
  dialog.setProvider(arguments.provider);
  dialog.setProviderMode(arguments.attending ? claims::ProviderMode::Attending
                                             : claims::ProviderMode::Assigned);
  if (!arguments.minimum.empty()) {
    const auto minimum = Money::parse(arguments.minimum);
    if (!minimum)
      throw UsageError(fmt::format("\"{}\" is not an amount for --minimum.", arguments.minimum));
    criteria.minimum = *minimum;
  }
  if (dialog.confirm() != claims::ClaimCriteriaDialog::Field::None) throw Refused();

  const claims::ClaimCreationResult result = claims::createClaims(
      {*open.connection, context.prompter(), open.security.get(), nullptr, arguments.estimate},
      criteria);
  if (!result.permitted || result.claims.empty()) throw Refused();
  if (context.json()) {
    Json numbers = Json::array();
    for (const auto number : result.claims) numbers.push_back(number);
    printJson(numbers);
  } else {
    for (const auto number : result.claims) std::cout << number << '\n';
  }
  return done;
}

}  // namespace

void addClaimCreationVerbs(CLI::App* claim, Action& chosen) {
  auto arguments = std::make_shared<CreateArguments>();
  CLI::App* create = addVerb(
      claim, "create",
      "Create Claims from the unbilled insurance charges; prints the numbers of the new claims");
  create->add_option("--from-date", arguments->fromDate, "charges from this date (yyyy-mm-dd)");
  create->add_option("--to-date", arguments->toDate, "charges up to this date (yyyy-mm-dd)");
  create->add_option("--from-chart", arguments->fromChart, "charts from this chart number");
  create->add_option("--to-chart", arguments->toChart, "charts up to this chart number");
  create->add_option("--primary", arguments->primary,
                     "primary insurance carriers of the case, separated by commas");
  create->add_option("--billing-codes", arguments->billingCodes,
                     "billing codes of the case, separated by commas");
  create->add_option("--indicators", arguments->indicators, "case indicators, separated by commas");
  create->add_option("--location", arguments->location, "place of service of the charges");
  create->add_option("--provider", arguments->provider,
                     "assigned providers of the case (separated by commas), or with --attending "
                     "the attending provider of the charges");
  create->add_flag("--attending", arguments->attending,
                   "match and group by the charges' attending provider");
  create->add_option("--minimum", arguments->minimum,
                     "bill a claim only when its total is above this amount");
  create->add_flag("--estimate", arguments->estimate, "estimates and pretreatment plans");
  onRun(create, chosen,
        [arguments](Context& context) { return createClaimsCommand(context, *arguments); });
}

}  // namespace vantrell::cli
