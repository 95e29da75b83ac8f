#pragma once

#include <string>
#include <utility>
#include <vector>

#include "practice/options.hpp"
#include "store/connection.hpp"
#include "store/table.hpp"

namespace vantrell::testing {

// Field values as a clerk would type them.
using FieldTexts = std::vector<std::pair<std::string, std::string>>;

// Appends a row straight to a table, bypassing every window: the state a test
// starts from (another desk's work, older data).
inline void insertRow(store::Connection& practice, const char* table, const FieldTexts& fields) {
  store::Table rows = practice.openTable(table);
  store::Record row = rows.newRecord();
  for (const auto& [field, value] : fields) row.setFromText(field, value);
  rows.append(row);
}

// The options a new practice starts with, in memory only.
inline practice::Options newPracticeOptions(store::Connection& practice) {
  store::Table options = practice.openTable("QVOPT");
  store::Record row = options.newRecord();
  practice::applyNewOptionValues(row);
  return practice::Options(row);
}

// The one number a "SELECT COUNT(*) ..." or "SELECT MAX(...)" gives.
inline std::int64_t singleNumber(store::Connection& practice, const std::string& sql) {
  return std::get<std::int64_t>(practice.executeSql(sql).rows.at(0).at(0));
}

}  // namespace vantrell::testing
