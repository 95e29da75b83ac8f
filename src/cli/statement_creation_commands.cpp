#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "pdf_renderer.hpp"
#include "statement_surroundings.hpp"
#include "statements/quick_balance.hpp"
#include "statements/statement_additions.hpp"
#include "statements/statement_creation.hpp"
#include "statements/statement_edit.hpp"
#include "statements/statement_management.hpp"
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

struct ManageArguments {
  std::string status, chart;
  std::optional<std::int64_t> batch;
  bool excludeDone = false;
  std::vector<std::int64_t> numbers;
  std::int64_t statement = 0;
  std::vector<std::int64_t> entries;
  std::string statusFrom, statusTo, methodFrom, methodTo;
};

// A status given as its code ("2") or its text ("Sent", any case).
std::string statusCode(const std::string& given, const char* name) {
  for (const char* code : {"0", "1", "2", "3", "4"}) {
    if (given == code ||
        store::upperAscii(given) == store::upperAscii(statements::statusText(code)))
      return code;
  }
  throw UsageError(fmt::format("{} is not a statement status: {}", name, given));
}

std::optional<int> methodPosition(const std::string& given, const char* name) {
  if (given.empty()) return std::nullopt;
  const std::string upper = store::upperAscii(given);
  if (upper == "P" || upper == "PAPER") return 0;
  if (upper == "E" || upper == "ELECTRONIC") return 1;
  throw UsageError(fmt::format("{} is not a billing method: {}", name, given));
}

Json rowJson(const statements::StatementRow& row) {
  return {{"Statement Number", row.number},
          {"Chart Number", row.chartNumber},
          {"Type", row.typeText()},
          {"Status", row.statusText()},
          {"Media", row.mediaText()},
          {"Batch Number", row.batch},
          {"Submission Count", row.submissionCount},
          {"Date Created", row.created.toIso()},
          {"Last Billing Date", row.lastBilling.toIso()}};
}

int listStatements(Context& context, const ManageArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  statements::StatementList list(statementSurroundings(context, open));
  statements::StatementFilter filter;
  filter.chartNumber = arguments.chart;
  filter.batch = arguments.batch;
  if (!arguments.status.empty()) filter.status = statusCode(arguments.status, "--status");
  filter.excludeDone = arguments.excludeDone;
  list.setFilter(filter);
  JsonArrayWriter* writer = nullptr;
  std::optional<JsonArrayWriter> json;
  if (context.json()) writer = &json.emplace();
  for (auto page = list.nextPage(500); !page.empty(); page = list.nextPage(500)) {
    for (const auto& row : page) {
      if (writer != nullptr) {
        writer->add(rowJson(row));
        continue;
      }
      std::cout << fmt::format("{:>8} {:<8} {:<9} {:<13} {:<10} {:>5} {:>3} {:<10} {}\n",
                               row.number, row.chartNumber, row.typeText(), row.statusText(),
                               row.mediaText(), row.batch, row.submissionCount,
                               row.created.toMonthDayYear(), row.lastBilling.toMonthDayYear());
    }
  }
  if (writer != nullptr) writer->finish();
  return done;
}

int showStatement(Context& context, const ManageArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  statements::StatementEditWindow window(statementSurroundings(context, open), arguments.statement);
  window.load();
  Money total;
  for (const auto& line : window.transactions()) {
    const std::string type = line.text("Transaction Type");
    if (type.empty() || type[0] <= 'H')
      total += line.money("Amount") + line.money("Guarantor Amount Paid") +
               line.money("Insurance 1 Amount Paid") + line.money("Insurance 2 Amount Paid") +
               line.money("Insurance 3 Amount Paid") + line.money("Attorney Amount Paid") +
               line.money("Adjustment Amount");
  }
  if (context.json()) {
    Json lines = Json::array();
    for (const auto& line : window.transactions()) lines.push_back(recordJson(line));
    printJson({{"statement", recordJson(window.statement())},
               {"total", moneyJson(total)},
               {"transactions", lines}});
    return done;
  }
  std::cout << "Statement " << arguments.statement << ' ' << window.titleSuffix() << '\n'
            << recordLines(window.statement());
  for (const auto& line : window.transactions())
    std::cout << fmt::format("{:>8} {:<8} {:>6} {} {:<10} {:>12}\n", line.integer("Entry Number"),
                             line.text("Chart Number"), line.integer("Case Number"),
                             line.date("Date From").toMonthDayYear(), line.text("Procedure Code"),
                             line.money("Amount").toGroupedString());
  std::cout << "Total: " << total.toGroupedString() << '\n';
  return done;
}

