#include <gtest/gtest.h>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class PaymentCommandLine : public CommandLineProgram {};

TEST_P(PaymentCommandLine,
       APaymentAndAWriteOffSettleTheChargeAndTheEstimatesFollowTheAllowedAmount) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  for (const char* setup :
       {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"",
        "provider add DR1 \"Last Name=Welby\"", "carrier add MC Name=Medicare",
        "diagnosis add R05 Description=Cough", "code add 99213 \"Amount A=100\"",
        "code add INS Type=I", "code add WO Type=T \"Adjustment Amount Negativ=T\"",
        "code add CHK Type=K"}) {
    const CliRun run = runCli(cli + setup);
    ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
  }
  const CliRun added =
      runCli(cli +
             "case add --chart ROEJO000 Description=Cough \"Assigned Provider=DR1\" "
             "\"Insurance Carrier #1=MC\" \"Diagnosis 1=R05\"");
  ASSERT_EQ(added.exitCode, 0) << added.output;
  const std::string caseNumber = added.output.substr(0, added.output.find('\n'));
  const std::string onCase = "--chart ROEJO000 --case " + caseNumber + " ";
  const auto firstLine = [](const CliRun& run) {
    return run.output.substr(0, run.output.find('\n'));
  };

  const CliRun charge = runCli(cli + "charge add " + onCase + "99213 \"Allowed Amount=80\"");
  ASSERT_EQ(charge.exitCode, 0) << charge.output;
  const CliRun estimates = runCli(cli + "balance show --chart ROEJO000 --estimates");
  EXPECT_NE(estimates.output.find("Insurance 1 due:       $-64.00"), std::string::npos)
      << estimates.output;
  EXPECT_NE(estimates.output.find("Guarantor due:         $16.00"), std::string::npos);
  EXPECT_NE(estimates.output.find("Estimated adjustment:  $20.00"), std::string::npos);

  const CliRun payment = runCli(cli + "payment add " + onCase + "INS 60 --payer 1");
  ASSERT_EQ(payment.exitCode, 0) << payment.output;
  const CliRun writeOff = runCli(cli + "payment add " + onCase + "WO 40");
  ASSERT_EQ(writeOff.exitCode, 0) << writeOff.output;
  EXPECT_EQ(runCli(cli + "payment apply " + firstLine(payment) + " " + firstLine(charge) +
                   " 60 --complete")
                .exitCode,
            0);
  EXPECT_EQ(runCli(cli + "payment apply " + firstLine(writeOff) + " " + firstLine(charge) + " 40")
                .exitCode,
            0);
  const CliRun balance = runCli(cli + "balance show --chart ROEJO000");
  EXPECT_NE(balance.output.find("Account balance:       $0.00"), std::string::npos)
      << balance.output;
  EXPECT_NE(balance.output.find("Remainder of charges:  $0.00"), std::string::npos);
  EXPECT_NE(balance.output.find("Unapplied:             $0.00"), std::string::npos);
  const CliRun ledger = runCli(cli + "--json ledger show --chart ROEJO000");
  EXPECT_NE(ledger.output.find("\"Amount\": -60,"), std::string::npos) << ledger.output;
  EXPECT_NE(ledger.output.find("\"Insurance 1 Amount Paid\": -60,"), std::string::npos);
  EXPECT_NE(ledger.output.find("\"Adjustment Amount\": -40,"), std::string::npos);

  // A guarantor check applied to the oldest charges first, then the totals checked from scratch.
  ASSERT_EQ(runCli(cli + "charge add " + onCase + "99213").exitCode, 0);
  const CliRun check = runCli(cli + "payment add " + onCase + "CHK 30");
  ASSERT_EQ(check.exitCode, 0) << check.output;
  EXPECT_EQ(runCli(cli + "payment apply-oldest " + firstLine(check)).output,
            "This Payment has been fully applied.\n");
  const CliRun recalc = runCli(cli + "recalc");
  EXPECT_NE(recalc.output.find("Charges: 2 read, 0 corrected"), std::string::npos) << recalc.output;
  EXPECT_NE(recalc.output.find("Payments and adjustments: 3 read, 0 corrected"), std::string::npos);
  EXPECT_EQ(runCli(cli + "payment apply 999 1 5").exitCode, 1);
  // Apply to oldest is for guarantor payments only.
  const CliRun second = runCli(cli + "payment add " + onCase + "INS 10 --payer 1");
  ASSERT_EQ(second.exitCode, 0) << second.output;
  EXPECT_EQ(runCli(cli + "payment apply-oldest " + firstLine(second)).exitCode, 1);
  // With documents forced, the estimates are of the document typed, none without one.
  const CliRun owed = runCli(cli + "balance show --chart ROEJO000 --estimates");
  EXPECT_NE(owed.output.find("Insurance 1 due:       $-80.00"), std::string::npos) << owed.output;
  ASSERT_EQ(runCli(cli + "options set \"Force Document Number=T\"").exitCode, 0);
  const CliRun none = runCli(cli + "balance show --chart ROEJO000 --estimates");
  EXPECT_NE(none.output.find("Insurance 1 due:       $0.00"), std::string::npos) << none.output;
  const std::string json = runCli(cli + "--json ledger show --chart ROEJO000").output;
  const std::size_t at = json.find("\"Document Number\": \"");
  ASSERT_NE(at, std::string::npos) << json;
  const std::string document = json.substr(at + 20, json.find('"', at + 20) - at - 20);
  const CliRun ofDocument =
      runCli(cli + "balance show --chart ROEJO000 --estimates --document " + document);
  EXPECT_NE(ofDocument.output.find("Insurance 1 due:       $-80.00"), std::string::npos)
      << ofDocument.output;
  EXPECT_EQ(runCli(cli + "payment add " + onCase + "99213 5").exitCode,
            1);  // a charge code is no payment
}

VANTRELL_ON_BOTH_ENGINES(PaymentCommandLine);

}  // namespace
}  // namespace vantrell
