#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "claim_fixture.hpp"
#include "claims/claim_billing.hpp"
#include "claims/claim_editor.hpp"

namespace vantrell::claims {
namespace {

class ClaimBillingOnEngine : public ClaimPractice {
 protected:
  void SetUp() override {
    ClaimPractice::SetUp();
    if (IsSkipped() || HasFailure()) return;
    options_ = vantrell::testing::newPracticeOptions(*practice_);
  }
  ClaimBillingOutcome bill(std::vector<BilledClaim> claims, Date day, ScriptedPrompter& prompter,
                           store::Connection* on = nullptr, bool estimate = false) {
    ClaimBillingRun run;
    run.claims = std::move(claims);
    run.billingDate = day;
    run.estimate = estimate;
    return recordClaimsBilled(on != nullptr ? *on : *practice_, options_, prompter, run);
  }
  void setOption(const char* field, store::Value value) {
    auto row = options_.record();
    row.set(field, std::move(value));
    options_ = practice::Options(row);
  }
  std::string billedFlags(std::int64_t entry, const char* table = "QVTRN") {
    const auto line = row(table, "Entry Number", entry);
    std::string flags;
    for (int n = 1; n <= 3; ++n)
      flags += line.logical("Billed to Insured " + std::to_string(n)) ? 'T' : 'F';
    return flags;
  }
  practice::Options options_;
};

const Date dec1 = Date::fromYmd(2026, 12, 1);
const Date dec4 = Date::fromYmd(2026, 12, 4);

// The first billing of slot 2 sets both its dates and draws batch 13 (batches
// 7, 12 and 3 stand in different slots); billing again moves only the billing
// date, the status and the count.
TEST_P(ClaimBillingOnEngine, FirstBillingSetsBothDatesAndARebillMovesOnlyTheBillingDate) {
  claim({{"Batch Number 1", "7"}});
  claim({{"Batch Number 3", "12"}});
  const auto billed = claim({{"Insurance Carrier 1", "MC"},
                             {"Insurance Carrier 2", "BC"},
                             {"Claim Status 1", "2"},
                             {"Claim Status 2", "1"},
                             {"Batch Number 1", "3"},
                             {"Secondary Submission Cnt", "0"}});
  const auto first = charge(billed, "100");
  const auto second = charge(billed, "40");
  const auto elsewhere = charge(0, "25");
  ScriptedPrompter prompter{};
  const auto outcome = bill({{billed, 2}}, dec1, prompter);
  EXPECT_EQ(outcome.batch, 13);
  EXPECT_EQ(outcome.updated, (std::vector<std::int64_t>{billed}));
  auto row = claimRow(billed);
  EXPECT_EQ(row.date("Initial Billing Date 2"), dec1);
  EXPECT_EQ(row.date("Secondary Billing Date"), dec1);
  EXPECT_EQ(row.integer("Batch Number 2"), 13);
  EXPECT_EQ(row.text("Claim Status 2"), "2");
  EXPECT_EQ(row.integer("Secondary Submission Cnt"), 1);
  // Slot 1 is not touched.
  EXPECT_EQ(row.integer("Batch Number 1"), 3);
  EXPECT_TRUE(row.date("Primary Billing Date").isEmpty());
  EXPECT_TRUE(row.date("Initial Billing Date 1").isEmpty());
  EXPECT_EQ(row.integer("Primary Submission Count"), 0);
  EXPECT_EQ(billedFlags(first), "FTF");
  EXPECT_EQ(billedFlags(second), "FTF");
  EXPECT_EQ(billedFlags(elsewhere), "FFF");

  // Rebilled three days later after Rebill put it back to Ready to Send.
  practice_->executeSql("UPDATE \"QVCLA\" SET \"Claim Status 2\" = '1' WHERE \"Claim Number\" = ?",
                        {store::Value{billed}});
  const auto again = bill({{billed, 2}}, dec4, prompter);
  EXPECT_EQ(again.batch, 14);
  row = claimRow(billed);
  EXPECT_EQ(row.date("Initial Billing Date 2"), dec1);
  EXPECT_EQ(row.date("Secondary Billing Date"), dec4);
  EXPECT_EQ(row.integer("Batch Number 2"), 13);
  EXPECT_EQ(row.text("Claim Status 2"), "2");
  EXPECT_EQ(row.integer("Secondary Submission Cnt"), 2);
  EXPECT_TRUE(prompter.transcript().empty());
}

// Each slot moves its own fields: the primary's count and dates have the
// irregular names of slot 1 and 3.
TEST_P(ClaimBillingOnEngine, PrimaryAndTertiarySlotsAndAClaimThatIsGone) {
  const auto a = claim({{"Insurance Carrier 1", "MC"}, {"Primary Submission Count", "4"}});
  const auto b = claim({{"Insurance Carrier 3", "BC"}, {"Batch Number 3", "9"}});
  const auto line = charge(b, "10");
  ScriptedPrompter prompter{};
  const auto outcome = bill({{a, 1}, {999999, 1}, {b, 3}}, dec4, prompter);
  EXPECT_EQ(outcome.batch, 10);
  EXPECT_EQ(outcome.updated, (std::vector<std::int64_t>{a, b}));
  const auto rowA = claimRow(a);
  EXPECT_EQ(rowA.integer("Primary Submission Count"), 5);
  EXPECT_EQ(rowA.date("Primary Billing Date"), dec4);
  EXPECT_EQ(rowA.date("Initial Billing Date 1"), dec4);
  EXPECT_EQ(rowA.integer("Batch Number 1"), 10);
  const auto rowB = claimRow(b);
  EXPECT_EQ(rowB.integer("Tertiary Submission Count"), 1);
  EXPECT_EQ(rowB.date("Tertiary Billing Date"), dec4);
  EXPECT_EQ(rowB.integer("Batch Number 3"), 9);
  EXPECT_EQ(rowB.text("Claim Status 3"), "2");
  EXPECT_EQ(billedFlags(line), "FFT");
}

// A claim open in an editor at another desk keeps its old status, so the next
// run picks it again; the others are billed and the message is shown once.
TEST_P(ClaimBillingOnEngine, AClaimInUseKeepsItsStatusAndTheMessageIsShownOnce) {
  const Fields ready = {{"Insurance Carrier 1", "MC"}, {"Claim Status 1", "1"}};
  const auto a = claim(ready);
  const auto held = claim(ready);
  const auto held2 = claim(ready);
  const auto heldLine = charge(held, "10");
  auto desk2 = space_->connect("DESK2");
  ScriptedPrompter otherPrompter{};
  auto editor = ClaimEditor::open(surroundings(otherPrompter, desk2.get()), held);
  ASSERT_NE(editor, nullptr);
  // The second is held in edit by a third desk directly.
  auto desk3 = space_->connect("DESK3");
  store::Table desk3Claims = desk3->openTable("QVCLA");
  desk3Claims.setOrder("Primary");
  auto held2Row = desk3Claims.seek({store::Value{held2}});
  ASSERT_TRUE(held2Row);
  desk3Claims.edit(*held2Row);
  ScriptedPrompter prompter{};
  const auto outcome = bill({{a, 1}, {held, 1}, {held2, 1}}, dec1, prompter);
  EXPECT_EQ(outcome.updated, (std::vector<std::int64_t>{a}));
  EXPECT_EQ(outcome.inUse, (std::vector<std::int64_t>{held, held2}));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: The current record is in use.  The claim(s) have been processed,\rbut the "
                "billed status cannot be updated at this time.  Print or\rexport these claims.  "
                "This will ensure correct status."}));
  const auto heldRow = claimRow(held);
  EXPECT_EQ(heldRow.text("Claim Status 1"), "1");
  EXPECT_EQ(heldRow.integer("Batch Number 1"), 0);
  EXPECT_TRUE(heldRow.date("Primary Billing Date").isEmpty());
  EXPECT_EQ(billedFlags(heldLine), "FFF");
  EXPECT_EQ(claimRow(a).text("Claim Status 1"), "2");
}

