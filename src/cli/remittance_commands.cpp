// `era`: importing electronic remittances (835), the imports kept, and the
// queue of what they left to a clerk.
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "remittance/remittance_import.hpp"
#include "remittance/remittance_queue.hpp"
#include "store/names.hpp"

namespace vantrell::cli {
namespace {

struct RemittanceArguments {
  std::string file;
  bool dryRun = false;
  std::string patientShare;  // empty: the practice's option
  std::int64_t number = 0;
  std::int64_t resolve = 0;
  std::string note;
  bool all = false;
};

std::string trimmed(std::string_view text) {
  return std::string(store::trimRight(text));
}

Json queueJson(const remittance::QueueEntry& entry) {
  return Json{{"kind", entry.kind},           {"claim", entry.claimNumber},
              {"chart", entry.chartNumber},   {"charge", entry.chargeEntry},
              {"procedure", entry.procedure}, {"paid", moneyJson(entry.paid)},
              {"reason", entry.reason},       {"adjustments", entry.adjustments}};
}

// "claim 51 VELRU000 charge 414 80053": what an item is about, when it is about one.
std::string subject(std::int64_t claim, const std::string& chart, std::int64_t charge,
                    const std::string& procedure) {
  std::string text;
  if (claim > 0) text += fmt::format(" claim {}", claim);
  if (!chart.empty()) text += " " + chart;
  if (charge > 0) text += fmt::format(" charge {}", charge);
  if (!procedure.empty()) text += " " + procedure;
  return text;
}

void printQueueRow(const store::Record& row) {
  std::cout << fmt::format(
      "{:>5} {:<11} {}{} paid {}\n      {}\n", row.integer("Item Number"),
      trimmed(row.text("Kind")), trimmed(row.text("Status")) == "O" ? "open    " : "resolved",
      subject(row.integer("Claim Number"), trimmed(row.text("Chart Number")),
              row.integer("Charge Entry"), trimmed(row.text("Procedure Code"))),
      row.money("Paid Amount").toString(), row.text("Reason"));
  if (!row.text("Adjustments").empty()) std::cout << "      " << row.text("Adjustments") << '\n';
  if (!row.text("Note").empty()) {
    const std::string by = trimmed(row.text("Resolved By"));
    std::cout << "      Note" << (by.empty() ? "" : " (" + by + ")") << ": " << row.text("Note")
              << '\n';
  }
}

int importFile(Context& context, const RemittanceArguments& arguments) {
  std::ifstream in(arguments.file, std::ios::binary);
  if (!in) {
    context.prompter().error(fmt::format("The file {} cannot be read.", arguments.file));
    throw Refused();
  }
  std::ostringstream text;
  text << in.rdbuf();
  practice::OpenPractice& open = context.openPractice();
  remittance::ImportChoices choices;
  choices.dryRun = arguments.dryRun;
  choices.fileName = arguments.file;
  if (!arguments.patientShare.empty())
    choices.patientShare = arguments.patientShare == "deductible"
                               ? remittance::PatientShare::Deductible
                               : remittance::PatientShare::LeftToPatient;
  const auto result = remittance::importRemittance(
      {*open.connection, open.options, open.security->clock(), open.security->userCode()},
      text.str(), choices);
  if (!result.refusal.empty()) {
    context.prompter().error(result.refusal);
    throw Refused();
  }
  if (context.json()) {
    Json advices = Json::array();
    for (const auto& advice : result.advices) {
      Json queued = Json::array();
      for (const auto& entry : advice.queued) queued.push_back(queueJson(entry));
      advices.push_back(Json{{"remittance", advice.remittanceNumber},
                             {"deposit", advice.depositId},
                             {"carrier", advice.carrier},
                             {"trace", advice.traceNumber},
                             {"payment", moneyJson(advice.payment)},
                             {"claims", advice.claims},
                             {"lines", advice.lines},
                             {"posted", advice.linesPosted},
                             {"queued", advice.linesQueued},
                             {"amountPosted", moneyJson(advice.amountPosted)},
                             {"finishing", advice.finishing},
                             {"queue", queued}});
    }
    printJson(advices);
    return done;
  }
  for (const auto& advice : result.advices) {
    std::cout << fmt::format(
        "{}Payment {} from {} ({}, carrier {}), trace {}: {} claims, {} lines, {} posted ({}), "
        "{} to the queue",
        arguments.dryRun ? "Would post: "
        : advice.finishing
            ? fmt::format("Remittance {}, deposit {}, whose import had stopped part way, is "
                          "finished: ",
                          advice.remittanceNumber, advice.depositId)
            : fmt::format("Remittance {}, deposit {}: ", advice.remittanceNumber, advice.depositId),
        advice.payment.toGroupedString(), advice.payerName, advice.payerId, advice.carrier,
        advice.traceNumber, advice.claims, advice.lines, advice.linesPosted,
        advice.amountPosted.toGroupedString(), advice.linesQueued);
    std::cout << '\n';
    for (const auto& entry : advice.queued)
      std::cout << fmt::format(
          "  {:<11}{}: {}\n", entry.kind,
          subject(entry.claimNumber, entry.chartNumber, entry.chargeEntry, entry.procedure),
          entry.reason);
  }
  return done;
}

int listImports(Context& context) {
  practice::OpenPractice& open = context.openPractice();
  const auto rows = remittance::listRemittances(*open.connection);
  if (context.json()) {
    Json list = Json::array();
    for (const auto& row : rows) {
      Json shown = recordJson(row);
      shown["Unfinished"] = remittance::unfinishedImport(row);
      list.push_back(shown);
    }
    printJson(list);
    return done;
  }
  for (const auto& row : rows)
    std::cout << fmt::format(
        "{:>5} {} {:<5} trace {} {} deposit {}: {} lines, {}\n", row.integer("Remittance Number"),
        row.date("Date Created").toMonthDayYear(), trimmed(row.text("Insurance Code")),
        trimmed(row.text("Trace Number")), row.money("Payment Amount").toGroupedString(),
        row.integer("Deposit ID"), row.integer("Lines"),
        remittance::unfinishedImport(row)
            ? std::string("unfinished (import the file again to finish it)")
            : fmt::format("{} posted, {} queued", row.integer("Lines Posted"),
                          row.integer("Lines Queued")));
  return done;
}

int showImport(Context& context, std::int64_t number) {
  practice::OpenPractice& open = context.openPractice();
  const auto row = remittance::findRemittance(*open.connection, number);
  if (!row) {
    context.prompter().error(fmt::format("There is no remittance {}.", number));
    throw Refused();
  }
  const auto items = remittance::queueItems(*open.connection, number, false);
  if (context.json()) {
    Json queue = Json::array();
    for (const auto& item : items) queue.push_back(recordJson(item));
    Json shown = recordJson(*row);
    shown["Unfinished"] = remittance::unfinishedImport(*row);
    shown["Queue"] = queue;
    printJson(shown);
    return done;
  }
  std::cout << recordLines(*row);
  if (remittance::unfinishedImport(*row))
    std::cout << "Unfinished: the import stopped before its last patient was saved; importing "
                 "the file again finishes it.\n";
  for (const auto& item : items) printQueueRow(item);
  return done;
}

int showQueue(Context& context, const RemittanceArguments& arguments) {
  practice::OpenPractice& open = context.openPractice();
  if (arguments.resolve > 0) {
    const std::string refusal =
        remittance::resolveQueueItem(*open.connection, arguments.resolve, arguments.note,
                                     open.security->userCode(), open.security->clock().today());
    if (!refusal.empty()) {
      context.prompter().error(refusal);
      throw Refused();
    }
    return done;
  }
  const auto items = remittance::queueItems(*open.connection, 0, !arguments.all);
  if (context.json()) {
    Json list = Json::array();
    for (const auto& item : items) list.push_back(recordJson(item));
    printJson(list);
    return done;
  }
  for (const auto& item : items) printQueueRow(item);
  return done;
}

}  // namespace

void addRemittanceCommands(CLI::App& app, Action& chosen) {
  auto arguments = std::make_shared<RemittanceArguments>();
  CLI::App* era = app.add_subcommand("era", "electronic remittances (ASC X12 835)");
  era->require_subcommand(1);

  CLI::App* import = addVerb(era, "import", "posts an 835 file's payments");
  import->add_option("FILE", arguments->file, "the 835 file")->required();
  import->add_flag("--dry-run", arguments->dryRun, "matches and tells, posting nothing");
  import
      ->add_option("--patient-share", arguments->patientShare,
                   "patient responsibility as a carrier 'deductible' line, or left to the "
                   "'patient' (by default as the practice's options say)")
      ->check(CLI::IsMember({"patient", "deductible"}));
  onRun(import, chosen, [arguments](Context& context) { return importFile(context, *arguments); });

  CLI::App* list = addVerb(era, "list", "lists the remittances imported");
  onRun(list, chosen, [](Context& context) { return listImports(context); });

  CLI::App* show = addVerb(era, "show", "shows one remittance and its queue items");
  addWholeNumber(show, "N", arguments->number, "remittance number")->required();
  onRun(show, chosen,
        [arguments](Context& context) { return showImport(context, arguments->number); });

  CLI::App* queue = addVerb(era, "queue", "the open queue items, or resolves one");
  addWholeNumber(queue, "--resolve", arguments->resolve, "the item posted by hand or dismissed");
  queue->add_option("--note", arguments->note, "what was done with the item");
  queue->add_flag("--all", arguments->all, "resolved items too");
  onRun(queue, chosen, [arguments](Context& context) {
    if (arguments->resolve > 0 && arguments->note.empty())
      throw UsageError("--resolve needs --note saying what was done.");
    return showQueue(context, *arguments);
  });
}

}  // namespace vantrell::cli
