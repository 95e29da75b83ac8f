#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "statement_fixture.hpp"
#include "statements/quick_balance.hpp"
#include "statements/statement_billing.hpp"
#include "statements/statement_edit.hpp"
#include "statements/statement_management.hpp"
#include "store/errors.hpp"
#include "support/money_printing.hpp"

namespace vantrell::statements {
namespace {

using vantrell::testing::ScriptedPrompter;

class StatementManagement : public StatementPractice {
 protected:
  std::int64_t statement(const Fields& fields) {
    insert("QVSTA", fields);
    return number("SELECT MAX(\"Statement Number\") FROM \"QVSTA\"");
  }
  Date dateOf(std::int64_t entry, const char* field) {
    store::Table ledger = practice_->openTable("QVTRN");
    ledger.setOrder("Idxentrynumber");
    return ledger.seek({store::Value{entry}})->date(field);
  }
  void setOption(const char* field, store::Value value) {
    auto row = options_.record();
    row.set(field, std::move(value));
    options_ = practice::Options(row);
  }
};

// Deleting a statement with five lines leaves the five unassigned, and the
// next run gathers them again.
TEST_P(StatementManagement, DeleteReleasesTheLinesForTheNextRun) {
  patient("DELETE00");
  const auto own = caseOf("DELETE00", "DELETE00");
  std::vector<std::int64_t> lines;
  for (int i = 0; i < 5; ++i) lines.push_back(charge("DELETE00", own, "10"));
  const auto other = statement({{"Chart Number", "OTHER000"}, {"Status", "1"}});
  const auto kept = charge("DELETE00", own, "5", {{"Statement Number", std::to_string(other)}});
  ScriptedPrompter creator{};
  const auto first = createInRange(creator);
  ASSERT_EQ(first.created, 1);
  for (const auto line : lines) EXPECT_EQ(statementOf(line), first.lastStatement);

  ScriptedPrompter prompter{false, true};
  StatementList list(surroundings(prompter));
  EXPECT_FALSE(list.deleteStatements({first.lastStatement}));
  EXPECT_EQ(statementOf(lines[0]), first.lastStatement);
  EXPECT_TRUE(list.deleteStatements({first.lastStatement}));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{"ask: " + std::string(StatementList::deleteOne),
                                      "ask: " + std::string(StatementList::deleteOne)}));
  for (const auto line : lines) EXPECT_EQ(statementOf(line), 0);
  EXPECT_EQ(statementOf(kept), other);
  EXPECT_EQ(statements().count(first.lastStatement), 0u);

  ScriptedPrompter again{};
  const auto second = createInRange(again);
  ASSERT_EQ(second.created, 1);
  for (const auto line : lines) EXPECT_EQ(statementOf(line), second.lastStatement);

  ScriptedPrompter several{true};
  StatementList plural(surroundings(several));
  EXPECT_TRUE(plural.deleteStatements({second.lastStatement, other}));
  EXPECT_EQ(several.transcript(),
            std::vector<std::string>{"ask: " + std::string(StatementList::deleteSeveral)});
  EXPECT_EQ(statementOf(kept), 0);
  EXPECT_TRUE(statements().empty());
}

