#pragma once

#include "store/connection.hpp"

namespace vantrell::maintenance {

// What the tutorial installer puts into a practice: every table, the options
// and practice records, and a few codes to start with (procedure, payment and
// adjustment codes, a carrier, a provider, diagnoses). Existing rows of those
// code tables are replaced. Runs in one transaction.
void installTutorialData(store::Connection& practice, store::Connection* rootDirectory);

}  // namespace vantrell::maintenance
