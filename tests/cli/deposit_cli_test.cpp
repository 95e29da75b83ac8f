#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class DepositCommandLine : public CommandLineProgram {};

std::string firstLine(const CliRun& run) {
  return run.output.substr(0, run.output.find('\n'));
}

TEST_P(DepositCommandLine, DepositsAreAddedCheckedListedEditedExportedAndDeleted) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  for (const char* setup :
       {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"", "carrier add MC Name=Medicare",
        "code add INS Type=I", "code add CHK Type=K", "code add CSH Type=J"}) {
    const CliRun run = runCli(cli + setup);
    ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
  }
  const std::string patientCash =
      "deposit add \"Deposit Date=12/05/2026\" \"Payor Type=Patient\" \"Payment Method=Cash\" "
      "\"Chart Number=ROEJO000\" \"Payor Name=John Roe\" \"Payment Amount=40\" ";
  const CliRun refused = runCli(cli + patientCash + "\"Payment Code=CHK\"");
  EXPECT_EQ(refused.exitCode, 1) << refused.output;
  EXPECT_NE(refused.output.find("The Payment code type does not match the Payment Method."),
            std::string::npos)
      << refused.output;
  const CliRun cash = runCli(cli + patientCash + "\"Payment Code=CSH\"");
  ASSERT_EQ(cash.exitCode, 0) << cash.output;
  const std::string cashEntry = firstLine(cash);

  const CliRun insurance = runCli(
      cli +
      "deposit add \"Deposit Date=12/05/2026\" \"Payor Type=Insurance\" \"Insurance Code=MC\" "
      "\"Payor Name=Medicare\" \"Payment Code=INS\" \"Check Number=555\" \"Payment Amount=100\"");
  ASSERT_EQ(insurance.exitCode, 0) << insurance.output;
  const std::string insuranceEntry = firstLine(insurance);
  ASSERT_EQ(runCli(cli + "deposit edit " + insuranceEntry + " \"Payment Amount=120\"").exitCode, 0);
  const CliRun shown = runCli(cli + "--json deposit show " + insuranceEntry);
  ASSERT_EQ(shown.exitCode, 0) << shown.output;
  const auto record = nlohmann::json::parse(shown.output);
  EXPECT_EQ(record["Payment Amount"], 120);
  EXPECT_EQ(record["Unapplied Amount"], 120);

  // By amount: the cash deposit of 40 before the check of 120.
  const CliRun listed = runCli(cli + "--json deposit list --date 12/05/2026 --order Amount");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const auto rows = nlohmann::json::parse(listed.output);
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(std::to_string(rows[0]["Entry Number"].get<std::int64_t>()), cashEntry);
  EXPECT_EQ(std::to_string(rows[1]["Entry Number"].get<std::int64_t>()), insuranceEntry);
  EXPECT_EQ(runCli(cli + "deposit list --date 12/04/2026").output, "");
  EXPECT_EQ(runCli(cli + "deposit list --date 12/05/2026 --order Colour").exitCode, 1);
  EXPECT_EQ(runCli(cli + "deposit list --date 13/45/2026").exitCode, 2);

  const CliRun detail = runCli(cli + "--json deposit detail " + insuranceEntry);
  ASSERT_EQ(detail.exitCode, 0) << detail.output;
  EXPECT_TRUE(nlohmann::json::parse(detail.output)["payments"].empty());

  const auto file = home_.path() / "deposits.qif";
  const CliRun exported = runCli(cli + "deposit export --from 12/01/2026 --to 12/31/2026 --qif '" +
                                 file.string() + "'");
  ASSERT_EQ(exported.exitCode, 0) << exported.output;
  std::ifstream stream(file);
  std::stringstream text;
  text << stream.rdbuf();
  std::filesystem::remove(file);
  const std::string cashRecord = "D12/05/2026\nT40.00\nPJohn Roe\n^\n";
  const std::string checkRecord = "D12/05/2026\nT120.00\nPMedicare\n^\n";
  // Same day: in the order they were entered.
  EXPECT_EQ(text.str(), "!Type:Bank\n" + cashRecord + checkRecord);

  const CliRun no = runCli(cli + "deposit delete " + cashEntry);
  EXPECT_EQ(no.exitCode, 1) << no.output;
  EXPECT_NE(no.output.find("Are you sure you want to delete this record?"), std::string::npos);
  EXPECT_EQ(runCli(cli + "--yes deposit delete " + cashEntry).exitCode, 0);
  EXPECT_EQ(runCli(cli + "deposit show " + cashEntry).exitCode, 1);
  EXPECT_EQ(runCli(cli + "deposit show " + insuranceEntry).exitCode, 0);
}

