#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "claims/claim_actions.hpp"
#include "claims/claim_billing.hpp"
#include "claims/claim_printing.hpp"
#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "paper_claims.hpp"
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

// What a written file holds.
struct FormsWritten {
  std::vector<std::int64_t> printed;
  std::vector<std::int64_t> missing;
  std::vector<std::int64_t> withoutCarrier;
  std::size_t pages = 0;
  claims::ClaimBillingOutcome billed;
};

// Writes the forms of the claims to the PDF, then marks billed the claims
// printed; refused (nothing billed) when there is none to print.
FormsWritten writeFormsAndBill(Context& context, practice::OpenPractice& open,
                               const std::vector<std::int64_t>& numbers, int slot,
                               const PrintArguments& arguments) {
  store::Connection& practice = *open.connection;
  claims::ClaimFormOptions options;
  options.paper = arguments.form == "red" ? claims::ClaimFormPaper::RedForm
                                          : claims::ClaimFormPaper::PlainPaper;
  options.signatureDate = context.application().programDate().value();
  options.shiftRight = arguments.shiftRight;
  options.shiftDown = arguments.shiftDown;
  // A long run is laid out and drawn a part at a time, so it never holds
  // thousands of forms at once; an unfinished file never replaces the target.
  pdf::PdfWriter writer(arguments.pdf, printing::usLetter, "Claims");
  FormsWritten written;
  for (std::size_t first = 0; first < numbers.size(); first += claimsPerPart) {
    const std::vector<std::int64_t> part(
        numbers.begin() + static_cast<std::ptrdiff_t>(first),
        numbers.begin() +
            static_cast<std::ptrdiff_t>(std::min(numbers.size(), first + claimsPerPart)));
    const claims::ClaimFormRun run =
        claims::claimFormRun(practice, part, slot, options, arguments.estimate);
    written.printed.insert(written.printed.end(), run.printed.begin(), run.printed.end());
    written.missing.insert(written.missing.end(), run.missing.begin(), run.missing.end());
    written.withoutCarrier.insert(written.withoutCarrier.end(), run.withoutCarrier.begin(),
                                  run.withoutCarrier.end());
    writer.add(run.document);
  }
  for (std::int64_t number : written.missing)
    context.prompter().warn(fmt::format("There is no claim {}.", number));
  for (std::int64_t number : written.withoutCarrier)
    context.prompter().warn(
        fmt::format("Claim {} has no carrier in slot {}; it is not printed.", number, slot));
  if (written.printed.empty()) {
    context.prompter().error("There are no claims to print.");
    throw Refused();
  }
  writer.finish();
  written.pages = writer.pagesWritten();
  // Only a whole file bills: the claims printed now carry the billed status.
  claims::ClaimBillingRun billing;
  for (std::int64_t number : written.printed) billing.claims.push_back({number, slot});
  billing.billingDate = context.application().programDate().value();
  billing.estimate = arguments.estimate;
  written.billed = claims::recordClaimsBilled(practice, open.options, context.prompter(), billing);
  return written;
}

void reportForms(Context& context, const PrintArguments& arguments, int slot,
                 const FormsWritten& written) {
  if (context.json()) {
    printJson(Json{{"pdf", arguments.pdf},
                   {"slot", slot},
                   {"form", arguments.form},
                   {"claims", written.printed},
                   {"missing", written.missing},
                   {"without carrier", written.withoutCarrier},
                   {"batch", written.billed.batch},
                   {"billed", written.billed.updated},
                   {"in use", written.billed.inUse},
                   {"pages", written.pages}});
    return;
  }
  std::cout << fmt::format("{} {} printed to {} ({} {}).\n", written.printed.size(),
                           written.printed.size() == 1 ? "claim" : "claims", arguments.pdf,
                           written.pages, written.pages == 1 ? "page" : "pages");
  if (!written.billed.updated.empty())
    std::cout << fmt::format(
        "{} {} marked Sent (batch {} for those without one).\n", written.billed.updated.size(),
        written.billed.updated.size() == 1 ? "claim" : "claims", written.billed.batch);
}

int writeClaimForms(Context& context, const PrintArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(printClaimsPermission);
  const int slot = static_cast<int>(arguments.slot);
  const std::vector<std::int64_t> numbers =
      arguments.claims.empty()
          ? claims::paperClaimsReadyToPrint(*open.connection, slot, arguments.estimate)
          : arguments.claims;
  reportForms(context, arguments, slot, writeFormsAndBill(context, open, numbers, slot, arguments));
  return 0;
}

