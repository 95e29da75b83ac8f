#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "claims/claim_billing.hpp"
#include "claims/claim_printing.hpp"
#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "pdf_renderer.hpp"

namespace vantrell::cli {
namespace {

constexpr int printClaimsPermission = 31;
constexpr std::size_t claimsPerPart = 200;

struct PrintArguments {
  std::vector<std::int64_t> claims;
  std::int64_t slot = 1;
  std::string form = "plain";
  std::string pdf;
  bool estimate = false;
  double shiftRight = 0;  // points
  double shiftDown = 0;
};

// "RIGHT,DOWN" in inches, as a clerk measures a test print against the form.
void parseShift(const std::string& text, PrintArguments& arguments) {
  const std::size_t comma = text.find(',');
  const auto inches = [&](const std::string& part) {
    char* end = nullptr;
    const double value = std::strtod(part.c_str(), &end);
    if (part.empty() || end != part.c_str() + part.size() || std::abs(value) > 1)
      throw UsageError(fmt::format(
          "\"{}\" is not a shift for --shift: give RIGHT,DOWN in inches, each within 1.", text));
    return value * 72;
  };
  if (comma == std::string::npos)
    throw UsageError(
        fmt::format("\"{}\" is not a shift for --shift: give RIGHT,DOWN in inches.", text));
  arguments.shiftRight = inches(text.substr(0, comma));
  arguments.shiftDown = inches(text.substr(comma + 1));
}

int writeClaimForms(Context& context, const PrintArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(printClaimsPermission);
  store::Connection& practice = *open.connection;
  const int slot = static_cast<int>(arguments.slot);

  const std::vector<std::int64_t> numbers =
      arguments.claims.empty() ? claims::paperClaimsReadyToPrint(practice, slot, arguments.estimate)
                               : arguments.claims;
  claims::ClaimFormOptions options;
  options.paper = arguments.form == "red" ? claims::ClaimFormPaper::RedForm
                                          : claims::ClaimFormPaper::PlainPaper;
  options.signatureDate = context.application().programDate().value();
  options.shiftRight = arguments.shiftRight;
  options.shiftDown = arguments.shiftDown;
  // A long run is laid out and drawn a part at a time, so it never holds
  // thousands of forms at once; an unfinished file never replaces the target.
  pdf::PdfWriter writer(arguments.pdf, printing::usLetter, "Claims");
  std::vector<std::int64_t> printed;
  std::vector<std::int64_t> missing;
  std::vector<std::int64_t> withoutCarrier;
  for (std::size_t first = 0; first < numbers.size(); first += claimsPerPart) {
    const std::vector<std::int64_t> part(
        numbers.begin() + static_cast<std::ptrdiff_t>(first),
        numbers.begin() +
            static_cast<std::ptrdiff_t>(std::min(numbers.size(), first + claimsPerPart)));
    const claims::ClaimFormRun run =
        claims::claimFormRun(practice, part, slot, options, arguments.estimate);
    printed.insert(printed.end(), run.printed.begin(), run.printed.end());
    missing.insert(missing.end(), run.missing.begin(), run.missing.end());
    withoutCarrier.insert(withoutCarrier.end(), run.withoutCarrier.begin(),
                          run.withoutCarrier.end());
    writer.add(run.document);
  }
  for (std::int64_t number : missing)
    context.prompter().warn(fmt::format("There is no claim {}.", number));
  for (std::int64_t number : withoutCarrier)
    context.prompter().warn(
        fmt::format("Claim {} has no carrier in slot {}; it is not printed.", number, slot));
  if (printed.empty()) {
    context.prompter().error("There are no claims to print.");
    throw Refused();
  }
  writer.finish();
  // Only a whole file bills: the claims printed now carry the billed status.
  claims::ClaimBillingRun billing;
  for (std::int64_t number : printed) billing.claims.push_back({number, slot});
  billing.billingDate = context.application().programDate().value();
  billing.estimate = arguments.estimate;
  const claims::ClaimBillingOutcome billed =
      claims::recordClaimsBilled(practice, open.options, context.prompter(), billing);

  if (context.json()) {
    printJson(Json{{"pdf", arguments.pdf},
                   {"slot", slot},
                   {"form", arguments.form},
                   {"claims", printed},
                   {"missing", missing},
                   {"without carrier", withoutCarrier},
                   {"batch", billed.batch},
                   {"billed", billed.updated},
                   {"in use", billed.inUse},
                   {"pages", writer.pagesWritten()}});
  } else {
    std::cout << fmt::format("{} {} printed to {} ({} {}).\n", printed.size(),
                             printed.size() == 1 ? "claim" : "claims", arguments.pdf,
                             writer.pagesWritten(), writer.pagesWritten() == 1 ? "page" : "pages");
    if (!billed.updated.empty())
      std::cout << fmt::format("{} {} marked Sent (batch {} for those without one).\n",
                               billed.updated.size(),
                               billed.updated.size() == 1 ? "claim" : "claims", billed.batch);
  }
  return 0;
}

int printClaimForms(Context& context, const PrintArguments& arguments) {
  try {
    return writeClaimForms(context, arguments);
  } catch (const pdf::PdfError& error) {
    context.prompter().error(error.what());
    throw Refused();
  }
}

}  // namespace

void addClaimFormVerbs(CLI::App* claim, Action& chosen) {
  auto arguments = std::make_shared<PrintArguments>();
  CLI::App* print = claim->add_subcommand(
      "print",
      "writes the 1500 claim forms of claims to a PDF (without claim numbers: the claims whose "
      "slot is Ready to Send on paper) and marks the printed claims billed for the slot");
  print->add_option_function<std::vector<std::string>>(
      "CLAIMS",
      [arguments](const std::vector<std::string>& texts) {
        for (const std::string& text : texts)
          arguments->claims.push_back(parseWholeNumber(text, "CLAIMS", 1));
      },
      "claim numbers");
  addWholeNumber(print, "--slot", arguments->slot,
                 "the carrier slot to bill: 1, 2 or 3 (default 1)", 1, 3);
  print
      ->add_option("--form", arguments->form,
                   "red: the data only, for the red pre-printed form; plain: the whole form "
                   "drawn on plain paper (default)")
      ->check(CLI::IsMember({"red", "plain"}));
  print->add_option("--pdf", arguments->pdf, "the PDF file to write")->required();
  print->add_flag("--estimate", arguments->estimate, "estimates and pretreatment plans");
  print->add_option_function<std::string>(
      "--shift", [arguments](const std::string& text) { parseShift(text, *arguments); },
      "moves everything RIGHT,DOWN inches (negative: left, up) to meet the printer's feed on "
      "the red form, e.g. 0.05,-0.1");
  onRun(print, chosen,
        [arguments](Context& context) { return printClaimForms(context, *arguments); });
}

}  // namespace vantrell::cli
