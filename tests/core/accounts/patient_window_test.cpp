#include <fmt/format.h>
#include <gtest/gtest.h>

#include "accounts/account_deletion.hpp"
#include "accounts/chart_number.hpp"
#include "accounts/patient_list.hpp"
#include "accounts/patient_window.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/other_process.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::accounts {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;
using Fields = vantrell::testing::FieldTexts;

class PatientAccounts : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
  }
  // Saves a new patient; the chart number stored, or "" when refused.
  std::string addPatient(const Fields& fields, bool numeric = false) {
    ScriptedPrompter prompter{};
    PatientWindow window(*practice_, prompter, clock_, nullptr, numeric);
    if (!window.startNew() || !window.setFields(fields) || !window.save()) return "";
    return window.record().text("Chart Number");
  }
  void insert(const char* table, const Fields& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  std::int64_t count(const std::string& sql) {
    const auto result = practice_->executeSql(sql);
    return std::get<std::int64_t>(result.rows.at(0).at(0));
  }
  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(PatientAccounts, NumericChartNumbersCountOnFromTheHighestEightDigitNumber) {
  EXPECT_EQ(nextNumericChartNumber(*practice_), "00000001");
  EXPECT_EQ(addPatient({{"Last Name", "Smith"}, {"First Name", "Ann"}}, true), "00000001");
  insert("QVPAT", {{"Chart Number", "00000007"}});
  insert("QVPAT", {{"Chart Number", "SMITH000"}});
  insert("QVPAT", {{"Chart Number", "1234"}});  // short numbers are not in the count
  EXPECT_EQ(addPatient({{"Last Name", "Jones"}}, true), "00000008");
  // After the last number the count starts over.
  insert("QVPAT", {{"Chart Number", "99999999"}});
  EXPECT_EQ(nextNumericChartNumber(*practice_), "00000001");
}

TEST_P(PatientAccounts, NameChartNumbersReplaceOddCharactersAndCountPastClashes) {
  EXPECT_EQ(chartNumberStem("O'Neal", "Al"), "O0NAL000");
  EXPECT_EQ(chartNumberStem("Li", "Bo"), "LIBO0000");
  EXPECT_EQ(chartNumberStem("Émile", "Zoë"), "0MIZO000");  // an accented letter is one character
  EXPECT_EQ(chartNumberStem("de la Cruz", ""), "DE000000");
  EXPECT_EQ(addPatient({{"Last Name", "Li"}, {"First Name", "Bo"}}), "LIBO0000");
  EXPECT_EQ(addPatient({{"Last Name", "Li"}, {"First Name", "Bo"}}), "LIBO0001");
  EXPECT_EQ(addPatient({{"Last Name", "O'Neal"}, {"First Name", "Al"}}), "O0NAL000");

  // After SMIJO999 the prefix shrinks to four characters.
  insert("QVPAT", {{"Chart Number", "SMIJO000"}});
  for (int n = 1; n <= 999; ++n) insert("QVPAT", {{"Chart Number", fmt::format("SMIJO{:03d}", n)}});
  EXPECT_EQ(nameChartNumber(*practice_, "Smith", "John"), "SMIJ0000");
}

TEST_P(PatientAccounts, ANewPatientGetsItsDefaultsAndTheChecksOfItsFields) {
  ScriptedPrompter prompter{false};
  PatientWindow window(*practice_, prompter, clock_, nullptr, false);
  ASSERT_TRUE(window.startNew());
  const store::Record& row = window.record();
  EXPECT_EQ(row.text("Billing Code"), "A");
  EXPECT_EQ(row.text("Patient Type"), "Patient");
  EXPECT_EQ(row.text("Sex"), "Female");
  EXPECT_EQ(row.text("Country"), "USA");
  EXPECT_EQ(row.date("Date Created"), clock_.today());
  // Billing code "A" is made when the practice has none.
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVBCO\" WHERE \"Code\" = 'A' AND \"Description\" = "
                  "'Default Billing Code'"),
            1);

  EXPECT_TRUE(window.setFields({{"Chart Number", "ab12"},
                                {"Last Name", "Ng"},
                                {"First Name", "Kim"},
                                {"Middle Initial", "Q"},
                                {"sex", "male"}}));
  EXPECT_EQ(row.text("Chart Number"), "AB12");  // forced into upper case
  EXPECT_EQ(row.text("Sex"), "Male");
  EXPECT_EQ(window.caption(), "Patient / Guarantor: Ng, Kim Q");

  EXPECT_FALSE(window.setField("Sex", "Unknown"));
  EXPECT_EQ(prompter.transcript().back(), "error: The \"Sex\" field is not valid");
  EXPECT_FALSE(window.setField("Date of Birth", "31/31/1990"));
  EXPECT_EQ(prompter.transcript().back(), "error: The \"Date of Birth\" field is not valid");
  for (const char* control : {"AB\x01Z", "AB\t2", "AB\n", "AB\x7F"}) {
    EXPECT_FALSE(window.setField("Chart Number", control));
    EXPECT_EQ(prompter.transcript().back(), "error: The \"Chart Number\" field is not valid");
  }
  EXPECT_EQ(row.text("Chart Number"), "AB12");
  EXPECT_FALSE(window.setField("Last Name", std::string(21, 'X')));
  EXPECT_EQ(row.text("Last Name"), "Ng");  // a refused value leaves the field as it was

  EXPECT_TRUE(window.setField("SOF Date", "12/06/2026"));
  EXPECT_EQ(prompter.transcript().back(),
            "warn: The Signature Date you have entered is in the future.");
  EXPECT_EQ(row.date("SOF Date"), Date::fromYmd(2026, 12, 6));
  ASSERT_TRUE(window.save());
  EXPECT_FALSE(window.isNew());

  ScriptedPrompter second{};
  PatientWindow another(*practice_, second, clock_, nullptr, false);
  ASSERT_TRUE(another.startNew());
  EXPECT_FALSE(another.setField("Chart Number", "Ab12"));
  EXPECT_EQ(second.transcript().back(),
            "error: Chart number AB12 already exists.\nEnter a unique number or leave it blank\nto "
            "automatically "
            "generate it.");
}

