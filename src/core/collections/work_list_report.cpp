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

}  // namespace vantrell::collections
