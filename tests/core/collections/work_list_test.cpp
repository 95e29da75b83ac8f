#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "collections/collection_options.hpp"
#include "collections/letter_run.hpp"
#include "collections/payment_plan.hpp"
#include "collections/tickler_window.hpp"
#include "collections/work_list.hpp"
#include "collections/work_list_report.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::collections {
namespace {

using vantrell::testing::ScriptedPrompter;

class WorkListPractice : public vantrell::testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect("tester", &clock_);
    practice_->setUser("CLERK");
    store::createMissingTables(*practice_, nullptr);
  }
  void insert(const char* table, const vantrell::testing::FieldTexts& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  std::int64_t item(const std::string& patient, const char* user = "ANN",
                    Money balance = Money::fromCents(12000)) {
    WorkListItem made;
    made.responsibleType = "P";
    made.responsibleParty = patient;
    made.patient = patient;
    made.guarantor = patient;
    made.balance = balance;
    made.assignedUser = user;
    made.action = "Call about the balance";
    return addWorkListItem(*practice_, made);
  }
  store::Record stored(std::int64_t number) {
    store::Table rows = practice_->openTable("QVWRK");
    rows.setOrder("Primary");
    return *rows.seek({store::Value{number}});
  }
  std::set<std::int64_t> listed(WorkList& list) {
    std::set<std::int64_t> numbers;
    store::PageCursor cursor;
    // Two at a time, so the list is walked over several pages.
    for (auto page = list.nextPage(cursor, 2); !page.empty(); page = list.nextPage(cursor, 2))
      for (const auto& row : page) numbers.insert(row.integer("Item Number"));
    return numbers;
  }
  std::int64_t count(const std::string& sql) {
    return vantrell::testing::singleNumber(*practice_, sql);
  }

  ui::FixedClock clock_{*DateTime::parse("2027-03-01 09:00:00")};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(WorkListPractice, DeletedItemsStayWithTheirDateAndLeaveTheListsThatExcludeThem) {
  const auto first = item("AAA00000");
  const auto second = item("BBB00000", "BOB");
  const auto third = item("CCC00000");
  clock_.set(*DateTime::parse("2027-03-04 10:00:00"));
  ScriptedPrompter prompter{false, true};
  WorkList list(*practice_, prompter, clock_);
  EXPECT_FALSE(list.remove({second}));  // answered No
  EXPECT_EQ(stored(second).text("Status"), "0");
  EXPECT_TRUE(list.remove({second}));
  EXPECT_EQ(prompter.transcript().back(),
            "ask: Deleting a Work List item will change the status to Deleted.\nThis will remove "
            "the item(s) from the active list.\n\nAre you sure you want to delete the item(s)?");
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVWRK"), 3);
  EXPECT_EQ(stored(second).text("Status"), "D");
  EXPECT_EQ(stored(second).date("Date Deleted"), Date::fromYmd(2027, 3, 4));
  EXPECT_EQ(listed(list), (std::set<std::int64_t>{first, third}));

  WorkListFilter filter;
  filter.deleted = WorkListFilter::Deleted::Only;
  ASSERT_TRUE(list.setFilter(filter));
  EXPECT_EQ(listed(list), (std::set<std::int64_t>{second}));
  filter.deleted = WorkListFilter::Deleted::Include;
  filter.users = {"bob", "ann"};
  ASSERT_TRUE(list.setFilter(filter));
  EXPECT_EQ(listed(list), (std::set<std::int64_t>{first, second, third}));
  filter.users = {"ANN"};
  filter.createdFrom = Date::fromYmd(2027, 3, 2);
  filter.createdTo = Date::fromYmd(2027, 2, 9);
  EXPECT_FALSE(list.setFilter(filter));
  EXPECT_EQ(prompter.transcript().back(),
            "error: Invalid date range. 2/9/2027 is earlier than 3/2/2027");
  // The refused filter leaves the list as it was.
  EXPECT_EQ(listed(list).size(), 3U);
}

// Patient range and party are read without regard to letter case; a party with a quote is a
// value, not part of the condition; the resolved range takes only resolved items in it.
TEST_P(WorkListPractice, PatientResolvedAndPartyFiltersNarrowTheList) {
  const auto aaa = item("AAA00000");
  const auto bbb = item("BBB00000");
  const auto ccc = item("CCC00000");
  const auto quoted = item("O'NEIL00");
  ScriptedPrompter prompter{};
  WorkList list(*practice_, prompter, clock_);
  for (const auto& [number, day] : {std::pair{aaa, 2U}, std::pair{ccc, 20U}}) {
    store::Record row = stored(number);
    row.set("Status", std::string("1"));
    row.set("Date Resolved", Date::fromYmd(2027, 2, day));
    practice_->openTable("QVWRK").post(row);
  }
  WorkListFilter filter;
  filter.patientFrom = "bbb";
  filter.patientTo = "ccc99999";
  ASSERT_TRUE(list.setFilter(filter));
  EXPECT_EQ(listed(list), (std::set<std::int64_t>{bbb, ccc}));
  filter = {};
  filter.resolvedFrom = Date::fromYmd(2027, 2, 10);
  filter.resolvedTo = Date::fromYmd(2027, 2, 28);
  ASSERT_TRUE(list.setFilter(filter));
  EXPECT_EQ(listed(list), (std::set<std::int64_t>{ccc}));
  filter = {};
  filter.responsibleParty = "o'neil00";
  ASSERT_TRUE(list.setFilter(filter));
  EXPECT_EQ(listed(list), (std::set<std::int64_t>{quoted}));
  filter.responsibleParty = "AAA00000' OR 'X' = 'X";
  ASSERT_TRUE(list.setFilter(filter));
  EXPECT_TRUE(listed(list).empty());
  EXPECT_TRUE(prompter.transcript().empty());
}

TEST_P(WorkListPractice, AFollowUpChangeAloneChangesOnlyTheDatesAndStatusesStampTheirDays) {
  const auto first = item("AAA00000");
  const auto second = item("BBB00000");
  ScriptedPrompter prompter{true};
  WorkList list(*practice_, prompter, clock_);
  StatusChange change;
  EXPECT_FALSE(list.changeStatus(change, {first}));
  change.from = "*";
  EXPECT_FALSE(list.changeStatus(change, {first}));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: The 'from' status was not selected and the 'Follow Up Date' was not "
                "entered.\rOne of these needs to be entered. No changes were made",
                "error: The 'to' status was not selected.  No changes were made"}));

  const store::Record before = stored(first);
  change = {};
  change.followUp = Date::fromYmd(2027, 4, 1);
  ASSERT_TRUE(list.changeStatus(change, {first}));
  const store::Record after = stored(first);
  for (std::size_t i = 0; i < before.table().fields().size(); ++i) {
    const std::string& field = before.table().field(i).name;
    if (field == "Follow Up Date" || field == "Date Modified") continue;
    EXPECT_EQ(before.value(i), after.value(i)) << field;
  }
  EXPECT_EQ(after.date("Follow Up Date"), Date::fromYmd(2027, 4, 1));
  EXPECT_EQ(stored(second).date("Follow Up Date"), Date());

  // Every displayed item from Open to Resolved, after the question.
  change = {};
  change.scope = StatusChange::Scope::All;
  change.from = "0";
  change.to = "1";
  ASSERT_TRUE(list.changeStatus(change, {}));
  EXPECT_EQ(prompter.transcript().back(),
            "ask: You have selected ALL Ticklers. Do you want to continue?");
  EXPECT_EQ(stored(second).text("Status"), "1");
  EXPECT_EQ(stored(second).date("Date Resolved"), Date::fromYmd(2027, 3, 1));

  // The tickler window: Deleted stamps its day; reopening without a date follows up today.
  clock_.set(*DateTime::parse("2027-03-09 10:00:00"));
  TicklerWindow window(*practice_, prompter, clock_);
  ASSERT_TRUE(window.open(second));
  ASSERT_TRUE(
      window.setFields({{"Status", "D"}, {"Office Notes", "Moved away.\nNo new address."}}));
  ASSERT_TRUE(window.save());
  EXPECT_EQ(stored(second).date("Date Deleted"), Date::fromYmd(2027, 3, 9));
  EXPECT_EQ(stored(second).text("Office Notes"), "Moved away.\nNo new address.");
  ASSERT_TRUE(window.setFields({{"Status", "0"}}));
  ASSERT_TRUE(window.save());
  EXPECT_EQ(stored(second).date("Follow Up Date"), Date::fromYmd(2027, 3, 9));

  // With the practice's option, a new item needs the user it is assigned to.
  saveCollectionOptions(*practice_, {"", true});
  window.startNew();
  ASSERT_TRUE(window.setFields({{"Patient", "AAA00000"}, {"Responsible Party", "AAA00000"}}));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(), "error: Field 'Assign To' must have a value.");
  ASSERT_TRUE(window.setFields({{"User ID", "ANN"}}));
  EXPECT_TRUE(window.save());
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVWRK"), 3);
}

