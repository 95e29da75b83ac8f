#pragma once

#include <string>
#include <vector>

#include "store/connection.hpp"

namespace vantrell::store {

// Creates every practice table that is missing, in the system's order, with
// exactly its catalogued fields and index tags; a table that exists is left as
// it is (no field is added to an old table). `QVUSR` goes into the root data
// directory's connection when one is given. Returns the names created; a second
// run creates nothing. Throws the engine's error for a table that cannot be made.
std::vector<std::string> createMissingTables(Connection& practice, Connection* rootDirectory);

// Creates one catalogued table when it is missing (tables made on first use).
bool ensureTable(Connection& connection, std::string_view tableName);

}  // namespace vantrell::store
