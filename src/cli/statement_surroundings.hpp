#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "context.hpp"
#include "statements/statement_creation.hpp"

namespace vantrell::cli {

// The statement windows' surroundings on the practice the command opened.
statements::Surroundings statementSurroundings(Context& context, practice::OpenPractice& open);

struct StatementsWritten {
  std::size_t statements = 0;
  std::size_t pages = 0;
};
// Writes the statements, in the order given, to one PDF dated `printed`. The
// file is complete when this returns (pdf::PdfError otherwise); it records no
// billed status: that is the caller's to decide. `excludeBilledPaid` leaves
// off what the guarantor was billed before and has paid.
StatementsWritten writeStatementsPdf(store::Connection& practice,
                                     const std::vector<std::int64_t>& numbers, const Date& printed,
                                     const std::string& path, bool excludeBilledPaid = false);

}  // namespace vantrell::cli
