#include "collections/plan_check.hpp"

#include <chrono>

#include "store/table.hpp"

namespace vantrell::collections {
namespace {

using std::chrono::days;

// The month's First Payment Due day, or its last day when the month is shorter.
Date firstDueOfMonth(std::chrono::year_month month, int firstPaymentDue) {
  const auto last = static_cast<unsigned>(
      std::chrono::year_month_day_last(month.year(), std::chrono::month_day_last(month.month()))
          .day());
  const unsigned wanted = std::min(static_cast<unsigned>(firstPaymentDue), last);
  return Date::fromYmd(static_cast<int>(month.year()), static_cast<unsigned>(month.month()),
                       wanted);
}

Date fromDays(std::chrono::sys_days value) {
  return Date(std::chrono::year_month_day(value));
}

}  // namespace

PlanCycle currentPlanCycle(Date day, int firstPaymentDue, int cycleDays) {
  const auto ymd = day.value();
  const auto cycle = std::max(cycleDays, 1);
  // Cycles up to a month start again on each month's due day; longer ones
  // start again each January, so a quarterly plan keeps its own rhythm.
  const std::chrono::months restart(cycle <= 31 ? 1 : 12);
  std::chrono::year_month month(ymd.year(), cycle <= 31 ? ymd.month() : std::chrono::January);
  Date first = firstDueOfMonth(month, firstPaymentDue);
  if (first > day) first = firstDueOfMonth(month - restart, firstPaymentDue);
  const auto since = (day.days() - first.days()).count();
  const auto due = first.days() + days(since / cycle * cycle);
  return {fromDays(due), fromDays(due - days(cycle) + days(1)), day};
}

PlanCheck checkPaymentPlan(store::Connection& practice, const std::string& chartNumber, Date day) {
  PlanCheck check;
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  const auto patient = patients.seek({store::Value{chartNumber}});
  check.planCode = patient ? patient->text("Payment Plan") : std::string();
  if (check.planCode.empty()) {
    check.reason = "The account " + chartNumber + " has no payment plan.";
    return check;
  }
  store::Table plans = practice.openTable("QVPPL");
  plans.setOrder("IdxCode");
  const auto plan = plans.seek({store::Value{check.planCode}});
  if (!plan) {
    check.reason = "The payment plan " + check.planCode + " of the account " + chartNumber +
                   " does not exist.";
    return check;
  }
  check.hasPlan = true;
  check.amountDue = plan->money("Amount Due");
  check.cycle = currentPlanCycle(day, static_cast<int>(plan->integer("First Payment Due")),
                                 static_cast<int>(plan->integer("Cycle Days")));
  store::Table ledger = practice.openTable("QVTRN");
  ledger.setOrder("Idxchartdate");
  ledger.setRange({store::Value{chartNumber}, store::Value{check.cycle.windowStart}},
                  {store::Value{chartNumber}, store::Value{check.cycle.windowEnd}});
  ledger.setFilter("Transaction Type >= 'J' AND Transaction Type <= 'O'");
  ledger.forEach([&](const store::Record& line) {
    // Payments are stored negative; one must cover a whole installment. The
    // latest such payment is the one named.
    const Money paid = -Money::fromDouble(line.number("Amount"));
    if (paid < check.amountDue) return;
    check.keepsToPlan = true;
    check.paymentDate = line.date("Date From");
    check.paymentAmount = paid;
  });
  const std::string window =
      check.cycle.windowStart.toMonthDayYear() + " to " + check.cycle.windowEnd.toMonthDayYear();
  if (check.keepsToPlan)
    check.reason = "Paid " + check.paymentAmount.toString() + " on " +
                   check.paymentDate->toMonthDayYear() + " for the installment of " +
                   check.amountDue.toString() + " due " + check.cycle.due.toMonthDayYear() + ".";
  else
    check.reason = "No payment of at least " + check.amountDue.toString() + " from " + window +
                   " for the installment due " + check.cycle.due.toMonthDayYear() + ".";
  return check;
}

}  // namespace vantrell::collections
