#include <fmt/format.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "pdf_renderer.hpp"
#include "statement_surroundings.hpp"
#include "statements/statement_billing.hpp"
#include "statements/statement_form.hpp"

namespace vantrell::cli {
namespace {

constexpr int printStatementsPermission = 223;
// Statements laid out and drawn at a time: a run of 20,000 never holds more
// than this many in memory.
constexpr std::size_t statementsPerPart = 500;

struct PrintArguments {
  std::vector<std::int64_t> numbers;
  std::optional<std::int64_t> batch;
  std::string pdf;
  std::optional<Date> date;
  std::optional<bool> excludeBilledPaid;
  std::optional<std::string> electronic;  // the electronic statement type's code
};

int writeStatements(Context& context, const PrintArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(printStatementsPermission);
  store::Connection& practice = *open.connection;

  const std::vector<std::int64_t> numbers =
      arguments.batch ? statements::statementNumbersOfBatch(practice, *arguments.batch)
                      : statements::statementsInPrintOrder(practice, arguments.numbers);
  if (numbers.empty()) {
    context.prompter().error(
        arguments.batch ? fmt::format("There are no statements in batch {}.", *arguments.batch)
                        : std::string("There are no statements to print."));
    throw Refused();
  }
  const Date printed = arguments.date.value_or(context.application().programDate().value());
  statements::StatementPrintDialog dialog(statementSurroundings(context, open));
  if (arguments.excludeBilledPaid) dialog.excludeBilledPaid = *arguments.excludeBilledPaid;
  if (arguments.electronic) {
    dialog.method = statements::StatementPrintDialog::Method::Electronic;
    for (std::size_t index = 0; index < std::size(dialog.electronicTypes); ++index)
      if (*arguments.electronic == dialog.electronicTypes[index].code)
        dialog.electronicType = index;
  }
  if (!dialog.accept()) throw Refused();

  const StatementsWritten written =
      writeStatementsPdf(practice, numbers, printed, arguments.pdf, dialog.excludeBilledPaid);
  const std::size_t printedCount = written.statements;

  // Only a run whose file is complete counts as printed: the billed status of
  // its statements is updated after the PDF is in place, never before.
  const statements::BillingOutcome billed = statements::recordStatementsPrinted(
      statementSurroundings(context, open), {numbers, printed, false});

  if (context.json()) {
    printJson(Json{{"pdf", arguments.pdf},
                   {"statements", numbers},
                   {"pages", written.pages},
                   {"batch", billed.batch},
                   {"billed", billed.updated},
                   {"in use", billed.inUse}});
  } else {
    std::cout << fmt::format("{} {} printed to {} ({} {}).\n", printedCount,
                             printedCount == 1 ? "statement" : "statements", arguments.pdf,
                             written.pages, written.pages == 1 ? "page" : "pages");
  }
  return 0;
}

int printStatements(Context& context, const PrintArguments& arguments) {
  try {
    return writeStatements(context, arguments);
  } catch (const pdf::PdfError& error) {
    context.prompter().error(error.what());
    throw Refused();
  }
}

}  // namespace

StatementsWritten writeStatementsPdf(store::Connection& practice,
                                     const std::vector<std::int64_t>& numbers, const Date& printed,
                                     const std::string& path, bool excludeBilledPaid) {
  pdf::PdfWriter writer(path, printing::usLetter, "Statements");
  StatementsWritten written;
  for (std::size_t first = 0; first < numbers.size(); first += statementsPerPart) {
    const std::vector<std::int64_t> part(
        numbers.begin() + static_cast<std::ptrdiff_t>(first),
        numbers.begin() +
            static_cast<std::ptrdiff_t>(std::min(numbers.size(), first + statementsPerPart)));
    printing::Document document;
    for (const auto& form :
         statements::readStatementForms(practice, part, printed, excludeBilledPaid)) {
      statements::layOutStatement(document, form);
      ++written.statements;
    }
    writer.add(document);
  }
  writer.finish();
  written.pages = writer.pagesWritten();
  return written;
}

void addStatementPrintingVerbs(CLI::App* statement, Action& chosen) {
  auto arguments = std::make_shared<PrintArguments>();
  CLI::App* print = statement->add_subcommand(
      "print", "writes statements to one PDF, one statement per guarantor in chart order");
  print->add_option_function<std::vector<std::string>>(
      "NUMBER",
      [arguments](const std::vector<std::string>& texts) {
        for (const std::string& text : texts)
          arguments->numbers.push_back(parseWholeNumber(text, "NUMBER", 1));
      },
      "statement numbers");
  print->add_option_function<std::string>(
      "--batch",
      [arguments](const std::string& text) {
        arguments->batch = parseWholeNumber(text, "--batch", 0);
      },
      "every statement of this batch");
  print->add_option("--pdf", arguments->pdf, "the PDF file to write")->required();
  print->add_option_function<bool>(
      "--exclude-billed-paid",
      [arguments](const bool& exclude) { arguments->excludeBilledPaid = exclude; },
      "true leaves off charges already billed and paid in full (default: the last choice)");
  print
      ->add_option_function<std::string>(
          "--electronic", [arguments](const std::string& code) { arguments->electronic = code; },
          "sends electronically, type S, A or R (no sending program: refused)")
      ->check(CLI::IsMember({"S", "A", "R"}));
  print->add_option_function<std::string>(
      "--date",
      [arguments](const std::string& text) {
        const auto date = Date::parse(text);
        if (!date || date->isEmpty())
          throw UsageError(fmt::format("\"{}\" is not a date for --date.", text));
        arguments->date = *date;
      },
      "statement date, yyyy-mm-dd or mm/dd/yyyy (default: the program date)");
  onRun(print, chosen, [arguments](Context& context) {
    if (arguments->numbers.empty() == !arguments->batch)
      throw UsageError("Give statement numbers or --batch, not both.");
    return printStatements(context, *arguments);
  });
}

}  // namespace vantrell::cli
