#pragma once

#include <string>
#include <string_view>

#include "common/money.hpp"

namespace vantrell::statements {

// Statement status codes ("0" Hold to "4" Done) and their texts.
inline constexpr const char* statusHold = "0";
inline constexpr const char* statusReadyToSend = "1";
inline constexpr const char* statusSent = "2";
inline constexpr const char* statusFailed = "3";
inline constexpr const char* statusDone = "4";
std::string statusText(std::string_view code);         // "" for an unknown code
std::string typeText(std::string_view code);           // "Standard", "Remainder"
std::string billingMethodText(std::string_view code);  // "Paper", "Electronic", ""

// Where the per-workstation choices of the statement windows are kept.
inline constexpr const char* createSettingsKey =
    "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Statement Create";
inline constexpr const char* managementSettingsKey =
    "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Statement Management";

// The flags of a ledger line that say who has paid and who accepts assignment.
struct PaymentFlags {
  bool guarantorResponsible = false;
  bool guarantorPaid = false;
  bool insurancePaid[3] = {false, false, false};
  bool acceptAssignment[3] = {false, false, false};
};

// Whether a charge belongs on a remainder statement: insurance has done with
// it and the guarantor has not paid. With "Enforce Accept Assignment", a policy
// that does not accept assignment need not have paid, and a primary that does
// not accept assignment lets the later policies off too.
bool meetsRemainderCondition(const PaymentFlags& flags, bool enforceAcceptAssignment);

// A charge's open amount from its stored amount and paid buckets (the paid
// amounts carry the sign opposite to the charge).
struct OpenAmountParts {
  Money amount, guarantorPaid, insurancePaid[3], attorneyPaid, adjustment;
  Money open() const {
    return amount + guarantorPaid + insurancePaid[0] + insurancePaid[1] + insurancePaid[2] +
           attorneyPaid + adjustment;
  }
};

}  // namespace vantrell::statements
