#include "statements/statement_rules.hpp"

namespace vantrell::statements {

std::string statusText(std::string_view code) {
  if (code == "0") return "Hold";
  if (code == "1") return "Ready to Send";
  if (code == "2") return "Sent";
  if (code == "3") return "Failed";
  if (code == "4") return "Done";
  return {};
}

std::string typeText(std::string_view code) {
  if (code == "S") return "Standard";
  if (code == "R") return "Remainder";
  return {};
}

std::string billingMethodText(std::string_view code) {
  if (code == "P") return "Paper";
  if (code == "E") return "Electronic";
  return {};
}

bool meetsRemainderCondition(const PaymentFlags& flags, bool enforceAcceptAssignment) {
  if (!flags.guarantorResponsible || flags.guarantorPaid) return false;
  if (!enforceAcceptAssignment)
    return flags.insurancePaid[0] && flags.insurancePaid[1] && flags.insurancePaid[2];
  bool settled[3];  // P1..P3: paid, or not accepting assignment
  for (int policy = 0; policy < 3; ++policy)
    settled[policy] = flags.insurancePaid[policy] || !flags.acceptAssignment[policy];
  const bool notAccepting1 = !flags.acceptAssignment[0];
  const bool notAccepting2 = !flags.acceptAssignment[1];
  return settled[0] && ((settled[1] && settled[0]) || notAccepting1) &&
         ((settled[2] && settled[1] && settled[0]) || notAccepting1 || notAccepting2);
}

}  // namespace vantrell::statements