TEST_P(PatientAccounts, TheSsnLookUpOffersToSwitchToTheExistingPatient) {
  const std::string existing = addPatient(
      {{"Last Name", "Brown"}, {"First Name", "Lee"}, {"Social Security Number", "123-45-6789"}});
  ASSERT_EQ(existing, "BROLE000");
  ScriptedPrompter declines{false};
  PatientWindow window(*practice_, declines, clock_, nullptr, false);
  ASSERT_TRUE(window.startNew());
  EXPECT_TRUE(window.setField("Social Security Number", "123-45-6789"));
  EXPECT_EQ(declines.transcript().back(),
            "ask: An existing patient was found with the SSN you entered.\n\nBrown, "
            "Lee\nBROLE000\n\nDo you want to "
            "switch to this chart number?");
  EXPECT_TRUE(window.isNew());

  ScriptedPrompter accepts{true};
  PatientWindow switching(*practice_, accepts, clock_, nullptr, false);
  ASSERT_TRUE(switching.startNew());
  EXPECT_FALSE(
      switching.setFields({{"Social Security Number", "123-45-6789"}, {"Last Name", "Other"}}));
  EXPECT_EQ(switching.takeSwitchedChart(), "BROLE000");
  EXPECT_FALSE(switching.isNew());
  EXPECT_EQ(switching.record().text("Last Name"), "Brown");
  // A patient's own number is no clash.
  ScriptedPrompter quiet{};
  PatientWindow own(*practice_, quiet, clock_, nullptr, false);
  switching.cancel();
  ASSERT_TRUE(own.open("brole000"));
  EXPECT_TRUE(own.setField("Social Security Number", "123-45-6789"));
  EXPECT_TRUE(quiet.transcript().empty());
}