// Billing three times: the lines' first, second and last statement dates are
// the three print dates; the count goes up by three; Done stays Done; the
// batch is set once; cycle billing puts the next date 30 days on.
TEST_P(StatementManagement, BillingRecordsEachPrintOnTheStatementAndItsLines) {
  patient("BILLED00");
  const auto own = caseOf("BILLED00", "BILLED00", true, {{"Assigned Provider", "DR1"}});
  insert("QVPRO", {{"Code 1", "STMT"}, {"Type", "Z"}, {"Description", "Statement sent"}});
  const auto sent =
      statement({{"Chart Number", "BILLED00"}, {"Status", "1"}, {"Submission Count", "0"}});
  const auto done = statement({{"Chart Number", "BILLED00"},
                               {"Status", "4"},
                               {"Batch Number", "4"},
                               {"Submission Count", "1"}});
  const auto a = charge("BILLED00", own, "10", {{"Statement Number", std::to_string(sent)}});
  const auto b = charge("BILLED00", own, "20", {{"Statement Number", std::to_string(sent)}});
  const auto c = charge("BILLED00", own, "30", {{"Statement Number", std::to_string(done)}});
  setOption("Use Cycle Billing", true);
  setOption("Cycle Billing Days", std::int64_t{30});
  setOption("Create Statement Billing Notes", false);

  const Date prints[3] = {Date::fromYmd(2026, 3, 1), Date::fromYmd(2026, 4, 1),
                          Date::fromYmd(2026, 5, 1)};
  std::int64_t firstBatch = 0;
  for (const auto& day : prints) {
    ScriptedPrompter prompter{};
    const auto outcome =
        recordStatementsPrinted(surroundings(prompter), {{sent, done}, day, false});
    EXPECT_EQ(outcome.updated.size(), 2u);
    if (firstBatch == 0) firstBatch = outcome.batch;
    EXPECT_TRUE(prompter.transcript().empty());
  }
  EXPECT_EQ(firstBatch, 5);  // the highest batch (4) plus 1
  for (const auto line : {a, b, c}) {
    EXPECT_EQ(dateOf(line, "Date of First Statement"), prints[0]);
    EXPECT_EQ(dateOf(line, "Date of Second Statement"), prints[1]);
    EXPECT_EQ(dateOf(line, "Date of Last Statement"), prints[2]);
  }
  const auto made = statements();
  const auto& s = made.at(sent);
  EXPECT_EQ(s.integer("Submission Count"), 3);
  EXPECT_EQ(s.text("Status"), "2");
  EXPECT_EQ(s.integer("Batch Number"), 5);  // set on the first billing only
  EXPECT_EQ(s.text("Billing Method"), "P");
  EXPECT_EQ(s.date("Initial Billing Date"), prints[0]);
  EXPECT_EQ(s.date("Second Billing Date"), prints[1]);
  EXPECT_EQ(s.date("Last Billing Date"), prints[2]);
  EXPECT_EQ(s.date("Next Statement Date"), Date::fromYmd(2026, 5, 31));
  const auto& d = made.at(done);
  EXPECT_EQ(d.text("Status"), "4");
  EXPECT_EQ(d.integer("Submission Count"), 4);
  EXPECT_EQ(d.integer("Batch Number"), 4);

  // March 1 plus 30 days is March 31; billing notes go to each case once.
  setOption("Create Statement Billing Notes", true);
  setOption("Statement Bill Note", std::string("STMT"));
  ScriptedPrompter notes{};
  recordStatementsPrinted(surroundings(notes), {{sent, done}, prints[0], true});
  EXPECT_EQ(statements().at(sent).date("Next Statement Date"), Date::fromYmd(2026, 3, 31));
  EXPECT_EQ(statements().at(sent).text("Billing Method"), "E");
  EXPECT_EQ(number("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Procedure Code\" = 'STMT' AND "
                   "\"Description\" = 'Statement sent' AND \"Attending Provider\" = 'DR1'"),
            1);

  // A statement another workstation holds stays as it was; the message comes once.
  auto other = space_->connect("other");
  store::Table held = other->openTable("QVSTA");
  held.setOrder("Primary");
  auto holding = held.seek({store::Value{sent}});
  held.edit(*holding);
  ScriptedPrompter locked{};
  const auto outcome =
      recordStatementsPrinted(surroundings(locked), {{sent, done}, prints[2], false});
  EXPECT_EQ(outcome.inUse, std::vector<std::int64_t>{sent});
  EXPECT_EQ(outcome.updated, std::vector<std::int64_t>{done});
  EXPECT_EQ(locked.transcript(),
            std::vector<std::string>{"error: " + std::string(billedStatusInUse)});
  EXPECT_EQ(statements().at(sent).integer("Submission Count"), 4);
}

