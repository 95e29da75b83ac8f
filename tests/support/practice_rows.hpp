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

// Jane Doe (DOEJA000), provider DR1, carriers MC and BC, diagnosis R05 and the
// ledger codes the payment tests post: charges VISIT (100) and XRAY (80),
// insurance payment INS, check CHECK, deductible DED, write-off WO (stored
// negative) and take-back TAKE.
inline void insertPaymentPractice(store::Connection& practice) {
  const std::vector<std::pair<const char*, FieldTexts>> rows = {
      {"QVPAT", {{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"First Name", "Jane"}}},
      {"QVPHY", {{"Code", "DR1"}, {"Last Name", "Welby"}}},
      {"QVINS", {{"Code", "MC"}, {"Name", "Medicare"}}},
      {"QVINS", {{"Code", "BC"}, {"Name", "Blue"}}},
      {"QVDIA", {{"Code 1", "R05"}}},
      {"QVPRO", {{"Code 1", "VISIT"}, {"Type", "A"}, {"Amount A", "100"}}},
      {"QVPRO", {{"Code 1", "XRAY"}, {"Type", "B"}, {"Amount A", "80"}}},
      {"QVPRO", {{"Code 1", "INS"}, {"Type", "I"}}},
      {"QVPRO", {{"Code 1", "CHECK"}, {"Type", "K"}}},
      {"QVPRO", {{"Code 1", "DED"}, {"Type", "P"}}},
      {"QVPRO", {{"Code 1", "WO"}, {"Type", "T"}, {"Adjustment Amount Negativ", "T"}}},
      {"QVPRO", {{"Code 1", "TAKE"}, {"Type", "V"}}},
  };
  for (const auto& [table, fields] : rows) insertRow(practice, table, fields);
}

// The one number a "SELECT COUNT(*) ..." or "SELECT MAX(...)" gives.
inline std::int64_t singleNumber(store::Connection& practice, const std::string& sql) {
  return std::get<std::int64_t>(practice.executeSql(sql).rows.at(0).at(0));
}

}  // namespace vantrell::testing
