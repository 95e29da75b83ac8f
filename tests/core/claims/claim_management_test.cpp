#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "claim_fixture.hpp"
#include "claims/claim_editor.hpp"
#include "claims/claim_slots.hpp"
#include "store/errors.hpp"
#include "support/money_printing.hpp"
#include "support/other_process.hpp"

namespace vantrell::claims {
namespace {

Money money(const char* text) {
  return *Money::parse(text);
}

// Printing as the test wants it to end, remembering what it was asked.
class ScriptedPrinting final : public ClaimPrinting {
 public:
  explicit ScriptedPrinting(bool completes) : completes_(completes) {}
  bool print(const std::vector<std::int64_t>& claims, int slot) override {
    printed = claims;
    printedSlot = slot;
    return completes_;
  }
  std::vector<std::int64_t> printed;
  int printedSlot = 0;

 private:
  bool completes_;
};

class ClaimActionsOnEngine : public ClaimPractice {
 protected:
  // Slot n's (status, batch) of a claim as stored.
  std::pair<std::string, std::int64_t> slot(std::int64_t claimNumber, int n) {
    const auto row = claimRow(claimNumber);
    return {row.text("Claim Status " + std::to_string(n)),
            row.integer("Batch Number " + std::to_string(n))};
  }
  std::string statuses(std::int64_t claimNumber) {
    const auto row = claimRow(claimNumber);
    return row.text("Claim Status 1") + row.text("Claim Status 2") + row.text("Claim Status 3");
  }
  std::string methods(std::int64_t claimNumber) {
    const auto row = claimRow(claimNumber);
    return row.text("Primary Billing Method") + row.text("Secondary Billing Method") +
           row.text("Tertiary Billing Method");
  }
};

// A paid charge keeps its payment; only the claims asked for lose their charges.
TEST_P(ClaimActionsOnEngine, DeleteReleasesTheChargesAndLeavesPaymentsAlone) {
  const auto doomed = claim({{"Insurance Carrier 1", "MC"}, {"Claim Status 1", "2"}});
  const auto kept = claim({{"Insurance Carrier 1", "MC"}, {"Claim Status 1", "1"}});
  const auto paid = charge(doomed, "100", {{"Insurance 1 Amount Paid", "-60"}});
  const auto open = charge(doomed, "80");
  const auto other = charge(kept, "50");
  insert("QVTRN", {{"Chart Number", "DOEJA000"},
                   {"Case Number", std::to_string(caseNumber_)},
                   {"Transaction Type", "I"},
                   {"Procedure Code", "INS"},
                   {"Amount", "-60"}});
  const auto payment = count("SELECT MAX(\"Entry Number\") FROM \"QVTRN\"");
  ScriptedPrompter prompter{true};
  ClaimActions actions(surroundings(prompter));
  ASSERT_TRUE(actions.deleteClaims({doomed}));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "ask: Deleting this claim will release the transactions\nthat are bound to it. "
                "They can then be placed\non another claim.\n\nAre you sure you want to delete "
                "this claim?"}));
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCLA\""), 1);
  EXPECT_EQ(claimOf(paid), 0);
  EXPECT_EQ(claimOf(open), 0);
  EXPECT_EQ(claimOf(other), kept);
  const auto paidRow = row("QVTRN", "Entry Number", paid);
  EXPECT_EQ(paidRow.money("Insurance 1 Amount Paid"), money("-60"));
  EXPECT_EQ(paidRow.money("Amount"), money("100"));
  EXPECT_EQ(row("QVTRN", "Entry Number", payment).money("Amount"), money("-60"));
}

// In estimate mode the estimate claim goes and only the estimate ledger is released,
// even where a real claim has the same number.
TEST_P(ClaimActionsOnEngine, EstimateDeleteReleasesTheEstimateLedgerOnly) {
  const auto real = claim({{"Insurance Carrier 1", "MC"}});
  const auto estimate = claim({{"Insurance Carrier 1", "MC"}}, "QVCLAE");
  ASSERT_EQ(real, estimate);  // both tables number from 1
  const auto billed = charge(real, "10");
  insert("QVTRNE", {{"Chart Number", "DOEJA000"},
                    {"Case Number", std::to_string(caseNumber_)},
                    {"Transaction Type", "A"},
                    {"Amount", "25"},
                    {"Claim Number", std::to_string(estimate)}});
  ScriptedPrompter prompter{true};
  auto context = surroundings(prompter);
  context.estimate = true;
  ClaimActions actions(context);
  ASSERT_TRUE(actions.deleteClaims({estimate}));
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCLAE\""), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCLA\""), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRNE\" WHERE \"Claim Number\" = 0"), 1);
  EXPECT_EQ(claimOf(billed), real);
}