// Change status: a pair with one side is refused; "Any Status Type" to Hold
// sets every statement of the batch; a method pair changes only the matching.
TEST_P(StatementManagement, ChangeStatusByBatchOrSelection) {
  const auto a = statement(
      {{"Chart Number", "A"}, {"Status", "1"}, {"Batch Number", "3"}, {"Billing Method", "P"}});
  const auto b = statement(
      {{"Chart Number", "B"}, {"Status", "4"}, {"Batch Number", "3"}, {"Billing Method", "E"}});
  const auto c = statement(
      {{"Chart Number", "C"}, {"Status", "2"}, {"Batch Number", "2"}, {"Billing Method", "P"}});
  ScriptedPrompter prompter{};
  StatusChange oneSided;
  oneSided.batch = 3;
  oneSided.statusFrom = anyStatusType;
  EXPECT_FALSE(changeStatementStatus(surroundings(prompter), oneSided));
  StatusChange methodOnly;
  methodOnly.batch = 3;
  methodOnly.methodTo = 1;
  EXPECT_FALSE(changeStatementStatus(surroundings(prompter), methodOnly));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{"error: " + std::string(bothStatuses),
                                      "error: " + std::string(bothMethods)}));

  StatusChange toHold;
  toHold.batch = 3;
  toHold.statusFrom = anyStatusType;
  toHold.statusTo = 0;
  EXPECT_EQ(changeStatementStatus(surroundings(prompter), toHold), 2);
  auto made = statements();
  EXPECT_EQ(made.at(a).text("Status"), "0");
  EXPECT_EQ(made.at(b).text("Status"), "0");
  EXPECT_EQ(made.at(c).text("Status"), "2");

  StatusChange selected;
  selected.selected = {a, c};
  selected.statusFrom = 2;  // Sent
  selected.statusTo = 3;    // Failed
  selected.methodFrom = 0;  // Paper
  selected.methodTo = 1;    // Electronic
  EXPECT_EQ(changeStatementStatus(surroundings(prompter), selected), 2);
  made = statements();
  EXPECT_EQ(made.at(a).text("Status"), "0");
  EXPECT_EQ(made.at(a).text("Billing Method"), "E");
  EXPECT_EQ(made.at(c).text("Status"), "3");
  EXPECT_EQ(made.at(c).text("Billing Method"), "E");
  EXPECT_EQ(made.at(b).text("Billing Method"), "E");
}

// The list pages through the store in the chosen order, descending on a
// second click, and filters; checked against the rows sorted in the test.
TEST_P(StatementManagement, ListPagesFiltersAndSorts) {
  struct Row {
    std::string chart, status;
    std::int64_t batch;
    std::string created;
  };
  const std::vector<Row> rows = {{"CAT", "1", 2, "2026-01-05"}, {"ANT", "4", 1, "2026-01-03"},
                                 {"BEE", "2", 2, "2026-01-05"}, {"DOG", "4", 3, "2025-12-31"},
                                 {"ANT", "0", 0, "2026-01-04"}, {"EEL", "1", 2, "2026-01-01"},
                                 {"FOX", "3", 1, "2026-01-05"}};
  std::vector<std::int64_t> numbers;
  for (const auto& row : rows)
    numbers.push_back(statement({{"Chart Number", row.chart},
                                 {"Status", row.status},
                                 {"Batch Number", std::to_string(row.batch)},
                                 {"Date Created", row.created}}));
  ScriptedPrompter prompter{};
  StatementList list(surroundings(prompter));
  const auto all = [&] {
    std::vector<std::int64_t> seen;
    list.restart();
    for (auto page = list.nextPage(2); !page.empty(); page = list.nextPage(2))
      for (const auto& row : page) seen.push_back(row.number);
    return seen;
  };
  EXPECT_EQ(all(), numbers);
  // By chart, ties by number; then descending.
  std::vector<std::size_t> order(rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t x, std::size_t y) { return rows[x].chart < rows[y].chart; });
  std::vector<std::int64_t> byChart;
  for (const auto i : order) byChart.push_back(numbers[i]);
  list.sortBy(StatementColumn::Chart);
  EXPECT_EQ(all(), byChart);
  list.sortBy(StatementColumn::Chart);
  EXPECT_TRUE(list.descending());
  EXPECT_EQ(all(), std::vector<std::int64_t>(byChart.rbegin(), byChart.rend()));
  // By date created.
  list.sortBy(StatementColumn::Created);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    return std::tie(rows[x].created, numbers[x]) < std::tie(rows[y].created, numbers[y]);
  });
  std::vector<std::int64_t> byDate;
  for (const auto i : order) byDate.push_back(numbers[i]);
  EXPECT_EQ(all(), byDate);

  StatementFilter filter;
  filter.batch = 2;
  filter.excludeDone = true;
  list.setFilter(filter);
  list.sortBy(StatementColumn::Number);
  EXPECT_EQ(all(), (std::vector<std::int64_t>{numbers[0], numbers[2], numbers[5]}));
  EXPECT_EQ(settings_.read(managementSettingsKey, "Exclude Done"), "1");
  filter = {};
  filter.chartNumber = "ant";
  filter.created = Date::fromYmd(2026, 1, 4);
  list.setFilter(filter);
  const auto page = list.nextPage(10);
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0].number, numbers[4]);
  EXPECT_EQ(page[0].statusText(), "Hold");
  list.clearFilter();
  EXPECT_EQ(all().size(), rows.size());
  StatementList reopened(surroundings(prompter));
  EXPECT_FALSE(reopened.filter().excludeDone);
}

