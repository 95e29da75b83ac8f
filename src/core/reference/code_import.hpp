#pragma once

#include <istream>
#include <string>
#include <vector>

#include "reference/code_window.hpp"
#include "ui/progress.hpp"

namespace vantrell::reference {

// Rows checked in one transaction of the import.
inline constexpr int importChunkRows = 1000;

struct ImportProblem {
  int line;
  std::string message;
};

struct ImportResult {
  int rows = 0;
  std::vector<ImportProblem> problems;
};

// Loads a code table from CSV (a header row of field names, then one row a
// record). Each row goes through the code window's checks as if typed, a chunk
// of rows at a time in a transaction that is rolled back, so other
// workstations can write between chunks. Every problem is reported with its
// line; the rows are kept only when there is none, put in at the end in one
// short transaction: all or nothing.
ImportResult importCodes(store::Connection& practice, const CodeTable& table, std::istream& csv,
                         const ui::Clock& clock, security::Security* security,
                         ui::Progress* progress = nullptr);

}  // namespace vantrell::reference
