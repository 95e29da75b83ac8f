#include <fmt/format.h>
#include <gtest/gtest.h>

#include "accounts/case_tabs.hpp"
#include "accounts/case_window.hpp"
#include "accounts/patient_list.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::accounts {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;
using Fields = vantrell::testing::FieldTexts;

class Cases : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    insert("QVPAT", {{"Chart Number", "JONJO000"}, {"Last Name", "Jones"}, {"Sex", "Male"}});
    insert("QVPAT", {{"Chart Number", "JONMA000"}, {"Last Name", "Jones"}, {"Sex", "Female"}});
    insert("QVPHY", {{"Code", "DR1"}, {"Last Name", "Welby"}});
    insert("QVINS", {{"Code", "MC"}, {"Name", "Medicare"}});
    insert("QVINS", {{"Code", "OLD"}, {"Name", "Gone Mutual"}, {"Inactive", "T"}});
    insert("QVINS", {{"Code", "OLD2"}, {"Name", "Gone Too"}, {"Inactive", "T"}});
    for (const char* code : {"J45.909", "R05", "E11.9"})
      insert("QVDIA", {{"Code 1", code}, {"Description", code}});
  }
  void insert(const char* table, const Fields& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  std::int64_t addCase(const Fields& fields, const std::string& chart = "JONJO000") {
    ScriptedPrompter prompter{};
    CaseWindow window(*practice_, prompter, clock_, nullptr);
    if (!window.startNew(chart) || !window.setFields(fields) || !window.saveAndClose()) return 0;
    return std::get<std::int64_t>(
        practice_->executeSql("SELECT MAX(\"Case Number\") FROM \"QVCAS\"").rows.at(0).at(0));
  }
  std::vector<std::string> audit() {
    std::vector<std::string> lines;
    for (const auto& row :
         practice_->executeSql("SELECT \"Comment\" FROM \"QVAUD\" ORDER BY \"Comment\"").rows)
      lines.push_back(store::valueToText(row[0]));
    return lines;
  }
  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(Cases, ANewCaseHasTheCoverageDefaultsForEveryPolicy) {
  ScriptedPrompter prompter{};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  ASSERT_TRUE(window.startNew("jonjo000"));
  const store::Record& row = window.record();
  for (int policy = 1; policy <= 3; ++policy) {
    std::string coverage;
    for (char category = 'A'; category <= 'H'; ++category)
      coverage +=
          fmt::format("{}/", row.number(fmt::format("Percent Covered {} #{}", category, policy)));
    EXPECT_EQ(coverage, "80/100/0/80/80/80/80/80/") << policy;
    EXPECT_EQ(row.text(fmt::format("Insured Relationship #{}", policy)), "Self");
  }
  EXPECT_EQ(row.text("Chart Number"), "JONJO000");
  EXPECT_EQ(row.text("Guarantor"), "JONJO000");
  EXPECT_EQ(row.text("Billing Code"), "A");
  EXPECT_EQ(row.text("Price Code"), "A");
  EXPECT_TRUE(row.logical("Print Patient Statements"));
  EXPECT_FALSE(row.logical("Cash Case"));
  EXPECT_EQ(row.date("Date Created"), clock_.today());
}

TEST_P(Cases, TheSaveChecksRunInOrderAndSendThePersonToTheirPage) {
  ScriptedPrompter prompter{false, false};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  ASSERT_TRUE(window.startNew("JONJO000"));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(),
            "error: A description has not been entered for this case.");
  EXPECT_EQ(window.focusTab(), CaseTab::Personal);

  ASSERT_TRUE(window.setFields(
      {{"Description", "Knee"}, {"Cash Case", "T"}, {"Print Patient Statements", "F"}}));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(),
            "ask: Turning off patient statements for cash cases, renders the case unbillable.\rDo "
            "you want to "
            "continue?");
  ASSERT_TRUE(window.setFields({{"Print Patient Statements", "T"},
                                {"Pregnancy Indicator", "T"},
                                {"Illness Indicator", "LMP"},
                                {"Policy #2 Start Date", "2026-06-01"},
                                {"Policy #2 End Date", "2026-05-31"}}));
  EXPECT_FALSE(window.save());
  const auto& said = prompter.transcript();
  ASSERT_GE(said.size(), 3u);
  EXPECT_EQ(
      said[said.size() - 3],
      "ask: This patient is a male.  Do you wish to leave the pregnancy checkbox as checked?");
  EXPECT_EQ(said[said.size() - 2], "error: Male patients cannot have LMP as an illness indicator.");
  EXPECT_EQ(said.back(), "error: The Policy 2 end date is before the Policy 2 start date.");
  EXPECT_EQ(window.focusTab(), CaseTab::Policy2);
  EXPECT_FALSE(window.record().logical("Pregnancy Indicator"));
  EXPECT_TRUE(window.record().isEmpty("Illness Indicator"));

  ASSERT_TRUE(window.setField("Policy #2 End Date", "2027-05-31"));
  EXPECT_FALSE(window.saveAndClose());
  EXPECT_EQ(prompter.transcript().back(),
            "error: An assigned provider has not been selected for this case.");
  EXPECT_EQ(window.focusTab(), CaseTab::Account);
  EXPECT_EQ(
      std::get<std::int64_t>(practice_->executeSql("SELECT COUNT(*) FROM \"QVCAS\"").rows[0][0]),
      0);
  ASSERT_TRUE(window.setField("assigned provider", "dr1"));
  EXPECT_TRUE(window.saveAndClose());
  EXPECT_EQ(
      std::get<std::int64_t>(practice_->executeSql("SELECT COUNT(*) FROM \"QVCAS\"").rows[0][0]),
      1);
}