TEST_P(PatientAccounts, DeletingAPatientChecksReferencesAndBalancesThenTakesTheWholeLedger) {
  const std::string guarantor = addPatient({{"Last Name", "Parent"}, {"First Name", "Pat"}});
  const std::string child =
      addPatient({{"Last Name", "Child"}, {"First Name", "Cy"}, {"Date of Birth", "3/4/2015"}});
  insert("QVCAS", {{"Chart Number", child}, {"Guarantor", guarantor}, {"Description", "Asthma"}});
  insert("QVCAS", {{"Chart Number", child}, {"Guarantor", child}, {"Description", "Checkup"}});
  const auto cases =
      practice_->executeSql("SELECT \"Case Number\" FROM \"QVCAS\" ORDER BY \"Case Number\"");
  const auto first = std::get<std::int64_t>(cases.rows[0][0]);
  const auto second = std::get<std::int64_t>(cases.rows[1][0]);

  ScriptedPrompter prompter{true, true};
  PatientWindow window(*practice_, prompter, clock_, nullptr, false);
  // The guarantor of another patient's case stays.
  EXPECT_FALSE(window.remove(guarantor));
  EXPECT_EQ(prompter.transcript().back(),
            "error: This patient record is currently being used in the Guarantor field of the Case "
            "table and cannot be "
            "deleted.");

  // A charge with a payment that covers it: zero balance; a claim that is done.
  insert("QVTRN",
         {{"Chart Number", child}, {"Case Number", std::to_string(first)}, {"Amount", "100.10"}});
  insert("QVTRN",
         {{"Chart Number", child}, {"Case Number", std::to_string(first)}, {"Amount", "-100.1"}});
  const auto entries =
      practice_->executeSql("SELECT \"Entry Number\" FROM \"QVTRN\" ORDER BY \"Entry Number\"");
  insert("QVPAX", {{"Charge Reference", store::valueToText(entries.rows[0][0])},
                   {"Payment Reference", store::valueToText(entries.rows[1][0])},
                   {"Payment Amount", "-100.10"}});
  insert(
      "QVCLA",
      {{"Chart Number", child}, {"Case Number", std::to_string(first)}, {"Claim Status 1", "6"}});
  insert(
      "QVCLA",
      {{"Chart Number", child}, {"Case Number", std::to_string(second)}, {"Claim Status 2", "2"}});
  EXPECT_FALSE(window.remove(child));
  EXPECT_EQ(prompter.transcript().back(),
            "error: This patient has Cases and Transactions that\nhave a non-zero balance or "
            "Claims that are not\n"
            "\"Done\".  It cannot be deleted.");
  practice_->executeSql("UPDATE \"QVCLA\" SET \"Claim Status 2\" = '6'");
  // A deposit that names the chart is a reference outside the ledger.
  insert("QVDEP", {{"Chart Number", child}});
  EXPECT_FALSE(window.remove(child));
  EXPECT_EQ(prompter.transcript().back(),
            "error: This patient record is currently being used in the Chart Number field of the "
            "Deposit table and "
            "cannot be deleted.");
  practice_->executeSql("DELETE FROM \"QVDEP\"");

  ASSERT_TRUE(window.remove(child));
  EXPECT_EQ(prompter.transcript().back(),
            "ask: All Cases, Transactions and Claims for this patient\nwill also be deleted.\nAre "
            "you sure you want to "
            "delete this patient?");
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCAS\""), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVPAX\""), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVCLA\""), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVPAT\""), 1);
  const auto audit =
      practice_->executeSql("SELECT \"Comment\" FROM \"QVAUD\" ORDER BY \"Comment\"");
  ASSERT_EQ(audit.rows.size(), 3u);
  EXPECT_EQ(store::valueToText(audit.rows[0][0]), "Deleted Case " + std::to_string(first));
  EXPECT_EQ(store::valueToText(audit.rows[1][0]), "Deleted Case " + std::to_string(second));
  EXPECT_EQ(store::valueToText(audit.rows[2][0]),
            "Deleted patient Child, Cy Birthdate: 03/04/2015");
  // Now nothing names the guarantor.
  EXPECT_TRUE(window.remove(guarantor));
}

