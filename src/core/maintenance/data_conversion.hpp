#pragma once

#include <string>
#include <vector>

#include "store/connection.hpp"

namespace vantrell::maintenance {

struct ConversionReport {
  std::vector<std::string> tablesCreated;
  std::vector<std::string> fieldsAdded;  // "QVOPT.Use Cycle Billing"
  std::vector<std::string> problems;     // what could not be brought up to date
};

// Brings an older practice to the current layout: creates missing tables, adds
// the fields an older version did not have (at the end of the table, empty),
// adds missing index tags, and sets the options' Data Version Number. Runs in
// one transaction: a failure leaves the practice as it was.
ConversionReport convertPractice(store::Connection& practice);

// Whether a stored table lacks catalogued fields (a practice of an older version).
bool lacksCataloguedFields(store::Connection& practice, std::string_view tableName);

}  // namespace vantrell::maintenance
