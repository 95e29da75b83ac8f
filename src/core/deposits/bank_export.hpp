#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "common/date.hpp"
#include "store/connection.hpp"

namespace vantrell::deposits {

// The deposits from `from` to `to` (both included) as a bank register file:
// the "!Type:Bank" header, then per deposit in date and entry order its date
// (D, month/day/year), amount (T, two decimals, no grouping) and payee (P, the
// payor's name, else the description) lines, closed by "^".
std::string bankExportText(store::Connection& practice, const Date& from, const Date& to);

// Writes bankExportText to the file, replacing it; returns how many deposits
// it holds. Throws std::runtime_error when the file cannot be written.
std::size_t writeBankExport(store::Connection& practice, const Date& from, const Date& to,
                            const std::filesystem::path& file);

}  // namespace vantrell::deposits
