// The payment application window on both engines, checked against amounts
// worked out by hand for each case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deposits/payment_application.hpp"
#include "statements/statement_creation.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/money_printing.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::deposits {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::FieldTexts;
using vantrell::testing::ScriptedPrompter;

Money dollars(std::int64_t whole) {
  return Money::fromCents(whole * 100);
}

// What is left of a charge: its amount less everything paid or adjusted on it.
Money remainder(const store::Record& charge) {
  Money left = charge.money("Amount");
  for (const char* paid :
       {"Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
        "Attorney Amount Paid", "Guarantor Amount Paid", "Adjustment Amount"})
    left += charge.money(paid);
  return left;
}

class PaymentApplication : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    vantrell::testing::insertPaymentPractice(*practice_);
    insert("QVCAS", {{"Chart Number", "DOEJA000"},
                     {"Description", "Visit"},
                     {"Insurance Carrier #1", "MC"},
                     {"Insurance Carrier #2", "BC"},
                     {"Percent Covered A #1", "80"},
                     {"Percent Covered A #2", "50"}});
    caseNumber_ =
        vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
  }
  void insert(const char* table, const FieldTexts& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  // A charge of the case, not yet paid by anyone; returns its entry number.
  std::int64_t charge(const std::string& date, const std::string& amount, FieldTexts more = {}) {
    FieldTexts fields = {{"Chart Number", "DOEJA000"},
                         {"Case Number", std::to_string(caseNumber_)},
                         {"Transaction Type", "A"},
                         {"Procedure Code", "VISIT"},
                         {"Date From", date},
                         {"Amount", amount},
                         {"Insurance 1 Responsible", "T"},
                         {"Insurance 2 Responsible", "T"},
                         {"Guarantor Responsible", "T"}};
    fields.insert(fields.end(), more.begin(), more.end());
    insert("QVTRN", fields);
    return vantrell::testing::singleNumber(*practice_,
                                           "SELECT MAX(\"Entry Number\") FROM \"QVTRN\"");
  }
  std::int64_t deposit(const std::string& carrier, const std::string& amount,
                       const std::string& withholdCode = "WO") {
    insert("QVDEP", {{"Deposit Date", "2026-12-04"},
                     {"Description", "EOB 77"},
                     {"Payor Type", "Insurance"},
                     {"Insurance Code", carrier},
                     {"Check Number", "5521"},
                     {"Payment Amount", amount},
                     {"Unapplied Amount", amount},
                     {"Payment Code", "INS"},
                     {"Deductible Code", "DED"},
                     {"Adjustment Code", "WO"},
                     {"Withhold Code", withholdCode},
                     {"Take Back Code", "TAKE"}});
    return vantrell::testing::singleNumber(*practice_,
                                           "SELECT MAX(\"Entry Number\") FROM \"QVDEP\"");
  }
  practice::Options options(FieldTexts flags = {}) {
    store::Table table = practice_->openTable("QVOPT");
    store::Record row = table.newRecord();
    practice::applyNewOptionValues(row);
    row.setFromText("Mark Complete", "F");  // on in a new practice; the cases below say when
    for (const auto& [field, value] : flags) row.setFromText(field, value);
    return practice::Options(row);
  }
  std::unique_ptr<PaymentApplicationWindow> open(std::int64_t deposit,
                                                 const practice::Options& options,
                                                 ScriptedPrompter& prompter) {
    auto window = std::make_unique<PaymentApplicationWindow>(
        PaymentApplicationWindow::Surroundings{*practice_, options, prompter, clock_, "CLERK"},
        deposit);
    EXPECT_TRUE(window->choosePatient("doeja000"));
    return window;
  }
  store::Record stored(const char* table, const char* keyField, std::int64_t key) {
    store::Table rows = practice_->openTable(table);
    std::optional<store::Record> found;
    rows.forEach([&](const store::Record& row) {
      if (row.integer(keyField) == key) found = row;
    });
    if (!found) throw std::runtime_error("no row");
    return *found;
  }
  // The new ledger lines, oldest first: procedure code, type, amount and Who Paid.
  std::vector<std::string> newLines() {
    std::vector<std::string> lines;
    store::Table ledger = practice_->openTable("QVTRN");
    ledger.forEach([&](const store::Record& row) {
      if (row.text("Transaction Type") >= "I")
        lines.push_back(row.text("Procedure Code") + " " + row.text("Transaction Type") + " " +
                        row.money("Amount").toString() + " " + row.text("Who Paid"));
    });
    return lines;
  }
  std::int64_t count(const std::string& sql) {
    return vantrell::testing::singleNumber(*practice_, sql);
  }

  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  std::unique_ptr<store::Connection> practice_;
  std::int64_t caseNumber_ = 0;
};

