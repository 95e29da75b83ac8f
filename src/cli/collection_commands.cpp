#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include <fmt/format.h>

#include "collections/collection_options.hpp"
#include "collections/letter_document.hpp"
#include "collections/letter_run.hpp"
#include "collections/payment_plan.hpp"
#include "collections/plan_check.hpp"
#include "collections/tickler_window.hpp"
#include "collections/work_list.hpp"
#include "collections/work_list_report.hpp"
#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "pdf_renderer.hpp"
#include "reports/report.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::cli {
namespace {

constexpr std::size_t listPage = 500;

Date parseDate(const std::string& text, const std::string& option) {
  const auto date = Date::parse(text);
  if (!date || date->isEmpty())
    throw UsageError(fmt::format("{} takes a date (MM/DD/YYYY), not \"{}\".", option, text));
  return *date;
}

Date optionalDate(const std::string& text, const std::string& option) {
  return text.empty() ? Date() : parseDate(text, option);
}

Money parseAmount(const std::string& text, const std::string& option) {
  const auto amount = Money::parse(text);
  if (!amount) throw UsageError(fmt::format("{} takes an amount, not \"{}\".", option, text));
  return *amount;
}

// "open", "resolved", "deleted" (and "any" where a from-status is asked) as stored.
std::string statusCode(const std::string& name, const std::string& option, bool anyAllowed) {
  if (name == "open") return collections::item_status::open;
  if (name == "resolved") return collections::item_status::resolved;
  if (name == "deleted") return collections::item_status::deleted;
  if (anyAllowed && name == "any") return "*";
  throw UsageError(fmt::format("{} takes open, resolved, deleted{}, not \"{}\".", option,
                               anyAllowed ? " or any" : "", name));
}

std::string statusName(const std::string& code) {
  if (code == collections::item_status::open) return "Open";
  if (code == collections::item_status::resolved) return "Resolved";
  if (code == collections::item_status::deleted) return "Deleted";
  return code;
}

std::string firstLine(const std::string& text) {
  return std::string(store::trimRight(text.substr(0, text.find('\n'))));
}

// Every option of every verb; each verb declares the ones it reads.
struct CollectionArguments {
  Fields fields;
  std::int64_t item = 0;
  std::vector<std::int64_t> items;
  std::string code;
  std::string chart;
  std::string date;
  // Work list filter
  std::vector<std::string> users;
  bool allUsers = false;
  std::string createdFrom, createdTo, resolvedFrom, resolvedTo;
  std::string type, status, patientFrom, patientTo, party;
  std::string deleted = "exclude";
  // Status change and reassignment
  bool all = false;
  std::string from, to, user;
  std::string chartFrom, chartTo, followUpFrom, followUpTo, balanceAbove;
  bool patients = false, insurance = false;
  std::vector<std::string> carriers;
  std::string insuranceClass, currentUser;
  // Letter run
  std::string partyFrom, partyTo, balanceFrom = "0.01", balanceTo = "99999.00";
  std::int64_t itemFrom = 0, itemTo = 0;
  bool includePlanKeepers = false, noTracer = false;
  std::string pdf;
  std::string textFile;
  bool summary = false;
};

void addListFilter(CLI::App* verb, CollectionArguments& arguments) {
  verb->add_option("--user", arguments.users, "items assigned to this user (repeat for several)");
  verb->add_flag("--all-users", arguments.allUsers, "every user's items (Show All Ticklers)");
  verb->add_option("--created-from", arguments.createdFrom, "Date Created from (MM/DD/YYYY)");
  verb->add_option("--created-to", arguments.createdTo, "Date Created to");
  verb->add_option("--resolved-from", arguments.resolvedFrom, "Date Resolved from");
  verb->add_option("--resolved-to", arguments.resolvedTo, "Date Resolved to");
  verb->add_option("--type", arguments.type, "P (accounts) or I (insurance carriers)")
      ->check(CLI::IsMember({"P", "I"}));
  verb->add_option("--status", arguments.status, "open or resolved")
      ->check(CLI::IsMember({"open", "resolved"}));
  verb->add_option("--patient-from", arguments.patientFrom, "patient chart number from");
  verb->add_option("--patient-to", arguments.patientTo, "patient chart number to");
  verb->add_option("--party", arguments.party, "responsible party (chart or carrier code)");
  verb->add_option("--deleted", arguments.deleted, "exclude (the default), only or include")
      ->check(CLI::IsMember({"exclude", "only", "include"}));
}

collections::WorkListFilter listFilter(const CollectionArguments& arguments) {
  collections::WorkListFilter filter;
  filter.users = arguments.users;
  filter.showAllTicklers = arguments.allUsers;
  filter.createdFrom = optionalDate(arguments.createdFrom, "--created-from");
  filter.createdTo = optionalDate(arguments.createdTo, "--created-to");
  filter.resolvedFrom = optionalDate(arguments.resolvedFrom, "--resolved-from");
  filter.resolvedTo = optionalDate(arguments.resolvedTo, "--resolved-to");
  filter.responsibleType = arguments.type;
  if (!arguments.status.empty()) filter.status = statusCode(arguments.status, "--status", false);
  filter.patientFrom = arguments.patientFrom;
  filter.patientTo = arguments.patientTo;
  filter.responsibleParty = arguments.party;
  filter.deleted = arguments.deleted == "only"      ? collections::WorkListFilter::Deleted::Only
                   : arguments.deleted == "include" ? collections::WorkListFilter::Deleted::Include
                                                    : collections::WorkListFilter::Deleted::Exclude;
  return filter;
}

// The collection windows of the command line, on the practice opened.
struct CollectionCommand {
  explicit CollectionCommand(Context& given)
      : context(given),
        open(given.openPractice()),
        practice(*open.connection),
        clock(open.security->clock()) {}

