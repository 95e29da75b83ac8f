#pragma once

#include "store/connection.hpp"

namespace vantrell::maintenance {

// What the tutorial installer puts into a practice: every table, the options
// and practice records, and a small practice typed in through the windows: its
// code tables, about fifty patients and guarantors with their cases, and July
// to November 2026 of visits, remittances, write-offs and patient payments.
// What an earlier tutorial left is replaced. Runs in one transaction; a
// message any window gives stops it (std::runtime_error) and nothing stays.
void installTutorialData(store::Connection& practice, store::Connection* rootDirectory);

}  // namespace vantrell::maintenance