TEST_P(PaymentApplication, ApplyToOldestSpendsTheDepositOldestFirstAndTheSaveBooksIt) {
  const auto oldest = charge("2026-11-01", "30");
  const auto middle = charge("2026-11-02", "50");
  const auto newest = charge("2026-11-03", "40");
  {
    store::Table patients = practice_->openTable("QVPAT");
    patients.setOrder("Primary");
    auto jane = patients.seek({store::Value{std::string("DOEJA000")}});
    jane->set("Patient Reference Balance", dollars(120));
    patients.post(*jane);
  }
  const auto depositId = deposit("MC", "100");
  const auto opts = options();
  ScriptedPrompter prompter{};
  auto window = open(depositId, opts, prompter);
  ASSERT_EQ(window->rows().size(), 3u);
  EXPECT_EQ(window->payorPosition(0), "Primary Carrier");
  window->applyToOldest();
  EXPECT_EQ(window->rows()[0].entry.payment, -dollars(30));
  EXPECT_EQ(window->rows()[1].entry.payment, -dollars(50));
  EXPECT_EQ(window->rows()[2].entry.payment, -dollars(20));
  EXPECT_EQ(window->shownRemainder(2), dollars(20));
  EXPECT_EQ(window->unapplied(), Money{});
  EXPECT_EQ(prompter.transcript().back(), "inform: This Deposit has been fully applied.");
  window->applyToOldest();
  EXPECT_EQ(prompter.transcript().back(), "inform: Unapplied amount is $0.00.  No payments added.");

  ASSERT_TRUE(window->save());
  EXPECT_EQ(newLines(),
            (std::vector<std::string>{"INS I -30.00 1", "INS I -50.00 1", "INS I -20.00 1"}));
  EXPECT_EQ(stored("QVTRN", "Entry Number", oldest).money("Insurance 1 Amount Paid"), -dollars(30));
  EXPECT_EQ(stored("QVTRN", "Entry Number", middle).money("Insurance 1 Amount Paid"), -dollars(50));
  const store::Record last = stored("QVTRN", "Entry Number", newest);
  EXPECT_EQ(remainder(last), dollars(20));
  EXPECT_FALSE(last.logical("Guarantor Paid"));
  EXPECT_TRUE(stored("QVTRN", "Entry Number", oldest).logical("Guarantor Paid"));
  // Each line is fully applied to its charge through one row that names the deposit.
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVPAX\" WHERE \"Deposit ID\" = " +
                  std::to_string(depositId) + " AND \"Who Paid\" = '1'"),
            3);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Transaction Type\" = 'I' AND "
                  "\"Unapplied Amount\" <> 0"),
            0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Transaction Type\" = 'I' AND "
                  "\"Check Number\" = '5521' AND \"Description\" = 'EOB 77'"),
            3);
  // 120 owed before, 100 paid.
  store::Table patients = practice_->openTable("QVPAT");
  patients.setOrder("Primary");
  EXPECT_EQ(
      patients.seek({store::Value{std::string("DOEJA000")}})->money("Patient Reference Balance"),
      dollars(20));
  // The deposit is written when the window closes, not before.
  EXPECT_EQ(stored("QVDEP", "Entry Number", depositId).money("Unapplied Amount"), dollars(100));
  window->close();
  EXPECT_EQ(stored("QVDEP", "Entry Number", depositId).money("Unapplied Amount"), Money{});
}

