#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deposit_fixture.hpp"
#include "deposits/payment_application.hpp"
#include "security/login_window.hpp"
#include "security/user_accounts.hpp"
#include "store/errors.hpp"
#include "transactions/recalculation.hpp"
#include "ui/clock.hpp"

namespace vantrell::deposits {
namespace {

class DepositWindowOnEngine : public DepositPractice {};

const char* const deleteQuestion =
    "ask: Are you sure you want to delete this record?\n\nNote: Deleting this deposit item will "
    "not\nremove any related applied payments.";

TEST_P(DepositWindowOnEngine, UnappliedAmountMovesWithThePaymentAmountAndEditsAreAudited) {
  ScriptedPrompter prompter{};
  auto window = DepositWindow::openNew(surroundings(prompter));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->title(), "Deposit: (new)");
  ASSERT_TRUE(window->setField("Payor Type", "Insurance"));
  ASSERT_TRUE(window->setField("Insurance Code", "MC"));
  EXPECT_EQ(window->deposit().text("Payor Name"), "Medicare");
  ASSERT_TRUE(window->setField("Payment Code", "INS"));
  ASSERT_TRUE(window->setField("Payment Amount", "100"));
  EXPECT_EQ(window->deposit().money("Unapplied Amount"), Money::fromCents(10000));
  ASSERT_TRUE(window->setField("Payment Amount", "120.00"));
  EXPECT_EQ(window->deposit().money("Unapplied Amount"), Money::fromCents(12000));
  ASSERT_TRUE(window->save());
  const std::int64_t entry = lastNumber("QVDEP", "Entry Number");
  EXPECT_EQ(window->title(), "Deposit: " + std::to_string(entry));
  window.reset();
  EXPECT_TRUE(auditComments().empty()) << "a new deposit is not an edit";

  // Payment application spent 30.00 of it meanwhile.
  {
    store::Table deposits = practice_->openTable("QVDEP");
    store::Record stored = depositOf(entry);
    stored.set("Unapplied Amount", 90.0);
    deposits.post(stored);
  }
  window = DepositWindow::openExisting(surroundings(prompter), entry);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->setField("Payment Amount", "110"));
  EXPECT_EQ(window->deposit().money("Unapplied Amount"), Money::fromCents(8000));
  ASSERT_TRUE(window->save());
  window.reset();
  const store::Record saved = depositOf(entry);
  EXPECT_EQ(saved.money("Payment Amount"), Money::fromCents(11000));
  EXPECT_EQ(saved.money("Unapplied Amount"), Money::fromCents(8000));
  const std::string number = std::to_string(entry);
  EXPECT_EQ(
      auditComments(),
      (std::vector<std::string>{
          "Edit Deposit: Entry: " + number + "  Payment Amount 120.00 was changed to 110.00",
          "Edit Deposit: Entry: " + number + "  Unapplied Amount 90.00 was changed to 80.00"}));
  EXPECT_TRUE(prompter.transcript().empty());

  // Saving again without a change of amount writes no audit entry.
  window = DepositWindow::openExisting(surroundings(prompter), entry);
  ASSERT_TRUE(window->setField("Description", "EOB 7"));
  ASSERT_TRUE(window->save());
  EXPECT_EQ(auditComments().size(), 2U);
}

TEST_P(DepositWindowOnEngine, PaymentCodeMustFitThePayorAndMethod) {
  struct Row {
    const char* name;
    const char* payorType;
    const char* method;
    const char* code;
    bool fits;
  };
  const std::vector<Row> rows = {
      {"cash paid with a check code", "Patient", "Cash", "CHECK", false},
      {"cash paid with a cash code", "Patient", "Cash", "CASH", true},
      {"cash paid with a cash copay code", "Patient", "Cash", "CCASH", true},
      {"check paid with a check code", "Patient", "Check", "CHECK", true},
      {"check paid with a card code", "Patient", "Check", "CARD", false},
      {"card paid with a card code", "Patient", "Credit Card", "CARD", true},
      {"patient paid with an insurance code", "Patient", "Check", "INS", false},
      {"insurance paid with an insurance code", "Insurance", "Check", "INS", true},
      {"insurance paid with a check code", "Insurance", "Check", "CHECK", false},
      {"a code that does not exist", "Patient", "Cash", "NOSUCH", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto before = count("SELECT COUNT(*) FROM \"QVDEP\"");
    ScriptedPrompter prompter{};
    auto window = DepositWindow::openNew(surroundings(prompter));
    ASSERT_TRUE(window->setField("Payor Type", row.payorType));
    ASSERT_TRUE(window->setField("Payment Method", row.method));
    ASSERT_TRUE(window->setField("Chart Number", "DOEJA000"));
    ASSERT_TRUE(window->setField("Insurance Code", "MC"));
    ASSERT_TRUE(window->setField("Payment Code", row.code));
    ASSERT_TRUE(window->setField("Payment Amount", "25"));
    EXPECT_EQ(window->save(), row.fits);
    EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVDEP\""), before + (row.fits ? 1 : 0));
    if (row.fits) {
      EXPECT_TRUE(prompter.transcript().empty());
      EXPECT_EQ(window->focus(), "");
    } else {
      EXPECT_EQ(prompter.transcript(),
                (std::vector<std::string>{
                    "error: The Payment code type does not match the Payment Method."}));
      EXPECT_EQ(window->focus(), "Payment Code");
    }
  }
}

