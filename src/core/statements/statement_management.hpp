#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "statements/statement_creation.hpp"

namespace vantrell::statements {

// The permission items of the statement list's commands.
inline constexpr int editStatements = 219;
inline constexpr int deleteStatementsItem = 220;
inline constexpr int rebillStatements = 221;
inline constexpr int changeStatus = 222;
inline constexpr int printStatements = 223;

// One row of the statement list with its three calculated texts.
struct StatementRow {
  std::int64_t number = 0;
  std::string chartNumber, type, status, billingMethod;
  std::int64_t batch = 0, submissionCount = 0;
  Date created, lastBilling, initialBilling;
  std::string statusText() const;
  std::string typeText() const;
  std::string mediaText() const;
};

// "List Only Statements That Match": every input optional, joined by AND.
struct StatementFilter {
  std::string chartNumber;
  Date created, billed;  // Date Created, Last Billing Date
  std::optional<std::int64_t> batch;
  std::string billingMethod;  // "" all, "P", "E"
  std::string status;         // "" all, "0" to "4"
  bool excludeDone = false;
};

// The columns the list sorts on.
enum class StatementColumn {
  Number,
  Chart,
  Type,
  Status,
  Method,
  Batch,
  Created,
  LastBilling,
  InitialBilling,
  Submissions
};

// The statement list: filtered and sorted by the store, read a page at a time
// by key (a statement changed or deleted meanwhile never makes it skip or
// repeat a row).
class StatementList {
 public:
  explicit StatementList(Surroundings surroundings);

  // The filter starts with "Exclude Done" as last chosen on this workstation.
  const StatementFilter& filter() const { return filter_; }
  void setFilter(StatementFilter filter);  // saves "Exclude Done"; back to the top
  void clearFilter();                      // "&Defaults"
  // A second click on the same column sorts it descending.
  void sortBy(StatementColumn column);
  bool descending() const { return descending_; }

  std::vector<StatementRow> nextPage(std::size_t limit);
  void restart() { last_.reset(); }

  // Delete: the question (one or several), then each statement's lines are
  // released and the statement removed, one database transaction each.
  bool deleteStatements(const std::vector<std::int64_t>& numbers);
  // Note: the statement's Comment.
  void setComment(std::int64_t number, const std::string& comment);

  static constexpr const char* deleteOne =
      "Deleting this Statement will release the transactions\nthat are bound to it. They can then "
      "be placed\non another Statement.\n\nAre you sure you want to delete this Statement?";
  static constexpr const char* deleteSeveral =
      "Deleting these Statements will release the transactions\nthat are bound to them. They can "
      "then be placed\non another Statement.\n\nAre you sure you want to delete these Statements?";

 private:
  Surroundings surroundings_;
  StatementFilter filter_;
  StatementColumn column_ = StatementColumn::Number;
  bool descending_ = false;
  struct Position {
    store::Value key;
    std::int64_t number;
  };
  std::optional<Position> last_;
};

// "Change Statement Status/Billing Method": a batch or the selected
// statements, a status pair and a billing method pair, either optional.
struct StatusChange {
  std::optional<std::int64_t> batch;   // "Batch :"
  std::vector<std::int64_t> selected;  // "Selected Statement(s)", when no batch
  // Positions: "Hold" 0 to "Done" 4; from may also be 5, "Any Status Type".
  std::optional<int> statusFrom, statusTo;
  // Positions: "Paper" 0, "Electronic" 1.
  std::optional<int> methodFrom, methodTo;
};
inline constexpr int anyStatusType = 5;

// Refuses a pair with one side chosen (the dialog stays open); else changes
// every statement in scope. Returns the number of statements changed, or no
// value when refused.
std::optional<std::int64_t> changeStatementStatus(Surroundings surroundings,
                                                  const StatusChange& change);
inline constexpr const char* bothStatuses = "Please select both a 'Status From' and a 'Status To'.";
inline constexpr const char* bothMethods =
    "Please select both a 'Billing Method From' and a 'Billing Method To'.";

}  // namespace vantrell::statements
