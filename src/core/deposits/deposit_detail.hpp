#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"

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

}  // namespace vantrell::deposits
