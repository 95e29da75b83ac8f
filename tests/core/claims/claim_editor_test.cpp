#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "claim_fixture.hpp"
#include "claims/claim_editor.hpp"
#include "claims/claim_slots.hpp"

namespace vantrell::claims {
namespace {

class ClaimEditorOnEngine : public ClaimPractice {
 protected:
  std::vector<std::int64_t> entriesOf(ClaimEditor& editor) {
    std::vector<std::int64_t> entries;
    for (const auto& row : editor.charges()) entries.push_back(row.integer("Entry Number"));
    return entries;
  }
};

TEST_P(ClaimEditorOnEngine, OneWindowPerClaimHoldingTheClaimAndItsPatient) {
  const auto number = claim({{"Insurance Carrier 1", "MC"}, {"Claim Status 1", "1"}});
  ScriptedPrompter prompter{};
  ClaimEditors editors(surroundings(prompter));
  ClaimEditor* editor = editors.edit(number);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->title(), "Claim: " + std::to_string(number));
  EXPECT_EQ(editors.edit(number), editor);
  EXPECT_TRUE(editors.broughtForward());
  EXPECT_EQ(editors.openCount(), 1U);
  EXPECT_EQ(editors.edit(9999), nullptr);
  EXPECT_EQ(prompter.transcript().back(), "error: Claim key 9999 not found");

  // Another session cannot hold the claim's patient while the editor is open.
  auto desk2 = space_->connect("DESK2");
  ScriptedPrompter other{};
  PatientLocks locks(*desk2, other);
  EXPECT_FALSE(locks.hold("DOEJA000"));
  editors.close(number);
  EXPECT_TRUE(locks.hold("DOEJA000"));
  locks.releaseAll();

  const auto estimate = claim({{"Insurance Carrier 1", "MC"}}, "QVCLAE");
  ScriptedPrompter estimatePrompter{};
  auto context = surroundings(estimatePrompter, desk2.get());
  context.estimate = true;
  auto estimateEditor = ClaimEditor::open(context, estimate);
  ASSERT_NE(estimateEditor, nullptr);
  EXPECT_EQ(estimateEditor->title(), "Estimate Claim: " + std::to_string(estimate));
}

TEST_P(ClaimEditorOnEngine, AnInactiveCarrierIsRefusedAndSaveMakesChallengeItems) {
  insert("QVSEC", {{"Code", "BOSS"}, {"Access Level", "1"}});
  practice_->setUser("CLERK");
  const auto number = claim({{"Insurance Carrier 1", "MC"},
                             {"Insurance Carrier 2", "BC"},
                             {"Claim Status 1", "1"},
                             {"Claim Status 2", "1"}});
  charge(number, "75", {{"Insurance 2 Responsible", "T"}});
  ScriptedPrompter prompter{};
  auto editor = ClaimEditor::open(surroundings(prompter), number);
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->setField("Insurance Carrier 2", "old"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: This insurance carrier is inactive.  Please select a different one.");
  EXPECT_EQ(editor->claim().text("Insurance Carrier 2"), "BC");
  EXPECT_FALSE(editor->setField("Date Created", "01/01/2026"));
  // Slot 1 set to Challenge and back is no challenge; slot 2 stays one.
  ASSERT_TRUE(editor->setField("Claim Status 1", "4"));
  ASSERT_TRUE(editor->setField("Claim Status 1", "3"));
  ASSERT_TRUE(editor->setField("Claim Status 2", "4"));
  ASSERT_TRUE(editor->save());
  EXPECT_EQ(claimRow(number).text("Claim Status 2"), "4");
  EXPECT_EQ(claimRow(number).text("User Code"), "CLERK");
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVWRK\""), 1);
  store::Table items = practice_->openTable("QVWRK");
  store::PageCursor cursor;
  const auto item = items.nextPage(cursor, 1).at(0);
  EXPECT_EQ(item.text("Responsible Party"), "BC");
  EXPECT_EQ(item.text("Policy Number"), "POL-2");
  EXPECT_EQ(item.number("Balance"), 75.0);
  EXPECT_EQ(item.text("User ID"), "BOSS");
  EXPECT_EQ(item.date("Follow Up Date"), Date::fromYmd(2026, 12, 5));
  // A second save without a new challenge makes no second item.
  ASSERT_TRUE(editor->save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVWRK\""), 1);
}