int changeStatus(Context& context, const ManageArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(statements::changeStatus);
  statements::StatusChange change;
  change.batch = arguments.batch;
  change.selected = arguments.numbers;
  if (!change.batch && change.selected.empty())
    throw UsageError("statement status needs --batch or statement numbers");
  if (!arguments.statusFrom.empty())
    change.statusFrom = store::upperAscii(arguments.statusFrom) == "ANY"
                            ? statements::anyStatusType
                            : std::stoi(statusCode(arguments.statusFrom, "--from"));
  if (!arguments.statusTo.empty())
    change.statusTo = std::stoi(statusCode(arguments.statusTo, "--to"));
  change.methodFrom = methodPosition(arguments.methodFrom, "--method-from");
  change.methodTo = methodPosition(arguments.methodTo, "--method-to");
  const auto changed =
      statements::changeStatementStatus(statementSurroundings(context, open), change);
  if (!changed) throw Refused();
  if (context.json())
    printJson({{"changed", *changed}});
  else
    std::cout << *changed << '\n';
  return done;
}

int deleteStatements(Context& context, const ManageArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(statements::deleteStatementsItem);
  statements::StatementList list(statementSurroundings(context, open));
  if (!list.deleteStatements(arguments.numbers)) throw Refused();
  return done;
}

int addToStatement(Context& context, const ManageArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  context.require(statements::editStatements);
  statements::AddTransactionsWindow window(statementSurroundings(context, open),
                                           arguments.statement);
  if (!window.open()) throw Refused();
  std::vector<std::size_t> chosen;
  for (const auto entry : arguments.entries) {
    const auto& candidates = window.candidates();
    const auto found = std::find_if(candidates.begin(), candidates.end(),
                                    [&](const auto& c) { return c.row.entryNumber == entry; });
    if (found == candidates.end()) {
      context.prompter().error(
          fmt::format("Entry {} cannot be added to statement {}.", entry, arguments.statement));
      throw Refused();
    }
    chosen.push_back(static_cast<std::size_t>(found - candidates.begin()));
  }
  if (!window.add(chosen)) throw Refused();
  return done;
}

// Quick balance "Print": the chart's new single-account statement, else its
// last one, to a PDF. Printing from here is not billing: no status changes.
void printQuickBalance(Context& context, statements::QuickBalanceWindow& window,
                       const std::string& pdfPath) {
  const std::optional<std::int64_t> statement = window.print();
  if (!statement) throw Refused();
  try {
    const StatementsWritten written =
        writeStatementsPdf(*context.openPractice().connection, {*statement},
                           context.application().programDate().value(), pdfPath);
    if (!context.json())
      std::cout << fmt::format("Statement {} printed to {} ({} {}).\n", *statement, pdfPath,
                               written.pages, written.pages == 1 ? "page" : "pages");
  } catch (const pdf::PdfError& error) {
    context.prompter().error(error.what());
    throw Refused();
  }
}