// A payment entered in the ledger makes a deposit of its own; the deposit's
// detail shows what its application rows applied, and a new check number on
// the deposit reaches the payment line.
TEST_P(DepositCommandLine, TheDepositOfALedgerPaymentShowsItsAppliedPartAndTakesANewCheckNumber) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  for (const char* setup : {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"",
                            "provider add DR1 \"Last Name=Welby\"", "carrier add MC Name=Medicare",
                            "diagnosis add R05 Description=Cough",
                            "code add 99213 \"Amount A=100\"", "code add INS Type=I"}) {
    const CliRun run = runCli(cli + setup);
    ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
  }
  const CliRun added =
      runCli(cli +
             "case add --chart ROEJO000 Description=Cough \"Assigned Provider=DR1\" "
             "\"Insurance Carrier #1=MC\" \"Diagnosis 1=R05\"");
  ASSERT_EQ(added.exitCode, 0) << added.output;
  const std::string onCase = "--chart ROEJO000 --case " + firstLine(added) + " ";
  const CliRun charge = runCli(cli + "charge add " + onCase + "99213 \"Date From=12/03/2026\"");
  ASSERT_EQ(charge.exitCode, 0) << charge.output;
  const CliRun payment = runCli(cli + "payment add " + onCase +
                                "INS 60 --payer 1 \"Date From=12/03/2026\" \"Check Number=41\"");
  ASSERT_EQ(payment.exitCode, 0) << payment.output;
  ASSERT_EQ(runCli(cli + "payment apply " + firstLine(payment) + " " + firstLine(charge) + " 45")
                .exitCode,
            0);

  const CliRun listed = runCli(cli + "--json deposit list --date 12/03/2026");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const auto rows = nlohmann::json::parse(listed.output);
  ASSERT_EQ(rows.size(), 1U) << listed.output;
  const std::string deposit = std::to_string(rows[0]["Entry Number"].get<std::int64_t>());
  EXPECT_EQ(rows[0]["Payment Amount"], 60);

  const CliRun detail = runCli(cli + "--json deposit detail " + deposit);
  ASSERT_EQ(detail.exitCode, 0) << detail.output;
  const auto payments = nlohmann::json::parse(detail.output)["payments"];
  ASSERT_EQ(payments.size(), 1U) << detail.output;
  EXPECT_EQ(std::to_string(payments[0]["entry"].get<std::int64_t>()), firstLine(payment));
  EXPECT_EQ(payments[0]["amount"], -60);
  EXPECT_EQ(payments[0]["applied"], -45);

  ASSERT_EQ(runCli(cli + "deposit edit " + deposit + " \"Check Number=42\"").exitCode, 0);
  const CliRun ledger = runCli(cli + "--json ledger show --chart ROEJO000");
  EXPECT_NE(ledger.output.find("\"Check Number\": \"42\""), std::string::npos) << ledger.output;
  EXPECT_EQ(ledger.output.find("\"Check Number\": \"41\""), std::string::npos);
}

VANTRELL_ON_BOTH_ENGINES(DepositCommandLine);

}  // namespace
}  // namespace vantrell