  void printItem(const store::Record& item) {
    if (context.json())
      printJson(recordJson(item));
    else
      std::cout << recordLines(item);
  }

  collections::WorkList workList() {
    return collections::WorkList(practice, context.prompter(), clock);
  }

  int add(const CollectionArguments& arguments) {
    collections::TicklerWindow window(practice, context.prompter(), clock);
    window.startNew();
    Fields fields = {
        {"Patient", arguments.chart},
        {"Responsible Type", arguments.type.empty() ? "P" : arguments.type},
        {"Responsible Party", arguments.party.empty() ? arguments.chart : arguments.party}};
    fields.insert(fields.end(), arguments.fields.begin(), arguments.fields.end());
    if (!window.setFields(fields) || !window.save()) throw Refused();
    if (context.json())
      printJson(recordJson(window.record()));
    else
      std::cout << window.record().integer("Item Number") << '\n';
    return done;
  }

  int edit(std::int64_t item, const Fields& fields) {
    collections::TicklerWindow window(practice, context.prompter(), clock);
    if (!window.open(item) || !window.setFields(fields) || !window.save()) throw Refused();
    if (context.json()) printJson(recordJson(window.record()));
    return done;
  }

  int show(std::int64_t item) {
    collections::TicklerWindow window(practice, context.prompter(), clock);
    if (!window.open(item)) throw Refused();
    printItem(window.record());
    return done;
  }

  int list(const CollectionArguments& arguments) {
    auto items = workList();
    if (!items.setFilter(listFilter(arguments))) throw Refused();
    std::optional<JsonArrayWriter> json;
    if (context.json()) json.emplace();
    store::PageCursor cursor;
    for (auto page = items.nextPage(cursor, listPage); !page.empty();
         page = items.nextPage(cursor, listPage)) {
      for (const auto& row : page) {
        if (json) {
          json->add(recordJson(row));
          continue;
        }
        std::cout << store::trimRight(fmt::format(
                         "{:>6} {:<10} {:<8} {} {:<8} {:<8} {:<10} {:>12} {}",
                         row.integer("Item Number"), row.date("Follow Up Date").toMonthDayYear(),
                         statusName(row.text("Status")), row.text("Responsible Type"),
                         row.text("Responsible Party"), row.text("Patient"), row.text("User ID"),
                         row.money("Balance").toGroupedString(), firstLine(row.text("Action"))))
                  << '\n';
      }
    }
    if (json) json->finish();
    return done;
  }

