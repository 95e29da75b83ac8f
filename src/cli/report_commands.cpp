#include "command_tree.hpp"

namespace vantrell::cli {

// The reports share one noun; the aging reports and the day sheets with the
// practice analysis are written beside their own windows' commands.
void addReportCommands(CLI::App& app, Action& chosen) {
  auto* report = app.add_subcommand("report", "aging, day sheets and practice analysis");
  report->require_subcommand(1);
  addAgingVerbs(report, chosen);
  addDaySheetVerbs(report, chosen);
}

}  // namespace vantrell::cli
