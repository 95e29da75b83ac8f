#include <gtest/gtest.h>

#include <functional>

#include "statement_fixture.hpp"
#include "statements/statement_rules.hpp"
#include "support/money_printing.hpp"

namespace vantrell::statements {
namespace {

using vantrell::testing::ScriptedPrompter;

class StatementCreation : public StatementPractice {};

// Aborts once the run has been told of `limit` lines; counts every line.
class AbortAfter final : public ui::Progress {
 public:
  explicit AbortAfter(std::int64_t limit) : limit_(limit) {}
  void begin(const std::string& caption, std::int64_t) override { captions.push_back(caption); }
  bool advance(std::int64_t) override { return ++seen_ <= limit_; }
  void end() override {}
  std::vector<std::string> captions;

 private:
  std::int64_t limit_;
  std::int64_t seen_ = 0;
};

// One guarantor (SMITHJ00) for two patients, with lines for each pass, and
// lines that no pass may take. Worked out by hand:
//   pass 1 (billed, open 0): entry a (100 paid by -100)          -> status 4
//   pass 2 (billed, open):   entries b (50) and c (30, patient 2) -> status 2
//   pass 3 (unbilled):       entries d (70) and e (20)            -> status 1
TEST_P(StatementCreation, OneGuarantorGetsAStatementPerPassWithItsBillingHistory) {
  patient("SMITHJ00", "(555)123-4567");
  patient("SMITHK00");
  const auto parent = caseOf("SMITHJ00", "SMITHJ00");
  const auto child = caseOf("SMITHK00", "SMITHJ00");
  const auto silent = caseOf("SMITHK00", "SMITHJ00", false);
  const auto a = charge("SMITHJ00", parent, "100",
                        {{"Guarantor Amount Paid", "-100"},
                         {"Date of First Statement", "2026-01-05"},
                         {"Date of Last Statement", "2026-01-10"}});
  const auto b =
      charge("SMITHJ00", parent, "50",
             {{"Date of First Statement", "2026-01-20"}, {"Date of Last Statement", "2026-02-01"}});
  const auto c = charge("SMITHK00", child, "30",
                        {{"Insurance 1 Amount Paid", "-0.01"},
                         {"Date of First Statement", "2026-02-15"},
                         {"Date of Last Statement", "2026-03-01"}});
  const auto d = charge("SMITHJ00", parent, "70");
  const auto e = charge("SMITHK00", child, "20");
  const auto notPrinted = charge("SMITHK00", silent, "999");
  const auto onAnother = charge("SMITHJ00", parent, "15", {{"Statement Number", "77"}});
  const auto payment = charge("SMITHJ00", parent, "-10", {{"Transaction Type", "K"}});
  const auto insuranceOnly = charge("SMITHJ00", parent, "40", {{"Guarantor Responsible", "F"}});

  ScriptedPrompter prompter{false};  // no minimum total on this first run
  const auto outcome = createInRange(prompter);
  EXPECT_EQ(
      prompter.transcript(),
      (std::vector<std::string>{"ask: " + std::string(StatementCreateDialog::zeroTotalQuestion),
                                "inform: 3 Standard statements have been created"}));
  ASSERT_EQ(outcome.created, 3);
  const auto made = statements();
  ASSERT_EQ(made.size(), 3u);
  auto it = made.begin();
  const auto& paid = it->second;
  const auto& unpaid = (++it)->second;
  const auto& unbilled = (++it)->second;
  EXPECT_EQ(outcome.lastStatement, unbilled.integer("Statement Number"));
  for (const auto* statement : {&paid, &unpaid, &unbilled}) {
    EXPECT_EQ(statement->text("Chart Number"), "SMITHJ00");
    EXPECT_EQ(statement->text("Statement Type"), "S");
    EXPECT_EQ(statement->text("Phone Number"), "(555)123-4567");
    EXPECT_EQ(statement->date("Date Created"), Date::fromYmd(2026, 6, 15));
  }
  EXPECT_EQ(paid.text("Status"), "4");
  EXPECT_EQ(unpaid.text("Status"), "2");
  EXPECT_EQ(unbilled.text("Status"), "1");
  // Passes 1 and 2 record the run's batch (1 on an empty table) and the
  // earliest first and latest last billing of their lines.
  EXPECT_EQ(paid.integer("Batch Number"), 1);
  EXPECT_EQ(unpaid.integer("Batch Number"), 1);
  EXPECT_EQ(unbilled.integer("Batch Number"), 0);
  EXPECT_EQ(paid.integer("Submission Count"), 1);
  EXPECT_EQ(unbilled.integer("Submission Count"), 0);
  EXPECT_EQ(unpaid.text("Billing Method"), "P");
  EXPECT_EQ(unbilled.text("Billing Method"), "");
  EXPECT_EQ(paid.date("Initial Billing Date"), Date::fromYmd(2026, 1, 5));
  EXPECT_EQ(paid.date("Last Billing Date"), Date::fromYmd(2026, 1, 10));
  EXPECT_EQ(unpaid.date("Initial Billing Date"), Date::fromYmd(2026, 1, 20));
  EXPECT_EQ(unpaid.date("Last Billing Date"), Date::fromYmd(2026, 3, 1));
  EXPECT_TRUE(unbilled.date("Initial Billing Date").isEmpty());

  EXPECT_EQ(statementOf(a), paid.integer("Statement Number"));
  EXPECT_EQ(statementOf(b), unpaid.integer("Statement Number"));
  EXPECT_EQ(statementOf(c), unpaid.integer("Statement Number"));
  EXPECT_EQ(statementOf(d), unbilled.integer("Statement Number"));
  EXPECT_EQ(statementOf(e), unbilled.integer("Statement Number"));
  EXPECT_EQ(statementOf(notPrinted), 0);
  EXPECT_EQ(statementOf(onAnother), 77);
  EXPECT_EQ(statementOf(payment), 0);
  EXPECT_EQ(statementOf(insuranceOnly), 0);

  // A second run finds nothing new: a line on a statement is never gathered again.
  ScriptedPrompter again{};
  const auto second = createInRange(again);
  EXPECT_EQ(second.created, 0);
  EXPECT_EQ(again.transcript(),
            std::vector<std::string>{"inform: No new Standard Statements were created."});
  EXPECT_EQ(statements().size(), 3u);
}

// A previously billed guarantor whose open lines cancel out gets a Done
// statement in pass 2; with "0.00" as minimum in range mode a guarantor whose
// total is 0 or less gets none and keeps its lines unassigned.
TEST_P(StatementCreation, TotalsDecideStatusAndMinimum) {
  patient("EVENA000");
  patient("CREDIT00");
  patient("OWING000");
  const auto even = caseOf("EVENA000", "EVENA000");
  const auto credit = caseOf("CREDIT00", "CREDIT00");
  const auto owing = caseOf("OWING000", "OWING000");
  const Fields billed = {{"Date of First Statement", "2026-02-01"},
                         {"Date of Last Statement", "2026-02-01"}};
  Fields overpaid = billed;
  overpaid.emplace_back("Guarantor Amount Paid", "-50");
  const auto plus = charge("EVENA000", even, "40", billed);
  const auto minus = charge("EVENA000", even, "10", overpaid);  // open -40
  ScriptedPrompter first{};
  settings_.write(createSettingsKey, "Statement Total Amount", "");
  insert("QVSTA", {{"Chart Number", "OLD00000"}, {"Status", "4"}, {"Batch Number", "6"}});
  createInRange(first);
  const auto made = statements();
  ASSERT_EQ(made.size(), 2u);
  const auto& evened = made.rbegin()->second;
  EXPECT_EQ(evened.text("Status"), "4");
  EXPECT_EQ(evened.integer("Batch Number"), 7);  // the highest batch plus 1
  EXPECT_EQ(statementOf(plus), evened.integer("Statement Number"));
  EXPECT_EQ(statementOf(minus), evened.integer("Statement Number"));

  const auto refund = charge("CREDIT00", credit, "10", {{"Guarantor Amount Paid", "-25"}});
  const auto zero = charge("CREDIT00", credit, "0");
  const auto due = charge("OWING000", owing, "0.01");
  ScriptedPrompter second{};
  const auto outcome = createInRange(
      second, [](StatementCreateDialog& dialog) { EXPECT_TRUE(dialog.setMinimumTotal("0.00")); });
  EXPECT_EQ(outcome.created, 1);
  EXPECT_EQ(statementOf(refund), 0);
  EXPECT_EQ(statementOf(zero), 0);
  EXPECT_EQ(statementOf(due), outcome.lastStatement);
  EXPECT_EQ(settings_.read(createSettingsKey, "Statement Total Amount"), "0.00");
}

// Single-account mode: only the chart's lines, and the threshold is 0 even
// when 25.00 is stored; the dialog's text names the chart.
TEST_P(StatementCreation, SingleAccountIgnoresTheStoredMinimum) {
  patient("ONEAC000");
  patient("OTHER000");
  const auto own = caseOf("ONEAC000", "ONEAC000");
  const auto other = caseOf("OTHER000", "OTHER000");
  const auto ten = charge("ONEAC000", own, "10");
  const auto notThis = charge("OTHER000", other, "500");
  insert("QVSTA", {{"Chart Number", "OLD00000"}, {"Status", "4"}});
  settings_.write(createSettingsKey, "Statement Total Amount", "25.00");
  ScriptedPrompter prompter{};
  std::string intro;
  CreationOutcome outcome;
  const int result = createStatements(
      surroundings(prompter), "oneac000", false, true, createFromLedger,
      [&](StatementCreateDialog& dialog) {
        intro = dialog.introText();
        return true;
      },
      &outcome);
  EXPECT_EQ(intro, "This will add a Statement entry for ONEAC000.");
  EXPECT_EQ(outcome.created, 1);
  EXPECT_EQ(result, outcome.lastStatement);
  EXPECT_EQ(statementOf(ten), outcome.lastStatement);
  EXPECT_EQ(statementOf(notThis), 0);
  EXPECT_EQ(prompter.transcript(),
            std::vector<std::string>{"inform: 1 Standard statement has been created"});

  // Nothing left: no message for a chart, and the result says why by its sign.
  ScriptedPrompter quiet{};
  const int none = createStatements(surroundings(quiet), "ONEAC000", false, false, createFromLedger,
                                    [](StatementCreateDialog& dialog) {
                                      dialog.chooseType(1);
                                      return true;
                                    });
  EXPECT_EQ(none, -2);
  EXPECT_TRUE(quiet.transcript().empty());
  EXPECT_EQ(settings_.read(createSettingsKey, "Statement Type"), "1");
}

// Remainder runs take a charge only when insurance is done with it; with
// "Enforce Accept Assignment" a policy that does not accept assignment need
// not have paid.
TEST_P(StatementCreation, RemainderRunsFollowTheAcceptAssignmentSwitch) {
  patient("REMAIN00");
  const auto own = caseOf("REMAIN00", "REMAIN00");
  const Fields allPaid = {
      {"Insurance 1 Paid", "T"}, {"Insurance 2 Paid", "T"}, {"Insurance 3 Paid", "T"}};
  const auto settled = charge("REMAIN00", own, "20", allPaid);
  const auto oneUnpaid = charge("REMAIN00", own, "30",
                                {{"Insurance 1 Paid", "T"},
                                 {"Insurance 2 Paid", "T"},
                                 {"Accept Assignment 1", "T"},
                                 {"Accept Assignment 2", "T"}});
  Fields guarantorPaidToo = allPaid;
  guarantorPaidToo.emplace_back("Guarantor Paid", "T");
  const auto paidByGuarantor = charge("REMAIN00", own, "40", guarantorPaidToo);
  insert("QVSTA", {{"Chart Number", "OLD00000"}, {"Status", "4"}});
  enforceAcceptAssignment(false);

  ScriptedPrompter prompter{};
  const auto outcome = createInRange(prompter, [](StatementCreateDialog& d) { d.chooseType(1); });
  ASSERT_EQ(outcome.created, 1);
  EXPECT_EQ(statements().at(outcome.lastStatement).text("Statement Type"), "R");
  EXPECT_EQ(statementOf(settled), outcome.lastStatement);
  EXPECT_EQ(statementOf(oneUnpaid), 0);
  EXPECT_EQ(statementOf(paidByGuarantor), 0);
  EXPECT_EQ(prompter.transcript(),
            std::vector<std::string>{"inform: 1 Remainder statement has been created"});

  // Insurance 3 does not accept assignment: with the switch on it need not pay.
  enforceAcceptAssignment(true);
  ScriptedPrompter enforced{};
  const auto second = createInRange(enforced, [](StatementCreateDialog& d) { d.chooseType(1); });
  EXPECT_EQ(second.created, 1);
  EXPECT_EQ(statementOf(oneUnpaid), second.lastStatement);
}

// The remainder condition with the switch, case by case (P = paid or not
// accepting, N = not accepting), worked out from the rule's own words.
TEST(RemainderCondition, WorkedCases) {
  struct Case {
    const char* name;
    bool paid[3];
    bool accepts[3];
    bool guarantorPaid;
    bool plain, enforced;
  };
  const Case cases[] = {
      {"all paid", {true, true, true}, {true, true, true}, false, true, true},
      {"guarantor paid", {true, true, true}, {true, true, true}, true, false, false},
      {"third unpaid, accepts", {true, true, false}, {true, true, true}, false, false, false},
      {"third unpaid, does not accept",
       {true, true, false},
       {true, true, false},
       false,
       false,
       true},
      {"primary unpaid, accepts", {false, true, true}, {true, true, true}, false, false, false},
      {"primary unpaid, does not accept",
       {false, false, false},
       {false, true, true},
       false,
       false,
       true},
      {"second unpaid, first does not accept",
       {true, false, false},
       {false, true, true},
       false,
       false,
       true},
      {"second unpaid, accepts", {true, false, true}, {true, true, true}, false, false, false},
      {"second and third unpaid, second does not accept",
       {true, false, false},
       {true, false, true},
       false,
       false,
       true},
      {"second and third unpaid, both accept",
       {true, false, false},
       {true, true, true},
       false,
       false,
       false},
      {"nothing accepts", {false, false, false}, {false, false, false}, false, false, true},
  };
  for (const auto& c : cases) {
    PaymentFlags flags;
    flags.guarantorResponsible = true;
    flags.guarantorPaid = c.guarantorPaid;
    for (int i = 0; i < 3; ++i) {
      flags.insurancePaid[i] = c.paid[i];
      flags.acceptAssignment[i] = c.accepts[i];
    }
    EXPECT_EQ(meetsRemainderCondition(flags, false), c.plain) << c.name;
    EXPECT_EQ(meetsRemainderCondition(flags, true), c.enforced) << c.name;
    flags.guarantorResponsible = false;
    EXPECT_FALSE(meetsRemainderCondition(flags, true)) << c.name;
  }
}

// The dialog's checks keep it open on the failing "to" field; the ranges then
// narrow the run (charts, dates, a comma list of billing codes).
TEST_P(StatementCreation, RangesAreCheckedAndNarrowTheRun) {
  insert("QVSTA", {{"Chart Number", "OLD00000"}, {"Status", "4"}});
  for (const char* chart : {"AAAA0000", "BBBB0000", "CCCC0000", "DDDD0000"}) patient(chart);
  const auto a = charge("AAAA0000", caseOf("AAAA0000", "AAAA0000"), "10");
  const auto b = charge("BBBB0000", caseOf("BBBB0000", "BBBB0000", true, {{"Billing Code", "X"}}),
                        "10", {{"Date From", "2026-03-01"}});
  const auto bLate =
      charge("BBBB0000", caseOf("BBBB0000", "BBBB0000", true, {{"Billing Code", "Y"}}), "10",
             {{"Date From", "2026-04-02"}});
  const auto c = charge("CCCC0000", caseOf("CCCC0000", "CCCC0000", true, {{"Billing Code", "Y"}}),
                        "10", {{"Date From", "2026-03-15"}});
  const auto cOther =
      charge("CCCC0000", caseOf("CCCC0000", "CCCC0000", true, {{"Billing Code", "Z"}}), "10",
             {{"Date From", "2026-03-15"}});
  const auto d = charge("DDDD0000", caseOf("DDDD0000", "DDDD0000"), "10");

  ScriptedPrompter prompter{};
  StatementCreateDialog dialog(surroundings(prompter), "", true, true);
  dialog.setDateRange(Date::fromYmd(2026, 4, 1), Date::fromYmd(2026, 3, 31));
  EXPECT_FALSE(dialog.confirm());
  EXPECT_EQ(dialog.focusField(), "To Date");
  dialog.setDateRange(Date::fromYmd(2026, 3, 1), Date::fromYmd(2026, 4, 1));
  dialog.setChartRange("cccc0000", "BBBB9999");
  EXPECT_FALSE(dialog.confirm());
  EXPECT_EQ(dialog.focusField(), "To Chart Number");
  EXPECT_EQ(
      prompter.transcript(),
      (std::vector<std::string>{"error: " + std::string(StatementCreateDialog::badDateRange),
                                "error: " + std::string(StatementCreateDialog::badChartRange)}));
  EXPECT_FALSE(dialog.setMinimumTotal("12a"));
  EXPECT_FALSE(dialog.setMinimumTotal("12345678901"));
  dialog.setChartRange("BBBB0000", "CCCC0000");
  dialog.setBillingCode("X, Y");
  ASSERT_TRUE(dialog.confirm());
  const auto outcome = dialog.run();
  EXPECT_EQ(outcome.created, 2);
  EXPECT_EQ(statementOf(a), 0);
  EXPECT_NE(statementOf(b), 0);
  EXPECT_EQ(statementOf(bLate), 0);  // after the to-date
  EXPECT_NE(statementOf(c), 0);
  EXPECT_EQ(statementOf(cOther), 0);  // billing code Z
  EXPECT_EQ(statementOf(d), 0);
}

// Abort keeps the statements closed so far, makes none from the group being
// read, and starts no later pass; every statement kept has its lines.
TEST_P(StatementCreation, AbortKeepsClosedStatementsOnly) {
  insert("QVSTA", {{"Chart Number", "OLD00000"}, {"Status", "4"}});
  std::vector<std::int64_t> entries;
  for (const char* chart : {"ABORT100", "ABORT200", "ABORT300"}) {
    patient(chart);
    const auto number = caseOf(chart, chart);
    entries.push_back(charge(chart, number, "10"));
    entries.push_back(charge(chart, number, "15"));
  }
  ScriptedPrompter prompter{};
  AbortAfter progress(4);  // the fourth line read is the second guarantor's second
  const auto outcome = createInRange(prompter, {}, &progress);
  EXPECT_TRUE(outcome.aborted);
  EXPECT_EQ(outcome.created, 1);
  EXPECT_EQ(progress.captions,
            (std::vector<std::string>{"Creating Previously Billed and Paid Statements",
                                      "Creating Previously Billed and Unpaid Statements",
                                      "Creating Unbilled Statements"}));
  EXPECT_EQ(statementOf(entries[0]), outcome.lastStatement);
  EXPECT_EQ(statementOf(entries[1]), outcome.lastStatement);
  for (std::size_t i = 2; i < entries.size(); ++i) EXPECT_EQ(statementOf(entries[i]), 0) << i;
  EXPECT_EQ(statements().size(), 2u);
  EXPECT_EQ(prompter.transcript(),
            std::vector<std::string>{"inform: 1 Standard statement has been created"});
}

// Another workstation's run stamps one of a guarantor's lines after this run
// read it: this run makes no statement for that guarantor (its total would be
// wrong and the line would be taken from the other statement), and the other
// guarantors' statements are made as usual.
class StampElsewhereAt final : public ui::Progress {
 public:
  StampElsewhereAt(std::int64_t at, std::function<void()> stamp)
      : at_(at), stamp_(std::move(stamp)) {}
  void begin(const std::string&, std::int64_t) override {}
  bool advance(std::int64_t) override {
    if (++seen_ == at_) stamp_();
    return true;
  }
  void end() override {}