TEST_P(ClaimActionsOnEngine, DeletingSeveralAsksOnceAndNoStopsEverything) {
  const auto first = claim({{"Insurance Carrier 1", "MC"}});
  const auto second = claim({{"Insurance Carrier 1", "BC"}});
  const auto a = charge(first, "10");
  const auto b = charge(second, "20");
  {
    ScriptedPrompter prompter{false};
    ClaimActions actions(surroundings(prompter));
    EXPECT_FALSE(actions.deleteClaims({first, second}));
    ASSERT_EQ(prompter.transcript().size(), 1U);
    EXPECT_EQ(prompter.transcript()[0],
              "ask: Deleting these claims will release the transactions\nthat are bound to them. "
              "They can then be placed\non another claim.\n\nAre you sure you want to delete "
              "these claims?");
    EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCLA\""), 2);
    EXPECT_EQ(claimOf(a), first);
  }
  class CountingProgress final : public ui::Progress {
   public:
    void begin(const std::string& caption, std::int64_t total) override {
      title = caption;
      expected = total;
    }
    bool advance(std::int64_t done) override {
      last = done;
      return true;
    }
    void end() override {}
    std::string title;
    std::int64_t expected = 0, last = 0;
  } progress;
  ScriptedPrompter prompter{true};
  auto context = surroundings(prompter);
  context.progress = &progress;
  ClaimActions actions(context);
  ASSERT_TRUE(actions.deleteClaims({first, second}));
  EXPECT_EQ(progress.title, "Deleting Claims");
  EXPECT_EQ(progress.last, 2);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCLA\""), 0);
  EXPECT_EQ(claimOf(a), 0);
  EXPECT_EQ(claimOf(b), 0);
}

// Another workstation (a process of its own) has the patient open: nothing is
// deleted and the user is told who; this program's own window is "you".
TEST_P(ClaimActionsOnEngine, DeleteNeedsThePatientLock) {
  const auto number = claim({{"Insurance Carrier 1", "MC"}});
  const auto entry = charge(number, "10");
  {
    vantrell::testing::OtherProcess desk(
        [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
          auto connection = space_->connect("DESK2");
          ScriptedPrompter prompter{};
          PatientLocks locks(*connection, prompter);
          if (locks.hold("DOEJA000")) hold();
        });
    ASSERT_TRUE(desk.ready());
    ScriptedPrompter prompter{};
    ClaimActions actions(surroundings(prompter));
    EXPECT_FALSE(actions.deleteClaims({number}));
    EXPECT_EQ(prompter.transcript(),
              (std::vector<std::string>{"error: Patient with chart number DOEJA000 is in use by "
                                        "another user.  Please choose a different patient."}));
  }
  ScriptedPrompter mine{};
  PatientLocks open(*practice_, mine);
  // The server lets the killed workstation's hold go a moment after it died.
  ASSERT_EQ(vantrell::testing::untilEmpty([&]() -> std::optional<std::string> {
              if (open.hold("doeja000")) return std::nullopt;
              return mine.transcript().back();
            }),
            std::nullopt);
  ScriptedPrompter prompter{};
  ClaimActions actions(surroundings(prompter));
  EXPECT_FALSE(actions.deleteClaims({number}));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: You currently have patient with chart number DOEJA000 open."}));
  EXPECT_EQ(claimOf(entry), number);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCLA\""), 1);
}