TEST_P(Cases, FieldExitsRefuseInactiveCarriersRepeatedDiagnosesAndUnknownCodes) {
  ScriptedPrompter prompter{};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  ASSERT_TRUE(window.startNew("JONJO000"));
  EXPECT_FALSE(window.setField("Insurance Carrier #2", "old"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: This insurance carrier is inactive.  Please select a different one.");
  EXPECT_TRUE(window.record().isEmpty("Insurance Carrier #2"));
  EXPECT_FALSE(window.setField("Insurance Carrier #1", "NOPE"));
  EXPECT_EQ(prompter.transcript().back(), "error: There is no insurance carrier NOPE.");
  EXPECT_TRUE(window.setField("Insurance Carrier #1", "mc"));
  EXPECT_EQ(window.record().text("Insurance Carrier #1"), "MC");

  EXPECT_TRUE(window.setFields({{"Diagnosis 1", "J45.909"}, {"Diagnosis 2", "R05"}}));
  EXPECT_FALSE(window.setField("Diagnosis 3", "j45.909"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: You have two diagnosis set for the same diagnosis code.");
  EXPECT_TRUE(window.record().isEmpty("Diagnosis 3"));

  EXPECT_TRUE(window.setField("Accept Assignment #1", "T"));
  EXPECT_EQ(prompter.transcript().back(),
            "inform: Changing the accept assignment will only affect new transactions.\rCurrent "
            "transactions must be "
            "saved again in order for these changes to be applied.");
  EXPECT_FALSE(window.setField("Case Number", "5"));
}

TEST_P(Cases, ChangedDiagnosesOfAStoredCaseAreAudited) {
  const auto number =
      addCase({{"Description", "Cough"}, {"Assigned Provider", "DR1"}, {"Diagnosis 1", "R05"}});
  ASSERT_GT(number, 0);
  ScriptedPrompter prompter{true};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  ASSERT_TRUE(window.open(number));
  ASSERT_TRUE(window.setFields({{"Diagnosis 1", "J45.909"}, {"Diagnosis 2", "E11.9"}}));
  // Moving to another case asks, and Yes saves.
  ASSERT_TRUE(window.mayLeaveCase());
  EXPECT_EQ(prompter.transcript().back(),
            "ask: The case information has changed. Do you want to save your changes?");
  const auto n = std::to_string(number);
  EXPECT_EQ(audit(), (std::vector<std::string>{
                         "Edit Case: Case: " + n + " Diagnosis 1: R05 was changed to: J45.909",
                         "Edit Case: Case: " + n + " Diagnosis 2:  was changed to: E11.9"}));
}

TEST_P(Cases, CopyingWarnsOfInactiveCarriersAndMakesAnOpenCaseDatedToday) {
  const auto source = addCase(
      {{"Description", "Old case"}, {"Assigned Provider", "DR1"}, {"Insurance Carrier #1", "MC"}});
  practice_->executeSql(
      "UPDATE \"QVCAS\" SET \"Insurance Carrier #2\" = 'OLD', \"Insurance Carrier #3\" = 'OLD2', "
      "\"Case Closed\" = ?, \"Date Created\" = ?",
      {store::Value{true}, store::Value{Date::fromYmd(2020, 1, 2)}});
  ScriptedPrompter declines{false};
  CaseWindow refused(*practice_, declines, clock_, nullptr);
  EXPECT_FALSE(refused.copyFrom(source));
  EXPECT_EQ(declines.transcript().back(),
            "ask: This case's Policy Two and Policy Three insurance carriers are inactive. Do you "
            "want to continue?");

  ScriptedPrompter accepts{true};
  CaseWindow window(*practice_, accepts, clock_, nullptr);
  ASSERT_TRUE(window.copyFrom(source));
  ASSERT_TRUE(window.save());
  EXPECT_NE(window.caseNumber(), source);
  EXPECT_EQ(window.record().text("Description"), "Old case");
  EXPECT_EQ(window.record().text("Insurance Carrier #2"), "OLD");
  EXPECT_FALSE(window.record().logical("Case Closed"));
  EXPECT_EQ(window.record().date("Date Created"), clock_.today());

  // Only one case window at a time from the patient list.
  PatientList list(*practice_, accepts, nullptr);
  list.caseWindowOpened();
  EXPECT_FALSE(list.mayOpenAnotherCaseWindow());
  EXPECT_EQ(accepts.transcript().back(), "error: Only one Case window can be opened at a time.");
}

TEST_P(Cases, ACaseGoesOnlyWhenItsBalanceIsZeroAndItsClaimsAreDone) {
  const auto number = addCase({{"Description", "Flu"}, {"Assigned Provider", "DR1"}});
  const auto n = std::to_string(number);
  insert("QVTRN", {{"Chart Number", "JONJO000"}, {"Case Number", n}, {"Amount", "40"}});
  insert("QVTRN", {{"Chart Number", "JONJO000"}, {"Case Number", n}, {"Amount", "-40"}});
  insert("QVCLA", {{"Chart Number", "JONJO000"}, {"Case Number", n}, {"Claim Status 1", "6"}});
  insert("QVCCD", {{"Chart Number", "JONJO000"}, {"Case Number", n}, {"Field Name", "Color"}});
  for (const char* status : {"0", "1", "2", "3", "4", "5", "7"}) {
    practice_->executeSql("UPDATE \"QVCLA\" SET \"Claim Status 3\" = ?",
                          {store::Value{std::string(status)}});
    ScriptedPrompter prompter{};
    CaseWindow window(*practice_, prompter, clock_, nullptr);
    EXPECT_FALSE(window.remove(number)) << status;
    EXPECT_EQ(
        prompter.transcript().back(),
        "error: Case " + n +
            " has a non-zero balance or claims that are not \"Done\".  It cannot be deleted.");
  }
  practice_->executeSql("UPDATE \"QVCLA\" SET \"Claim Status 3\" = ''");
  // An image filed under the case keeps it.
  insert("QVOBJ", {{"Chart Number", "JONJO000"}, {"Case Number", n}});
  ScriptedPrompter prompter{true};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  EXPECT_FALSE(window.remove(number));
  EXPECT_EQ(prompter.transcript().back(),
            "error: This case record is currently being used in the Case Number field of the "
            "Multimedia table and "
            "cannot be deleted.");
  practice_->executeSql("DELETE FROM \"QVOBJ\"");
  ASSERT_TRUE(window.remove(number));
  for (const char* table : {"QVCAS", "QVTRN", "QVCLA", "QVCCD"})
    EXPECT_EQ(std::get<std::int64_t>(
                  practice_->executeSql(std::string("SELECT COUNT(*) FROM \"") + table + "\"")
                      .rows[0][0]),
              0)
        << table;
  EXPECT_EQ(audit(), (std::vector<std::string>{"Deleted Case " + n, "Deleted Case Custom Data"}));
}

TEST_P(Cases, CancelDropsImagesAttachedBeforeTheCaseHadANumber) {
  insert("QVOBJ", {{"Chart Number", "JONJO000"}, {"Case Number", "0"}});
  insert("QVOBJ", {{"Chart Number", "JONMA000"}, {"Case Number", "0"}});
  ScriptedPrompter prompter{};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  ASSERT_TRUE(window.startNew("JONJO000"));
  window.cancel();
  const auto left = practice_->executeSql("SELECT \"Chart Number\" FROM \"QVOBJ\"");
  ASSERT_EQ(left.rows.size(), 1u);
  EXPECT_EQ(store::valueToText(left.rows[0][0]), "JONMA000");
}

TEST_P(Cases, SavedDefaultsOverrideTheNewCaseValues) {
  ScriptedPrompter prompter{true};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  ASSERT_TRUE(window.startNew("JONJO000"));
  ASSERT_TRUE(window.setFields(
      {{"Price Code", "b"}, {"Percent Covered A #1", "90"}, {"Assigned Provider", "DR1"}}));
  ASSERT_TRUE(window.saveFieldDefaults());
  window.cancel();
  ASSERT_TRUE(window.startNew("JONMA000"));
  EXPECT_EQ(window.record().text("Price Code"), "B");
  EXPECT_EQ(window.record().number("Percent Covered A #1"), 90.0);
  EXPECT_EQ(window.record().number("Percent Covered B #1"),
            100.0);                                             // the rest as a new case has them
  EXPECT_EQ(window.record().text("Chart Number"), "JONMA000");  // never a default
  window.removeFieldDefaults();
  window.cancel();
  ASSERT_TRUE(window.startNew("JONMA000"));
  EXPECT_EQ(window.record().text("Price Code"), "A");
}

TEST_P(Cases, AmountsTypedWithoutAPointAreCentsWhenThePracticeSaysSo) {
  // Option off (no options row): whole dollars as typed.
  const std::int64_t plain = addCase(
      {{"Description", "Check-up"}, {"Assigned Provider", "DR1"}, {"Copayment Amount", "2000"}});
  ASSERT_NE(plain, 0);
  const auto stored = [&](std::int64_t number, const char* field) {
    return store::valueToText(
        practice_
            ->executeSql(
                fmt::format("SELECT \"{}\" FROM \"QVCAS\" WHERE \"Case Number\" = ?", field),
                {store::Value{number}})
            .rows.at(0)
            .at(0));
  };
  EXPECT_EQ(std::stod(stored(plain, "Copayment Amount")), 2000.0);

  insert("QVOPT", {{"Auto. Place Decimal Point", "true"}});
  ScriptedPrompter prompter{};
  CaseWindow window(*practice_, prompter, clock_, nullptr);
  ASSERT_TRUE(window.startNew("JONJO000"));
  EXPECT_TRUE(window.setFields({{"Description", "Check-up"},
                                {"Assigned Provider", "DR1"},
                                {"Copayment Amount", "2000"},
                                {"Annual Deductible", "5"},
                                {"Lab Charges", "45.4"}}));
  EXPECT_TRUE(window.saveAndClose());
  EXPECT_TRUE(prompter.transcript().empty()) << prompter.transcript().front();
  const std::int64_t cents = window.caseNumber();
  ASSERT_NE(cents, 0);
  EXPECT_EQ(std::stod(stored(cents, "Copayment Amount")), 20.0);
  EXPECT_EQ(std::stod(stored(cents, "Annual Deductible")), 0.05);
  EXPECT_EQ(std::stod(stored(cents, "Lab Charges")), 45.4);  // a point typed stays where it is
}

TEST(CaseTabs, EveryCaseFieldIsOnExactlyOnePage) {
  std::size_t fields = 0;
  for (int tab = 1; tab <= caseTabCount; ++tab)
    fields += caseTabFields(static_cast<CaseTab>(tab)).size();
  EXPECT_EQ(fields, 174u);
  EXPECT_EQ(caseTabOf("Percent Covered C #3"), CaseTab::Policy3);
  EXPECT_EQ(caseTabOf("Policy #1 End Date"), CaseTab::Policy1);
  EXPECT_EQ(caseTabOf("Copayment Amount"), CaseTab::Policy1);
  EXPECT_EQ(caseTabOf("Champus Sponsor Grade"), CaseTab::MedicaidAndTricare);
  EXPECT_EQ(caseTabOf("Diagnosis 4"), CaseTab::Diagnosis);
  EXPECT_EQ(caseTabOf("Assigned Provider"), CaseTab::Account);
}

VANTRELL_ON_BOTH_ENGINES(Cases);

}  // namespace
}  // namespace vantrell::accounts
