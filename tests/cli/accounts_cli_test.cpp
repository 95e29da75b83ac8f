#include <gtest/gtest.h>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class AccountsCommandLine : public CommandLineProgram {};

TEST_P(AccountsCommandLine, ChartNumbersCasesAndDeletesFromTheCommandLine) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";

  ASSERT_EQ(runCli(cli + "options set Numeric=T").exitCode, 0);
  EXPECT_EQ(runCli(cli + "patient add \"Last Name=Smith\" \"First Name=Ann\"").output,
            "00000001\n");
  ASSERT_EQ(runCli(cli + "patient add \"Chart Number=00000007\" \"Last Name=Seven\"").output,
            "00000007\n");
  ASSERT_EQ(runCli(cli + "patient add \"Chart Number=smith000\" \"Last Name=Smith\"").output,
            "SMITH000\n");
  EXPECT_EQ(runCli(cli + "patient add \"Last Name=Next\"").output, "00000008\n");

  ASSERT_EQ(runCli(cli + "options set Numeric=F").exitCode, 0);
  EXPECT_EQ(runCli(cli + "patient add \"Last Name=Li\" \"First Name=Bo\"").output, "LIBO0000\n");
  EXPECT_EQ(runCli(cli + "patient add \"Last Name=Li\" \"First Name=Bo\"").output, "LIBO0001\n");
  EXPECT_EQ(runCli(cli + "patient add \"Last Name=O'Neal\" \"First Name=Al\"").output,
            "O0NAL000\n");
  const CliRun duplicate = runCli(cli + "patient add \"Chart Number=libo0000\"");
  EXPECT_EQ(duplicate.exitCode, 1);
  EXPECT_NE(duplicate.output.find("Chart number LIBO0000 already exists."), std::string::npos);

  ASSERT_EQ(runCli(cli + "provider add DR1 \"Last Name=Welby\"").exitCode, 0);
  const CliRun noProvider = runCli(cli + "case add --chart 00000001 Description=Flu");
  EXPECT_EQ(noProvider.exitCode, 1);
  EXPECT_EQ(noProvider.output, "An assigned provider has not been selected for this case.\n");
  const CliRun added = runCli(
      cli +
      "case add --chart 00000001 Description=Flu \"Assigned Provider=DR1\" \"Guarantor=SMITH000\"");
  ASSERT_EQ(added.exitCode, 0) << added.output;
  const std::string number = added.output.substr(0, added.output.find('\n'));
  const CliRun listed = runCli(cli + "--json case list --chart 00000001");
  EXPECT_NE(listed.output.find("\"Case Number\": " + number), std::string::npos);
  EXPECT_NE(listed.output.find("\"Percent Covered B #3\": 100"), std::string::npos);
  EXPECT_NE(listed.output.find("\"Comment\": "), std::string::npos);  // the last of the 174 fields

  const CliRun badDates =
      runCli(cli + "case edit " + number +
             " \"Policy #1 Start Date=2026-03-01\" \"Policy #1 End Date=2026-02-01\"");
  EXPECT_EQ(badDates.exitCode, 1);
  EXPECT_EQ(badDates.output, "The Policy 1 end date is before the Policy 1 start date.\n");

  // The guarantor of another patient's case stays; the patient goes with its case.
  const CliRun guarantor = runCli(cli + "--yes patient delete SMITH000");
  EXPECT_EQ(guarantor.exitCode, 1);
  EXPECT_NE(guarantor.output.find("used in the Guarantor field of the Case table"),
            std::string::npos);
  EXPECT_EQ(runCli(cli + "patient delete 00000001").exitCode, 1);  // the question answered No
  EXPECT_EQ(runCli(cli + "--yes patient delete 00000001").exitCode, 0);
  const CliRun gone = runCli(cli + "case list --chart 00000001");
  EXPECT_EQ(gone.exitCode, 1);
  EXPECT_EQ(gone.output, "There is no patient with chart number 00000001.\n");
  EXPECT_EQ(runCli(cli + "--yes patient delete SMITH000").exitCode, 0);
  EXPECT_EQ(runCli(cli + "case show x").exitCode, 2);
}