TEST_P(WorkListPractice, TheWorkingListShowsTodaysFollowUpsFirstThenTheOthersByDate) {
  // Today is 3/1/2027.
  const auto due = [&](const char* patient, Date followUp) {
    const auto number = item(patient);
    store::Record row = stored(number);
    row.set("Follow Up Date", followUp);
    practice_->openTable("QVWRK").post(row);
    return number;
  };
  const auto later = due("AAA00000", Date::fromYmd(2027, 3, 20));
  const auto today = due("BBB00000", Date::fromYmd(2027, 3, 1));
  const auto overdue = due("CCC00000", Date::fromYmd(2027, 2, 10));
  const auto alsoToday = due("DDD00000", Date::fromYmd(2027, 3, 1));
  const auto soon = due("EEE00000", Date::fromYmd(2027, 3, 2));
  ScriptedPrompter prompter{};
  WorkList list(*practice_, prompter, clock_);
  std::vector<std::int64_t> order;
  WorkList::WorkingCursor cursor;
  for (auto page = list.nextWorkingPage(cursor, 2); !page.empty();
       page = list.nextWorkingPage(cursor, 2))
    for (const auto& row : page) order.push_back(row.integer("Item Number"));
  EXPECT_EQ(order, (std::vector<std::int64_t>{today, alsoToday, overdue, soon, later}));
}