TEST_P(DepositWindowOnEngine, MethodAndPayorTypeAreTakenInAnyCaseAndNothingElse) {
  ScriptedPrompter prompter{};
  auto window = DepositWindow::openNew(surroundings(prompter));
  ASSERT_TRUE(window->setField("Payor Type", "patient"));
  ASSERT_TRUE(window->setField("Payment Method", "CASH"));
  EXPECT_EQ(window->deposit().text("Payor Type"), "Patient");
  EXPECT_EQ(window->deposit().text("Payment Method"), "Cash");
  ASSERT_TRUE(window->setField("Chart Number", "DOEJA000"));
  ASSERT_TRUE(window->setField("Payment Code", "CHECK"));
  EXPECT_FALSE(window->save());
  EXPECT_FALSE(window->setField("Payment Method", "Wire"));
  EXPECT_FALSE(window->setField("Payor Type", "Bank"));
  EXPECT_EQ(window->deposit().text("Payment Method"), "Cash");
  EXPECT_EQ(window->deposit().text("Payor Type"), "Patient");
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: The Payment code type does not match the Payment Method.",
                "error: The payment method is one of Check, Cash, Credit Card or Electronic.",
                "error: The payor type is one of Patient, Insurance, Capitation or Attorney."}));
  ASSERT_TRUE(window->setField("Payor Type", "INSURANCE"));
  EXPECT_EQ(window->deposit().text("Payor Type"), "Insurance");
  // The grouping code is one letter or digit.
  ASSERT_TRUE(window->setField("Deposit Code", "b"));
  EXPECT_EQ(window->deposit().text("Deposit Code"), "B");
  ASSERT_TRUE(window->setField("Deposit Code", "7"));
  EXPECT_FALSE(window->setField("Deposit Code", "#"));
  EXPECT_EQ(window->deposit().text("Deposit Code"), "7");
  EXPECT_EQ(prompter.transcript().back(), "error: The deposit code is one letter or digit.");
  ASSERT_TRUE(window->setField("Deposit Code", ""));
}

TEST_P(DepositWindowOnEngine, ThePayorMustBeNamedForItsType) {
  struct Row {
    const char* payorType;
    const char* code;
    const char* field;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"Patient", "CHECK", "Chart Number", "error: You must fill in the payor chart number"},
      {"Insurance", "INS", "Insurance Code", "error: You must fill in the insurance code"},
      {"Capitation", "INS", "Insurance Code", "error: You must fill in the insurance code"},
      {"Attorney", "CHECK", "Attorney Code", "error: You must fill in the attorney code"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.payorType);
    ScriptedPrompter prompter{};
    auto window = DepositWindow::openNew(surroundings(prompter));
    ASSERT_TRUE(window->setField("Payor Type", row.payorType));
    ASSERT_TRUE(window->setField("Payment Code", row.code));
    ASSERT_TRUE(window->setField("Payment Amount", "10"));
    EXPECT_FALSE(window->save());
    EXPECT_EQ(prompter.transcript(), (std::vector<std::string>{row.message}));
    EXPECT_EQ(window->focus(), row.field);
    ASSERT_TRUE(
        window->setField(row.field, row.payorType == std::string("Patient") ? "DOEJA000" : "MC"));
    EXPECT_TRUE(window->save());
  }
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVDEP\""), 4);
}

