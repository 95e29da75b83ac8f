#include <iostream>
#include <memory>
#include <set>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "transactions/balances.hpp"
#include "transactions/recalculation.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::cli {
namespace {

// The arguments of the transaction commands; each verb reads the ones it declares.
struct EntryArguments {
  std::string chart;
  std::optional<std::int64_t> caseNumber;
  std::string code;
  Fields fields;
  bool estimate = false;
  std::optional<Date> date;
  std::int64_t entry = 0;
  std::int64_t charge = 0;
  std::string amount;
  Money applied;
  std::optional<std::string> payer;
  bool complete = false;
  bool estimates = false;
  std::string document;
};

transactions::Ledger ledgerOf(const EntryArguments& arguments) {
  return arguments.estimate ? transactions::Ledger::Estimates : transactions::Ledger::Transactions;
}

// The transaction window of the command line, on the practice opened.
struct EntryWindow {
  EntryWindow(Context& context, transactions::Ledger ledger)
      : open(context.openPractice()),
        window({*open.connection, open.options, context.prompter(), open.security->clock(),
                open.security.get(),
                [&context] { return context.application().programDate().value(); }, ledger}) {}
  practice::OpenPractice& open;
  transactions::TransactionEntryWindow window;
};

std::set<std::int64_t> storedEntries(const std::vector<transactions::TransactionLine>& lines) {
  std::set<std::int64_t> entries;
  for (const auto& line : lines) entries.insert(line.entryNumber());
  return entries;
}

// Prints the entry numbers a save gave the new lines.
void printNew(Context& context, const std::vector<transactions::TransactionLine>& lines,
              const std::set<std::int64_t>& before) {
  Json entries = Json::array();
  for (const auto& line : lines) {
    if (before.count(line.entryNumber()) != 0) continue;
    if (context.json())
      entries.push_back(line.entryNumber());
    else
      std::cout << line.entryNumber() << '\n';
  }
  if (context.json()) printJson({{"entries", entries}});
}

// Opens the window on the chart and case of a stored entry of the ledger.
store::Record openOnEntry(Context& context, EntryWindow& entry, transactions::Ledger ledger,
                          std::int64_t number) {
  store::Table table = entry.open.connection->openTable(transactions::ledgerTable(ledger));
  table.setOrder("Idxentrynumber");
  auto row = table.seek({store::Value{number}});
  if (!row) {
    context.prompter().error(fmt::format("There is no transaction with entry number {}.", number));
    throw Refused();
  }
  if (!entry.window.chooseChart(row->text("Chart Number")) ||
      !entry.window.chooseCase(row->integer("Case Number")))
    throw Refused();
  return *row;
}

int addCharges(Context& context, const EntryArguments& arguments, bool multilink) {
  EntryWindow entry(context, ledgerOf(arguments));
  auto& window = entry.window;
  if (!window.chooseChart(arguments.chart) || !window.chooseCase(*arguments.caseNumber))
    throw Refused();
  const auto before = storedEntries(window.charges());
  if (!multilink) {
    const std::size_t index = window.newCharge();
    if (!window.setChargeField(index, "Procedure Code", arguments.code)) throw Refused();
    for (const auto& [field, value] : arguments.fields) {
      if (!window.setChargeField(index, field, value)) throw Refused();
    }
    window.postCharge(index);
  } else {
    const Date date = arguments.date.value_or(context.application().programDate().value());
    if (!window.multilink(arguments.code, date)) throw Refused();
  }
  if (!window.save()) throw Refused();
  printNew(context, window.charges(), before);
  return done;
}

int deleteCharge(Context& context, const EntryArguments& arguments) {
  EntryWindow entry(context, ledgerOf(arguments));
  openOnEntry(context, entry, ledgerOf(arguments), arguments.entry);
  auto& window = entry.window;
  const auto& charges = window.charges();
  for (std::size_t i = 0; i < charges.size(); ++i) {
    if (charges[i].entryNumber() != arguments.entry) continue;
    if (!window.deleteCharge(i) || !window.save()) throw Refused();
    if (context.json()) printJson({{"deleted", arguments.entry}});
    return done;
  }
  context.prompter().error(fmt::format("Entry {} is not a charge.", arguments.entry));
  throw Refused();
}

// A chart typed wrong is refused, not shown as a patient with nothing.
void requirePatient(Context& context, store::Connection& practice, const std::string& chart) {
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  if (patients.seek({store::Value{chart}})) return;
  context.prompter().error("There is no patient with chart number " + chart + ".");
  throw Refused();
}

int showLedger(Context& context, const EntryArguments& arguments) {
  const std::string chart = store::upperAscii(arguments.chart);
  practice::OpenPractice& open = context.openPractice();
  context.require(14);
  requirePatient(context, *open.connection, chart);
  store::Table ledger = open.connection->openTable(transactions::ledgerTable(ledgerOf(arguments)));
  ledger.setOrder("Primary");
  std::vector<store::Value> key = {store::Value{chart}};
  if (arguments.caseNumber) key.emplace_back(*arguments.caseNumber);
  ledger.setRange(key, key);
  if (context.json()) {
    JsonArrayWriter rows;
    ledger.forEach([&](const store::Record& row) { rows.add(recordJson(row)); });
    rows.finish();
    return done;
  }
  ledger.forEach([&](const store::Record& row) {
    const std::string type = row.text("Transaction Type");
    const bool charge = !type.empty() && type[0] >= 'A' && type[0] <= 'H';
    std::cout << fmt::format(
        "{:>8} {:>6} {} {:<10} {:<1} {:>12} {:>12}\n", row.integer("Entry Number"),
        row.integer("Case Number"), row.date("Date From").toMonthDayYear(),
        row.text("Procedure Code"), type, row.money("Amount").toGroupedString(),
        charge ? transactions::remainderOf(row).toGroupedString() : std::string());
  });
  return done;
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

int addPayment(Context& context, const EntryArguments& arguments) {
  EntryWindow entry(context, transactions::Ledger::Transactions);
  auto& window = entry.window;
  if (!window.chooseChart(arguments.chart) || !window.chooseCase(*arguments.caseNumber))
    throw Refused();
  const auto before = storedEntries(window.payments());
  const std::size_t index = window.newPayment();
  // The amount is read by the window as a clerk types it, with the system's messages.
  if (!window.setPaymentField(index, "Procedure Code", arguments.code) ||
      !window.setPaymentField(index, "Amount", arguments.amount))
    throw Refused();
  if (arguments.payer && !window.setPaymentField(index, "Who Paid", *arguments.payer))
    throw Refused();
  for (const auto& [field, value] : arguments.fields) {
    if (!window.setPaymentField(index, field, value)) throw Refused();
  }
  window.postPayment(index);
  if (!window.save()) throw Refused();
  printNew(context, window.payments(), before);
  return done;
}

int applyPayment(Context& context, const EntryArguments& arguments, bool toOldest) {
  EntryWindow entry(context, transactions::Ledger::Transactions);
  auto& window = entry.window;
  const auto payment =
      openOnEntry(context, entry, transactions::Ledger::Transactions, arguments.entry);
  const std::size_t index = paymentIndexOf(context, window, payment.integer("Entry Number"));
  auto dialog = window.applyDialog(index);
  if (!dialog) throw Refused();
  if (toOldest) {
    if (!dialog->applyToOldestShown()) {
      context.prompter().error("Apply to oldest is offered for guarantor payments only.");
      throw Refused();
    }
    dialog->applyToOldest();
  } else {
    bool found = false;
    for (std::size_t row = 0; row < dialog->rows().size(); ++row) {
      if (dialog->rows()[row].entryNumber != arguments.charge) continue;
      dialog->setThisPayment(row, arguments.applied);
      if (arguments.complete) dialog->setComplete(row, true);
      found = true;
    }
    if (!found) {
      context.prompter().error(
          fmt::format("Charge {} is not a charge of this case.", arguments.charge));
      throw Refused();
    }
  }
  window.closeApplyDialog(index, *dialog);
  if (!window.save()) throw Refused();
  if (context.json())
    printJson(recordJson(window.payments()[paymentIndexOf(context, window, arguments.entry)].row));
  return done;
}

Json estimatesJson(const transactions::Estimates& estimates) {
  return {{"charges", moneyJson(estimates.charges)},
          {"adjustments", moneyJson(estimates.adjustments)},
          {"total", moneyJson(estimates.total())},
          {"payments", moneyJson(estimates.payments)},
          {"balance", moneyJson(estimates.balance())},
          {"insurance 1 due", moneyJson(estimates.insuranceDue[0])},
          {"insurance 2 due", moneyJson(estimates.insuranceDue[1])},
          {"insurance 3 due", moneyJson(estimates.insuranceDue[2])},
          {"guarantor due", moneyJson(estimates.guarantorDue)},
          {"estimated adjustment", moneyJson(estimates.estimatedAdjustment)},
          {"deductible paid", moneyJson(estimates.deductiblePaid)}};
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

int showBalance(Context& context, const EntryArguments& arguments) {
  const std::string chart = store::upperAscii(arguments.chart);
  practice::OpenPractice& open = context.openPractice();
  context.require(14);
  store::Connection& practice = *open.connection;
  requirePatient(context, practice, chart);
  const Money balance = transactions::accountBalanceOf(practice, chart);
  Json result = {
      {"chart", chart}, {"account balance", moneyJson(balance)}, {"cases", Json::array()}};
  if (!context.json()) std::cout << fmt::format("Account balance:       ${}\n", balance.toString());
  store::Table cases = practice.openTable("QVCAS");
  cases.setOrder("Primary");
  std::vector<store::Value> key = {store::Value{chart}};
  if (arguments.caseNumber) key.emplace_back(*arguments.caseNumber);
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
    std::optional<transactions::Estimates> estimates;
    if (arguments.estimates)
      estimates = transactions::shownEstimates(
          practice, open.options.flag("Force Document Number"), caseRecord, "QVTRN",
          arguments.document, context.application().programDate().value());
    if (context.json()) {
      Json one = {{"case", number},
                  {"description", caseRecord.text("Description")},
                  {"remainder of charges", moneyJson(remainder)},
                  {"unapplied", moneyJson(unapplied)}};
      if (estimates) one["estimates"] = estimatesJson(*estimates);
      result["cases"].push_back(one);
      return;
    }
    std::cout << fmt::format("Case {} {}\n", number, caseRecord.text("Description"));
    std::cout << fmt::format("  Remainder of charges:  ${}\n  Unapplied:             ${}\n",
                             remainder.toString(), unapplied.toString());
    if (estimates) printEstimates(*estimates);
  });
  if (context.json()) printJson(result);
  return done;
}

int recalculate(Context& context, const std::optional<std::string>& chart) {
  practice::OpenPractice& open = context.openPractice();
  context.require(12);
  ui::SilentProgress progress;
  const auto report = transactions::recalculatePractice(*open.connection, chart, progress);
  if (context.json()) {
    printJson(
        {{"charges", {{"read", report.chargesRead}, {"corrected", report.chargesChanged}}},
         {"payments and adjustments",
          {{"read", report.paymentsRead}, {"corrected", report.paymentsChanged}}},
         {"patients", {{"read", report.patientsRead}, {"corrected", report.patientsChanged}}}});
    return done;
  }
  std::cout << fmt::format(
      "Charges: {} read, {} corrected\nPayments and adjustments: {} read, {} corrected\n"
      "Patients: {} read, {} corrected\n",
      report.chargesRead, report.chargesChanged, report.paymentsRead, report.paymentsChanged,
      report.patientsRead, report.patientsChanged);
  return done;
}

void addChartAndCase(CLI::App* verb, EntryArguments& arguments, bool caseRequired) {
  verb->add_option("--chart", arguments.chart, "chart number of the patient")->required();
  auto* option = verb->add_option_function<std::string>(
      "--case",
      [&arguments](const std::string& text) {
        arguments.caseNumber = parseWholeNumber(text, "--case");
      },
      "case number");
  option->type_name("N");
  if (caseRequired) option->required();
}

}  // namespace

