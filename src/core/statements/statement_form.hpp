#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "printing/document.hpp"
#include "store/connection.hpp"

namespace vantrell::statements {

// A name and the lines of a postal address under it.
struct PostalAddress {
  std::string name;
  std::vector<std::string> lines;
};

// One line of a statement: a charge, or a payment or adjustment applied to the
// charge above it (amounts with their stored signs, payments negative).
struct StatementEntry {
  enum class Kind { Charge, Payment, Adjustment, Comment };
  Kind kind = Kind::Charge;
  Date date;
  std::string patientName;
  std::string code;
  std::string description;
  Money amount;
};

// Patient aging boundaries from the practice's options: S, E, C2 and C3 in days.
struct AgingBoundaries {
  std::int64_t start = 0;
  std::int64_t end = 30;
  std::int64_t column2 = 60;
  std::int64_t column3 = 90;
  bool byStatementDate = false;  // age by Date of First Statement, not Date From
};

// The current and three past-due columns, headed by their day ranges.
struct AgingColumns {
  std::array<std::string, 4> headings;
  std::array<Money, 4> amounts;
};

AgingColumns emptyAgingColumns(const AgingBoundaries& boundaries);
// Which column an open amount that is `age` days old falls in: 0 current to 3.
// Younger than the first boundary still counts as current on a statement, so
// that the columns always add up to the amount due.
std::size_t agingColumnOf(std::int64_t age, const AgingBoundaries& boundaries);

// Everything one printed statement shows.
struct StatementForm {
  std::int64_t statementNumber = 0;
  bool remainder = false;
  Date statementDate;
  std::string accountNumber;  // the guarantor's chart number
  PostalAddress practice;
  std::string practicePhone;
  PostalAddress guarantor;
  std::vector<StatementEntry> entries;
  Money charges;
  Money payments;          // every payer's payments applied to the charges shown
  Money adjustments;       // adjustments applied to them
  Money insurancePending;  // the open amount of charges an insurer has still to pay on
  Money amountDue;         // charges + payments + adjustments
  AgingColumns aging;
};

// Reads the statements with these numbers, ordered by guarantor chart number
// and then statement number; numbers without a statement are left out. The
// store is read a few queries per group of statements, never per transaction.
// A remainder statement keeps only the charges that the remainder condition
// still lets the guarantor owe, with an open amount.
// With `excludeBilledPaid`, a charge that an earlier statement already showed
// (its Date of First Statement is set) and that nothing is owed on any more is
// left off, with what was applied to it: the guarantor saw it and it is settled.
std::vector<StatementForm> readStatementForms(store::Connection& practice,
                                              const std::vector<std::int64_t>& numbers,
                                              Date statementDate, bool excludeBilledPaid = false);

// The statement numbers of a batch, in the order they print.
std::vector<std::int64_t> statementNumbersOfBatch(store::Connection& practice, std::int64_t batch);
// The statement numbers in the order they print (guarantor chart, then number);
// numbers without a statement are left out.
std::vector<std::int64_t> statementsInPrintOrder(store::Connection& practice,
                                                 const std::vector<std::int64_t>& numbers);

// Lays out one statement on pages appended to the document: a remittance part
// to tear off at the top, with the guarantor's address where a window envelope
// shows it, then the transactions, the totals, the aging boxes and the amount
// due. Its pages are numbered on their own.
void layOutStatement(printing::Document& document, const StatementForm& form);

}  // namespace vantrell::statements