  int report(const CollectionArguments& arguments) {
    const auto filter = listFilter(arguments);
    for (const auto& refusal :
         {collections::dateRangeRefusal(filter.createdFrom, filter.createdTo),
          collections::dateRangeRefusal(filter.resolvedFrom, filter.resolvedTo)}) {
      if (refusal) {
        context.prompter().error(*refusal);
        throw Refused();
      }
    }
    const auto report =
        collections::workListReport(practice, filter, clock.today(), arguments.summary);
    if (!arguments.pdf.empty())
      return writePrintout(collections::workListPrintout(
                               report, collections::readLetterhead(practice).name, clock.today()),
                           arguments.pdf);
    const auto countsJson = [](const collections::WorkListCounts& counts) {
      return Json{
          {"open", counts.open}, {"resolved", counts.resolved}, {"oldest days", counts.oldestDays}};
    };
    const auto countsLine = [](const std::string& label,
                               const collections::WorkListCounts& counts) {
      return fmt::format(
          "{:<24} Open {:>5}  Resolved {:>5}  Total Open {:>5}  Oldest (Days) {:>5}\n", label,
          counts.open, counts.resolved, counts.open, counts.oldestDays);
    };
    if (context.json()) {
      Json groups = Json::array();
      for (const auto& group : report.groups) {
        Json lines = Json::array();
        for (const auto& line : group.lines)
          lines.push_back({{"item", line.itemNumber},
                           {"patient", line.patient},
                           {"status", line.status},
                           {"action", line.action},
                           {"age", line.ageDays}});
        groups.push_back(
            {{"party", group.party}, {"items", lines}, {"counts", countsJson(group.counts)}});
      }
      printJson({{"groups", groups}, {"total", countsJson(report.total)}});
      return done;
    }
    for (const auto& group : report.groups) {
      for (const auto& line : group.lines)
        std::cout << store::trimRight(fmt::format("  {:>6} {:<8} {:<8} {:>5} {}", line.itemNumber,
                                                  line.patient, line.status, line.ageDays,
                                                  firstLine(line.action)))
                  << '\n';
      std::cout << countsLine(group.party, group.counts);
    }
    std::cout << countsLine("Total", report.total);
    return done;
  }

  int tracer(const std::string& party, const std::string& pdfFile) {
    const auto lines = collections::collectionTracer(practice, party);
    if (!pdfFile.empty())
      return writePrintout(collections::tracerPrintout(
                               lines, collections::readLetterhead(practice).name, clock.today()),
                           pdfFile);
    std::optional<JsonArrayWriter> json;
    if (context.json()) json.emplace();
    for (const auto& line : lines) {
      if (json) {
        json->add({{"party", line.party},
                   {"patient", line.patient},
                   {"sent", line.sent.toIso()},
                   {"balance", moneyJson(line.balance)},
                   {"reasons", line.reasons}});
        continue;
      }
      std::string reasons = line.reasons;
      std::replace(reasons.begin(), reasons.end(), '\n', ' ');
      std::cout << store::trimRight(fmt::format("{:<8} {:<8} {} {:>12} {}", line.party,
                                                line.patient, line.sent.toMonthDayYear(),
                                                line.balance.toGroupedString(), reasons))
                << '\n';
    }
    if (json) json->finish();
    return done;
  }

