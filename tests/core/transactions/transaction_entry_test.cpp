#include <fmt/format.h>
#include <gtest/gtest.h>

#include "practice/options.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/money_printing.hpp"
#include "support/other_process.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"
#include "transactions/responsibility.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::transactions {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;
using Fields = vantrell::testing::FieldTexts;

class TransactionEntry : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    options_ = vantrell::testing::newPracticeOptions(*practice_);
    insert("QVPAT", {{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"First Name", "Jane"}});
    insert("QVPHY", {{"Code", "DR1"}, {"Last Name", "Welby"}});
    insert("QVINS", {{"Code", "MC"}, {"Name", "Medicare"}});
    insert("QVINS", {{"Code", "BC"}, {"Name", "Blue"}});
    insert("QVDIA", {{"Code 1", "R05"}, {"Description", "Cough"}});
    insert("QVPRO", {{"Code 1", "99213"},
                     {"Type", "A"},
                     {"Description", "Office visit"},
                     {"Amount A", "80"},
                     {"Amount C", "95"},
                     {"Default Modifier 1", "25"}});
    insert("QVPRO", {{"Code 1", "CHECK"}, {"Type", "K"}, {"Description", "Patient check"}});
    insert("QVCAS", {{"Chart Number", "DOEJA000"},
                     {"Description", "Cough"},
                     {"Assigned Provider", "DR1"},
                     {"Insurance Carrier #1", "MC"},
                     {"Diagnosis 1", "R05"},
                     {"Price Code", "A"}});
    caseNumber_ = std::get<std::int64_t>(
        practice_->executeSql("SELECT MAX(\"Case Number\") FROM \"QVCAS\"").rows[0][0]);
  }
  void insert(const char* table, const Fields& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  void setOption(const std::string& field, const std::string& value) {
    store::Record row = options_.record();
    row.setFromText(field, value);
    options_ = practice::Options(row);
  }
  TransactionEntryWindow::Surroundings surroundings(ScriptedPrompter& prompter,
                                                    store::Connection* connection = nullptr,
                                                    Ledger ledger = Ledger::Transactions) {
    return {connection != nullptr ? *connection : *practice_,
            options_,
            prompter,
            clock_,
            nullptr,
            [this] { return programDate_; },
            ledger};
  }
  std::int64_t count(const std::string& sql) {
    return vantrell::testing::singleNumber(*practice_, sql);
  }
  // A charge of the code typed on a new line and posted; its index.
  std::size_t charge(TransactionEntryWindow& window, const std::string& code,
                     const Fields& fields = {}) {
    const std::size_t index = window.newCharge();
    EXPECT_TRUE(window.setChargeField(index, "Procedure Code", code)) << code;
    for (const auto& [field, value] : fields)
      EXPECT_TRUE(window.setChargeField(index, field, value)) << field;
    window.postCharge(index);
    return index;
  }

  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  Date programDate_ = Date::fromYmd(2026, 12, 5);
  practice::Options options_;
  std::unique_ptr<store::Connection> practice_;
  std::int64_t caseNumber_ = 0;
};

TEST_P(TransactionEntry, ANewChargeTakesTheWindowDefaultsAndIsPricedFromTheCasePriceColumn) {
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("doeja000"));
  ASSERT_TRUE(window.chooseCase(caseNumber_));
  EXPECT_TRUE(prompter.transcript().empty());  // a case without warnings says nothing
  const std::size_t index = charge(window, "99213");
  const store::Record& row = window.charges()[index].row;
  EXPECT_LT(window.charges()[index].newEntryNumber, 0);
  EXPECT_EQ(row.date("Date From"), programDate_);
  EXPECT_EQ(row.text("Document Number"), "2612050000");
  EXPECT_EQ(row.text("Diagnosis Code 1"), "R05");
  EXPECT_EQ(row.text("Diagnosis 1 Description"), "Cough");
  EXPECT_TRUE(row.logical("Diagnosis 1"));
  EXPECT_FALSE(row.logical("Diagnosis 2"));
  EXPECT_EQ(row.text("Attending Provider"), "DR1");
  EXPECT_EQ(row.text("Transaction Type"), "A");
  EXPECT_EQ(row.text("Modifier 1"), "25");
  EXPECT_EQ(row.text("Place of Service"), "11");
  EXPECT_EQ(row.money("Amount"), *Money::parse("80"));
  EXPECT_EQ(joinedModifiersForDisplay(row), "25    ");
  // Nothing reaches the ledger before the save.
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 0);

  // A case without a price column is given column A on its first priced line.
  practice_->executeSql("UPDATE \"QVCAS\" SET \"Price Code\" = ''");
  TransactionEntryWindow other(surroundings(prompter));
  window.close();
  ASSERT_TRUE(other.chooseChart("DOEJA000"));
  ASSERT_TRUE(other.chooseCase(caseNumber_));
  EXPECT_EQ(other.charges().size(), 0u);
  charge(other, "99213");
  EXPECT_EQ(other.charges()[0].row.money("Amount"), *Money::parse("80"));
  EXPECT_EQ(
      store::valueToText(practice_->executeSql("SELECT \"Price Code\" FROM \"QVCAS\"").rows[0][0]),
      "A");
}

