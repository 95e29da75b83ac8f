#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"
#include "store/connection.hpp"
#include "store/table.hpp"

namespace vantrell {
namespace {

class ClaimManagementCommandLine : public CommandLineProgram {
 protected:
  // A practice with one insured case and three charges; two claims are put in
  // straight, as Create Claims would have left them: the first with the first
  // two charges, the second with none of these.
  void SetUp() override {
    CommandLineProgram::SetUp();
    if (IsSkipped() || HasFailure()) return;
    path_ = practicePath("Clinic");
    ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path_ + "'").exitCode, 0);
    cli_ = flags() + "--practice '" + path_ + "' ";
    for (const char* setup :
         {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"",
          "provider add DR1 \"Last Name=Welby\"", "carrier add MC Name=Medicare",
          "carrier add BC Name=Blue", "diagnosis add R05 Description=Cough",
          "code add 99213 \"Amount A=80\""}) {
      const CliRun run = runCli(cli_ + setup);
      ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
    }
    const CliRun added = runCli(cli_ +
                                "case add --chart ROEJO000 Description=Cough \"Assigned "
                                "Provider=DR1\" \"Insurance Carrier #1=MC\" \"Insurance Carrier "
                                "#2=BC\" \"Diagnosis 1=R05\" \"Price Code=A\"");
    ASSERT_EQ(added.exitCode, 0) << added.output;
    caseNumber_ = added.output.substr(0, added.output.find('\n'));
    for (int i = 0; i < 3; ++i) {
      const CliRun charged = runCli(cli_ + "charge add --chart ROEJO000 --case " + caseNumber_ +
                                    " 99213 \"Diagnosis Code 1=R05\"");
      ASSERT_EQ(charged.exitCode, 0) << charged.output;
      entries_.push_back(std::stoll(charged.output.substr(0, charged.output.find('\n'))));
    }
    auto practice = store::Connection::open({engine(), path_}, {});
    store::Table claims = practice->openTable("QVCLA");
    for (const char* batch : {"5", "6"}) {
      store::Record claim = claims.newRecord();
      for (const auto& [field, value] :
           std::vector<std::pair<std::string, std::string>>{{"Chart Number", "ROEJO000"},
                                                            {"Case Number", caseNumber_},
                                                            {"Insurance Carrier 1", "MC"},
                                                            {"Insurance Carrier 2", "BC"},
                                                            {"Claim Status 1", "1"},
                                                            {"Claim Status 2", "1"},
                                                            {"Claim Status 3", "6"},
                                                            {"Primary Billing Method", "P"},
                                                            {"Batch Number 1", batch},
                                                            {"Diagnosis Code 1", "R05"}})
        claim.setFromText(field, value);
      claims.append(claim);
      claimNumbers_.push_back(claim.integer("Claim Number"));
    }
    store::Table ledger = practice->openTable("QVTRN");
    ledger.setOrder("Idxentrynumber");
    for (int i = 0; i < 2; ++i) {
      auto charge = ledger.seek({store::Value{entries_[static_cast<std::size_t>(i)]}});
      ASSERT_TRUE(charge);
      charge->set("Claim Number", claimNumbers_[0]);
      ledger.post(*charge);
    }
  }
  nlohmann::json json(const std::string& arguments) {
    const CliRun run = runCli(cli_ + "--json " + arguments);
    EXPECT_EQ(run.exitCode, 0) << arguments << "\n" << run.output;
    return nlohmann::json::parse(run.output, nullptr, false);
  }
  std::int64_t claimOf(std::int64_t entry) {
    for (const auto& row : json("ledger show --chart ROEJO000")) {
      if (row["Entry Number"] == entry)
        return row["Claim Number"].is_null() ? 0 : row["Claim Number"].get<std::int64_t>();
    }
    ADD_FAILURE() << "no entry " << entry;
    return -1;
  }
  std::string claim(std::size_t i) const { return std::to_string(claimNumbers_.at(i)); }
  std::string entry(std::size_t i) const { return std::to_string(entries_.at(i)); }

  std::string path_, cli_, caseNumber_;
  std::vector<std::int64_t> entries_;
  std::vector<std::int64_t> claimNumbers_;
};