TEST_P(DepositWindowOnEngine, NewDepositsStartFromTheOptionsAndAPatientsSaveIsHisLastPayment) {
  ScriptedPrompter prompter{};
  auto window = DepositWindow::openNew(surroundings(prompter));
  EXPECT_EQ(window->deposit().date("Deposit Date"), Date::fromYmd(2026, 12, 5));
  EXPECT_EQ(window->deposit().text("Payment Method"), "Check");
  EXPECT_EQ(window->deposit().text("Payment Code"), "CHECK");
  EXPECT_EQ(window->deposit().text("Adjustment Code"), "PWO");
  ASSERT_TRUE(window->setField("Payment Method", "Cash"));
  EXPECT_EQ(window->deposit().text("Payment Code"), "CASH");
  ASSERT_TRUE(window->setField("Payment Method", "Credit Card"));
  EXPECT_EQ(window->deposit().text("Payment Code"), "CARD");
  // A code the clerk chose stays when the method changes.
  ASSERT_TRUE(window->setField("Payment Code", "CCASH"));
  ASSERT_TRUE(window->setField("Payment Method", "Cash"));
  EXPECT_EQ(window->deposit().text("Payment Code"), "CCASH");

  std::vector<std::string> offered;
  for (const auto& code : window->codeChoices(CodeBox::Payment))
    offered.push_back(code.text("Code 1"));
  EXPECT_EQ(offered, (std::vector<std::string>{"CASH", "CCASH"}));
  offered.clear();
  for (const auto& code : window->codeChoices(CodeBox::Adjustment))
    offered.push_back(code.text("Code 1"));
  EXPECT_EQ(offered, (std::vector<std::string>{"PWO"}));

  ASSERT_TRUE(window->setField("Chart Number", "doeja000"));
  EXPECT_EQ(window->deposit().text("Payor Name"), "Jane Doe");
  ASSERT_TRUE(window->setField("Deposit Date", "12/03/2026"));
  ASSERT_TRUE(window->setField("Payment Amount", "45.5"));
  ASSERT_TRUE(window->save());
  store::Table patients = practice_->openTable("QVPAT");
  patients.setOrder("Primary");
  const auto patient = patients.seek({store::Value{std::string("DOEJA000")}});
  ASSERT_TRUE(patient.has_value());
  EXPECT_EQ(patient->date("Last Patient Payment Date"), Date::fromYmd(2026, 12, 3));
  EXPECT_EQ(patient->money("Last Patient Payment Amount"), Money::fromCents(4550));
  EXPECT_TRUE(prompter.transcript().empty());

  // With the patient's ledger open on another desk the deposit is still saved.
  {
    auto other = space_->connect("other");
    store::Table held = other->openTable("QVPAT");
    held.setOrder("Primary");
    auto row = held.seek({store::Value{std::string("DOEJA000")}});
    held.edit(*row);
    auto later = DepositWindow::openNew(surroundings(prompter));
    ASSERT_TRUE(later->setField("Chart Number", "DOEJA000"));
    ASSERT_TRUE(later->setField("Payment Amount", "12"));
    EXPECT_TRUE(later->save());
    EXPECT_FALSE(later->isNew());
    held.cancel(*row);
  }
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVDEP\""), 2);

  // An insurance deposit is nobody's patient payment.
  auto insurance = DepositWindow::openNew(surroundings(prompter));
  ASSERT_TRUE(insurance->setField("Payor Type", "Insurance"));
  ASSERT_TRUE(insurance->setField("Insurance Code", "MC"));
  ASSERT_TRUE(insurance->setField("Payor Name", "Medicare Part B"));
  ASSERT_TRUE(insurance->setField("Chart Number", "DOEJA000"));
  // A name typed first stays.
  EXPECT_EQ(insurance->deposit().text("Payor Name"), "Medicare Part B");
  ASSERT_TRUE(insurance->setField("Payment Code", "INS"));
  ASSERT_TRUE(insurance->setField("Payment Amount", "300"));
  ASSERT_TRUE(insurance->save());
  const auto after = patients.seek({store::Value{std::string("DOEJA000")}});
  EXPECT_EQ(after->money("Last Patient Payment Amount"), Money::fromCents(4550));
}

