#include <gtest/gtest.h>

#include <stdexcept>

#include "claims/claim_checks.hpp"
#include "maintenance/tutorial_data.hpp"
#include "maintenance/tutorial_ledger.hpp"
#include "store/field_defaults.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"
#include "transactions/balances.hpp"
#include "transactions/recalculation.hpp"

namespace vantrell::maintenance {
namespace {

using vantrell::testing::EngineTest;

// The charges are the types A to H; "'A','B','C'" are the ones the tutorial uses.
constexpr const char* isCharge = "\"Transaction Type\" IN ('A','B','C','D','E','F','G','H')";

class TutorialData : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    installTutorialData(*practice_, nullptr);
  }

  std::int64_t count(const std::string& sql, const std::vector<store::Value>& parameters = {}) {
    const auto result = practice_->executeSql(sql, parameters);
    return std::get<std::int64_t>(result.rows.at(0).at(0));
  }
  std::int64_t patientsOfType(const char* type) {
    return count("SELECT COUNT(*) FROM QVPAT WHERE \"Patient Type\" = ?",
                 {store::Value{std::string(type)}});
  }
  // What a second installation must give again: every ledger row's chart, case, code, date and
  // amount.
  std::vector<std::string> ledgerPrint() {
    std::vector<std::string> lines;
    const auto rows = practice_->executeSql(
        "SELECT t.\"Chart Number\", c.\"Description\", t.\"Procedure Code\", t.\"Date From\", "
        "t.\"Amount\", "
        "t.\"Unapplied Amount\" FROM QVTRN t JOIN QVCAS c ON c.\"Case Number\" = t.\"Case Number\" "
        "ORDER BY t.\"Entry Number\"");
    for (const auto& row : rows.rows) {
      std::string line;
      for (const auto& value : row) line += store::valueToText(value) + "|";
      lines.push_back(line);
    }
    return lines;
  }

  void checkLedger();
  void checkAccounts();

  std::unique_ptr<store::Connection> practice_;
};

// One installation per test program run: ctest starts every test on its own,
// and an installation takes seconds. The sections below read it in turn.
TEST_P(TutorialData, IsASmallPracticeWhoseLedgerAgreesWithItsApplications) {
  SCOPED_TRACE("codes, people and cases");
  EXPECT_EQ(practice_->openTable("QVPHY").count(), 3);
  EXPECT_EQ(practice_->openTable("QVRPH").count(), 2);
  EXPECT_EQ(practice_->openTable("QVINS").count(), 4);
  EXPECT_GE(practice_->openTable("QVDIA").count(), 25);
  EXPECT_EQ(practice_->openTable("QVMUL").count(), 2);
  EXPECT_EQ(practice_->openTable("QVADD").count(), 1);
  EXPECT_GE(count(std::string("SELECT COUNT(*) FROM QVPRO WHERE \"Type\" IN ('A','B','C')")), 30);
  for (const char* type : {"I", "J", "K", "L", "P", "T"})
    EXPECT_EQ(
        count("SELECT COUNT(*) FROM QVPRO WHERE \"Type\" = ?", {store::Value{std::string(type)}}),
        1)
        << type;
  // The write-off takes money off a charge; the group plans keep allowed amounts.
  EXPECT_EQ(
      count("SELECT COUNT(*) FROM QVPRO WHERE \"Type\" = 'T' AND \"Adjustment Amount Negativ\" = ?",
            {store::Value{true}}),
      1);
  EXPECT_GT(practice_->openTable("QVALL").count(), 30);

  const auto patients = patientsOfType("Patient");
  EXPECT_GE(patients, 45);
  EXPECT_LE(patients, 55);
  EXPECT_EQ(patientsOfType("Guarantor"), 4);
  const auto cases = practice_->openTable("QVCAS").count();
  EXPECT_GE(cases, patients);
  EXPECT_LE(cases, 2 * patients);
  // Every patient has a case, and a guarantor none of his own.
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVPAT p WHERE \"Patient Type\" = 'Patient' AND NOT EXISTS "
                  "(SELECT 1 FROM QVCAS c WHERE c.\"Chart Number\" = p.\"Chart Number\")"),
            0);
  EXPECT_EQ(
      count("SELECT COUNT(*) FROM QVCAS c JOIN QVPAT p ON p.\"Chart Number\" = c.\"Chart Number\" "
            "WHERE p.\"Patient Type\" = 'Guarantor'"),
      0);
  // Each guarantor answers for a child's case that names them as guarantor and insured.
  EXPECT_EQ(count("SELECT COUNT(DISTINCT c.\"Guarantor\") FROM QVCAS c JOIN QVPAT g ON g.\"Chart "
                  "Number\" = "
                  "c.\"Guarantor\" WHERE g.\"Patient Type\" = 'Guarantor' AND c.\"Insured #1\" = "
                  "c.\"Guarantor\" "
                  "AND c.\"Chart Number\" <> c.\"Guarantor\""),
            4);
  // Most cases are insured, some also by a second carrier, a few are cash.
  const auto insured = count("SELECT COUNT(*) FROM QVCAS WHERE \"Insurance Carrier #1\" <> ''");
  EXPECT_GT(insured, cases * 3 / 4);
  EXPECT_GT(count("SELECT COUNT(*) FROM QVCAS WHERE \"Insurance Carrier #2\" <> ''"), 0);
  const auto cash =
      count("SELECT COUNT(*) FROM QVCAS WHERE \"Cash Case\" = ?", {store::Value{true}});
  EXPECT_GT(cash, 0);
  EXPECT_EQ(cash + insured, cases);
  checkLedger();
  checkAccounts();
}