  // The report's pages as the printer gets them.
  int writePrintout(const reports::Report& printout, const std::string& file) {
    try {
      pdf::writePdf(reports::reportDocument(printout), file);
    } catch (const pdf::PdfError& error) {
      context.prompter().error(error.what());
      throw Refused();
    }
    if (context.json())
      printJson({{"pdf", file}});
    else
      std::cout << "Wrote " << file << '\n';
    return done;
  }

  int remove(const std::vector<std::int64_t>& items) {
    if (!workList().remove(items)) throw Refused();
    if (context.json()) printJson({{"deleted", items}});
    return done;
  }

  int changeStatus(const CollectionArguments& arguments, std::optional<std::string> to) {
    collections::StatusChange change;
    change.scope = arguments.all ? collections::StatusChange::Scope::All
                                 : collections::StatusChange::Scope::Selected;
    if (!arguments.from.empty()) change.from = statusCode(arguments.from, "--from", true);
    if (!arguments.to.empty()) change.to = statusCode(arguments.to, "--to", false);
    if (to) {
      change.from = "*";
      change.to = *to;
    }
    change.followUp = optionalDate(arguments.date, "--date");
    if (!arguments.all && arguments.items.empty())
      throw UsageError("Name the items, or give --all for every item the filter shows.");
    auto items = workList();
    if (arguments.all && !items.setFilter(listFilter(arguments))) throw Refused();
    if (!items.changeStatus(change, arguments.items)) throw Refused();
    if (context.json()) printJson({{"changed", arguments.items}, {"all", arguments.all}});
    return done;
  }

  int assign(const CollectionArguments& arguments) {
    if (!arguments.items.empty()) {
      for (const auto item : arguments.items) edit(item, {{"User ID", arguments.user}});
      if (!context.json())
        std::cout << fmt::format("{} item(s) assigned to {}.\n", arguments.items.size(),
                                 arguments.user);
      return done;
    }
    collections::ReassignCriteria criteria;
    criteria.chartFrom = arguments.chartFrom;
    criteria.chartTo = arguments.chartTo;
    criteria.followUpFrom = optionalDate(arguments.followUpFrom, "--follow-up-from");
    criteria.followUpTo = optionalDate(arguments.followUpTo, "--follow-up-to");
    if (!arguments.balanceAbove.empty())
      criteria.balanceAbove = parseAmount(arguments.balanceAbove, "--balance-above");
    criteria.patients = arguments.patients;
    criteria.insurance = arguments.insurance;
    criteria.carriers = arguments.carriers;
    criteria.insuranceClass = arguments.insuranceClass;
    criteria.currentUser = arguments.currentUser;
    auto items = workList();
    if (!items.setFilter(listFilter(arguments))) throw Refused();
    const auto changed = items.reassign(criteria, arguments.user);
    if (!changed) throw Refused();
    if (context.json())
      printJson({{"assigned", *changed}, {"user", arguments.user}});
    else
      std::cout << fmt::format("{} item(s) assigned to {}.\n", *changed, arguments.user);
    return done;
  }

  int requireAssignee(bool required) {
    auto options = collections::readCollectionOptions(practice);
    options.requireAssignTo = required;
    collections::saveCollectionOptions(practice, options);
    return done;
  }

  // Plans
  collections::PaymentPlanWindow planWindow() {
    return collections::PaymentPlanWindow(practice, context.prompter(), clock, open.security.get());
  }

  int planAdd(const std::string& code, const Fields& fields) {
    auto window = planWindow();
    if (!window.startNew()) throw Refused();
    Fields withCode = {{"Code", code}};
    withCode.insert(withCode.end(), fields.begin(), fields.end());
    if (!window.setFields(withCode) || !window.save()) throw Refused();
    if (context.json()) printJson(recordJson(window.record()));
    return done;
  }

  int planEdit(const std::string& code, const Fields& fields) {
    auto window = planWindow();
    if (!window.open(code) || !window.setFields(fields) || !window.save()) throw Refused();
    if (context.json()) printJson(recordJson(window.record()));
    return done;
  }