TEST_P(DepositWindowOnEngine, APatientsDepositStaysHisLastPaymentThroughARecalculation) {
  // His ledger's last payment of his own: 20.00 by check on 11/20; the
  // deposit of 12/03 comes after it.
  insert("QVTRN", {{"Chart Number", "DOEJA000"},
                   {"Transaction Type", "K"},
                   {"Procedure Code", "CHECK"},
                   {"Date From", "11/20/2026"},
                   {"Amount", "-20"}});
  ui::SilentProgress progress;
  const auto recalculate = [&] {
    return transactions::recalculatePractice(*practice_, std::nullopt, progress).patientsChanged;
  };
  recalculate();
  ScriptedPrompter prompter{};
  auto window = DepositWindow::openNew(surroundings(prompter));
  ASSERT_TRUE(window->setField("Chart Number", "DOEJA000"));
  ASSERT_TRUE(window->setField("Deposit Date", "12/03/2026"));
  ASSERT_TRUE(window->setField("Payment Amount", "45.5"));
  ASSERT_TRUE(window->save());
  const auto lastPatientPayment = [&] {
    store::Table patients = practice_->openTable("QVPAT");
    patients.setOrder("Primary");
    const auto patient = patients.seek({store::Value{std::string("DOEJA000")}});
    return std::make_pair(patient->date("Last Patient Payment Date"),
                          patient->money("Last Patient Payment Amount"));
  };
  EXPECT_EQ(recalculate(), 0);
  EXPECT_EQ(lastPatientPayment(),
            std::make_pair(Date::fromYmd(2026, 12, 3), Money::fromCents(4550)));
  // A last payment that no deposit of his explains is still put right.
  practice_->executeSql("UPDATE QVPAT SET \"Last Patient Payment Amount\" = 99");
  EXPECT_EQ(recalculate(), 1);
  EXPECT_EQ(lastPatientPayment(),
            std::make_pair(Date::fromYmd(2026, 11, 20), Money::fromCents(-2000)));
}

TEST_P(DepositWindowOnEngine, DeletingAsksFirstAndLeavesThePaymentsMadeFromIt) {
  const std::int64_t entry = depositRow({{"Deposit Date", "12/01/2026"},
                                         {"Payor Type", "Insurance"},
                                         {"Insurance Code", "MC"},
                                         {"Payment Code", "INS"},
                                         {"Payment Amount", "100"},
                                         {"Unapplied Amount", "0"}});
  const std::int64_t payment = paymentRow(entry, "I", "-100");
  insert("QVPAX", {{"Payment Reference", std::to_string(payment)},
                   {"Charge Reference", "1"},
                   {"Payment Amount", "-100"},
                   {"Who Paid", "1"},
                   {"Deposit ID", std::to_string(entry)}});
  {
    ScriptedPrompter prompter{false};
    EXPECT_FALSE(deleteDeposit(surroundings(prompter), entry));
    EXPECT_EQ(prompter.transcript(), (std::vector<std::string>{deleteQuestion}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVDEP\""), 1);
    EXPECT_TRUE(auditComments().empty());
  }
  // Held on another desk: the delete is refused and the row stays.
  {
    auto other = space_->connect("other");
    store::Table deposits = other->openTable("QVDEP");
    deposits.setOrder("IdxEntryNumber");
    auto held = deposits.seek({store::Value{entry}});
    deposits.edit(*held);
    ScriptedPrompter prompter{true};
    EXPECT_FALSE(deleteDeposit(surroundings(prompter), entry));
    ASSERT_EQ(prompter.transcript().size(), 2U);
    EXPECT_EQ(prompter.transcript()[1].rfind("error: ", 0), 0U);
    EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVDEP\""), 1);
    deposits.cancel(*held);
  }
  ScriptedPrompter prompter{true};
  EXPECT_TRUE(deleteDeposit(surroundings(prompter), entry));
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVDEP\""), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVTRN\""), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVPAX\""), 1);
  EXPECT_EQ(auditComments(),
            (std::vector<std::string>{"Deleted deposit: Entry: " + std::to_string(entry) +
                                      " Payment Code: INS Amount: 100.00"}));
}