TEST_P(TransactionEntry, UnitsMultiplyOnlyWhenThePracticeSaysSoAndRescaleTheAmounts) {
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  insert("QVPRO", {{"Code 1", "TEN"}, {"Type", "A"}, {"Amount A", "10"}, {"Default Units", "3"}});
  setOption("Multiply Units Times Amt.", "F");
  EXPECT_EQ(window.charges()[charge(window, "TEN")].row.money("Amount"), *Money::parse("10"));
  setOption("Multiply Units Times Amt.", "T");
  const std::size_t line = charge(window, "TEN");
  EXPECT_EQ(window.charges()[line].row.money("Amount"), *Money::parse("30"));
  EXPECT_EQ(window.unitAmount(window.charges()[line]), *Money::parse("10"));
  // Units 3 -> 2 rescale amount and allowed amount by their per-unit values.
  ASSERT_TRUE(window.setChargeField(line, "Allowed Amount", "24"));
  ASSERT_TRUE(window.setChargeField(line, "Units", "2"));
  EXPECT_EQ(window.charges()[line].row.money("Amount"), *Money::parse("20"));
  EXPECT_EQ(window.charges()[line].row.money("Allowed Amount"), *Money::parse("16"));
  // Units 0 leave one unit's worth.
  ASSERT_TRUE(window.setChargeField(line, "Units", "0"));
  EXPECT_EQ(window.charges()[line].row.money("Amount"), *Money::parse("10"));
  // A unit amount typed is multiplied back; an odd third is cent-rounded half up.
  ASSERT_TRUE(window.setChargeField(line, "Units", "3"));
  ASSERT_TRUE(window.setChargeField(line, "Unit Amount", "0.125"));
  EXPECT_EQ(window.charges()[line].row.money("Amount"), *Money::parse("0.38"));  // 0.375
  ASSERT_TRUE(window.setChargeField(line, "Units", "1"));
  ASSERT_TRUE(window.setChargeField(line, "Unit Amount", "2.665"));
  EXPECT_EQ(window.charges()[line].row.money("Amount"), *Money::parse("2.67"));
  EXPECT_FALSE(window.setChargeField(line, "Units", "many"));
  EXPECT_EQ(prompter.transcript().back(), "error: The \"Units\" field is not valid");
  // With the decimal point placed, 4540 typed is 45.40; a point typed stands.
  setOption("Auto. Place Decimal Point", "T");
  ASSERT_TRUE(window.setChargeField(line, "Units", "1"));
  ASSERT_TRUE(window.setChargeField(line, "Amount", "4540"));
  EXPECT_EQ(window.charges()[line].row.money("Amount"), *Money::parse("45.40"));
  ASSERT_TRUE(window.setChargeField(line, "Amount", "45.4"));
  EXPECT_EQ(window.charges()[line].row.money("Amount"), *Money::parse("45.40"));
  const std::size_t payment = window.newPayment();
  ASSERT_TRUE(window.setPaymentField(payment, "Amount", "2000"));
  EXPECT_EQ(window.payments()[payment].row.money("Amount").abs(), *Money::parse("20.00"));
}