  int planShow(const std::string& code) {
    auto window = planWindow();
    if (!window.open(code)) throw Refused();
    printItem(window.record());
    return done;
  }

  int planRemove(const std::string& code) {
    if (!planWindow().remove(code)) throw Refused();
    if (context.json()) printJson({{"deleted", code}});
    return done;
  }

  int planList() {
    const auto& table = collections::paymentPlanTable();
    if (open.security) context.require(table.viewItem);
    store::Table plans = practice.openTable("QVPPL");
    plans.setOrder("IdxCode");
    std::optional<JsonArrayWriter> json;
    if (context.json()) json.emplace();
    plans.forEach([&](const store::Record& plan) {
      if (json) {
        json->add(recordJson(plan));
        return;
      }
      std::cout << store::trimRight(fmt::format(
                       "{:<4} {:<20} day {:>2} every {:>3} days {:>10}", plan.text("Code"),
                       plan.text("Description"), plan.integer("First Payment Due"),
                       plan.integer("Cycle Days"), plan.money("Amount Due").toGroupedString()))
                << '\n';
    });
    if (json) json->finish();
    return done;
  }

  int planCheck(const std::string& chart, const std::string& date) {
    const Date day = date.empty() ? clock.today() : parseDate(date, "--date");
    const auto check = collections::checkPaymentPlan(practice, chart, day);
    if (context.json()) {
      Json result = {{"chart", chart},
                     {"plan", check.planCode},
                     {"keeps to plan", check.keepsToPlan},
                     {"reason", check.reason}};
      if (check.hasPlan) {
        result["due"] = check.cycle.due.toIso();
        result["from"] = check.cycle.windowStart.toIso();
        result["to"] = check.cycle.windowEnd.toIso();
      }
      printJson(result);
    } else {
      std::cout << chart
                << (check.keepsToPlan ? " keeps to its payment plan. "
                                      : " does not keep to a payment plan. ")
                << check.reason << '\n';
    }
    return check.keepsToPlan ? done : refused;
  }

  // Letters
  int lettersRun(const CollectionArguments& arguments) {
    collections::LetterRunCriteria criteria;
    criteria.partyFrom = arguments.partyFrom;
    criteria.partyTo = arguments.partyTo;
    criteria.patientFrom = arguments.patientFrom;
    criteria.patientTo = arguments.patientTo;
    criteria.followUpFrom = optionalDate(arguments.followUpFrom, "--follow-up-from");
    criteria.followUpTo = optionalDate(arguments.followUpTo, "--follow-up-to");
    criteria.createdFrom = optionalDate(arguments.createdFrom, "--created-from");
    criteria.createdTo = optionalDate(arguments.createdTo, "--created-to");
    criteria.itemFrom = arguments.itemFrom;
    criteria.itemTo = arguments.itemTo;
    criteria.balanceFrom = parseAmount(arguments.balanceFrom, "--balance-from");
    criteria.balanceTo = parseAmount(arguments.balanceTo, "--balance-to");
    criteria.status =
        arguments.status.empty() ? "0" : statusCode(arguments.status, "--status", false);
    criteria.excludeFollowingPlan = !arguments.includePlanKeepers;
    criteria.addToTracer = !arguments.noTracer;
    auto run = collections::runCollectionLetters(practice, context.prompter(), clock, criteria);
    if (!run) throw Refused();
    const auto document = collections::collectionLetterDocument(
        run->letters, run->reasons, collections::readLetterhead(practice),
        collections::readCollectionOptions(practice).letterText, clock.today());
    try {
      pdf::writePdf(document, arguments.pdf);
    } catch (const pdf::PdfError& error) {
      context.prompter().error(error.what());
      throw Refused();
    }
    const auto traced = collections::recordCollectionLetters(practice, clock, criteria, *run);
    if (context.json()) {
      Json letters = Json::array();
      for (const auto& letter : run->letters) {
        Json patients = Json::array();
        for (const auto& item : letter.items) patients.push_back(item.patient);
        letters.push_back({{"party", letter.party},
                           {"balance", moneyJson(letter.balance)},
                           {"patients", patients}});
      }
      printJson({{"pdf", arguments.pdf},
                 {"letters", letters},
                 {"followed plan", run->followedPlan},
                 {"tracer records", traced}});
    } else {
      for (const auto& patient : run->followedPlan)
        std::cout << patient << " left out: Followed Plan.\n";
      std::cout << fmt::format("{} collection {} printed to {} ({} tracer {}).\n",
                               run->letters.size(), run->letters.size() == 1 ? "letter" : "letters",
                               arguments.pdf, traced, traced == 1 ? "record" : "records");
    }
    return done;
  }

