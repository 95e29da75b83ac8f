#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "collections/payment_plan.hpp"
#include "collections/plan_check.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::collections {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using vantrell::testing::ScriptedPrompter;

Date on(int year, unsigned month, unsigned day) {
  return Date::fromYmd(year, month, day);
}

// The plan's due dates written out one by one: in every month the due day
// (cut to the month's length), then every `cycle` days while still before the
// next month's due day; for cycles over 31 days the same from each January.
std::vector<sys_days> modelDueDates(int firstDue, int cycle, int fromYear, int toYear) {
  std::vector<sys_days> dues;
  const auto dueDay = [&](int year, unsigned month) {
    const std::chrono::year_month_day_last last{
        std::chrono::year(year), std::chrono::month_day_last(std::chrono::month(month))};
    return sys_days(std::chrono::year_month_day(
        std::chrono::year(year), std::chrono::month(month),
        std::chrono::day(std::min<unsigned>(static_cast<unsigned>(firstDue),
                                            static_cast<unsigned>(last.day())))));
  };
  for (int year = fromYear; year <= toYear; ++year) {
    for (unsigned month = 1; month <= 12; ++month) {
      if (cycle > 31 && month > 1) break;
      const sys_days start = dueDay(year, month);
      const sys_days next = cycle > 31    ? dueDay(year + 1, 1)
                            : month == 12 ? dueDay(year + 1, 1)
                                          : dueDay(year, month + 1);
      for (sys_days due = start; due < next; due += days(cycle)) dues.push_back(due);
    }
  }
  return dues;
}

TEST(PlanCycle, MatchesTheWrittenOutDueDatesOnEveryDay) {
  for (const int firstDue : {1, 15, 29, 31}) {
    for (const int cycle : {7, 14, 30, 31, 90}) {
      const auto dues = modelDueDates(firstDue, cycle, 2026, 2029);
      for (sys_days day = sys_days(on(2027, 1, 1).days()); day <= on(2028, 12, 31).days();
           day += days(1)) {
        sys_days expected{};
        for (const auto due : dues)
          if (due <= day) expected = due;
        const Date today{std::chrono::year_month_day(day)};
        const PlanCycle found = currentPlanCycle(today, firstDue, cycle);
        ASSERT_EQ(found.due.days(), expected)
            << today.toIso() << " due day " << firstDue << " every " << cycle;
        ASSERT_EQ(found.windowStart.days(), expected - days(cycle - 1));
        ASSERT_EQ(found.windowEnd, today);
      }
    }
  }
}

TEST(PlanCycle, EdgeDatesWorkedByHand) {
  // Due on the 1st, checked on the 1st: today's installment, window back 29 days over the new year.
  auto cycle = currentPlanCycle(on(2027, 1, 1), 1, 30);
  EXPECT_EQ(cycle.due, on(2027, 1, 1));
  EXPECT_EQ(cycle.windowStart, on(2026, 12, 3));
  // Due on the 31st: February 2027 has 28 days, so the installment fell due on the 28th.
  cycle = currentPlanCycle(on(2027, 3, 1), 31, 30);
  EXPECT_EQ(cycle.due, on(2027, 2, 28));
  EXPECT_EQ(cycle.windowStart, on(2027, 1, 30));
  // 2028 is a leap year.
  EXPECT_EQ(currentPlanCycle(on(2028, 3, 1), 31, 30).due, on(2028, 2, 29));
  // Before January's due day the installment is December's.
  cycle = currentPlanCycle(on(2027, 1, 10), 15, 30);
  EXPECT_EQ(cycle.due, on(2026, 12, 15));
  EXPECT_EQ(cycle.windowStart, on(2026, 11, 16));
}