TEST_P(PaymentApplication, TypedAmountsTakeTheirStoredSignsAndMoveTheUnappliedAmount) {
  charge("2026-11-01", "100");
  const auto opts = options();
  ScriptedPrompter prompter{};
  auto window = open(deposit("MC", "100"), opts, prompter);
  window->setPayment(0, dollars(50));
  EXPECT_EQ(window->rows()[0].entry.payment, -dollars(50));
  window->setPayment(0, -dollars(50));
  EXPECT_EQ(window->rows()[0].entry.payment, -dollars(50));
  EXPECT_EQ(window->unapplied(), dollars(50));
  window->setTakeBack(0, -dollars(20));
  EXPECT_EQ(window->rows()[0].entry.takeBack, dollars(20));
  EXPECT_EQ(window->unapplied(), dollars(70));
  window->setWithhold(0, dollars(5));
  window->setAdjustment(0, dollars(10));
  window->setDeductible(0, dollars(7));
  // 100 - 50 - 5 - 10 + 20; the deductible changes nothing.
  EXPECT_EQ(window->shownRemainder(0), dollars(55));
  EXPECT_FALSE(window->rows()[0].entry.complete);  // Mark Complete is off
  window->setPayment(0, Money{});
  window->setWithhold(0, Money{});
  window->setAdjustment(0, Money{});
  window->setDeductible(0, Money{});
  window->setTakeBack(0, Money{});
  // Leaving the patient asks only while something is entered.
  EXPECT_TRUE(window->mayLeave());
  window->setPayment(0, dollars(1));
  ScriptedPrompter no{false};
  auto other = open(deposit("MC", "10"), opts, no);
  other->setPayment(0, dollars(1));
  EXPECT_FALSE(other->choosePatient("DOEJA000"));
  EXPECT_EQ(no.transcript().back(), "ask: Do you want to abandon your changes?");
  EXPECT_EQ(other->rows()[0].entry.payment, -dollars(1));

  // With Mark Complete, a payment or deductible ticks Complete.
  const auto marking = options({{"Mark Complete", "T"}});
  auto marked = open(deposit("MC", "10"), marking, prompter);
  marked->setDeductible(0, dollars(3));
  EXPECT_TRUE(marked->rows()[0].entry.complete);
}

// Yes to the abandon question throws the typed entries away: closing then leaves the
// deposit's unapplied amount as it was, 100 - 0 rather than 100 - 40.
TEST_P(PaymentApplication, AbandonedEntriesAreNotSpentWhenTheWindowCloses) {
  charge("2026-11-01", "100");
  const auto opts = options();
  ScriptedPrompter yes{true};
  const std::int64_t id = deposit("MC", "100");
  auto window = open(id, opts, yes);
  window->setPayment(0, dollars(40));
  EXPECT_EQ(window->unapplied(), dollars(60));
  ASSERT_TRUE(window->mayLeave());
  EXPECT_EQ(yes.transcript().back(), "ask: Do you want to abandon your changes?");
  EXPECT_EQ(window->unapplied(), dollars(100));
  EXPECT_EQ(window->rows()[0].entry.payment, Money{});
  window->close();
  EXPECT_EQ(stored("QVDEP", "Entry Number", id).money("Unapplied Amount"), dollars(100));
}

TEST_P(PaymentApplication, DisallowedAmountIsWhatTheAllowedAmountLeavesOfTheCharge) {
  charge("2026-11-01", "100", {{"Allowed Amount", "80"}});
  charge("2026-11-02", "100", {{"Allowed Amount", "120"}});
  charge("2026-11-03", "100");
  const auto opts = options({{"Calculate Disallowed Amt", "T"}});
  ScriptedPrompter prompter{};
  auto window = open(deposit("MC", "200"), opts, prompter);
  for (std::size_t row = 0; row < 3; ++row) window->setPayment(row, dollars(40));
  EXPECT_EQ(window->rows()[0].entry.adjustment, -dollars(20));
  EXPECT_EQ(window->rows()[1].entry.adjustment, Money{});
  EXPECT_EQ(window->rows()[2].entry.adjustment, Money{});  // no allowed amount
  EXPECT_EQ(window->shownRemainder(0), dollars(40));
  // An adjustment already typed is the clerk's.
  window->setAdjustment(0, dollars(5));
  window->setPayment(0, dollars(45));
  EXPECT_EQ(window->rows()[0].entry.adjustment, -dollars(5));

  // Not for a secondary carrier's payment.
  auto secondary = open(deposit("BC", "50"), opts, prompter);
  EXPECT_EQ(secondary->payorPosition(0), "Secondary Carrier");
  secondary->setPayment(0, dollars(10));
  EXPECT_EQ(secondary->rows()[0].entry.adjustment, Money{});
}

