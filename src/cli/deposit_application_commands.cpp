// `deposit apply`: one patient's part of a deposit, posted through the payment
// application window in one save.
#include <array>
#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "deposits/payment_application.hpp"
#include "output.hpp"
#include "paper_claims.hpp"
#include "pdf_renderer.hpp"
#include "statement_surroundings.hpp"

namespace vantrell::cli {
namespace {

// What one ENTRY=... argument asks for one charge.
struct ChargeEntry {
  std::int64_t charge = 0;
  std::array<std::optional<Money>, 6> amounts;  // payment ... take back, as typed
  bool complete = false;
  std::string rejection;
};

struct ApplyArguments {
  std::int64_t deposit = 0;
  std::string chart;
  bool oldest = false;
  std::string billRemaining;   // the PDF of the due claims' forms
  std::string printStatement;  // the PDF of the patient's statement
  std::vector<ChargeEntry> entries;
};

constexpr const char* entryForm =
    "ENTRY=payment[,deductible[,withhold[,allowed[,adjustment[,takeback]]]]][:complete][:REJ]";

ChargeEntry parseEntry(const std::string& text) {
  const auto equals = text.find('=');
  if (equals == std::string::npos)
    throw UsageError(fmt::format("\"{}\" is not of the form {}.", text, entryForm));
  ChargeEntry entry;
  entry.charge = parseWholeNumber(text.substr(0, equals), "ENTRY");
  // The amounts, then each ":" mark in the order typed.
  std::vector<std::string> parts;
  for (std::size_t start = equals + 1;;) {
    const auto colon = text.find(':', start);
    parts.push_back(text.substr(start, colon == std::string::npos ? colon : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  const std::string rest = parts.front();
  const std::vector<std::string> marks(parts.begin() + 1, parts.end());
  std::size_t slot = 0;
  std::size_t start = 0;
  while (true) {
    const auto comma = rest.find(',', start);
    const std::string amount =
        rest.substr(start, comma == std::string::npos ? comma : comma - start);
    if (slot >= entry.amounts.size())
      throw UsageError(fmt::format("\"{}\" has more amounts than {}.", text, entryForm));
    if (!amount.empty()) {
      const auto parsed = Money::parse(amount);
      if (!parsed || parsed->tenThousandths() % 100 != 0)
        throw UsageError(
            fmt::format("\"{}\" is not an amount to the cent in \"{}\".", amount, text));
      entry.amounts[slot] = *parsed;
    }
    ++slot;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (const auto& mark : marks) {
    if (mark == "complete")
      entry.complete = true;
    else if (!mark.empty() && entry.rejection.empty())
      entry.rejection = mark;
    else
      throw UsageError(fmt::format("\"{}\" is not of the form {}.", text, entryForm));
  }
  return entry;
}

// Print Statement Now: the statement the save made or found, written to the
// PDF asked for. The statement is not billed by this: it stays as made.
class PdfStatementPrinting final : public statements::StatementPrinting {
 public:
  PdfStatementPrinting(Context& context, practice::OpenPractice& open, std::string pdf)
      : context_(context), open_(open), pdf_(std::move(pdf)) {}
  bool print(std::int64_t statementNumber) override {
    try {
      writeStatementsPdf(*open_.connection, {statementNumber},
                         context_.application().programDate().value(), pdf_);
    } catch (const pdf::PdfError& error) {
      context_.prompter().error(error.what());
      return false;
    }
    printed = statementNumber;
    if (!context_.json())
      std::cout << fmt::format("Statement {} printed to {}.\n", statementNumber, pdf_);
    return true;
  }
  std::optional<std::int64_t> printed;

 private:
  Context& context_;
  practice::OpenPractice& open_;
  std::string pdf_;
};

int applyDeposit(Context& context, const ApplyArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  std::unique_ptr<claims::ClaimPrinting> printing;
  if (!arguments.billRemaining.empty())
    printing = paperClaimPrinting(context, open, arguments.billRemaining);
  std::unique_ptr<PdfStatementPrinting> statement;
  if (!arguments.printStatement.empty())
    statement = std::make_unique<PdfStatementPrinting>(context, open, arguments.printStatement);
  // Held as Apply holds it, so that a desk applying the same deposit meanwhile is refused.
  auto window = deposits::PaymentApplicationWindow::openHeld(
      {*open.connection, open.options, context.prompter(), open.security->clock(),
       open.security->userCode(), &context.settings(), open.security.get(), printing.get(),
       statement.get()},
      arguments.deposit);
  if (!window) throw Refused();
  if (printing || statement) {
    // Ticked for this run only: the workstation's remembered boxes stay as they were.
    deposits::ApplicationChoices choices = window->choices();
    if (printing) choices.billRemainingInsurances = true;
    if (statement) choices.printStatements = true;
    window->setChoices(choices, false);
  }
  if (!window->choosePatient(arguments.chart)) {
    context.prompter().error(fmt::format("There is no patient {}.", arguments.chart));
    throw Refused();
  }
  if (arguments.oldest) window->applyToOldest();
  for (const auto& entry : arguments.entries) {
    std::optional<std::size_t> row;
    for (std::size_t i = 0; i < window->rows().size(); ++i)
      if (window->rows()[i].charge.integer("Entry Number") == entry.charge) row = i;
    if (!row) {
      context.prompter().error(
          fmt::format("Charge {} is not a charge of {}.", entry.charge, arguments.chart));
      throw Refused();
    }
    const auto& amounts = entry.amounts;
    if (amounts[0]) window->setPayment(*row, *amounts[0]);
    if (amounts[1]) window->setDeductible(*row, *amounts[1]);
    if (amounts[2]) window->setWithhold(*row, *amounts[2]);
    if (amounts[3]) window->setAllowed(*row, *amounts[3]);
    if (amounts[4]) window->setAdjustment(*row, *amounts[4]);
    if (amounts[5]) window->setTakeBack(*row, *amounts[5]);
    if (entry.complete) window->setComplete(*row, true);
    if (!entry.rejection.empty()) window->setRejection(*row, entry.rejection);
  }
  if (!window->save()) throw Refused();
  window->close();
  if (context.json()) {
    Json answer{{"deposit", arguments.deposit}, {"unapplied", moneyJson(window->unapplied())}};
    if (statement && statement->printed) answer["statement"] = *statement->printed;
    printJson(answer);
  } else {
    std::cout << "Unapplied amount: " << window->unapplied().toGroupedString() << '\n';
  }
  return done;
}

}  // namespace

void addDepositApplicationVerbs(CLI::App* deposit, Action& chosen) {
  auto arguments = std::make_shared<ApplyArguments>();
  CLI::App* apply = addVerb(deposit, "apply", "applies a deposit to one patient's charges");
  addWholeNumber(apply, "N", arguments->deposit, "entry number of the deposit")->required();
  apply->add_option("--chart", arguments->chart, "the patient whose charges the deposit pays")
      ->required();
  apply->add_flag("--oldest", arguments->oldest,
                  "spends what is unapplied on the oldest charges first");
  apply->add_option("--bill-remaining", arguments->billRemaining,
                    "Bill Remaining Insurances Now: the claims the save finds due for their "
                    "next carrier on paper are printed to this PDF and marked billed");
  apply->add_option("--print-statement", arguments->printStatement,
                    "Print Statement Now: the patient's new statement (or, on Yes, the latest "
                    "one) is printed to this PDF");
  apply->add_option_function<std::vector<std::string>>(
      "ENTRY",
      [arguments](const std::vector<std::string>& texts) {
        for (const auto& text : texts) arguments->entries.push_back(parseEntry(text));
      },
      std::string("per charge: ") + entryForm);
  onRun(apply, chosen, [arguments](Context& context) { return applyDeposit(context, *arguments); });
}

}  // namespace vantrell::cli