// Batch 5 in slot 1 on one claim and in slot 2 on another: each slot moves on
// its own claims only.
TEST_P(ClaimActionsOnEngine, BatchScopeMovesEachSlotIndependently) {
  const Fields three = {{"Insurance Carrier 1", "MC"}, {"Insurance Carrier 2", "BC"},
                        {"Insurance Carrier 3", "MC"}, {"Claim Status 1", "2"},
                        {"Claim Status 2", "2"},       {"Claim Status 3", "2"}};
  auto with = [&](Fields extra) {
    Fields fields = three;
    fields.insert(fields.end(), extra.begin(), extra.end());
    return claim(fields);
  };
  const auto inSlot1 = with({{"Batch Number 1", "5"}, {"Batch Number 2", "7"}});
  const auto inSlot2 = with({{"Batch Number 1", "7"}, {"Batch Number 2", "5"}});
  const auto inBoth = with({{"Batch Number 1", "5"}, {"Batch Number 3", "5"}});
  const auto notInIt = with({{"Batch Number 1", "6"}});
  ScriptedPrompter prompter{};
  ClaimActions actions(surroundings(prompter));
  EXPECT_EQ(actions.presetBatch(inSlot2), 7);
  StatusChange change;
  change.batch = 5;
  change.fromStatus = "2";
  change.toStatus = "3";
  ASSERT_TRUE(actions.changeStatus(change, {}));
  EXPECT_EQ(statuses(inSlot1), "322");
  EXPECT_EQ(statuses(inSlot2), "232");
  EXPECT_EQ(statuses(inBoth), "323");
  EXPECT_EQ(statuses(notInIt), "222");
  EXPECT_EQ(actions.slotsChanged(), 4);
  // Only slot 2 chosen: batch 7 is slot 2 of the first claim only.
  change.batch = 7;
  change.slot = 2;
  change.fromStatus = std::string(anyStatus);
  change.toStatus = "0";
  ASSERT_TRUE(actions.changeStatus(change, {}));
  EXPECT_EQ(statuses(inSlot1), "302");
  EXPECT_EQ(statuses(inSlot2), "232");
  EXPECT_TRUE(prompter.transcript().empty());
}

TEST_P(ClaimActionsOnEngine, ChallengeMakesWorkListItemsOnlyForSlotsWithACarrier) {
  insert("QVSEC", {{"Code", "ZED"}, {"Access Level", "1"}});
  insert("QVSEC", {{"Code", "AMY"}, {"Access Level", "2"}});
  insert("QVSEC", {{"Code", "BOB"}, {"Access Level", "1"}});
  const auto number = claim({{"Insurance Carrier 1", "MC"},
                             {"Insurance Carrier 3", "BC"},
                             {"Claim Status 1", "2"},
                             {"Claim Status 2", "6"},
                             {"Claim Status 3", "1"}});
  // Remainders 100 - 60 and 80 for the primary; only the 80 is the third's.
  charge(number, "100", {{"Insurance 1 Amount Paid", "-60"}});
  charge(number, "80", {{"Insurance 3 Responsible", "T"}});
  charge(0, "500");  // not on the claim
  ScriptedPrompter prompter{};
  ClaimActions actions(surroundings(prompter));
  StatusChange change;
  change.fromStatus = std::string(anyStatus);
  change.toStatus = std::string(claim_status::challenge);
  ASSERT_TRUE(actions.changeStatus(change, {number}));
  EXPECT_EQ(statuses(number), "444");
  EXPECT_EQ(actions.workListItemsMade(), 2);
  store::Table items = practice_->openTable("QVWRK");
  items.setOrder("Primary");
  std::vector<store::Record> rows;
  items.forEach([&](const store::Record& item) { rows.push_back(item); });
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].text("Responsible Type"), "I");
  EXPECT_EQ(rows[0].text("Responsible Party"), "MC");
  EXPECT_EQ(rows[0].text("Patient"), "DOEJA000");
  EXPECT_EQ(rows[0].text("Guarantor"), "DOEJO000");
  EXPECT_EQ(rows[0].text("Group Number"), "GRP-1");
  EXPECT_EQ(rows[0].text("Policy Number"), "POL-1");
  EXPECT_EQ(rows[0].money("Balance"), money("120"));
  EXPECT_EQ(rows[0].text("User ID"), "BOB");  // the first level-1 user by code
  EXPECT_EQ(rows[0].text("Status"), "0");
  // Challenged on the program date: the collector follows up that day.
  EXPECT_EQ(rows[0].date("Follow Up Date"), Date::fromYmd(2026, 12, 5));
  EXPECT_EQ(rows[1].text("Responsible Party"), "BC");
  EXPECT_EQ(rows[1].text("Group Number"), "");  // the case has no third policy
  EXPECT_EQ(rows[1].money("Balance"), money("80"));
}