TEST_P(PaymentApplication, CalculatedAllowedAmountIsThePaymentOverTheCoveredShare) {
  charge("2026-11-01", "100");
  charge("2026-11-02", "100", {{"Allowed Amount", "90"}});
  const auto opts = options({{"Calculate Allowed Amount", "T"}});
  ScriptedPrompter prompter{true};
  auto window = open(deposit("MC", "200"), opts, prompter);
  // 80% covered: 60 + 4 deductible = 64 -> 80.
  window->setPayment(0, dollars(60));
  window->setDeductible(0, dollars(4));
  EXPECT_EQ(window->rows()[0].entry.allowed, dollars(80));
  EXPECT_TRUE(window->rows()[0].entry.updateChargeAllowed);
  window->setPayment(1, dollars(56));  // 70 against a stored 90: asked
  EXPECT_EQ(window->rows()[1].entry.allowed, dollars(70));
  EXPECT_EQ(prompter.transcript().back(),
            "ask: The calculated allowed amount does not match the previous allowed amount.  "
            "\rUpdate the files to the new allowed amount of 70.00");
  ASSERT_TRUE(window->save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Allowed Amount\" = 70"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Allowed Amount\" = 80"), 1);
  // A No keeps the charge's allowed amount; the entry still shows the new one.
  charge("2026-11-03", "100", {{"Allowed Amount", "90"}});
  ScriptedPrompter no{false};
  auto refused = open(deposit("MC", "100"), opts, no);
  refused->setPayment(2, dollars(40));
  EXPECT_EQ(refused->rows()[2].entry.allowed, dollars(50));
  ASSERT_TRUE(refused->save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Allowed Amount\" = 90"), 1);
}

// The deductible's description is cut to its 30 characters, not refused with
// the whole save.
TEST_P(PaymentApplication, ALargeDeductibleIsPostedWithItsDescriptionCutToTheField) {
  charge("2026-11-01", "20000");
  ScriptedPrompter prompter{};
  const auto opts = options();
  auto window = open(deposit("MC", "100"), opts, prompter);
  window->setDeductible(0, dollars(12345));
  ASSERT_TRUE(window->save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Description\" = 'Carrier MC "
                  "Deductible 12,345.0'"),
            1);
}

// A payment typed but never saved, or refused by its save, leaves the deposit
// as it was when the window closes.
TEST_P(PaymentApplication, EntriesNotSavedLeaveTheDepositsUnappliedAmount) {
  charge("2026-11-01", "100");
  ScriptedPrompter prompter{};
  const auto depositId = deposit("MC", "100");
  const auto opts = options();
  auto window = open(depositId, opts, prompter);
  window->setPayment(0, dollars(60));
  EXPECT_EQ(window->unapplied(), dollars(40));
  window->close();
  EXPECT_EQ(stored("QVDEP", "Entry Number", depositId).money("Unapplied Amount"), dollars(100));
  EXPECT_EQ(
      count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Deposit ID\" = " + std::to_string(depositId)),
      0);
}

TEST_P(PaymentApplication, DeductibleWithoutPaymentWritesAZeroLineAndLeavesTheRemainder) {
  const auto entry = charge("2026-11-01", "100");
  const auto opts = options();
  ScriptedPrompter prompter{};
  const auto depositId = deposit("MC", "100");
  auto window = open(depositId, opts, prompter);
  window->setDeductible(0, dollars(25));
  EXPECT_EQ(window->unapplied(), dollars(100));
  ASSERT_TRUE(window->save());
  EXPECT_EQ(newLines(), std::vector<std::string>{"DED P 0.00 1"});
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Description\" = 'Carrier MC "
                  "Deductible 25.00'"),
            1);
  const store::Record after = stored("QVTRN", "Entry Number", entry);
  EXPECT_EQ(remainder(after), dollars(100));
  EXPECT_EQ(after.money("Insurance 1 Amount Paid"), Money{});
  // The deductible's row keeps the amount for the estimates and fills no bucket.
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVPAX\" WHERE \"Who Paid\" = 'P' AND \"Payment "
                  "Amount\" = -25"),
            1);
  window->close();
  EXPECT_EQ(stored("QVDEP", "Entry Number", depositId).money("Unapplied Amount"), dollars(100));
}

TEST_P(PaymentApplication, CompleteWithoutPaymentOnAChargeAlreadyPaidWritesNothing) {
  charge("2026-11-01", "100", {{"Insurance 1 Paid", "T"}});
  const auto unpaid = charge("2026-11-02", "100");
  const auto opts = options();
  ScriptedPrompter prompter{};
  auto window = open(deposit("MC", "100"), opts, prompter);
  window->setComplete(0, true);
  ASSERT_TRUE(window->save());
  EXPECT_TRUE(newLines().empty());
  EXPECT_EQ(prompter.transcript().back(), "inform: No payments or adjustments were created.");
  // On a charge the carrier has not finished, Complete alone books a zero payment and the mark.
  window->setComplete(1, true);
  ASSERT_TRUE(window->save());
  EXPECT_EQ(newLines(), std::vector<std::string>{"INS I 0.00 1"});
  EXPECT_TRUE(stored("QVTRN", "Entry Number", unpaid).logical("Insurance 1 Paid"));
}

