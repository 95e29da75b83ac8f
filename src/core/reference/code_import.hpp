#pragma once

#include <istream>
#include <string>
#include <vector>

#include "reference/code_window.hpp"

namespace vantrell::reference {

struct ImportProblem {
  int line;
  std::string message;
};

struct ImportResult {
  int rows = 0;
  std::vector<ImportProblem> problems;
};

// Loads a code table from CSV (a header row of field names, then one row a
// record). Each row goes through the code window's checks as if typed. Every
// problem is reported with its line; the rows are kept only when there is none:
// all or nothing, in one transaction.
ImportResult importCodes(store::Connection& practice, const CodeTable& table, std::istream& csv,
                         const ui::Clock& clock, security::Security* security);

}  // namespace vantrell::reference