// Remove and Split keep at least one line on the statement; a split copies
// the statement and takes the moved lines' billing history.
TEST_P(StatementManagement, EditRemovesAndSplitsLines) {
  patient("EDIT0000");
  const auto own = caseOf("EDIT0000", "EDIT0000");
  const auto single =
      statement({{"Chart Number", "EDIT0000"}, {"Status", "2"}, {"Statement Type", "R"}});
  charge("EDIT0000", own, "5", {{"Statement Number", std::to_string(single)}});
  ScriptedPrompter guarded{};
  StatementEditWindow lonely(surroundings(guarded), single);
  lonely.load();
  EXPECT_EQ(lonely.titleSuffix(), "- Remainder");
  EXPECT_FALSE(lonely.remove({}));
  EXPECT_FALSE(lonely.remove({0}));
  EXPECT_FALSE(lonely.split({0}));
  EXPECT_EQ(guarded.transcript(),
            (std::vector<std::string>{"error: " + std::string(StatementEditWindow::removeNone),
                                      "error: " + std::string(StatementEditWindow::removeOnly),
                                      "error: " + std::string(StatementEditWindow::splitOnly)}));

  const auto many = statement({{"Chart Number", "EDIT0000"},
                               {"Status", "2"},
                               {"Statement Type", "S"},
                               {"Batch Number", "9"},
                               {"Billing Method", "P"},
                               {"Submission Count", "2"},
                               {"Phone Number", "555"}});
  const std::string on = std::to_string(many);
  const auto x = charge("EDIT0000", own, "10",
                        {{"Statement Number", on},
                         {"Date From", "2026-01-03"},
                         {"Date of First Statement", "2026-02-01"},
                         {"Date of Last Statement", "2026-03-01"}});
  const auto y = charge("EDIT0000", own, "20",
                        {{"Statement Number", on},
                         {"Date From", "2026-01-02"},
                         {"Date of First Statement", "2026-01-15"},
                         {"Date of Last Statement", "2026-02-15"}});
  const auto z =
      charge("EDIT0000", own, "30", {{"Statement Number", on}, {"Date From", "2026-01-01"}});
  ScriptedPrompter prompter{true, true};
  StatementEditWindow window(surroundings(prompter), many);
  window.load();
  ASSERT_EQ(window.transactions().size(), 3u);
  EXPECT_EQ(window.transactions()[0].integer("Entry Number"), z);  // by date
  EXPECT_FALSE(window.remove({0, 1, 2}));
  EXPECT_FALSE(window.split({0, 1, 2}));
  const auto moved = window.split({1, 2});  // y and x
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ(statementOf(x), *moved);
  EXPECT_EQ(statementOf(y), *moved);
  EXPECT_EQ(statementOf(z), many);
  const auto copy = statements().at(*moved);
  EXPECT_EQ(copy.text("Status"), "2");
  EXPECT_EQ(copy.integer("Batch Number"), 9);
  EXPECT_EQ(copy.integer("Submission Count"), 2);
  EXPECT_EQ(copy.text("Phone Number"), "555");
  EXPECT_EQ(copy.date("Initial Billing Date"), Date::fromYmd(2026, 1, 15));
  EXPECT_EQ(copy.date("Last Billing Date"), Date::fromYmd(2026, 3, 1));
  ASSERT_EQ(window.transactions().size(), 1u);

  StatementEditWindow second(surroundings(prompter), *moved);
  second.load();
  EXPECT_TRUE(second.remove({0}));
  EXPECT_EQ(statementOf(y), 0);
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{"error: " + std::string(StatementEditWindow::removeAll),
                                      "error: " + std::string(StatementEditWindow::splitAll),
                                      "ask: " + std::string(StatementEditWindow::splitSeveral),
                                      "ask: " + std::string(StatementEditWindow::removeOne)}));
}