  int lettersText(const std::string& file) {
    auto options = collections::readCollectionOptions(practice);
    if (file.empty()) {
      std::cout << options.letterText << '\n';
      return done;
    }
    std::ifstream in(file);
    if (!in) throw UsageError(fmt::format("The file {} cannot be read.", file));
    std::ostringstream text;
    text << in.rdbuf();
    options.letterText = text.str();
    collections::saveCollectionOptions(practice, options);
    return done;
  }

  Context& context;
  practice::OpenPractice& open;
  store::Connection& practice;
  const ui::Clock& clock;
};

void addWorkListVerbs(CLI::App* worklist, Action& chosen) {
  auto arguments = std::make_shared<CollectionArguments>();
  const auto run = [arguments](auto member) {
    return [arguments, member](Context& context) {
      CollectionCommand command(context);
      return member(command, *arguments);
    };
  };

  CLI::App* add = addVerb(worklist, "add", "a new item, checked as the tickler window checks it");
  add->add_option("--chart", arguments->chart, "the patient the item concerns")->required();
  add->add_option("--type", arguments->type, "P (the account, the default) or I (a carrier)")
      ->check(CLI::IsMember({"P", "I"}));
  add->add_option("--party", arguments->party, "the account's chart or the carrier's code");
  addFields(add, arguments->fields,
            "Action=..., User ID=..., Follow Up Date=..., Office Notes=...");
  onRun(add, chosen, run([](CollectionCommand& c, CollectionArguments& a) { return c.add(a); }));

  CLI::App* list = addVerb(worklist, "list", "the items of the filter in follow-up order");
  addListFilter(list, *arguments);
  onRun(list, chosen, run([](CollectionCommand& c, CollectionArguments& a) { return c.list(a); }));

  CLI::App* report =
      addVerb(worklist, "report", "the items by responsible party with their age and counts");
  addListFilter(report, *arguments);
  report->add_flag("--summary", arguments->summary, "the counts only (Print Summary)");
  report->add_option("--pdf", arguments->pdf, "write the report's pages to this PDF file");
  onRun(report, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.report(a); }));

  CLI::App* show = addVerb(worklist, "show", "every field of one item");
  addWholeNumber(show, "ITEM", arguments->item, "the item number")->required();
  onRun(show, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.show(a.item); }));

  CLI::App* edit = addVerb(worklist, "edit", "change an item as the tickler window does");
  addWholeNumber(edit, "ITEM", arguments->item, "the item number")->required();
  addFields(edit, arguments->fields, "fields to change (Status=0|1|D stamps its date)");
  onRun(edit, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.edit(a.item, a.fields); }));

  CLI::App* resolve = addVerb(worklist, "resolve", "mark items resolved, dated today");
  resolve->add_option("ITEM", arguments->items, "item numbers")->required();
  onRun(resolve, chosen, run([](CollectionCommand& c, CollectionArguments& a) {
          return c.changeStatus(a, std::string(collections::item_status::resolved));
        }));

  CLI::App* remove =
      addVerb(worklist, "delete", "mark items deleted (they stay in the list's table)");
  remove->add_option("ITEM", arguments->items, "item numbers")->required();
  onRun(remove, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.remove(a.items); }));

  CLI::App* followUp =
      addVerb(worklist, "follow-up", "change the status and/or the follow-up date of items");
  followUp->add_option("ITEM", arguments->items, "item numbers (or --all)");
  followUp->add_flag("--all", arguments->all, "every item the filter shows, after a question");
  followUp->add_option("--date", arguments->date, "the new follow-up date (MM/DD/YYYY)");
  followUp->add_option("--from", arguments->from, "open, resolved, deleted or any");
  followUp->add_option("--to", arguments->to, "open, resolved or deleted");
  addListFilter(followUp, *arguments);
  onRun(followUp, chosen, run([](CollectionCommand& c, CollectionArguments& a) {
          return c.changeStatus(a, std::nullopt);
        }));

  CLI::App* assign = addVerb(worklist, "assign", "hand items to another user");
  assign->add_option("ITEM", arguments->items, "item numbers; without them, the criteria choose");
  assign->add_option("--to", arguments->user, "the user the items go to");
  assign->add_option("--chart-from", arguments->chartFrom, "patient chart from");
  assign->add_option("--chart-to", arguments->chartTo, "patient chart to");
  assign->add_option("--follow-up-from", arguments->followUpFrom, "follow-up date from");
  assign->add_option("--follow-up-to", arguments->followUpTo, "follow-up date to");
  assign->add_option("--balance-above", arguments->balanceAbove, "balance greater than");
  assign->add_flag("--patients", arguments->patients, "account items");
  assign->add_flag("--insurance", arguments->insurance, "insurance items");
  assign->add_option("--carrier", arguments->carriers, "insurance carrier code (repeat)");
  assign->add_option("--class", arguments->insuranceClass, "insurance class: its carriers");
  assign->add_option("--from-user", arguments->currentUser, "items now assigned to this user");
  addListFilter(assign, *arguments);
  onRun(assign, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.assign(a); }));

  CLI::App* assignee =
      addVerb(worklist, "assignee-required",
              "whether an item must be assigned to a user (the practice's option)");
  assignee->add_option("YES_OR_NO", arguments->code, "yes or no")
      ->required()
      ->check(CLI::IsMember({"yes", "no"}));
  onRun(assignee, chosen, run([](CollectionCommand& c, CollectionArguments& a) {
          return c.requireAssignee(a.code == "yes");
        }));
}

