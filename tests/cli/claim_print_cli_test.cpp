#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_fixture.hpp"
#include "core/printing/pdf_reading.hpp"

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::lineWith;
using testing::pdfPages;

class ClaimPrintCommandLine : public CommandLineProgram {};

// "2026-08-31" as the form's service dates show it: "08 31 26".
std::string formDate(const std::string& iso) {
  return iso.substr(5, 2) + " " + iso.substr(8, 2) + " " + iso.substr(2, 2);
}

TEST_P(ClaimPrintCommandLine, TutorialClaimsPrintOnTheFormAndAreMarkedBilled) {
  const CliRun tutorial = runCli(flags() + "practice tutorial");
  ASSERT_EQ(tutorial.exitCode, 0) << tutorial.output;
  const CliRun listed = runCli(flags() + "--json practice list");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const std::string path = nlohmann::json::parse(listed.output).at(0).at("path");
  const std::string cli = flags() + "--practice '" + path + "' ";
  const CliRun created = runCli(cli + "--yes claim create");
  ASSERT_EQ(created.exitCode, 0) << created.output;

  // The claims a paper run of the second slot takes, worked out from the rows.
  const nlohmann::json before = exported(cli, "QVCLA");
  std::size_t paperSecond = 0;
  for (const auto& claim : before)
    if (claim.at("Claim Status 2") == "1" && claim.at("Secondary Billing Method") == "P")
      ++paperSecond;
  ASSERT_GT(paperSecond, 0u);
  const fs::path second = home_.path() / "second.pdf";
  const CliRun run = runCli(cli + "claim print --slot 2 --pdf '" + second.string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find(std::to_string(paperSecond) + " claim"), std::string::npos)
      << run.output;
  EXPECT_GE(pdfPages(second).size(), paperSecond);
  // The claims printed are Sent for slot 2, in the batch after the highest
  // one any slot held; slot 1 is as it was.
  std::int64_t highestBatch = 0;
  for (const auto& claim : before)
    for (const char* field : {"Batch Number 1", "Batch Number 2", "Batch Number 3"})
      if (claim.at(field).is_number())
        highestBatch = std::max<std::int64_t>(highestBatch, claim.at(field));
  const nlohmann::json afterSecond = exported(cli, "QVCLA");
  ASSERT_EQ(afterSecond.size(), before.size());
  std::size_t sentSecond = 0;
  for (std::size_t i = 0; i < before.size(); ++i) {
    const auto& was = before[i];
    const auto& now = afterSecond[i];
    EXPECT_EQ(now.at("Claim Status 1"), was.at("Claim Status 1"));
    if (was.at("Claim Status 2") != "1" || was.at("Secondary Billing Method") != "P") {
      EXPECT_EQ(now.at("Claim Status 2"), was.at("Claim Status 2"));
      continue;
    }
    ++sentSecond;
    EXPECT_EQ(now.at("Claim Status 2"), "2");
    const std::int64_t batchWas =
        was.at("Batch Number 2").is_number() ? was.at("Batch Number 2").get<std::int64_t>() : 0;
    EXPECT_EQ(now.at("Batch Number 2"), batchWas != 0 ? batchWas : highestBatch + 1);
    EXPECT_EQ(now.at("Secondary Submission Cnt"), 1);
    EXPECT_FALSE(now.at("Secondary Billing Date").is_null());
    EXPECT_EQ(now.at("Initial Billing Date 2"), now.at("Secondary Billing Date"));
  }
  EXPECT_EQ(sentSecond, paperSecond);

  // The first claim on plain paper: each of its charges on a service line with
  // its date, code and amount.
  const std::int64_t number = before.at(0).at("Claim Number");
  const fs::path plain = home_.path() / "plain.pdf";
  const CliRun printed = runCli(cli + "claim print " + std::to_string(number) +
                                " --form plain --pdf '" + plain.string() + "'");
  ASSERT_EQ(printed.exitCode, 0) << printed.output;
  testing::keepPdf(plain, "tutorial-claim.pdf");
  const std::string text = pdfPages(plain).at(0);
  EXPECT_NE(text.find("HEALTH INSURANCE CLAIM FORM"), std::string::npos);
  int charges = 0;
  for (const auto& entry : exported(cli, "QVTRN")) {
    if (entry.at("Claim Number") != number) continue;
    const std::string code = entry.at("Procedure Code");
    const std::string line = lineWith(text, code);
    const double amount = entry.at("Amount");
    const std::string dollars = std::to_string(static_cast<long long>(std::floor(amount)));
    EXPECT_NE(line.find(formDate(entry.at("Date From"))), std::string::npos) << line;
    EXPECT_NE(line.find(dollars), std::string::npos) << line << " " << dollars;
    ++charges;
  }
  EXPECT_GT(charges, 0);

  // The red form carries the data only.
  const fs::path red = home_.path() / "red.pdf";
  ASSERT_EQ(runCli(cli + "claim print " + std::to_string(number) + " --form red --pdf '" +
                   red.string() + "'")
                .exitCode,
            0);
  const std::string redText = pdfPages(red).at(0);
  EXPECT_EQ(redText.find("PATIENT'S NAME"), std::string::npos);
  EXPECT_NE(redText.find(std::string(before.at(0).at("Chart Number"))), std::string::npos);

  // A shift beyond an inch is no printer's feed.
  const CliRun farOff = runCli(cli + "claim print " + std::to_string(number) +
                               " --form red --shift 2,0 --pdf '" + red.string() + "'");
  EXPECT_EQ(farOff.exitCode, 2) << farOff.output;
  EXPECT_NE(farOff.output.find("\"2,0\" is not a shift for --shift"), std::string::npos)
      << farOff.output;

  // Two whole prints of the claim's first slot: sent twice, the refused one
  // counts nothing.
  for (const auto& claim : exported(cli, "QVCLA")) {
    if (claim.at("Claim Number") != number) continue;
    EXPECT_EQ(claim.at("Claim Status 1"), "2");
    const auto& was = before.at(0).at("Primary Submission Count");
    EXPECT_EQ(claim.at("Primary Submission Count"),
              (was.is_number() ? was.get<std::int64_t>() : 0) + 2);
  }

  // A claim that does not exist prints nothing and says so.
  const CliRun none =
      runCli(cli + "claim print 99999 --pdf '" + (home_.path() / "none.pdf").string() + "'");
  EXPECT_EQ(none.exitCode, 1) << none.output;
  EXPECT_NE(none.output.find("There are no claims to print."), std::string::npos) << none.output;
  EXPECT_FALSE(fs::exists(home_.path() / "none.pdf"));
}

VANTRELL_ON_BOTH_ENGINES(ClaimPrintCommandLine);

}  // namespace
}  // namespace vantrell
