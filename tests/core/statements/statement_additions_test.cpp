#include <gtest/gtest.h>

#include "statement_fixture.hpp"
#include "statements/statement_additions.hpp"

namespace vantrell::statements {
namespace {

using vantrell::testing::ScriptedPrompter;

class StatementAdditions : public StatementPractice {
 protected:
  std::int64_t statement(const Fields& fields) {
    insert("QVSTA", fields);
    return number("SELECT MAX(\"Statement Number\") FROM \"QVSTA\"");
  }
};

// The status a statement must have before lines are added, by whether it was
// billed before; the lines offered are the guarantor's unassigned charges of
// the same billing history (any patient of the guarantor).
TEST_P(StatementAdditions, StatusAndHistoryDecideWhatMayBeAdded) {
  patient("GUAR0000");
  patient("CHILD000");
  const auto own = caseOf("GUAR0000", "GUAR0000");
  const auto child = caseOf("CHILD000", "GUAR0000", false);  // not tested here
  const auto unbilled = charge("GUAR0000", own, "10");
  const auto childLine = charge("CHILD000", child, "20", {{"Date From", "2026-04-01"}});
  const auto billed = charge("GUAR0000", own, "30", {{"Date of Last Statement", "2026-03-01"}});
  const auto onOther = charge("GUAR0000", own, "40", {{"Statement Number", "99"}});
  const auto payment = charge("GUAR0000", own, "-5", {{"Transaction Type", "K"}});
  const auto notGuarantor = charge("GUAR0000", own, "50", {{"Guarantor Responsible", "F"}});
  (void)onOther;
  (void)payment;
  (void)notGuarantor;

  const auto held =
      statement({{"Chart Number", "GUAR0000"}, {"Status", "0"}, {"Statement Type", "S"}});
  ScriptedPrompter refused{};
  AddTransactionsWindow onHold(surroundings(refused), held);
  EXPECT_FALSE(onHold.open());
  const auto billedSent = statement({{"Chart Number", "GUAR0000"},
                                     {"Status", "1"},
                                     {"Statement Type", "S"},
                                     {"Initial Billing Date", "2026-03-01"}});
  AddTransactionsWindow notSent(surroundings(refused), billedSent);
  EXPECT_FALSE(notSent.open());
  EXPECT_EQ(refused.transcript(),
            (std::vector<std::string>{"error: " + std::string(AddTransactionsWindow::mustBeReady),
                                      "error: " + std::string(AddTransactionsWindow::mustBeSent)}));

  const auto ready =
      statement({{"Chart Number", "GUAR0000"}, {"Status", "1"}, {"Statement Type", "S"}});
  ScriptedPrompter prompter{false, true};
  AddTransactionsWindow window(surroundings(prompter), ready);
  ASSERT_TRUE(window.open());
  std::vector<std::int64_t> offered;
  for (const auto& candidate : window.candidates()) offered.push_back(candidate.row.entryNumber);
  EXPECT_EQ(offered, (std::vector<std::int64_t>{childLine, unbilled}));  // by chart
  EXPECT_FALSE(window.add({}));
  EXPECT_FALSE(window.add({0, 1}));  // No
  EXPECT_EQ(statementOf(childLine), 0);
  EXPECT_TRUE(window.add({1}));
  EXPECT_EQ(statementOf(unbilled), ready);
  EXPECT_EQ(statementOf(childLine), 0);
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{"error: " + std::string(AddTransactionsWindow::nothingChosen),
                                      "ask: " + std::string(AddTransactionsWindow::addSeveral),
                                      "ask: " + std::string(AddTransactionsWindow::addOne)}));

  // A billed statement marked Sent is offered only the billed line.
  practice_->executeSql("UPDATE \"QVSTA\" SET \"Status\" = '2' WHERE \"Statement Number\" = ?",
                        {store::Value{billedSent}});
  ScriptedPrompter second{};
  AddTransactionsWindow billedWindow(surroundings(second), billedSent);
  ASSERT_TRUE(billedWindow.open());
  ASSERT_EQ(billedWindow.candidates().size(), 1u);
  EXPECT_EQ(billedWindow.candidates()[0].row.entryNumber, billed);

  // A remainder statement is offered nothing while insurance has not paid;
  // with the accept-assignment switch on, a line no policy accepts is due.
  enforceAcceptAssignment(false);
  const auto remainder =
      statement({{"Chart Number", "GUAR0000"}, {"Status", "1"}, {"Statement Type", "R"}});
  ScriptedPrompter none{};
  AddTransactionsWindow remainderWindow(surroundings(none), remainder);
  EXPECT_FALSE(remainderWindow.open());
  EXPECT_EQ(none.transcript(), std::vector<std::string>{
                                   "inform: " + std::string(AddTransactionsWindow::noCandidates)});
  enforceAcceptAssignment(true);
  AddTransactionsWindow enforced(surroundings(none), remainder);
  ASSERT_TRUE(enforced.open());
  ASSERT_EQ(enforced.candidates().size(), 1u);  // the other unbilled line is on `ready`
  EXPECT_EQ(enforced.candidates()[0].row.entryNumber, childLine);
}

VANTRELL_ON_BOTH_ENGINES(StatementAdditions);

}  // namespace
}  // namespace vantrell::statements