TEST_P(ClaimEditorOnEngine, RemovingKeepsAtLeastOneCharge) {
  const auto single = claim({{"Insurance Carrier 1", "MC"}});
  const auto only = charge(single, "10");
  const auto three = claim({{"Insurance Carrier 1", "MC"}});
  const auto a = charge(three, "10");
  const auto b = charge(three, "20");
  const auto c = charge(three, "30");
  {
    ScriptedPrompter prompter{};
    auto editor = ClaimEditor::open(surroundings(prompter), single);
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->removeCharges({only}));
    EXPECT_FALSE(editor->removeCharges({}));
    EXPECT_EQ(prompter.transcript(),
              (std::vector<std::string>{"error: This transaction cannot be removed.\rEvery claim "
                                        "must have at least one transaction.",
                                        "error: You must select at least one transaction to "
                                        "remove."}));
    EXPECT_EQ(claimOf(only), single);
  }
  ScriptedPrompter prompter{true};
  auto editor = ClaimEditor::open(surroundings(prompter), three);
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->removeCharges({a, b, c}));
  EXPECT_EQ(prompter.transcript().back(), "error: You cannot remove all transactions from a claim");
  EXPECT_FALSE(editor->removeCharges({only}));
  ASSERT_TRUE(editor->removeCharges({a, c}));
  EXPECT_EQ(prompter.transcript().back(),
            "ask: Are you sure you want to remove these transactions?");
  EXPECT_EQ(claimOf(a), 0);
  EXPECT_EQ(claimOf(c), 0);
  EXPECT_EQ(entriesOf(*editor), (std::vector<std::int64_t>{b}));
}

TEST_P(ClaimEditorOnEngine, SplittingCopiesTheClaimAndMarksAnEmptyThirdSlotDone) {
  const auto number = claim({{"Billing Code", "B1"},
                             {"Indicator 1", "IND"},
                             {"Provider", "DR1"},
                             {"Insurance Carrier 1", "MC"},
                             {"Insurance Carrier 2", "BC"},
                             {"EMC Receiver 1", "R1"},
                             {"Batch Number 1", "9"},
                             {"Primary Billing Method", "E"},
                             {"Secondary Billing Method", "P"},
                             {"Primary Billing Date", "11/20/2026"},
                             {"Primary Submission Count", "2"},
                             {"Initial Billing Date 1", "11/01/2026"},
                             {"Claim Status 1", "2"},
                             {"Claim Status 2", "3"},
                             {"Claim Status 3", "6"},
                             {"Diagnosis Code 1", "R05"},
                             {"Comment", "call back"}});
  const auto a = charge(number, "10");
  const auto b = charge(number, "20", {{"Diagnosis Code 1", "J01"}, {"Diagnosis Code 2", "R51"}});
  const auto c = charge(number, "30");
  ScriptedPrompter prompter{true};
  auto editor = ClaimEditor::open(surroundings(prompter), number);
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->splitCharges({a, b, c}, a));
  EXPECT_EQ(prompter.transcript().back(), "error: You cannot move all transactions to a new claim");
  const auto made = editor->splitCharges({c, b}, b);
  ASSERT_TRUE(made);
  EXPECT_EQ(prompter.transcript().back(),
            "ask: Are you sure you want to move these transactions to a new claim?");
  EXPECT_EQ(claimOf(a), number);
  EXPECT_EQ(claimOf(b), *made);
  EXPECT_EQ(claimOf(c), *made);
  const auto split = claimRow(*made);
  EXPECT_EQ(split.text("Chart Number"), "DOEJA000");
  EXPECT_EQ(split.integer("Case Number"), caseNumber_);
  EXPECT_EQ(split.text("Billing Code"), "B1");
  EXPECT_EQ(split.text("Indicator 1"), "IND");
  EXPECT_EQ(split.text("Provider"), "DR1");
  EXPECT_EQ(split.text("EMC Receiver 1"), "R1");
  EXPECT_EQ(split.integer("Batch Number 1"), 9);
  EXPECT_EQ(split.text("Primary Billing Method") + split.text("Secondary Billing Method"), "EP");
  EXPECT_EQ(split.date("Primary Billing Date"), Date::fromYmd(2026, 11, 20));
  EXPECT_TRUE(split.isEmpty("Initial Billing Date 1"));
  EXPECT_EQ(split.integer("Primary Submission Count"), 2);
  EXPECT_EQ(split.text("Comment"), "call back");
  EXPECT_EQ(
      split.text("Claim Status 1") + split.text("Claim Status 2") + split.text("Claim Status 3"),
      "116");
  // The diagnoses of the charge at the cursor.
  EXPECT_EQ(split.text("Diagnosis Code 1"), "J01");
  EXPECT_EQ(split.text("Diagnosis Code 2"), "R51");
  EXPECT_EQ(split.date("Date Created"), Date::fromYmd(2026, 12, 5));
}

