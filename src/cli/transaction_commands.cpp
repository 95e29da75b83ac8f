#include <iostream>
#include <set>

#include <fmt/format.h>

#include "context.hpp"
#include "output.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "transactions/recalculation.hpp"
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

namespace vantrell::cli {
namespace {

// Opens the window on the chart and case of a stored entry.
std::optional<store::Record> openOnEntry(Context& context,
                                         transactions::TransactionEntryWindow& window,
                                         store::Connection& practice, const std::string& text) {
  std::int64_t entryNumber = 0;
  try {
    std::size_t used = 0;
    entryNumber = std::stoll(text, &used);
    if (used != text.size()) throw std::invalid_argument(text);
  } catch (const std::exception&) {
    throw UsageError("\"" + text + "\" is not an entry number.");
  }
  store::Table ledger = practice.openTable("QVTRN");
  ledger.setOrder("Idxentrynumber");
  auto row = ledger.seek({store::Value{entryNumber}});
  if (!row) {
    context.prompter().error("There is no transaction with entry number " + text + ".");
    throw Refused();
  }
  if (!window.chooseChart(row->text("Chart Number")) ||
      !window.chooseCase(row->integer("Case Number")))
    throw Refused();
  return row;
}

std::size_t paymentIndexOf(Context& context, const transactions::TransactionEntryWindow& window,
                           std::int64_t entry) {
  for (std::size_t i = 0; i < window.payments().size(); ++i) {
    if (window.payments()[i].entryNumber() == entry) return i;
  }
  context.prompter().error("Entry " + std::to_string(entry) +
                           " is not a payment, adjustment or comment.");
  throw Refused();
}

void printEstimates(const transactions::Estimates& estimates) {
  const auto line = [](const char* label, Money amount) {
    std::cout << fmt::format("{:<22} ${}\n", label, amount.toString());
  };
  line("Charges:", estimates.charges);
  line("Adjustments:", estimates.adjustments);
  line("Total:", estimates.total());
  line("Payments:", estimates.payments);
  line("Balance:", estimates.balance());
  line("Insurance 1 due:", estimates.insuranceDue[0]);
  line("Insurance 2 due:", estimates.insuranceDue[1]);
  line("Insurance 3 due:", estimates.insuranceDue[2]);
  line("Guarantor due:", estimates.guarantorDue);
  line("Estimated adjustment:", estimates.estimatedAdjustment);
  line("Deductible paid:", estimates.deductiblePaid);
}

}  // namespace

int paymentCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  transactions::TransactionEntryWindow window(
      {*open.connection, open.options, context.prompter(), open.security->clock(),
       open.security.get(), [&context] { return context.application().programDate().value(); },
       transactions::Ledger::Transactions});
  if (line.verb == "add") {
    const std::string chart = textOption(line, "--chart", "payment add");
    const std::int64_t caseNumber = numberOption(line, "--case", "payment add");
    if (line.arguments.size() != 2)
      throw UsageError("payment add needs a payment or adjustment code and an amount.");
    if (!window.chooseChart(chart) || !window.chooseCase(caseNumber)) throw Refused();
    std::set<std::int64_t> before;
    for (const auto& payment : window.payments()) before.insert(payment.entryNumber());
    const std::size_t index = window.newPayment();
    if (!window.setPaymentField(index, "Procedure Code", line.arguments[0]) ||
        !window.setPaymentField(index, "Amount", line.arguments[1]))
      throw Refused();
    if (const auto payer = line.options.find("--payer"); payer != line.options.end()) {
      if (!window.setPaymentField(index, "Who Paid", payer->second)) throw Refused();
    }
    for (const auto& [field, value] : line.fields) {
      if (!window.setPaymentField(index, field, value)) throw Refused();
    }
    window.postPayment(index);
    if (!window.save()) throw Refused();
    for (const auto& payment : window.payments()) {
      if (before.count(payment.entryNumber()) == 0) std::cout << payment.entryNumber() << '\n';
    }
    return done;
  }
  if (line.verb == "apply" || line.verb == "apply-oldest") {
    const std::size_t needed = line.verb == "apply" ? 3 : 1;
    if (line.arguments.size() != needed)
      throw UsageError(line.verb == "apply"
                           ? "payment apply needs PAYMENT_ENTRY CHARGE_ENTRY AMOUNT."
                           : "payment apply-oldest needs PAYMENT_ENTRY.");
    const auto payment = openOnEntry(context, window, *open.connection, line.arguments[0]);
    const std::size_t index = paymentIndexOf(context, window, payment->integer("Entry Number"));
    auto dialog = window.applyDialog(index);
    if (!dialog) throw Refused();
    if (line.verb == "apply") {
      const auto amount = Money::parse(line.arguments[2]);
      if (!amount || amount->tenThousandths() % 100 != 0)
        throw UsageError("\"" + line.arguments[2] + "\" is not an amount to the cent.");
      std::int64_t charge = 0;
      try {
        charge = std::stoll(line.arguments[1]);
      } catch (const std::exception&) {
        throw UsageError("\"" + line.arguments[1] + "\" is not an entry number.");
      }
      bool found = false;
      for (std::size_t row = 0; row < dialog->rows().size(); ++row) {
        if (dialog->rows()[row].entryNumber != charge) continue;
        dialog->setThisPayment(row, *amount);
        if (line.options.count("--complete") != 0) dialog->setComplete(row, true);
        found = true;
      }
      if (!found) {
        context.prompter().error("Charge " + line.arguments[1] + " is not a charge of this case.");
        throw Refused();
      }
    } else {
      if (!dialog->applyToOldestShown()) {
        context.prompter().error("Apply to oldest is offered for guarantor payments only.");
        throw Refused();
      }
      dialog->applyToOldest();
    }
    window.closeApplyDialog(index, *dialog);
    if (!window.save()) throw Refused();
    return done;
  }
  throw UsageError("Unknown command \"payment " + line.verb +
                   "\". The payment commands are add, apply and "
                   "apply-oldest.");
}

