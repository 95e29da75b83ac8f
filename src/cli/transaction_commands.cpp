#include <iostream>
#include <set>

#include <fmt/format.h>

#include "context.hpp"
#include "output.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::cli {
namespace {

std::int64_t numberOption(const CommandLine& line, const char* option, const char* what) {
  const auto found = line.options.find(option);
  if (found == line.options.end()) throw UsageError(std::string(what) + " needs " + option + ".");
  try {
    std::size_t used = 0;
    const long long number = std::stoll(found->second, &used);
    if (used == found->second.size() && number > 0) return number;
  } catch (const std::exception&) {
  }
  throw UsageError("\"" + found->second + "\" is not a number for " + option + ".");
}

std::string textOption(const CommandLine& line, const char* option, const char* what) {
  const auto found = line.options.find(option);
  if (found == line.options.end()) throw UsageError(std::string(what) + " needs " + option + ".");
  return found->second;
}

transactions::Ledger ledgerOf(const CommandLine& line) {
  return line.options.count("--estimate") != 0 ? transactions::Ledger::Estimates
                                               : transactions::Ledger::Transactions;
}

// The transaction window of the command line, on the practice opened.
struct EntryWindow {
  explicit EntryWindow(Context& context)
      : open(context.openPractice()),
        window({*open.connection, open.options, context.prompter(), open.security->clock(),
                open.security.get(),
                [&context] { return context.application().programDate().value(); },
                ledgerOf(context.line())}) {}
  practice::OpenPractice& open;
  transactions::TransactionEntryWindow window;
};

std::set<std::int64_t> storedCharges(const transactions::TransactionEntryWindow& window) {
  std::set<std::int64_t> entries;
  for (const auto& line : window.charges()) entries.insert(line.entryNumber());
  return entries;
}

// Saves and prints the entry numbers the save gave the new lines.
void saveAndPrintNew(transactions::TransactionEntryWindow& window,
                     const std::set<std::int64_t>& before) {
  if (!window.save()) throw Refused();
  for (const auto& line : window.charges()) {
    if (before.count(line.entryNumber()) == 0) std::cout << line.entryNumber() << '\n';
  }
}

}  // namespace

int chargeCommand(Context& context) {
  const CommandLine& line = context.line();
  if (line.verb == "add" || line.verb == "multilink") {
    const std::string chart = textOption(line, "--chart", ("charge " + line.verb).c_str());
    const std::int64_t caseNumber = numberOption(line, "--case", ("charge " + line.verb).c_str());
    if (line.arguments.size() != 1)
      throw UsageError("charge " + line.verb + " needs one " +
                       (line.verb == "add" ? "procedure" : "multilink") + " code.");
    EntryWindow entry(context);
    auto& window = entry.window;
    if (!window.chooseChart(chart) || !window.chooseCase(caseNumber)) throw Refused();
    const auto before = storedCharges(window);
    if (line.verb == "add") {
      const std::size_t index = window.newCharge();
      if (!window.setChargeField(index, "Procedure Code", line.arguments[0])) throw Refused();
      for (const auto& [field, value] : line.fields) {
        if (!window.setChargeField(index, field, value)) throw Refused();
      }
      window.postCharge(index);
    } else {
      Date date = context.application().programDate().value();
      if (const auto typed = line.options.find("--date"); typed != line.options.end()) {
        const auto parsed = Date::parse(typed->second);
        if (!parsed || parsed->isEmpty())
          throw UsageError("\"" + typed->second + "\" is not a date.");
        date = *parsed;
      }
      if (!window.multilink(line.arguments[0], date)) throw Refused();
    }
    saveAndPrintNew(window, before);
    return done;
  }
  if (line.verb == "delete") {
    if (line.arguments.size() != 1) throw UsageError("charge delete needs the entry number.");
    std::int64_t entryNumber = 0;
    try {
      entryNumber = std::stoll(line.arguments[0]);
    } catch (const std::exception&) {
      throw UsageError("\"" + line.arguments[0] + "\" is not an entry number.");
    }
    EntryWindow entry(context);
    store::Table ledger =
        entry.open.connection->openTable(transactions::ledgerTable(ledgerOf(line)));
    ledger.setOrder("Idxentrynumber");
    const auto row = ledger.seek({store::Value{entryNumber}});
    if (!row) {
      context.prompter().error("There is no transaction with entry number " + line.arguments[0] +
                               ".");
      throw Refused();
    }
    auto& window = entry.window;
    if (!window.chooseChart(row->text("Chart Number")) ||
        !window.chooseCase(row->integer("Case Number")))
      throw Refused();
    const auto& charges = window.charges();
    for (std::size_t i = 0; i < charges.size(); ++i) {
      if (charges[i].entryNumber() != entryNumber) continue;
      if (!window.deleteCharge(i) || !window.save()) throw Refused();
      return done;
    }
    context.prompter().error("Entry " + line.arguments[0] + " is not a charge.");
    throw Refused();
  }
  throw UsageError("Unknown command \"charge " + line.verb +
                   "\". The charge commands are add, multilink and delete.");
}

int ledgerCommand(Context& context) {
  const CommandLine& line = context.line();
  if (line.verb != "show")
    throw UsageError("Unknown command \"ledger " + line.verb + "\". Try ledger show.");
  const std::string chart = store::upperAscii(textOption(line, "--chart", "ledger show"));
  practice::OpenPractice& open = context.openPractice();
  context.require(14);
  store::Table ledger = open.connection->openTable(transactions::ledgerTable(ledgerOf(line)));
  ledger.setOrder("Primary");
  std::vector<store::Value> key = {store::Value{chart}};
  if (line.options.count("--case") != 0)
    key.emplace_back(numberOption(line, "--case", "ledger show"));
  ledger.setRange(key, key);
  bool first = true;
  if (line.json) std::cout << "[";
  ledger.forEach([&](const store::Record& row) {
    if (line.json) {
      std::cout << (first ? "" : ",\n ") << recordJson(row);
    } else {
      const std::string type = row.text("Transaction Type");
      const bool charge = !type.empty() && type[0] >= 'A' && type[0] <= 'H';
      std::cout << fmt::format(
          "{:>8} {:>6} {} {:<10} {:<1} {:>12} {:>12}\n", row.integer("Entry Number"),
          row.integer("Case Number"), row.date("Date From").toMonthDayYear(),
          row.text("Procedure Code"), type, row.money("Amount").toGroupedString(),
          charge ? transactions::remainderOf(row).toGroupedString() : std::string());
    }
    first = false;
  });
  if (line.json) std::cout << "]\n";
  return done;
}

}  // namespace vantrell::cli