TEST_P(WorkListPractice, AnInsuranceItemNamesOneOfThePatientsOpenCasesCarriers) {
  insert("QVCAS", {{"Chart Number", "AAA00000"},
                   {"Insurance Carrier #2", "BLUE1"},
                   {"Group Number #2", "G-77"},
                   {"Policy Number #2", "P-123"}});
  insert("QVCAS",
         {{"Chart Number", "AAA00000"}, {"Insurance Carrier #1", "OLD1"}, {"Case Closed", "T"}});
  insert("QVCAS", {{"Chart Number", "BBB00000"}, {"Insurance Carrier #1", "OTHER"}});
  ScriptedPrompter prompter{};
  TicklerWindow window(*practice_, prompter, clock_);
  for (const char* carrier : {"OTHER", "OLD1"}) {
    window.startNew();
    ASSERT_TRUE(window.setFields(
        {{"Patient", "AAA00000"}, {"Responsible Type", "I"}, {"Responsible Party", carrier}}));
    EXPECT_FALSE(window.save());
    EXPECT_EQ(prompter.transcript().back(), std::string("error: Insurance carrier ") + carrier +
                                                " is not on an open case of patient AAA00000.");
  }
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVWRK"), 0);
  ASSERT_TRUE(window.setFields({{"Responsible Party", "blue1"}}));
  ASSERT_TRUE(window.save());
  const store::Record saved = stored(window.record().integer("Item Number"));
  EXPECT_EQ(saved.text("Policy Number"), "P-123");
  EXPECT_EQ(saved.text("Group Number"), "G-77");
}

TEST_P(WorkListPractice, ReassignHandsOnlyTheMatchingDisplayedItems) {
  const auto small = item("AAA00000", "ANN", Money::fromCents(2000));
  const auto large = item("BBB00000", "ANN", Money::fromCents(90000));
  ScriptedPrompter prompter{};
  WorkList list(*practice_, prompter, clock_);
  EXPECT_FALSE(list.reassign({}, "BOB"));
  ReassignCriteria criteria;
  EXPECT_FALSE(list.reassign(criteria, ""));
  EXPECT_FALSE(list.reassign(criteria, "BOB"));
  criteria.balanceAbove = Money::fromCents(100000);
  EXPECT_FALSE(list.reassign(criteria, "BOB"));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: You have not entered any selections for \"Reassign Ticklers that match\".",
                "error: The User Id that you want these ticklers assigned to has not been entered.",
                "error: You have not entered any selections for \"Reassign Ticklers that match\".",
                "inform: There were no items that fit your selection from the current displayed "
                "items."}));
  criteria.balanceAbove = Money::fromCents(2000);
  EXPECT_EQ(list.reassign(criteria, "BOB"), 1U);
  EXPECT_EQ(stored(large).text("User ID"), "BOB");
  EXPECT_EQ(stored(small).text("User ID"), "ANN");
}

