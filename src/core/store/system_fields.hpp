#pragma once

#include <string>
#include <string_view>

#include "store/table_definition.hpp"

namespace vantrell::store {

// Whether the program keeps the field itself, so no window or command may set
// it: autoincrement keys, who made a row and when it was made or changed, the
// ledger's paid totals and unapplied amounts, a patient's balance and last
// payments, a case's visit counter, the data version of the options.
bool isSystemField(const TableDefinition& table, std::string_view field);
// "The field "Date Created" is kept by the program and cannot be set."
std::string systemFieldRefusal(std::string_view field);

}  // namespace vantrell::store
