// vantrell-maintain PRACTICE QV USER [CS] [--repair]: file maintenance, started
// by the main program with the practice freed. It checks, reports each kind of
// damage with a count, and repairs when told to (--repair) or, at a terminal,
// when the person says so after reading the report.

#include <unistd.h>

#include <iostream>
#include <string>

#include <fmt/format.h>

#include "console_progress.hpp"
#include "maintenance/file_maintenance.hpp"
#include "store/errors.hpp"

namespace {

using namespace vantrell;

void printReport(const maintenance::MaintenanceReport& report) {
  std::cout << "Integrity check: "
            << (report.integrityProblems.empty() ? "no problems" : "PROBLEMS FOUND") << '\n';
  for (const auto& problem : report.integrityProblems) std::cout << "  " << problem << '\n';
  for (const auto& finding : report.findings) {
    std::cout << fmt::format("{}: {}", finding.check, finding.count);
    if (finding.count > 0)
      std::cout << (finding.repaired ? " (" + finding.repair + ")"
                                     : " (repair: " + finding.repair + ")");
    std::cout << '\n';
  }
  const auto& totals = report.totals;
  const char* verb = report.repaired ? "corrected" : "wrong";
  std::cout << fmt::format(
      "Stored totals: charges {} read, {} {}; payments and adjustments {} read, {} {}; patients "
      "{} read, {} {}; deposits {} read, {} {}\n",
      totals.chargesRead, totals.chargesChanged, verb, totals.paymentsRead, totals.paymentsChanged,
      verb, totals.patientsRead, totals.patientsChanged, verb, report.depositsRead,
      report.depositsChanged, verb);
  if (report.repaired) std::cout << "Indexes rebuilt; space given back; statistics renewed.\n";
  std::cout << (report.problemsFound() ? (report.repaired ? "Problems were found and repaired.\n"
                                                          : "Problems were found.\n")
                                       : "No problems were found.\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  store::Engine engine = store::Engine::Embedded;
  bool repair = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "CS" || argument == "--server")
      engine = store::Engine::Server;
    else if (argument == "--repair")
      repair = true;
    else
      positional.push_back(argument);
  }
  if (positional.size() != 3 || positional[0].empty() || positional[1] != "QV") {
    std::cerr << "Usage: vantrell-maintain PRACTICE QV USER [CS] [--repair]\n";
    return 2;
  }
  try {
    auto practice = store::Connection::open({engine, positional[0]},
                                            {"File maintenance " + positional[2], nullptr, false});
    companions::ConsoleProgress progress;
    // A practice without users has nobody to name.
    std::cout << "File maintenance of " << positional[0]
              << (positional[2].empty() ? std::string() : " for " + positional[2]) << '\n';
    auto report = maintenance::maintainPractice(*practice, repair, progress);
    printReport(report);
    if (!repair && report.problemsFound() && ::isatty(STDIN_FILENO) == 1) {
      std::cout << "Repair these problems? (y/N) " << std::flush;
      std::string answer;
      std::getline(std::cin, answer);
      if (answer == "y" || answer == "Y" || answer == "yes") {
        report = maintenance::maintainPractice(*practice, true, progress);
        printReport(report);
      }
    }
    if (report.totals.aborted) return 3;
    return report.problemsFound() && !report.repaired ? 1 : 0;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 3;
  }
}
