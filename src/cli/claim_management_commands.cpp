#include <iostream>
#include <memory>
#include <optional>

#include <fmt/format.h>

#include "claims/claim_actions.hpp"
#include "claims/claim_editor.hpp"
#include "claims/claim_list.hpp"
#include "claims/claim_slots.hpp"
#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "store/names.hpp"
#include "ui/settings.hpp"

namespace vantrell::cli {
namespace {

// The arguments of the claim management verbs; each verb reads the ones it declares.
struct ManageArguments {
  bool estimate = false;
  // list
  std::string chart;
  std::string slot = "all";
  std::string carrier;
  std::string status;
  std::string method;
  std::optional<std::int64_t> batch;
  bool excludeDone = false;
  // one claim, several claims, entries
  std::int64_t claim = 0;
  std::vector<std::int64_t> claims;
  std::vector<std::int64_t> entries;
  std::string text;
  // status
  std::optional<std::string> to;
  std::optional<std::string> from;
  std::optional<std::string> methodFrom;
  std::optional<std::string> methodTo;
};

int slotNumber(const std::string& text) {
  if (text == "all") return 0;
  if (text == "1" || text == "2" || text == "3") return text[0] - '0';
  throw UsageError("--slot takes 1, 2, 3 or all.");
}

// A status as a code (0-7) or as its label ("Ready to Send", any case).
std::string statusCode(const std::string& text, const std::string& option) {
  if (!claims::claimStatusLabel(text).empty()) return text;
  for (char code = '0'; code <= '7'; ++code) {
    const std::string candidate(1, code);
    if (store::upperAscii(claims::claimStatusLabel(candidate)) == store::upperAscii(text))
      return candidate;
  }
  throw UsageError(fmt::format("{} takes a claim status: 0 to 7 or its name.", option));
}

std::string methodCode(const std::string& text, const std::string& option) {
  const std::string code = store::upperAscii(text);
  if (code == "P" || code == "E") return code;
  throw UsageError(fmt::format("{} takes P (paper) or E (electronic).", option));
}

// The claim windows of the command line, on the practice opened.
struct ClaimWindow {
  ClaimWindow(Context& context, bool estimate)
      : open(context.openPractice()),
        surroundings{*open.connection, context.prompter(), open.security.get(),
                     [&context] { return context.application().programDate().value(); }, estimate} {
  }
  practice::OpenPractice& open;
  claims::ClaimSurroundings surroundings;
};

Json slotJson(const claims::ClaimSlotColumns& slot) {
  return {{"carrier", slot.carrier},
          {"status", slot.status},
          {"medium", slot.medium},
          {"billing date", slot.billingDate.isEmpty() ? Json() : Json(slot.billingDate.toIso())},
          {"batch", slot.batch},
          {"receiver", slot.receiver}};
}

int listClaims(Context& context, const ManageArguments& arguments) {
  claims::ClaimFilter filter;
  filter.chartNumber = arguments.chart;
  filter.slot = slotNumber(arguments.slot);
  filter.carrier = arguments.carrier;
  if (!arguments.status.empty()) filter.status = statusCode(arguments.status, "--status");
  if (!arguments.method.empty()) filter.billingMethod = methodCode(arguments.method, "--method");
  filter.batch = arguments.batch;
  filter.excludeDone = arguments.excludeDone;
  // The flags are read before the practice opens, so a usage error opens nothing.
  ClaimWindow window(context, arguments.estimate);
  // The flags state the whole filter; nothing is remembered for the next run.
  ui::MemorySettings settings;
  claims::ClaimList list(*window.open.connection, context.prompter(), settings, arguments.estimate);
  list.applyFilter(filter);
  std::optional<JsonArrayWriter> rows;
  if (context.json()) rows.emplace();
  for (auto page = list.nextPage(500); !page.empty(); page = list.nextPage(500)) {
    for (const auto& row : page) {
      if (rows) {
        Json slots = Json::array();
        for (const auto& slot : row.slots) slots.push_back(slotJson(slot));
        rows->add(
            {{"claim", row.claimNumber},
             {"chart", row.chartNumber},
             {"slots", slots},
             {"provider", row.provider},
             {"date created", row.dateCreated.isEmpty() ? Json() : Json(row.dateCreated.toIso())}});
        continue;
      }
      std::string line = fmt::format("{:>8} {:<8}", row.claimNumber, row.chartNumber);
      for (const auto& slot : row.slots) {
        line += fmt::format(" | {:<5} {:<13} {:<5} {:<10} {:>6}", slot.carrier, slot.status,
                            slot.medium, slot.billingDate.toMonthDayYear(),
                            slot.batch == 0 ? std::string() : std::to_string(slot.batch));
      }
      std::cout << store::trimRight(line) << '\n';
    }
  }
  if (rows) rows->finish();
  return done;
}

int showClaim(Context& context, const ManageArguments& arguments) {
  ClaimWindow window(context, arguments.estimate);
  store::Connection& practice = *window.open.connection;
  store::Table claimsTable = practice.openTable(claims::claimTableName(arguments.estimate));
  claimsTable.setOrder("Primary");
  const auto claim = claimsTable.seek({store::Value{arguments.claim}});
  if (!claim) {
    context.prompter().error(fmt::format("Claim key {} not found", arguments.claim));
    throw Refused();
  }
  store::Table ledger = practice.openTable(claims::ledgerTableName(arguments.estimate));
  ledger.setOrder("Idxclaim");
  ledger.setRange({store::Value{arguments.claim}}, {store::Value{arguments.claim}});
  if (context.json()) {
    Json charges = Json::array();
    ledger.forEach([&](const store::Record& row) { charges.push_back(recordJson(row)); });
    printJson({{"claim", recordJson(*claim)}, {"charges", charges}});
    return done;
  }
  const auto row = claims::claimListRow(*claim);
  std::cout << fmt::format("Claim {}  Chart {}  Case {}\n", row.claimNumber, row.chartNumber,
                           claim->integer("Case Number"));
  for (std::size_t n = 0; n < row.slots.size(); ++n) {
    const auto& slot = row.slots[n];
    if (slot.carrier.empty()) continue;
    std::cout << fmt::format("Carrier {}: {} {} {} batch {} billed {}\n", n + 1, slot.carrier,
                             slot.status, slot.medium, slot.batch,
                             slot.billingDate.toMonthDayYear());
  }
  if (!claim->text("Comment").empty()) std::cout << "Note: " << claim->text("Comment") << '\n';
  ledger.forEach([&](const store::Record& charge) {
    std::cout << fmt::format("{:>8} {} {:<10} {:>12}\n", charge.integer("Entry Number"),
                             charge.date("Date From").toMonthDayYear(),
                             charge.text("Procedure Code"),
                             charge.money("Amount").toGroupedString());
  });
  return done;
}

int changeStatus(Context& context, const ManageArguments& arguments) {
  if (arguments.batch.has_value() == !arguments.claims.empty())
    throw UsageError("claim status takes claim numbers or --batch, one of the two.");
  if (arguments.methodFrom.has_value() != arguments.methodTo.has_value())
    throw UsageError("--method-from and --method-to go together.");
  claims::StatusChange change;
  change.batch = arguments.batch;
  change.slot = slotNumber(arguments.slot);
  if (arguments.to) change.toStatus = statusCode(*arguments.to, "--to");
  if (arguments.from)
    change.fromStatus = *arguments.from == "any" ? std::string(claims::anyStatus)
                                                 : statusCode(*arguments.from, "--from");
  else if (arguments.to)
    change.fromStatus = std::string(claims::anyStatus);
  if (arguments.methodFrom) change.methodFrom = methodCode(*arguments.methodFrom, "--method-from");
  if (arguments.methodTo) change.methodTo = methodCode(*arguments.methodTo, "--method-to");
  ClaimWindow window(context, arguments.estimate);
  claims::ClaimActions actions(window.surroundings);
  if (!actions.changeStatus(change, arguments.claims)) throw Refused();
  if (context.json())
    printJson({{"slots changed", actions.slotsChanged()},
               {"work list items", actions.workListItemsMade()}});
  else
    std::cout << fmt::format("{} slot(s) changed, {} work-list item(s) made\n",
                             actions.slotsChanged(), actions.workListItemsMade());
  return done;
}

int deleteClaims(Context& context, const ManageArguments& arguments) {
  ClaimWindow window(context, arguments.estimate);
  claims::ClaimActions actions(window.surroundings);
  if (!actions.deleteClaims(arguments.claims)) throw Refused();
  if (context.json()) printJson({{"deleted", arguments.claims}});
  return done;
}

// Opens the editor of the claim, or ends the command with the system's message.
std::unique_ptr<claims::ClaimEditor> editorOf(ClaimWindow& window, std::int64_t claim) {
  auto editor = claims::ClaimEditor::open(window.surroundings, claim);
  if (!editor) throw Refused();
  return editor;
}

int addCharges(Context& context, const ManageArguments& arguments) {
  ClaimWindow window(context, arguments.estimate);
  auto editor = editorOf(window, arguments.claim);
  if (!editor->addCharges(arguments.entries)) throw Refused();
  // Charges whose diagnoses differ were refused one by one; say which went on.
  Json added = Json::array();
  for (const auto& charge : editor->charges()) {
    const auto entry = charge.integer("Entry Number");
    if (std::find(arguments.entries.begin(), arguments.entries.end(), entry) ==
        arguments.entries.end())
      continue;
    if (context.json())
      added.push_back(entry);
    else
      std::cout << entry << '\n';
  }
  if (context.json()) printJson({{"added", added}});
  return done;
}

int removeCharges(Context& context, const ManageArguments& arguments) {
  ClaimWindow window(context, arguments.estimate);
  auto editor = editorOf(window, arguments.claim);
  if (!editor->removeCharges(arguments.entries)) throw Refused();
  if (context.json()) printJson({{"removed", arguments.entries}});
  return done;
}

int splitClaim(Context& context, const ManageArguments& arguments) {
  ClaimWindow window(context, arguments.estimate);
  auto editor = editorOf(window, arguments.claim);
  // The first entry given stands where the cursor would.
  const auto made = editor->splitCharges(arguments.entries,
                                         arguments.entries.empty() ? 0 : arguments.entries.front());
  if (!made) throw Refused();
  if (context.json())
    printJson({{"claim", *made}});
  else
    std::cout << *made << '\n';
  return done;
}

int noteClaim(Context& context, const ManageArguments& arguments) {
  ClaimWindow window(context, arguments.estimate);
  auto note = claims::ClaimNote::open(window.surroundings, arguments.claim);
  if (!note) throw Refused();
  note->text = arguments.text;
  if (!note->save()) throw Refused();
  return done;
}

void addNumbers(CLI::App* verb, const std::string& name, std::vector<std::int64_t>& target,
                const std::string& description, bool required) {
  auto* option = verb->add_option_function<std::vector<std::string>>(
      name,
      [&target, name](const std::vector<std::string>& texts) {
        for (const auto& text : texts) target.push_back(parseWholeNumber(text, name));
      },
      description);
  option->type_name("N");
  if (required) option->required();
}

void addEstimate(CLI::App* verb, ManageArguments& arguments) {
  verb->add_flag("--estimate", arguments.estimate, "estimate claims (pretreatment plans)");
}

}  // namespace

void addClaimManagementVerbs(CLI::App* claim, Action& chosen) {
  auto arguments = std::make_shared<ManageArguments>();

  CLI::App* list = addVerb(claim, "list", "the claims that match the filter, a line each");
  list->add_option("--chart", arguments->chart, "chart number");
  list->add_option("--slot", arguments->slot, "carrier slot the criteria look at: 1, 2, 3 or all");
  list->add_option("--carrier", arguments->carrier, "insurance carrier code");
  list->add_option("--status", arguments->status, "claim status: 0 to 7 or its name");
  list->add_option("--method", arguments->method, "billing method: P or E");
  list->add_option_function<std::string>(
          "--batch",
          [arguments](const std::string& text) {
            arguments->batch = parseWholeNumber(text, "--batch", 0);
          },
          "batch number")
      ->type_name("B");
  list->add_flag("--exclude-done", arguments->excludeDone,
                 "hide claims whose looked-at slots are all Done");
  addEstimate(list, *arguments);
  onRun(list, chosen, [arguments](Context& context) { return listClaims(context, *arguments); });

  CLI::App* show = addVerb(claim, "show", "a claim with its charges (--json: every field)");
  addWholeNumber(show, "N", arguments->claim, "claim number")->required();
  addEstimate(show, *arguments);
  onRun(show, chosen, [arguments](Context& context) { return showClaim(context, *arguments); });

  CLI::App* status =
      addVerb(claim, "status", "changes the status and billing method of claims' carrier slots");
  addNumbers(status, "N", arguments->claims, "claim numbers", false);
  status
      ->add_option_function<std::string>(
          "--batch",
          [arguments](const std::string& text) {
            arguments->batch = parseWholeNumber(text, "--batch", 0);
          },
          "the claims of this batch, slot by slot, instead of claim numbers")
      ->type_name("B");
  status->add_option("--to", arguments->to, "new status: 0 to 7 or its name");
  status->add_option("--from", arguments->from, "status that changes, or any (the default)");
  status->add_option("--slot", arguments->slot, "carrier slot: 1, 2, 3 or all");
  status->add_option("--method-from", arguments->methodFrom, "billing method that changes: P or E");
  status->add_option("--method-to", arguments->methodTo, "new billing method: P or E");
  addEstimate(status, *arguments);
  onRun(status, chosen,
        [arguments](Context& context) { return changeStatus(context, *arguments); });

  CLI::App* remove =
      addVerb(claim, "delete", "deletes claims and releases their charges (after the question)");
  addNumbers(remove, "N", arguments->claims, "claim numbers", true);
  addEstimate(remove, *arguments);
  onRun(remove, chosen,
        [arguments](Context& context) { return deleteClaims(context, *arguments); });

  CLI::App* add = addVerb(claim, "add", "adds unbilled charges of the claim's case to the claim");
  addWholeNumber(add, "N", arguments->claim, "claim number")->required();
  addNumbers(add, "ENTRY", arguments->entries, "entry numbers of the charges", false);
  addEstimate(add, *arguments);
  onRun(add, chosen, [arguments](Context& context) { return addCharges(context, *arguments); });

  CLI::App* take = addVerb(claim, "remove", "takes charges off a claim; they are unbilled again");
  addWholeNumber(take, "N", arguments->claim, "claim number")->required();
  addNumbers(take, "ENTRY", arguments->entries, "entry numbers of the charges", false);
  addEstimate(take, *arguments);
  onRun(take, chosen, [arguments](Context& context) { return removeCharges(context, *arguments); });

  CLI::App* split = addVerb(claim, "split", "moves charges to a new claim; prints its number");
  addWholeNumber(split, "N", arguments->claim, "claim number")->required();
  addNumbers(split, "ENTRY", arguments->entries, "entry numbers of the charges", false);
  addEstimate(split, *arguments);
  onRun(split, chosen, [arguments](Context& context) { return splitClaim(context, *arguments); });

  CLI::App* note = addVerb(claim, "note", "replaces the claim's note");
  addWholeNumber(note, "N", arguments->claim, "claim number")->required();
  note->add_option("TEXT", arguments->text, "the note")->required();
  addEstimate(note, *arguments);
  onRun(note, chosen, [arguments](Context& context) { return noteClaim(context, *arguments); });
}

}  // namespace vantrell::cli