TEST_P(TransactionEntry, TheCaseWarningsComeAsOneMessageInTheirOrder) {
  insert("QVINS", {{"Code", "OLD"}, {"Name", "Gone"}, {"Inactive", "T"}});
  practice_->executeSql(
      "UPDATE \"QVCAS\" SET \"Case Closed\" = ?, \"Insurance Carrier #2\" = 'OLD', \"Policy #1 End "
      "Date\" = ?, "
      "\"Treatment Auth Through\" = ?, \"Authorized No of Visits\" = 5, \"Visit Series Counter\" = "
      "4",
      {store::Value{true}, store::Value{Date::fromYmd(2026, 11, 30)},
       store::Value{Date::fromYmd(2026, 12, 1)}});
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  ASSERT_EQ(prompter.transcript().size(), 1u);
  EXPECT_EQ(prompter.transcript()[0],
            "warn: This case has been closed.\r\rThe primary insurance carrier for this case (OLD) "
            "is inactive.\r\r"
            "Transactions entered for today's date will be beyond the \rinsurance policy "
            "expiration date.\r\r"
            "The authorized treatment through date for this case is 12/01/2026\r\r"
            "This will be the last visit for this series.\r\r");
}

TEST_P(TransactionEntry, TheSaveValidatesWritesAndReloads) {
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(), "inform: No transactions have been changed/saved.");

  const std::size_t index = window.newCharge();
  EXPECT_FALSE(
      window.setChargeField(index, "Procedure Code", "CHECK"));  // a payment code is not a charge
  EXPECT_EQ(prompter.transcript().back(), "error: Procedure CHECK does not exist as a charge.");
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(),
            "error: Procedure code cannot be left blank.  Transactions will not be saved until "
            "this procedure code is "
            "corrected.");
  // Each refusal is titled by what it validates.
  EXPECT_EQ(prompter.captions().back(), "Procedure Validation");
  ASSERT_TRUE(window.setChargeField(index, "Procedure Code", "99213"));
  ASSERT_TRUE(window.setChargeField(index, "Attending Provider", "NOONE"));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(),
            "error: Attending Provider NOONE is invalid.  Transactions will not be saved until "
            "this is corrected.");
  EXPECT_EQ(prompter.captions().back(), "Attending Provider Validation");
  ASSERT_TRUE(window.failedLine());  // the grid goes to this line
  EXPECT_TRUE(window.failedLine()->charge);
  EXPECT_EQ(window.failedLine()->index, index);
  ASSERT_TRUE(window.setChargeField(index, "Attending Provider", "DR1"));
  ASSERT_TRUE(window.setChargeField(index, "Diagnosis Code 2", "R05"));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(),
            "error: You have two diagnosis set for the same diagnosis code.  Transactions will not "
            "be saved until this "
            "is corrected.");
  EXPECT_EQ(prompter.captions().back(), "Diagnosis Validation");
  ASSERT_TRUE(window.setChargeField(index, "Diagnosis Code 2", ""));
  ASSERT_TRUE(window.setChargeField(index, "Diagnosis Code 3", "R05"));
  ASSERT_TRUE(window.setChargeField(index, "Diagnosis Code 1", ""));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(),
            "error: Diagnosis 1 must have a value before Diagnosis 3.  Transactions will not be "
            "saved until this is "
            "corrected.");
  ASSERT_TRUE(window.setChargeField(index, "Diagnosis Code 1", "R05"));
  ASSERT_TRUE(window.setChargeField(index, "Diagnosis Code 3", ""));
  ASSERT_TRUE(window.setChargeField(index, "Date From", "12/24/2026"));
  window.postCharge(index);  // the to-date follows a later from-date
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 0);

  ScriptedPrompter future{false};
  TransactionEntryWindow::Surroundings asked = surroundings(future);
  // The future date is asked about; No keeps everything unsaved.
  window.close();
  TransactionEntryWindow second(asked);
  ASSERT_TRUE(second.chooseChart("DOEJA000") && second.chooseCase(caseNumber_));
  const std::size_t line = charge(second, "99213", {{"Date From", "12/24/2026"}});
  EXPECT_FALSE(second.save());
  EXPECT_EQ(future.transcript().back(),
            "ask: Date From is a future date.  Do you want to save this transaction?");
  EXPECT_EQ(future.captions().back(), "Date of Service Validation");
  ASSERT_TRUE(second.setChargeField(line, "Date From", "12/04/2026"));
  ASSERT_TRUE(second.setChargeField(line, "Date To", "12/04/2026"));
  ASSERT_TRUE(second.save());
  ASSERT_EQ(second.charges().size(), 1u);
  EXPECT_TRUE(second.charges()[0].isStored());
  EXPECT_FALSE(second.charges()[0].didEdit);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 1);
  EXPECT_EQ(
      store::valueToText(
          practice_->executeSql("SELECT \"Patient Reference Balance\" FROM \"QVPAT\"").rows[0][0]),
      "80");
}