int quickBalance(Context& context, const std::string& chart, const std::string& pdfPath) {
  practice::OpenPractice& open = context.openPractice();
  context.require(38);
  statements::QuickBalanceWindow window(statementSurroundings(context, open));
  if (!window.chooseChart(chart)) throw Refused();
  if (context.json()) {
    Json lines = Json::array();
    for (const auto& line : window.lines())
      lines.push_back({{"Entry Number", line.entryNumber},
                       {"Chart Number", line.chartNumber},
                       {"Case Number", line.caseNumber},
                       {"Date From", line.dateFrom.toIso()},
                       {"Remainder", moneyJson(line.open())}});
    Json result{{"chart", window.chartNumber()},
                {"balance", moneyJson(window.balance())},
                {"lines", lines}};
    if (!pdfPath.empty()) {
      printQuickBalance(context, window, pdfPath);
      result["pdf"] = pdfPath;
    }
    printJson(result);
    return done;
  }
  for (const auto& line : window.lines())
    std::cout << fmt::format("{:>8} {:<8} {:>6} {} {:>12}\n", line.entryNumber, line.chartNumber,
                             line.caseNumber, line.dateFrom.toMonthDayYear(),
                             line.open().toGroupedString());
  std::cout << "Remainder balance: " << window.balance().toGroupedString() << '\n';
  if (!pdfPath.empty()) printQuickBalance(context, window, pdfPath);
  return done;
}

}  // namespace

statements::Surroundings statementSurroundings(Context& context, practice::OpenPractice& open) {
  return {*open.connection,
          open.options,
          context.prompter(),
          context.settings(),
          open.security->clock(),
          open.security.get(),
          nullptr};
}

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

  auto manage = std::make_shared<ManageArguments>();
  CLI::App* list = addVerb(statement, "list", "the statement list, by statement number");
  list->add_option("--status", manage->status, "0 to 4 or Hold, Ready to Send, Sent, Failed, Done");
  list->add_option("--batch", manage->batch, "batch number");
  list->add_option("--chart", manage->chart, "the guarantor's chart number");
  list->add_flag("--exclude-done", manage->excludeDone, "leave out Done statements");
  onRun(list, chosen, [manage](Context& context) { return listStatements(context, *manage); });

  CLI::App* show = addVerb(statement, "show", "a statement and its transactions");
  addWholeNumber(show, "STATEMENT", manage->statement, "statement number")->required();
  onRun(show, chosen, [manage](Context& context) { return showStatement(context, *manage); });

  CLI::App* status = addVerb(statement, "status",
                             "change the status or billing method of a batch or of statements");
  status->add_option("STATEMENT", manage->numbers, "statement numbers (instead of --batch)");
  status->add_option("--batch", manage->batch, "every statement of the batch");
  status->add_option("--from", manage->statusFrom, "status from (0 to 4, a status name, or Any)");
  status->add_option("--to", manage->statusTo, "status to (0 to 4 or a status name)");
  status->add_option("--method-from", manage->methodFrom, "billing method from (P or E)");
  status->add_option("--method-to", manage->methodTo, "billing method to (P or E)");
  onRun(status, chosen, [manage](Context& context) { return changeStatus(context, *manage); });

  CLI::App* remove = addVerb(statement, "delete", "statements, releasing their transactions");
  remove->add_option("STATEMENT", manage->numbers, "statement numbers")->required();
  onRun(remove, chosen, [manage](Context& context) { return deleteStatements(context, *manage); });

  CLI::App* add = addVerb(statement, "add", "transactions to a statement (after the question)");
  addWholeNumber(add, "STATEMENT", manage->statement, "statement number")->required();
  add->add_option("ENTRY", manage->entries, "entry numbers of the transactions")->required();
  onRun(add, chosen, [manage](Context& context) { return addToStatement(context, *manage); });
}

void addQuickBalanceCommand(CLI::App& app, Action& chosen) {
  auto chart = std::make_shared<std::string>();
  auto pdfPath = std::make_shared<std::string>();
  CLI::App* verb =
      app.add_subcommand("quick-balance", "what a guarantor owes after insurance, line by line");
  verb->add_option("--chart", *chart, "the guarantor's chart number")->required();
  verb->add_option("--pdf", *pdfPath,
                   "prints the guarantor's statement to this PDF (a new one for lines on none, "
                   "else the last); no billing status changes");
  onRun(verb, chosen,
        [chart, pdfPath](Context& context) { return quickBalance(context, *chart, *pdfPath); });
}

}  // namespace vantrell::cli