class PaymentPlans : public vantrell::testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect("tester", &clock_);
    store::createMissingTables(*practice_, nullptr);
  }
  bool savePlan(ScriptedPrompter& prompter, const std::string& code, const std::string& firstDue,
                const std::string& cycle = "30", const std::string& amount = "50") {
    PaymentPlanWindow window(*practice_, prompter, clock_, nullptr);
    window.startNew();
    return window.setFields({{"Code", code},
                             {"Description", "Monthly"},
                             {"First Payment Due", firstDue},
                             {"Cycle Days", cycle},
                             {"Amount Due", amount}}) &&
           window.save();
  }
  void insert(const char* table, const vantrell::testing::FieldTexts& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }

  ui::FixedClock clock_{*DateTime::parse("2027-03-01 09:00:00")};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(PaymentPlans, WindowRefusesBadValuesAndDuplicatesAndDeletesOnlyUnusedPlans) {
  ScriptedPrompter prompter{true};
  EXPECT_FALSE(savePlan(prompter, "P0", "0"));
  EXPECT_FALSE(savePlan(prompter, "P32", "32"));
  EXPECT_FALSE(savePlan(prompter, "P9", "15", "1000"));
  EXPECT_TRUE(savePlan(prompter, "p1", "1"));
  EXPECT_TRUE(savePlan(prompter, "P31", "31"));
  EXPECT_FALSE(savePlan(prompter, "P1", "5"));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: Invalid First Payment Due value", "error: Invalid First Payment Due value",
                "error: The \"Cycle Days\" field is not valid",
                "error: Patient Payment code P1 already exists.\nEnter a unique code."}));
  EXPECT_EQ(vantrell::testing::singleNumber(*practice_, "SELECT COUNT(*) FROM QVPPL"), 2);

  insert("QVPAT", {{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"Payment Plan", "P1"}});
  PaymentPlanWindow window(*practice_, prompter, clock_, nullptr);
  EXPECT_FALSE(window.remove("P1"));
  EXPECT_EQ(prompter.transcript().back(),
            "error: This payment plan record is currently being used in the Payment Plan field "
            "of the QVPAT table and cannot be deleted.");
  EXPECT_TRUE(window.remove("P31"));
  EXPECT_EQ(vantrell::testing::singleNumber(*practice_, "SELECT COUNT(*) FROM QVPPL"), 1);
}

TEST_P(PaymentPlans, APaymentCountsWhenItCoversAnInstallmentWithinTheCycle) {
  ScriptedPrompter prompter{};
  ASSERT_TRUE(savePlan(prompter, "M31", "31"));  // 50.00 due on the 31st, every 30 days
  insert("QVPAT", {{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"Payment Plan", "M31"}});
  // Checked on 3/1/2027: the installment fell due on 2/28, counted from 1/30.
  const auto payment = [&](const char* type, const char* date, const char* amount) {
    insert("QVTRN", {{"Chart Number", "DOEJA000"},
                     {"Transaction Type", type},
                     {"Date From", date},
                     {"Amount", amount}});
  };
  payment("J", "01/29/2027", "-50");  // a day before the cycle
  payment("K", "02/15/2027", "-40");  // less than an installment
  payment("I", "02/15/2027", "-80");  // an insurance payment
  payment("P", "02/16/2027", "-80");  // a deductible line, not a patient payment
  payment("O", "03/02/2027", "-50");  // after the day of the check
  EXPECT_FALSE(checkPaymentPlan(*practice_, "DOEJA000", clock_.today()).keepsToPlan);
  payment("L", "01/30/2027", "-50");
  const PlanCheck check = checkPaymentPlan(*practice_, "DOEJA000", clock_.today());
  EXPECT_TRUE(check.keepsToPlan);
  EXPECT_EQ(check.paymentDate, on(2027, 1, 30));
  EXPECT_EQ(check.cycle.due, on(2027, 2, 28));
  EXPECT_FALSE(checkPaymentPlan(*practice_, "NOPLAN00", clock_.today()).hasPlan);
}

VANTRELL_ON_BOTH_ENGINES(PaymentPlans);

}  // namespace
}  // namespace vantrell::collections
