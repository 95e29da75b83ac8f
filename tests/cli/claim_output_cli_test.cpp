#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"
#include "store/connection.hpp"
#include "store/table.hpp"

namespace vantrell {
namespace {

// A practice typed in through the command line with one claim of Roe, Ann to
// Medicare (sent electronically, as the carrier has no billing method of its
// own), billed by a provider whose NPI is one digit off.
class ClaimCheckCommandLine : public CommandLineProgram {
 protected:
  void SetUp() override {
    CommandLineProgram::SetUp();
    if (IsSkipped() || HasFailure()) return;
    path_ = practicePath("Clinic");
    ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path_ + "'").exitCode, 0);
    cli_ = flags() + "--practice '" + path_ + "' ";
    for (const char* setup :
         {"patient add \"Chart Number=ROEAN000\" \"Last Name=Roe\" \"First Name=Ann\" \"Street "
          "1=5 Elm Court\" City=Chatham State=IL \"Zip Code=62629\" \"Date of Birth=1970-03-15\" "
          "Sex=Female",
          "provider add DR1 \"Last Name=Welby\" \"First Name=Marcus\" \"Street 1=1 Clinic Way\" "
          "City=Springfield State=IL \"Zip Code=62701-1234\" \"SSN or Fed Tax ID=12-3456789\" "
          "\"Federal Tax ID Indicator=T\" \"National Provider Identifier=1245319598\"",
          "carrier add MC Name=Medicare \"EMC Payor Number=14512\"",
          "diagnosis add R05 Description=Cough", "code add 99213 \"Amount A=80\""}) {
      const CliRun run = runCli(cli_ + setup);
      ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
    }
    const CliRun added = runCli(cli_ +
                                "case add --chart ROEAN000 Description=Cough \"Assigned "
                                "Provider=DR1\" \"Insurance Carrier #1=MC\" \"Policy Number "
                                "#1=1EG4TE5MK72\" \"Diagnosis 1=R05\" \"Price Code=A\"");
    ASSERT_EQ(added.exitCode, 0) << added.output;
    const std::string caseNumber = added.output.substr(0, added.output.find('\n'));
    const CliRun charged = runCli(cli_ + "charge add --chart ROEAN000 --case " + caseNumber +
                                  " 99213 \"Diagnosis Code 1=R05\" \"Place of Service=11\"");
    ASSERT_EQ(charged.exitCode, 0) << charged.output;
    const CliRun created = runCli(cli_ + "claim create");
    ASSERT_EQ(created.exitCode, 0) << created.output;
    auto practice = store::Connection::open({engine(), path_}, {});
    claim_ = std::to_string(std::get<std::int64_t>(
        practice->executeSql("SELECT MAX(\"Claim Number\") FROM \"QVCLA\"").rows.at(0).at(0)));
  }

  std::string path_, cli_, claim_;
};

TEST_P(ClaimCheckCommandLine, ABadNpiIsNamedUntilTheProviderIsPutRight) {
  const CliRun refused = runCli(cli_ + "claim check " + claim_);
  EXPECT_EQ(refused.exitCode, 1) << refused.output;
  EXPECT_EQ(refused.output,
            "Claim " + claim_ +
                " (Roe, Ann) to Medicare:\n"
                "  - The NPI 1245319598 of the billing provider Marcus Welby is not a valid NPI: "
                "its check digit does not match.\n"
                "    Fix in: Provider DR1: National Provider Identifier\n"
                "1 claim(s) checked, 1 with problems.\n");

  // The ready claims are the default; JSON names each problem and its place.
  const CliRun json = runCli(cli_ + "--json claim check");
  EXPECT_EQ(json.exitCode, 1);
  const auto parsed = nlohmann::json::parse(json.output, nullptr, false);
  ASSERT_TRUE(parsed.is_array()) << json.output;
  ASSERT_EQ(parsed.size(), 1U);
  EXPECT_EQ(parsed[0]["carrier"], "MC");
  EXPECT_EQ(parsed[0]["problems"][0]["where"], "Provider DR1: National Provider Identifier");

  ASSERT_EQ(runCli(cli_ + "provider edit DR1 \"National Provider Identifier=1245319599\"").exitCode,
            0);
  const CliRun passed = runCli(cli_ + "claim check " + claim_);
  EXPECT_EQ(passed.exitCode, 0) << passed.output;
  EXPECT_EQ(passed.output, "Claim " + claim_ +
                               " (Roe, Ann): ready to go.\n1 claim(s) checked, 0 with problems.\n");
  EXPECT_EQ(runCli(cli_ + "claim check 9999").exitCode, 1);
}

VANTRELL_ON_BOTH_ENGINES(ClaimCheckCommandLine);

}  // namespace
}  // namespace vantrell