int balanceCommand(Context& context) {
  const CommandLine& line = context.line();
  if (line.verb != "show")
    throw UsageError("Unknown command \"balance " + line.verb + "\". Try balance show.");
  const std::string chart = store::upperAscii(textOption(line, "--chart", "balance show"));
  practice::OpenPractice& open = context.openPractice();
  context.require(14);
  store::Connection& practice = *open.connection;
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  const auto patient = patients.seek({store::Value{chart}});
  if (!patient) {
    context.prompter().error("There is no patient with chart number " + chart + ".");
    throw Refused();
  }
  std::cout << fmt::format("Account balance:       ${}\n",
                           transactions::accountBalanceOf(practice, chart).toString());
  store::Table cases = practice.openTable("QVCAS");
  cases.setOrder("Primary");
  std::vector<store::Value> key = {store::Value{chart}};
  if (line.options.count("--case") != 0)
    key.emplace_back(numberOption(line, "--case", "balance show"));
  cases.setRange(key, key);
  cases.forEach([&](const store::Record& caseRecord) {
    const auto number = caseRecord.integer("Case Number");
    Money remainder, unapplied;
    store::Table ledger = practice.openTable("QVTRN");
    ledger.setOrder("idxCaseNumber");
    ledger.setRange({store::Value{number}}, {store::Value{number}});
    ledger.forEach([&](const store::Record& entry) {
      const std::string type = entry.text("Transaction Type");
      if (type.empty()) return;
      if (type[0] <= 'H')
        remainder += transactions::remainderOf(entry);
      else
        unapplied += entry.money("Unapplied Amount");
    });
    std::cout << fmt::format("Case {} {}\n", number, caseRecord.text("Description"));
    std::cout << fmt::format("  Remainder of charges:  ${}\n  Unapplied:             ${}\n",
                             remainder.toString(), unapplied.toString());
    if (line.options.count("--estimates") != 0) {
      printEstimates(transactions::shownEstimates(
          practice, open.options.flag("Force Document Number"), caseRecord, "QVTRN",
          line.options.count("--document") != 0 ? line.options.at("--document") : std::string(),
          context.application().programDate().value()));
    }
  });
  return done;
}

int recalcCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  context.require(12);
  std::optional<std::string> chart;
  if (const auto found = line.options.find("--chart"); found != line.options.end())
    chart = found->second;
  ui::SilentProgress progress;
  const auto report = transactions::recalculatePractice(*open.connection, chart, progress);
  std::cout << fmt::format(
      "Charges: {} read, {} corrected\nPayments and adjustments: {} read, {} corrected\n"
      "Patients: {} read, {} corrected\n",
      report.chargesRead, report.chargesChanged, report.paymentsRead, report.paymentsChanged,
      report.patientsRead, report.patientsChanged);
  return done;
}

}  // namespace vantrell::cli
