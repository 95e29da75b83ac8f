#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_fixture.hpp"
#include "store/connection.hpp"
#include "support/tutorial_remittance.hpp"

namespace vantrell {
namespace {

class RemittanceCommandLine : public CommandLineProgram {
 protected:
  nlohmann::json rowOf(const std::string& table, const char* key, std::int64_t value) {
    for (const auto& row : exported(cli_, table))
      if (row.at(key) == value) return row;
    ADD_FAILURE() << "no " << table << " row " << value;
    return nlohmann::json::object();
  }
  static Money money(const nlohmann::json& value) {
    return value.is_null() ? Money{} : Money::fromDouble(value.get<double>());
  }
  // Amount less everything paid or written off.
  static Money remainder(const nlohmann::json& charge) {
    Money left = money(charge.at("Amount"));
    for (const char* paid :
         {"Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
          "Guarantor Amount Paid", "Adjustment Amount"})
      left += money(charge.at(paid));
    return left;
  }
  std::string cli_;
};

// On the tutorial practice with its claims created: an 835 answering one claim
// is first tried with --dry-run (nothing written), then posted; importing it
// again is refused naming the first import, and the queue shows the denied
// line's reason in words.
TEST_P(RemittanceCommandLine, AnAnswerToATutorialClaimIsPostedOnceAndItsDenialQueued) {
  ASSERT_EQ(runCli(flags() + "practice tutorial").exitCode, 0);
  const CliRun listed = runCli(flags() + "--json practice list");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const std::string path = nlohmann::json::parse(listed.output).at(0).at("path");
  cli_ = flags() + "--practice '" + path + "' ";
  ASSERT_EQ(runCli(cli_ + "--yes claim create").exitCode, 0);
  ASSERT_EQ(runCli(cli_ + "recalc").exitCode, 0);
  testing::TutorialRemittance advice;
  {
    auto practice = store::Connection::open({engine(), path}, {});
    advice = testing::writeTutorialRemittance(*practice, "TR4471");
  }
  ASSERT_FALSE(advice.text.empty()) << "the tutorial has no claim with two open charges";
  const std::string file = (home_.path() / "tutorial.835").string();
  std::ofstream(file) << advice.text;
  const std::size_t deposits = exported(cli_, "QVDEP").size();

  const CliRun dry = runCli(cli_ + "era import '" + file + "' --dry-run");
  ASSERT_EQ(dry.exitCode, 0) << dry.output;
  EXPECT_NE(dry.output.find("Would post: "), std::string::npos) << dry.output;
  EXPECT_NE(
      dry.output.find("2 lines, 1 posted (" + advice.paid.toGroupedString() + "), 1 to the queue"),
      std::string::npos)
      << dry.output;
  EXPECT_EQ(exported(cli_, "QVDEP").size(), deposits);
  EXPECT_EQ(remainder(rowOf("QVTRN", "Entry Number", advice.paidEntry)), advice.paidCharge);
  EXPECT_TRUE(exported(cli_, "QVERA").empty());

  const CliRun posted = runCli(cli_ + "era import '" + file + "'");
  ASSERT_EQ(posted.exitCode, 0) << posted.output;
  EXPECT_EQ(exported(cli_, "QVDEP").size(), deposits + 1);
  const auto paidCharge = rowOf("QVTRN", "Entry Number", advice.paidEntry);
  const auto deniedCharge = rowOf("QVTRN", "Entry Number", advice.deniedEntry);
  EXPECT_EQ(money(paidCharge.at("Insurance 1 Amount Paid")), -advice.paid);
  EXPECT_EQ(money(paidCharge.at("Adjustment Amount")), -advice.writtenOff);
  EXPECT_EQ(remainder(paidCharge), Money{});
  EXPECT_EQ(remainder(deniedCharge), advice.deniedCharge);
  EXPECT_EQ(deniedCharge.at("Claim Rejection Code"), "50");
  const auto remittances = exported(cli_, "QVERA");
  ASSERT_EQ(remittances.size(), 1u);
  const std::int64_t number = remittances[0].at("Remittance Number");
  const auto deposit = rowOf("QVDEP", "Entry Number", remittances[0].at("Deposit ID"));
  EXPECT_EQ(money(deposit.at("Payment Amount")), advice.paid);
  EXPECT_EQ(money(deposit.at("Unapplied Amount")), Money{});

  const CliRun again = runCli(cli_ + "era import '" + file + "'");
  EXPECT_EQ(again.exitCode, 1) << again.output;
  EXPECT_NE(
      again.output.find(" as remittance " + std::to_string(number) + "; it is not posted twice."),
      std::string::npos)
      << again.output;
  EXPECT_EQ(exported(cli_, "QVDEP").size(), deposits + 1);

  const CliRun queue = runCli(cli_ + "era queue");
  ASSERT_EQ(queue.exitCode, 0) << queue.output;
  EXPECT_NE(queue.output.find("Denial"), std::string::npos) << queue.output;
  EXPECT_NE(queue.output.find("charge " + std::to_string(advice.deniedEntry)), std::string::npos)
      << queue.output;
  EXPECT_NE(queue.output.find("Not deemed a medical necessity by the payer"), std::string::npos)
      << queue.output;
}

VANTRELL_ON_BOTH_ENGINES(RemittanceCommandLine);

}  // namespace
}  // namespace vantrell