void addTransactionCommands(CLI::App& app, Action& chosen) {
  auto arguments = std::make_shared<EntryArguments>();

  CLI::App* charge = app.add_subcommand("charge", "charges through the transaction window");
  CLI::App* add = addVerb(charge, "add", "one charge and a save; prints its entry number");
  addChartAndCase(add, *arguments, true);
  add->add_option("CODE", arguments->code, "procedure code")->required();
  addFields(add, arguments->fields, "fields of the charge, as typed in the window");
  add->add_flag("--estimate", arguments->estimate, "in the estimates ledger");
  onRun(add, chosen,
        [arguments](Context& context) { return addCharges(context, *arguments, false); });

  CLI::App* multilink =
      addVerb(charge, "multilink", "the charges of a multilink code; prints their entry numbers");
  addChartAndCase(multilink, *arguments, true);
  multilink->add_option("CODE", arguments->code, "multilink code")->required();
  multilink->add_option_function<std::string>(
      "--date",
      [arguments](const std::string& text) {
        const auto date = Date::parse(text);
        if (!date || date->isEmpty())
          throw UsageError(fmt::format("\"{}\" is not a date for --date.", text));
        arguments->date = *date;
      },
      "date of the charges, yyyy-mm-dd or mm/dd/yyyy (default: the program date)");
  multilink->add_flag("--estimate", arguments->estimate, "in the estimates ledger");
  onRun(multilink, chosen,
        [arguments](Context& context) { return addCharges(context, *arguments, true); });

  CLI::App* remove =
      addVerb(charge, "delete", "a charge with its applications (after the question)");
  addWholeNumber(remove, "ENTRY", arguments->entry, "entry number of the charge")->required();
  remove->add_flag("--estimate", arguments->estimate, "in the estimates ledger");
  onRun(remove, chosen,
        [arguments](Context& context) { return deleteCharge(context, *arguments); });

  CLI::App* ledger = app.add_subcommand("ledger", "the ledger of a patient");
  CLI::App* show =
      addVerb(ledger, "show", "the entries of a patient, or of one case (--json: every field)");
  addChartAndCase(show, *arguments, false);
  show->add_flag("--estimate", arguments->estimate, "the estimates ledger");
  onRun(show, chosen, [arguments](Context& context) { return showLedger(context, *arguments); });

  CLI::App* payment =
      app.add_subcommand("payment", "payments, adjustments and comments, and applying them");
  CLI::App* addPaymentVerb =
      addVerb(payment, "add",
              "a payment, adjustment or comment, the amount typed as a clerk types it (the "
              "sign follows the code); prints its entry number");
  addChartAndCase(addPaymentVerb, *arguments, true);
  addPaymentVerb->add_option("CODE", arguments->code, "payment, adjustment or comment code")
      ->required();
  addPaymentVerb->add_option("AMOUNT", arguments->amount, "the amount")->required();
  addPaymentVerb
      ->add_option("--payer", arguments->payer, "who paid: 1, 2, 3 (insurance), G (guarantor) or A")
      ->transform(CLI::IsMember({"1", "2", "3", "G", "A"}, CLI::ignore_case));
  addFields(addPaymentVerb, arguments->fields, "fields of the line, as typed in the window");
  onRun(addPaymentVerb, chosen,
        [arguments](Context& context) { return addPayment(context, *arguments); });

  CLI::App* apply =
      addVerb(payment, "apply", "applies part of a payment or adjustment to a charge");
  addWholeNumber(apply, "PAYMENT", arguments->entry, "entry number of the payment or adjustment")
      ->required();
  addWholeNumber(apply, "CHARGE", arguments->charge, "entry number of the charge")->required();
  apply
      ->add_option_function<std::string>(
          "AMOUNT",
          [arguments](const std::string& text) {
            const auto amount = Money::parse(text);
            if (!amount || amount->tenThousandths() % 100 != 0)
              throw UsageError(fmt::format("\"{}\" is not an amount to the cent for AMOUNT.", text));
            arguments->applied = *amount;
          },
          "the amount to apply")
      ->required();
  apply->add_flag("--complete", arguments->complete,
                  "mark the charge's insurance payment complete");
  onRun(apply, chosen,
        [arguments](Context& context) { return applyPayment(context, *arguments, false); });

  CLI::App* oldest =
      addVerb(payment, "apply-oldest", "applies what is left to the oldest charges first");
  addWholeNumber(oldest, "PAYMENT", arguments->entry, "entry number of the payment or adjustment")
      ->required();
  onRun(oldest, chosen,
        [arguments](Context& context) { return applyPayment(context, *arguments, true); });

  CLI::App* balance = app.add_subcommand("balance", "account balances");
  CLI::App* showBalanceVerb =
      addVerb(balance, "show",
              "the account balance, and per case the remainders, unapplied amounts and "
              "the estimates");
  addChartAndCase(showBalanceVerb, *arguments, false);
  showBalanceVerb->add_flag("--estimates", arguments->estimates, "the estimates of each case");
  showBalanceVerb->add_option("--document", arguments->document,
                              "the document whose lines the estimates count, where the practice "
                              "forces document numbers");
  onRun(showBalanceVerb, chosen,
        [arguments](Context& context) { return showBalance(context, *arguments); });

  auto recalcChart = std::make_shared<std::optional<std::string>>();
  CLI::App* recalc =
      app.add_subcommand("recalc", "rebuilds every stored total from the applications");
  recalc->add_option_function<std::string>(
      "--chart", [recalcChart](const std::string& chart) { *recalcChart = chart; },
      "only this patient");
  onRun(recalc, chosen,
        [recalcChart](Context& context) { return recalculate(context, *recalcChart); });
}

}  // namespace vantrell::cli
