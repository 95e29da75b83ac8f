#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "statements/statement_rules.hpp"
#include "store/connection.hpp"
#include "store/driver.hpp"

namespace vantrell::statements {

// A query being put together: its text and the values bound to its '?'.
struct SqlQuery {
  std::string sql;
  std::vector<store::Value> parameters;
};

// What the statement rules read of one ledger line (t) and its case (c).
struct LedgerRow {
  std::int64_t entryNumber = 0;
  std::string guarantor;
  std::string chartNumber;
  std::int64_t caseNumber = 0;
  std::string type;
  OpenAmountParts amounts;
  Date dateFrom, firstStatement, lastStatement;
  PaymentFlags flags;
  Money open() const { return amounts.open(); }
  // A line above "H" (payments, adjustments, comments) adds nothing to a total.
  bool aboveCharges() const { return !type.empty() && type[0] > 'H'; }
};

// The select list that readLedgerRow reads, over QVTRN as t and QVCAS as c.
extern const char* const ledgerRowColumns;
inline constexpr std::size_t ledgerRowColumnCount = 23;
LedgerRow readLedgerRow(store::ResultRows& rows);

// Stamps only the lines still on no statement and returns how many it
// stamped: a line another run stamped since it was read is left where it is.
std::int64_t stampUnstampedLines(store::Connection& practice,
                                 const std::vector<std::int64_t>& entries,
                                 std::int64_t statementNumber, const DateTime& now);

// Puts the ledger lines onto a statement (0 takes them off), by entry number,
// a few hundred lines a statement; Date Modified is set as on every post.
void stampStatementNumber(store::Connection& practice, const std::vector<std::int64_t>& entries,
                          std::int64_t statementNumber, const DateTime& now);
// Takes every line off the statement, found through its statement number.
void releaseStatement(store::Connection& practice, std::int64_t statementNumber,
                      const DateTime& now);

}  // namespace vantrell::statements
