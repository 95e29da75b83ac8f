#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "printing/document.hpp"

namespace vantrell::reports {

// One value of a report: nothing, a text, an amount of money or a count. The
// report is computed into values once; each output formats them its own way.
class Value {
 public:
  enum class Kind { Blank, Text, Amount, Count };

  Value() = default;
  Value(std::string text)
      : kind_(Kind::Text), text_(std::move(text)) {}             // NOLINT: rows read as lists
  Value(const char* text) : kind_(Kind::Text), text_(text) {}    // NOLINT
  Value(Money amount) : kind_(Kind::Amount), amount_(amount) {}  // NOLINT
  static Value count(std::int64_t number);

  Kind kind() const { return kind_; }
  bool isBlank() const { return kind_ == Kind::Blank; }
  const std::string& text() const { return text_; }
  Money amount() const { return amount_; }
  std::int64_t number() const { return count_; }
  // As printed: amounts "1,234.50", counts as whole numbers, blank as "".
  std::string display() const;
  // As a spreadsheet reads it: amounts "1234.50" without grouping.
  std::string plain() const;

 private:
  Kind kind_ = Kind::Blank;
  std::string text_;
  Money amount_;
  std::int64_t count_ = 0;
};

struct Column {
  std::string title;
  Value::Kind kind = Value::Kind::Text;  // amounts and counts are right-aligned
  double width = 72;                     // on paper, in points
  printing::Align align() const;
};

// A printed line of the body: one value per column, with lines of text printed
// under it ("Unapplied Pmt/Adj:  -50.00") that belong to it.
struct Row {
  std::vector<Value> cells;
  std::vector<std::string> notes;
};

// A line of totals: a label in the first column, values under the columns
// they total (blank elsewhere). Printed under a rule.
struct TotalRow {
  std::string label;
  std::vector<Value> cells;
};

// Rows that belong together (a carrier's patients, a patient's charges): a
// heading, its own rows and groups inside it, and its totals at its end.
struct Group {
  std::string key;                 // the grouping value (a chart number, a carrier code)
  std::string title;               // the heading line as printed
  std::vector<std::string> lines;  // further heading lines (phone, policy number)
  std::vector<Row> rows;
  std::vector<Group> groups;
  std::vector<TotalRow> totals;
};

// A label with its value, after the totals ("Total Charges", a percentage); a
// line with a blank value is a heading of the lines below it.
struct SummaryLine {
  std::string label;
  Value value;
};

struct Header {
  std::string practiceName;
  std::string title;
  std::vector<std::string> ranges;  // "As of December 6, 2026", "Chart Number: A to B"
  Date runDate;
};

// A report computed once: no drawing, no files. The body is either plain rows
// or groups (each group level named in groupLevels, outermost first, which the
// spreadsheet and JSON outputs use as leading columns).
struct Report {
  Header header;
  std::vector<Column> columns;
  std::vector<std::string> groupLevels;
  std::vector<Row> rows;
  std::vector<Group> groups;
  std::vector<TotalRow> totals;
  std::vector<SummaryLine> summary;
  std::vector<std::string>
      footnotes;  // under everything ("Unbilled charges are listed as current.")

  // Whether the body has no row at all, in any group.
  bool empty() const;
  // The body rows in printed order, each with the keys of the groups it is in.
  struct FlatRow {
    std::vector<const Group*> path;
    const Row* row;
  };
  std::vector<FlatRow> flatRows() const;
};

// "December 6, 2026"
std::string longDate(const Date& date);
// "12/6/2026", as the report questions show dates
std::string shortDate(const Date& date);

// The outputs of a report.
// Pages of the report: the header (practice, title, ranges, run date) on every
// page, amounts right-aligned, totals ruled, "Page n of m" at the foot. Wide
// reports are laid out on landscape pages.
printing::Document reportDocument(const Report& report);
// A header row of the group levels and column titles, then one record per body row.
std::string reportCsv(const Report& report);
// Fixed-width text for a terminal, the same lines the paper shows.
std::string reportText(const Report& report);

}  // namespace vantrell::reports
