#pragma once

#include <string>

#include "store/connection.hpp"

namespace vantrell::store {

// The per-user trigger switch: while a user runs a bulk operation on a table
// (creating or printing statements, posting payments from the payment window),
// a qvtrg row tells the dictionary's update-audit trigger to stand aside for
// that user and table. Every failure here is swallowed: the bulk operation runs
// regardless, and a row left by a crash goes at the user's next end-bulk.
void beginBulk(Connection& connection, const std::string& userName, const std::string& tableName);
void endBulk(Connection& connection, const std::string& userName, const std::string& tableName);

// Runs the operation between beginBulk and endBulk (endBulk also on an exception).
template <typename Operation>
void asBulkOperation(Connection& connection, const std::string& userName,
                     const std::string& tableName, Operation operation) {
  beginBulk(connection, userName, tableName);
  try {
    operation();
  } catch (...) {
    endBulk(connection, userName, tableName);
    throw;
  }
  endBulk(connection, userName, tableName);
}

}  // namespace vantrell::store
