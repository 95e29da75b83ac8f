#include "collections/work_list_report.hpp"

#include <algorithm>
#include <cctype>

#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::collections {
namespace {

std::string statusName(const std::string& code) {
  if (code == item_status::open) return "Open";
  if (code == item_status::resolved) return "Resolved";
  if (code == item_status::deleted) return "Deleted";
  return code;
}

void count(WorkListCounts& counts, const std::string& status, std::int64_t age) {
  if (status == item_status::open) ++counts.open;
  if (status == item_status::resolved) ++counts.resolved;
  counts.oldestDays = std::max(counts.oldestDays, age);
}

}  // namespace

WorkListReport workListReport(store::Connection& practice, const WorkListFilter& filter, Date today,
                              bool summary) {
  WorkListReport report;
  store::ensureTable(practice, "QVWRK");
  store::Table items = practice.openTable("QVWRK");
  items.setOrderByFields({"Responsible Party", "Item Number"});
  items.setFilter(workListFilterText(filter));
  items.forEach([&](const store::Record& item) {
    const std::string party = item.text("Responsible Party");
    if (report.groups.empty() || report.groups.back().party != party)
      report.groups.push_back({party, {}, {}});
    auto& group = report.groups.back();
    const Date created = item.date("Date Created");
    const std::int64_t age = created.isEmpty() ? 0 : (today.days() - created.days()).count();
    const std::string status = item.text("Status");
    count(group.counts, status, age);
    count(report.total, status, age);
    if (!summary)
      group.lines.push_back({item.integer("Item Number"), item.text("Patient"), statusName(status),
                             item.text("Action"), age});
  });
  return report;
}

std::vector<TracerLine> collectionTracer(store::Connection& practice, const std::string& party) {
  std::vector<TracerLine> lines;
  store::ensureTable(practice, "QVWTR");
  store::Table tracer = practice.openTable("QVWTR");
  tracer.setOrderByFields(
      {"Responsible Party", "Patient Chart", "Date Letter Sent", "Item Number"});
  if (!party.empty()) {
    std::string upper = party;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const char quote = upper.find('\'') == std::string::npos ? '\'' : '"';
    tracer.setFilter("UPPER(Responsible Party) = " + std::string(1, quote) + upper +
                     std::string(1, quote));
  }
  tracer.forEach([&](const store::Record& row) {
    lines.push_back({row.text("Responsible Party"), row.text("Patient Chart"),
                     row.date("Date Letter Sent"), row.money("Balance"), row.text("Reasons")});
  });
  return lines;
}

namespace {

// A party's or the report's counts; the age of the oldest item stands under the ages.
reports::TotalRow countsRow(const WorkListCounts& counts, const std::string& label) {
  return {
      "",
      {"", label,
       "Open " + std::to_string(counts.open) + "   Resolved " + std::to_string(counts.resolved) +
           "   Total Open " + std::to_string(counts.open) + "   Oldest (Days)",
       "", reports::Value::count(counts.oldestDays)}};
}

// Several lines of an action or of reasons print as one.
std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

}  // namespace

reports::Report workListPrintout(const WorkListReport& report, const std::string& practiceName,
                                 Date today) {
  reports::Report printout;
  printout.header = {practiceName, "Work List", {"As of " + reports::longDate(today)}, today};
  using Kind = reports::Value::Kind;
  printout.columns = {{"Item", Kind::Count, 40},
                      {"Patient", Kind::Text, 64},
                      {"Action", Kind::Text, 250},
                      {"Status", Kind::Text, 56},
                      {"Age (Days)", Kind::Count, 64}};
  printout.groupLevels = {"Responsible Party"};
  for (const auto& group : report.groups) {
    reports::Group printed;
    printed.key = group.party;
    printed.title = "Responsible Party: " + group.party;
    for (const auto& line : group.lines)
      printed.rows.push_back(
          {{reports::Value::count(line.itemNumber), line.patient, oneLine(line.action), line.status,
            reports::Value::count(line.ageDays)},
           {}});
    printed.totals.push_back(countsRow(group.counts, group.party));
    printout.groups.push_back(std::move(printed));
  }
  printout.totals.push_back(countsRow(report.total, "Total"));
  return printout;
}

reports::Report tracerPrintout(const std::vector<TracerLine>& lines,
                               const std::string& practiceName, Date today) {
  reports::Report printout;
  printout.header = {practiceName, "Collection Tracer", {}, today};
  using Kind = reports::Value::Kind;
  printout.columns = {{"Patient", Kind::Text, 64},
                      {"Date Sent", Kind::Text, 64},
                      {"Balance", Kind::Amount, 72},
                      {"Reasons", Kind::Text, 300}};
  printout.groupLevels = {"Responsible Party"};
  for (const auto& line : lines) {
    if (printout.groups.empty() || printout.groups.back().key != line.party)
      printout.groups.push_back({line.party, "Responsible Party: " + line.party, {}, {}, {}, {}});
    printout.groups.back().rows.push_back(
        {{line.patient, reports::shortDate(line.sent), line.balance, oneLine(line.reasons)}, {}});
  }
  printout.summary = {
      {"Letters sent", reports::Value::count(static_cast<std::int64_t>(lines.size()))}};
  return printout;
}

}  // namespace vantrell::collections