TEST_P(TransactionEntry, ANewLineAfterTheProgramDateMovedTakesTheNewDate) {
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  const std::size_t first =
      charge(window, "99213", {{"Date From", "12/01/2026"}, {"Date To", "12/01/2026"}});
  EXPECT_EQ(window.charges()[charge(window, "99213")].row.date("Date From"),
            Date::fromYmd(2026, 12, 1));
  // Choosing the case on screen again loses nothing.
  ASSERT_TRUE(window.chooseCase(caseNumber_));
  EXPECT_EQ(window.charges().size(), 2u);
  programDate_ = Date::fromYmd(2026, 12, 3);
  EXPECT_EQ(window.charges()[charge(window, "99213")].row.date("Date From"),
            Date::fromYmd(2026, 12, 3));
  EXPECT_EQ(window.charges()[first].row.date("Date From"), Date::fromYmd(2026, 12, 1));
}

TEST_P(TransactionEntry, DeletingAChargeGivesItsAppliedPaymentBack) {
  insert("QVTRN", {{"Chart Number", "DOEJA000"},
                   {"Case Number", std::to_string(caseNumber_)},
                   {"Procedure Code", "99213"},
                   {"Transaction Type", "A"},
                   {"Amount", "80"},
                   {"Guarantor Amount Paid", "-40"},
                   {"Date From", "12/01/2026"},
                   {"Date To", "12/01/2026"}});
  insert("QVTRN", {{"Chart Number", "DOEJA000"},
                   {"Case Number", std::to_string(caseNumber_)},
                   {"Procedure Code", "CHECK"},
                   {"Transaction Type", "K"},
                   {"Amount", "-100"},
                   {"Who Paid", "G"},
                   {"Unapplied Amount", "-60"},
                   {"Date From", "12/01/2026"},
                   {"Date To", "12/01/2026"}});
  insert("QVPAX", {{"Payment Reference", "2"},
                   {"Charge Reference", "1"},
                   {"Payment Amount", "-40"},
                   {"Who Paid", "G"}});
  ScriptedPrompter prompter{false, true};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  ASSERT_EQ(window.charges().size(), 1u);
  ASSERT_EQ(window.payments().size(), 1u);
  EXPECT_FALSE(window.deleteCharge(0));
  EXPECT_EQ(prompter.transcript().back(), "ask: Are you sure you want to delete this charge?");
  ASSERT_TRUE(window.deleteCharge(0));
  EXPECT_EQ(window.charges().size(), 0u);
  EXPECT_EQ(window.payments()[0].row.money("Unapplied Amount"), *Money::parse("-100"));
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 2);  // still stored until the save
  ASSERT_TRUE(window.save()) << prompter.transcript().back();
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVPAX\""), 0);
  EXPECT_EQ(store::valueToText(
                practice_->executeSql("SELECT \"Unapplied Amount\" FROM \"QVTRN\"").rows[0][0]),
            "-100");
  const auto audit = practice_->executeSql("SELECT \"Comment\" FROM \"QVAUD\"");
  ASSERT_EQ(audit.rows.size(), 1u);
  EXPECT_EQ(store::valueToText(audit.rows[0][0]),
            "Deleted transaction: Entry: 1 Procedure: 99213 Amount: 80.00");
}