 private:
  std::int64_t at_;
  std::int64_t seen_ = 0;
  std::function<void()> stamp_;
};

TEST_P(StatementCreation, ALineStampedByAnotherRunMeanwhileKeepsItsStatement) {
  insert("QVSTA", {{"Chart Number", "OLD00000"}, {"Status", "4"}});  // not a first run
  std::vector<std::int64_t> entries;
  for (const char* chart : {"RACE1000", "RACE2000"}) {
    patient(chart);
    const auto number = caseOf(chart, chart);
    entries.push_back(charge(chart, number, "10"));
    entries.push_back(charge(chart, number, "15"));
  }
  auto other = space_->connect();
  StampElsewhereAt progress(3, [&] {  // the second guarantor's first line: the first is still open
    other->executeSql("UPDATE \"QVTRN\" SET \"Statement Number\" = 900 WHERE \"Entry Number\" = ?",
                      {store::Value{entries[1]}});
  });
  ScriptedPrompter prompter{};
  const auto outcome = createInRange(prompter, {}, &progress);
  EXPECT_EQ(outcome.created, 1);
  EXPECT_EQ(statementOf(entries[0]), 0);  // free for a later run
  EXPECT_EQ(statementOf(entries[1]), 900);
  EXPECT_EQ(statementOf(entries[2]), outcome.lastStatement);
  EXPECT_EQ(statementOf(entries[3]), outcome.lastStatement);
  EXPECT_EQ(statements().size(), 2u);
}

// The first-time warning comes on an empty statement table above 1000 ledger
// lines; No ends the run with nothing made.
TEST_P(StatementCreation, FirstTimeWarningAbove1000Lines) {
  patient("FIRST000");
  const auto own = caseOf("FIRST000", "FIRST000");
  {
    store::Transaction bulk(*practice_);
    store::Table ledger = practice_->openTable("QVTRN");
    for (int line = 0; line < 1000; ++line) {
      store::Record row = ledger.newRecord();
      row.set("Chart Number", std::string("FIRST000"));
      row.set("Case Number", own);
      row.set("Transaction Type", std::string("Z"));
      ledger.append(row);
    }
    bulk.commit();
  }
  {
    ScriptedPrompter prompter{true};  // only the zero-total question
    StatementCreateDialog dialog(surroundings(prompter), "", true, false);
    ASSERT_TRUE(dialog.confirm());
    EXPECT_EQ(dialog.run().created, 0);  // 1000 lines: no warning, and nothing due
    EXPECT_EQ(prompter.transcript().size(), 1u);
  }
  const auto due = charge("FIRST000", own, "10");  // line 1001
  ScriptedPrompter declines{false};                // "0.00" is stored now: no zero-total question
  StatementCreateDialog dialog(surroundings(declines), "", true, false);
  ASSERT_TRUE(dialog.confirm());
  const auto outcome = dialog.run();
  EXPECT_TRUE(outcome.declined);
  EXPECT_EQ(outcome.created, 0);
  EXPECT_EQ(declines.transcript().back(),
            "ask: " + std::string(StatementCreateDialog::firstTimeWarning));
  EXPECT_EQ(statementOf(due), 0);
  EXPECT_TRUE(statements().empty());
}

VANTRELL_ON_BOTH_ENGINES(StatementCreation);

}  // namespace
}  // namespace vantrell::statements