// With the option on, one note per claim billed, in the claim's case, with
// the options' code and the carrier's name; with it off, none.
TEST_P(ClaimBillingOnEngine, BillingNotesFollowTheOption) {
  insert("QVPRO", {{"Code 1", "BILLNOTE"}, {"Type", "Z"}, {"Description", "Billing note"}});
  const auto a =
      claim({{"Insurance Carrier 1", "MC"}, {"Insurance Carrier 2", "BC"}, {"Provider", "WEL"}});
  const auto b = claim({{"Insurance Carrier 1", "MC"}});
  ScriptedPrompter prompter{};
  const std::string notes = "SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Procedure Code\" = 'BILLNOTE'";
  bill({{a, 1}}, dec1, prompter);
  EXPECT_EQ(count(notes), 0);
  setOption("Create Billing Notes", store::Value{true});
  setOption("Billing Note Code", store::Value{std::string("BILLNOTE")});
  const auto outcome = bill({{a, 2}, {b, 1}}, dec4, prompter);
  EXPECT_EQ(outcome.billingNotes, 2);
  EXPECT_EQ(count(notes), 2);
  const auto note = row("QVTRN", "Entry Number",
                        count("SELECT MIN(\"Entry Number\") FROM \"QVTRN\" WHERE \"Procedure "
                              "Code\" = 'BILLNOTE'"));
  EXPECT_EQ(note.text("Description"), "Claim billed to Blue");
  EXPECT_EQ(note.text("Chart Number"), "DOEJA000");
  EXPECT_EQ(note.integer("Case Number"), caseNumber_);
  EXPECT_EQ(note.date("Date From"), dec4);
  EXPECT_EQ(note.text("Transaction Type"), "Z");
  EXPECT_EQ(note.text("Attending Provider"), "WEL");
  EXPECT_EQ(note.integer("Claim Number"), 0);
}

// Estimates are billed in their own tables; the claims of the same number are not touched.
TEST_P(ClaimBillingOnEngine, EstimatesUseTheirOwnTables) {
  const auto real = claim({{"Insurance Carrier 1", "MC"}, {"Batch Number 1", "20"}});
  const auto estimate = claim({{"Insurance Carrier 1", "MC"}, {"Batch Number 2", "5"}}, "QVCLAE");
  ScriptedPrompter prompter{};
  const auto outcome = bill({{estimate, 1}}, dec1, prompter, nullptr, true);
  EXPECT_EQ(outcome.batch, 6);
  EXPECT_EQ(row("QVCLAE", "Claim Number", estimate).text("Claim Status 1"), "2");
  EXPECT_EQ(row("QVCLAE", "Claim Number", estimate).integer("Batch Number 1"), 6);
  if (real == estimate) {
    EXPECT_TRUE(claimRow(real).text("Claim Status 1").empty());
  }
}

VANTRELL_ON_BOTH_ENGINES(ClaimBillingOnEngine);

}  // namespace
}  // namespace vantrell::claims