TEST_P(TransactionEntry, MultilinkAddsTheChargeCodesAndRefusesTheOthers) {
  insert("QVPRO", {{"Code 1", "XRAY"}, {"Type", "B"}, {"Amount A", "45"}});
  insert("QVMUL", {{"Code", "VISIT"},
                   {"Link Code 1", "99213"},
                   {"Link Code 2", "CHECK"},
                   {"Link Code 3", "XRAY"}});
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  ASSERT_TRUE(window.multilink("visit", Date::fromYmd(2026, 12, 2)));
  ASSERT_EQ(window.charges().size(), 2u);
  EXPECT_EQ(window.charges()[1].row.text("Procedure Code"), "XRAY");
  EXPECT_EQ(window.charges()[1].row.date("Date To"), Date::fromYmd(2026, 12, 2));
  EXPECT_EQ(prompter.transcript().back(),
            "error: Procedure CHECK does not exist as a charge.\nNo transaction will be created.");
}

TEST_P(TransactionEntry, EstimatesGoToTheirOwnLedger) {
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter, nullptr, Ledger::Estimates));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  charge(window, "99213");
  ASSERT_TRUE(window.save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRNE\""), 1);
}

// Another workstation holds the patient: the window refuses it. A save killed
// part way leaves the ledger as it was.
TEST_P(TransactionEntry, APatientInUseIsRefusedAndAKilledSaveLeavesNothing) {
  class HoldingProgress final : public ui::Progress {
   public:
    explicit HoldingProgress(const vantrell::testing::OtherProcess::HoldUntilKilled& hold)
        : hold_(hold) {}
    void begin(const std::string&, std::int64_t) override {}
    bool advance(std::int64_t done) override {
      if (done == 2) hold_();  // two lines written, the transaction still open
      return true;
    }
    void end() override {}

   private:
    const vantrell::testing::OtherProcess::HoldUntilKilled& hold_;
  };
  vantrell::testing::OtherProcess desk(
      [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
        auto connection = space_->connect("DESK2");
        ScriptedPrompter prompter{};
        HoldingProgress progress(hold);
        auto context = surroundings(prompter, connection.get());
        context.progress = &progress;
        TransactionEntryWindow window(context);
        if (!window.chooseChart("DOEJA000") || !window.chooseCase(caseNumber_)) return;
        for (int i = 0; i < 3; ++i) charge(window, "99213");
        window.save();
      });
  ASSERT_TRUE(desk.ready());
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  EXPECT_FALSE(window.chooseChart("DOEJA000"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: Patient with chart number DOEJA000 is in use by another user.  Please choose a "
            "different patient.");
  desk.kill();
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 0);
  EXPECT_EQ(vantrell::testing::untilEmpty([&]() -> std::optional<std::string> {
              ScriptedPrompter again{};
              TransactionEntryWindow retry(surroundings(again));
              if (retry.chooseChart("DOEJA000")) return std::nullopt;
              return again.transcript().back();
            }),
            std::nullopt);
}