TEST_P(WorkListPractice, LetterRunLeavesOutPatientsWhoKeepToTheirPlan) {
  ScriptedPrompter prompter{};
  PaymentPlanWindow plans(*practice_, prompter, clock_, nullptr);
  plans.startNew();
  ASSERT_TRUE(plans.setFields({{"Code", "M1"},
                               {"First Payment Due", "1"},
                               {"Cycle Days", "30"},
                               {"Amount Due", "50"}}) &&
              plans.save());
  for (const char* chart : {"AAA00000", "BBB00000"}) {
    insert("QVPAT", {{"Chart Number", chart},
                     {"Last Name", "Doe"},
                     {"First Name", "Jane"},
                     {"City", "Springfield"},
                     {"Payment Plan", "M1"},
                     {"Patient Reference Balance", "120"}});
    insert("QVTRN", {{"Chart Number", chart},
                     {"Transaction Type", "J"},
                     {"Date From", "02/20/2027"},
                     {"Amount", "-50"}});
    item(chart);
  }
  LetterRunCriteria criteria;
  EXPECT_FALSE(runCollectionLetters(*practice_, prompter, clock_, criteria));
  EXPECT_EQ(prompter.transcript().back(),
            "inform: All of the patients for this report have followed the payment plan.  There "
            "is no report to print.");
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVWTR"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVPAT WHERE \"In Collections\" = TRUE"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVPAT WHERE \"Followed Plan\" = TRUE"), 2);

  // A month on, the 20th's payment no longer covers the installment due on the 1st.
  clock_.set(*DateTime::parse("2027-04-02 09:00:00"));
  insert("QVTRN", {{"Chart Number", "BBB00000"},
                   {"Transaction Type", "K"},
                   {"Date From", "03/25/2027"},
                   {"Amount", "-50"}});
  // A dependent of AAA00000's account, without a plan: the same letter.
  insert("QVPAT", {{"Chart Number", "CCC00000"}, {"Last Name", "Doe"}, {"First Name", "Jim"}});
  insert("QVWRK", {{"Responsible Type", "P"},
                   {"Responsible Party", "AAA00000"},
                   {"Patient", "CCC00000"},
                   {"Status", "0"},
                   {"Balance", "30"},
                   {"Date Created", "02/01/2027"}});
  criteria.createdTo = Date::fromYmd(2027, 3, 1);
  auto run = runCollectionLetters(*practice_, prompter, clock_, criteria);
  ASSERT_TRUE(run);
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVWTR"),
            0);  // nothing is recorded before the letters print
  EXPECT_EQ(recordCollectionLetters(*practice_, clock_, criteria, *run), 2U);
  ASSERT_EQ(run->letters.size(), 1U);
  EXPECT_EQ(run->letters[0].party, "AAA00000");
  ASSERT_EQ(run->letters[0].items.size(), 2U);
  EXPECT_EQ(run->letters[0].items[1].patient, "CCC00000");
  EXPECT_EQ(run->letters[0].balance, Money::fromCents(12000));
  EXPECT_EQ(run->followedPlan, std::vector<std::string>{"BBB00000"});
  EXPECT_EQ(run->reasons,
            (std::vector<std::string>{" This item is at least 32 days old.",
                                      " The outstanding balance is greater than 0.01"}));
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVWTR WHERE \"Responsible Party\" = 'AAA00000'"), 2);
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVWTR"), 2);
  EXPECT_EQ(count("SELECT COUNT(*) FROM QVPAT WHERE \"In Collections\" = TRUE"), 2);
  EXPECT_EQ(count("SELECT MAX(\"Tracer\") FROM QVWRK"), 1);
}

TEST_P(WorkListPractice, ReportCountsOpenAndResolvedItemsAndTheOldestAgePerParty) {
  // Today is 3/1/2027: items made 2/1 (28 days), 1/1 (59) and 12/1/2026 (90).
  const auto row = [&](const char* party, const char* status, const char* created) {
    insert("QVWRK", {{"Responsible Type", "P"},
                     {"Responsible Party", party},
                     {"Patient", party},
                     {"Status", status},
                     {"Date Created", created}});
  };
  row("BBB00000", "0", "02/01/2027");
  row("AAA00000", "1", "01/01/2027");
  row("BBB00000", "D", "12/01/2026");  // left out: deleted items are excluded
  row("AAA00000", "0", "02/01/2027");
  row("BBB00000", "1", "01/01/2027");
  const auto report = workListReport(*practice_, {}, clock_.today(), false);
  ASSERT_EQ(report.groups.size(), 2U);
  EXPECT_EQ(report.groups[0].party, "AAA00000");
  EXPECT_EQ(report.groups[0].counts.open, 1U);
  EXPECT_EQ(report.groups[0].counts.resolved, 1U);
  EXPECT_EQ(report.groups[0].counts.oldestDays, 59);
  ASSERT_EQ(report.groups[1].lines.size(), 2U);
  EXPECT_EQ(report.groups[1].lines[0].status, "Open");
  EXPECT_EQ(report.groups[1].lines[0].ageDays, 28);
  EXPECT_EQ(report.total.open, 2U);
  EXPECT_EQ(report.total.resolved, 2U);
  EXPECT_EQ(report.total.oldestDays, 59);
  WorkListFilter withDeleted;
  withDeleted.deleted = WorkListFilter::Deleted::Include;
  const auto summary = workListReport(*practice_, withDeleted, clock_.today(), true);
  EXPECT_TRUE(summary.groups[1].lines.empty());
  EXPECT_EQ(summary.groups[1].counts.oldestDays, 90);
  EXPECT_EQ(summary.total.open, 2U);
}

VANTRELL_ON_BOTH_ENGINES(WorkListPractice);

}  // namespace
}  // namespace vantrell::collections