TEST_P(PaymentApplication, AllowedAmountsAreRememberedPerCarrierProcedureAndModifiers) {
  charge("2026-11-01", "100", {{"Modifier 1", "26"}});
  const auto opts = options();
  ScriptedPrompter prompter{};
  auto window = open(deposit("MC", "300"), opts, prompter);
  window->setPayment(0, dollars(10));
  window->setAllowed(0, Money{});
  ASSERT_TRUE(window->save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVALL\""), 0);
  window->setPayment(0, dollars(10));
  window->setAllowed(0, dollars(70));
  ASSERT_TRUE(window->save());
  window->setPayment(0, dollars(10));
  window->setAllowed(0, dollars(65));
  ASSERT_TRUE(window->save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVALL\""), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVALL\" WHERE \"Insurance Code\" = 'MC' AND "
                  "\"Procedure\" = 'VISIT' AND \"Modifiers\" LIKE '26%' AND \"Amount\" = 65"),
            1);
}

TEST_P(PaymentApplication, FinishedClaimSlotIsMarkedDoneAndAPaidStatementCompleted) {
  insert("QVCLA", {{"Chart Number", "DOEJA000"},
                   {"Case Number", std::to_string(caseNumber_)},
                   {"Insurance Carrier 1", "MC"},
                   {"Insurance Carrier 2", "BC"},
                   {"Claim Status 1", "2"},
                   {"Claim Status 2", "1"},
                   {"Secondary Billing Method", "P"}});
  const auto claim = count("SELECT MAX(\"Claim Number\") FROM \"QVCLA\"");
  insert("QVSTA", {{"Chart Number", "DOEJA000"}, {"Status", "2"}});
  const auto statement = count("SELECT MAX(\"Statement Number\") FROM \"QVSTA\"");
  const FieldTexts onBoth = {{"Claim Number", std::to_string(claim)},
                             {"Statement Number", std::to_string(statement)}};
  charge("2026-11-01", "100", onBoth);
  charge("2026-11-02", "50", onBoth);
  const auto opts = options({{"Mark Completed Claims Done", "T"}});
  ScriptedPrompter prompter{};
  auto window = open(deposit("MC", "150"), opts, prompter);
  window->setChoices({false, false, true, true});
  window->setPayment(0, dollars(100));
  window->setComplete(0, true);
  ASSERT_TRUE(window->save());
  EXPECT_EQ(stored("QVCLA", "Claim Number", claim).text("Claim Status 1"), "2");
  EXPECT_EQ(stored("QVSTA", "Statement Number", statement).text("Status"), "2");
  window->setPayment(1, dollars(50));
  window->setComplete(1, true);
  const auto before = prompter.transcript().size();
  ASSERT_TRUE(window->save());
  EXPECT_EQ(stored("QVCLA", "Claim Number", claim).text("Claim Status 1"), "6");
  EXPECT_EQ(stored("QVCLA", "Claim Number", claim).text("Claim Status 2"), "1");
  EXPECT_EQ(stored("QVSTA", "Statement Number", statement).text("Status"), "4");
  const std::vector<std::string> said(
      prompter.transcript().begin() + static_cast<std::ptrdiff_t>(before),
      prompter.transcript().end());
  const std::string n = std::to_string(claim);
  EXPECT_EQ(said, (std::vector<std::string>{
                      "inform: Claim number(s):  " + n +
                          " have been marked \"done\" for the primary insurance.",
                      "inform: Statement number(s):  " + std::to_string(statement) +
                          " have been marked \"done\".",
                      "inform: Claim number " + n + " is due for its secondary insurance."}));
}