// "You currently have" means this program: the same user in another program
// is another holder, and another window of this program is "you" whatever
// name its session carries.
TEST_P(TransactionEntry, ThePatientsHolderIsToldByProgramNotByUserName) {
  vantrell::testing::OtherProcess sameUser(
      [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
        auto connection = space_->connect("tester");  // the name this program's session has
        ScriptedPrompter prompter{};
        TransactionEntryWindow window(surroundings(prompter, connection.get()));
        if (!window.chooseChart("DOEJA000")) return;
        hold();
      });
  ASSERT_TRUE(sameUser.ready());
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  EXPECT_FALSE(window.chooseChart("DOEJA000"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: Patient with chart number DOEJA000 is in use by another user.  Please choose a "
            "different patient.");
  sameUser.kill();
  ASSERT_EQ(vantrell::testing::untilEmpty([&]() -> std::optional<std::string> {
              ScriptedPrompter again{};
              TransactionEntryWindow retry(surroundings(again));
              if (retry.chooseChart("DOEJA000")) return std::nullopt;
              return again.transcript().back();
            }),
            std::nullopt);

  auto otherSession = space_->connect("SOMEONE");
  ScriptedPrompter firstPrompter{};
  TransactionEntryWindow first(surroundings(firstPrompter, otherSession.get()));
  ASSERT_TRUE(first.chooseChart("DOEJA000"));
  ScriptedPrompter secondPrompter{};
  TransactionEntryWindow second(surroundings(secondPrompter));
  EXPECT_FALSE(second.chooseChart("DOEJA000"));
  EXPECT_EQ(secondPrompter.transcript().back(),
            "error: You currently have patient with chart number DOEJA000 open.");
}

TEST_P(TransactionEntry, TaxesAllowedAmountsAndTheCopayReminder) {
  insert("QVPRO", {{"Code 1", "BRACE"}, {"Type", "A"}, {"Amount A", "50"}, {"Taxable", "T"}});
  insert("QVPRO",
         {{"Code 1", "TAX"}, {"Type", "G"}, {"Description", "Sales tax"}, {"Tax Rate", "6.25"}});
  insert(
      "QVALL",
      {{"Insurance Code", "MC"}, {"Procedure", "99213"}, {"Modifiers", "25"}, {"Amount", "61.50"}});
  practice_->executeSql("UPDATE \"QVCAS\" SET \"Copayment Amount\" = 1250");
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  const std::size_t visit = charge(window, "99213");
  EXPECT_EQ(prompter.transcript().back(),
            "inform: This Case requires a $1,250.00 copay for each visit.");
  EXPECT_EQ(window.charges()[visit].row.money("Allowed Amount"), *Money::parse("61.50"));
  charge(window, "BRACE");
  EXPECT_EQ(window.taxableTotal(), *Money::parse("50"));
  EXPECT_FALSE(window.addTax());
  EXPECT_EQ(prompter.transcript().back(), "error: The default tax code has not been selected.");
  setOption("Default Tax Code", "TAX");
  ASSERT_TRUE(window.addTax());
  const store::Record& tax = window.charges().back().row;
  EXPECT_EQ(tax.text("Transaction Type"), "G");
  EXPECT_EQ(tax.money("Amount"), *Money::parse("3.13"));  // 3.125 rounds half up
  EXPECT_EQ(tax.text("Description"), "Sales tax");
  EXPECT_EQ(window.taxableTotal(), Money{});

  // A corrected allowed amount updates the carrier's row; none is made for another code.
  ASSERT_TRUE(window.setChargeField(visit, "Allowed Amount", "58"));
  ASSERT_TRUE(window.setChargeField(1, "Allowed Amount", "40"));
  ASSERT_TRUE(window.save()) << prompter.transcript().back();
  const auto allowed = practice_->executeSql("SELECT \"Procedure\", \"Amount\" FROM \"QVALL\"");
  ASSERT_EQ(allowed.rows.size(), 1u);
  EXPECT_EQ(store::valueToText(allowed.rows[0][1]), "58");
}

TEST_P(TransactionEntry, OneSaveCorrectsTheAllowedAmountOfEachCodeAndModifiersOfTheCarrier) {
  insert("QVPRO", {{"Code 1", "99214"}, {"Type", "A"}, {"Amount A", "120"}});
  insert("QVPHY", {{"Code", "DR2"}, {"Last Name", "Kildare"}});
  const std::vector<std::array<const char*, 4>> rows = {{"MC", "99213", "25", "61.50"},
                                                        {"MC", "99214", "", "90"},
                                                        {"BC", "99213", "25", "70"},
                                                        {"MC", "99213", "", "50"}};
  for (const auto& [carrier, procedure, modifiers, amount] : rows)
    insert("QVALL", {{"Insurance Code", carrier},
                     {"Procedure", procedure},
                     {"Modifiers", modifiers},
                     {"Amount", amount}});
  ScriptedPrompter prompter{};
  TransactionEntryWindow window(surroundings(prompter));
  ASSERT_TRUE(window.chooseChart("DOEJA000") && window.chooseCase(caseNumber_));
  // The same code twice: the later line's figure is the one kept, as when the
  // lines are saved one after the other.
  charge(window, "99213", {{"Allowed Amount", "58"}});
  charge(window, "99214", {{"Allowed Amount", "100"}, {"Attending Provider", "DR2"}});
  charge(window, "99213", {{"Allowed Amount", "59"}});
  charge(window, "99214", {{"Allowed Amount", "100"}});
  ASSERT_TRUE(window.save()) << prompter.transcript().back();
  std::map<std::string, std::string> stored;
  for (const auto& row :
       practice_
           ->executeSql("SELECT \"Insurance Code\", \"Procedure\", \"Modifiers\", \"Amount\" "
                        "FROM \"QVALL\"")
           .rows)
    stored[store::valueToText(row[0]) + "/" + store::valueToText(row[1]) + "/" +
           store::valueToText(row[2])] = store::valueToText(row[3]);
  EXPECT_EQ(stored, (std::map<std::string, std::string>{{"MC/99213/25", "59"},
                                                        {"MC/99214/", "100"},
                                                        {"BC/99213/25", "70"},
                                                        {"MC/99213/", "50"}}));
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 4);
}