// Quick balance: the remainder lines of the guarantor's cases, its messages,
// and Print through a single-account statement or the last one.
TEST_P(StatementManagement, QuickBalanceListsTheRemainderAndPrints) {
  enforceAcceptAssignment(false);
  patient("PARENT00");
  patient("KID00000");
  patient("NOCASE00");
  const auto parentCase = caseOf("PARENT00", "PARENT00");
  const auto kidCase = caseOf("KID00000", "PARENT00");
  const Fields settled = {{"Insurance 1 Paid", "T"},
                          {"Insurance 2 Paid", "T"},
                          {"Insurance 3 Paid", "T"},
                          {"Insurance 1 Amount Paid", "-60"}};
  charge("PARENT00", parentCase, "100", settled);  // 40 left
  charge("KID00000", kidCase, "80", settled);      // 20 left
  charge("KID00000", kidCase, "50");               // insurance pending: not counted
  ScriptedPrompter prompter{};
  QuickBalanceWindow window(surroundings(prompter));
  EXPECT_FALSE(window.chooseChart("KID00000"));
  EXPECT_FALSE(window.chooseChart("NOCASE00"));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{"error: " + std::string(QuickBalanceWindow::notAGuarantor),
                                      "error: " + std::string(QuickBalanceWindow::noCases)}));
  ASSERT_TRUE(window.chooseChart("parent00"));
  EXPECT_EQ(window.lines().size(), 2u);
  EXPECT_EQ(window.balance(), *Money::parse("60"));

  // The parent's own unassigned line makes a statement; the warning is asked
  // not to come again.
  ScriptedPrompter printing{false};  // no minimum total on the first run
  printing.scriptChoice(1);
  QuickBalanceWindow printer(surroundings(printing));
  ASSERT_TRUE(printer.chooseChart("PARENT00"));
  const auto printed = printer.print();
  ASSERT_TRUE(printed.has_value());
  EXPECT_EQ(statements().at(*printed).text("Chart Number"), "PARENT00");
  EXPECT_EQ(settings_.read(QuickBalanceWindow::settingsKey, "Hide Print Warning"), "1");
  EXPECT_EQ(printing.transcript().back(), "inform: 1 Standard statement has been created");
  // Nothing unassigned on the parent's chart now: the last standard statement,
  // without the warning.
  ScriptedPrompter again{};
  QuickBalanceWindow reprinter(surroundings(again));
  ASSERT_TRUE(reprinter.chooseChart("PARENT00"));
  EXPECT_EQ(reprinter.print(), printed);
  EXPECT_EQ(again.transcript().size(), 0u);
  settings_.write(createSettingsKey, "Statement Type", "1");
  ScriptedPrompter none{};
  QuickBalanceWindow remainder(surroundings(none));
  ASSERT_TRUE(remainder.chooseChart("PARENT00"));
  EXPECT_FALSE(remainder.print().has_value());
  EXPECT_EQ(none.transcript(),
            std::vector<std::string>{"error: There are no Remainder statements to print."});
}

// Reprint is refused for a statement never billed; the status goes back
// after a reprint unless it was Ready to Send.
TEST_P(StatementManagement, ReprintNeedsAnEarlierBilling) {
  const auto fresh = statement({{"Chart Number", "R1"}, {"Status", "1"}});
  const auto billed =
      statement({{"Chart Number", "R1"}, {"Status", "3"}, {"Initial Billing Date", "2026-01-01"}});
  ScriptedPrompter prompter{};
  EXPECT_FALSE(mayReprint(surroundings(prompter), fresh));
  EXPECT_TRUE(mayReprint(surroundings(prompter), billed));
  EXPECT_EQ(prompter.transcript(), std::vector<std::string>{"error: " + std::string(notBilledYet)});
  EXPECT_EQ(statusToRestoreAfterReprint("3"), std::optional<std::string>("3"));
  EXPECT_EQ(statusToRestoreAfterReprint("1"), std::nullopt);
}

VANTRELL_ON_BOTH_ENGINES(StatementManagement);

}  // namespace
}  // namespace vantrell::statements