TEST_P(ClaimManagementCommandLine, ListShowAndStatusPerSlot) {
  auto listed = json("claim list");
  ASSERT_EQ(listed.size(), 2U);
  EXPECT_EQ(listed[0]["claim"], claimNumbers_[0]);
  EXPECT_EQ(listed[0]["slots"][0]["status"], "Ready to Send");
  EXPECT_EQ(listed[0]["slots"][0]["medium"], "Paper");
  EXPECT_EQ(listed[0]["slots"][2]["status"], "");
  const CliRun text = runCli(cli_ + "claim list --exclude-done");
  ASSERT_EQ(text.exitCode, 0) << text.output;
  EXPECT_EQ(std::count(text.output.begin(), text.output.end(), '\n'), 2) << text.output;
  EXPECT_NE(text.output.find("ROEJO000 | MC    Ready to Send Paper"), std::string::npos)
      << text.output;
  const CliRun shownText = runCli(cli_ + "claim show " + claim(0));
  EXPECT_NE(shownText.output.find("Carrier 2: BC Ready to Send Paper batch 0"), std::string::npos)
      << shownText.output;
  EXPECT_NE(shownText.output.find(std::to_string(entries_[1]) + " "), std::string::npos);
  EXPECT_EQ(json("claim list --batch 6").size(), 1U);
  EXPECT_EQ(json("claim list --slot 2 --batch 6").size(), 0U);

  const auto shown = json("claim show " + claim(0));
  EXPECT_EQ(shown["claim"]["Claim Number"], claimNumbers_[0]);
  EXPECT_EQ(shown["claim"]["Insurance Carrier 2"], "BC");
  ASSERT_EQ(shown["charges"].size(), 2U);
  EXPECT_EQ(shown["charges"][1]["Entry Number"], entries_[1]);

  // Batch 5 is the first claim's primary batch only.
  const auto moved = json("claim status --batch 5 --to Sent --from 1 --slot all");
  EXPECT_EQ(moved["slots changed"], 1);
  const auto challenged = json("claim status " + claim(0) + " " + claim(1) + " --to 4 --slot 2");
  EXPECT_EQ(challenged["slots changed"], 2);
  EXPECT_EQ(challenged["work list items"], 2);
  listed = json("claim list --status Challenge --slot 2");
  EXPECT_EQ(listed.size(), 2U);
  EXPECT_EQ(json("claim list --status 2 --slot 1").size(), 1U);
  EXPECT_EQ(json("claim status " + claim(1) + " --method-from P --method-to E")["slots changed"],
            0);
  EXPECT_EQ(json("claim list --method E").size(), 1U);

  const CliRun nothing = runCli(cli_ + "claim status " + claim(0));
  EXPECT_EQ(nothing.exitCode, 1);
  EXPECT_NE(nothing.output.find("The 'from' status/billing method was not selected.  No changes "
                                "were made"),
            std::string::npos);
  EXPECT_EQ(runCli(cli_ + "claim status " + claim(0) + " --to 1 --slot 9").exitCode, 2);
  EXPECT_EQ(runCli(cli_ + "claim status --to 1").exitCode, 2);
  // A slot or status that is no such thing is a usage error before any practice opens.
  const std::string nowhere = flags() + "--practice '" + path_ + "-missing' ";
  EXPECT_EQ(runCli(nowhere + "claim list --slot 4").exitCode, 2);
  EXPECT_EQ(runCli(nowhere + "claim status 1 --to Lost").exitCode, 2);
  const CliRun missing = runCli(cli_ + "claim show 999");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("Claim key 999 not found"), std::string::npos);
}

TEST_P(ClaimManagementCommandLine, ChargesMoveOnAndOffClaimsAndDeleteReleasesThem) {
  const CliRun all =
      runCli(cli_ + "--yes claim remove " + claim(0) + " " + entry(0) + " " + entry(1));
  EXPECT_EQ(all.exitCode, 1);
  EXPECT_NE(all.output.find("You cannot remove all transactions from a claim"), std::string::npos);
  const CliRun split = runCli(cli_ + "--yes claim split " + claim(0) + " " + entry(1));
  ASSERT_EQ(split.exitCode, 0) << split.output;
  // The question and its answer go first; the new claim's number is the last line.
  const std::string lines = split.output.substr(0, split.output.size() - 1);
  const std::int64_t made = std::stoll(lines.substr(lines.rfind('\n') + 1));
  EXPECT_EQ(claimOf(entries_[1]), made);
  EXPECT_EQ(claimOf(entries_[0]), claimNumbers_[0]);

  const CliRun single = runCli(cli_ + "--yes claim remove " + claim(0) + " " + entry(0));
  EXPECT_EQ(single.exitCode, 1);
  EXPECT_NE(single.output.find("Every claim must have at least one transaction."),
            std::string::npos);

  ASSERT_EQ(runCli(cli_ + "--yes claim add " + claim(0) + " " + entry(2)).exitCode, 0);
  EXPECT_EQ(claimOf(entries_[2]), claimNumbers_[0]);
  ASSERT_EQ(runCli(cli_ + "--yes claim remove " + claim(0) + " " + entry(2)).exitCode, 0);
  EXPECT_EQ(claimOf(entries_[2]), 0);
  ASSERT_EQ(runCli(cli_ + "claim status " + claim(0) + " --to 2 --slot 1").exitCode, 0);
  const CliRun notReady = runCli(cli_ + "--yes claim add " + claim(0) + " " + entry(2));
  EXPECT_EQ(notReady.exitCode, 1);
  EXPECT_NE(notReady.output.find("be marked as Ready To Send for all carriers."),
            std::string::npos);

  ASSERT_EQ(runCli(cli_ + "claim note " + claim(0) + " 'call Medicare'").exitCode, 0);
  EXPECT_EQ(json("claim show " + claim(0))["claim"]["Comment"], "call Medicare");

  // Without --yes the question is answered No and nothing goes.
  const CliRun no = runCli(cli_ + "claim delete " + claim(0));
  EXPECT_EQ(no.exitCode, 1);
  EXPECT_NE(no.output.find("Are you sure you want to delete this claim?"), std::string::npos);
  EXPECT_EQ(claimOf(entries_[0]), claimNumbers_[0]);
  ASSERT_EQ(runCli(cli_ + "--yes claim delete " + claim(0) + " " + std::to_string(made)).exitCode,
            0);
  EXPECT_EQ(claimOf(entries_[0]), 0);
  EXPECT_EQ(claimOf(entries_[1]), 0);
  EXPECT_EQ(json("claim list").size(), 1U);
}

VANTRELL_ON_BOTH_ENGINES(ClaimManagementCommandLine);

}  // namespace
}  // namespace vantrell