TEST(Responsibility, FlagsFollowTheCaseTheCodeAndItsCarrierLists) {
  const auto& ledger = store::schemaCatalogue().get("QVTRN");
  const auto& cases = store::schemaCatalogue().get("QVCAS");
  const auto& codes = store::schemaCatalogue().get("QVPRO");
  const auto flags = [](const store::Record& line) {
    std::string text;
    for (int policy = 1; policy <= 3; ++policy)
      text += fmt::format("{}{} ",
                          line.logical(fmt::format("Insurance {} Responsible", policy)) ? 'R' : '-',
                          line.logical(fmt::format("Insurance {} Paid", policy)) ? 'P' : '-');
    text += std::string(line.logical("Guarantor Responsible") ? "R" : "-") +
            (line.logical("Guarantor Paid") ? "P" : "-");
    return text;
  };
  store::Record caseRow(cases);
  caseRow.set("Insurance Carrier #1", std::string("MC"));
  caseRow.set("Insurance Carrier #2", std::string("BC"));
  caseRow.set("Accept Assignment #2", true);
  store::Record code(codes);
  const auto run = [&](const store::Record& caseRecord, const store::Record* procedure) {
    store::Record line(ledger);
    line.set("Transaction Type", std::string("A"));
    setResponsibility(line, ResponsibilityInputs{caseRecord, procedure, {}});
    return line;
  };
  const store::Record plain = run(caseRow, &code);
  EXPECT_EQ(flags(plain), "R- R- -P R-");  // no third carrier: not responsible, counted paid
  EXPECT_TRUE(plain.logical("Accept Assignment 2"));

  code.set("Patient Only Responsible", true);
  EXPECT_EQ(flags(run(caseRow, &code)), "-P -P -P R-");
  code.set("Patient Only Responsible", false);
  code.set("Don't Print on Insurance", std::string("XX, BC,bc"));  // entries as written
  EXPECT_EQ(flags(run(caseRow, &code)), "R- R- -P R-");
  code.set("Don't Print on Insurance", std::string("XX,BC"));
  EXPECT_EQ(flags(run(caseRow, &code)), "R- -P -P R-");
  code.set("Only Print on Insurance", std::string("BC"));  // the only-list wins over the don't-list
  EXPECT_EQ(flags(run(caseRow, &code)), "-P R- -P R-");
  code.set("Only Print on Insurance", std::string("MCX"));  // whole entries only
  EXPECT_EQ(flags(run(caseRow, &code)), "-P -P -P R-");

  store::Record cash = caseRow;
  cash.set("Cash Case", true);
  EXPECT_EQ(flags(run(cash, nullptr)), "-P -P -P R-");

  // A stored charge keeps "Insurance 1 Paid" only while policy 1 has a payment on it.
  store::Record stored(ledger);
  stored.set("Transaction Type", std::string("A"));
  stored.set("Entry Number", std::int64_t{7});
  stored.set("Insurance 1 Paid", true);
  setResponsibility(stored, ResponsibilityInputs{caseRow, nullptr, [](int) { return false; }});
  EXPECT_FALSE(stored.logical("Insurance 1 Paid"));
  stored.set("Insurance 1 Paid", true);
  setResponsibility(stored,
                    ResponsibilityInputs{caseRow, nullptr, [](int policy) { return policy == 1; }});
  EXPECT_TRUE(stored.logical("Insurance 1 Paid"));

  store::Record comment(ledger);
  comment.set("Transaction Type", std::string("Z"));
  comment.set("Claim Number", std::int64_t{12});
  comment.set("Diagnosis 1", true);
  setResponsibility(comment, ResponsibilityInputs{caseRow, nullptr, {}});
  EXPECT_EQ(flags(comment), "-- -- -- --");
  EXPECT_FALSE(comment.logical("Diagnosis 1"));
}

VANTRELL_ON_BOTH_ENGINES(TransactionEntry);

}  // namespace
}  // namespace vantrell::transactions
