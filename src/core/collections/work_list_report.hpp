#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collections/work_list.hpp"
#include "common/date.hpp"
#include "common/money.hpp"
#include "reports/report.hpp"
#include "store/connection.hpp"

namespace vantrell::collections {

// One item as the work list report prints it.
struct WorkListReportLine {
  std::int64_t itemNumber = 0;
  std::string patient;
  std::string status;  // "Open", "Resolved", "Deleted"
  std::string action;
  std::int64_t ageDays = 0;  // since Date Created
};

// The counts of a responsible party's items, or of the whole report.
struct WorkListCounts {
  std::size_t open = 0;
  std::size_t resolved = 0;
  std::int64_t oldestDays = 0;  // "Oldest (Days)"
};

struct WorkListReportGroup {
  std::string party;
  std::vector<WorkListReportLine> lines;  // empty in a summary
  WorkListCounts counts;
};

struct WorkListReport {
  std::vector<WorkListReportGroup> groups;
  WorkListCounts total;
};

// The items of the filter grouped by responsible party, with each item's age
// on `today`; a summary keeps the counts only.
WorkListReport workListReport(store::Connection& practice, const WorkListFilter& filter, Date today,
                              bool summary);

// One collection letter sent, as the collection tracer report prints it.
struct TracerLine {
  std::string party;
  std::string patient;
  Date sent;
  Money balance;
  std::string reasons;
};

// The collection tracer by responsible party, patient and date sent; an empty
// party: every party.
std::vector<TracerLine> collectionTracer(store::Connection& practice, const std::string& party);

// The reports as they are printed (PDF through the report pages): the work list grouped by
// responsible party with each party's counts and the totals; the tracer grouped by
// responsible party, a line per letter. `practiceName` heads every page.
reports::Report workListPrintout(const WorkListReport& report, const std::string& practiceName,
                                 Date today);
reports::Report tracerPrintout(const std::vector<TracerLine>& lines,
                               const std::string& practiceName, Date today);

}  // namespace vantrell::collections
