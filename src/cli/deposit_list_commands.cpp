#include <iostream>
#include <memory>
#include <optional>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "deposits/bank_export.hpp"
#include "deposits/deposit_detail.hpp"
#include "deposits/deposit_list.hpp"
#include "deposits/deposit_window.hpp"
#include "output.hpp"
#include "store/names.hpp"

namespace vantrell::cli {
namespace {

constexpr std::size_t listPage = 500;

// The arguments of the deposit verbs; each verb reads the ones it declares.
struct DepositArguments {
  Fields fields;
  std::int64_t entry = 0;
  std::string date;
  bool unappliedOnly = false;
  std::string order = "Date-Description";
  std::string from;
  std::string to;
  std::string qif;
};

Date parseDate(const std::string& text, const std::string& option) {
  const auto date = Date::parse(text);
  if (!date || date->isEmpty())
    throw UsageError(fmt::format("{} takes a date (MM/DD/YYYY), not \"{}\".", option, text));
  return *date;
}

std::string trimmed(std::string_view text) {
  return std::string(store::trimRight(text));
}

// The deposit windows of the command line, on the practice opened.
struct DepositCommand {
  explicit DepositCommand(Context& given)
      : context(given),
        open(given.openPractice()),
        surroundings{*open.connection, given.prompter(), open.security.get(),
                     [&given] { return given.application().programDate().value(); }} {}

  // Sets the fields in the order given; the first refused ends the command.
  void setFields(deposits::DepositWindow& window, const Fields& fields) {
    for (const auto& [field, value] : fields) {
      if (!window.setField(field, value)) throw Refused();
    }
  }

  int add(const Fields& fields) {
    auto window = deposits::DepositWindow::openNew(surroundings);
    if (!window) throw Refused();
    setFields(*window, fields);
    if (!window->save()) throw Refused();
    if (context.json())
      printJson(recordJson(window->deposit()));
    else
      std::cout << window->deposit().integer("Entry Number") << '\n';
    return done;
  }

  int edit(std::int64_t entry, const Fields& fields) {
    auto window = deposits::DepositWindow::openExisting(surroundings, entry);
    if (!window) throw Refused();
    setFields(*window, fields);
    if (!window->save()) throw Refused();
    if (context.json()) printJson(recordJson(window->deposit()));
    return done;
  }

  int show(std::int64_t entry) {
    const auto deposit = deposits::findDeposit(*open.connection, entry);
    if (!deposit) {
      context.prompter().error(fmt::format("Deposit {} not found", entry));
      throw Refused();
    }
    if (context.json())
      printJson(recordJson(*deposit));
    else
      std::cout << recordLines(*deposit);
    return done;
  }

  int remove(std::int64_t entry) {
    if (!deposits::deleteDeposit(surroundings, entry)) throw Refused();
    if (context.json()) printJson({{"deleted", entry}});
    return done;
  }

  int list(const Date& date, bool unappliedOnly, const std::string& order) {
    deposits::DepositList list(*open.connection, context.prompter());
    if (!list.sortBy(order)) throw Refused();
    list.show(date, unappliedOnly);
    std::optional<JsonArrayWriter> json;
    if (context.json()) json.emplace();
    for (auto page = list.nextPage(listPage); !page.empty(); page = list.nextPage(listPage)) {
      for (const auto& row : page) {
        if (json) {
          json->add(recordJson(row));
          continue;
        }
        std::cout << trimmed(fmt::format(
                         "{:>8} {} {:<30} {:>12} {:>12} {:<5} {:<8} {}",
                         row.integer("Entry Number"), row.date("Deposit Date").toMonthDayYear(),
                         trimmed(row.text("Payor Name")),
                         row.money("Payment Amount").toGroupedString(),
                         row.money("Unapplied Amount").toGroupedString(),
                         trimmed(row.text("Insurance Code")), trimmed(row.text("Chart Number")),
                         trimmed(row.text("Description"))))
                  << '\n';
      }
    }
    if (json) json->finish();
    return done;
  }