TEST_P(ClaimActionsOnEngine, MethodsAloneChangeNoStatusAndMissingChoicesAreRefused) {
  const auto number = claim({{"Insurance Carrier 1", "MC"},
                             {"Insurance Carrier 2", "BC"},
                             {"Claim Status 1", "1"},
                             {"Claim Status 2", "2"},
                             {"Claim Status 3", "6"},
                             {"Primary Billing Method", "P"},
                             {"Secondary Billing Method", "E"},
                             {"Tertiary Billing Method", "P"}});
  ScriptedPrompter prompter{};
  ClaimActions actions(surroundings(prompter));
  StatusChange change;
  change.methodFrom = "P";
  change.methodTo = "E";
  ASSERT_TRUE(actions.changeStatus(change, {number}));
  EXPECT_EQ(methods(number), "EEE");
  EXPECT_EQ(statuses(number), "126");
  // A from-method without a to-method moves nothing.
  change.methodTo.reset();
  change.toStatus = "0";
  change.fromStatus = "1";
  change.methodFrom = "E";
  ASSERT_TRUE(actions.changeStatus(change, {number}));
  EXPECT_EQ(methods(number), "EEE");
  EXPECT_EQ(statuses(number), "026");

  StatusChange toOnly;
  toOnly.toStatus = "1";
  EXPECT_FALSE(actions.changeStatus(toOnly, {number}));
  StatusChange fromOnly;
  fromOnly.fromStatus = "1";
  EXPECT_FALSE(actions.changeStatus(fromOnly, {number}));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: The 'from' status/billing method was not selected.  No changes were made",
                "error: The 'to' status/billing method was not selected.  No changes were made"}));
  EXPECT_EQ(statuses(number), "026");
}

TEST_P(ClaimActionsOnEngine, RebillOfSeveralNeedsPaperAndDrawsTheNextBatch) {
  const auto a = claim({{"Insurance Carrier 1", "MC"},
                        {"Claim Status 1", "2"},
                        {"Batch Number 1", "7"},
                        {"Primary Billing Method", "P"}});
  const auto b = claim({{"Insurance Carrier 1", "MC"},
                        {"Insurance Carrier 2", "BC"},
                        {"Claim Status 2", "3"},
                        {"Batch Number 3", "12"},
                        {"Secondary Billing Method", "P"},
                        {"Primary Billing Method", "E"}});
  claim({{"Batch Number 2", "3"}});
  {
    ScriptedPrompter prompter{true};
    ClaimActions actions(surroundings(prompter));
    ScriptedPrinting printing(true);
    EXPECT_FALSE(actions.rebill({a, b}, 1, printing));
    EXPECT_EQ(prompter.transcript().back(),
              "error: One or more EDI claims have been selected.\rSelect only Paper claims and try "
              "again.");
    EXPECT_TRUE(printing.printed.empty());
    EXPECT_EQ(slot(a, 1), (std::pair<std::string, std::int64_t>{"2", 7}));
  }
  {
    // Slot 2 is paper on b; a has no slot-2 method stored, which is paper.
    ScriptedPrompter prompter{true};
    ClaimActions actions(surroundings(prompter));
    ScriptedPrinting printing(false);
    EXPECT_FALSE(actions.rebill({a, b}, 2, printing));
    EXPECT_EQ(prompter.transcript().front(),
              "ask: If you continue, all claims selected will be\rassigned a new batch number and "
              "status.\rDo you want to continue?");
    EXPECT_EQ(printing.printed, (std::vector<std::int64_t>{a, b}));
    // Printing did not complete: both are as they were.
    EXPECT_EQ(slot(b, 2), (std::pair<std::string, std::int64_t>{"3", 0}));
    EXPECT_EQ(slot(a, 2), (std::pair<std::string, std::int64_t>{"", 0}));
  }
  ScriptedPrompter prompter{true};
  ClaimActions actions(surroundings(prompter));
  ScriptedPrinting printing(true);
  ASSERT_TRUE(actions.rebill({a, b}, 2, printing));
  EXPECT_EQ(printing.printedSlot, 2);
  // Batches 7, 12 and 3 in different slots: the next is 13.
  EXPECT_EQ(slot(a, 2), (std::pair<std::string, std::int64_t>{"1", 13}));
  EXPECT_EQ(slot(b, 2), (std::pair<std::string, std::int64_t>{"1", 13}));
  EXPECT_EQ(slot(a, 1), (std::pair<std::string, std::int64_t>{"2", 7}));
}

