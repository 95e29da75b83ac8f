#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "claims/claim_picture.hpp"
#include "common/date.hpp"

// Professional claims as one ASC X12 837P (005010X222A1) interchange.
namespace vantrell::x12 {

// Who sends the interchange to whom, as the receiver's record names them.
struct Submission {
  std::string senderId;  // ISA06, GS02 and 1000A NM109: our submitter ID with the receiver
  std::string senderQualifier = "ZZ";
  std::string receiverId;  // ISA08, GS03 and 1000B NM109
  std::string receiverQualifier = "ZZ";
  std::string submitterName;  // 1000A: the practice
  std::string contactName;
  std::string contactPhone;  // digits only are sent
  std::string receiverName;  // 1000B
  bool production = true;    // ISA15 "P", else "T" (test)
};

// Control numbers of the interchange (ISA13/IEA02, nine digits at most) and
// of its group (GS06/GE02). The caller keeps them from repeating for a
// receiver.
struct ControlNumbers {
  std::int64_t interchange = 1;
  std::int64_t group = 1;
};

// When the interchange is made: BHT04/05, GS04/05 and ISA09/10.
struct CreationTime {
  Date date;
  int hour = 0;
  int minute = 0;
};

// One interchange with one group and one transaction set holding every
// claim, grouped under their billing providers in the order given. Each claim
// goes to its picture's slot's carrier; the caller has checked the claims.
std::string write837P(const std::vector<claims::ClaimPicture>& claims, const Submission& submission,
                      const ControlNumbers& numbers, const CreationTime& created);

// Money as X12 writes amounts: no trailing zeros, no thousands separators
// ("95", "160.5", "0.01").
std::string x12Amount(Money amount);
// The claim filing indicator (SBR09) for a carrier's kind: "MB" Medicare,
// "MC" Medicaid, "CH" Champus/Tricare, "BL" Blue Cross/Blue Shield, "HM" HMO,
// "12" PPO, "WC" workers' compensation, "CI" anything else.
std::string claimFilingIndicator(const std::string& carrierType);

}  // namespace vantrell::x12