// Another workstation has the patient open: the second opens it for viewing
// only and names the first, and cannot delete it meanwhile.
TEST_P(PatientAccounts, TheOptionsCapitaliseNamesAndFormatTheSsn) {
  const Fields typed = {{"Last Name", "o'neal"},
                        {"First Name", "al"},
                        {"Street 1", "12 smith-jones rd"},
                        {"City", "st. louis"},
                        {"Social Security Number", "123456789"}};
  const auto stored = [&](const std::string& chart, const char* field) {
    const auto result = practice_->executeSql(
        fmt::format("SELECT \"{}\" FROM QVPAT WHERE \"Chart Number\" = ?", field),
        {store::Value{chart}});
    return std::get<std::string>(result.rows.at(0).at(0));
  };
  // With the options off (no options row), as typed.
  const std::string plain = addPatient(typed);
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(stored(plain, "Last Name"), "o'neal");
  EXPECT_EQ(stored(plain, "Social Security Number"), "123456789");

  insert("QVOPT", {{"Do Word Capitalization", "true"}, {"Auto Format SSN", "true"}});
  const std::string shaped = addPatient(typed);
  ASSERT_FALSE(shaped.empty());
  EXPECT_EQ(stored(shaped, "Last Name"), "O'Neal");
  EXPECT_EQ(stored(shaped, "First Name"), "Al");
  EXPECT_EQ(stored(shaped, "Street 1"), "12 Smith-Jones Rd");
  EXPECT_EQ(stored(shaped, "City"), "St. Louis");
  EXPECT_EQ(stored(shaped, "Social Security Number"), "123-45-6789");
  // Capitals as typed stay.
  const std::string loud = addPatient({{"Last Name", "MACDONALD"}, {"First Name", "mary-KATE"}});
  EXPECT_EQ(stored(loud, "Last Name"), "MACDONALD");
  EXPECT_EQ(stored(loud, "First Name"), "Mary-KATE");
}

TEST_P(PatientAccounts, APatientInUseElsewhereOpensReadOnly) {
  const std::string chart = addPatient({{"Last Name", "Shared"}, {"First Name", "Sam"}});
  vantrell::testing::OtherProcess front(
      [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
        auto connection = space_->connect("FRONT");
        ScriptedPrompter prompter{};
        PatientWindow window(*connection, prompter, clock_, nullptr, false);
        if (!window.open(chart)) return;
        hold();
      });
  ASSERT_TRUE(front.ready());
  ScriptedPrompter prompter{true};
  PatientWindow window(*practice_, prompter, clock_, nullptr, false);
  ASSERT_TRUE(window.open(chart));
  EXPECT_TRUE(window.isReadOnly());
  EXPECT_EQ(prompter.transcript().back(),
            "warn: The current record is in use by: FRONT.  Opened for viewing only.");
  EXPECT_FALSE(window.setField("City", "Elsewhere"));
  EXPECT_FALSE(window.save());
  window.cancel();
  EXPECT_FALSE(window.remove(chart));
  EXPECT_EQ(prompter.transcript().back(),
            "error: The current record is in use by: FRONT.  This process cannot complete.");
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVPAT\""), 1);
  front.kill();
}

TEST_P(PatientAccounts, ThePatientListSearchesFromWhatWasTypedAndListsTheCases) {
  for (const auto& [last, first] : std::vector<std::pair<std::string, std::string>>{
           {"Adams", "Amy"}, {"Smith", "Zed"}, {"Smith", "Ann"}, {"Young", "Yul"}})
    addPatient({{"Last Name", last}, {"First Name", first}});
  ScriptedPrompter prompter{};
  PatientList list(*practice_, prompter, nullptr);
  list.search(PatientSearch::Name, "smith, b");
  const auto page = list.nextPage(2);
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page[0].text("First Name"), "Zed");
  EXPECT_EQ(page[1].text("Last Name"), "Young");
  EXPECT_EQ(list.nextPage(2).size(), 0u);
  list.search(PatientSearch::ChartNumber, "SMI");
  EXPECT_EQ(list.nextPage(1).at(0).text("Chart Number"), "SMIAN000");
  insert("QVCAS", {{"Chart Number", "SMIAN000"}, {"Description", "Back pain"}});
  const auto cases = list.casesOf("smian000");
  ASSERT_EQ(cases.size(), 1u);
  EXPECT_EQ(cases[0].text("Description"), "Back pain");
  list.search(PatientSearch::ChartNumber, "SMIAN000");
  EXPECT_EQ(PatientList::casesCaption(list.nextPage(1).at(0)), "List of cases for: Smith, Ann");
}

VANTRELL_ON_BOTH_ENGINES(PatientAccounts);

}  // namespace
}  // namespace vantrell::accounts