void addPlanVerbs(CLI::App* plan, Action& chosen) {
  auto arguments = std::make_shared<CollectionArguments>();
  const auto run = [arguments](auto member) {
    return [arguments, member](Context& context) {
      CollectionCommand command(context);
      return member(command, *arguments);
    };
  };
  CLI::App* add = addVerb(plan, "add", "a new payment plan");
  add->add_option("CODE", arguments->code, "the plan code")->required();
  addFields(add, arguments->fields,
            "Description=..., First Payment Due=1..31, Cycle Days=..., Amount Due=...");
  onRun(add, chosen, run([](CollectionCommand& c, CollectionArguments& a) {
          return c.planAdd(a.code, a.fields);
        }));
  CLI::App* edit = addVerb(plan, "edit", "change a payment plan");
  edit->add_option("CODE", arguments->code, "the plan code")->required();
  addFields(edit, arguments->fields, "fields to change");
  onRun(edit, chosen, run([](CollectionCommand& c, CollectionArguments& a) {
          return c.planEdit(a.code, a.fields);
        }));
  CLI::App* remove = addVerb(plan, "delete", "delete a plan no patient uses (after the question)");
  remove->add_option("CODE", arguments->code, "the plan code")->required();
  onRun(remove, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.planRemove(a.code); }));
  CLI::App* list = addVerb(plan, "list", "every payment plan");
  onRun(list, chosen, run([](CollectionCommand& c, CollectionArguments&) { return c.planList(); }));
  CLI::App* show = addVerb(plan, "show", "every field of one plan");
  show->add_option("CODE", arguments->code, "the plan code")->required();
  onRun(show, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.planShow(a.code); }));
  CLI::App* check = addVerb(plan, "check",
                            "whether an account keeps to its plan (exit code 1 when not), and why");
  check->add_option("--chart", arguments->chart, "the account")->required();
  check->add_option("--date", arguments->date, "the day of the check (default today)");
  onRun(check, chosen, run([](CollectionCommand& c, CollectionArguments& a) {
          return c.planCheck(a.chart, a.date);
        }));
}

