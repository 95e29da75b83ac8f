#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "claims/claim_checks.hpp"
#include "claims/claim_picture.hpp"
#include "claims/print_send.hpp"
#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"

namespace vantrell::cli {
namespace {

struct OutputArguments {
  std::vector<std::int64_t> claims;
  std::string slot = "1";
  bool estimate = false;
  std::string receiver;
};

constexpr int printClaimsPermission = 31;

int slotOf(const std::string& text) {
  if (text == "1" || text == "2" || text == "3") return text[0] - '0';
  throw UsageError("--slot takes 1, 2 or 3.");
}

std::string patientTitle(const claims::ClaimPicture& picture) {
  std::string name = picture.patient.lastName;
  if (!picture.patient.firstName.empty()) name += ", " + picture.patient.firstName;
  return name.empty() ? picture.patient.chartNumber : name;
}

// The checks alone: every claim named, or every claim ready to send to the
// slot's carrier, with what is wrong on each. Refused when any fails.
int checkClaims(Context& context, const OutputArguments& arguments) {
  const int slot = slotOf(arguments.slot);
  store::Connection& practice = *context.openPractice().connection;
  const std::vector<std::int64_t> numbers =
      arguments.claims.empty() ? claims::claimsReadyToSend(practice, slot, {}, arguments.estimate)
                               : arguments.claims;
  Json results = Json::array();
  std::size_t failed = 0;
  for (const std::int64_t number : numbers) {
    const auto picture = claims::readClaimPicture(practice, number, slot, arguments.estimate);
    if (!picture) {
      context.prompter().error(fmt::format("Claim key {} not found", number));
      ++failed;
      continue;
    }
    const std::vector<claims::ClaimProblem> problems = claims::checkClaim(*picture);
    if (!problems.empty()) ++failed;
    if (context.json()) {
      Json list = Json::array();
      for (const auto& problem : problems)
        list.push_back({{"problem", problem.what}, {"where", problem.where}});
      results.push_back({{"claim", number},
                         {"slot", slot},
                         {"chart", picture->patient.chartNumber},
                         {"carrier", picture->policy.carrierCode},
                         {"problems", list}});
      continue;
    }
    if (problems.empty()) {
      std::cout << fmt::format("Claim {} ({}): ready to go.\n", number, patientTitle(*picture));
      continue;
    }
    std::cout << fmt::format("Claim {} ({}) to {}:\n", number, patientTitle(*picture),
                             picture->policy.carrierName.empty() ? picture->policy.carrierCode
                                                                 : picture->policy.carrierName);
    for (const auto& problem : problems)
      std::cout << "  - " << problem.what << "\n    Fix in: " << problem.where << '\n';
  }
  if (context.json()) {
    printJson(results);
  } else if (numbers.empty()) {
    std::cout << "No claims are ready to send to this carrier slot.\n";
  } else {
    std::cout << fmt::format("{} claim(s) checked, {} with problems.\n", numbers.size(), failed);
  }
  return failed == 0 ? done : refused;
}

// Electronic Print/Send: the receiver's sending program picks its ready
// claims and writes them; the claims it reports as sent are marked billed on
// the program date. Refused when the program is missing or did not send
// every ready claim.
int sendClaims(Context& context, const OutputArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(printClaimsPermission);
  claims::ShellCommandRunner runner;
  const claims::ElectronicSending sending{*open.connection,
                                          open.options,
                                          context.prompter(),
                                          context.settings(),
                                          runner,
                                          ui::ProcessLauncher::runningProgramDirectory(),
                                          open.location,
                                          context.application().programDate().value(),
                                          arguments.estimate};
  const claims::ElectronicOutcome outcome =
      claims::sendElectronicClaims(sending, arguments.receiver);
  if (!outcome.started) throw Refused();
  const auto& billing = outcome.billing;
  if (context.json()) {
    Json sent = Json::array();
    for (const auto& claim : outcome.report.sent)
      sent.push_back({{"claim", claim.claimNumber}, {"slot", claim.slot}});
    printJson(Json{{"file", outcome.report.file},
                   {"sent", sent},
                   {"billed", billing.updated},
                   {"in use", billing.inUse},
                   {"batch", billing.batch},
                   {"report", outcome.report.lines},
                   {"exit code", outcome.exitCode}});
  } else {
    for (const auto& line : outcome.report.lines) std::cout << line << '\n';
    if (!outcome.report.file.empty()) std::cout << "Claim file: " << outcome.report.file << '\n';
    if (!billing.updated.empty())
      std::cout << fmt::format("{} {} sent and marked Sent (batch {} for those without one).\n",
                               billing.updated.size(),
                               billing.updated.size() == 1 ? "claim" : "claims", billing.batch);
  }
  return outcome.exitCode == 0 && billing.inUse.empty() ? done : refused;
}

}  // namespace

void addClaimOutputVerbs(CLI::App* claim, Action& chosen) {
  auto arguments = std::make_shared<OutputArguments>();
  CLI::App* check = addVerb(claim, "check",
                            "checks claims before they leave: NPIs, tax IDs, codes, names, "
                            "addresses, dates of birth, policy numbers, pointers and totals");
  check
      ->add_option_function<std::vector<std::string>>(
          "CLAIMS",
          [arguments](const std::vector<std::string>& texts) {
            for (const auto& text : texts)
              arguments->claims.push_back(parseWholeNumber(text, "CLAIMS"));
          },
          "claim numbers (default: every claim ready to send to the slot's carrier)")
      ->type_name("N");
  check->add_option("--slot", arguments->slot, "carrier slot to check the claims for: 1, 2 or 3");
  check->add_flag("--estimate", arguments->estimate, "estimate claims (pretreatment plans)");
  onRun(check, chosen, [arguments](Context& context) { return checkClaims(context, *arguments); });

  auto sendArguments = std::make_shared<OutputArguments>();
  CLI::App* send = addVerb(claim, "send",
                           "runs the receiver's sending program on its claims ready to send and "
                           "marks the claims it sent billed");
  send->add_option("--receiver", sendArguments->receiver, "the electronic claim receiver's code")
      ->required();
  send->add_flag("--estimate", sendArguments->estimate, "estimate claims (pretreatment plans)");
  onRun(send, chosen,
        [sendArguments](Context& context) { return sendClaims(context, *sendArguments); });
}

}  // namespace vantrell::cli
