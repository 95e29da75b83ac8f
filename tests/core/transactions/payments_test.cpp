#include <fmt/format.h>
#include <gtest/gtest.h>

#include "practice/options.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/money_printing.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"
#include "transactions/balances.hpp"
#include "transactions/recalculation.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::transactions {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;
using Fields = vantrell::testing::FieldTexts;

Money money(const char* text) {
  return *Money::parse(text);
}

class Payments : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    options_ = vantrell::testing::newPracticeOptions(*practice_);
    vantrell::testing::insertPaymentPractice(*practice_);
    insert("QVPRO", {{"Code 1", "NOTE"}, {"Type", "Z"}});
    insert("QVCAS", {{"Chart Number", "DOEJA000"},
                     {"Description", "Knee"},
                     {"Assigned Provider", "DR1"},
                     {"Insurance Carrier #1", "MC"},
                     {"Insurance Carrier #2", "BC"},
                     {"Diagnosis 1", "R05"},
                     {"Price Code", "A"},
                     {"Percent Covered A #1", "80"},
                     {"Percent Covered A #2", "80"}});
    caseNumber_ = std::get<std::int64_t>(
        practice_->executeSql("SELECT MAX(\"Case Number\") FROM \"QVCAS\"").rows[0][0]);
  }
  void insert(const char* table, const Fields& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  TransactionEntryWindow::Surroundings surroundings(ui::Prompter& prompter) {
    return {
        *practice_,          options_, prompter, clock_, nullptr, [this] { return clock_.today(); },
        Ledger::Transactions};
  }
  std::unique_ptr<TransactionEntryWindow> openCase(ui::Prompter& prompter) {
    auto window = std::make_unique<TransactionEntryWindow>(surroundings(prompter));
    EXPECT_TRUE(window->chooseChart("DOEJA000") && window->chooseCase(caseNumber_));
    return window;
  }
  std::size_t charge(TransactionEntryWindow& window, const char* code) {
    const std::size_t index = window.newCharge();
    EXPECT_TRUE(window.setChargeField(index, "Procedure Code", code));
    window.postCharge(index);
    return index;
  }
  std::size_t payment(TransactionEntryWindow& window, const char* code, const char* amount,
                      const char* payer = nullptr) {
    const std::size_t index = window.newPayment();
    EXPECT_TRUE(window.setPaymentField(index, "Procedure Code", code));
    EXPECT_TRUE(window.setPaymentField(index, "Amount", amount));
    if (payer != nullptr) {
      EXPECT_TRUE(window.setPaymentField(index, "Who Paid", payer));
    }
    window.postPayment(index);
    return index;
  }
  // Applies to the charge at the index of the dialog's rows.
  void apply(TransactionEntryWindow& window, std::size_t paymentIndex, std::size_t row,
             const char* amount, bool complete = false) {
    auto dialog = window.applyDialog(paymentIndex);
    ASSERT_TRUE(dialog);
    dialog->setThisPayment(row, money(amount));
    if (complete) dialog->setComplete(row, true);
    window.closeApplyDialog(paymentIndex, *dialog);
  }
  // Every stored total agrees with the application rows.
  void expectInvariants(const std::string& when) {
    ui::SilentProgress progress;
    const auto report = recalculatePractice(*practice_, std::nullopt, progress);
    EXPECT_EQ(report.chargesChanged, 0) << when;
    EXPECT_EQ(report.paymentsChanged, 0) << when;
    EXPECT_EQ(report.patientsChanged, 0) << when;
  }

  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  practice::Options options_;
  std::unique_ptr<store::Connection> practice_;
  std::int64_t caseNumber_ = 0;
};