TEST_P(ClaimEditorOnEngine, AddingNeedsReadySlotsAndTheClaimsDiagnoses) {
  const auto number = claim({{"Insurance Carrier 1", "MC"},
                             {"Insurance Carrier 2", "BC"},
                             {"Claim Status 1", "1"},
                             {"Claim Status 2", "2"},
                             {"Claim Status 3", "6"},
                             {"Diagnosis Code 1", "R05"}});
  charge(number, "10");
  const auto same = charge(0, "20");
  const auto other = charge(0, "30", {{"Diagnosis Code 1", "J01"}});
  const auto guarantorOnly = charge(0, "40", {{"Insurance 1 Responsible", "F"}});
  const auto billedElsewhere = charge(77, "50");
  const auto payment = charge(0, "-5", {{"Transaction Type", "I"}});
  ScriptedPrompter prompter{true};
  auto editor = ClaimEditor::open(surroundings(prompter), number);
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->addCandidates());
  EXPECT_EQ(prompter.transcript().back(),
            "error: To add a transaction to a claim the claim must\rbe marked as Ready To Send for "
            "all carriers.");
  ASSERT_TRUE(editor->setField("Claim Status 2", "1"));
  const auto candidates = editor->addCandidates();
  ASSERT_TRUE(candidates);
  std::vector<std::int64_t> offered;
  for (const auto& row : *candidates) offered.push_back(row.integer("Entry Number"));
  EXPECT_EQ(offered, (std::vector<std::int64_t>{same, other}));
  EXPECT_FALSE(editor->addCharges({}));
  EXPECT_EQ(prompter.transcript().back(),
            "error: You must select at least one transaction to add.");
  EXPECT_FALSE(editor->addCharges({guarantorOnly}));
  ASSERT_TRUE(editor->addCharges({other, same}));
  const auto& transcript = prompter.transcript();
  ASSERT_GE(transcript.size(), 2U);
  EXPECT_EQ(transcript[transcript.size() - 2],
            "ask: Are you sure you want to add these transactions to this claim?");
  EXPECT_EQ(transcript.back(),
            "error: The diagnosis for this transaction are not the same as \rthe diagnosis on the "
            "claim.  This transaction cannot be added\r");
  EXPECT_EQ(claimOf(same), number);
  EXPECT_EQ(claimOf(other), 0);
  EXPECT_EQ(claimOf(billedElsewhere), 77);
  EXPECT_EQ(claimOf(payment), 0);
  // Only the unbilled charge with other diagnoses is left.
  ScriptedPrompter again{};
  auto reopened = editor->addCandidates();
  ASSERT_TRUE(reopened);
  EXPECT_EQ(reopened->size(), 1U);
}

TEST_P(ClaimEditorOnEngine, TheNoteTakesTheDateAndUserAtTheCursorAndEscKeepsTheOld) {
  EXPECT_EQ(noteStamp(Date::fromYmd(2026, 3, 4), "AMY"), "03/04/2026 AMY");
  std::string text = "called  twice";
  EXPECT_EQ(insertNoteStamp(text, 7, "X"), 8U);
  EXPECT_EQ(text, "called X twice");
  const std::size_t after = insertNoteStamp(text, 99, "!");
  EXPECT_EQ(after, text.size());
  EXPECT_EQ(text, "called X twice!");
  const auto number = claim({{"Insurance Carrier 1", "MC"}, {"Comment", "old"}});
  practice_->setUser("AMY");
  ScriptedPrompter prompter{};
  {
    auto note = ClaimNote::open(surroundings(prompter), number);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text, "old");
    note->text = "new";
    note->close();
  }
  EXPECT_EQ(claimRow(number).text("Comment"), "old");
  auto note = ClaimNote::open(surroundings(prompter), number);
  ASSERT_NE(note, nullptr);
  note->text = "Paid: ";
  note->insertStamp(6);
  ASSERT_TRUE(note->save());
  EXPECT_EQ(claimRow(number).text("Comment"), "Paid: 12/05/2026 AMY");
}

VANTRELL_ON_BOTH_ENGINES(ClaimEditorOnEngine);

}  // namespace
}  // namespace vantrell::claims