void TutorialData::checkLedger() {
  SCOPED_TRACE("every case has charges, and the totals agree with the applications");
  EXPECT_EQ(count(std::string(
                      "SELECT COUNT(*) FROM QVCAS c WHERE NOT EXISTS (SELECT 1 FROM QVTRN t WHERE "
                      "t.\"Case Number\" = c.\"Case Number\" AND t.") +
                  isCharge + ")"),
            0);
  ui::SilentProgress progress;
  const auto report = transactions::recalculatePractice(*practice_, std::nullopt, progress);
  EXPECT_GT(report.chargesRead, 200);
  EXPECT_GT(report.paymentsRead, 200);
  EXPECT_GE(report.patientsRead, 49);
  EXPECT_EQ(report.chargesChanged, 0);
  EXPECT_EQ(report.paymentsChanged, 0);
  EXPECT_EQ(report.patientsChanged, 0);
  // Nothing pays a charge past its amount.
  EXPECT_EQ(count(std::string("SELECT COUNT(*) FROM QVTRN WHERE ") + isCharge +
                  " AND \"Amount\" + \"Insurance 1 Amount Paid\" + \"Insurance 2 Amount Paid\" + "
                  "\"Insurance 3 "
                  "Amount Paid\" + \"Attorney Amount Paid\" + \"Guarantor Amount Paid\" + "
                  "\"Adjustment Amount\" "
                  "< -0.005"),
            0);
}

void TutorialData::checkAccounts() {
  SCOPED_TRACE("open and settled accounts, money on account, charges still owed by insurance");
  const auto balances = practice_->executeSql(
      "SELECT \"Chart Number\", \"Patient Reference Balance\" FROM QVPAT "
      "WHERE \"Patient Type\" = 'Patient'");
  int open = 0, settled = 0;
  for (const auto& row : balances.rows) {
    const std::string chart = store::valueToText(row[0]);
    const Money stored = transactions::moneyOf(row[1]);
    EXPECT_EQ(stored, transactions::accountBalanceOf(*practice_, chart)) << chart;
    (stored == Money{} ? settled : open) += 1;
  }
  EXPECT_GT(open, 5);
  EXPECT_GT(settled, 0);
  // Money on account: a prepayment and a check larger than its statement.
  EXPECT_GE(count("SELECT COUNT(*) FROM QVTRN WHERE \"Unapplied Amount\" < -0.005"), 1);
  // Insurance paid and marked complete, wrote off, took deductibles; the last visits await their
  // claims.
  EXPECT_GT(count("SELECT COUNT(*) FROM QVTRN WHERE \"Insurance 1 Paid\" = ? AND \"Insurance 1 "
                  "Amount Paid\" < 0",
                  {store::Value{true}}),
            50);
  EXPECT_GT(count("SELECT COUNT(*) FROM QVTRN WHERE \"Insurance 2 Amount Paid\" < 0"), 0);
  EXPECT_GT(count("SELECT COUNT(*) FROM QVTRN WHERE \"Adjustment Amount\" < 0"), 50);
  EXPECT_GT(count("SELECT COUNT(*) FROM QVPAX WHERE \"Who Paid\" = 'P'"), 0);
  EXPECT_GT(count(std::string("SELECT COUNT(*) FROM QVTRN WHERE ") + isCharge +
                      " AND \"Insurance 1 Responsible\" = ? AND \"Insurance 1 Paid\" = ?",
                  {store::Value{true}, store::Value{false}}),
            10);
  // Patients paid copays, statements and cash visits, each with its deposit.
  for (const char* type : {"J", "K", "L", "M", "N", "O"})
    EXPECT_GT(count("SELECT COUNT(*) FROM QVTRN WHERE \"Transaction Type\" = ?",
                    {store::Value{std::string(type)}}),
              0)
        << type;
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVTRN WHERE \"Transaction Type\" IN "
                  "('I','J','K','L','M','N','O') AND "
                  "\"Deposit ID\" = 0"),
            0);
  // The ledger is the tutorial's months, not the workstation's.
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVTRN WHERE \"Date From\" < ? OR \"Date From\" > ?",
                  {store::Value{tutorialFirstDay}, store::Value{tutorialLastDay}}),
            0);

  SCOPED_TRACE("ready for electronic claims");
  practice_->openTable("QVPHY").forEach([](const store::Record& provider) {
    const std::string npi = provider.text("National Provider Identifier");
    EXPECT_TRUE(claims::isValidNpi(npi)) << provider.text("Code") << " " << npi;
    EXPECT_TRUE(claims::isTaxIdForm(provider.text("SSN or Fed Tax ID"), false))
        << provider.text("Code");
    EXPECT_EQ(provider.text("Zip Code").size(), 10U) << provider.text("Code");
  });
  practice_->openTable("QVINS").forEach([](const store::Record& carrier) {
    EXPECT_FALSE(carrier.text("EMC Payor Number").empty()) << carrier.text("Code");
  });
}

