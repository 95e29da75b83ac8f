#include <gtest/gtest.h>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class TransactionCommandLine : public CommandLineProgram {};

TEST_P(TransactionCommandLine, AChargeIsPricedFromTheCaseColumnAndCarriesTheCaseFlags) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  for (const char* setup :
       {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"",
        "provider add DR1 \"Last Name=Welby\"", "carrier add MC Name=Medicare",
        "diagnosis add R05 Description=Cough",
        "code add 99213 \"Amount A=80\" \"Amount C=95\" \"Don't Print on Insurance=BC\"",
        "code add LAB Type=B \"Amount C=12.5\"",
        "multilink add VISIT \"Link Code 1=99213\" \"Link Code 2=LAB\""}) {
    const CliRun run = runCli(cli + setup);
    ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
  }
  const CliRun added =
      runCli(cli +
             "case add --chart ROEJO000 Description=Cough \"Assigned Provider=DR1\" "
             "\"Insurance Carrier #1=MC\" \"Price Code=C\" \"Diagnosis 1=R05\"");
  ASSERT_EQ(added.exitCode, 0) << added.output;
  const std::string caseNumber = added.output.substr(0, added.output.find('\n'));

  const CliRun charged =
      runCli(cli + "charge add --chart ROEJO000 --case " + caseNumber + " 99213 Units=1");
  ASSERT_EQ(charged.exitCode, 0) << charged.output;
  const std::string entry = charged.output.substr(0, charged.output.find('\n'));
  const CliRun ledger = runCli(cli + "--json ledger show --chart ROEJO000");
  EXPECT_NE(ledger.output.find("\"Entry Number\": " + entry), std::string::npos);
  EXPECT_NE(ledger.output.find("\"Amount\": 95,"), std::string::npos) << ledger.output;
  EXPECT_NE(ledger.output.find("\"Price Indicator\": \"C\""), std::string::npos);
  EXPECT_NE(ledger.output.find("\"Insurance 1 Responsible\": true"), std::string::npos);
  EXPECT_NE(ledger.output.find("\"Insurance 2 Responsible\": false"), std::string::npos);
  EXPECT_NE(ledger.output.find("\"Insurance 2 Paid\": true"), std::string::npos);
  EXPECT_NE(ledger.output.find("\"Guarantor Responsible\": true"), std::string::npos);

  // A code that is not a charge, and units that are not a number, are refused with nothing saved.
  EXPECT_EQ(runCli(cli + "charge add --chart ROEJO000 --case " + caseNumber + " NOPE").exitCode, 1);
  const CliRun badUnits =
      runCli(cli + "charge add --chart ROEJO000 --case " + caseNumber + " 99213 Units=x");
  EXPECT_EQ(badUnits.exitCode, 1);
  EXPECT_NE(badUnits.output.find("The \"Units\" field is not valid"), std::string::npos);

  const CliRun linked = runCli(cli + "charge multilink --chart ROEJO000 --case " + caseNumber +
                               " VISIT --date 2026-11-30");
  ASSERT_EQ(linked.exitCode, 0) << linked.output;
  EXPECT_EQ(std::count(linked.output.begin(), linked.output.end(), '\n'), 2);
  EXPECT_EQ(runCli(cli + "--yes charge delete " + entry).exitCode, 0);
  const CliRun after = runCli(cli + "ledger show --chart ROEJO000 --case " + caseNumber);
  EXPECT_EQ(std::count(after.output.begin(), after.output.end(), '\n'), 2) << after.output;
  // Each line starts with its entry number, right-aligned in eight places.
  const std::string deleted = std::string(8 - entry.size(), ' ') + entry + " ";
  EXPECT_NE(after.output.substr(0, 9), deleted);
  // A chart typed wrong is refused, not shown as a patient with nothing.
  for (const char* reading : {"ledger show", "case list", "balance show"}) {
    const CliRun nobody = runCli(cli + reading + " --chart roexx000");
    EXPECT_EQ(nobody.exitCode, 1) << reading;
    EXPECT_NE(nobody.output.find("There is no patient with chart number ROEXX000."),
              std::string::npos)
        << reading << "\n"
        << nobody.output;
  }
  EXPECT_EQ(after.output.find("\n" + deleted), std::string::npos);
}

VANTRELL_ON_BOTH_ENGINES(TransactionCommandLine);

}  // namespace
}  // namespace vantrell
