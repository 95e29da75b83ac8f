#pragma once

#include <optional>
#include <string>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"

namespace vantrell::collections {

// The payment a plan wants now: the installment that fell due last on or
// before the day of the check, and the days in which a payment counts for it.
struct PlanCycle {
  Date due;          // the installment's due date
  Date windowStart;  // the day after the installment before it fell due
  Date windowEnd;    // the day of the check
};

// The installment due last on or before `day`. Each month's first installment
// falls on its First Payment Due day (the month's last day when the month is
// shorter); the next ones follow every `cycleDays` days until the next month's
// first one. Cycles longer than 31 days start instead from the due day of
// each January. A payment counts when it lies from the day after the previous
// installment up to `day`, so a late payment still keeps the plan.
PlanCycle currentPlanCycle(Date day, int firstPaymentDue, int cycleDays);

// Whether an account keeps to its payment plan on a day, and why.
struct PlanCheck {
  bool hasPlan = false;
  bool keepsToPlan = false;
  std::string planCode;
  Money amountDue;
  PlanCycle cycle;
  std::optional<Date> paymentDate;  // the payment that kept the plan
  Money paymentAmount;              // as paid, a positive amount
  std::string reason;               // one sentence for the person
};

// Reads the account's plan through its "Payment Plan" and looks for a patient
// payment (types "J" to "O") of at least the plan's Amount Due within the
// current cycle.
PlanCheck checkPaymentPlan(store::Connection& practice, const std::string& chartNumber, Date day);

}  // namespace vantrell::collections