TEST_P(DepositWindowOnEngine, ANewCheckNumberReachesItsPaymentsUnlessOneIsHeldElsewhere) {
  const std::int64_t entry = depositRow({{"Deposit Date", "12/01/2026"},
                                         {"Payor Type", "Insurance"},
                                         {"Insurance Code", "MC"},
                                         {"Payment Code", "INS"},
                                         {"Check Number", "1001"},
                                         {"Payment Amount", "100"},
                                         {"Unapplied Amount", "40"}});
  const std::int64_t first = paymentRow(entry, "I", "-40", "1001");
  const std::int64_t second = paymentRow(entry, "I", "-20", "1001");
  // An adjustment from the deposit and another deposit's payment keep theirs.
  const std::int64_t adjustment = paymentRow(entry, "T", "-5", "1001");
  const std::int64_t elsewhere = paymentRow(entry + 1, "I", "-7", "1001");
  auto checkOf = [&](std::int64_t line) {
    return row("QVTRN", "Entry Number", line).text("Check Number");
  };

  ScriptedPrompter prompter{};
  {
    auto other = space_->connect("other");
    store::Table ledger = other->openTable("QVTRN");
    ledger.setOrder("Idxentrynumber");
    auto held = ledger.seek({store::Value{second}});
    ledger.edit(*held);
    auto window = DepositWindow::openExisting(surroundings(prompter), entry);
    ASSERT_TRUE(window->setField("Check Number", "2002"));
    EXPECT_TRUE(window->save());
    EXPECT_EQ(prompter.transcript(),
              (std::vector<std::string>{"error: Transaction locked.  Check number not updated."}));
    EXPECT_EQ(checkOf(first), "1001");
    EXPECT_EQ(checkOf(second), "1001");
    ledger.cancel(*held);
  }
  auto window = DepositWindow::openExisting(surroundings(prompter), entry);
  ASSERT_TRUE(window->setField("Check Number", "3003"));
  EXPECT_TRUE(window->save());
  EXPECT_EQ(prompter.transcript().size(), 1U);
  EXPECT_EQ(depositOf(entry).text("Check Number"), "3003");
  EXPECT_EQ(checkOf(first), "3003");
  EXPECT_EQ(checkOf(second), "3003");
  EXPECT_EQ(checkOf(adjustment), "1001");
  EXPECT_EQ(checkOf(elsewhere), "1001");
}

TEST_P(DepositWindowOnEngine, AHeldDepositDoesNotOpenForEditing) {
  const std::int64_t entry = depositRow({{"Deposit Date", "12/01/2026"},
                                         {"Payor Type", "Insurance"},
                                         {"Insurance Code", "MC"},
                                         {"Payment Amount", "100"}});
  ScriptedPrompter prompter{};
  auto first = DepositWindow::openExisting(surroundings(prompter), entry);
  ASSERT_NE(first, nullptr);
  auto other = space_->connect("other");
  DepositSurroundings there{*other, prompter, nullptr, [] { return Date::fromYmd(2026, 12, 5); }};
  EXPECT_EQ(DepositWindow::openExisting(there, entry), nullptr);
  ASSERT_EQ(prompter.transcript().size(), 1U);
  first.reset();
  EXPECT_NE(DepositWindow::openExisting(there, entry), nullptr);
  EXPECT_EQ(DepositWindow::openExisting(there, entry + 50), nullptr);
}

TEST_P(DepositWindowOnEngine, ApplyHoldsTheDepositAndClosingWritesBackWhatIsLeft) {
  const std::int64_t entry = depositRow({{"Deposit Date", "12/01/2026"},
                                         {"Payor Type", "Insurance"},
                                         {"Insurance Code", "MC"},
                                         {"Payment Amount", "100"},
                                         {"Unapplied Amount", "100"}});
  ScriptedPrompter prompter{};
  auto applying = DepositForApplying::hold(surroundings(prompter), entry);
  ASSERT_NE(applying, nullptr);
  EXPECT_EQ(applying->deposit().money("Unapplied Amount"), Money::fromCents(10000));
  // Neither a second Apply nor the deposit window gets it meanwhile.
  auto other = space_->connect("other");
  ScriptedPrompter elsewhere{};
  DepositSurroundings there{*other, elsewhere, nullptr, [] { return Date::fromYmd(2026, 12, 5); }};
  EXPECT_EQ(DepositForApplying::hold(there, entry), nullptr);
  EXPECT_EQ(DepositWindow::openExisting(there, entry), nullptr);
  ASSERT_FALSE(elsewhere.transcript().empty());
  EXPECT_EQ(elsewhere.transcript().front(),
            "error: The current record is in use.  This process cannot complete.");
  applying->close(Money::fromCents(2750));
  EXPECT_EQ(depositOf(entry).money("Unapplied Amount"), Money::fromCents(2750));
  EXPECT_EQ(depositOf(entry).money("Payment Amount"), Money::fromCents(10000));
  // Let go once closed, and closing with the same amount changes nothing.
  auto again = DepositForApplying::hold(there, entry);
  ASSERT_NE(again, nullptr);
  again->close(Money::fromCents(2750));
  EXPECT_EQ(depositOf(entry).money("Unapplied Amount"), Money::fromCents(2750));
  EXPECT_NE(DepositForApplying::hold(there, entry), nullptr);
  EXPECT_TRUE(prompter.transcript().empty());
}