TEST_P(ClaimActionsOnEngine, RebillOfOneClaimPutsItsStatusBackUnlessItWasReady) {
  const auto sent = claim({{"Insurance Carrier 1", "MC"},
                           {"Claim Status 1", "2"},
                           {"Batch Number 1", "4"},
                           {"Primary Billing Method", "E"}});
  ScriptedPrompter prompter{};
  ClaimActions actions(surroundings(prompter));
  ScriptedPrinting failing(false);
  // One claim: no question, EDI allowed, no new batch.
  EXPECT_FALSE(actions.rebill({sent}, 1, failing));
  EXPECT_EQ(failing.printed, (std::vector<std::int64_t>{sent}));
  EXPECT_EQ(slot(sent, 1), (std::pair<std::string, std::int64_t>{"2", 4}));
  ScriptedPrinting completing(true);
  ASSERT_TRUE(actions.rebill({sent}, 1, completing));
  EXPECT_EQ(slot(sent, 1), (std::pair<std::string, std::int64_t>{"1", 4}));
  EXPECT_FALSE(actions.rebill({sent}, 1, failing));
  EXPECT_EQ(slot(sent, 1), (std::pair<std::string, std::int64_t>{"1", 4}));
  EXPECT_TRUE(prompter.transcript().empty());
}

// A claim open in an editor elsewhere stops the run there: the claims before it
// keep their change, the ones after it are not visited.
TEST_P(ClaimActionsOnEngine, AClaimInUseStopsChangeStatusWithEarlierClaimsChanged) {
  const Fields sent = {{"Insurance Carrier 1", "MC"}, {"Claim Status 1", "2"}};
  const auto first = claim(sent);
  const auto held = claim(sent);
  const auto last = claim(sent);
  auto desk2 = space_->connect("DESK2");
  ScriptedPrompter otherPrompter{};
  auto editor = ClaimEditor::open(surroundings(otherPrompter, desk2.get()), held);
  ASSERT_NE(editor, nullptr);
  ScriptedPrompter prompter{};
  ClaimActions actions(surroundings(prompter));
  StatusChange change;
  change.slot = 1;
  change.fromStatus = "2";
  change.toStatus = "3";
  EXPECT_FALSE(actions.changeStatus(change, {first, held, last}));
  ASSERT_EQ(prompter.transcript().size(), 1U);
  EXPECT_EQ(prompter.transcript()[0].rfind("error: The current record is in use", 0), 0U)
      << prompter.transcript()[0];
  EXPECT_EQ(slot(first, 1).first, "3");
  EXPECT_EQ(slot(held, 1).first, "2");
  EXPECT_EQ(slot(last, 1).first, "2");
}

// Rebill of several claims that meets one held elsewhere changes none of them.
TEST_P(ClaimActionsOnEngine, RebillThatMeetsAClaimInUsePutsTheOthersBack) {
  const Fields paper = {{"Insurance Carrier 1", "MC"},
                        {"Claim Status 1", "2"},
                        {"Batch Number 1", "3"},
                        {"Primary Billing Method", "P"}};
  const auto a = claim(paper);
  const auto b = claim(paper);
  auto desk2 = space_->connect("DESK2");
  ScriptedPrompter otherPrompter{};
  auto editor = ClaimEditor::open(surroundings(otherPrompter, desk2.get()), b);
  ASSERT_NE(editor, nullptr);
  ScriptedPrompter prompter{true};
  ClaimActions actions(surroundings(prompter));
  ScriptedPrinting printing(true);
  EXPECT_FALSE(actions.rebill({a, b}, 1, printing));
  EXPECT_TRUE(printing.printed.empty());
  EXPECT_EQ(prompter.transcript().back().rfind("error: The current record is in use", 0), 0U);
  EXPECT_EQ(slot(a, 1), (std::pair<std::string, std::int64_t>{"2", 3}));
  EXPECT_EQ(slot(b, 1), (std::pair<std::string, std::int64_t>{"2", 3}));
}

// One marked row is not enough for Rebill to leave the current claim, but it is for Delete.
TEST(ClaimSelection, EachActionTakesTheMarkedRowsOrTheCurrentOneByItsOwnRule) {
  using Numbers = std::vector<std::int64_t>;
  EXPECT_EQ(claimsToDelete({}, 7), Numbers{7});
  EXPECT_EQ(claimsToDelete({3}, 7), Numbers{3});
  EXPECT_EQ(claimsToDelete({}, std::nullopt), Numbers{});
  EXPECT_EQ(claimsToRebill({3}, 7), Numbers{7});
  EXPECT_EQ(claimsToRebill({3, 4}, 7), (Numbers{3, 4}));
  EXPECT_EQ(claimsToChangeStatus({}), Numbers{});
  EXPECT_EQ(claimsToChangeStatus({5, 6}), (Numbers{5, 6}));
}

VANTRELL_ON_BOTH_ENGINES(ClaimActionsOnEngine);

}  // namespace
}  // namespace vantrell::claims