TEST_P(PaymentApplication, MissingCodeSkipsOnlyItsTransaction) {
  const auto entry = charge("2026-11-01", "100");
  const auto opts = options();
  ScriptedPrompter prompter{true};  // Yes: the over-applied deposit is saved anyway
  auto window = open(deposit("MC", "30", "NOPE"), opts, prompter);
  window->setPayment(0, dollars(40));
  window->setWithhold(0, dollars(10));
  EXPECT_TRUE(window->unappliedIsNegative());
  ASSERT_TRUE(window->save());
  EXPECT_EQ(prompter.transcript().at(0),
            "ask: The applied amount exceeds the total amount\nfor this payment.  Do you want "
            "to continue?");
  EXPECT_EQ(prompter.transcript().at(1),
            "error: Code \"NOPE\" cannot be found. No transaction can be saved");
  EXPECT_EQ(newLines(), std::vector<std::string>{"INS I -40.00 1"});
  EXPECT_EQ(remainder(stored("QVTRN", "Entry Number", entry)), dollars(60));
  // No to the same question writes nothing.
  ScriptedPrompter no{false};
  auto refused = open(deposit("MC", "5"), opts, no);
  refused->setPayment(0, dollars(10));
  EXPECT_FALSE(refused->save());
  EXPECT_EQ(newLines().size(), 1u);
}

// Opened from the deposit list, the deposit is held until the window closes: another
// desk, or a second Apply here, is refused; closing writes 100 - 40 and lets it go.
TEST_P(PaymentApplication, OpenedForApplyingTheDepositIsHeldUntilTheWindowCloses) {
  charge("2026-11-01", "100");
  const auto opts = options();
  ScriptedPrompter prompter{};
  const auto id = deposit("MC", "100");
  auto window =
      PaymentApplicationWindow::openHeld({*practice_, opts, prompter, clock_, "CLERK"}, id);
  ASSERT_NE(window, nullptr);
  auto other = space_->connect("other");
  ScriptedPrompter elsewhere{};
  const std::string inUse = "error: The current record is in use.  This process cannot complete.";
  EXPECT_EQ(PaymentApplicationWindow::openHeld({*other, opts, elsewhere, clock_, "OTHER"}, id),
            nullptr);
  ASSERT_EQ(elsewhere.transcript().size(), 1u);
  EXPECT_EQ(elsewhere.transcript().back(), inUse);
  EXPECT_EQ(PaymentApplicationWindow::openHeld({*practice_, opts, elsewhere, clock_, "CLERK"}, id),
            nullptr);
  EXPECT_EQ(elsewhere.transcript().back(), inUse);
  ASSERT_TRUE(window->choosePatient("DOEJA000"));
  window->setPayment(0, dollars(40));
  ASSERT_TRUE(window->save());
  window->close();
  EXPECT_EQ(stored("QVDEP", "Entry Number", id).money("Unapplied Amount"), dollars(60));
  auto again = PaymentApplicationWindow::openHeld({*other, opts, elsewhere, clock_, "OTHER"}, id);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->unapplied(), dollars(60));
  EXPECT_EQ(prompter.transcript(), std::vector<std::string>{});
}

// An insurance deposit's boxes offer the carrier's codes only (I, T, V), a patient's check the
// patient's; View So Far lists what the saves wrote from the deposit, List Only what is typed.
TEST_P(PaymentApplication, CodeBoxesFollowThePayorAndTheListsShowWhatIsTypedAndWritten) {
  charge("2026-11-01", "100");
  charge("2026-11-02", "60");
  const auto opts = options();
  ScriptedPrompter prompter{};
  auto window = open(deposit("MC", "100"), opts, prompter);
  const auto codes = [&](const PaymentApplicationWindow& shown, CodeBox box) {
    std::vector<std::string> found;
    for (const auto& code : shown.codeChoices(box)) found.push_back(code.text("Code 1"));
    return found;
  };
  EXPECT_EQ(codes(*window, CodeBox::Payment), std::vector<std::string>{"INS"});
  EXPECT_EQ(codes(*window, CodeBox::Adjustment), std::vector<std::string>{"WO"});
  EXPECT_EQ(codes(*window, CodeBox::TakeBack), std::vector<std::string>{"TAKE"});
  EXPECT_EQ(codes(*window, CodeBox::Deductible),
            (std::vector<std::string>{"CHECK", "DED", "INS", "TAKE", "WO"}));
  insert("QVDEP", {{"Deposit Date", "2026-12-04"},
                   {"Payor Type", "Patient"},
                   {"Payment Method", "Check"},
                   {"Chart Number", "DOEJA000"},
                   {"Payment Amount", "10"},
                   {"Unapplied Amount", "10"}});
  auto patient = open(count("SELECT MAX(\"Entry Number\") FROM \"QVDEP\""), opts, prompter);
  EXPECT_EQ(codes(*patient, CodeBox::Payment), std::vector<std::string>{"CHECK"});
  EXPECT_EQ(codes(*patient, CodeBox::Adjustment), std::vector<std::string>{});

  window->setPayment(1, dollars(25));
  window->setAdjustment(1, dollars(5));
  ASSERT_EQ(window->entriesSoFar().size(), 1u);
  EXPECT_EQ(window->entriesSoFar()[0]->charge.money("Amount"), dollars(60));
  EXPECT_TRUE(window->postedSoFar().empty());
  ASSERT_TRUE(window->save());
  EXPECT_TRUE(window->entriesSoFar().empty());
  std::vector<std::string> posted;
  for (const auto& line : window->postedSoFar())
    posted.push_back(line.text("Procedure Code") + " " + line.money("Amount").toString());
  EXPECT_EQ(posted, (std::vector<std::string>{"INS -25.00", "WO -5.00"}));
  EXPECT_TRUE(patient->postedSoFar().empty());
}

