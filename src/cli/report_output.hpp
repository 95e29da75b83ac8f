#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "output.hpp"
#include "reports/report.hpp"

namespace vantrell::cli {

class Context;

// Where a report goes: a PDF file, a CSV file, or standard output (JSON with
// --json, text otherwise).
struct ReportOutput {
  std::string pdf;
  std::string csv;
};

// --pdf FILE and --csv FILE on a report verb; they exclude each other.
void addReportOutputOptions(CLI::App* verb, const std::shared_ptr<ReportOutput>& output);

// The report as JSON: its header, columns, rows (each with its group keys),
// groups with their totals, the grand totals and the summary lines.
Json reportJson(const reports::Report& report);

// Writes the report where the options say and returns the exit code.
int writeReport(Context& context, const reports::Report& report, const ReportOutput& output);

}  // namespace vantrell::cli
