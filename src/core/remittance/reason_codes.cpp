#include "remittance/reason_codes.hpp"

#include <array>
#include <string_view>
#include <utility>

#include <fmt/format.h>

namespace vantrell::remittance {
namespace {

using CodeText = std::pair<std::string_view, std::string_view>;

constexpr std::array reasons{
    CodeText{"1", "Deductible amount"},
    CodeText{"2", "Coinsurance amount"},
    CodeText{"3", "Co-payment amount"},
    CodeText{"4", "The procedure code is inconsistent with the modifier used"},
    CodeText{"5", "The procedure code is inconsistent with the place of service"},
    CodeText{"11", "The diagnosis is inconsistent with the procedure"},
    CodeText{"16", "The claim lacks information or has billing errors"},
    CodeText{"18", "Exact duplicate claim or service"},
    CodeText{"22", "This care may be covered by another payer (coordination of benefits)"},
    CodeText{"23", "The impact of prior payer adjudication"},
    CodeText{"24", "Charges are covered under a capitation agreement or managed care plan"},
    CodeText{"26", "Expenses incurred before coverage"},
    CodeText{"27", "Expenses incurred after coverage ended"},
    CodeText{"29", "The time limit for filing has expired"},
    CodeText{"31", "The patient cannot be identified as the payer's insured"},
    CodeText{"45", "Charge exceeds the fee schedule or maximum allowable amount"},
    CodeText{"50", "Not deemed a medical necessity by the payer"},
    CodeText{"59", "Processed under the multiple or concurrent procedure rules"},
    CodeText{"94", "Processed in excess of charges"},
    CodeText{"96", "Non-covered charge"},
    CodeText{"97", "The benefit for this service is included in the payment for another service"},
    CodeText{"109", "Not covered by this payer; send the claim to the correct payer"},
    CodeText{"119", "Benefit maximum for this period has been reached"},
    CodeText{"131", "Claim-specific negotiated discount"},
    CodeText{"151", "The payer deems the information insufficient to support this many services"},
    CodeText{"167", "This diagnosis is not covered"},
    CodeText{"170", "Payment is denied when performed by this type of provider"},
    CodeText{"197", "Precertification or authorization was absent"},
    CodeText{"204", "Not covered under the patient's current benefit plan"},
    CodeText{"242", "Services not provided by network or primary care providers"},
    CodeText{"253", "Sequestration: reduction of federal payment"},
    CodeText{"B7", "The provider was not certified for this procedure on this date"},
    CodeText{"B15", "This service requires that a qualifying service be paid first"},
};

constexpr std::array remarks{
    CodeText{"M15", "Separately billed services have been bundled"},
    CodeText{"M80", "Not covered when performed on the same day as a service already processed"},
    CodeText{"M86", "Denied: payment was already made for the same or a similar procedure"},
    CodeText{"MA01", "You may appeal this decision in writing"},
    CodeText{"MA130", "The claim has incomplete or invalid information; submit a new claim"},
    CodeText{"N4", "The prior payer's explanation of benefits is missing or invalid"},
    CodeText{"N130", "Consult the plan's benefit documents for coverage"},
    CodeText{"N290", "The rendering provider's identifier is missing or invalid"},
    CodeText{"N362", "The number of days or units exceeds the acceptable maximum"},
    CodeText{"N381", "Consult the contractual agreement for restrictions and billing rules"},
};

constexpr std::array providerReasons{
    CodeText{"50", "Late filing reduction"},
    CodeText{"72", "Authorized return"},
    CodeText{"90", "Early payment allowance"},
    CodeText{"AH", "Origination fee"},
    CodeText{"B2", "Rebate"},
    CodeText{"CS", "Adjustment"},
    CodeText{"FB", "Forwarding balance"},
    CodeText{"IR", "Internal Revenue Service withholding"},
    CodeText{"J1", "Nonreimbursable"},
    CodeText{"L6", "Interest owed"},
    CodeText{"WO", "Overpayment recovery"},
    CodeText{"WU", "Unspecified recovery"},
};

template <std::size_t N>
std::string lookUp(const std::array<CodeText, N>& table, const std::string& code) {
  for (const auto& [known, text] : table)
    if (known == code) return fmt::format("{}: {}", code, text);
  return code;
}

}  // namespace

std::string adjustmentGroupText(const std::string& group) {
  if (group == "CO") return "Contractual obligation";
  if (group == "PR") return "Patient responsibility";
  if (group == "OI") return "Other adjustment";
  if (group == "PI") return "Payer-initiated reduction";
  if (group == "CR") return "Correction and reversal";
  return group;
}

std::string reasonText(const std::string& code) {
  return lookUp(reasons, code);
}

std::string remarkText(const std::string& code) {
  return lookUp(remarks, code);
}

std::string providerAdjustmentText(const std::string& code) {
  return lookUp(providerReasons, code);
}

std::string adjustmentText(const Adjustment& adjustment) {
  return fmt::format("{}-{} {} ({}; {})", adjustment.group, adjustment.reason,
                     adjustment.amount.toString(), adjustmentGroupText(adjustment.group),
                     reasonText(adjustment.reason));
}

}  // namespace vantrell::remittance