// With Bill Remaining Insurances Now, a claim whose primary finished and whose paper secondary
// is ready goes to claim printing for slot 2; a paper secondary not yet ready does not.
TEST_P(PaymentApplication, BillRemainingInsurancesNowPrintsTheDueSecondaryClaims) {
  struct Printed final : claims::ClaimPrinting {
    bool print(const std::vector<std::int64_t>& claimNumbers, int slot) override {
      for (const auto number : claimNumbers) runs.push_back({number, slot});
      return true;
    }
    std::vector<std::pair<std::int64_t, int>> runs;
  } printing;
  std::vector<std::int64_t> numbers;
  for (const char* secondaryStatus : {"1", "0"}) {
    insert("QVCLA", {{"Chart Number", "DOEJA000"},
                     {"Case Number", std::to_string(caseNumber_)},
                     {"Insurance Carrier 1", "MC"},
                     {"Insurance Carrier 2", "BC"},
                     {"Claim Status 1", "2"},
                     {"Claim Status 2", secondaryStatus},
                     {"Secondary Billing Method", "P"}});
    numbers.push_back(count("SELECT MAX(\"Claim Number\") FROM \"QVCLA\""));
    charge("2026-11-01", "100", {{"Claim Number", std::to_string(numbers.back())}});
  }
  const auto opts = options({{"Mark Completed Claims Done", "T"}});
  ScriptedPrompter prompter{};
  auto window = std::make_unique<PaymentApplicationWindow>(
      PaymentApplicationWindow::Surroundings{*practice_, opts, prompter, clock_, "CLERK", nullptr,
                                             nullptr, &printing},
      deposit("MC", "200"));
  ASSERT_TRUE(window->choosePatient("DOEJA000"));
  window->setChoices({true, false, false, false});
  for (std::size_t row = 0; row < 2; ++row) {
    window->setPayment(row, dollars(80));
    window->setComplete(row, true);
  }
  ASSERT_TRUE(window->save());
  EXPECT_EQ(printing.runs, (std::vector<std::pair<std::int64_t, int>>{{numbers[0], 2}}));
  ASSERT_EQ(window->dueClaims().size(), 1u);
  EXPECT_EQ(window->dueClaims()[0].claim, numbers[0]);
  EXPECT_EQ(prompter.transcript(), std::vector<std::string>{});
}