// Rebill's printing: the forms to the PDF for real; printing has completed
// when the whole file is written.
class PdfClaimPrinting final : public claims::ClaimPrinting {
 public:
  PdfClaimPrinting(Context& context, practice::OpenPractice& open, const PrintArguments& arguments)
      : context_(context), open_(open), arguments_(arguments) {}
  bool print(const std::vector<std::int64_t>& claimNumbers, int slot) override {
    try {
      written = writeFormsAndBill(context_, open_, claimNumbers, slot, arguments_);
      return true;
    } catch (const Refused&) {
      return false;
    } catch (const pdf::PdfError& error) {
      context_.prompter().error(error.what());
      return false;
    }
  }
  std::optional<FormsWritten> written;

 private:
  Context& context_;
  practice::OpenPractice& open_;
  const PrintArguments& arguments_;
};

constexpr int rebillClaimsPermission = 29;

int rebillClaims(Context& context, const PrintArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(rebillClaimsPermission);
  claims::ClaimActions actions(claims::ClaimSurroundings{
      *open.connection, context.prompter(), open.security.get(),
      [&context] { return context.application().programDate().value(); }, arguments.estimate});
  PdfClaimPrinting printing(context, open, arguments);
  const int slot = static_cast<int>(arguments.slot);
  if (!actions.rebill(arguments.claims, slot, printing) || !printing.written) throw Refused();
  reportForms(context, arguments, slot, *printing.written);
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

// Runs after a window's save, one per slot: the first run writes the file
// asked for, a later one the same name with its slot.
class FollowUpClaimPrinting final : public claims::ClaimPrinting {
 public:
  FollowUpClaimPrinting(Context& context, practice::OpenPractice& open, std::string pdf)
      : context_(context), open_(open), pdf_(std::move(pdf)) {}
  bool print(const std::vector<std::int64_t>& claimNumbers, int slot) override {
    PrintArguments arguments;
    arguments.claims = claimNumbers;
    arguments.slot = slot;
    arguments.pdf = pdf_;
    if (runs_++ > 0) {
      std::filesystem::path path(pdf_);
      arguments.pdf = (path.parent_path() / (path.stem().string() + "-slot" + std::to_string(slot) +
                                             path.extension().string()))
                          .string();
    }
    PdfClaimPrinting printing(context_, open_, arguments);
    if (!printing.print(claimNumbers, slot) || !printing.written) return false;
    reportForms(context_, arguments, slot, *printing.written);
    return true;
  }

 private:
  Context& context_;
  practice::OpenPractice& open_;
  std::string pdf_;
  int runs_ = 0;
};

}  // namespace

std::unique_ptr<claims::ClaimPrinting> paperClaimPrinting(Context& context,
                                                          practice::OpenPractice& open,
                                                          const std::string& pdf) {
  context.require(printClaimsPermission);
  return std::make_unique<FollowUpClaimPrinting>(context, open, pdf);
}

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

  auto rebillArguments = std::make_shared<PrintArguments>();
  CLI::App* rebill = claim->add_subcommand(
      "rebill",
      "puts the claims' slot back to Ready to Send (several claims: on paper only, in a new "
      "batch), prints their forms to a PDF and marks them billed again; when printing fails "
      "the claims are as they were");
  rebill
      ->add_option_function<std::vector<std::string>>(
          "CLAIMS",
          [rebillArguments](const std::vector<std::string>& texts) {
            for (const std::string& text : texts)
              rebillArguments->claims.push_back(parseWholeNumber(text, "CLAIMS", 1));
          },
          "claim numbers")
      ->required();
  addWholeNumber(rebill, "--slot", rebillArguments->slot,
                 "the carrier slot to bill: 1, 2 or 3 (default 1)", 1, 3);
  rebill->add_option("--form", rebillArguments->form, "red or plain (default)")
      ->check(CLI::IsMember({"red", "plain"}));
  rebill->add_option("--pdf", rebillArguments->pdf, "the PDF file to write")->required();
  rebill->add_flag("--estimate", rebillArguments->estimate, "estimates and pretreatment plans");
  onRun(rebill, chosen, [rebillArguments](Context& context) {
    try {
      return rebillClaims(context, *rebillArguments);
    } catch (const pdf::PdfError& error) {
      context.prompter().error(error.what());
      throw Refused();
    }
  });
}

}  // namespace vantrell::cli
