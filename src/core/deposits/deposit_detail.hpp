#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"

namespace vantrell::deposits {

// One payment line made from a deposit, with the part of it applied to charges.
struct DepositDetailLine {
  std::int64_t entryNumber = 0;
  std::string chartNumber;
  std::int64_t caseNumber = 0;
  Date dateFrom;
  std::string procedureCode;
  std::string transactionType;
  std::string whoPaid;
  Money amount;
  Money applied;  // the sum of its application rows
};

// The payment lines (types I to R) whose Deposit ID is the deposit, in entry
// order; each applied part is summed by a query of its own.
std::vector<DepositDetailLine> depositDetail(store::Connection& practice,
                                             std::int64_t depositEntry);

// What is left of the deposit by its ledger: its payment amount less what was
// paid from it (payment lines, types I to R) plus what was taken back (lines
// with its take back code). The payment application window writes the stored
// unapplied amount only when it closes, so a run stopped before that leaves
// the stored one behind this.
Money unappliedByLedger(store::Connection& practice, const store::Record& deposit);

}  // namespace vantrell::deposits
