#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class ClaimCreationCommandLine : public CommandLineProgram {};

TEST_P(ClaimCreationCommandLine, EveryUnbilledInsuranceChargeOfTheTutorialEndsOnAClaim) {
  const CliRun tutorial = runCli(flags() + "practice tutorial");
  ASSERT_EQ(tutorial.exitCode, 0) << tutorial.output;
  const CliRun listed = runCli(flags() + "--json practice list");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const std::string path = nlohmann::json::parse(listed.output).at(0).at("path");
  const std::string cli = flags() + "--practice '" + path + "' ";

  // What the ledger says should be billed, worked out here from the rows:
  // an unbilled charge of type A to G that a policy answers for, on a case with
  // a carrier that is not a cash case.
  std::map<std::pair<std::string, std::int64_t>, bool> billableCases;
  for (const auto& row : exported(cli, "QVCAS")) {
    const bool carrier = row.at("Insurance Carrier #1") != "" ||
                         row.at("Insurance Carrier #2") != "" ||
                         row.at("Insurance Carrier #3") != "";
    billableCases[{row.at("Chart Number"), row.at("Case Number")}] =
        carrier && row.at("Cash Case") != true;
  }
  std::set<std::int64_t> expected;
  for (const auto& row : exported(cli, "QVTRN")) {
    const std::string type = row.at("Transaction Type");
    const bool responsible = row.at("Insurance 1 Responsible") == true ||
                             row.at("Insurance 2 Responsible") == true ||
                             row.at("Insurance 3 Responsible") == true;
    const bool unbilled = row.at("Claim Number").is_null() || row.at("Claim Number") == 0;
    if (unbilled && responsible && type < "H" &&
        billableCases[{row.at("Chart Number"), row.at("Case Number")}])
      expected.insert(row.at("Entry Number").get<std::int64_t>());
  }
  ASSERT_GT(expected.size(), 50u);

  const CliRun created = runCli(cli + "--json claim create");
  ASSERT_EQ(created.exitCode, 0) << created.output;
  const auto numbers = nlohmann::json::parse(created.output);
  std::set<std::int64_t> made;
  for (const auto& number : numbers) made.insert(number.get<std::int64_t>());
  ASSERT_FALSE(made.empty());

  std::map<std::int64_t, std::pair<std::string, std::int64_t>> claims;
  for (const auto& row : exported(cli, "QVCLA"))
    claims[row.at("Claim Number")] = {row.at("Chart Number"), row.at("Case Number")};
  EXPECT_EQ(claims.size(), made.size());
  std::set<std::int64_t> claimsWithCharges;
  for (const auto& row : exported(cli, "QVTRN")) {
    const std::int64_t entry = row.at("Entry Number");
    const std::int64_t claim =
        row.at("Claim Number").is_null() ? 0 : row.at("Claim Number").get<std::int64_t>();
    if (expected.count(entry) == 0) continue;
    ASSERT_EQ(made.count(claim), 1u) << "entry " << entry << " is not on a new claim";
    // The claim is the charge's own patient and case.
    EXPECT_EQ(claims.at(claim), (std::pair<std::string, std::int64_t>{row.at("Chart Number"),
                                                                      row.at("Case Number")}));
    claimsWithCharges.insert(claim);
  }
  EXPECT_EQ(claimsWithCharges, made);

  // A second run finds nothing left.
  const CliRun again = runCli(cli + "claim create");
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.output.find("No new claims were created. If you expected some to be created, "
                              "check the following items:"),
            std::string::npos)
      << again.output;
  EXPECT_NE(again.output.find("3. The transaction needs at least one insurance carrier that\nis "
                              "responsible for payment."),
            std::string::npos);

  // Criteria the dialog refuses end the command with the message.
  const CliRun refused = runCli(cli + "claim create --primary ABCDEFGH");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("Each insurance code must be 5 (or less) characters."),
            std::string::npos);
  EXPECT_EQ(runCli(cli + "claim create --minimum abc").exitCode, 2);
}

VANTRELL_ON_BOTH_ENGINES(ClaimCreationCommandLine);

}  // namespace
}  // namespace vantrell