void addLetterVerbs(CLI::App* letters, Action& chosen) {
  auto arguments = std::make_shared<CollectionArguments>();
  const auto run = [arguments](auto member) {
    return [arguments, member](Context& context) {
      CollectionCommand command(context);
      return member(command, *arguments);
    };
  };
  CLI::App* letterRun = addVerb(letters, "run", "collection letters for the work list's accounts");
  letterRun->add_option("--party-from", arguments->partyFrom, "responsible party from");
  letterRun->add_option("--party-to", arguments->partyTo, "responsible party to");
  letterRun->add_option("--patient-from", arguments->patientFrom, "patient from");
  letterRun->add_option("--patient-to", arguments->patientTo, "patient to");
  letterRun->add_option("--follow-up-from", arguments->followUpFrom, "follow-up date from");
  letterRun->add_option("--follow-up-to", arguments->followUpTo, "follow-up date to");
  letterRun->add_option("--created-from", arguments->createdFrom, "Date Created from");
  letterRun->add_option("--created-to", arguments->createdTo, "Date Created to");
  addWholeNumber(letterRun, "--item-from", arguments->itemFrom, "item number from");
  addWholeNumber(letterRun, "--item-to", arguments->itemTo, "item number to");
  letterRun->add_option("--balance-from", arguments->balanceFrom, "balance from (0.01)");
  letterRun->add_option("--balance-to", arguments->balanceTo, "balance to (99999.00)");
  letterRun->add_option("--status", arguments->status, "open (the default) or resolved")
      ->check(CLI::IsMember({"open", "resolved"}));
  letterRun->add_flag("--include-plan-keepers", arguments->includePlanKeepers,
                      "write also to accounts that keep to their payment plan");
  letterRun->add_flag("--no-tracer", arguments->noTracer, "add nothing to the collection tracer");
  letterRun->add_option("--pdf", arguments->pdf, "the PDF file to write")->required();
  onRun(letterRun, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.lettersRun(a); }));
  CLI::App* tracer =
      addVerb(letters, "tracer", "the letters sent, by responsible party, patient and date");
  tracer->add_option("--party", arguments->party, "one responsible party");
  tracer->add_option("--pdf", arguments->pdf, "write the report's pages to this PDF file");
  onRun(tracer, chosen,
        run([](CollectionCommand& c, CollectionArguments& a) { return c.tracer(a.party, a.pdf); }));
  CLI::App* text = addVerb(letters, "text", "show the letters' text, or set it from a file");
  text->add_option("--set", arguments->textFile, "a text file: paragraphs split by blank lines");
  onRun(text, chosen, run([](CollectionCommand& c, CollectionArguments& a) {
          return c.lettersText(a.textFile);
        }));
}

}  // namespace

void addCollectionCommands(CLI::App& app, Action& chosen) {
  addWorkListVerbs(app.add_subcommand("worklist", "the collection work list (ticklers)"), chosen);
  addPlanVerbs(app.add_subcommand("plan", "patient payment plans"), chosen);
  addLetterVerbs(app.add_subcommand("letters", "collection letters"), chosen);
}

}  // namespace vantrell::cli