// Print Statement Now: what the patient still owes after the insurance paid
// goes on a new statement, which is printed; when nothing new is left for
// one, the person is asked before the latest one is printed again.
TEST_P(PaymentApplication, PrintStatementNowPrintsTheNewStatementOrOnAskingTheLatest) {
  struct Printed final : statements::StatementPrinting {
    bool print(std::int64_t statement) override {
      printed.push_back(statement);
      return true;
    }
    std::vector<std::int64_t> printed;
  } printing;
  // As the case window makes it: the patient is his own guarantor and gets statements.
  practice_->driver().execute(
      "UPDATE \"QVCAS\" SET \"Guarantor\" = ?, \"Print Patient Statements\" = ?",
      {store::Value{std::string("DOEJA000")}, store::Value{true}});
  const auto visit = charge("2026-11-01", "100");
  ui::MemorySettings settings;
  const auto opts = options();
  // The first statement of the practice asks about zero totals (Yes); then No, then Yes.
  ScriptedPrompter prompter{true, false, true};
  const auto deposited = deposit("MC", "200");
  const auto post = [&](std::int64_t cents) {
    PaymentApplicationWindow window(
        {*practice_, opts, prompter, clock_, "CLERK", &settings, nullptr, nullptr, &printing},
        deposited);
    EXPECT_TRUE(window.choosePatient("DOEJA000"));
    window.setChoices({false, true, false, false});
    window.setPayment(0, Money::fromCents(cents));
    EXPECT_TRUE(window.save());
  };

  post(8000);
  ASSERT_EQ(printing.printed.size(), 1u);
  const auto statement = printing.printed[0];
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVSTA\" WHERE \"Chart Number\" = 'DOEJA000' AND "
                  "\"Statement Type\" = 'S' AND \"Status\" = '1'"),
            1);
  // Only the charge is on it, with 100 - 80 left to pay.
  const std::string onIt =
      " FROM \"QVTRN\" WHERE \"Statement Number\" = " + std::to_string(statement);
  EXPECT_EQ(count("SELECT \"Entry Number\"" + onIt), visit);
  EXPECT_EQ(count("SELECT COUNT(*)" + onIt), 1);
  EXPECT_EQ(count("SELECT CAST(ROUND((\"Amount\" + \"Insurance 1 Amount Paid\") * 100) AS "
                  "INTEGER)" +
                  onIt),
            2000);
  const std::string zeroTotals =
      "ask: Do you only want to create statements that have a statement total greater than zero?";
  EXPECT_EQ(prompter.transcript(), std::vector<std::string>{zeroTotals});

  // Nothing new: No prints nothing, Yes prints the same statement again.
  const std::string question =
      "ask: No new statements were created.\rDo you want to print the last created statement "
      "for this patient?";
  post(500);
  EXPECT_EQ(printing.printed.size(), 1u);
  post(500);
  EXPECT_EQ(printing.printed, (std::vector<std::int64_t>{statement, statement}));
  EXPECT_EQ(prompter.transcript(), (std::vector<std::string>{zeroTotals, question, question}));
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVSTA\""), 1);
}

// Documentation: the charge's note is shown as stored until the clerk changes it;
// a kind outside the code set is refused, the text keeps 255 characters, and the
// save writes the note to the charge it belongs to only.
TEST_P(PaymentApplication, DocumentationChangedInTheWindowIsWrittenToItsCharge) {
  const auto noted =
      charge("2026-11-01", "100", {{"Documentation Type", "S"}, {"Documentation", "Call first"}});
  const auto other =
      charge("2026-11-02", "40", {{"Documentation Type", "T"}, {"Documentation", "Kept"}});
  const auto opts = options();
  ScriptedPrompter prompter{};
  auto window = open(deposit("MC", "100"), opts, prompter);
  ASSERT_EQ(window->rows().size(), 2u);
  EXPECT_EQ(window->documentation(0), (ChargeDocumentation{"S", "Call first"}));
  EXPECT_FALSE(window->setDocumentation(0, {"Q", "not a kind"}));
  EXPECT_FALSE(window->setDocumentation(0, {"", "no kind"}));
  EXPECT_EQ(window->documentation(0), (ChargeDocumentation{"S", "Call first"}));
  const std::string longNote = std::string(250, 'x') + "abcdefghij";
  ASSERT_TRUE(window->setDocumentation(0, {"b", longNote}));
  EXPECT_EQ(window->documentation(0), (ChargeDocumentation{"B", std::string(250, 'x') + "abcde"}));
  // Put back as stored, the other charge has nothing to save.
  ASSERT_TRUE(window->setDocumentation(1, {"C", "changed"}));
  ASSERT_TRUE(window->setDocumentation(1, {"T", "Kept"}));
  EXPECT_EQ(window->entriesSoFar().size(), 1u);
  window->setPayment(0, dollars(60));
  ASSERT_TRUE(window->save());
  const store::Record saved = stored("QVTRN", "Entry Number", noted);
  EXPECT_EQ(saved.text("Documentation Type"), "B");
  EXPECT_EQ(saved.text("Documentation"), std::string(250, 'x') + "abcde");
  EXPECT_EQ(remainder(saved), dollars(40));
  EXPECT_EQ(stored("QVTRN", "Entry Number", other).text("Documentation"), "Kept");
  EXPECT_EQ(window->documentation(0), (ChargeDocumentation{"B", std::string(250, 'x') + "abcde"}));
}

VANTRELL_ON_BOTH_ENGINES(PaymentApplication);

}  // namespace
}  // namespace vantrell::deposits
