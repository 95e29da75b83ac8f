#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/money.hpp"
#include "store/value.hpp"

namespace vantrell::store {

class Connection;

// The money totals of one group of rows: the group fields' values (a null
// number or date groups as its empty key value, as index keys do) and one
// total per summed field.
struct GroupTotals {
  std::vector<Value> group;
  std::vector<Money> totals;
};

// A run over many rows asks the engine once: the totals of the money fields
// per distinct value of the group fields, in the group's order, over the rows
// the filter (the system's filter expression; empty for all) lets through.
// Summed exactly in ten-thousandths whatever number type the engine keeps, so
// a ledger of a million lines never loses a cent. Throws InputError for an
// unknown table or field, FilterError for a filter that does not parse.
std::vector<GroupTotals> groupTotals(Connection& practice, std::string_view tableName,
                                     const std::vector<std::string>& groupFields,
                                     const std::vector<std::string>& moneyFields,
                                     std::string_view filter = {});

}  // namespace vantrell::store
