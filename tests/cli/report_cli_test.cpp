#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class ReportCommandLine : public CommandLineProgram {};

std::vector<std::string> linesOf(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// Patient aging on a small practice: its total is what the guarantors owe
// (charges less the unapplied check), the same in JSON, CSV and PDF, and a
// backwards range is refused.
TEST_P(ReportCommandLine, PatientAgingTotalsTheGuarantorsBalancesInEveryOutput) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  for (const char* setup :
       {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\" \"First Name=John\"",
        "patient add \"Chart Number=DOEJA000\" \"Last Name=Doe\" \"First Name=Jane\"",
        "provider add DR1 \"Last Name=Welby\"", "code add 99213 \"Amount A=80\"",
        "code add CHK Type=K",
        "case add --chart ROEJO000 Description=Visit \"Assigned Provider=DR1\" \"Cash Case=T\"",
        "case add --chart DOEJA000 Description=Visit \"Assigned Provider=DR1\" \"Cash Case=T\"",
        "--yes charge add --chart ROEJO000 --case 1 99213",
        "--yes charge add --chart DOEJA000 --case 2 99213",
        "--yes charge add --chart DOEJA000 --case 2 99213",
        "payment add --chart DOEJA000 --case 2 CHK 30"}) {
    const CliRun run = runCli(cli + setup);
    ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
  }
  // Roe owes his 80.00 charge; Doe two charges less a check nobody applied.
  const double owed = 80.00 + (80.00 + 80.00 - 30.00);

  const CliRun json = runCli(cli + "--json report aging --kind patient");
  ASSERT_EQ(json.exitCode, 0) << json.output;
  const auto report = nlohmann::json::parse(json.output);
  ASSERT_EQ(report["rows"].size(), 2u) << json.output;
  EXPECT_EQ(std::llround(report["totals"][0]["Balance"].get<double>() * 100),
            std::llround(owed * 100));

  const std::filesystem::path csv = home_.path() / "aging.csv";
  ASSERT_EQ(runCli(cli + "report aging --kind patient --csv '" + csv.string() + "'").exitCode, 0);
  const auto lines = linesOf(csv);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("Chart,Name,", 0), 0u) << lines[0];
  for (const char* chart : {"DOEJA000", "ROEJO000"})
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [chart](const std::string& line) { return line.rfind(chart, 0) == 0; }),
              1);

  if (runShell("command -v pdftotext").exitCode == 0) {
    const std::filesystem::path pdf = home_.path() / "aging.pdf";
    ASSERT_EQ(runCli(cli + "report aging --kind patient --pdf '" + pdf.string() + "'").exitCode, 0);
    const CliRun text = runShell("pdftotext -layout '" + pdf.string() + "' -");
    EXPECT_NE(text.output.find("Patient Aging"), std::string::npos) << text.output;
    char total[32];
    std::snprintf(total, sizeof total, "%.2f", owed);
    EXPECT_NE(text.output.find(total), std::string::npos) << total << "\n" << text.output;
  }

  const CliRun backwards =
      runCli(cli + "report aging --kind patient --from-chart ROEJO000 --to-chart DOEJA000");
  EXPECT_EQ(backwards.exitCode, 1);
  EXPECT_NE(backwards.output.find("The Chart Number range starts after it ends."),
            std::string::npos)
      << backwards.output;
}

VANTRELL_ON_BOTH_ENGINES(ReportCommandLine);

}  // namespace
}  // namespace vantrell
