#pragma once

#include <string>

#include "remittance/remittance_835.hpp"

// The adjustment reason codes (CARC), remark codes (RARC) and provider
// adjustment reasons a practice sees most, in words; the list is data in
// reason_codes.cpp, and a code outside it is shown as its bare code.
namespace vantrell::remittance {

// "Contractual obligation" and friends for CO, PR, OI, PI, CR.
std::string adjustmentGroupText(const std::string& group);
// "45: Charge exceeds fee schedule/maximum allowable ...".
std::string reasonText(const std::string& code);
std::string remarkText(const std::string& code);
std::string providerAdjustmentText(const std::string& code);
// "CO-45 40.00 (Contractual obligation: charge exceeds ...)" for one adjustment.
std::string adjustmentText(const Adjustment& adjustment);

}  // namespace vantrell::remittance