TEST_P(Payments, SignsFollowTheCodeAndTheUnappliedAmountFollowsTheAmount) {
  ScriptedPrompter prompter{};
  auto window = openCase(prompter);
  const std::size_t check = payment(*window, "CHECK", "100");
  const store::Record& row = window->payments()[check].row;
  EXPECT_EQ(row.money("Amount"), money("-100"));
  EXPECT_EQ(row.money("Unapplied Amount"), money("-100"));
  EXPECT_EQ(row.text("Who Paid"), "G");
  ASSERT_TRUE(window->setPaymentField(check, "Amount", "80"));
  EXPECT_EQ(row.money("Amount"), money("-80"));
  EXPECT_EQ(row.money("Unapplied Amount"), money("-80"));
  EXPECT_EQ(window->payments()[payment(*window, "TAKE", "-25")].row.money("Amount"), money("25"));
  EXPECT_EQ(window->payments()[payment(*window, "WO", "15")].row.money("Amount"), money("-15"));
  const std::size_t deductible = payment(*window, "DED", "50", "1");
  EXPECT_EQ(window->payments()[deductible].row.money("Amount"), Money{});
  EXPECT_EQ(window->payments()[deductible].row.money("Unapplied Amount"), Money{});
  EXPECT_EQ(window->payments()[payment(*window, "INS", "10")].row.text("Who Paid"), "1");
  EXPECT_FALSE(window->setPaymentField(check, "Who Paid", "X"));
  EXPECT_FALSE(window->setPaymentField(check, "Procedure Code", "VISIT"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: Procedure VISIT does not exist as a payment or adjustment.");
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  // The save made a deposit for the check.
  const auto deposits = practice_->executeSql(
      "SELECT \"Payment Amount\", \"Payment Method\", \"Copay\", \"Payor Name\" FROM \"QVDEP\" "
      "ORDER BY \"Entry Number\"");
  ASSERT_EQ(deposits.rows.size(), 2u);  // the check and the insurance payment
  EXPECT_EQ(store::valueToText(deposits.rows[0][0]), "80");
  EXPECT_EQ(store::valueToText(deposits.rows[0][1]), "Check");
  EXPECT_EQ(store::valueToText(deposits.rows[1][3]), "Medicare");
  expectInvariants("after the first save");
}

TEST_P(Payments, ApplyingPaysTheChargesAndApplyToOldestGoesInDateOrder) {
  ScriptedPrompter prompter{};
  auto window = openCase(prompter);
  const std::size_t older = charge(*window, "VISIT");
  ASSERT_TRUE(window->setChargeField(older, "Date From", "12/01/2026"));
  ASSERT_TRUE(window->setChargeField(older, "Date To", "12/01/2026"));
  charge(*window, "XRAY");
  const std::size_t check = payment(*window, "CHECK", "150");
  auto dialog = window->applyDialog(check);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->title(), "Apply Payment to Charges");
  EXPECT_EQ(dialog->caption(), "Payment From: Jane Doe");
  EXPECT_EQ(dialog->countText(), "There are 2 charge entries.");
  EXPECT_TRUE(dialog->applyToOldestShown());
  dialog->applyToOldest();
  EXPECT_EQ(prompter.transcript().back(), "inform: This Payment has been fully applied.");
  EXPECT_EQ(dialog->rows()[0].thisPayment, money("-100"));
  EXPECT_EQ(dialog->rows()[1].thisPayment, money("-50"));
  EXPECT_EQ(dialog->remainder(), Money{});
  dialog->applyToOldest();
  EXPECT_EQ(prompter.transcript().back(), "inform: Unapplied amount is $0.00.  No payments added.");
  window->closeApplyDialog(check, *dialog);
  EXPECT_EQ(window->charges()[older].row.money("Guarantor Amount Paid"), money("-100"));
  EXPECT_EQ(remainderOf(window->charges()[older].row), Money{});
  EXPECT_TRUE(window->charges()[older].row.logical("Guarantor Paid"));
  EXPECT_EQ(window->payments()[check].row.money("Unapplied Amount"), Money{});
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  EXPECT_EQ(
      std::get<std::int64_t>(practice_->executeSql("SELECT COUNT(*) FROM \"QVPAX\"").rows[0][0]),
      2);
  expectInvariants("after applying to the oldest");

  // Over-application is told, not refused.
  const std::size_t more = payment(*window, "CHECK", "10");
  auto second = window->applyDialog(more);
  ASSERT_TRUE(second);
  second->setThisPayment(1, money("25"));
  EXPECT_EQ(second->rows()[1].thisPayment, money("-25"));
  EXPECT_EQ(prompter.transcript().back(),
            "warn: The applied amount exceeds the total amount for this payment.");
}

TEST_P(Payments, ThePrimaryPaymentAndTheWriteOffLeaveNothingAndTheEstimatesFollow) {
  ScriptedPrompter prompter{true};
  auto window = openCase(prompter);
  const std::size_t visit = charge(*window, "VISIT");
  ASSERT_TRUE(window->setChargeField(visit, "Allowed Amount", "80"));
  ASSERT_TRUE(window->save());
  Estimates estimates = window->estimates();
  EXPECT_EQ(estimates.insuranceDue[0], money("-64"));
  EXPECT_EQ(estimates.insuranceDue[1], money("-12.8"));  // the secondary's 80% of what is left
  EXPECT_EQ(estimates.guarantorDue, money("3.2"));
  EXPECT_EQ(estimates.estimatedAdjustment, money("20"));

  const std::size_t primary = payment(*window, "INS", "60");
  apply(*window, primary, 0, "60", true);
  const std::size_t writeOff = payment(*window, "WO", "40");
  apply(*window, writeOff, 0, "40");
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  const store::Record& row = window->charges()[0].row;
  EXPECT_EQ(row.money("Insurance 1 Amount Paid"), money("-60"));
  EXPECT_EQ(row.money("Adjustment Amount"), money("-40"));
  EXPECT_TRUE(row.logical("Insurance 1 Paid"));
  EXPECT_EQ(remainderOf(row), Money{});
  for (const auto& line : window->payments()) {
    EXPECT_EQ(line.row.money("Unapplied Amount"), Money{});
  }
  EXPECT_EQ(window->accountBalance(), Money{});
  expectInvariants("after payment and write-off");

  // The payer changed from primary to secondary moves the applied amount.
  ASSERT_TRUE(window->setPaymentField(0, "Who Paid", "2"));
  ASSERT_TRUE(window->postPayment(0));
  EXPECT_EQ(prompter.transcript().back(),
            "ask: Changing the payment type or the who paid will affect any charges that this "
            "payment is applied "
            "to.\rDo you want to continue?");
  EXPECT_EQ(window->charges()[0].row.money("Insurance 1 Amount Paid"), Money{});
  EXPECT_EQ(window->charges()[0].row.money("Insurance 2 Amount Paid"), money("-60"));
  ASSERT_TRUE(window->save());
  // No primary application is left, so the primary is no longer marked paid.
  EXPECT_FALSE(window->charges()[0].row.logical("Insurance 1 Paid"));
  expectInvariants("after the payer change");
}

TEST_P(Payments, DeletingAGuarantorPaymentUndoesItAndTellsTheDeposit) {
  ScriptedPrompter prompter{true};
  auto window = openCase(prompter);
  charge(*window, "VISIT");
  charge(*window, "XRAY");
  const std::size_t check = payment(*window, "CHECK", "130");
  apply(*window, check, 0, "100");
  apply(*window, check, 1, "30");
  ASSERT_TRUE(window->save());
  EXPECT_TRUE(window->charges()[0].row.logical("Guarantor Paid"));
  EXPECT_FALSE(window->charges()[1].row.logical("Guarantor Paid"));
  ASSERT_TRUE(window->deletePayment(0));
  EXPECT_EQ(window->charges()[0].row.money("Guarantor Amount Paid"), Money{});
  EXPECT_FALSE(window->charges()[0].row.logical("Guarantor Paid"));
  ASSERT_TRUE(window->save());
  EXPECT_EQ(prompter.transcript().back(),
            "inform: The deposit (12/05/2026\rfor the amount of $130.00) associated with the "
            "deleted payment\rhas had "
            "its unapplied amount adjusted by $130.00.\rThe new unapplied amount is: $130.00");
  EXPECT_EQ(
      std::get<std::int64_t>(practice_->executeSql("SELECT COUNT(*) FROM \"QVPAX\"").rows[0][0]),
      0);
  expectInvariants("after deleting the payment");
}

TEST_P(Payments, OpeningTheApplyDialogTiesNothingAndLongDescriptionsAreCut) {
  practice_->executeSql(
      "UPDATE \"QVDIA\" SET \"Description\" = ?",
      {store::Value{std::string("Urinary tract infection, site not specified, recurrent")}});
  ScriptedPrompter prompter{};
  auto window = openCase(prompter);
  charge(*window, "VISIT");
  EXPECT_EQ(window->charges()[0].row.text("Diagnosis 1 Description"),
            "Urinary tract infection, site not specif");
  charge(*window, "XRAY");
  const std::size_t primary = payment(*window, "INS", "100");
  apply(*window, primary, 0, "100", true);
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  // A second insurance payment opened and closed untouched: the charge the
  // primary already settled gets no row of it.
  const std::size_t second = payment(*window, "INS", "20");
  auto dialog = window->applyDialog(second);
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(dialog->rows()[0].complete);
  window->closeApplyDialog(second, *dialog);
  ASSERT_TRUE(window->save());
  EXPECT_EQ(
      std::get<std::int64_t>(practice_->executeSql("SELECT COUNT(*) FROM \"QVPAX\"").rows[0][0]),
      1);
  // A deductible is applied without being told it exceeds its (empty) amount.
  const std::size_t deductible = payment(*window, "DED", "0", "1");
  auto deducted = window->applyDialog(deductible);
  ASSERT_TRUE(deducted);
  const auto said = prompter.transcript().size();
  deducted->setThisPayment(1, money("50"));
  EXPECT_EQ(prompter.transcript().size(), said);
  EXPECT_EQ(deducted->rows()[1].balance, money("80"));  // a deductible fills no bucket
  window->closeApplyDialog(deductible, *deducted);
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  expectInvariants("after the deductible");
}

// A case with one carrier at 80 percent, as the deductible example has it.
std::int64_t primaryOnlyCase(store::Connection& practice) {
  vantrell::testing::insertRow(practice, "QVCAS",
                               {{"Chart Number", "DOEJA000"},
                                {"Description", "Deductible"},
                                {"Assigned Provider", "DR1"},
                                {"Insurance Carrier #1", "MC"},
                                {"Diagnosis 1", "R05"},
                                {"Price Code", "A"},
                                {"Percent Covered A #1", "80"}});
  return vantrell::testing::singleNumber(practice, "SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
}

TEST_P(Payments, ADeductibleMarkedCompleteKeepsThePaidMarkThroughTheSave) {
  caseNumber_ = primaryOnlyCase(*practice_);
  ScriptedPrompter prompter{true};
  auto window = openCase(prompter);
  charge(*window, "VISIT");
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  // Before anything is paid: 80.00 expected from the carrier, 20.00 from the guarantor.
  EXPECT_EQ(window->estimates().insuranceDue[0], money("-80"));
  const std::size_t deductible = payment(*window, "DED", "0", "1");
  apply(*window, deductible, 0, "100", true);
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  // The window reloads the lines as stored.
  const store::Record& stored = window->charges()[0].row;
  EXPECT_TRUE(stored.logical("Insurance 1 Paid"));
  EXPECT_EQ(stored.money("Insurance 1 Amount Paid"), Money{});  // a deductible fills no bucket
  // The carrier owes nothing more; the whole charge falls to the guarantor.
  const Estimates estimates = window->estimates();
  EXPECT_EQ(estimates.insuranceDue[0], Money{});
  EXPECT_EQ(estimates.guarantorDue, money("100"));
  // Saved again (a forced full save), the mark still follows the deductible.
  ASSERT_TRUE(window->save(true));
  EXPECT_TRUE(window->charges()[0].row.logical("Insurance 1 Paid"));
  expectInvariants("after the deductible marked complete");
}

TEST_P(Payments, ApplyToOldestNeverAppliesMoreThanIsLeftOfThePayment) {
  insert("QVPRO", {{"Code 1", "SHORT"}, {"Type", "A"}, {"Amount A", "40"}});
  ScriptedPrompter prompter{true};
  auto window = openCase(prompter);
  const std::size_t older = charge(*window, "SHORT");
  ASSERT_TRUE(window->setChargeField(older, "Date From", "12/01/2026"));
  ASSERT_TRUE(window->setChargeField(older, "Date To", "12/01/2026"));
  charge(*window, "VISIT");
  const std::size_t check = payment(*window, "CHECK", "35");
  auto dialog = window->applyDialog(check);
  ASSERT_TRUE(dialog);
  dialog->setThisPayment(0, money("30"));
  dialog->applyToOldest();
  // 5.00 was left: it goes to the oldest charge, which still owes 10.00.
  EXPECT_EQ(dialog->rows()[0].thisPayment, money("-35"));
  EXPECT_EQ(dialog->rows()[1].thisPayment, Money{});
  EXPECT_EQ(dialog->remainder(), Money{});
  EXPECT_EQ(prompter.transcript().back(), "inform: This Payment has been fully applied.");
  window->closeApplyDialog(check, *dialog);
  EXPECT_EQ(window->payments()[check].row.money("Unapplied Amount"), Money{});
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  EXPECT_EQ(window->charges()[0].row.money("Guarantor Amount Paid"), money("-35"));
  EXPECT_EQ(window->charges()[1].row.money("Guarantor Amount Paid"), Money{});
  EXPECT_EQ(window->payments()[0].row.money("Unapplied Amount"), Money{});

  // More than the charges owe: each charge is paid off and the rest stays unapplied.
  const std::size_t large = payment(*window, "CHECK", "120");
  auto second = window->applyDialog(large);
  ASSERT_TRUE(second);
  second->applyToOldest();
  EXPECT_EQ(second->rows()[0].thisPayment, money("-5"));
  EXPECT_EQ(second->rows()[1].thisPayment, money("-100"));
  EXPECT_EQ(second->remainder(), money("-15"));
  EXPECT_EQ(prompter.transcript().back(),
            "inform: All displayed charges have a remainder of $0.00\rThis deposit has $-15.00 "
            "left unapplied.");

  // Only a guarantor payment is applied to the oldest charges.
  const std::size_t insurance = payment(*window, "INS", "50");
  auto third = window->applyDialog(insurance);
  ASSERT_TRUE(third);
  EXPECT_FALSE(third->applyToOldestShown());
  const auto said = prompter.transcript().size();
  third->applyToOldest();
  EXPECT_EQ(prompter.transcript().size(), said);
  for (const auto& row : third->rows()) EXPECT_EQ(row.thisPayment, Money{});
}

TEST_P(Payments, ASaveWhileAnotherDeskHoldsTheCaseWritesNothing) {
  ScriptedPrompter prompter{true};
  auto window = openCase(prompter);
  charge(*window, "VISIT");
  auto other = space_->connect("frontdesk");
  store::Table cases = other->openTable("QVCAS");
  cases.setOrder("Primary");
  auto held = cases.seek({store::Value{std::string("DOEJA000")}, store::Value{caseNumber_}});
  ASSERT_TRUE(held);
  cases.edit(*held);
  ASSERT_FALSE(window->save());
  EXPECT_NE(prompter.transcript().back().find("in use"), std::string::npos)
      << prompter.transcript().back();
  EXPECT_EQ(vantrell::testing::singleNumber(*practice_, "SELECT COUNT(*) FROM \"QVTRN\""), 0);
  const auto counterOf = [&] {
    return store::valueToText(
        practice_
            ->executeSql("SELECT \"Visit Series Counter\" FROM \"QVCAS\" WHERE \"Case "
                         "Number\" = ?",
                         {store::Value{caseNumber_}})
            .rows.at(0)
            .at(0));
  };
  EXPECT_TRUE(counterOf() == "0" || counterOf().empty()) << counterOf();
  // The other desk moves the counter on and lets the case go: the save counts from there.
  held->set("Visit Series Counter", 4.0);
  cases.post(*held);
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  EXPECT_EQ(counterOf(), "5");
  EXPECT_EQ(window->charges()[0].row.number("Visit Number"), 5.0);
}

TEST_P(Payments, APaymentWithAHalfCentIsRoundedBeforeItsDepositIsMade) {
  // A code priced before amounts were checked to the cent.
  insert("QVPRO", {{"Code 1", "ODD"}, {"Type", "K"}});
  practice_->executeSql("UPDATE \"QVPRO\" SET \"Amount A\" = ? WHERE \"Code 1\" = 'ODD'",
                        {store::Value{10.125}});
  ScriptedPrompter prompter{true};
  auto window = openCase(prompter);
  const std::size_t check = window->newPayment();
  ASSERT_TRUE(window->setPaymentField(check, "Procedure Code", "ODD"));
  window->postPayment(check);
  ASSERT_TRUE(window->save()) << prompter.transcript().back();
  EXPECT_EQ(window->payments()[0].row.money("Amount"), money("-10.12"));
  EXPECT_EQ(window->payments()[0].row.money("Unapplied Amount"), money("-10.12"));
  const auto deposit = practice_->executeSql("SELECT \"Payment Amount\" FROM \"QVDEP\"");
  ASSERT_EQ(deposit.rows.size(), 1u);
  EXPECT_EQ(store::valueToText(deposit.rows[0][0]), "10.12");
}

TEST_P(Payments, AmountsAreTypedToTheCentWithinRangeOrRefusedNamingValueAndField) {
  ScriptedPrompter prompter{true};
  auto window = openCase(prompter);
  const std::size_t visit = charge(*window, "VISIT");
  const struct {
    const char* field;
    const char* typed;
  } refusedOnCharges[] = {{"Amount", "1.234"},          {"Amount", "0.005"},
                          {"Amount", "1,2,3"},          {"Amount", "1e300"},
                          {"Allowed Amount", "12.345"}, {"Unit Amount", "2.00005"},
                          {"Unit Amount", "1,2,3"}};
  for (const auto& row : refusedOnCharges) {
    EXPECT_FALSE(window->setChargeField(visit, row.field, row.typed)) << row.typed;
    const std::string said = prompter.transcript().empty() ? "" : prompter.transcript().back();
    EXPECT_NE(said.find(std::string("\"") + row.typed + "\""), std::string::npos) << said;
    EXPECT_NE(said.find(row.field), std::string::npos) << said;
  }
  EXPECT_EQ(window->charges()[visit].row.money("Amount"), money("100"));
  ASSERT_TRUE(window->setChargeField(visit, "Amount", "1,234.50"));
  EXPECT_EQ(window->charges()[visit].row.money("Amount"), money("1234.50"));

  const std::size_t check = payment(*window, "CHECK", "10");
  for (const char* typed : {"10.125", "1,2,3", "7.0001"}) {
    EXPECT_FALSE(window->setPaymentField(check, "Amount", typed)) << typed;
    ASSERT_FALSE(prompter.transcript().empty());
    EXPECT_NE(prompter.transcript().back().find(std::string("\"") + typed + "\""),
              std::string::npos);
  }
  EXPECT_EQ(window->payments()[check].row.money("Amount"), money("-10"));
  // The paid totals and the unapplied amount are the program's to keep.
  EXPECT_FALSE(window->setChargeField(visit, "Insurance 1 Amount Paid", "-5"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: The field \"Insurance 1 Amount Paid\" is kept by the program and cannot be "
            "set.");
  EXPECT_FALSE(window->setPaymentField(check, "Unapplied Amount", "0"));
  EXPECT_FALSE(window->setChargeField(visit, "Date Created", "2020-01-01"));

  // A price on a code, and a case's amounts, refuse the same way; counts and
  // rates keep their decimals.
  store::Table codes = practice_->openTable("QVPRO");
  store::Record code = codes.newRecord();
  for (const auto& [field, typed] : std::vector<std::pair<const char*, const char*>>{
           {"Amount A", "1e300"}, {"Amount B", "0.005"}, {"Amount C", "1,2,3"}}) {
    try {
      code.setFromText(field, typed);
      ADD_FAILURE() << field << " took " << typed;
    } catch (const store::InputError& error) {
      EXPECT_NE(std::string(error.what()).find(typed), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find(field), std::string::npos) << error.what();
    }
  }
  code.setFromText("Tax Rate", "8.125");
  EXPECT_DOUBLE_EQ(code.number("Tax Rate"), 8.125);
  store::Table cases = practice_->openTable("QVCAS");
  store::Record caseRow = cases.newRecord();
  EXPECT_THROW(caseRow.setFromText("Copayment Amount", "20.001"), store::InputError);
  EXPECT_THROW(caseRow.setFromText("Annual Deductible", "1e16"), store::InputError);
  caseRow.setFromText("Copayment Amount", "20.50");
}

// The patient record's last payments: the latest the patient paid, and the
// latest of any payer; a deductible, a charge and another chart's payment are
// neither.
TEST_P(Payments, TheLastPaymentsAreThePatientsLatestAndAnyPayersLatest) {
  const auto line = [&](const char* chart, const char* type, const char* date, const char* amount) {
    insert("QVTRN", {{"Chart Number", chart},
                     {"Transaction Type", type},
                     {"Date From", date},
                     {"Amount", amount}});
  };
  line("DOEJA000", "M", "11/20/2026", "-30");
  line("DOEJA000", "N", "12/01/2026", "-20");
  line("DOEJA000", "I", "12/04/2026", "-70");
  line("DOEJA000", "A", "12/05/2026", "100");
  line("DOEJA000", "P", "12/06/2026", "0");
  line("ROEJO000", "M", "12/07/2026", "-5");
  store::Table patients = practice_->openTable("QVPAT");
  patients.setOrder("Primary");
  auto patient = patients.seek({store::Value{std::string("DOEJA000")}});
  ASSERT_TRUE(patient.has_value());
  setLastPayments(*practice_, *patient);
  EXPECT_EQ(patient->date("Last Patient Payment Date"), Date::fromYmd(2026, 12, 1));
  EXPECT_EQ(patient->money("Last Patient Payment Amount"), money("-20"));
  EXPECT_EQ(patient->date("Date of Last Payment"), Date::fromYmd(2026, 12, 4));
  EXPECT_EQ(patient->money("Last Payment Amount"), money("-70"));
}

VANTRELL_ON_BOTH_ENGINES(Payments);

}  // namespace
}  // namespace vantrell::transactions