// Logs in with the name and password it was given.
class TypedLogin final : public security::LoginPrompt {
 public:
  TypedLogin(std::string name, std::string password)
      : name_(std::move(name)), password_(std::move(password)) {}
  bool run(security::LoginWindow& window) override {
    return window.submit(name_, password_) == security::LoginWindow::Outcome::LoggedIn;
  }

 private:
  std::string name_, password_;
};

TEST_P(DepositWindowOnEngine, EachActionAsksItsPermission) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  ui::FixedClock clock{DateTime::parse("2026-12-05 09:30:00").value()};
  // The first user is the supervisor. A clerk at level 3 may enter and edit
  // deposits but not delete them; a level 5 user may do neither.
  for (const auto& [code, level] :
       {std::pair{"BOSS", "1"}, std::pair{"CLERK", "3"}, std::pair{"LOW", "5"}}) {
    ScriptedPrompter quiet({});
    security::SecuritySetupWindow setup(*practice_, quiet, clock);
    ASSERT_TRUE(
        setup.saveUser(code, {{"Name", code}, {"Access Level", level}, {"Password", "Pass1234"}}))
        << (quiet.transcript().empty() ? "" : quiet.transcript().back());
  }
  vantrell::testing::PracticeSpace rootSpace(engine());
  auto root = rootSpace.connect("tester", &clock);
  store::ensureTable(*root, "QVUSR");
  const std::string denied =
      "error: ACCESS DENIED\nSecurity level is insufficient for this operation.";

  ScriptedPrompter lowPrompter({});
  security::Security low(*practice_, *root, lowPrompter, clock);
  TypedLogin lowLogin("LOW", "Pass1234");
  ASSERT_TRUE(low.logInAtOpen(&lowLogin));
  auto asLow = surroundings(lowPrompter);
  asLow.security = &low;
  EXPECT_EQ(DepositWindow::openNew(asLow), nullptr);
  EXPECT_EQ(lowPrompter.transcript().back(), denied);
  // Apply Screen is a level 3 action: the application window does not open.
  store::Table optionRows = practice_->openTable("QVOPT");
  store::Record optionRow = optionRows.newRecord();
  practice::applyNewOptionValues(optionRow);
  const practice::Options options(optionRow);
  EXPECT_EQ(PaymentApplicationWindow::openHeld(
                {*practice_, options, lowPrompter, clock, "LOW", nullptr, &low}, 1),
            nullptr);
  EXPECT_EQ(lowPrompter.transcript().back(), denied);
  low.logOut();

  ScriptedPrompter clerkPrompter({true});
  security::Security clerk(*practice_, *root, clerkPrompter, clock);
  TypedLogin clerkLogin("CLERK", "Pass1234");
  ASSERT_TRUE(clerk.logInAtOpen(&clerkLogin));
  auto asClerk = surroundings(clerkPrompter);
  asClerk.security = &clerk;
  auto window = DepositWindow::openNew(asClerk);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->setField("Chart Number", "DOEJA000"));
  ASSERT_TRUE(window->setField("Payment Amount", "10"));
  ASSERT_TRUE(window->save());
  const std::int64_t entry = window->deposit().integer("Entry Number");
  window.reset();
  EXPECT_EQ(depositOf(entry).text("User Code"), "CLERK");
  EXPECT_NE(DepositWindow::openExisting(asClerk, entry), nullptr);
  EXPECT_NE(PaymentApplicationWindow::openHeld(
                {*practice_, options, clerkPrompter, clock, "CLERK", nullptr, &clerk}, entry),
            nullptr);
  EXPECT_FALSE(deleteDeposit(asClerk, entry));
  EXPECT_EQ(clerkPrompter.transcript().back(), denied);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"QVDEP\""), 1);
  clerk.logOut();
}

VANTRELL_ON_BOTH_ENGINES(DepositWindowOnEngine);

}  // namespace
}  // namespace vantrell::deposits