  int detail(std::int64_t entry) {
    const auto deposit = deposits::findDeposit(*open.connection, entry);
    if (!deposit) {
      context.prompter().error(fmt::format("Deposit {} not found", entry));
      throw Refused();
    }
    const auto lines = deposits::depositDetail(*open.connection, entry);
    if (context.json()) {
      Json rows = Json::array();
      for (const auto& line : lines) {
        rows.push_back({{"entry", line.entryNumber},
                        {"chart", line.chartNumber},
                        {"case", line.caseNumber},
                        {"date", line.dateFrom.isEmpty() ? Json() : Json(line.dateFrom.toIso())},
                        {"code", line.procedureCode},
                        {"type", line.transactionType},
                        {"who paid", line.whoPaid},
                        {"amount", moneyJson(line.amount)},
                        {"applied", moneyJson(line.applied)}});
      }
      printJson({{"deposit", entry},
                 {"payment amount", moneyJson(deposit->money("Payment Amount"))},
                 {"unapplied amount", moneyJson(deposit->money("Unapplied Amount"))},
                 {"payments", rows}});
      return done;
    }
    std::cout << fmt::format("Deposit {}  {}  {}  amount {}  unapplied {}\n", entry,
                             deposit->date("Deposit Date").toMonthDayYear(),
                             trimmed(deposit->text("Payor Name")),
                             deposit->money("Payment Amount").toGroupedString(),
                             deposit->money("Unapplied Amount").toGroupedString());
    for (const auto& line : lines) {
      std::cout << fmt::format("{:>8} {} {:<8} {:<10} {:>12} {:>12}\n", line.entryNumber,
                               line.dateFrom.toMonthDayYear(), line.chartNumber, line.procedureCode,
                               line.amount.toGroupedString(), line.applied.toGroupedString());
    }
    return done;
  }

  int exportBank(const Date& from, const Date& to, const std::string& file) {
    context.require(deposits::deposit_permission::print);
    const std::size_t written = deposits::writeBankExport(*open.connection, from, to, file);
    if (context.json())
      printJson({{"file", file}, {"deposits", written}});
    else
      std::cout << fmt::format("{} deposit(s) written to {}\n", written, file);
    return done;
  }

  Context& context;
  practice::OpenPractice& open;
  deposits::DepositSurroundings surroundings;
};

}  // namespace

void addDepositVerbs(CLI::App* deposit, Action& chosen) {
  auto arguments = std::make_shared<DepositArguments>();

  CLI::App* add = addVerb(deposit, "add", "a new deposit; prints its entry number");
  addFields(add, arguments->fields, "fields of the deposit, as typed in the window");
  onRun(add, chosen,
        [arguments](Context& context) { return DepositCommand(context).add(arguments->fields); });

  CLI::App* list = addVerb(deposit, "list", "the deposits of one date, a line each");
  list->add_option("--date", arguments->date, "deposit date (MM/DD/YYYY)")->required();
  list->add_flag("--unapplied", arguments->unappliedOnly,
                 "only deposits with an unapplied amount above 0");
  list->add_option("--order", arguments->order,
                   "Date-Description, Date-Payor, Insurance Code, Patient Chart, Amount, "
                   "Description or Payor");
  onRun(list, chosen, [arguments](Context& context) {
    const Date date = parseDate(arguments->date, "--date");
    return DepositCommand(context).list(date, arguments->unappliedOnly, arguments->order);
  });

  CLI::App* show = addVerb(deposit, "show", "every field of a deposit");
  addWholeNumber(show, "N", arguments->entry, "entry number of the deposit")->required();
  onRun(show, chosen,
        [arguments](Context& context) { return DepositCommand(context).show(arguments->entry); });

  CLI::App* edit = addVerb(deposit, "edit", "changes fields of a deposit and saves it");
  addWholeNumber(edit, "N", arguments->entry, "entry number of the deposit")->required();
  addFields(edit, arguments->fields, "fields of the deposit, as typed in the window");
  onRun(edit, chosen, [arguments](Context& context) {
    return DepositCommand(context).edit(arguments->entry, arguments->fields);
  });

  CLI::App* remove = addVerb(deposit, "delete", "deletes a deposit (after the question)");
  addWholeNumber(remove, "N", arguments->entry, "entry number of the deposit")->required();
  onRun(remove, chosen,
        [arguments](Context& context) { return DepositCommand(context).remove(arguments->entry); });

  CLI::App* detail =
      addVerb(deposit, "detail", "the payments made from a deposit and what each applied");
  addWholeNumber(detail, "N", arguments->entry, "entry number of the deposit")->required();
  onRun(detail, chosen,
        [arguments](Context& context) { return DepositCommand(context).detail(arguments->entry); });

  CLI::App* exportVerb =
      addVerb(deposit, "export", "the deposits of a date range as a bank register file");
  exportVerb->add_option("--from", arguments->from, "first deposit date (MM/DD/YYYY)")->required();
  exportVerb->add_option("--to", arguments->to, "last deposit date (MM/DD/YYYY)")->required();
  exportVerb->add_option("--qif", arguments->qif, "the file to write")->required();
  onRun(exportVerb, chosen, [arguments](Context& context) {
    const Date from = parseDate(arguments->from, "--from");
    const Date to = parseDate(arguments->to, "--to");
    return DepositCommand(context).exportBank(from, to, arguments->qif);
  });
}

}  // namespace vantrell::cli
