#pragma once

#include <array>
#include <string>
#include <string_view>

// A claim bills up to three carriers. Each carrier has a slot on the claim row
// with its own status, billing method, receiver, batch and billing dates; the
// field names of a slot are irregular ("Primary Billing Method" but
// "Claim Status 1"), so every caller goes through these names.
namespace vantrell::claims {

inline constexpr int slotCount = 3;

// The stored status codes of a slot.
namespace claim_status {
inline constexpr std::string_view hold = "0";
inline constexpr std::string_view readyToSend = "1";
inline constexpr std::string_view sent = "2";
inline constexpr std::string_view rejected = "3";
inline constexpr std::string_view challenge = "4";
inline constexpr std::string_view alert = "5";
inline constexpr std::string_view done = "6";
inline constexpr std::string_view pending = "7";
}  // namespace claim_status

// What every claim list shows for a status code; a code outside 0-7 shows nothing.
inline std::string_view claimStatusLabel(std::string_view code) {
  static constexpr std::array<std::string_view, 8> labels{
      "Hold", "Ready to Send", "Sent", "Rejected", "Challenge", "Alert", "Done", "Pending"};
  if (code.size() != 1 || code[0] < '0' || code[0] > '7') return {};
  return labels[static_cast<std::size_t>(code[0] - '0')];
}

// Billing methods: "P" paper, "E" electronic. Lists show "EDI" for "E" and
// "Paper" for any other code.
namespace billing_method {
inline constexpr std::string_view paper = "P";
inline constexpr std::string_view electronic = "E";
}  // namespace billing_method

inline std::string_view billingMediumLabel(std::string_view method) {
  return method == billing_method::electronic ? "EDI" : "Paper";
}

// The field names of slot 1, 2 or 3 of a claim row.
struct ClaimSlotFields {
  std::string carrier;
  std::string status;
  std::string billingMethod;
  std::string receiver;
  std::string batch;
  std::string billingDate;
  std::string initialBillingDate;
  std::string submissionCount;
};

inline ClaimSlotFields claimSlotFields(int slot) {
  static constexpr std::array<std::string_view, 3> positions{"Primary", "Secondary", "Tertiary"};
  const std::string n = std::to_string(slot);
  const std::string position(positions.at(static_cast<std::size_t>(slot - 1)));
  return {"Insurance Carrier " + n,
          "Claim Status " + n,
          position + " Billing Method",
          "EMC Receiver " + n,
          "Batch Number " + n,
          position + " Billing Date",
          "Initial Billing Date " + n,
          // The secondary count's stored name is abbreviated.
          slot == 2 ? "Secondary Submission Cnt" : position + " Submission Count"};
}

}  // namespace vantrell::claims