TEST_P(AccountsCommandLine, FieldsTheProgramKeepsCannotBeTyped) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  ASSERT_EQ(runCli(cli + "patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"").exitCode, 0);
  for (const char* attempt :
       {"patient edit ROEJO000 \"Patient Reference Balance=99999\"",
        "patient edit ROEJO000 \"Last Payment Amount=500\"",
        "patient add \"Last Name=Doe\" \"User Code=SOMEONE\"",
        "patient add \"Last Name=Doe\" \"Date Created=1999-01-01\"",
        "options set \"Data Version Number=1\"", "code add 99213 \"Date Modified=2020-01-01\"",
        "carrier add MC Name=Medicare \"User Code=SOMEONE\""}) {
    const CliRun refused = runCli(cli + attempt);
    EXPECT_NE(refused.exitCode, 0) << attempt;
    EXPECT_NE(refused.output.find("is kept by the program and cannot be set"), std::string::npos)
        << attempt << "\n"
        << refused.output;
  }
  // Nothing was stored: the patient's balance is untouched and the practice still opens.
  const CliRun patient = runCli(cli + "--json patient list");
  EXPECT_EQ(patient.exitCode, 0) << patient.output;
  EXPECT_EQ(patient.output.find("99999"), std::string::npos) << patient.output;
  EXPECT_EQ(patient.output.find("Doe"), std::string::npos) << patient.output;
}

TEST_P(AccountsCommandLine, CaseFieldsTakeOnlyTheirListsAndRangesAndCodesNoNegativePrices) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  ASSERT_EQ(runCli(cli + "patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"").exitCode, 0);
  ASSERT_EQ(runCli(cli + "provider add DR1 \"Last Name=Welby\"").exitCode, 0);
  const std::string newCase =
      cli + "case add --chart ROEJO000 Description=Knee \"Assigned Provider=DR1\" ";
  for (const char* field :
       {"\"Insured Relationship #1=Cousin\"", "\"Marital Status=Complicated\"",
        "\"Illness Indicator=Banana\"", "\"Percent Covered A #1=250\"",
        "\"Percent Covered B #1=-50\"", "\"Copayment Amount=-20\"",
        "\"Date of Injury/Illness=notadate\"", "\"Nature of Accident=Fell over\""}) {
    const CliRun refused = runCli(newCase + field);
    EXPECT_EQ(refused.exitCode, 1) << field << "\n" << refused.output;
  }
  EXPECT_EQ(runCli(cli + "case list --chart ROEJO000").output, "");
  // List values in another letter case are stored as the list spells them.
  const CliRun added = runCli(newCase +
                              "\"Insured Relationship #1=spouse\" \"Percent Covered A #1=100\" "
                              "\"Date of Injury/Illness=03/04/2026\" \"Copayment Amount=20\"");
  ASSERT_EQ(added.exitCode, 0) << added.output;
  const CliRun listed = runCli(cli + "--json case list --chart ROEJO000");
  EXPECT_NE(listed.output.find("\"Insured Relationship #1\": \"Spouse\""), std::string::npos)
      << listed.output;
  for (const char* code :
       {"code add TAX1 Type=G \"Tax Rate=-5\"", "code add NEG \"Amount A=-10\""}) {
    const CliRun refused = runCli(cli + code);
    EXPECT_EQ(refused.exitCode, 1) << code << "\n" << refused.output;
  }
  EXPECT_EQ(runCli(cli + "code add TAX2 Type=G \"Tax Rate=8.25\"").exitCode, 0);
}

VANTRELL_ON_BOTH_ENGINES(AccountsCommandLine);

}  // namespace
}  // namespace vantrell