TEST_P(TutorialData, InstallingAgainReplacesThePracticeWithTheSameOne) {
  const auto before = ledgerPrint();
  const auto charts =
      practice_->executeSql("SELECT \"Chart Number\" FROM QVPAT ORDER BY 1").rows.size();
  ASSERT_GT(before.size(), 500u);
  installTutorialData(*practice_, nullptr);
  // Entry numbers go on counting; what the rows say is the same.
  EXPECT_EQ(ledgerPrint(), before);
  EXPECT_EQ(practice_->executeSql("SELECT \"Chart Number\" FROM QVPAT ORDER BY 1").rows.size(),
            charts);
  EXPECT_EQ(practice_->openTable("QVPHY").count(), 3);
}

VANTRELL_ON_BOTH_ENGINES(TutorialData);

class TutorialFailure : public EngineTest {};

TEST_P(TutorialFailure, ABrokenRuleStopsTheInstallationWithItsMessageAndLeavesNothing) {
  auto practice = space_->connect();
  store::createMissingTables(*practice, nullptr);
  // A saved default that every new case carries, and a male patient's case refuses.
  TutorialPrompter agreeing;
  store::Record defaults = practice->openTable("QVCAS").newRecord();
  defaults.setFromText("Illness Indicator", "LMP");
  ASSERT_TRUE(store::FieldDefaults(*practice).save(defaults, agreeing));
  try {
    installTutorialData(*practice, nullptr);
    FAIL() << "the installation went on past a refused case";
  } catch (const std::runtime_error& failure) {
    const std::string message = failure.what();
    EXPECT_EQ(message.rfind("A case of ", 0), 0u) << message;
    EXPECT_NE(message.find(": Male patients cannot have LMP as an illness indicator."),
              std::string::npos)
        << message;
  }
  // The codes and patients typed in before the refusal went with it.
  EXPECT_EQ(practice->openTable("QVPRO").count(), 0);
  EXPECT_EQ(practice->openTable("QVPAT").count(), 0);
  EXPECT_EQ(practice->openTable("QVPRA").count(), 0);
}

VANTRELL_ON_BOTH_ENGINES(TutorialFailure);

TEST(TutorialPrompter, AnswersYesAndStopsOnTheFirstErrorOrWarning) {
  TutorialPrompter prompter;
  EXPECT_TRUE(prompter.askYesNo("Save now?"));
  prompter.inform("This Payment has been fully applied.");
  EXPECT_NO_THROW(prompter.require(true, "Applying"));
  EXPECT_THROW(prompter.require(false, "The save"), std::runtime_error);

  prompter.error("Invalid procedure code.");
  prompter.error("A later message");
  try {
    prompter.require(true, "The code X!");
    FAIL() << "an error must stop the installation";
  } catch (const std::runtime_error& failure) {
    EXPECT_STREQ(failure.what(), "The code X!: Invalid procedure code.");
  }
  // The message is told once.
  EXPECT_NO_THROW(prompter.require(true, "The next step"));

  prompter.tolerate("The applied amount exceeds the total amount for this payment.");
  prompter.warn("The applied amount exceeds the total amount for this payment.");
  EXPECT_NO_THROW(prompter.require(true, "A deductible"));
  prompter.warn("The Signature Date you have entered is in the future.");
  EXPECT_THROW(prompter.require(true, "A patient"), std::runtime_error);
}

}  // namespace
}  // namespace vantrell::maintenance
